// The library against the simulated modem on a real pty, in text mode, on real time.
#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "modemapi/Replies.h"
#include "modemapi/v5/Phonebook.h"
#include "modemapi/v5/SMS.h"
#include "modemapi/v5/USSD.h"
#include "platform/serial/SerialPort.h"
#include "tools/modemsim/SimModem.h"

using QuentraSMSAPI5::DeliveryStatus;
using QuentraSMSAPI5::ModemStatus;

namespace {

constexpr int kPort = 3;

class SimTest : public ::testing::Test {
protected:
  explicit SimTest(std::vector<std::string> args = {}) : sim(std::move(args)) {
    sim.linkPort(sim.workDir(), kPort);
    parlix::serial::setPortsFolder(sim.workDir() + "/ports");
  }
  ~SimTest() override { parlix::serial::setPortsFolder({}); }

  void bringUp() {
    ASSERT_EQ(sms->ModemInit(kPort), ModemStatus::OK);
    ASSERT_TRUE(sms->ConnectToGSM());
  }

  modemsim::SimModem sim;
  std::unique_ptr<QuentraSMSAPI5::SMS> sms = std::make_unique<QuentraSMSAPI5::SMS>();
};

long numberOf(const std::string& mr) {
  return modemapi::Replies::ToNumber(mr.substr(0, mr.find('\r')), 0, 255).value_or(-1);
}

}  // namespace

TEST_F(SimTest, BringUpSendAndRead) {
  bringUp();
  EXPECT_EQ(sms->GetSignalStrength(), 2);

  sms->setToNumber("0123456789");
  ASSERT_TRUE(sms->SendSMS("", "Hello from the gateway"));
  const auto sent = sim.sent();
  ASSERT_EQ(sent.size(), 1u);
  EXPECT_EQ(sent[0].mode, "text");
  EXPECT_EQ(sent[0].number, "0123456789");
  EXPECT_EQ(sent[0].text, "Hello from the gateway");
  EXPECT_FALSE(sent[0].report);
  EXPECT_EQ(numberOf(sms->MR()), sent[0].mr);

  sim.inject("+60198765432", "Meeting, at 3pm", "scts=26/12/08,09:15:30+32");
  ASSERT_TRUE(sms->ReadSMS());
  EXPECT_EQ(sms->MN(), "+60198765432");
  EXPECT_EQ(sms->MSG(), "Meeting, at 3pm");
  EXPECT_EQ(sms->SCTS(), "26/12/08 09:15:30");
  EXPECT_EQ(sms->SMSC(), "+60120000010");
  EXPECT_EQ(sim.count("sm"), 0);
  EXPECT_FALSE(sms->ReadSMS());  // nothing left
}

TEST_F(SimTest, DeliveryReportFollowsTheSentMessage) {
  bringUp();
  ASSERT_TRUE(sms->DeliveryReportOn());
  ASSERT_TRUE(sms->SendSMS("60123456789", "Report me"));
  ASSERT_EQ(sim.sent().size(), 1u);
  EXPECT_TRUE(sim.sent()[0].report);
  ASSERT_EQ(sim.count("sr"), 1);

  ASSERT_TRUE(sms->GetDeliveryReport());
  EXPECT_EQ(sms->DRStatus(), DeliveryStatus::Delivered);
  EXPECT_EQ(std::stol(sms->DRMsgRef()), numberOf(sms->MR()));
  EXPECT_NE(sms->DRMNRecipient().find("60123456789"), std::string::npos);
  EXPECT_EQ(sms->DRFDate().size(), 8u);  // yy/mm/dd
  EXPECT_EQ(sms->DRFTime().size(), 8u);  // hh:mm:ss, zone cut off
  EXPECT_EQ(sim.count("sr"), 0);

  // Back in SIM storage: reading works straight after.
  sim.inject("+60198765432", "after the report");
  ASSERT_TRUE(sms->ReadSMS());
  EXPECT_EQ(sms->MSG(), "after the report");

  ASSERT_TRUE(sms->DeliveryReportOff());
  ASSERT_TRUE(sms->SendSMS("60123456789", "No report"));
  EXPECT_FALSE(sim.sent().back().report);
  EXPECT_FALSE(sms->GetDeliveryReport());
}

