#pragma once
// Building blocks of the codec, on UTF-16 code units as the class counts them.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace GSM {

// GSM default alphabet <-> Windows-1252 through the 32-pair table; every other
// code maps to itself.
unsigned char AnsiToGsm(unsigned char ansi);
unsigned char GsmToAnsi(unsigned char gsm);

// Upper-case hexadecimal without leading zeros (negative values as two's complement).
std::u16string Hex(std::int32_t value);
// Value of a text of hexadecimal digits (either case), or -1 for an empty
// text, a bad digit or more than 7 digits.
int HexValue(std::u16string_view digits);
// A text of exactly one character gets "0" in front.
std::u16string PadHex2(std::u16string_view s);
// 1234 -> 2143, 123F -> 21F3; an odd length keeps its last character alone.
std::u16string SwapSemiOctets(std::u16string_view s);

std::uint8_t ShiftRightBits(std::uint8_t b, int n);
std::uint8_t ShiftLeftBits(std::uint8_t a, int n);

// 8 (or more) binary digits, most significant first; "0" for a negative value.
std::string DecToBin(long long value);
// Sum of the weights of the "1" digits counted from the right; 0 on overflow.
long long BinToDec(std::string_view bits);
std::string ShiftBitsLeft7(std::string_view s, int k);
std::string ShiftBitsRight8(std::string_view s, int k);

bool NeedsUnicode(std::u16string_view text);
// Septets packed as hexadecimal octets. Throws std::runtime_error for an empty text.
std::u16string Encode7Bit(std::u16string_view text);
std::u16string EncodeUCS2(std::u16string_view text);
// Groups of up to four hexadecimal digits, one UTF-16 code unit each; nullopt
// on a bad digit.
std::optional<std::u16string> DecodeUCS2(std::u16string_view hex);
// Count octet followed by packed octets -> text; nullopt on bad hexadecimal or
// a truncated octet.
std::optional<std::u16string> Decode7Bit(std::u16string_view hex);

// YYMMDDhhmmsszz (already swapped) -> 20YY-Mon-DD hh:mm:ss.
std::u16string FormatTimeStamp(std::u16string_view t);

}  // namespace GSM
