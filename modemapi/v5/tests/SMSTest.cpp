#include <gtest/gtest.h>

#include "modemapi/v5/tests/Fixture.h"

using namespace v5test;
using QuentraSMSAPI5::DeliveryStatus;
using QuentraSMSAPI5::ModemStatus;

namespace {

// What a ready modem answers once the SIM is past its PIN.
void answerAfterPin(FakePort& m) {
  m.expect("AT+CSMS=0\r", "\r\n+CSMS: 1,1,1\r\n" + OK)
      .expect("AT+CSQ\r", "\r\n+CSQ: 15,99\r\n" + OK)
      .expect("AT+CSDH=1\r", OK)
      .expect("AT+CMGF=1\r", OK)
      .expect("AT+CSCS=\"8859-1\"\r", OK)
      .expect("AT+CNMI=0,0,0,2,0\r", OK);
}

// What a ready modem answers after a successful "AT" probe.
void answerBringUp(FakePort& m) {
  m.expect("AT+CPIN?\r", "\r\n+CPIN: READY\r\n" + OK);
  answerAfterPin(m);
}

const std::string kMessage =
    "\r\n+CMGR: \"REC READ\",\"+60123456789\",,\"07/05/01,12:34:56+32\",145,4,0,0,\"+60120000015\",145,4\r\n"
    "caf\xe9\r\n" + OK;

class SMSTest : public ModemTest {};

}  // namespace

TEST_F(SMSTest, ModemInitFindsA9600ModemOnTheSecondProbeAndCanBeRepeated) {
  modem->baudOnly("9600,N,8,1");
  modem->expect("\x1B").expect("AT\r", OK);  // ESC first: a half-written command is left
  answerBringUp(*modem);
  EXPECT_EQ(sms.ModemInit(3), ModemStatus::OK);
  EXPECT_EQ(modem->opens(), (std::vector<std::string>{"115200,N,8,1", "9600,N,8,1"}));
  EXPECT_EQ(modem->commPort(), 3);
  EXPECT_GE(seconds(), 7.0);  // the deaf first probe ran out
  EXPECT_EQ(modem->pending(), 0u);
  EXPECT_TRUE(modem->unexpected().empty());
  EXPECT_TRUE(portOpen());

  // Again on another port while open: closed, renumbered, probed from the start.
  modem->baudOnly("");
  modem->expect("\x1B").expect("AT\r", OK);  // ESC first: a half-written command is left
  answerBringUp(*modem);
  EXPECT_EQ(sms.ModemInit(4), ModemStatus::OK);
  EXPECT_EQ(modem->commPort(), 4);
  EXPECT_EQ(modem->opens().back(), "115200,N,8,1");
  EXPECT_EQ(modem->pending(), 0u);
}

TEST_F(SMSTest, ModemInitGivesUpAfterThreeSilentProbes) {
  EXPECT_EQ(sms.ModemInit(1), ModemStatus::Fail);
  EXPECT_EQ(modem->opens(), (std::vector<std::string>{"115200,N,8,1", "9600,N,8,1", "9600,N,8,1"}));
  EXPECT_FALSE(portOpen());
  EXPECT_GE(seconds(), 21.0);
  EXPECT_LE(seconds(), 24.5);
}

TEST_F(SMSTest, ModemInitMissingPortIsAFailNotAnError) {
  modem->failNextOpen();
  EXPECT_EQ(sms.ModemInit(9), ModemStatus::Fail);
  EXPECT_FALSE(portOpen());
}

TEST_F(SMSTest, ModemInitGoesOnAfterTwelveStartingAnswers) {
  modem->expect("\x1B").expect("AT\r", OK).expect("AT+CPIN?\r", "\r\n+CPIN: READY\r\n" + OK);
  for (int i = 0; i < 12; ++i) modem->expect("AT+CSMS=0\r", "\r\n+CMS ERROR: 515\r\n");
  modem->expect("AT+CSQ\r", "\r\n+CSQ: 15,99\r\n" + OK)
      .expect("AT+CSDH=1\r", OK)
      .expect("AT+CMGF=1\r", OK)
      .expect("AT+CSCS=\"8859-1\"\r", "\r\nERROR\r\n")  // no Latin-1: plain ASCII then
      .expect("AT+CSCS=\"IRA\"\r", OK)
      .expect("AT+CNMI=0,0,0,2,0\r", "\r\nERROR\r\n");  // not looked at
  EXPECT_EQ(sms.ModemInit(1), ModemStatus::OK);
  EXPECT_EQ(modem->pending(), 0u);
  EXPECT_TRUE(modem->unexpected().empty());
  EXPECT_GE(clock.slept(), std::chrono::milliseconds(12 * 7000));
  EXPECT_TRUE(portOpen());
}

