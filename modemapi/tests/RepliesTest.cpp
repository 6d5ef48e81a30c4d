// The readers both libraries share.
#include "modemapi/Replies.h"

#include <gtest/gtest.h>

namespace R = modemapi::Replies;
using modemapi::DeliveryStatus;

namespace {

const std::string kReport =
    "AT+CMGR=\"2\"\r\r\n+CMGR: \"REC UNREAD\",6,12,\"+60123456789\",145,\"07/05/01,12:34:56+32\","
    "\"07/05/01,12:35:10-04\",0\r\n\r\nOK\r\n";

}  // namespace

TEST(Replies, FirstListedIndexTakesTheFirstEntry) {
  EXPECT_EQ(R::FirstListedIndex("\r\n+CMGL: 4,\"REC READ\",\"+6012\"\r\nhi\r\n+CMGL: 2,\"REC READ\"\r\n"), 4);
  EXPECT_EQ(R::FirstListedIndex("+CMGL: 0,\"REC READ\""), 0);
  EXPECT_FALSE(R::FirstListedIndex("\r\nOK\r\n"));
  EXPECT_FALSE(R::FirstListedIndex("+CMGL: 4"));
  EXPECT_FALSE(R::FirstListedIndex("+CMGL: x,\"REC READ\""));
}

TEST(Replies, FirstListedIndexTrimsAndStaysInRange) {
  EXPECT_EQ(R::FirstListedIndex("\r\n+CMGL: 2 ,\"REC UNREAD\",6,12\r\n"), 2);
  EXPECT_EQ(R::FirstListedIndex("+CMGL: 99999,1"), 99999);
  EXPECT_FALSE(R::FirstListedIndex("+CMGL: 100000,1"));
  EXPECT_FALSE(R::FirstListedIndex("+CMGL: -1,1"));
  EXPECT_FALSE(R::FirstListedIndex("+CMGL: ,1"));
  // Only the first entry counts, even when a later one is readable.
  EXPECT_FALSE(R::FirstListedIndex("+CMGL: 1;2,1\r\n+CMGL: 3,1"));
}

TEST(Replies, MessageReferenceKeepsLineBreaksBeforeOK) {
  EXPECT_EQ(R::MessageReference("> Hi\x1a\r\n+CMGS: 12\r\n\r\nOK\r\n"), "12\r\n\r\n");
  EXPECT_EQ(R::MessageReference("+CMGS:   7  OK"), "7");
  EXPECT_FALSE(R::MessageReference("\r\nOK\r\n"));
  EXPECT_FALSE(R::MessageReference("+CMGS: 12\r\n"));
  EXPECT_FALSE(R::MessageReference("+CMGS"));
  // An "OK" before the reference does not close it.
  EXPECT_FALSE(R::MessageReference("\r\nOK\r\n+CMGS: 5\r\n"));
}

TEST(Replies, StatusReportFields) {
  const auto r = R::ParseStatusReport(kReport);
  ASSERT_TRUE(r);
  EXPECT_EQ(r->messageReference, "12");
  EXPECT_EQ(r->recipient, "+60123456789");
  EXPECT_EQ(r->receivedDate, "07/05/01");
  EXPECT_EQ(r->receivedTime, "12:34:56");
  EXPECT_EQ(r->dischargeDate, "07/05/01");
  EXPECT_EQ(r->dischargeTime, "12:35:10");
  EXPECT_EQ(r->status, "0");
  EXPECT_EQ(R::DeliveryStatusOf("0"), DeliveryStatus::Delivered);
  EXPECT_EQ(R::DeliveryStatusOf("48"), DeliveryStatus::Undelivered);
  EXPECT_EQ(R::DeliveryStatusOf("32"), DeliveryStatus::Unknown);
  EXPECT_EQ(R::DeliveryStatusOf(""), DeliveryStatus::Unknown);
  EXPECT_EQ(R::DeliveryStatusOf("00"), DeliveryStatus::Unknown);
}

