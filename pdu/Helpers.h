#pragma once
// Building blocks of the codec, on UTF-16 code units as the class counts them.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace GSM {

// GSM 03.38: the 7-bit default alphabet and its extension table, reached by the
// escape septet 1B. Septets travel as one byte each (0..127) in a std::string.
inline constexpr unsigned char kEscape = 0x1B;

// The character of a septet of the default alphabet (the escape reads as a blank).
char16_t GsmToUnicode(unsigned char septet);
// The default-alphabet septet of a character (0..127), 0x100 | code for a character
// of the extension table (sent as 1B code), or -1 when the alphabet lacks it.
int GsmCodeOf(char16_t c);

// Septets of a text: extension characters as escape pairs, characters the alphabet
// lacks as "?" (a surrogate pair is one character, so one "?").
std::string ToSeptets(std::u16string_view text);
// Septets the text takes: what decides single or long and the size of a part.
std::size_t SeptetCount(std::u16string_view text);
// Cuts a text into pieces of at most `limit` septets (limit >= 2), in order; a piece
// never ends inside an escape pair or a surrogate pair.
std::vector<std::u16string_view> SplitBySeptets(std::u16string_view text, std::size_t limit);
// Septets -> text: escape pairs become their characters; an escape before a code the
// table lacks gives that code's default character, a lone or doubled escape a blank.
std::u16string FromSeptets(std::string_view septets);

// Packs septets low bits first behind fillBits zero bits (0..6, to align text behind a
// user-data header); two upper-case hexadecimal digits per octet.
std::string PackSeptets(std::string_view septets, int fillBits);
// Exactly `count` septets from hexadecimal octets, the first fillBits bits skipped;
// nullopt on bad hexadecimal or too few octets.
std::optional<std::string> UnpackSeptets(std::u16string_view hexOctets, int fillBits, std::size_t count);

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
// True when every character has a GSM code (the default alphabet or its extension
// table), so that the text goes as 7-bit without a "?" in it.
bool FitsGsmAlphabet(std::u16string_view text);
// Septets of the text packed as hexadecimal octets; septetCount, when given, gets
// their number (the user-data length). Throws std::runtime_error for an empty text.
std::u16string Encode7Bit(std::u16string_view text, std::size_t* septetCount = nullptr);
std::u16string EncodeUCS2(std::u16string_view text);
// Groups of up to four hexadecimal digits, one UTF-16 code unit each; nullopt
// on a bad digit.
std::optional<std::u16string> DecodeUCS2(std::u16string_view hex);
// Count octet followed by packed octets -> septets; the count does not limit the
// output (m octets give m + (m-1)/7 septets, one more when the count is a multiple
// of 8). nullopt on bad hexadecimal or a truncated octet.
std::optional<std::string> Unpack7Bit(std::u16string_view hex);
// Unpack7Bit through FromSeptets.
std::optional<std::u16string> Decode7Bit(std::u16string_view hex);

// YYMMDDhhmmsszz (already swapped) -> 20YY-Mon-DD hh:mm:ss.
std::u16string FormatTimeStamp(std::u16string_view t);

}  // namespace GSM
