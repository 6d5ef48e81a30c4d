// SMS codec of the simulated modem: GSM 03.38 alphabet, 7-bit packing,
// UCS-2, and the 03.40 units a modem sees (SUBMIT in, DELIVER and
// STATUS-REPORT out). Kept apart from the product's own codec on purpose:
// the simulator must judge that codec's output independently.
#pragma once

#include <cstdint>
#include <ctime>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace modemsim {

// UTF-8 helpers. Invalid UTF-8 is read as Windows-1252, which is what
// terminals and old Windows software put on a serial line.
bool isValidUtf8(std::string_view s);
std::u32string toU32(std::string_view utf8);
std::string toUtf8(std::u32string_view text);
std::string toUtf8(char32_t c);
// Windows-1252 bytes; '?' for characters it lacks.
std::string toCp1252(std::u32string_view text);

std::string toHex(std::string_view bytes);
// Upper- or lower-case pairs; nullopt on an odd length or a non-hex digit.
std::optional<std::string> fromHex(std::string_view hex);

// GSM default alphabet with the extension table (escape 0x1B).
bool gsmEncodable(std::u32string_view text);
std::vector<uint8_t> toSeptets(std::u32string_view text);  // '?' for the rest
std::u32string fromSeptets(const std::vector<uint8_t>& septets);
// Septets packed low bits first, starting fillBits into the first octet.
std::string pack7(const std::vector<uint8_t>& septets, int fillBits);
std::vector<uint8_t> unpack7(std::string_view octets, int fillBits, size_t count);

std::string toUcs2(std::u32string_view text);    // UTF-16BE octets
std::u32string fromUcs2(std::string_view octets); // lone surrogates become U+FFFD

enum class Coding { Gsm7, Data8, Ucs2 };
Coding codingOfDcs(int dcs);
const char* codingName(Coding c);

struct Concat {
  int ref = 0;
  int total = 0;
  int seq = 0;
};

struct Address {
  std::string number;  // digits (or text for alphanumeric)
  int toa = 129;
};

// 03.40 time stamp; tz in quarter hours.
struct TimeStamp {
  int year = 0, month = 1, day = 1, hour = 0, minute = 0, second = 0, tz = 0;
  static TimeStamp local(std::time_t t);
  std::string text() const;  // "yy/MM/dd,hh:mm:ss+zz" as text mode shows it
};

struct UserData {
  Coding coding = Coding::Gsm7;
  std::optional<Concat> concat;
  std::string text;  // UTF-8; 8-bit data as hex digits
  int length = 0;    // characters (septets or octets, header excluded)
};

struct Submit {
  std::string sca;  // service centre given in the unit, empty for "00"
  int firstOctet = 0;
  int mr = 0;
  Address da;
  int pid = 0;
  int dcs = 0;
  int vpf = 0;
  bool reportRequested = false;
  UserData ud;
};

// Decodes "SCA + TPDU" hex as AT+CMGS takes it in PDU mode; tpduLength is
// the count given to AT+CMGS. Returns nullopt with a reason in error.
std::optional<Submit> decodeSubmit(std::string_view hex, int tpduLength, std::string& error);

struct Deliver {
  std::string smsc;  // "+digits" or digits; empty gives "00"
  Address oa;
  int pid = 0;
  int dcs = 0;
  TimeStamp scts;
  std::optional<Concat> concat;
  std::string text;  // UTF-8 (hex digits for 8-bit data)
};

// "auto" picks 7-bit when the GSM alphabet holds the text, else UCS-2.
int dcsFor(std::string_view utf8, const std::string& coding);
std::string encodeDeliver(const Deliver& d);  // hex, SCA included
struct DecodedDeliver {
  Deliver d;
  int firstOctet = 0;
  int smscToa = 129;
  int length = 0;  // user data length as the unit gives it
  UserData ud;
};
std::optional<DecodedDeliver> decodeDeliver(std::string_view hex, std::string& error);

struct StatusReport {
  std::string smsc;
  int mr = 0;
  Address ra;
  TimeStamp scts;
  TimeStamp dt;
  int status = 0;
};
std::string encodeStatusReport(const StatusReport& r);

Address parseAddress(std::string_view number);  // "+…" → 145, letters → 208, else 129
std::string encodeAddressField(const Address& a);  // length, type, digits
std::string encodeSca(std::string_view number);

}  // namespace modemsim