TEST_F(SimTest, USSDAnswerAndPhonebookOnTheSMSPort) {
  QuentraSMSAPI5::USSD ussd;
  EXPECT_EQ(ussd("*100#"), "");  // no SMS object holds the port open yet
  bringUp();
  sim.setUssd("*100#", "Your balance is RM5.00");
  EXPECT_EQ(ussd("*100#"), "Your balance is RM5.00");
  EXPECT_EQ(ussd("*999#"), "");  // not supported by the network

  QuentraSMSAPI5::Phonebook book;
  EXPECT_EQ(book.TotalSpace(), 250);
  const int before = book.TotalUsed();
  ASSERT_GE(before, 0);
  ASSERT_TRUE(book.PhonebookWrite(7, "0123456789", "Tan, Ah Kow"));
  EXPECT_EQ(book.TotalUsed(), before + 1);
  ASSERT_TRUE(book.PhonebookRead(7));
  EXPECT_EQ(book.PhonebookNumber(), "0123456789");
  EXPECT_EQ(book.PhonebookName(), "Tan, Ah Kow");
  ASSERT_TRUE(book.PhonebookDelete(7));
  EXPECT_FALSE(book.PhonebookRead(7));
  EXPECT_EQ(book.PhonebookNumber(), "0123456789");  // kept from the last read
  EXPECT_EQ(book.TotalUsed(), before);
  EXPECT_FALSE(book.PhonebookWrite(999, "0123", "Out of range"));

  // Ending the SMS object closes the shared port for the others too.
  sms.reset();
  EXPECT_EQ(ussd("*100#"), "");
  EXPECT_EQ(book.TotalUsed(), -1);
}

TEST_F(SimTest, ResetAndCloseThenBringUpAgain) {
  bringUp();
  EXPECT_TRUE(sms->ModemReset());
  EXPECT_TRUE(sms->ModemClose());
  EXPECT_FALSE(sms->SendSMS("0123", "closed"));
  EXPECT_TRUE(sim.sent().empty());
  bringUp();
  EXPECT_TRUE(sms->SendSMS("0123", "open again"));
  EXPECT_EQ(sim.sent().size(), 1u);
}

class SimPinTest : public SimTest {
protected:
  SimPinTest() : SimTest({"--sim=pin", "--pin=4321"}) {}
};

TEST_F(SimPinTest, PinWantedWrongAndRight) {
  EXPECT_EQ(sms->ModemInit(kPort), ModemStatus::PINRequired);
  EXPECT_EQ(sms->ModemInit(kPort, "1111"), ModemStatus::PINWrong);
  EXPECT_EQ(sms->ModemInit(kPort, "4321"), ModemStatus::OK);
  EXPECT_TRUE(sms->ConnectToGSM());
}

class SimSlowTest : public SimTest {
protected:
  SimSlowTest() : SimTest({"--only-baud=9600", "--cms515=1"}) {}
};

TEST_F(SimSlowTest, ModemAt9600StillStartingIsBroughtUp) {
  EXPECT_EQ(sms->ModemInit(kPort), ModemStatus::OK);
  EXPECT_TRUE(sms->SendSMS("0123", "slow start"));
  EXPECT_EQ(sim.sent().size(), 1u);
}

// A strict modem numbering its storage from 0 and writing information text and OK apart.
class SimStrictTest : public SimTest {
protected:
  SimStrictTest() : SimTest({"--index-base=0", "--ok-gap=150"}) {}
};

