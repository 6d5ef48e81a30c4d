#include "modemapi/v6/PDU6.h"

#include <cstdio>

namespace QuentraSMSAPI6 {
namespace {

std::string hex2(unsigned value) {
  char buf[8];
  std::snprintf(buf, sizeof buf, "%02X", value & 0xFFu);
  return buf;
}

// Digits in swapped pairs, an odd last digit paired with "F".
std::string swappedDigits(std::string_view digits) {
  std::string out;
  out.reserve(digits.size() + 1);
  for (std::size_t i = 0; i < digits.size(); i += 2) {
    out += i + 1 < digits.size() ? digits[i + 1] : 'F';
    out += digits[i];
  }
  return out;
}

// Type of address and the number without its "+".
std::pair<std::string_view, std::string_view> splitInternational(std::string_view number) {
  if (number.starts_with('+')) return {"91", number.substr(1)};
  return {"81", number};
}

std::string centrePart(std::string_view centre) {
  if (centre.empty()) return "00";
  if (centre.starts_with('"')) centre.remove_prefix(1);
  if (centre.ends_with('"')) centre.remove_suffix(1);
  auto [type, digits] = splitInternational(centre);
  return hex2(static_cast<unsigned>((digits.size() + 1) / 2 + 1)) + std::string(type) +
         swappedDigits(digits);
}

}  // namespace

unsigned char ToGSMAlphabet(unsigned char ansi) {
  switch (ansi) {
    case 64: return 0;
    case 163: return 1;
    case 36: return 2;
    case 165: return 3;
    case 232: return 4;
    case 233: return 5;
    case 249: return 6;
    case 236: return 7;
    case 242: return 8;
    case 199: return 9;
    case 10: return 10;
    case 216: return 11;
    case 248: return 12;
    case 13: return 13;
    case 197: return 14;
    case 229: return 15;
    case 95: return 17;
    default: return ansi;
  }
}

std::string Encode7BitAfterUDH(std::string_view ansiText) {
  std::string out;
  out.reserve(ansiText.size() * 2);
  // The fill bit makes the first septet start at bit 1 of the first octet.
  unsigned acc = 0;
  int bits = 1;
  for (unsigned char c : ansiText) {
    acc |= static_cast<unsigned>(ToGSMAlphabet(c) & 0x7F) << bits;
    bits += 7;
    while (bits >= 8) {
      out += hex2(acc & 0xFF);
      acc >>= 8;
      bits -= 8;
    }
  }
  if (bits > 0 && !ansiText.empty()) out += hex2(acc & 0xFF);
  return out;
}

bool BuildSubmitPDU(std::string_view number, std::string_view ansiText, int ref, int total,
                    int seq, int coding, SubmitUnit& out, std::string_view centre,
                    int validity) {
  const std::size_t len = ansiText.size();
  if (len == 0 || len > 160) return false;
  if (coding != 7 && coding != 8 && coding != 16) return false;
  if ((coding == 8 && len > 140) || (coding == 16 && len > 70)) return false;
  // Values outside one octet would corrupt the header (or the length fields).
  for (int v : {ref, total, seq, validity}) {
    if (v < 0 || v > 255) return false;
  }
  if (coding != 7) return false;  // only 7-bit units are ever sent as long messages
  if (len > 153) return false;    // 7 header septets + text must stay within 160

  auto [type, digits] = splitInternational(number);
  if (digits.size() > 255) return false;

  std::string tpdu = validity == 0 ? "61" : "71";
  tpdu += "00";
  tpdu += hex2(static_cast<unsigned>(digits.size()));
  tpdu += type;
  tpdu += swappedDigits(digits);
  tpdu += "00";  // protocol
  tpdu += "00";  // 7-bit coding
  if (validity != 0) tpdu += hex2(static_cast<unsigned>(validity));
  tpdu += hex2(static_cast<unsigned>(len + 7));
  tpdu += "050003" + hex2(static_cast<unsigned>(ref)) + hex2(static_cast<unsigned>(total)) +
          hex2(static_cast<unsigned>(seq));
  tpdu += Encode7BitAfterUDH(ansiText);

  const std::size_t octets = tpdu.size() / 2;
  if (octets > 255) return false;
  out.septets = static_cast<int>(len);
  out.tpduOctets = static_cast<std::uint8_t>(octets);
  out.unit = centrePart(centre) + tpdu;
  return true;
}

}  // namespace QuentraSMSAPI6
