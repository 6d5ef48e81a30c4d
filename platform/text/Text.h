#pragma once
// Text conversion between UTF-8 (our public APIs), UTF-16 code units (where the
// system counts characters) and the Windows-1252 "ANSI" code page (what the GSM
// character tables and the modem's text mode assume).
#include <cstdint>
#include <string>
#include <string_view>

namespace parlix::text {

// UTF-8 -> UTF-16 code units. Characters above U+FFFF become surrogate pairs.
// Malformed UTF-8 sequences become U+FFFD, one per bad byte.
std::u16string toUtf16(std::string_view utf8);

// UTF-16 code units -> UTF-8. A lone surrogate becomes U+FFFD.
std::string toUtf8(std::u16string_view utf16);

// Windows-1252 byte for a UTF-16 code unit, or '?' when the code page has none.
unsigned char toAnsiChar(char16_t unit);
// UTF-16 code unit for a Windows-1252 byte (the five unassigned bytes map to
// themselves, as the system's conversion does).
char16_t fromAnsiChar(unsigned char byte);

// Whole-string forms of the two above.
std::string toAnsi(std::u16string_view utf16);
std::u16string fromAnsi(std::string_view ansi);

// Conveniences over UTF-8.
std::string utf8ToAnsi(std::string_view utf8);
std::string ansiToUtf8(std::string_view ansi);

// Number of UTF-16 code units of a UTF-8 text (how the system counts characters).
std::size_t lengthUtf16(std::string_view utf8);

// A mobile number as it is stored and sent, wherever it was typed or read: every
// blank (space, tab, no-break space) and every "-" removed; nothing else changes.
std::string cleanNumber(std::string_view number);

}  // namespace parlix::text