TEST_F(SimStrictTest, EveryMessageAndReportIsReadWhateverItsText) {
  bringUp();
  EXPECT_EQ(sms->GetSignalStrength(), 2);
  const std::vector<std::string> texts = {"OK", "OK thanks", "Fine\nOK\nbye", "last"};
  for (const auto& t : texts) sim.inject("+60198765432", t);
  for (const auto& t : texts) {
    ASSERT_TRUE(sms->ReadSMS()) << sim.dialogue();
    EXPECT_EQ(sms->MSG(), t);
    EXPECT_EQ(sms->MN(), "+60198765432");
  }
  EXPECT_FALSE(sms->ReadSMS());
  EXPECT_EQ(sim.count("sm"), 0);

  ASSERT_TRUE(sms->DeliveryReportOn());
  ASSERT_TRUE(sms->SendSMS("60123456789", "one"));
  const long first = numberOf(sms->MR());
  ASSERT_TRUE(sms->SendSMS("60123456789", "two"));
  ASSERT_TRUE(sms->GetDeliveryReport()) << sim.dialogue();
  EXPECT_EQ(std::stol(sms->DRMsgRef()), first);
  ASSERT_TRUE(sms->GetDeliveryReport()) << sim.dialogue();
  EXPECT_EQ(std::stol(sms->DRMsgRef()), numberOf(sms->MR()));
  EXPECT_EQ(sim.count("sr"), 0);
  EXPECT_EQ(QuentraSMSAPI5::USSD{}("*100#"), "Your balance is 10.00");
  EXPECT_EQ(sim.sent().size(), 2u);
}

class SimLateTest : public SimTest {
protected:
  // A send answered 9 s after Ctrl-Z, and a start-up 515 split inside its number.
  SimLateTest() : SimTest({"--cmgs-delay=9000", "--cms515=1", "--pieces=15", "--piece-gap=40"}) {}
};

TEST_F(SimLateTest, SplitStartingAnswerAndLateResultSendOnce) {
  bringUp();
  ASSERT_TRUE(sms->SendSMS("0123", "slow network"));
  ASSERT_EQ(sim.sent().size(), 1u);
  EXPECT_EQ(numberOf(sms->MR()), sim.sent()[0].mr);
}

TEST_F(SimTest, BringUpAfterAProgramKilledAtThePrompt) {
  sim.leaveOnLine("AT+CMGF=1\rAT+CMGS=\"0123\"\rhalf a mess");
  bringUp();
  ASSERT_TRUE(sms->SendSMS("0123", "after the restart"));
  const auto sent = sim.sent();
  ASSERT_EQ(sent.size(), 1u);
  EXPECT_EQ(sent[0].text, "after the restart");
}

// A modem that starts in the "GSM" character set (as many do) and leaves registration
// reports at mode 2: texts keep "@", "_", "$" and accents both ways, the network is
// found, and a Unicode message reads as its characters, not as hexadecimal.
class SimGsmCharsetTest : public SimTest {
protected:
  SimGsmCharsetTest() : SimTest({"--cscs=GSM", "--creg-n=2"}) {}
};

TEST_F(SimGsmCharsetTest, TextsKeepTheirCharactersWhateverTheModemStartsIn) {
  bringUp();
  const std::string text = "mail@example.com_50$ caf\xc3\xa9 \xc2\xa3" "3";
  ASSERT_TRUE(sms->SendSMS("0123456789", text)) << sim.dialogue();
  ASSERT_EQ(sim.sent().size(), 1u);
  EXPECT_EQ(sim.sent()[0].text, text);

  sim.inject("+60198765432", text);
  ASSERT_TRUE(sms->ReadSMS()) << sim.dialogue();
  EXPECT_EQ(sms->MSG(), text);

  const std::string unicode = "\xe4\xbd\xa0\xe5\xa5\xbd \xd8\xb3\xd9\x84\xd8\xa7\xd9\x85 \xf0\x9f\x98\x80";
  sim.inject("+60198765432", unicode, "coding=ucs2");
  ASSERT_TRUE(sms->ReadSMS()) << sim.dialogue();
  EXPECT_EQ(sms->MSG(), unicode);
}
