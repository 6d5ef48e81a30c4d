// The console's module variables, shared by the main window and the contact editor.
#pragma once

#include <cstdint>
#include <string>

namespace parlix::console {

extern std::int32_t CurrentContactID;  // contact opened for editing
extern bool ChangeExistingContact;     // contact editor saves over the existing contact
extern bool EditContact;               // contact editor in edit mode (false: new contact)
extern bool EditFromGroup;             // the edited contact was opened from a group view
extern std::string SelectedNodeText;   // text of the tree node the main window last acted on

}  // namespace parlix::console
