// The one way the console shows a date-time, in its grids, windows and reports: the
// user's short date, then the time with its seconds (the locale's long time without
// its time zone), e.g. "12/9/26 6:08:33 AM" in the US, "09.12.26 06:08:33" in Germany.
#pragma once

#include <chrono>
#include <string>

namespace parlix::console {

// A stored "YYYY-MM-DD HH:MM:SS" (local time) as the user reads it; any other text,
// or a date that does not exist, comes back as it is.
std::string DateTimeText(const std::string& stored);
// A moment, in local time.
std::string DateTimeText(std::chrono::system_clock::time_point t);

// The widest text DateTimeText gives in this locale, for sizing date columns: the
// texts of one day of each month at 22:58:58 (two-digit hours on either clock).
std::string WidestDateTimeText();

}  // namespace parlix::console
