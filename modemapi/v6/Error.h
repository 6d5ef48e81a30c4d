#pragma once
// The library's daily log: "Quentra SMS API Log_<year>-<month>-<day>.txt" in the
// folder of the library file (of the program when linked statically).
#include <chrono>
#include <string>
#include <string_view>

namespace QuentraSMSAPI6 {

// Replaces AT keywords and a few other tokens by numbered markers "Q24>n".
std::string EncodeLogText(std::string_view text);

// Appends one entry (header line, masked text, empty line) to today's log.
// Throws std::runtime_error when the file cannot be written.
void WriteAPILog(std::string_view text);

// Folder that holds the log, and the day's file name (local date, no leading zeros).
std::string LogFolder();
std::string LogFileName(std::chrono::system_clock::time_point when);

}  // namespace QuentraSMSAPI6
