// Feeds arbitrary text to DecodePDU: it must return, never throw or overrun. What it
// decodes then goes through the septet helpers, whose counts must agree.
#include <cstddef>
#include <cstdint>
#include <string>

#include "pdu/Helpers.h"
#include "pdu/PDU.h"
#include "platform/text/Text.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  GSM::PDU pdu;
  pdu.let_PDU(std::string(reinterpret_cast<const char*>(data), size));
  const bool ok = pdu.DecodePDU();
  // Touch every field the decoder may have written.
  const std::size_t total = pdu.get_PDU().size() + pdu.get_SMSC().size() + pdu.get_MSISDN().size() +
                            pdu.get_TimeStamp().size() + pdu.get_SMSText().size() +
                            pdu.get_SMSCTypeOfAddr().size();
  if (ok && pdu.get_PDU().size() < 2) __builtin_trap();  // success leaves the user-data length

  const std::u16string text = parlix::text::toUtf16(pdu.get_SMSText() + pdu.get_MSISDN());
  const std::string septets = GSM::ToSeptets(text);
  if (septets.size() != GSM::SeptetCount(text)) __builtin_trap();
  std::size_t joined = 0;
  for (const auto piece : GSM::SplitBySeptets(text, 153)) {
    if (GSM::SeptetCount(piece) > 153 || piece.empty()) __builtin_trap();
    joined += piece.size();
  }
  if (joined != text.size()) __builtin_trap();
  // Septets read back to the text they came from, once every character is in the alphabet.
  const std::u16string back = GSM::FromSeptets(septets);
  if (GSM::ToSeptets(back) != septets) __builtin_trap();
  return total == static_cast<std::size_t>(-1) ? 1 : 0;
}
