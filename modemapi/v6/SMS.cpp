#include "modemapi/v6/SMS.h"

#include <stdexcept>

#include "modemapi/BringUp.h"
#include "modemapi/Modem.h"
#include "modemapi/Replies.h"
#include "modemapi/Security.h"
#include "modemapi/v6/Error.h"
#include "modemapi/v6/MSISDN.h"
#include "modemapi/v6/PDU6.h"
#include "modemapi/v6/Replies.h"
#include "pdu/Helpers.h"
#include "pdu/PDU.h"
#include "platform/text/Text.h"

namespace QuentraSMSAPI6 {
namespace {

constexpr char kCtrlZ = '\x1A';

// Every SMS object of this thread shares the one port window; fetch it per call,
// because any object's end unloads it.
modemapi::Transport& port() { return modemapi::portWindow(modemapi::Library::API6); }

bool send(std::string_view cmd, std::string& reply, int seconds = 7) {
  return modemapi::SendATCommand(port(), cmd, reply, seconds);
}

bool send(std::string_view cmd, int seconds = 7) {
  std::string reply;
  return send(cmd, reply, seconds);
}

bool portOpen() { return modemapi::IsPortOpen(port()); }

// Best effort: puts the modem back to PDU mode and SIM storage after a failed
// report read. A serial error here changes nothing about the result.
void backToSIMStorage(bool storageToo) noexcept {
  try {
    send("AT+CMGF=0");
    if (storageToo) send("AT+CPMS=\"SM\"");
  } catch (const std::exception&) {
  }
}

}  // namespace

SMS::~SMS() {
  try {
    modemapi::unloadPortWindow(modemapi::Library::API6);
  } catch (const std::exception&) {
    // Closing a port that failed already leaves nothing to release.
  }
}

ModemStatus SMS::InitModem(int intPort, const std::string& PIN) {
  return modemapi::InitModem(port(), intPort, PIN, &pinAttempts_);
}

bool SMS::ConnectToGSM() { return modemapi::ConnectToGSM(port()); }

bool SMS::CloseModem() { return modemapi::CloseModem(port()); }

// Index 0 is a message like any other: many modems number SIM storage from 0.
std::optional<int> SMS::GetFirstSMSIndex() {
  if (!portOpen()) return std::nullopt;
  send("AT+CPMS=\"SM\"");
  std::string reply;
  // In PDU mode <stat> is an integer; strict modems refuse it quoted.
  if (!send("AT+CMGL=4", reply, 60)) return std::nullopt;
  if (!send("AT+CMGL=1", reply, 60)) return std::nullopt;
  const auto index = modemapi::Replies::FirstListedIndex(reply);
  if (!index || *index > 65535) return std::nullopt;
  return index;
}

bool SMS::ReadSMS() {
  if (!portOpen()) return false;
  const auto first = GetFirstSMSIndex();
  if (!first) return false;
  const int i = *first;
  std::string reply;
  if (!send("AT+CMGR=" + std::to_string(i), reply, 60)) return false;
  const auto line = Replies::PDULine(reply);
  if (!line) return false;

  GSM::PDU pdu;
  pdu.let_PDU(*line);
  const bool decoded = pdu.DecodePDU();
  setSMSC(pdu.get_SMSC());
  setMN(pdu.get_MSISDN());
  setSCTS(pdu.get_TimeStamp());
  msg_ = pdu.get_SMSText();
  // A message that cannot be read is still taken off the SIM (it would block every
  // later one), but only once its unit is in the log: it is never lost unseen.
  if (!decoded) WriteAPILog("Received message not decoded: " + *line);

  return send("AT+CMGD=" + std::to_string(i)) && decoded;
}

bool SMS::sendSingle(const std::string& number, const std::string& text, int coding) {
  if (!portOpen()) return false;
  GSM::PDU pdu;
  pdu.let_SMSText(text);
  pdu.let_MSISDN(FormatMSISDN(number));
  pdu.let_TP_DataCode(coding);  // after the text, so 7-bit stays 7-bit
  pdu.EncodePDU();
  std::string unit = pdu.get_PDU();
  if (DeliveryReportFlag && unit.size() > 2) unit[2] = '3';  // first octet 31: report wanted

  std::string reply;
  const std::size_t octets = (unit.size() - 2) / 2;
  if (!modemapi::SendATWaitPrompt(port(), "AT+CMGS=" + std::to_string(octets), reply, 7)) {
    return false;
  }
  if (!send(unit + kCtrlZ, reply, modemapi::kSendResultSeconds)) return false;
  if (auto mr = modemapi::Replies::MessageReference(reply)) setMR(std::move(*mr));
  return true;
}

bool SMS::SendSMST(const std::string& Number, const std::string& MessageText) {
  return sendSingle(Number, MessageText, GSM::Text);
}

bool SMS::SendSMSU(const std::string& Number, const std::string& MessageUnicode) {
  return sendSingle(Number, MessageUnicode, GSM::Unicode);
}

bool SMS::SendLMSText(const std::string& strMobileNumber, const std::string& strMessage,
                      int intMessageReference) {
  const std::u16string text = parlix::text::toUtf16(strMessage);
  if (text.empty()) throw std::runtime_error("SendLMSText: the message is empty");
  // Parts of 153 septets at most; an escape pair never straddles two parts.
  const auto slices = GSM::SplitBySeptets(text, kPartSeptets);
  const int total = static_cast<int>(slices.size());

  for (int n = 1; n <= total; ++n) {
    const std::string slice = parlix::text::toUtf8(slices[static_cast<std::size_t>(n - 1)]);
    WriteAPILog("Message Part: " + slice);
    SubmitUnit unit;
    if (!BuildSubmitPDU(strMobileNumber, slice, intMessageReference, total, n, 7, unit)) {
      return false;
    }
    std::string reply;
    if (!modemapi::SendATWaitPrompt(port(), "AT+CMGS=" + std::to_string(unit.tpduOctets), reply,
                                    7)) {
      return false;
    }
    // A refused part ends the message: later parts are not sent.
    if (!send(unit.unit + kCtrlZ, reply, modemapi::kSendResultSeconds)) return false;
    if (auto mr = modemapi::Replies::MessageReference(reply)) setMR(std::move(*mr));
  }
  return true;
}

bool SMS::DeliveryReportOn() {
  if (!portOpen()) return false;
  const bool ok = send("AT+CNMI=2,0,0,2,0") && send("AT+CSMP=49,255,0,0");
  DeliveryReportFlag = ok;
  return ok;
}

bool SMS::DeliveryReportOff() {
  if (!portOpen()) return false;
  if (!(send("AT+CNMI=2,0,0,0,0") && send("AT+CSMP=1,255,0,0"))) return false;
  DeliveryReportFlag = false;
  return true;
}

bool SMS::GetDeliveryReport() {
  try {
    if (!portOpen()) return false;
    if (!send("AT+CMGF=1")) {
      backToSIMStorage(false);
      return false;
    }
    if (!send("AT+CPMS=\"SR\"")) {
      backToSIMStorage(false);
      return false;
    }
    std::string reply;
    std::optional<int> index;
    if (send("AT+CMGL=\"ALL\"", reply)) index = modemapi::Replies::FirstListedIndex(reply);
    if (!index) {
      backToSIMStorage(true);
      return false;
    }
    const std::string i = std::to_string(*index);
    // <index> is an integer in text mode too.
    if (!send("AT+CMGR=" + i, reply) || reply.find("+CMGR:") == std::string::npos) {
      backToSIMStorage(true);
      return false;
    }
    const auto report = modemapi::Replies::ParseStatusReport(reply);
    if (!report) {
      // The modem always hands out its first stored report: one that cannot be read
      // would block every later one, so it goes.
      send("AT+CMGD=" + i);
      backToSIMStorage(true);
      return false;
    }
    // A temporary error while the centre still tries is no outcome: taken as one, it
    // would close the message and the final report would find nothing to apply to.
    const bool interim = modemapi::Replies::IsInterimStatus(report->status);
    if (!interim) setDeliveryReport(*report);

    send("AT+CMGD=" + i);
    if (interim) {
      backToSIMStorage(true);
      return false;
    }
    const bool back = send("AT+CPMS=\"SM\"");
    send("AT+CMGF=0");
    return back;
  } catch (const std::exception&) {
    backToSIMStorage(true);
    return false;
  }
}

}  // namespace QuentraSMSAPI6
