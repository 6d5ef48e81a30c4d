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

class SMS {
public:
  SMS() = default;
  ~SMS();
  SMS(const SMS&) = delete;
  SMS& operator=(const SMS&) = delete;

  // The message text: the stored value, or the text of the stored object.
  std::string ToMessage() const;
  // The stored object, or nullptr when a value is stored.
  std::shared_ptr<const TextSource> ToMessageObject() const { return toMessageObject_; }
  void setToMessage(std::string text);
  void setToMessage(std::shared_ptr<const TextSource> object);
  const std::string& ToNumber() const { return toNumber_; }
  void setToNumber(std::string v) { toNumber_ = std::move(v); }

  DeliveryStatus DRStatus() const;
  void setDRStatus(DeliveryStatus v);
  const std::string& DRFDate() const { return drFDate_; }
  void setDRFDate(std::string v) { drFDate_ = std::move(v); }
  const std::string& DRFTime() const { return drFTime_; }
  void setDRFTime(std::string v) { drFTime_ = std::move(v); }
  const std::string& DRRDate() const { return drRDate_; }
  void setDRRDate(std::string v) { drRDate_ = std::move(v); }
  const std::string& DRRTime() const { return drRTime_; }
  void setDRRTime(std::string v) { drRTime_ = std::move(v); }
  const std::string& DRMNRecipient() const { return drMNRecipient_; }
  void setDRMNRecipient(std::string v) { drMNRecipient_ = std::move(v); }
  const std::string& DRMsgRef() const { return drMsgRef_; }
  void setDRMsgRef(std::string v) { drMsgRef_ = std::move(v); }
  const std::string& SCTS() const { return scts_; }
  void setSCTS(std::string v) { scts_ = std::move(v); }
  const std::string& MR() const { return mr_; }
  void setMR(std::string v) { mr_ = std::move(v); }
  const std::string& SMSC() const { return smsc_; }
  void setSMSC(std::string v) { smsc_ = std::move(v); }
  const std::string& MSG() const { return msg_; }
  void setMSG(std::string v) { msg_ = std::move(v); }
  const std::string& MN() const { return mn_; }
  void setMN(std::string v) { mn_ = std::move(v); }
  const std::string& IDD() const { return idd_; }
  void setIDD(std::string v) { idd_ = std::move(v); }

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
  std::string drStatus_;  // decimal text; empty until a report was read
  std::string drFDate_, drFTime_, drRDate_, drRTime_, drMNRecipient_, drMsgRef_;
  std::string scts_, mr_, smsc_, msg_, mn_, idd_;
};

}  // namespace QuentraSMSAPI5
