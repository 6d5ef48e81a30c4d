// Feeds arbitrary text to DecodePDU: it must return, never throw or overrun.
#include <cstddef>
#include <cstdint>
#include <string>

#include "pdu/PDU.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  GSM::PDU pdu;
  pdu.let_PDU(std::string(reinterpret_cast<const char*>(data), size));
  const bool ok = pdu.DecodePDU();
  // Touch every field the decoder may have written.
  const std::size_t total = pdu.get_PDU().size() + pdu.get_SMSC().size() + pdu.get_MSISDN().size() +
                            pdu.get_TimeStamp().size() + pdu.get_SMSText().size() +
                            pdu.get_SMSCTypeOfAddr().size();
  if (ok && pdu.get_PDU().size() < 2) __builtin_trap();  // success leaves the user-data length
  return total == static_cast<std::size_t>(-1) ? 1 : 0;
}
