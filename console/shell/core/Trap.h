// Runs one step of a procedure; an exception is logged under the procedure's location
// and goes no further (no exception may cross a Qt event handler).
#pragma once

#include <string>

#include "console/shell/core/Error.h"

namespace parlix::console {

template <class F>
bool Trap(const std::string& location, F&& step) {
    try {
        step();
        return true;
    } catch (...) {
        LogCurrentException(location);
        return false;
    }
}

}  // namespace parlix::console
