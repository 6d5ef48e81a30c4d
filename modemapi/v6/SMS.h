#pragma once
// QuentraSMSAPI6::SMS drives one GSM modem in PDU mode: bring-up, sending single,
// Unicode and long messages, reading and deleting received messages, delivery
// reports. Methods answer true/false (or a ModemStatus) and leave their results
// in the object's properties. Texts are UTF-8.
//
// Properties (getter / setter):
//   DRStatus()      / setDRStatus(DeliveryStatus)  last delivery report's status;
//                                                  DRStatus() throws std::runtime_error
//                                                  while no report has been read
//   DRFDate(), DRFTime() / setDRFDate(), setDRFTime()   discharge date, time (no zone)
//   DRRDate(), DRRTime() / setDRRDate(), setDRRTime()   centre received date, time
//   DRMNRecipient() / setDRMNRecipient()           report's recipient number
//   DRMsgRef()      / setDRMsgRef()                report's message reference (match with MR)
//   SCTS()          / setSCTS()                    received message: centre time stamp
//                                                  "20YY-Mon-DD hh:mm:ss"
//   MR()            / setMR()                      reference of the last message sent
//                                                  (may end in line breaks; use its number)
//   SMSC()          / setSMSC()                    received message: service centre
//   Msg()           / setMsg()                     received message: text
//   MN()            / setMN()                      received message: sender, without "+"
//   IDD()           / setIDD()                     stored for callers, unused here
//
// Methods:
//   InitModem(port, pin = "") -> ModemStatus       open, probe baud, PIN, PDU mode
//   ConnectToGSM() -> bool                         registered at home or roaming
//   ReadSMS() -> bool                              first stored message into SMSC/MN/SCTS/Msg,
//                                                  then deleted
//   SendSMST(number, text) -> bool                 one 7-bit message
//   SendSMSU(number, text) -> bool                 one UCS-2 message
//   SendLMSText(number, text, reference) -> bool   concatenated 7-bit parts of 153 chars
//   DeliveryReportOn() / DeliveryReportOff() -> bool
//   GetDeliveryReport() -> bool                    first status report into the DR* properties
//   CloseModem() -> bool
//
// ReadSMS, SendSMST, SendSMSU, SendLMSText, DeliveryReportOn and DeliveryReportOff let
// serial-port errors pass as exceptions (std::runtime_error); the others never throw.
// Destroying the object closes the port (the port is shared by every SMS object of
// the thread).
#include <string>

#include "modemapi/Types.h"

namespace QuentraSMSAPI6 {

// Fail 0, OK 1, PINRequired 2, PINWrong 3, SIMBlocked 4, SIMError 5.
using ModemStatus = modemapi::ModemStatus;
// Undelivered 0, Delivered 1, Unknown 2.
using DeliveryStatus = modemapi::DeliveryStatus;

class SMS {
public:
  SMS() = default;
  ~SMS();
  SMS(const SMS&) = delete;
  SMS& operator=(const SMS&) = delete;

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
  const std::string& Msg() const { return msg_; }
  void setMsg(std::string v) { msg_ = std::move(v); }
  const std::string& MN() const { return mn_; }
  void setMN(std::string v) { mn_ = std::move(v); }
  const std::string& IDD() const { return idd_; }
  void setIDD(std::string v) { idd_ = std::move(v); }

  ModemStatus InitModem(int intPort, const std::string& PIN = "");
  bool ConnectToGSM();
  bool ReadSMS();
  bool SendLMSText(const std::string& strMobileNumber, const std::string& strMessage,
                   int intMessageReference);
  bool SendSMST(const std::string& Number, const std::string& MessageText);
  bool SendSMSU(const std::string& Number, const std::string& MessageUnicode);
  bool DeliveryReportOn();
  bool DeliveryReportOff();
  bool GetDeliveryReport();
  bool CloseModem();

private:
  bool sendSingle(const std::string& number, const std::string& text, int coding);
  int GetFirstSMSIndex();

  std::string drStatus_;  // decimal text; empty until a report was read
  std::string drFDate_, drFTime_, drRDate_, drRTime_, drMNRecipient_, drMsgRef_;
  std::string scts_, mr_, smsc_, msg_, mn_, idd_;
  bool DeliveryReportFlag = false;
};

}  // namespace QuentraSMSAPI6
