// Replies of AT+CMGL, AT+CMGR (PDU and text mode) and AT+CMGS as the modem may send
// them, whole or garbled: the readers must never read out of bounds.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "modemapi/v6/Replies.h"
#include "pdu/PDU.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view reply(reinterpret_cast<const char*>(data), size);
  using namespace QuentraSMSAPI6::Replies;
  (void)ListedIndex(reply);
  (void)MessageReference(reply);
  if (auto report = ParseStatusReport(reply)) {
    // Every field lies inside the reply.
    if (report->status.size() > size) __builtin_trap();
  }
  if (auto line = PDULine(reply)) {
    GSM::PDU pdu;
    pdu.let_PDU(*line);
    pdu.DecodePDU();
    (void)pdu.get_SMSText();
  }
  return 0;
}
