#include "pdu/Helpers.h"

#include <algorithm>
#include <array>
#include <stdexcept>

#include "platform/text/Text.h"

namespace GSM {

namespace {

struct Pair {
  unsigned char gsm;
  unsigned char ansi;
};

// GSM default alphabet code, Windows-1252 code. No escape table: what is not
// here passes as itself.
constexpr std::array<Pair, 32> kPairs = {{
    {0, 64},    {1, 163},   {2, 36},    {3, 165},   {4, 232},   {5, 233},   {6, 249},
    {7, 236},   {8, 242},   {9, 199},   {11, 216},  {12, 248},  {14, 197},  {15, 229},
    {17, 95},   {28, 198},  {29, 230},  {30, 223},  {31, 201},  {36, 164},  {64, 161},
    {91, 196},  {92, 214},  {93, 209},  {94, 220},  {95, 167},  {96, 191},  {123, 228},
    {124, 246}, {125, 241}, {126, 252}, {127, 224},
}};

struct Tables {
  std::array<unsigned char, 256> toGsm{};
  std::array<unsigned char, 256> toAnsi{};
};

constexpr Tables makeTables() {
  Tables t;
  for (int i = 0; i < 256; ++i) {
    t.toGsm[static_cast<std::size_t>(i)] = static_cast<unsigned char>(i);
    t.toAnsi[static_cast<std::size_t>(i)] = static_cast<unsigned char>(i);
  }
  for (const Pair& p : kPairs) {
    t.toGsm[p.ansi] = p.gsm;
    t.toAnsi[p.gsm] = p.ansi;
  }
  return t;
}

constexpr Tables kTables = makeTables();

constexpr bool pairsAvoidCp1252Block() {
  for (const Pair& p : kPairs) {
    if (p.ansi >= 0x80 && p.ansi < 0xA0) return false;
  }
  return true;
}
static_assert(pairsAvoidCp1252Block(), "Decode7Bit writes table ANSI codes as UTF-16 units");

constexpr char16_t kHexDigits[] = u"0123456789ABCDEF";

char16_t* putHex2(char16_t* p, unsigned v) {
  *p++ = kHexDigits[(v >> 4) & 0xF];
  *p++ = kHexDigits[v & 0xF];
  return p;
}

int hexDigit(char16_t c) {
  if (c >= u'0' && c <= u'9') return c - u'0';
  if (c >= u'A' && c <= u'F') return c - u'A' + 10;
  if (c >= u'a' && c <= u'f') return c - u'a' + 10;
  return -1;
}

// Value of two hexadecimal digits, or -1.
int hexOctet(char16_t hi, char16_t lo) {
  const int h = hexDigit(hi);
  const int l = hexDigit(lo);
  return (h < 0 || l < 0) ? -1 : h * 16 + l;
}

// The septet sent for one UTF-16 code unit: its ANSI code through the table.
// An ANSI character above 127 without a GSM equivalent does not fit in 7 bits
// and would spill into its neighbours; it goes as "?" like any other character
// the alphabet cannot carry.
unsigned septetOf(char16_t unit) {
  const unsigned char ansi = unit < 0x80 ? static_cast<unsigned char>(unit) : parlix::text::toAnsiChar(unit);
  const unsigned char gsm = AnsiToGsm(ansi);
  return gsm < 0x80 ? gsm : static_cast<unsigned>('?');
}

}  // namespace

unsigned char AnsiToGsm(unsigned char ansi) { return kTables.toGsm[ansi]; }

unsigned char GsmToAnsi(unsigned char gsm) { return kTables.toAnsi[gsm]; }

std::u16string Hex(std::int32_t value) {
  auto v = static_cast<std::uint32_t>(value);
  char16_t buf[8];
  std::size_t start = 8;
  do {
    buf[--start] = kHexDigits[v & 0xF];
    v >>= 4;
  } while (v != 0);
  return std::u16string(buf + start, buf + 8);
}

int HexValue(std::u16string_view digits) {
  if (digits.empty() || digits.size() > 7) return -1;
  int v = 0;
  for (char16_t c : digits) {
    const int d = hexDigit(c);
    if (d < 0) return -1;
    v = v * 16 + d;
  }
  return v;
}

std::u16string PadHex2(std::u16string_view s) {
  std::u16string out;
  out.reserve(s.size() + 1);
  if (s.size() == 1) out += u'0';
  out += s;
  return out;
}

std::u16string SwapSemiOctets(std::u16string_view s) {
  std::u16string out;
  out.reserve(s.size());
  for (std::size_t i = 0; i < s.size(); i += 2) {
    if (i + 1 < s.size()) out += s[i + 1];
    out += s[i];
  }
  return out;
}

std::uint8_t ShiftRightBits(std::uint8_t b, int n) {
  for (int i = 0; i < n; ++i) b = static_cast<std::uint8_t>((b >> 1) & 127);
  return b;
}

std::uint8_t ShiftLeftBits(std::uint8_t a, int n) {
  std::uint16_t v = a;
  for (int i = 0; i < n; ++i) v = static_cast<std::uint16_t>(v * 2);
  return static_cast<std::uint8_t>(v & 255);
}

std::string DecToBin(long long value) {
  if (value < 0) return "0";
  std::string out;
  do {
    out += static_cast<char>('0' + (value & 1));
    value >>= 1;
  } while (value != 0);
  if (out.size() < 8) out.append(8 - out.size(), '0');
  return std::string(out.rbegin(), out.rend());
}

long long BinToDec(std::string_view bits) {
  long long sum = 0;
  long long weight = 1;
  for (std::size_t i = bits.size(); i-- > 0;) {
    if (bits[i] == '1') {
      if (weight <= 0) return 0;  // more digits than the value can hold
      sum += weight;
    }
    weight = weight > (1LL << 61) ? 0 : weight * 2;
  }
  return sum;
}

std::string ShiftBitsLeft7(std::string_view s, int k) {
  std::string out(s.size() > 7 ? s.substr(s.size() - 7) : s);
  out.append(static_cast<std::size_t>(k < 0 ? 0 : k), '0');
  return out;
}

std::string ShiftBitsRight8(std::string_view s, int k) {
  std::string out(static_cast<std::size_t>(k < 0 ? 0 : k), '0');
  out += s;
  return out.substr(0, 8);
}

bool NeedsUnicode(std::u16string_view text) {
  for (char16_t c : text) {
    if (c >= 256) return true;
  }
  return false;
}

std::u16string Encode7Bit(std::u16string_view text) {
  const std::size_t len = text.size();
  if (len == 0) throw std::runtime_error("Encode7Bit: an empty text cannot be packed as 7-bit septets");
  std::u16string out((len * 7 + 7) / 8 * 2, u'0');
  char16_t* p = out.data();
  unsigned next = septetOf(text[0]);
  for (std::size_t i = 1; i < len; ++i) {
    const unsigned c = next;
    next = septetOf(text[i]);
    const unsigned s = static_cast<unsigned>(i % 8);
    if (s == 0) continue;  // the 8th septet went wholly into the previous octet
    p = putHex2(p, ((c >> (s - 1)) | (next << (8 - s))) & 0xFF);
  }
  if (len % 8 != 0) putHex2(p, next >> ((len % 8) - 1));
  return out;
}

std::u16string EncodeUCS2(std::u16string_view text) {
  std::u16string out(text.size() * 4, u'0');
  char16_t* p = out.data();
  for (char16_t c : text) {
    p = putHex2(p, static_cast<unsigned>(c >> 8));
    p = putHex2(p, static_cast<unsigned>(c & 0xFF));
  }
  return out;
}

std::optional<std::u16string> DecodeUCS2(std::u16string_view hex) {
  std::u16string out((hex.size() + 3) / 4, u'\0');
  for (std::size_t i = 0, w = 0; i < hex.size(); i += 4, ++w) {
    const std::size_t end = std::min(hex.size(), i + 4);
    unsigned v = 0;
    for (std::size_t k = i; k < end; ++k) {
      const int d = hexDigit(hex[k]);
      if (d < 0) return std::nullopt;
      v = v * 16 + static_cast<unsigned>(d);
    }
    out[w] = static_cast<char16_t>(v);
  }
  return out;
}

std::optional<std::u16string> Decode7Bit(std::u16string_view hex) {
  if (hex.size() < 2 || hex.size() % 2 != 0) return std::nullopt;
  const int count = hexOctet(hex[0], hex[1]);
  if (count < 0) return std::nullopt;
  const std::size_t m = hex.size() / 2 - 1;
  std::u16string out(m + m / 7 + 1, u'\0');
  std::size_t w = 0;
  // The table's ANSI codes all lie in Latin-1, so an ANSI code from it is
  // also the character's UTF-16 code unit.
  auto emit = [&](unsigned septet) { out[w++] = kTables.toAnsi[septet & 0x7F]; };
  unsigned prev = 0;
  unsigned p = 0;  // position of the current octet within its group of 7 (1..7)
  for (std::size_t k = 1; k <= m; ++k) {
    const int o = hexOctet(hex[2 * k], hex[2 * k + 1]);
    if (o < 0) return std::nullopt;
    const auto cur = static_cast<unsigned>(o);
    p = p == 7 ? 1 : p + 1;
    if (p == 1) {
      emit(cur);
    } else {
      emit((cur << (p - 1)) | (prev >> (9 - p)));
    }
    if (p == 7 && k < m) emit(cur >> 1);
    prev = cur;
  }
  // A count that is a multiple of 8 takes the bits of the last octet that no
  // septet has used yet.
  if (count % 8 == 0 && m > 0) emit(prev >> (8 - p));
  out.resize(w);
  return out;
}

std::u16string FormatTimeStamp(std::u16string_view t) {
  auto mid = [t](std::size_t pos, std::size_t n) {
    return pos < t.size() ? t.substr(pos, n) : std::u16string_view{};
  };
  std::u16string out = u"20";
  out += mid(0, 2);
  out += u'-';
  static constexpr std::array<std::pair<std::u16string_view, std::u16string_view>, 15> kMonths = {{
      {u"01", u"Jan-"}, {u"02", u"Feb-"}, {u"03", u"Mar-"}, {u"04", u"Apr-"}, {u"05", u"May-"},
      {u"06", u"Jun-"}, {u"07", u"Jul-"}, {u"08", u"Aug-"}, {u"09", u"Sep-"}, {u"10", u"Oct-"},
      {u"0A", u"Oct-"}, {u"11", u"Nov-"}, {u"0B", u"Nov-"}, {u"12", u"Dec-"}, {u"0C", u"Dec-"},
  }};
  const std::u16string_view month = mid(2, 2);
  for (const auto& [code, word] : kMonths) {
    if (code == month) {
      out += word;
      break;
    }
  }
  out += mid(4, 2);
  out += u' ';
  out += mid(6, 2);
  out += u':';
  out += mid(8, 2);
  out += u':';
  out += mid(10, 2);
  return out;
}

}  // namespace GSM
