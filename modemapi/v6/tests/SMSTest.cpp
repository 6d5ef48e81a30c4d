#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <memory>
#include <string>

#include "modemapi/Modem.h"
#include "modemapi/v6/Error.h"
#include "modemapi/v6/SMS.h"
#include "modemapi/v6/tests/Units.h"
#include "platform/clock/Clock.h"
#include "platform/serial/FakePort.h"

namespace QuentraSMSAPI6 {
namespace {

using parlix::serial::FakePort;
using parlix::serial::Piece;

const std::string OK = "\r\nOK\r\n";
const std::string kError = "\r\nERROR\r\n";
// SMS-DELIVER from +31641600986 via +31624000000, 2002-08-26 19:37:41, "How are you?"
const std::string kDeliver =
    "07911326040000F0040B911346610089F60000208062917314080CC8F71D14969741F977FD07";

class SMSTest : public ::testing::Test {
protected:
  void SetUp() override {
    modemapi::portWindow(modemapi::Library::API6).port().setPortOpen(true);
    // A modem that prompts for every AT+CMGS, takes every unit and answers OK to
    // the rest; `replies` overrides the answer to one exact write.
    modem->setResponder([this](const std::string& w, FakePort&) {
      std::string a = OK;
      if (auto it = replies.find(w); it != replies.end()) {
        a = it->second;
      } else if (w.starts_with("AT+CMGS=")) {
        a = "\r\n> ";
      } else if (w.ends_with("\x1A")) {
        a = "\r\n+CMGS: " + std::to_string(++reference) + "\r\n" + OK;
      }
      return std::vector<Piece>{{20, a}};
    });
  }

  // Text mode, report storage, a listing with index 4, and the given read answer.
  void expectReportRead(const std::string& answer) {
    modem->expect("AT+CMGF=1\r", OK);
    modem->expect("AT+CPMS=\"SR\"\r", OK);
    modem->expect("AT+CMGL=\"ALL\"\r", "\r\n+CMGL: 4,\"REC READ\",6,12\r\n" + OK);
    modem->expect("AT+CMGR=4\r", answer);
  }

  const std::vector<std::string>& written() const { return modem->written(); }

  // The unit of write i, without its Ctrl-Z (no CR follows it).
  std::string unitAt(std::size_t i) const {
    const std::string& w = written().at(i);
    EXPECT_TRUE(w.ends_with("\x1A")) << w;
    return w.substr(0, w.size() - 1);
  }

