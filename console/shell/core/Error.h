// The console's error log: "Parlix Basic Edition Error.txt" in the program's folder,
// one six-line record per trapped error (platform/errorlog), title "Parlix version 4.0.1".
#pragma once

#include <string>

namespace parlix::console {

inline constexpr const char* kErrorLogName = "Parlix Basic Edition Error.txt";

// "Parlix version <major>.<minor>.<revision>"
std::string ErrorLogTitle();

// Appends one record. Never throws; an unwritable log records nothing and shows nothing.
void WriteErrorLog(const std::string& location, long number, const std::string& description);

// Logs the exception in flight under `location`; for catch (...) blocks.
void LogCurrentException(const std::string& location);

}  // namespace parlix::console
