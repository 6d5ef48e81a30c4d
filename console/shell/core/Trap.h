// Runs one step of a procedure; a failure is logged under the procedure's location and
// goes no further (the user is not told), as the console's procedures do.
#pragma once

#include <string>

#include "console/shell/core/Error.h"

namespace parlix::console {

template <class F>
bool Trapped(const std::string& location, F&& step) {
    try {
        step();
        return true;
    } catch (...) {
        LogCurrentException(location);
        return false;
    }
}

}  // namespace parlix::console
