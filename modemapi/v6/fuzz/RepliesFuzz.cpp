// Replies of AT+CMGL, AT+CMGR (PDU and text mode) and AT+CMGS as the modem may send
// them, whole or garbled: the readers must never read out of bounds.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "modemapi/Replies.h"
#include "modemapi/v6/Replies.h"
#include "pdu/PDU.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view reply(reinterpret_cast<const char*>(data), size);
  namespace R = modemapi::Replies;
  (void)R::FirstListedIndex(reply);
  (void)R::MessageReference(reply);
  if (auto report = R::ParseStatusReport(reply)) {
    // Every field lies inside the reply.
    if (report->status.size() > size) __builtin_trap();
    (void)R::DeliveryStatusOf(report->status);
  }
  if (auto line = QuentraSMSAPI6::Replies::PDULine(reply)) {
    GSM::PDU pdu;
    pdu.let_PDU(*line);
    pdu.DecodePDU();
    (void)pdu.get_SMSText();
  }
  return 0;
}
