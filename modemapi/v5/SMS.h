#pragma once
// QuentraSMSAPI5::SMS drives one GSM modem in text mode (AT+CMGF=1): bring-up,
// network and signal checks, reading and deleting received messages, sending,
// delivery reports, factory reset. Methods answer true/false (or a ModemStatus, or
// -1) and leave their results in the object's properties. Texts are UTF-8; the modem
// sees them in the Windows-1252 code page, as text mode expects.
//
// Properties (getter / setter):
//   ToMessage() / setToMessage(text | object)   text SendSMS uses when its own is empty;
//                                               an object's text is read at the send
//   ToNumber()  / setToNumber()                 number SendSMS uses when its own is empty
//   DRStatus()  / setDRStatus()                 last delivery report; DRStatus() throws
//                                               std::runtime_error while none was read
//   DRFDate, DRFTime, DRRDate, DRRTime          discharge and centre dates and times
//                                               (times without their zone)
//   DRMNRecipient, DRMsgRef                     report's recipient and reference
//   SCTS                                        received message: "yy/mm/dd hh:mm:ss"
//   MR                                          reference of the last message sent (may
//                                               end in line breaks; use its number)
//   SMSC, MSG, MN                               received message: centre, text, sender
//   IDD                                         stored for callers, unused here
//
// Methods:
//   ModemInit(port, pin = "") -> ModemStatus    open, probe baud, PIN, text mode
//   ConnectToGSM() -> bool                      registered at home or roaming (3 tries)
//   GetSignalStrength() -> 0..3, -1             0 none, 1 weak, 2 usable, 3 strong
//   ReadSMS() -> bool                           first stored message into MN/SCTS/SMSC/MSG,
//                                               then deleted
//   SendSMS(number = "", text = "") -> bool     one message; MR holds its reference
//   DeliveryReportOn() / DeliveryReportOff() -> bool
//   GetDeliveryReport() -> bool                 first status report into the DR* properties
//   ModemReset() -> bool                        factory settings (AT&F0)
//   ModemClose() -> bool
//
// SendSMS, DeliveryReportOn, DeliveryReportOff and GetDeliveryReport let serial-port
// errors pass as exceptions (std::runtime_error); the others never throw. Objects of
// this library on one thread share one port (so USSD and Phonebook use the port an SMS
// object opened); destroying any SMS object closes it.

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "modemapi/Results.h"
#include "modemapi/Types.h"

namespace QuentraSMSAPI5 {

using ModemStatus = modemapi::ModemStatus;
using DeliveryStatus = modemapi::DeliveryStatus;

// An object handed to ToMessage by reference: its text is what gets sent.
class TextSource {
public:
  virtual ~TextSource() = default;
  virtual std::string Text() const = 0;
};

class SMS : public modemapi::Results {
public:
  SMS() = default;
  ~SMS();

  // The message text: the stored value, or the text of the stored object.
  std::string ToMessage() const;
  // The stored object, or nullptr when a value is stored.
  std::shared_ptr<const TextSource> ToMessageObject() const { return toMessageObject_; }
  void setToMessage(std::string text);
  void setToMessage(std::shared_ptr<const TextSource> object);
  const std::string& ToNumber() const { return toNumber_; }
  void setToNumber(std::string v) { toNumber_ = std::move(v); }

  // The DR* properties, SCTS, MR, SMSC, MN and IDD come from modemapi::Results.
  const std::string& MSG() const { return msg_; }
  void setMSG(std::string v) { msg_ = std::move(v); }

  ModemStatus ModemInit(int intPort, std::string_view PIN = {});
  bool ConnectToGSM();
  std::int16_t GetSignalStrength();
  bool ReadSMS();
  bool SendSMS(std::string_view strHP = {}, std::string_view strMsg = {});
  bool DeliveryReportOn();
  bool DeliveryReportOff();
  bool GetDeliveryReport();
  bool ModemReset();
  bool ModemClose();

private:
  std::optional<int> GetFirstSMSIndex();
  bool switchReports(const char* cnmi, const char* csmp);

  std::string toMessage_;
  std::shared_ptr<const TextSource> toMessageObject_;
  std::string toNumber_;
  std::string msg_;
};

}  // namespace QuentraSMSAPI5
