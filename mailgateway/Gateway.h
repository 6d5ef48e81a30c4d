// Module-level values and small helpers of the e-mail gateway program: its folder,
// its version, the date texts it shows and the number conversions of its settings.
#pragma once

#include <chrono>
#include <optional>
#include <string>

namespace parlix::gateway {

// Folder holding the program, its Setting.INI, its daily logs, the seen list and the
// pending forwards. Set once at start-up (and by tests).
extern std::string ProgramFolder;
// "Major.Minor.Revision" of the program.
extern std::string GatewayVersion;

// ProgramFolder joined with a file name.
std::string ProgramPath(const std::string& fileName);

// The current date and time as the windows show it (the user's short date and long time).
std::string NowText();
std::string DateTimeText(std::chrono::system_clock::time_point t);
// "YYYY-MM-DD HH:MM:SS", local time: how dates are handed to the mail layer.
std::string IsoDateTime(std::chrono::system_clock::time_point t);

// A setting read "as a number": a whole number with optional blanks and sign.
// Nothing for the empty text or any other text (where a plain conversion would raise a
// type-mismatch error).
std::optional<long> SettingNumber(const std::string& text);

// Leading and trailing blanks (and tabs) removed.
std::string Trim(const std::string& text);

// Carriage return and line feed, the line break of the gateway's texts.
inline constexpr const char* vbCrLf = "\r\n";

}  // namespace parlix::gateway
