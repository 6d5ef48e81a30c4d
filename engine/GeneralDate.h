// Dates as the engine shows them: the user's short date and long time (shared with
// the other programs' error logs).
#pragma once

#include "platform/errorlog/ErrorLog.h"

namespace parlix::engine {

using errorlog::GeneralDate;

}  // namespace parlix::engine
