// Text checks made before a user's text is used as a name.
#pragma once

#include <string>

namespace parlix::console {

// True when the text holds a single quote anywhere; "" gives false.
bool HasApostrophe(const std::string& text);

}  // namespace parlix::console
