// Dates of the read and report steps: the report's discharge time and the received
// message's centre time stamp, turned into moments the engine stores and shows.
#pragma once

#include <chrono>
#include <optional>
#include <string>

namespace parlix::engine {

// The moment of a report time text "yy/MM/dd hh:mm:ss" (a two-digit year of this
// century); nullopt when the text holds no valid date and time.
std::optional<std::chrono::system_clock::time_point> ReportMoment(const std::string& t);

// The same moment as a general date of the user's locale; empty when t is no date.
std::string FormatReportDateTime(const std::string& t);

// The modem's time stamp "20YY-Mon-DD hh:mm:ss" as the database's
// "YYYY-MM-DD HH:MM:SS"; nullopt when it is not of that form.
std::optional<std::string> TimeStampToDb(const std::string& scts);

}  // namespace parlix::engine
