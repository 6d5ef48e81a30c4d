#pragma once
#include <string>
#include <string_view>

namespace QuentraSMSAPI6 {

// Removes every "+" and "-"; a local Malaysian mobile number ("01...") gets the
// country code so it reads "601...". Nothing else is checked: callers pass digits.
std::string FormatMSISDN(std::string_view number);

}  // namespace QuentraSMSAPI6
