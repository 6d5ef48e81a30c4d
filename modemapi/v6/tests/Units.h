#pragma once
// Test-side readers for the units the library writes, independent of its packer.
#include <optional>
#include <stdexcept>
#include <string>

namespace QuentraSMSAPI6::testutil {

inline int octetAt(const std::string& hex, std::size_t octet) {
  return std::stoi(hex.substr(octet * 2, 2), nullptr, 16);
}

// Septets behind a 6-octet user-data header (one fill bit first), read bit by bit.
inline std::string unpackAfterHeader(const std::string& hex, std::size_t septets) {
  std::string bits;  // least significant bit of each octet first
  for (std::size_t i = 0; i < hex.size() / 2; ++i) {
    const int octet = octetAt(hex, i);
    for (int b = 0; b < 8; ++b) bits += (octet >> b) & 1 ? '1' : '0';
  }
  std::string out;
  for (std::size_t s = 0; s < septets; ++s) {
    int v = 0;
    for (int b = 0; b < 7; ++b) v |= (bits.at(1 + s * 7 + b) == '1') << b;
    out += static_cast<char>(v);
  }
  return out;
}

struct LongPart {
  int ref = 0, total = 0, seq = 0;
  int firstOctet = 0;
  std::string text;  // GSM codes of the part (plain ASCII letters read as themselves)
};

// One concatenated SMS-SUBMIT unit as hex (service-centre part first).
inline LongPart readLongPart(const std::string& unit) {
  std::size_t o = 1 + static_cast<std::size_t>(octetAt(unit, 0));  // skip the centre part
  LongPart p;
  p.firstOctet = octetAt(unit, o++);
  ++o;  // message reference
  const int digits = octetAt(unit, o++);
  o += 1 + static_cast<std::size_t>((digits + 1) / 2);  // type and digits
  o += 2;                                               // protocol, coding
  if ((p.firstOctet & 0x18) == 0x10) ++o;               // relative validity
  const int udl = octetAt(unit, o++);
  if (octetAt(unit, o) != 5 || octetAt(unit, o + 1) != 0 || octetAt(unit, o + 2) != 3) {
    throw std::runtime_error("no concatenation header in " + unit);
  }
  p.ref = octetAt(unit, o + 3);
  p.total = octetAt(unit, o + 4);
  p.seq = octetAt(unit, o + 5);
  p.text = unpackAfterHeader(unit.substr((o + 6) * 2), static_cast<std::size_t>(udl - 7));
  return p;
}

}  // namespace QuentraSMSAPI6::testutil
