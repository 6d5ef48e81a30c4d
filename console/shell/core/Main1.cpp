#include "console/shell/core/Main1.h"

namespace parlix::console {

std::int32_t CurrentContactID = 0;
bool ChangeExistingContact = false;
bool EditContact = false;
bool EditFromGroup = false;
std::string SelectedNodeText;

}  // namespace parlix::console
