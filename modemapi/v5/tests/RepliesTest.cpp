#include "modemapi/v5/Replies.h"

#include <gtest/gtest.h>

namespace R = QuentraSMSAPI5::Replies;

namespace {

const std::string kMessage =
    "AT+CMGR=3\r\r\n+CMGR: \"REC READ\",\"+60123456789\",,\"07/05/01,12:34:56+32\",145,4,0,0,"
    "\"+60120000015\",145,11\r\nHello world\r\n\r\nOK\r\n";

}  // namespace

TEST(Replies, SignalLevelMapsStrengthAndRefusesMalformedAnswers) {
  const std::pair<const char*, int> cases[] = {
      {"+CSQ: 0,0\r\n", 0},     {"+CSQ: 1,99\r\n", 1},  {"+CSQ: 2,0\r\n", 2},
      {"+CSQ: 15,99\r\n", 2},   {"+CSQ: 30,0\r\n", 2},  {"+CSQ: 31,0\r\n", 3},
      {"+CSQ: 99,99\r\n", -1},  {"+CSQ: 32,0\r\n", -1}, {"+CSQ: ab,99\r\n", -1},
      {"+CSQ: 15\r\nOK\r\n", -1}, {"OK\r\n", -1},       {"+CSQ:", -1},
  };
  for (const auto& [reply, level] : cases) EXPECT_EQ(R::SignalLevel(reply), level) << reply;
}

TEST(Replies, TextMessageWithFullHeader) {
  const auto m = R::ParseTextMessage(kMessage);
  ASSERT_TRUE(m);
  EXPECT_EQ(m->number, "+60123456789");
  EXPECT_EQ(m->timestamp, "07/05/01 12:34:56");
  EXPECT_EQ(m->centre, "+60120000015");
  EXPECT_EQ(m->text, "Hello world");
}

TEST(Replies, TextMessageKeepsLinesCommasAndCutsNegativeZones) {
  const auto m = R::ParseTextMessage(
      "+CMGR: \"REC UNREAD\",\"0123\",\"Tan, Ah Kow\",\"26/12/08,09:00:01-08\",129,4,0,0,\"+6012\",145,9\r\n"
      "a, b\r\nOK c\r\n\r\nOK\r\n");
  ASSERT_TRUE(m);
  EXPECT_EQ(m->number, "0123");
  EXPECT_EQ(m->timestamp, "26/12/08 09:00:01");
  EXPECT_EQ(m->centre, "+6012");
  EXPECT_EQ(m->text, "a, b\r\nOK c");
}

TEST(Replies, TextMessageShortHeaderAndCutOffEnd) {
  // Without AT+CSDH=1 the header ends after the time stamp; the answer may also stop
  // right after "OK" when its last line break is still on the way.
  const auto m = R::ParseTextMessage("+CMGR: \"REC READ\",\"+6019\",,\"07/05/01,12:34:56+32\"\r\nPing\r\n\r\nOK");
  ASSERT_TRUE(m);
  EXPECT_EQ(m->number, "+6019");
  EXPECT_EQ(m->timestamp, "07/05/01 12:34:56");
  EXPECT_EQ(m->centre, "");
  EXPECT_EQ(m->text, "Ping");
  // A time stamp printed without quotes is one field all the same.
  const auto u = R::ParseTextMessage("+CMGR: REC READ,+6019,,07/05/01,12:34:56+32\r\nx\r\n\r\nOK\r\n");
  ASSERT_TRUE(u);
  EXPECT_EQ(u->timestamp, "07/05/01 12:34:56");
  EXPECT_EQ(u->text, "x");
}

