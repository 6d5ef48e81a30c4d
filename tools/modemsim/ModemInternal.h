// Helpers shared by the files of the AT command interpreter (ModemCommands.cpp,
// ModemStorage.cpp, ModemReports.cpp, ModemSettings.cpp); not part of the
// simulator's interface.
#pragma once

#include <cctype>
#include <cstdio>
#include <string>
#include <string_view>

namespace modemsim {

inline constexpr int kPhonebookSize = 250;
inline constexpr int kNumberMax = 40;
inline constexpr int kNameMax = 18;
inline const std::string kOk = "\r\nOK\r\n";
inline const std::string kError = "\r\nERROR\r\n";

inline std::string upper(std::string s) {
  for (auto& c : s) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return s;
}

inline std::string trim(const std::string& s) {
  size_t a = s.find_first_not_of(" \t");
  if (a == std::string::npos) return "";
  size_t b = s.find_last_not_of(" \t");
  return s.substr(a, b - a + 1);
}

inline bool toInt(const std::string& text, int& v) {
  std::string t = trim(text);
  if (t.empty() || t.size() > 9) return false;
  size_t i = (t[0] == '-') ? 1 : 0;
  if (i == t.size()) return false;
  for (size_t k = i; k < t.size(); ++k)
    if (!std::isdigit(static_cast<unsigned char>(t[k]))) return false;
  v = std::stoi(t);
  return true;
}

// Information text of an answer: CR LF before and after.
inline std::string info(const std::string& text) { return "\r\n" + text + "\r\n"; }

inline std::string quoted(const std::string& s) { return "\"" + s + "\""; }

// Bytes of the line as the dialogue log shows them: control characters named.
inline std::string printable(std::string_view s) {
  std::string out;
  for (unsigned char c : s) {
    if (c == '\r') out += "<CR>";
    else if (c == '\n') out += "<LF>";
    else if (c == 0x1A) out += "<SUB>";
    else if (c == 0x1B) out += "<ESC>";
    else if (c < 0x20 || c == 0x7F) {
      char b[8];
      std::snprintf(b, sizeof b, "<%02X>", c);
      out += b;
    } else {
      out += static_cast<char>(c);
    }
  }
  return out;
}

}  // namespace modemsim
