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
//   PINAttempts()                                  SIM PIN attempts left as the modem told
//                                                  at the last InitModem with a PIN to
//                                                  enter; -1 when it did not tell
//
// Methods:
//   InitModem(port, pin = "") -> ModemStatus       open, probe baud, PIN, PDU mode; the
//                                                  PIN is not sent while only one attempt
//                                                  is left (PINRequired)
//   ConnectToGSM() -> bool                         registered at home or roaming
//   ReadSMS() -> bool                              first stored message into SMSC/MN/SCTS/Msg,
//                                                  then deleted; false for one that cannot be
//                                                  decoded (its unit goes to the daily log first)
//   SendSMST(number, text) -> bool                 one 7-bit message
//   SendSMSU(number, text) -> bool                 one UCS-2 message
//   SendLMSText(number, text, reference) -> bool   concatenated 7-bit parts of 153 septets
//   DeliveryReportOn() / DeliveryReportOff() -> bool
//   GetDeliveryReport() -> bool                    first status report into the DR* properties
//   CloseModem() -> bool
//
// ReadSMS, SendSMST, SendSMSU, SendLMSText, DeliveryReportOn and DeliveryReportOff let
// serial-port errors pass as exceptions (std::runtime_error); the others never throw.
// Destroying the object closes the port (the port is shared by every SMS object of
// the thread).
#include <optional>
#include <string>

#include "modemapi/Results.h"
#include "modemapi/Types.h"

namespace QuentraSMSAPI6 {

// Fail 0, OK 1, PINRequired 2, PINWrong 3, SIMBlocked 4, SIMError 5.
using ModemStatus = modemapi::ModemStatus;
// Undelivered 0, Delivered 1, Unknown 2.
using DeliveryStatus = modemapi::DeliveryStatus;

class SMS : public modemapi::Results {
public:
  SMS() = default;
  ~SMS();

  // The DR* properties, SCTS, MR, SMSC, MN and IDD come from modemapi::Results.
  const std::string& Msg() const { return msg_; }
  void setMsg(std::string v) { msg_ = std::move(v); }
  int PINAttempts() const { return pinAttempts_; }

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
  std::optional<int> GetFirstSMSIndex();

  std::string msg_;
  int pinAttempts_ = -1;
  bool DeliveryReportFlag = false;
};

}  // namespace QuentraSMSAPI6