TEST(Replies, TextMessageRefusesMalformedAnswers) {
  EXPECT_FALSE(R::ParseTextMessage("\r\nOK\r\n"));
  EXPECT_FALSE(R::ParseTextMessage("+CMGR: \"REC READ\",\"+6019\"\r\nhi\r\nOK\r\n"));
  EXPECT_FALSE(R::ParseTextMessage("+CMGR: \"REC READ\",\"+6019\",,\"07/05/01,12:34:56\""));
  // Header only: an empty text, not a read past the end.
  const auto m = R::ParseTextMessage("+CMGR: \"REC READ\",\"1\",,\"07/05/01,12:34:56\"\r\nOK");
  ASSERT_TRUE(m);
  EXPECT_EQ(m->text, "");
}

TEST(Replies, PhonebookUse) {
  const auto u = R::ParsePhonebookUse("AT+CPBS?\r\r\n+CPBS: \"SM\",12,250\r\n\r\nOK\r\n");
  ASSERT_TRUE(u);
  EXPECT_EQ(u->used, 12);
  EXPECT_EQ(u->total, 250);
  const auto odd = R::ParsePhonebookUse("+CPBS: \"SM\",x,99999\r\n");
  ASSERT_TRUE(odd);
  EXPECT_EQ(odd->used, -1);
  EXPECT_EQ(odd->total, -1);
  EXPECT_FALSE(R::ParsePhonebookUse("+CPBS: \"SM\"\r\nOK\r\n"));
  EXPECT_FALSE(R::ParsePhonebookUse("+CPBS: \"SM\",12,250"));
}

TEST(Replies, PhonebookEntry) {
  const auto e = R::ParsePhonebookEntry("AT+CPBR=3\r\r\n+CPBR: 3,\"0123456789\",129,\"Tan, Ah Kow\"\r\n\r\nOK\r\n");
  ASSERT_TRUE(e);
  EXPECT_EQ(e->number, "0123456789");
  EXPECT_EQ(e->name, "Tan, Ah Kow");
  EXPECT_FALSE(R::ParsePhonebookEntry("AT+CPBR=3\r\r\nOK\r\n"));
  EXPECT_FALSE(R::ParsePhonebookEntry("+CPBR: 3,\"0123\",129\r\n"));
  EXPECT_FALSE(R::ParsePhonebookEntry("+CPBR: 3,\"0123\",129,\"Ali\""));
}

TEST(Replies, USSDAnswerCompleteness) {
  const std::string head = "AT+CUSD=1,\"*100#\"\r\r\nOK\r\n\r\n+CUSD: 0,\"";
  EXPECT_FALSE(R::USSDComplete(head + "Balance RM5"));
  EXPECT_FALSE(R::USSDComplete("AT+CUSD=1,\"*100#\"\r\r\nOK\r\n"));
  EXPECT_TRUE(R::USSDComplete(head + " Balance RM5.00 \",15\r\n"));
  EXPECT_EQ(R::USSDText(head + " Balance RM5.00 \",15\r\n"), "Balance RM5.00");
  // A menu runs over several lines; only the closing quote completes it.
  EXPECT_FALSE(R::USSDComplete(head + "1. Balance\r\n"));
  EXPECT_EQ(R::USSDText(head + "1. Balance\r\n2. Reload\",15\r\n"), "1. Balance\r\n2. Reload");
  // A result without text is complete once its line ends, and gives no text.
  EXPECT_FALSE(R::USSDComplete("\r\n+CUSD: 2"));
  EXPECT_TRUE(R::USSDComplete("\r\n+CUSD: 2\r\n"));
  EXPECT_EQ(R::USSDText("\r\n+CUSD: 2\r\n\r\n\"x\""), "");
  EXPECT_TRUE(R::HasUSSDAnswer(head));
  EXPECT_FALSE(R::HasUSSDAnswer("\r\n+CUSD: 4\r\n"));
}

TEST(Replies, Registration) {
  EXPECT_TRUE(R::IsRegistered("+CREG: 0,5\r\n\r\nOK"));
  EXPECT_FALSE(R::IsRegistered("+CREG: 0,2\r\n\r\nOK"));
}
