// Dates as the engine shows them: the user's short date and long time.
#pragma once

#include <chrono>
#include <string>

namespace parlix::engine {

// "General date" text of a moment in local time, in the user's locale (LC_TIME).
std::string GeneralDate(std::chrono::system_clock::time_point t);

}  // namespace parlix::engine
