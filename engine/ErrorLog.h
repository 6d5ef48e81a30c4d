// The engine's error log, "SMS Engine Error Log.txt" in the engine's folder: one
// six-line record per trapped error, CR LF line ends.
#pragma once

#include <exception>
#include <string>

namespace parlix::engine {

inline constexpr const char* kErrorLogName = "SMS Engine Error Log.txt";

// Appends one record. Never throws: a log that cannot be written is given up.
void WriteErrorLog(const std::string& location, long number, const std::string& description);

// The error number a record carries for a caught exception: the database's or the
// serial port's own number where it has one, else a number of the same family as
// the classic run-time errors (13 type mismatch for failed conversions, 7 out of
// memory, 440 for any other error).
long ErrorNumber(const std::exception& e);

// Logs the exception in flight under `location`; for the catch (...) of handlers.
void LogCurrentException(const std::string& location);

}  // namespace parlix::engine
