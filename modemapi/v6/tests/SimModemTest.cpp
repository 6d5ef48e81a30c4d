// End to end: class SMS over a real pseudo-terminal against the simulated modem.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>

#include "modemapi/v6/SMS.h"
#include "modemapi/v6/tests/Units.h"
#include "platform/serial/SerialPort.h"
#include "tools/modemsim/SimModem.h"

namespace QuentraSMSAPI6 {
namespace {

namespace fs = std::filesystem;

class SimModemTest : public ::testing::Test {
protected:
  void SetUp() override {
    char tmpl[] = "/tmp/quentra6-XXXXXX";
    ASSERT_NE(mkdtemp(tmpl), nullptr);
    dir = tmpl;
    sim = std::make_unique<modemsim::SimModem>();
    sim->linkPort(dir, 4);
    parlix::serial::setPortsFolder(fs::path(dir) / "ports");
    sms = std::make_unique<SMS>();
    ASSERT_EQ(sms->InitModem(4), ModemStatus::OK) << sim->dialogue();
    ASSERT_TRUE(sms->ConnectToGSM()) << sim->dialogue();
  }

  void TearDown() override {
    sms.reset();
    parlix::serial::setPortsFolder({});
    sim.reset();
    fs::remove_all(dir);
  }

  std::string dir;
  std::unique_ptr<modemsim::SimModem> sim;
  std::unique_ptr<SMS> sms;
};

TEST_F(SimModemTest, SendsTextAndUnicodeMessages) {
  ASSERT_TRUE(sms->SendSMST("012-3456789", "Hello @ 5$ each")) << sim->dialogue();
  ASSERT_TRUE(sms->SendSMSU("+60123456789", "\u4F60\u597D, Ali")) << sim->dialogue();
  const auto sent = sim->sent();
  ASSERT_EQ(sent.size(), 2u);
  EXPECT_EQ(sent[0].number, "60123456789");
  EXPECT_EQ(sent[0].coding, "7bit");
  EXPECT_EQ(sent[0].text, "Hello @ 5$ each");
  EXPECT_FALSE(sent[0].report);
  EXPECT_EQ(sent[1].coding, "ucs2");
  EXPECT_EQ(sent[1].text, "\u4F60\u597D, Ali");
  EXPECT_EQ(std::stoi(sms->MR()), sent[1].mr);
}

TEST_F(SimModemTest, LongMessageReassemblesToTheOriginal) {
  std::string text;
  for (int i = 0; text.size() < 400; ++i) text += "Part of a notice number " + std::to_string(i) + ". ";
  text.resize(400);
  ASSERT_TRUE(sms->SendLMSText("60123456789", text, 77)) << sim->dialogue();

  const auto sent = sim->sent();
  ASSERT_EQ(sent.size(), 3u);
  std::string joined;
  for (std::size_t i = 0; i < sent.size(); ++i) {
    EXPECT_TRUE(sent[i].hasUdh);
    EXPECT_EQ(sent[i].ref, 77);
    EXPECT_EQ(sent[i].total, 3);
    EXPECT_EQ(sent[i].seq, static_cast<int>(i) + 1);
    // Read the unit as the modem got it, with our own reader too.
    const auto part = testutil::readLongPart(sent[i].pdu);
    EXPECT_EQ(part.firstOctet, 0x61);
    joined += part.text;
  }
  EXPECT_EQ(joined, text);
  const auto handset = modemsim::reassemble(sent);
  ASSERT_EQ(handset.size(), 1u);
  EXPECT_TRUE(handset[0].complete);
  EXPECT_EQ(handset[0].text, text);
  EXPECT_EQ(std::stoi(sms->MR()), sent[2].mr);
}

TEST_F(SimModemTest, ReadsStoredMessageAndDeletesIt) {
  sim->inject("+60198765432", "Meeting at 3pm, caf\u00E9");
  ASSERT_EQ(sim->count("sm"), 1);
  ASSERT_TRUE(sms->ReadSMS()) << sim->dialogue();
  EXPECT_EQ(sms->MN(), "60198765432");
  EXPECT_EQ(sms->Msg(), "Meeting at 3pm, caf\u00E9");
  EXPECT_EQ(sms->SCTS().substr(0, 2), "20");
  EXPECT_EQ(sim->count("sm"), 0);
  EXPECT_FALSE(sms->ReadSMS());  // nothing left
}

TEST_F(SimModemTest, FetchesDeliveryReportsOfMessagesSent) {
  ASSERT_TRUE(sms->DeliveryReportOn()) << sim->dialogue();
  ASSERT_TRUE(sms->SendSMST("0123456789", "report me")) << sim->dialogue();
  ASSERT_TRUE(sim->sent().back().report);
  ASSERT_EQ(sim->count("sr"), 1);

  ASSERT_TRUE(sms->GetDeliveryReport()) << sim->dialogue();
  EXPECT_EQ(sms->DRStatus(), DeliveryStatus::Delivered);
  EXPECT_EQ(std::stoi(sms->DRMsgRef()), std::stoi(sms->MR()));
  EXPECT_NE(sms->DRMNRecipient().find("60123456789"), std::string::npos);
  EXPECT_FALSE(sms->DRFTime().empty());
  EXPECT_EQ(sim->count("sr"), 0);

  sim->set("report=failed");
  ASSERT_TRUE(sms->SendSMST("0123456789", "again"));
  ASSERT_TRUE(sms->GetDeliveryReport()) << sim->dialogue();
  EXPECT_EQ(sms->DRStatus(), DeliveryStatus::Undelivered);
  EXPECT_FALSE(sms->GetDeliveryReport());  // store empty

  // Back in PDU mode and SIM storage: reading and sending still work.
  sim->inject("+60111", "after reports");
  ASSERT_TRUE(sms->ReadSMS()) << sim->dialogue();
  EXPECT_EQ(sms->Msg(), "after reports");
  ASSERT_TRUE(sms->DeliveryReportOff());
  ASSERT_TRUE(sms->SendSMST("0123456789", "no report"));
  EXPECT_FALSE(sim->sent().back().report);
}

}  // namespace
}  // namespace QuentraSMSAPI6
