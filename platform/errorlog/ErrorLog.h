// parlix::errorlog - the six-line error record every Parlix program appends to its own
// log file (CR LF line ends, one open-write-close per record):
//
//   *** <title> ***
//   <general date>
//   Error Location: <location, or "N/A">
//   Error Number: <number, with its sign>
//   Error Description: <description>
//   <empty>
//
// Each program keeps its own file name and title line ("Parlix-SMS Engine version 1.0.0",
// "Parlix version 4.0.1"); the record, the date and the error numbers are shared here.
#pragma once

#include <chrono>
#include <exception>
#include <string>

namespace parlix::errorlog {

// "General date" text of a moment in local time, in the user's locale (LC_TIME).
std::string GeneralDate(std::chrono::system_clock::time_point t);

// The record's bytes, six lines each ended by CR LF.
std::string Record(const std::string& title, const std::string& date, const std::string& location,
                   long number, const std::string& description);

// Appends one record stamped with the clock's now, through parlix::logfile (a repeat
// of the last record within a minute is counted, a log past 10 MB is moved aside, the
// file is owner-only). Never throws: a log that cannot be written is given up (false).
bool Append(const std::string& path, const std::string& title, const std::string& location,
            long number, const std::string& description);

// The error number a record carries for a caught exception: the database's or the
// serial port's own number where it has one, else a number of the same family as
// the classic run-time errors (13 type mismatch for failed conversions, 7 out of
// memory, 75 path/file access, 440 for any other error).
long ErrorNumber(const std::exception& e);

// Number and description of the exception in flight (call inside a catch block).
void CurrentException(long& number, std::string& description);

}  // namespace parlix::errorlog
