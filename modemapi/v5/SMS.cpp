#include "modemapi/v5/SMS.h"

#include <stdexcept>

#include "modemapi/BringUp.h"
#include "modemapi/Replies.h"
#include "modemapi/Security.h"
#include "modemapi/v5/Link.h"
#include "modemapi/v5/Replies.h"
#include "platform/clock/Clock.h"

namespace QuentraSMSAPI5 {

using modemapi::CloseModem;
using modemapi::IsPortOpen;
using modemapi::SendATCommand;
using modemapi::Transport;

namespace {

constexpr int kStartingTries = 12;  // "+CMS ERROR: 515": the modem is still starting
constexpr int kStartingSleepMs = 7000;
constexpr int kRegistrationTries = 3;
constexpr int kListingSeconds = 60;

// Writes a command and waits for the final "OK" in a reply of its own; an "ERROR"
// answer is not awaited, so it ends in the time-out.
bool AwaitOK(Transport& t, std::string_view cmd, std::string& reply, int seconds) {
  reply.clear();
  return modemapi::WaitForOK(t, cmd, reply, seconds);
}

bool Command(Transport& t, const std::string& cmd, int seconds = 0) {
  std::string reply;
  return SendATCommand(t, cmd, reply, seconds);
}

ModemStatus Closed(Transport& t, ModemStatus result) {
  CloseModem(t);
  return result;
}

// A report's texts in UTF-8.
modemapi::Replies::StatusReport ReportFromModem(modemapi::Replies::StatusReport r) {
  for (std::string* field : {&r.messageReference, &r.recipient, &r.receivedDate, &r.receivedTime,
                             &r.dischargeDate, &r.dischargeTime}) {
    *field = FromModem(*field);
  }
  return r;
}

}  // namespace

SMS::~SMS() {
  try {
    modemapi::unloadPortWindow(modemapi::Library::API5);
  } catch (...) {
    // Ending the object must not throw; the port is gone either way.
  }
}

std::string SMS::ToMessage() const { return toMessageObject_ ? toMessageObject_->Text() : toMessage_; }

void SMS::setToMessage(std::string text) {
  toMessage_ = std::move(text);
  toMessageObject_.reset();
}

void SMS::setToMessage(std::shared_ptr<const TextSource> object) {
  toMessage_.clear();
  toMessageObject_ = std::move(object);
}

ModemStatus SMS::ModemInit(int intPort, std::string_view PIN) {
  Transport& t = Link();
  try {
    const ModemStatus opened = modemapi::OpenAndUnlock(t, intPort, PIN);
    if (opened != ModemStatus::OK) return opened;

    for (int i = 1;; ++i) {
      std::string reply;
      if (SendATCommand(t, "AT+CSMS=0", reply, 0)) break;
      if (reply.find("+CMS ERROR: 515") == std::string::npos) return Closed(t, ModemStatus::Fail);
      parlix::clock::sleep(kStartingSleepMs);
      if (i == kStartingTries) break;  // go on all the same
    }

    std::string reply;
    if (!modemapi::SignalAndHeaders(t)) return Closed(t, ModemStatus::Fail);
    if (!AwaitOK(t, "AT+CMGF=1", reply, 7)) return Closed(t, ModemStatus::Fail);
    // Texts travel as Windows-1252 bytes: many modems start in the "GSM" character set,
    // where "@" is a NUL byte and "_" reads as "§". Latin-1 where the modem has it, else
    // at least plain ASCII; a modem that knows neither keeps its own.
    if (!Command(t, "AT+CSCS=\"8859-1\"")) Command(t, "AT+CSCS=\"IRA\"");
    Command(t, "AT+CNMI=0,0,0,2,0");
    return ModemStatus::OK;
  } catch (const std::exception&) {
    return Closed(t, ModemStatus::Fail);
  }
}

bool SMS::ConnectToGSM() {
  try {
    Transport& t = Link();
    for (int i = 1; i <= kRegistrationTries; ++i) {
      std::string reply;
      if (SendATCommand(t, "AT+CREG?", reply, 3) && Replies::IsRegistered(reply)) return true;
      if (i < kRegistrationTries) parlix::clock::sleep(1000);
    }
  } catch (const std::exception&) {
  }
  return false;
}

std::int16_t SMS::GetSignalStrength() {
  try {
    std::string reply;
    if (!modemapi::SendATWaitLine(Link(), "AT+CSQ", reply, 7)) return -1;
    return static_cast<std::int16_t>(Replies::SignalLevel(reply));
  } catch (const std::exception&) {
    return -1;
  }
}

std::optional<int> SMS::GetFirstSMSIndex() {
  Transport& t = Link();
  if (!IsPortOpen(t)) return std::nullopt;
  if (!Command(t, "AT+CPMS=\"SM\"")) return std::nullopt;
  std::string listing;
  // Listing the unread ones marks them read; the second listing then holds them all.
  if (!AwaitOK(t, "AT+CMGL=\"REC UNREAD\"", listing, kListingSeconds)) return std::nullopt;
  if (!AwaitOK(t, "AT+CMGL=\"REC READ\"", listing, kListingSeconds)) return std::nullopt;
  return modemapi::Replies::FirstListedIndex(listing);
}

bool SMS::ReadSMS() {
  try {
    const auto index = GetFirstSMSIndex();
    if (!index) return false;
    Transport& t = Link();
    if (!IsPortOpen(t)) return false;
    std::string reply;
    if (!SendATCommand(t, "AT+CMGR=" + std::to_string(*index), reply, kListingSeconds)) return false;
    const auto message = Replies::ParseTextMessage(reply);
    if (!message) return false;
    setMN(FromModem(message->number));
    setSCTS(FromModem(message->timestamp));
    setSMSC(FromModem(message->centre));
    msg_ = message->utf8 ? message->text : FromModem(message->text);
    return Command(t, "AT+CMGD=" + std::to_string(*index));
  } catch (const std::exception&) {
    return false;
  }
}

bool SMS::SendSMS(std::string_view strHP, std::string_view strMsg) {
  Transport& t = Link();
  if (!IsPortOpen(t)) return false;
  const std::string number(strHP.empty() ? std::string_view(toNumber_) : strHP);
  const std::string text = strMsg.empty() ? ToMessage() : std::string(strMsg);
  if (number.empty() || text.empty()) return false;
  if (!FitsInCommand(number, true) || !FitsInMessage(text)) return false;

  std::string prompt;
  if (!modemapi::WaitForText(t, "AT+CMGS=\"" + ToModem(number) + "\"", ">", prompt, 7)) return false;
  std::string reply;
  if (!SendATCommand(t, ToModem(text) + '\x1a', reply, modemapi::kSendResultSeconds)) return false;
  if (const auto mr = modemapi::Replies::MessageReference(reply)) setMR(FromModem(*mr));
  return true;
}

bool SMS::switchReports(const char* cnmi, const char* csmp) {
  Transport& t = Link();
  if (!IsPortOpen(t)) return false;
  return Command(t, cnmi) && Command(t, csmp);
}

bool SMS::DeliveryReportOn() { return switchReports("AT+CNMI=2,0,0,2,0", "AT+CSMP=33,255,0,0"); }

bool SMS::DeliveryReportOff() { return switchReports("AT+CNMI=2,0,0,0,0", "AT+CSMP=1,255,0,0"); }

bool SMS::GetDeliveryReport() {
  Transport& t = Link();
  if (!IsPortOpen(t)) return false;
  if (!Command(t, "AT+CPMS=\"SR\"")) return false;
  std::string listing;
  if (!SendATCommand(t, "AT+CMGL=\"ALL\"", listing, 0)) return false;
  const auto index = modemapi::Replies::FirstListedIndex(listing);
  if (!index) return false;
  const std::string where = std::to_string(*index);
  std::string reply;
  // <index> is an integer: strict modems refuse it quoted.
  if (!SendATCommand(t, "AT+CMGR=" + where, reply, 0)) return false;
  if (reply.find("+CMGR:") == std::string::npos) return false;

  const auto report = modemapi::Replies::ParseStatusReport(reply);
  if (report) setDeliveryReport(ReportFromModem(*report));
  // A report that cannot be read is deleted too, or it would block every later one.
  Command(t, "AT+CMGD=" + where);
  const bool back = Command(t, "AT+CPMS=\"SM\"");
  return report && back;
}

bool SMS::ModemReset() {
  try {
    return Command(Link(), "AT&F0");
  } catch (const std::exception&) {
    return false;
  }
}

bool SMS::ModemClose() { return CloseModem(Link()); }

}  // namespace QuentraSMSAPI5