TEST_F(SMSTest, ModemInitFailsOnOtherServiceErrorsAndOnNoSignal) {
  modem->expect("AT\r", OK)
      .expect("AT+CPIN?\r", "\r\n+CPIN: READY\r\n" + OK)
      .expect("AT+CSMS=0\r", "\r\n+CMS ERROR: 500\r\n");
  EXPECT_EQ(sms.ModemInit(1), ModemStatus::Fail);
  EXPECT_FALSE(portOpen());

  modem->expect("AT\r", OK)
      .expect("AT+CPIN?\r", "\r\n+CPIN: READY\r\n" + OK)
      .expect("AT+CSMS=0\r", OK)
      .expect("AT+CSQ\r", "\r\n+CSQ: 0,0\r\n" + OK)
      .expect("AT+CSDH=1\r", OK);
  EXPECT_EQ(sms.ModemInit(1), ModemStatus::Fail);
  EXPECT_FALSE(portOpen());
  EXPECT_EQ(modem->pending(), 1u);  // stopped before "AT+CSDH=1"
}

TEST_F(SMSTest, ModemInitPinStates) {
  const std::string pinWanted = "\r\n+CPIN: SIM PIN\r\n" + OK;
  modem->expect("\x1B").expect("AT\r", OK).expect("AT+CPIN?\r", pinWanted);
  EXPECT_EQ(sms.ModemInit(1), ModemStatus::PINRequired);
  EXPECT_FALSE(portOpen());

  // A PIN that would end the command line is not sent at all.
  modem->expect("\x1B").expect("AT\r", OK).expect("AT+CPIN?\r", pinWanted);
  EXPECT_EQ(sms.ModemInit(1, "12\rAT+CMGD=1,4"), ModemStatus::PINWrong);
  EXPECT_TRUE(modem->unexpected().empty());
  EXPECT_EQ(modem->written().back(), "AT+CPIN?\r");

  modem->expect("\x1B").expect("AT\r", OK).expect("AT+CPIN?\r", pinWanted).expect("AT+CPIN=1234\r", OK);
  answerAfterPin(*modem);
  EXPECT_EQ(sms.ModemInit(1, "1234"), ModemStatus::OK);
}

TEST_F(SMSTest, ConnectToGSMTriesThreeTimesAndKeepsThePortOpen) {
  openPort();
  for (int i = 0; i < 3; ++i) modem->expect("AT+CREG?\r", "\r\n+CREG: 0,2\r\n" + OK);
  EXPECT_FALSE(sms.ConnectToGSM());
  EXPECT_EQ(modem->pending(), 0u);
  EXPECT_TRUE(portOpen());
  EXPECT_GE(seconds(), 2.0);  // two pauses of a second between the tries

  modem->expect("AT+CREG?\r", "\r\n+CREG: 0,2\r\n" + OK).expect("AT+CREG?\r", "\r\n+CREG: 0,5\r\n" + OK);
  EXPECT_TRUE(sms.ConnectToGSM());
}

TEST_F(SMSTest, ConnectToGSMOnASilentModemEndsWithinThreeShortWaits) {
  openPort();
  EXPECT_FALSE(sms.ConnectToGSM());
  EXPECT_EQ(modem->written().size(), 3u);
  EXPECT_LE(seconds(), 3 * 4.0 + 2 * 1.0 + 0.5);
}

TEST_F(SMSTest, GetSignalStrengthMapsTheIndication) {
  openPort();
  modem->expect("AT+CSQ\r", "\r\n+CSQ: 15,99\r\n" + OK).expect("AT+CSQ\r", "\r\n+CSQ: 99,99\r\n" + OK);
  EXPECT_EQ(sms.GetSignalStrength(), 2);
  EXPECT_EQ(sms.GetSignalStrength(), -1);
  modem->setPortOpen(false);
  EXPECT_EQ(sms.GetSignalStrength(), -1);  // the closed port's error is trapped
}

TEST_F(SMSTest, ReadSMSWithNothingStoredListsTwiceAndReadsNothing) {
  openPort();
  modem->expect("AT+CPMS=\"SM\"\r", "\r\n+CPMS: 0,30,0,30,0,30\r\n" + OK)
      .expect("AT+CMGL=\"REC UNREAD\"\r", OK)
      .expect("AT+CMGL=\"REC READ\"\r", OK);
  EXPECT_FALSE(sms.ReadSMS());
  EXPECT_EQ(modem->pending(), 0u);
  EXPECT_TRUE(modem->unexpected().empty());  // no AT+CMGR
}

