#include "console/shell/core/Validate.h"

namespace parlix::console {

bool HasApostrophe(const std::string& text) { return text.find('\'') != std::string::npos; }

}  // namespace parlix::console