// Status classes of GSM 03.40: final failures count as undelivered; temporary errors
// while the centre still tries are interim (48 stays the system's failure code).
TEST(Replies, StatusClasses) {
  for (const char* st : {"64", "70", "96", "127"})
    EXPECT_EQ(R::DeliveryStatusOf(st), DeliveryStatus::Undelivered) << st;
  for (const char* st : {"1", "2", "31", "128", "+70", "7O"})
    EXPECT_EQ(R::DeliveryStatusOf(st), DeliveryStatus::Unknown) << st;
  for (const char* st : {"32", "33", "47", "49", "63"}) EXPECT_TRUE(R::IsInterimStatus(st)) << st;
  for (const char* st : {"0", "31", "48", "64", "", "x"}) EXPECT_FALSE(R::IsInterimStatus(st)) << st;
}

// Whatever <n> the modem was left at; an unsolicited line is not the answer.
TEST(Replies, Registration) {
  for (const char* yes : {"+CREG: 0,1\r\n\r\nOK", "+CREG: 1,5\r\n", "+CREG: 2,1,\"00A1\",\"1B2C\"\r\n",
                          "+CREG: 2,5,\"00A1\",\"1B2C\",7\r\n", "+CREG: 0,6\r\n", "+CREG: 0,10\r\n",
                          "+CREG: 2\r\n+CREG: 2,1,\"A1\",\"B2\"\r\n"})
    EXPECT_TRUE(R::IsRegistered(yes)) << yes;
  for (const char* no : {"+CREG: 0,2\r\n", "+CREG: 0,0\r\n", "+CREG: 0,3\r\n", "+CREG: 2,8,\"A1\",\"B2\"\r\n",
                         "+CREG: 1\r\n", "+CREG: 1,\"00A1\",\"1B2C\"\r\n+CREG: 0,2\r\n", "+CREG: 0,",
                         "", "+CREG: x,1\r\n"})
    EXPECT_FALSE(R::IsRegistered(no)) << no;
}

TEST(Replies, StatusReportWithoutQuotesOrZonesAndWithBlanks) {
  const auto r = R::ParseStatusReport("+CMGR: 0,6,7,6012,129,26/12/08,09:00:01,26/12/08,09:00:05, 48 \r\nOK");
  ASSERT_TRUE(r);
  EXPECT_EQ(r->messageReference, "7");
  EXPECT_EQ(r->recipient, "6012");
  EXPECT_EQ(r->receivedTime, "09:00:01");
  EXPECT_EQ(r->dischargeTime, "09:00:05");
  EXPECT_EQ(r->status, "48");
  // Further commas belong to the status line.
  const auto more = R::ParseStatusReport("+CMGR: 0,6,7,6012,129,a,b,c,d,32,x\r\n");
  ASSERT_TRUE(more);
  EXPECT_EQ(more->status, "32,x");
}

TEST(Replies, StatusReportRefusesShortAnswers) {
  EXPECT_FALSE(R::ParseStatusReport("+CMGR: \"REC UNREAD\",6,12,\"+6012\",145\r\nOK\r\n"));
  EXPECT_FALSE(R::ParseStatusReport(kReport.substr(0, kReport.find(",0\r\n") + 2)));
  EXPECT_FALSE(R::ParseStatusReport("\r\nOK\r\n"));
}

TEST(Replies, Numbers) {
  EXPECT_EQ(R::ToNumber(" 12 ", 0, 100), 12);
  EXPECT_EQ(R::ToNumber("-3", -5, 5), -3);
  EXPECT_FALSE(R::ToNumber("", 0, 100));
  EXPECT_FALSE(R::ToNumber("+", 0, 100));
  EXPECT_FALSE(R::ToNumber("101", 0, 100));
  EXPECT_FALSE(R::ToNumber("99999999999999999999", 0, 100));
}

TEST(Replies, TrimAndZone) {
  EXPECT_EQ(R::TrimBlanks("  a b \r\n "), "a b \r\n");
  EXPECT_EQ(R::TrimBlanks("   "), "");
  EXPECT_EQ(R::CutTimeZone("12:34:56"), "12:34:56");
  // A "+" zone wins over a "-" that comes earlier.
  EXPECT_EQ(R::CutTimeZone("12-34+08"), "12-34");
}

