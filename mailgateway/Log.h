// The gateway's daily log "Log_Y-M-D.txt" in the program folder: trace entries,
// activity lines and error entries of every procedure, one entry per write:
//
//   Parlix E-Mail Edition version 1.0.0(beta)
//   *** Log dated on <date and time> ***
//   <text>
//   <empty line>
#pragma once

#include <chrono>
#include <exception>
#include <string>

namespace parlix::gateway {

// "Log_2016-3-7.txt": the log of the local date of t, numbers without leading zeros.
std::string LogFileName(std::chrono::system_clock::time_point t);

// Appends a trace entry to today's log. Throws std::runtime_error when the file
// cannot be written.
void WriteLog(const std::string& text);

// Appends an error entry ("Error Location: ", "Error Number: ", "Error Description: ").
// Never throws.
void WriteErrorLog(const std::string& location, long number, const std::string& description);

// Error number of a caught exception, of the family of the classic run-time errors:
// 13 type mismatch for conversions, 9 subscript out of range, 7 out of memory, the
// serial port's own number, 440 for any other error.
long ErrorNumber(const std::exception& e);

// An error entry for the exception in flight (call inside a catch block).
void LogCurrentException(const std::string& location);

}  // namespace parlix::gateway