  parlix::clock::FakeClock clock;
  parlix::clock::ScopedClock useClock{clock};
  std::shared_ptr<FakePort> modem = std::make_shared<FakePort>();
  parlix::serial::ScopedFakePort usePort{modem};
  std::map<std::string, std::string> replies;
  int reference = 40;
  std::unique_ptr<SMS> sms = std::make_unique<SMS>();
};

std::string repeat(const std::string& s, int n) {
  std::string out;
  for (int i = 0; i < n; ++i) out += s;
  return out;
}

TEST_F(SMSTest, FullTextMessageCounts154OctetsAndKeepsLineBreaksInMR) {
  ASSERT_TRUE(sms->SendSMST("012-3456789", std::string(160, 'a')));
  ASSERT_EQ(written().size(), 2u);
  EXPECT_EQ(written()[0], "AT+CMGS=154\r");
  const std::string unit = unitAt(1);
  EXPECT_EQ(unit.substr(0, 30), "0011000B910621436587F90000FFA0");  // number made 60123456789
  EXPECT_EQ(unit.size(), 2u + 154 * 2);
  EXPECT_EQ(sms->MR(), "41\r\n\r\n");
  EXPECT_EQ(std::stoi(sms->MR()), 41);
}

TEST_F(SMSTest, FullUnicodeMessageCounts154Octets) {
  ASSERT_TRUE(sms->SendSMSU("60123456789", repeat("\u4F60", 69) + "A"));
  EXPECT_EQ(written()[0], "AT+CMGS=154\r");
  const std::string unit = unitAt(1);
  EXPECT_EQ(unit.substr(22, 8), "0008FF8C");
  EXPECT_EQ(unit.substr(30, 4), "4F60");
  EXPECT_TRUE(unit.ends_with("0041"));
}

TEST_F(SMSTest, DeliveryReportSwitchesFirstOctet) {
  ASSERT_TRUE(sms->DeliveryReportOn());
  EXPECT_EQ(written()[0], "AT+CNMI=2,0,0,2,0\r");
  EXPECT_EQ(written()[1], "AT+CSMP=49,255,0,0\r");
  ASSERT_TRUE(sms->SendSMST("60123456789", "hi"));
  EXPECT_TRUE(unitAt(3).starts_with("0031")) << unitAt(3);

  ASSERT_TRUE(sms->DeliveryReportOff());
  EXPECT_EQ(written()[4], "AT+CNMI=2,0,0,0,0\r");
  EXPECT_EQ(written()[5], "AT+CSMP=1,255,0,0\r");
  ASSERT_TRUE(sms->SendSMST("60123456789", "hi"));
  EXPECT_TRUE(unitAt(7).starts_with("0011")) << unitAt(7);
}

TEST_F(SMSTest, FailedDeliveryReportOnLeavesFlagFalse) {
  ASSERT_TRUE(sms->DeliveryReportOn());
  replies["AT+CSMP=49,255,0,0\r"] = kError;
  EXPECT_FALSE(sms->DeliveryReportOn());
  ASSERT_TRUE(sms->SendSMST("60123456789", "hi"));
  EXPECT_TRUE(unitAt(written().size() - 1).starts_with("0011"));

  // A failed switch-off keeps reports on.
  replies.clear();
  ASSERT_TRUE(sms->DeliveryReportOn());
  replies["AT+CNMI=2,0,0,0,0\r"] = kError;
  EXPECT_FALSE(sms->DeliveryReportOff());
  ASSERT_TRUE(sms->SendSMST("60123456789", "hi"));
  EXPECT_TRUE(unitAt(written().size() - 1).starts_with("0031"));
}

TEST_F(SMSTest, SendFailuresAndAnswersWithoutReference) {
  sms->setMR("7");
  replies["AT+CMGS=16\r"] = kError;  // no prompt: the unit is never written
  EXPECT_FALSE(sms->SendSMST("60123456789", "hi"));
  EXPECT_EQ(written().size(), 1u);

  replies.clear();
  modem->setResponder([](const std::string& w, FakePort&) {
    return std::vector<Piece>{{0, w.starts_with("AT+CMGS") ? "\r\n> " : OK}};
  });
  EXPECT_TRUE(sms->SendSMST("60123456789", "hi"));  // OK without "+CMGS"
  EXPECT_EQ(sms->MR(), "7");

  modem->setResponder([](const std::string& w, FakePort&) {
    return std::vector<Piece>{{0, w.starts_with("AT+CMGS") ? "\r\n> " : "\r\n+CMS ERROR: 500\r\n"}};
  });
  EXPECT_FALSE(sms->SendSMSU("60123456789", "hi"));
  EXPECT_EQ(sms->MR(), "7");
}

TEST_F(SMSTest, LateSendResultIsWaitedForUpToSixtySeconds) {
  // (delay of the answer after Ctrl-Z in ms, result, answer)
  struct Case {
    int delayMs;
    bool sent;
    std::string answer;
  };
  for (const Case& c : {Case{14000, true, "\r\n+CMGS: 77\r\n" + OK}, Case{59000, true, "\r\n+CMGS: 78\r\n" + OK},
                        Case{62000, false, "\r\n+CMGS: 79\r\n" + OK}}) {
    modem->setResponder([&c](const std::string& w, FakePort&) {
      return std::vector<Piece>{w.starts_with("AT+CMGS") ? Piece{0, "\r\n> "} : Piece{c.delayMs, c.answer}};
    });
    const std::size_t before = written().size();
    const auto start = clock.ticks();
    EXPECT_EQ(sms->SendSMST("60123456789", "slow network"), c.sent) << c.delayMs;
    EXPECT_EQ(written().size() - before, 2u) << "one unit, never a second";
    if (c.sent) EXPECT_EQ(sms->MR().substr(0, 2), c.answer.substr(9, 2));
    else EXPECT_GE(clock.ticks() - start, std::chrono::seconds(60));
    clock.sleep(5000);  // let a late answer pass before the next case
    modemapi::portWindow(modemapi::Library::API6).port().input();
  }
}

TEST_F(SMSTest, ClosedPortSendsNothing) {
  modemapi::portWindow(modemapi::Library::API6).port().setPortOpen(false);
  EXPECT_FALSE(sms->SendSMST("60123456789", "hi"));
  EXPECT_FALSE(sms->SendSMSU("60123456789", "hi"));
  EXPECT_FALSE(sms->ReadSMS());
  EXPECT_FALSE(sms->DeliveryReportOn());
  EXPECT_FALSE(sms->DeliveryReportOff());
  EXPECT_FALSE(sms->GetDeliveryReport());
  EXPECT_TRUE(written().empty());
  // The long sender does not ask: the serial error reaches the caller.
  EXPECT_THROW(sms->SendLMSText("60123456789", "hi", 1), std::runtime_error);
}

TEST_F(SMSTest, EmptyTextIsAnErrorForTheCaller) {
  EXPECT_THROW(sms->SendSMST("60123456789", ""), std::runtime_error);
  EXPECT_THROW(sms->SendLMSText("60123456789", "", 1), std::runtime_error);
  EXPECT_TRUE(written().empty());
}

TEST_F(SMSTest, ReadSMSDecodesThenDeletes) {
  // Storage numbered from 1, and from 0 as many modems number it.
  for (const std::string i : {"3", "0"}) {
    modem->expect("AT+CPMS=\"SM\"\r", "\r\n+CPMS: 1,30,1,30,1,30\r\n" + OK);
    modem->expect("AT+CMGL=4\r", "\r\n+CMGL: " + i + ",0,,24\r\n" + kDeliver + "\r\n" + OK);
    modem->expect("AT+CMGL=1\r", "\r\n+CMGL: " + i + ",1,,24\r\n" + kDeliver + "\r\n" + OK);
    modem->expect("AT+CMGR=" + i + "\r", {{0, "\r\n+CMGR: 1,,24\r"}, {300, "\n" + kDeliver + "\r\n" + OK}});
    modem->expect("AT+CMGD=" + i + "\r", OK);
    sms->setMsg("");
    ASSERT_TRUE(sms->ReadSMS()) << i;
    EXPECT_EQ(sms->MN(), "31641600986");
    EXPECT_EQ(sms->SMSC(), "+31624000000");
    EXPECT_EQ(sms->SCTS(), "2002-Aug-26 19:37:41");
    EXPECT_EQ(sms->Msg(), "How are you?");
    EXPECT_EQ(modem->pending(), 0u);
  }
  EXPECT_TRUE(modem->unexpected().empty());
}

TEST_F(SMSTest, ReadSMSWithoutUsableListingSendsNoRead) {
  for (const std::string& listing :
       {OK, "\r\n+CMGL: 3\r\n" + OK, "\r\n+CMGL: x,1\r\n" + OK, "\r\n+CMGL:" + OK,
        "\r\n+CMGL: -1,1,,24\r\n" + OK, std::string("\r\n+CMS ERROR: 321\r\n")}) {
    modem->expect("AT+CPMS=\"SM\"\r", OK);
    modem->expect("AT+CMGL=4\r", OK);
    modem->expect("AT+CMGL=1\r", listing);
    EXPECT_FALSE(sms->ReadSMS()) << listing;
    EXPECT_EQ(modem->pending(), 0u);
  }
  for (const std::string& w : written()) EXPECT_FALSE(w.starts_with("AT+CMGR")) << w;
}

TEST_F(SMSTest, UndecodableMessageIsStillDeleted) {
  modem->expect("AT+CPMS=\"SM\"\r", OK);
  modem->expect("AT+CMGL=4\r", OK);
  modem->expect("AT+CMGL=1\r", "\r\n+CMGL: 5,1,,3\r\nZZ\r\n" + OK);
  modem->expect("AT+CMGR=5\r", "\r\n+CMGR: 1,,3\r\nZZ\r\n" + OK);
  modem->expect("AT+CMGD=5\r", kError);
  EXPECT_FALSE(sms->ReadSMS());  // the delete's answer is the result
  EXPECT_EQ(modem->pending(), 0u);
}

struct ReportCase {
  std::string st;
  DeliveryStatus expected;
};

TEST_F(SMSTest, GetDeliveryReportReadsFieldsAndRestoresModes) {
  EXPECT_THROW(sms->DRStatus(), std::runtime_error);
  for (const ReportCase& c : {ReportCase{"0", DeliveryStatus::Delivered},
                              ReportCase{"48", DeliveryStatus::Undelivered},
                              ReportCase{"1", DeliveryStatus::Unknown},
                              ReportCase{"65", DeliveryStatus::Undelivered}}) {
    modem->expect("AT+CMGF=1\r", OK);
    modem->expect("AT+CPMS=\"SR\"\r", "\r\n+CPMS: 1,20,1,30,1,30\r\n" + OK);
    modem->expect("AT+CMGL=\"ALL\"\r", "\r\n+CMGL: 2 ,\"REC UNREAD\",6,12\r\n" + OK);
    modem->expect("AT+CMGR=2\r",
                  "\r\n+CMGR: \"REC UNREAD\",6,12,\"+60123456789\",145,\"15/07/07,14:05:09+32\","
                  "\"15/07/08,01:02:03-04\", " + c.st + " \r\n" + OK);
    modem->expect("AT+CMGD=2\r", OK);
    modem->expect("AT+CPMS=\"SM\"\r", OK);
    modem->expect("AT+CMGF=0\r", kError);  // only the storage decides the result
    ASSERT_TRUE(sms->GetDeliveryReport()) << c.st;
    EXPECT_EQ(modem->pending(), 0u);
    EXPECT_EQ(sms->DRStatus(), c.expected);
    EXPECT_EQ(sms->DRMsgRef(), "12");
    EXPECT_EQ(sms->DRMNRecipient(), "+60123456789");
    EXPECT_EQ(sms->DRRDate(), "15/07/07");
    EXPECT_EQ(sms->DRRTime(), "14:05:09");
    EXPECT_EQ(sms->DRFDate(), "15/07/08");
    EXPECT_EQ(sms->DRFTime(), "01:02:03");
  }
  EXPECT_TRUE(modem->unexpected().empty());
}

TEST_F(SMSTest, GetDeliveryReportFailuresGoBackToPDUMode) {
  // Text mode refused: only PDU mode is restored.
  modem->expect("AT+CMGF=1\r", kError);
  modem->expect("AT+CMGF=0\r", OK);
  EXPECT_FALSE(sms->GetDeliveryReport());

  // No report stored: mode and storage restored, nothing deleted.
  modem->expect("AT+CMGF=1\r", OK);
  modem->expect("AT+CPMS=\"SR\"\r", OK);
  modem->expect("AT+CMGL=\"ALL\"\r", OK);
  modem->expect("AT+CMGF=0\r", OK);
  modem->expect("AT+CPMS=\"SM\"\r", OK);
  EXPECT_FALSE(sms->GetDeliveryReport());

  // A report with fields missing is deleted, or it would block every later report.
  expectReportRead("\r\n+CMGR: \"REC READ\",6,12,\"+6012\",145\r\n" + OK);
  modem->expect("AT+CMGD=4\r", OK);
  modem->expect("AT+CMGF=0\r", OK);
  modem->expect("AT+CPMS=\"SM\"\r", OK);
  EXPECT_FALSE(sms->GetDeliveryReport());

  // Storage not switched back: false, although the report was read.
  expectReportRead("\r\n+CMGR: 0,6,12,6012,129,a,b,c,d,48" + OK);
  modem->expect("AT+CMGD=4\r", OK);
  modem->expect("AT+CPMS=\"SM\"\r", kError);
  modem->expect("AT+CMGF=0\r", OK);
  EXPECT_FALSE(sms->GetDeliveryReport());
  EXPECT_EQ(sms->DRStatus(), DeliveryStatus::Undelivered);

  EXPECT_EQ(modem->pending(), 0u);
  EXPECT_TRUE(modem->unexpected().empty());
}

TEST_F(SMSTest, LongMessageOf154CharactersGoesInTwoParts) {
  std::string text;
  for (int i = 0; i < 154; ++i) text += static_cast<char>('a' + i % 26);
  ASSERT_TRUE(sms->SendLMSText("60123456789", text, 5));
  ASSERT_EQ(written().size(), 4u);
  EXPECT_EQ(written()[0], "AT+CMGS=153\r");
  EXPECT_EQ(written()[2], "AT+CMGS=20\r");
  const std::string first = unitAt(1), second = unitAt(3);
  EXPECT_EQ(first.substr(0, 40), "0061000B810621436587F90000A0050003050201");
  EXPECT_EQ(second.substr(0, 40), "0061000B810621436587F9000008050003050202");
  const auto p1 = testutil::readLongPart(first), p2 = testutil::readLongPart(second);
  EXPECT_EQ(p1.text + p2.text, text);
  EXPECT_EQ(p1.text.size(), 153u);
  EXPECT_EQ(sms->MR(), "42\r\n\r\n");  // the last part's reference
}

TEST_F(SMSTest, LongMessagePartCountsAndStopOnFailure) {
  ASSERT_TRUE(sms->SendLMSText("60123456789", std::string(306, 'z'), 200));
  EXPECT_EQ(written().size(), 4u);
  EXPECT_EQ(testutil::readLongPart(unitAt(3)).total, 2);
  EXPECT_EQ(testutil::readLongPart(unitAt(3)).ref, 200);

  // Three parts; the modem refuses the second unit: the third is never offered.
  modem->setResponder([n = 0](const std::string& w, FakePort&) mutable {
    if (w.starts_with("AT+CMGS=")) return std::vector<Piece>{{0, "\r\n> "}};
    return std::vector<Piece>{{0, ++n == 2 ? "\r\n+CMS ERROR: 38\r\n" : "\r\n+CMGS: 9\r\n" + OK}};
  });
  const std::size_t before = written().size();
  EXPECT_FALSE(sms->SendLMSText("60123456789", std::string(307, 'z'), 1));
  EXPECT_EQ(written().size() - before, 4u);

  // A reference that does not fit its header octet is refused before anything is sent.
  EXPECT_FALSE(sms->SendLMSText("60123456789", std::string(200, 'z'), 256));
  EXPECT_EQ(written().size() - before, 4u);
}

TEST_F(SMSTest, UnwritableLogStopsLongMessageBeforeSending) {
  namespace fs = std::filesystem;
  // A day of its own: other tests running beside this one log long messages too.
  clock.set(std::chrono::system_clock::from_time_t(1900000000));
  const fs::path file = fs::path(LogFolder()) / LogFileName(clock.now());
  fs::remove_all(file);
  fs::create_directory(file);  // a folder where the day's file should be
  EXPECT_THROW(sms->SendLMSText("60123456789", "hello", 1), std::runtime_error);
  fs::remove_all(file);
  EXPECT_TRUE(written().empty());
}

TEST_F(SMSTest, BringUpConnectAndClose) {
  modemapi::portWindow(modemapi::Library::API6).port().setPortOpen(false);
  replies["AT+CPIN?\r"] = "\r\n+CPIN: READY\r\n" + OK;
  replies["AT+CSQ\r"] = "\r\n+CSQ: 15,99\r\n" + OK;
  replies["AT+CREG?\r"] = "\r\n+CREG: 0,5\r\n" + OK;
  EXPECT_EQ(sms->InitModem(3, ""), ModemStatus::OK);
  EXPECT_EQ(modem->commPort(), 3);
  EXPECT_TRUE(sms->ConnectToGSM());
  EXPECT_TRUE(sms->CloseModem());
  EXPECT_FALSE(modem->portOpen());
}

}  // namespace
}  // namespace QuentraSMSAPI6