TEST(Replies, FinalResultCodeOfTheWholeAnswer) {
  // (answer, where its final code begins or -1 for none, whether it is OK)
  struct Case {
    std::string answer;
    int at;
    bool ok;
  };
  const std::string pdu = "\r\n+CMGL: 0,0,,21\r\n07910621000010F0\r\n";
  const std::string report =
      "\r\n+CMGR: \"REC READ\",6,12,\"+6012\",145,\"26/12/08,09:00:00+32\",\"26/12/08,09:00:05+32\",0\r\n";
  const std::vector<Case> cases = {
      {"AT\r\r\nOK\r\n", 5, true},
      {"OK\r\n", -1, false},                      // first line: echo or a fragment
      {"\r\nOK", -1, false},                      // line end still on its way
      {"\r\n+CMS ERROR: \r\n", -1, false},        // number missing
      {"\r\n+CMS ERROR: 515\r\n", 2, false},
      {"\r\n+CME ERROR: 10\r\n", 2, false},
      {"\r\nERRORS\r\n\r\nOK\r\n", 12, true},
      {pdu + pdu + "\r\nOK\r\n", static_cast<int>(2 * pdu.size() + 2), true},
      {pdu + "OK\r\n", static_cast<int>(pdu.size()), true},  // no empty line behind a PDU
      {report + "\r\nOK\r\n", static_cast<int>(report.size() + 2), true},  // no text line
      {report + "OK\r\n", static_cast<int>(report.size()), true},
      {"\r\n+CMGL: 1,\"REC READ\",\"+601\",,\"26/12/08,09:00:00+32\"\r\nOK\r\nOK\r\n", -1, false},
  };
  for (const Case& c : cases) {
    const auto final = R::FindFinalResult(c.answer);
    EXPECT_EQ(final ? static_cast<int>(final->begin) : -1, c.at) << c.answer;
    if (final) {
      EXPECT_EQ(final->ok, c.ok) << c.answer;
      EXPECT_EQ(c.answer.substr(final->end - 2, 2), "\r\n") << c.answer;
    }
  }
}

TEST(Replies, PinAttemptsInEachVendorForm) {
  const struct {
    const char* reply;
    std::optional<int> left;
  } cases[] = {
      {"AT+CPINR=\"SIM PIN\"\r\r\n+CPINR: SIM PIN,2,3\r\n\r\nOK\r\n", 2},
      {"\r\n+CPINR: \"SIM PIN\",1,3\r\n", 1},
      // The PIN2 and PUK lines are not the PIN's.
      {"\r\n+CPINR: SIM PIN2,3,3\r\n+CPINR: SIM PUK,10,10\r\n+CPINR: SIM PIN,1,3\r\n", 1},
      {"\r\n+CPINR: SIM PUK,10,10\r\n", std::nullopt},
      {"\r\n^CPIN: SIM PIN,2,10,2,10,3\r\n\r\nOK\r\n", 2},
      {"\r\n^CPIN: READY,,10,3,10,3\r\n", 3},
      {"\r\n+QPINC: \"SC\",1,10\r\n+QPINC: \"P2\",3,10\r\n", 1},
      {"\r\n+QPINC: \"P2\",3,10\r\n", std::nullopt},
      {"\r\n+XPINCNT: 2,3,10,10\r\n", 2},
      {"\r\n+CPINC: 1,3,10,10\r\n", 1},
      {"\r\n+CPINC: 0,3,10,10\r\n", 0},
      // Nothing to read: errors, cut or empty fields, other commands.
      {"\r\nERROR\r\n", std::nullopt},
      {"\r\n+CME ERROR: 10\r\n", std::nullopt},
      {"\r\n^CPIN: SIM PIN,2,10\r\n", std::nullopt},
      {"\r\n+XPINCNT: \r\n", std::nullopt},
      {"\r\n+CPINR: SIM PIN,x,3\r\n", std::nullopt},
      {"\r\n+CPIN: SIM PIN\r\n", std::nullopt},
      {"", std::nullopt},
  };
  for (const auto& c : cases) EXPECT_EQ(R::PINAttemptsLeft(c.reply), c.left) << c.reply;
}
