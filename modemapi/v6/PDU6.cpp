#include "modemapi/v6/PDU6.h"

#include <cstdio>

#include "pdu/Helpers.h"
#include "platform/text/Text.h"

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

std::string Encode7BitAfterUDH(std::string_view text) {
  // One fill bit aligns the first septet behind the 6-octet header.
  return GSM::PackSeptets(GSM::ToSeptets(parlix::text::toUtf16(text)), 1);
}

bool BuildSubmitPDU(std::string_view number, std::string_view text, int ref, int total,
                    int seq, int coding, SubmitUnit& out, std::string_view centre,
                    int validity) {
  const std::u16string chars = parlix::text::toUtf16(text);
  const std::size_t len = chars.size();
  if (len == 0 || len > 160) return false;
  if (coding != 7 && coding != 8 && coding != 16) return false;
  if ((coding == 8 && len > 140) || (coding == 16 && len > 70)) return false;
  // Values outside one octet would corrupt the header (or the length fields).
  for (int v : {ref, total, seq, validity}) {
    if (v < 0 || v > 255) return false;
  }
  if (coding != 7) return false;  // only 7-bit units are ever sent as long messages
  const std::string septets = GSM::ToSeptets(chars);
  // 7 header septets + text must stay within 160.
  if (septets.size() > static_cast<std::size_t>(kPartSeptets)) return false;

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
  tpdu += hex2(static_cast<unsigned>(septets.size() + 7));
  tpdu += "050003" + hex2(static_cast<unsigned>(ref)) + hex2(static_cast<unsigned>(total)) +
          hex2(static_cast<unsigned>(seq));
  tpdu += GSM::PackSeptets(septets, 1);  // one fill bit aligns the text behind the header

  const std::size_t octets = tpdu.size() / 2;
  if (octets > 255) return false;
  out.septets = static_cast<int>(septets.size());
  out.tpduOctets = static_cast<std::uint8_t>(octets);
  out.unit = centrePart(centre) + tpdu;
  return true;
}

}  // namespace QuentraSMSAPI6
