#include <gtest/gtest.h>

#include "modemapi/v5/Phonebook.h"
#include "modemapi/v5/USSD.h"
#include "modemapi/v5/tests/Fixture.h"

using namespace v5test;

namespace {

class USSDTest : public ModemTest {
protected:
  QuentraSMSAPI5::USSD ussd;
};

class PhonebookTest : public ModemTest {
protected:
  void SetUp() override { openPort(); }
  FakePort& select() { return modem->expect("AT+CPBS=\"SM\"\r", OK); }
  QuentraSMSAPI5::Phonebook book;
};

}  // namespace

TEST_F(USSDTest, ClosedPortAnswersEmptyAtOnce) {
  EXPECT_EQ(ussd("*100#"), "");
  EXPECT_TRUE(modem->written().empty());
  EXPECT_EQ(seconds(), 0.0);
}

TEST_F(USSDTest, AnswerThatArrivesInPiecesOverSeveralLines) {
  openPort();
  modem->setEcho(true);
  modem->expect("AT+CUSD=1,\"*100#\"\r", {{0, OK},
                                          {2000, "\r\n+CUSD: 1,\"1. Balance\r\n"},
                                          {400, "2. Reload\r\n"},
                                          {300, "3. Exit \",15\r\n"}});
  EXPECT_EQ(ussd("*100#"), "1. Balance\r\n2. Reload\r\n3. Exit");
  EXPECT_LT(seconds(), 4.0);
}

TEST_F(USSDTest, UnwantedAnswersGiveEmptyText) {
  openPort();
  modem->expect("AT+CUSD=1,\"*100#\"\r", OK + "\r\n+CUSD: 4\r\n");
  EXPECT_EQ(ussd("*100#"), "");
  modem->expect("AT+CUSD=1,\"*100#\"\r", "\r\n+CUSD: 2\r\n" + OK);  // ended, no text
  EXPECT_EQ(ussd("*100#"), "");
  EXPECT_LT(seconds(), 1.0);
  modem->expect("AT+CUSD=1,\"*9#\"\r", "\r\nERROR\r\n");
  EXPECT_EQ(ussd("*9#"), "");
  // A command that would break out of its quotes is not sent.
  EXPECT_EQ(ussd("*1#\"\rAT+CMGD=1,4"), "");
  EXPECT_EQ(modem->pending(), 0u);
  EXPECT_TRUE(modem->unexpected().empty());
}

TEST_F(USSDTest, AnswerWhoseQuoteNeverClosesEndsWithinTheBound) {
  openPort();
  modem->expect("AT+CUSD=1,\"*100#\"\r", OK + "\r\n+CUSD: 0,\"Your balance is\r\n");
  EXPECT_EQ(ussd("*100#"), "");
  EXPECT_GE(seconds(), 15.0);
  EXPECT_LE(seconds(), 16.5);
}

TEST_F(PhonebookTest, UsedAndTotalSpace) {
  const std::string use = "\r\n+CPBS: \"SM\",12,250\r\n" + OK;
  select().expect("AT+CPBS?\r", use);
  EXPECT_EQ(book.TotalUsed(), 12);
  select().expect("AT+CPBS?\r", use);
  EXPECT_EQ(book.TotalSpace(), 250);
  select().expect("AT+CPBS?\r", "\r\n+CPBS: \"SM\"\r\n" + OK);
  EXPECT_EQ(book.TotalSpace(), -1);
  modem->expect("AT+CPBS=\"SM\"\r", "\r\n+CME ERROR: 3\r\n");
  EXPECT_EQ(book.TotalUsed(), -1);
  EXPECT_EQ(modem->pending(), 0u);
}

TEST_F(PhonebookTest, ReadWriteDelete) {
  select().expect("AT+CPBW=7,\"0123456789\",,\"Tan, Ah Kow\"\r", OK);
  EXPECT_TRUE(book.PhonebookWrite(7, "0123456789", "Tan, Ah Kow"));
  select().expect("AT+CPBR=7\r", "\r\n+CPBR: 7,\"0123456789\",129,\"Tan, Ah Kow\"\r\n" + OK);
  EXPECT_TRUE(book.PhonebookRead(7));
  EXPECT_EQ(book.PhonebookNumber(), "0123456789");
  EXPECT_EQ(book.PhonebookName(), "Tan, Ah Kow");
  select().expect("AT+CPBW=7\r", OK);
  EXPECT_TRUE(book.PhonebookDelete(7));
  select().expect("AT+CPBW=999\r", "\r\n+CME ERROR: 21\r\n");
  EXPECT_FALSE(book.PhonebookDelete(999));
  EXPECT_EQ(modem->pending(), 0u);
}

TEST_F(PhonebookTest, ReadWithoutEntryKeepsTheProperties) {
  book.setPhonebookNumber("n");
  book.setPhonebookName("m");
  select().expect("AT+CPBR=3\r", OK);
  EXPECT_FALSE(book.PhonebookRead(3));
  select().expect("AT+CPBR=4\r", "\r\n+CPBR: 4,\"012\"\r\n" + OK);
  EXPECT_FALSE(book.PhonebookRead(4));
  EXPECT_EQ(book.PhonebookNumber(), "n");
  EXPECT_EQ(book.PhonebookName(), "m");
}

TEST_F(PhonebookTest, WriteRefusesTextsThatBreakTheCommand) {
  EXPECT_FALSE(book.PhonebookWrite(1, "0123", "Ali \"Boy\""));
  EXPECT_FALSE(book.PhonebookWrite(1, "01\r23", "Ali"));
  EXPECT_TRUE(modem->written().empty());
}

TEST_F(PhonebookTest, ClosedPortFailsWithoutWriting) {
  modem->setPortOpen(false);
  EXPECT_EQ(book.TotalUsed(), -1);
  EXPECT_FALSE(book.PhonebookRead(1));
  EXPECT_FALSE(book.PhonebookWrite(1, "0123", "Ali"));
  EXPECT_TRUE(modem->written().empty());
}