TEST_F(SMSTest, ReadSMSFillsThePropertiesAndDeletes) {
  openPort();
  modem->expect("AT+CPMS=\"SM\"\r", OK)
      .expect("AT+CMGL=\"REC UNREAD\"\r", "\r\n+CMGL: 3,\"REC UNREAD\",\"+60123456789\"\r\ncaf\xe9\r\n" + OK)
      .expect("AT+CMGL=\"REC READ\"\r", "\r\n+CMGL: 3,\"REC READ\",\"+60123456789\"\r\ncaf\xe9\r\n" + OK)
      .expect("AT+CMGR=3\r", {{0, kMessage.substr(0, 40)}, {250, kMessage.substr(40)}})
      .expect("AT+CMGD=3\r", OK);
  EXPECT_TRUE(sms.ReadSMS());
  EXPECT_EQ(sms.MN(), "+60123456789");
  EXPECT_EQ(sms.SCTS(), "07/05/01 12:34:56");
  EXPECT_EQ(sms.SMSC(), "+60120000015");
  EXPECT_EQ(sms.MSG(), "caf\xc3\xa9");  // the modem's code page read as UTF-8
  EXPECT_EQ(modem->pending(), 0u);
}

TEST_F(SMSTest, ReadSMSOnAMalformedMessageFailsWithoutDeleting) {
  openPort();
  modem->expect("AT+CPMS=\"SM\"\r", OK)
      .expect("AT+CMGL=\"REC UNREAD\"\r", OK)
      .expect("AT+CMGL=\"REC READ\"\r", "\r\n+CMGL: 1,\"REC READ\"\r\n" + OK)
      .expect("AT+CMGR=1\r", "\r\n+CMGR: \"REC READ\"\r\nx\r\n" + OK);
  sms.setMN("before");
  EXPECT_FALSE(sms.ReadSMS());
  EXPECT_EQ(sms.MN(), "before");
  EXPECT_TRUE(modem->unexpected().empty());  // no AT+CMGD

  modem->setPortOpen(false);
  const auto writes = modem->written().size();
  EXPECT_FALSE(sms.ReadSMS());
  EXPECT_EQ(modem->written().size(), writes);
}

TEST_F(SMSTest, SendSMSFallsBackToTheStoredNumberAndText) {
  openPort();
  sms.setToNumber("0123456789");
  sms.setToMessage("Hello");
  modem->expect("AT+CMGS=\"0123456789\"\r", "\r\n> ")
      .expect("Hello\x1a", {{0, "Hello\x1a"}, {3000, "\r\n+CMGS: 12\r\n"}, {10, OK}});
  EXPECT_TRUE(sms.SendSMS());
  EXPECT_EQ(sms.MR(), "12\r\n\r\n");
  EXPECT_EQ(modem->pending(), 0u);

  // An object's text is read when the message goes out; arguments win over both.
  struct Body : QuentraSMSAPI5::TextSource {
    std::string text;
    std::string Text() const override { return text; }
  };
  auto body = std::make_shared<Body>();
  sms.setToMessage(body);
  body->text = "from the object";
  modem->expect("AT+CMGS=\"0123456789\"\r", "\r\n> ").expect("from the object\x1a", OK);
  EXPECT_TRUE(sms.SendSMS());
  EXPECT_EQ(sms.MR(), "12\r\n\r\n");  // no "+CMGS": kept
  modem->expect("AT+CMGS=\"019\"\r", "\r\n> ").expect("caf\xe9\x1a", "\r\n+CMGS: 13\r\n" + OK);
  EXPECT_TRUE(sms.SendSMS("019", "caf\xc3\xa9"));
  EXPECT_EQ(sms.MR(), "13\r\n\r\n");
  EXPECT_EQ(modem->pending(), 0u);
}

TEST_F(SMSTest, SendSMSRefusesWithoutWriting) {
  openPort();
  EXPECT_FALSE(sms.SendSMS());
  sms.setToNumber("0123");
  EXPECT_FALSE(sms.SendSMS());
  EXPECT_FALSE(sms.SendSMS("", ""));
  // Texts that would break out of the command or end the message early.
  EXPECT_FALSE(sms.SendSMS("01\"23", "Hi"));
  EXPECT_FALSE(sms.SendSMS("0123\r", "Hi"));
  EXPECT_FALSE(sms.SendSMS("0123", "Hi\x1a" "AT+CMGD=1,4"));
  EXPECT_FALSE(sms.SendSMS("0123", "Hi\x1b"));
  EXPECT_TRUE(modem->written().empty());

  modem->setPortOpen(false);
  EXPECT_FALSE(sms.SendSMS("0123", "Hi"));
  EXPECT_TRUE(modem->written().empty());
}

