// End to end: class SMS over a real pseudo-terminal against the simulated modem.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <memory>
#include <string>

#include "modemapi/v6/Error.h"
#include "modemapi/v6/SMS.h"
#include "modemapi/v6/tests/Units.h"
#include "platform/serial/SerialPort.h"
#include "tools/modemsim/SimModem.h"

namespace QuentraSMSAPI6 {
namespace {

namespace fs = std::filesystem;

class SimModemTest : public ::testing::Test {
protected:
  explicit SimModemTest(std::vector<std::string> args = {}) : args_(std::move(args)) {}

  void SetUp() override {
    char tmpl[] = "/tmp/quentra6-XXXXXX";
    ASSERT_NE(mkdtemp(tmpl), nullptr);
    dir = tmpl;
    sim = std::make_unique<modemsim::SimModem>(args_);
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

  std::vector<std::string> args_;
  std::string dir;
  std::unique_ptr<modemsim::SimModem> sim;
  std::unique_ptr<SMS> sms;
};

// Strict modems that number their storage from 0 or from 1, one of them writing the
// information text and its OK apart.
class StrictModemTest : public SimModemTest, public ::testing::WithParamInterface<std::vector<std::string>> {
protected:
  StrictModemTest() : SimModemTest(GetParam()) {}
};

INSTANTIATE_TEST_SUITE_P(Storage, StrictModemTest,
                         ::testing::Values(std::vector<std::string>{"--index-base=0", "--ok-gap=150"},
                                           std::vector<std::string>{"--index-base=1", "--creg-n=2"}));

TEST_P(StrictModemTest, ReadsEveryMessageAndAppliesEveryReport) {
  const std::vector<std::string> texts = {"first", "second, OK", "OK"};
  for (const auto& t : texts) sim->inject("+60198765432", t);
  ASSERT_TRUE(sms->DeliveryReportOn()) << sim->dialogue();
  ASSERT_TRUE(sms->SendSMST("0123456789", "one")) << sim->dialogue();
  const std::string firstRef = sms->MR();
  ASSERT_TRUE(sms->SendSMST("0123456789", "two")) << sim->dialogue();
  ASSERT_EQ(sim->sent().size(), 2u);

  for (const auto& t : texts) {
    ASSERT_TRUE(sms->ReadSMS()) << sim->dialogue();
    EXPECT_EQ(sms->Msg(), t);
  }
  EXPECT_FALSE(sms->ReadSMS());
  EXPECT_EQ(sim->count("sm"), 0);

  ASSERT_TRUE(sms->GetDeliveryReport()) << sim->dialogue();
  EXPECT_EQ(std::stoi(sms->DRMsgRef()), std::stoi(firstRef));
  ASSERT_TRUE(sms->GetDeliveryReport()) << sim->dialogue();
  EXPECT_EQ(std::stoi(sms->DRMsgRef()), std::stoi(sms->MR()));
  EXPECT_FALSE(sms->GetDeliveryReport());
  EXPECT_EQ(sim->count("sr"), 0);
  // Nothing was refused on the way.
  EXPECT_EQ(sim->dialogue().find(">> <CR><LF>ERROR"), std::string::npos) << sim->dialogue();
}

class LateModemTest : public SimModemTest {
protected:
  // The network answers a send 14 s after Ctrl-Z; a start-up answer 515 comes in two
  // pieces, split inside its number.
  LateModemTest() : SimModemTest({"--cmgs-delay=14000", "--cms515=1", "--pieces=15", "--piece-gap=40"}) {}
};

TEST_F(LateModemTest, LateResultSendsOnce) {
  ASSERT_NE(sim->dialogue().find("+CMS ERROR: 515"), std::string::npos);
  ASSERT_TRUE(sms->SendSMST("0123456789", "slow network")) << sim->dialogue();
  EXPECT_EQ(sim->sent().size(), 1u);
  EXPECT_EQ(std::stoi(sms->MR()), sim->sent()[0].mr);
}

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

// GSM 03.40 TP-ST: 0 to 31 completed, 32 to 63 temporary while the centre still tries,
// 64 to 127 final failures. An interim report is taken off the modem and not handed on.
TEST_F(SimModemTest, ReportsAreJudgedByTheirStatusClass) {
  struct Case {
    const char* report;
    bool handedOn;
    DeliveryStatus status;
  };
  ASSERT_TRUE(sms->DeliveryReportOn()) << sim->dialogue();
  for (const Case& c : {Case{"70", true, DeliveryStatus::Undelivered},
                        Case{"100", true, DeliveryStatus::Undelivered},
                        Case{"33", false, DeliveryStatus::Unknown},
                        Case{"48", true, DeliveryStatus::Undelivered},
                        Case{"1", true, DeliveryStatus::Unknown}}) {
    sim->set(std::string("report=") + c.report);
    ASSERT_TRUE(sms->SendSMST("0123456789", "status")) << sim->dialogue();
    ASSERT_EQ(sim->count("sr"), 1);
    EXPECT_EQ(sms->GetDeliveryReport(), c.handedOn) << c.report;
    if (c.handedOn) {
      EXPECT_EQ(sms->DRStatus(), c.status) << c.report;
    }
    EXPECT_EQ(sim->count("sr"), 0) << c.report;
  }
  // Back in PDU mode and SIM storage after the interim one.
  sim->inject("+60111", "still reading");
  ASSERT_TRUE(sms->ReadSMS()) << sim->dialogue();
  EXPECT_EQ(sms->Msg(), "still reading");
}

TEST_F(SimModemTest, BringUpAfterAProgramKilledAtThePrompt) {
  // What a program killed half-way through a send leaves behind: the modem at its
  // prompt, part of a PDU taken.
  sms.reset();
  sim->leaveOnLine("AT+CMGS=19\r0011000B9106");
  sms = std::make_unique<SMS>();
  ASSERT_EQ(sms->InitModem(4), ModemStatus::OK) << sim->dialogue();
  ASSERT_TRUE(sms->SendSMST("0123456789", "after the restart")) << sim->dialogue();
  const auto sent = sim->sent();
  ASSERT_EQ(sent.size(), 1u);
  EXPECT_EQ(sent[0].text, "after the restart");
}

// Every character of the GSM 7-bit alphabet that a text can hold: the extension table
// (form feed aside), the Greek capitals and the accented letters.
const std::string kAlphabet =
    "Price 5\u20AC {a} [b] ~c| \\d ^e \u0394\u03A6\u0393\u039B\u03A9\u03A0\u03A8\u03A3\u0398\u039E "
    "\u00E4\u00F6\u00FC\u00C4\u00D6\u00DC\u00F1\u00D1\u00A7\u00BF\u00A1\u00A3\u00A5\u00E8\u00E9\u00F9"
    "\u00EC\u00F2\u00C7\u00D8\u00F8\u00C5\u00E5\u00C6\u00E6\u00DF\u00C9\u00A4 @$_\u00E0";

int escapePairs(const std::string& text) {
  int n = 0;
  for (const std::string ext : {"\u20AC", "{", "}", "[", "]", "~", "|", "\\", "^"}) {
    for (std::size_t at = text.find(ext); at != std::string::npos; at = text.find(ext, at + ext.size())) ++n;
  }
  return n;
}

std::size_t characters(const std::string& utf8) {
  std::size_t n = 0;
  for (unsigned char c : utf8) n += (c & 0xC0) != 0x80;
  return n;
}

TEST_F(SimModemTest, WholeAlphabetRoundTripsBothWays) {
  ASSERT_TRUE(sms->SendSMST("60123456789", kAlphabet)) << sim->dialogue();
  const auto sent = sim->sent();
  ASSERT_EQ(sent.size(), 1u);
  EXPECT_EQ(sent[0].coding, "7bit");
  EXPECT_EQ(sent[0].text, kAlphabet);
  EXPECT_EQ(sent[0].length, static_cast<int>(characters(kAlphabet)) + escapePairs(kAlphabet));

  // Received: the text, names as senders (8 and 9 letters: one more septet than
  // fits a whole number of octets), and parts of long messages in both codings.
  const struct {
    std::string number, text, extra, mn;
  } received[] = {
      {"+60198765432", kAlphabet, "", "60198765432"},
      {"InfoBank", "from a name", "", "InfoBank"},
      {"ParlixSMS", "from a longer name", "", "ParlixSMS"},
      {"+60198765432", "first part of a long one, {clean}", "concat=9/2/1", "60198765432"},
      {"+60198765432", "\u4F60\u597D, second part", "concat=9/2/2", "60198765432"},
  };
  for (const auto& r : received) {
    sim->inject(r.number, r.text, r.extra);
    ASSERT_TRUE(sms->ReadSMS()) << r.text << sim->dialogue();
    EXPECT_EQ(sms->Msg(), r.text);
    EXPECT_EQ(sms->MN(), r.mn);
  }
  EXPECT_EQ(sim->count("sm"), 0);
}

TEST_F(SimModemTest, LongMessageKeepsEscapePairsWhole) {
  // The euro sign would take septets 153 and 154: it opens the second part.
  std::string text = std::string(152, 'a') + "\u20AC";
  while (characters(text) < 330) text += " \u00E4\u0394[x]";
  ASSERT_TRUE(sms->SendLMSText("60123456789", text, 12)) << sim->dialogue();
  const auto sent = sim->sent();
  ASSERT_EQ(sent.size(), 3u);
  EXPECT_EQ(sent[0].length, 152);
  EXPECT_EQ(sent[1].text.substr(0, 3), "\u20AC");
  for (const auto& part : sent) {
    EXPECT_LE(part.length, 153);
    EXPECT_EQ(part.coding, "7bit");
  }
  const auto handset = modemsim::reassemble(sent);
  ASSERT_EQ(handset.size(), 1u);
  EXPECT_TRUE(handset[0].complete);
  EXPECT_EQ(handset[0].text, text);
}

TEST_F(SimModemTest, UndecodableMessageIsLoggedRawBeforeItIsDeleted) {
  // 8-bit data: no text to show. Then a readable message behind it.
  const std::string unit = "07910621000010F0" "04" "0B91" "0621436587F9" "00" "04" "62214231000000" "03C0FFEE";
  sim->injectPdu(unit);
  EXPECT_FALSE(sms->ReadSMS()) << sim->dialogue();
  EXPECT_EQ(sim->count("sm"), 0);
  std::ifstream log(std::filesystem::path(LogFolder()) / LogFileName(std::chrono::system_clock::now()));
  std::stringstream content;
  content << log.rdbuf();
  EXPECT_NE(content.str().find("Received message not decoded: " + unit), std::string::npos);

  sim->inject("+60111", "next one");
  ASSERT_TRUE(sms->ReadSMS());
  EXPECT_EQ(sms->Msg(), "next one");
}

}  // namespace
}  // namespace QuentraSMSAPI6