TEST_F(SMSTest, SendSMSWithoutPromptGivesUpAfterSevenSeconds) {
  openPort();
  modem->expect("AT+CMGS=\"0123\"\r", "\r\nERROR\r\n");
  EXPECT_FALSE(sms.SendSMS("0123", "Hi"));
  EXPECT_EQ(modem->written().size(), 1u);  // the text never went out
  EXPECT_GE(seconds(), 7.0);
  EXPECT_LE(seconds(), 8.5);
}

TEST_F(SMSTest, DeliveryReportSwitches) {
  openPort();
  modem->expect("AT+CNMI=2,0,0,2,0\r", OK).expect("AT+CSMP=33,255,0,0\r", OK);
  EXPECT_TRUE(sms.DeliveryReportOn());
  modem->expect("AT+CNMI=2,0,0,0,0\r", "\r\nERROR\r\n");
  EXPECT_FALSE(sms.DeliveryReportOff());
  modem->expect("AT+CNMI=2,0,0,0,0\r", OK).expect("AT+CSMP=1,255,0,0\r", "\r\n+CMS ERROR: 302\r\n");
  EXPECT_FALSE(sms.DeliveryReportOff());
  EXPECT_EQ(modem->pending(), 0u);
  EXPECT_TRUE(modem->unexpected().empty());
  modem->setPortOpen(false);
  EXPECT_FALSE(sms.DeliveryReportOn());
}

TEST_F(SMSTest, GetDeliveryReportReadsDeletesAndReturnsToSIMStorage) {
  EXPECT_THROW(sms.DRStatus(), std::runtime_error);
  openPort();
  modem->expect("AT+CPMS=\"SR\"\r", OK)
      .expect("AT+CMGL=\"ALL\"\r", "\r\n+CMGL: 2,\"REC UNREAD\",6,12,\"+60123456789\",145\r\n" + OK)
      .expect("AT+CMGR=2\r",
              "\r\n+CMGR: \"REC UNREAD\",6,12,\"+60123456789\",145,\"07/05/01,12:34:56+32\","
              "\"07/05/01,12:35:10+32\",48\r\n" + OK)
      .expect("AT+CMGD=2\r", "\r\nERROR\r\n")  // not looked at
      .expect("AT+CPMS=\"SM\"\r", OK);
  EXPECT_TRUE(sms.GetDeliveryReport());
  EXPECT_EQ(sms.DRStatus(), DeliveryStatus::Undelivered);
  EXPECT_EQ(sms.DRMsgRef(), "12");
  EXPECT_EQ(sms.DRMNRecipient(), "+60123456789");
  EXPECT_EQ(sms.DRRDate(), "07/05/01");
  EXPECT_EQ(sms.DRRTime(), "12:34:56");
  EXPECT_EQ(sms.DRFDate(), "07/05/01");
  EXPECT_EQ(sms.DRFTime(), "12:35:10");
  EXPECT_EQ(modem->pending(), 0u);
}

TEST_F(SMSTest, GetDeliveryReportFailures) {
  openPort();
  // Nothing stored: the report storage stays selected.
  modem->expect("AT+CPMS=\"SR\"\r", OK).expect("AT+CMGL=\"ALL\"\r", OK);
  EXPECT_FALSE(sms.GetDeliveryReport());
  EXPECT_TRUE(modem->unexpected().empty());

  // A report that cannot be read is still deleted, so later ones are reached.
  modem->expect("AT+CPMS=\"SR\"\r", OK)
      .expect("AT+CMGL=\"ALL\"\r", "\r\n+CMGL: 5,\"REC READ\"\r\n" + OK)
      .expect("AT+CMGR=5\r", "\r\n+CMGR: \"REC READ\",6,12\r\n" + OK)
      .expect("AT+CMGD=5\r", OK)
      .expect("AT+CPMS=\"SM\"\r", OK);
  EXPECT_FALSE(sms.GetDeliveryReport());
  EXPECT_EQ(modem->pending(), 0u);
  EXPECT_THROW(sms.DRStatus(), std::runtime_error);
}

TEST_F(SMSTest, ModemResetAndClose) {
  openPort();
  modem->expect("AT&F0\r", OK);
  EXPECT_TRUE(sms.ModemReset());
  EXPECT_TRUE(sms.ModemClose());
  EXPECT_FALSE(portOpen());
  EXPECT_FALSE(sms.ModemReset());  // the closed port's error is trapped
}
