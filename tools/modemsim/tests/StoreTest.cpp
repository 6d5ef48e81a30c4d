// Received messages, status reports, text mode, USSD and phonebook over the pty.
#include <gtest/gtest.h>

#include <algorithm>

#include "tools/modemsim/SimModem.h"
#include "tools/modemsim/tests/PtyClient.h"

using modemsim::SimModem;

namespace {

constexpr char kCtrlZ = 0x1A;
const std::string kScts = "15/07/07,14:05:09+32";
const std::string kFixed = "smsc=+60120000010 scts=" + kScts;
// "Hi" from +60123456789 through +60120000010 at 2015-07-07 14:05:09 +08:00.
const std::string kHiPdu = "07910621000010F0040B910621436587F900005170704150902302C834";

// The commas of a text-mode header after the quotes are removed, as the
// libraries count them.
std::vector<std::string> fields(std::string line) {
  line.erase(std::remove(line.begin(), line.end(), '"'), line.end());
  std::vector<std::string> out;
  size_t start = line.find(':') + 1;
  for (size_t c; (c = line.find(',', start)) != std::string::npos; start = c + 1)
    out.push_back(line.substr(start, c - start));
  out.push_back(line.substr(start));
  for (auto& f : out) f.erase(0, f.find_first_not_of(' '));
  return out;
}

std::string lineAfter(const std::string& text, const std::string& head) {
  auto p = text.find(head);
  if (p == std::string::npos) return "";
  return text.substr(p, text.find("\r\n", p) - p);
}

class ModemSimStore : public ::testing::Test {
 protected:
  SimModem sim;
  PtyClient pty{sim.ptyPath()};
  void SetUp() override { ASSERT_EQ(pty.at("ATE0"), "ATE0\r\r\nOK\r\n"); }
};

}  // namespace

TEST_F(ModemSimStore, PduModeListReadDelete) {
  EXPECT_EQ(pty.at("AT+CMGL=4"), "\r\nOK\r\n") << "empty store";
  EXPECT_EQ(sim.inject("+60123456789", "Hi", kFixed), 1);
  EXPECT_EQ(pty.at("AT+CPMS=\"SM\""), "\r\n+CPMS: 1,30,1,30,1,30\r\n\r\nOK\r\n");
  // In PDU mode <stat> is an integer: a strict modem refuses it quoted.
  EXPECT_EQ(pty.at("AT+CMGL=\"4\""), "\r\nERROR\r\n");
  EXPECT_EQ(pty.at("AT+CMGL=4"), "\r\n+CMGL: 1,0,,21\r\n" + kHiPdu + "\r\n\r\nOK\r\n");
  EXPECT_EQ(pty.at("AT+CMGL=0"), "\r\nOK\r\n") << "listing marked it read";
  EXPECT_EQ(pty.at("AT+CMGL=1"), "\r\n+CMGL: 1,1,,21\r\n" + kHiPdu + "\r\n\r\nOK\r\n");
  EXPECT_EQ(pty.at("AT+CMGR=1"), "\r\n+CMGR: 1,,21\r\n" + kHiPdu + "\r\n\r\nOK\r\n");
  EXPECT_EQ(pty.at("AT+CMGR=2"), "\r\n+CMS ERROR: 321\r\n");
  EXPECT_EQ(pty.at("AT+CMGD=1"), "\r\nOK\r\n");
  EXPECT_EQ(pty.at("AT+CMGR=1"), "\r\n+CMS ERROR: 321\r\n");
  EXPECT_EQ(pty.at("AT+CMGD=31"), "\r\n+CMS ERROR: 321\r\n") << "beyond the 30 slots";
  EXPECT_EQ(sim.count("sm"), 0);
}

TEST_F(ModemSimStore, FreedSlotsAreReusedAndDeleteFlagsWork) {
  sim.inject("+601", "a");
  sim.inject("+602", "b");
  sim.inject("+603", "c", "read=1");
  pty.at("AT+CMGD=1");
  EXPECT_EQ(sim.inject("+604", "d"), 1);
  pty.at("AT+CMGR=2");
  EXPECT_EQ(pty.at("AT+CMGD=0,1"), "\r\nOK\r\n") << "deletes the read ones";
  EXPECT_EQ(sim.count("sm"), 1);
  pty.at("AT+CMGD=0,4");
  EXPECT_EQ(sim.count("sm"), 0);
}

TEST_F(ModemSimStore, TextModeHeadersFollowCsdh) {
  sim.inject("+60123456789", "Hi", kFixed);
  pty.at("AT+CMGF=1");
  EXPECT_EQ(pty.at("AT+CMGL=\"REC UNREAD\""),
            "\r\n+CMGL: 1,\"REC UNREAD\",\"+60123456789\",,\"" + kScts + "\"\r\nHi\r\n\r\nOK\r\n");
  pty.at("AT+CSDH=1");
  EXPECT_EQ(pty.at("AT+CMGL=\"REC READ\""),
            "\r\n+CMGL: 1,\"REC READ\",\"+60123456789\",,\"" + kScts + "\",145,2\r\nHi\r\n\r\nOK\r\n");
  std::string r = pty.at("AT+CMGR=1");
  EXPECT_EQ(r, "\r\n+CMGR: \"REC READ\",\"+60123456789\",,\"" + kScts +
                   "\",145,4,0,0,\"+60120000010\",145,2\r\nHi\r\n\r\nOK\r\n");
  // Eleven commas, as the text-mode library counts them.
  auto f = fields(lineAfter(r, "+CMGR:"));
  ASSERT_EQ(f.size(), 12u);
  EXPECT_EQ(f[1], "+60123456789");
  EXPECT_EQ(f[9], "+60120000010");
  EXPECT_EQ(pty.at("AT+CMGL=4"), "\r\n+CMS ERROR: 302\r\n") << "numbers are PDU-mode stats";

  sim.inject("+60123456789", "café €", kFixed);
  EXPECT_NE(pty.at("AT+CMGR=2").find("\r\ncaf\xE9 \x80\r\n"), std::string::npos)
      << "Windows-1252 by default";
  pty.at("AT+CSCS=\"UTF-8\"");
  EXPECT_NE(pty.at("AT+CMGR=2").find("\r\ncafé €\r\n"), std::string::npos);
  pty.at("AT+CMGD=2");

  sim.inject("+60123456789", "Пр", kFixed);
  EXPECT_NE(pty.at("AT+CMGR=2").find(",145,4,0,8,\"+60120000010\",145,4\r\n041F0440\r\n"),
            std::string::npos)
      << "UCS-2 text shows as hex in text mode";
}

TEST_F(ModemSimStore, TextModeSendHonoursCsmpAndCscs) {
  pty.at("AT+CMGF=1");
  EXPECT_EQ(pty.at("AT+CMGS=\"+60123456789\""), "\r\n> ");
  EXPECT_EQ(pty.at("Grüße \"x\" \\ \t" + std::string(1, kCtrlZ)), "\r\n+CMGS: 0\r\n\r\nOK\r\n");
  pty.at("AT+CSMP=33,255,0,0");
  pty.at("AT+CMGS=\"0123\"");
  // A CR inside the text is a line break; the modem prompts again.
  pty.write("one\r");
  EXPECT_EQ(pty.readUntil("> "), "\r\n> ");
  pty.write("two\n\nthree\r\n");
  EXPECT_EQ(pty.readUntil("> "), "\r\n> ");
  pty.at("four" + std::string(1, kCtrlZ));
  pty.at("AT+CSMP=17,167,0,8");
  pty.at("AT+CMGS=\"0123\"");
  pty.at("041F0440" + std::string(1, kCtrlZ));
  pty.at("AT+CSMP=17,167,0,0;+CSCS=\"8859-1\"");
  pty.at("AT+CMGS=\"0123\"");
  pty.at("caf\xE9" + std::string(1, kCtrlZ));

  auto sent = sim.sent();
  ASSERT_EQ(sent.size(), 4u);
  EXPECT_EQ(sent[0].mode, "text");
  EXPECT_EQ(sent[0].number, "60123456789");
  EXPECT_EQ(sent[0].toa, 145);
  EXPECT_EQ(sent[0].text, "Grüße \"x\" \\ \t") << "survives the JSON line";
  EXPECT_FALSE(sent[0].report);
  EXPECT_EQ(sent[1].text, "one\ntwo\n\nthree\nfour") << "CR LF is one break, LF LF two";
  EXPECT_EQ(sent[1].toa, 129);
  EXPECT_TRUE(sent[1].report);
  EXPECT_EQ(sent[2].coding, "ucs2");
  EXPECT_EQ(sent[2].text, "Пр");
  EXPECT_EQ(sent[3].text, "café");
}

TEST_F(ModemSimStore, TextModeSendRefusesTooLongAndBadHex) {
  pty.at("AT+CMGF=1");
  pty.at("AT+CMGS=\"0123\"");
  EXPECT_EQ(pty.at(std::string(161, 'x') + kCtrlZ), "\r\n+CMS ERROR: 305\r\n");
  pty.at("AT+CMGS=\"0123\"");
  EXPECT_EQ(pty.at(std::string(160, 'x') + kCtrlZ), "\r\n+CMGS: 0\r\n\r\nOK\r\n");
  pty.at("AT+CSMP=17,167,0,8");
  pty.at("AT+CMGS=\"0123\"");
  EXPECT_EQ(pty.at("04G1" + std::string(1, kCtrlZ)), "\r\n+CMS ERROR: 305\r\n");
  EXPECT_EQ(sim.sent().size(), 1u);
}

TEST_F(ModemSimStore, StatusReportAfterASendThatAskedForIt) {
  const std::string hello = "0031000B910621436587F90000FF05C8329BFD06";
  pty.at("AT+CMGS=19");
  ASSERT_NE(pty.at(hello + kCtrlZ).find("+CMGS: 0"), std::string::npos);
  // Read it as the libraries do: text mode, report store, the index unquoted.
  pty.at("AT+CMGF=1");
  EXPECT_EQ(pty.at("AT+CPMS=\"SR\""), "\r\n+CPMS: 1,30,0,30,0,30\r\n\r\nOK\r\n");
  std::string list = pty.at("AT+CMGL=\"ALL\"");
  EXPECT_EQ(fields(lineAfter(list, "+CMGL:"))[0], "1");
  EXPECT_EQ(pty.at("AT+CMGR=\"1\""), "\r\nERROR\r\n") << "<index> is an integer";
  std::string r = pty.at("AT+CMGR=1");
  auto f = fields(lineAfter(r, "+CMGR:"));
  ASSERT_EQ(f.size(), 10u) << r;  // nine commas
  EXPECT_EQ(f[1], "6");
  EXPECT_EQ(f[2], "0") << "message reference of the send";
  EXPECT_EQ(f[3], "+60123456789");
  EXPECT_EQ(f[9], "0") << "delivered";
  EXPECT_EQ(pty.at("AT+CMGD=1"), "\r\nOK\r\n");
  EXPECT_EQ(pty.at("AT+CPMS=\"SM\""), "\r\n+CPMS: 0,30,0,30,0,30\r\n\r\nOK\r\n");

  // Failed reports carry status 48; PDU mode lists the STATUS-REPORT unit.
  sim.set("report=failed");
  pty.at("AT+CMGF=0");
  pty.at("AT+CMGS=19");
  pty.at(hello + kCtrlZ);
  pty.at("AT+CPMS=\"SR\"");
  std::string pdu = pty.at("AT+CMGL=4");
  auto start = pdu.find("\r\n", pdu.find("+CMGL: 1,0,,25")) + 2;
  std::string unit = pdu.substr(start, pdu.find("\r\n", start) - start);
  EXPECT_EQ(unit.substr(0, 38), "07910621000010F006010B910621436587F9" + std::string("62"));
  EXPECT_EQ(unit.substr(unit.size() - 2), "30");

  // No report when not asked for or when the network sends none.
  pty.at("AT+CMGS=19");
  pty.at("0011" + hello.substr(4) + kCtrlZ);
  sim.set("report=none");
  pty.at("AT+CMGS=19");
  pty.at(hello + kCtrlZ);
  EXPECT_EQ(sim.count("sr"), 1);
}

TEST_F(ModemSimStore, UssdAnswersAfterOk) {
  pty.at("AT+CMEE=1");  // numbered +CME ERROR (0 at start)
  pty.write("AT+CUSD=1,\"*100#\"\r");
  EXPECT_EQ(pty.readUntil("15\r\n"), "\r\nOK\r\n\r\n+CUSD: 0,\"Your balance is 10.00\",15\r\n");
  sim.setUssd("*123#", "Bonus: 5 SMS");
  pty.write("AT+CUSD=1,\"*123#\"\r");
  EXPECT_EQ(pty.readUntil("15\r\n"), "\r\nOK\r\n\r\n+CUSD: 0,\"Bonus: 5 SMS\",15\r\n");
  pty.write("AT+CUSD=1,\"*999#\"\r");
  EXPECT_EQ(pty.readUntil("4\r\n"), "\r\nOK\r\n\r\n+CUSD: 4\r\n");
  sim.set("creg=2");
  EXPECT_EQ(pty.at("AT+CUSD=1,\"*100#\""), "\r\n+CME ERROR: 30\r\n");
}

TEST_F(ModemSimStore, PhonebookWriteReadDelete) {
  pty.at("AT+CMEE=1");
  EXPECT_EQ(pty.at("AT+CPBS=\"SM\""), "\r\nOK\r\n");
  EXPECT_EQ(pty.at("AT+CPBS?"), "\r\n+CPBS: \"SM\",0,250\r\n\r\nOK\r\n");
  EXPECT_EQ(pty.at("AT+CPBW=12,\"0123456789\",,\"Alice\""), "\r\nOK\r\n");
  EXPECT_EQ(pty.at("AT+CPBW=,\"+60123\",,\"Bob\""), "\r\nOK\r\n") << "first free slot";
  EXPECT_EQ(pty.at("AT+CPBR=12"), "\r\n+CPBR: 12,\"0123456789\",129,\"Alice\"\r\n\r\nOK\r\n");
  EXPECT_EQ(pty.at("AT+CPBR=1"), "\r\n+CPBR: 1,\"+60123\",145,\"Bob\"\r\n\r\nOK\r\n");
  EXPECT_EQ(pty.at("AT+CPBS?"), "\r\n+CPBS: \"SM\",2,250\r\n\r\nOK\r\n");
  EXPECT_EQ(pty.at("AT+CPBW=12"), "\r\nOK\r\n");
  EXPECT_EQ(pty.at("AT+CPBR=12"), "\r\nOK\r\n") << "empty slot";
  EXPECT_EQ(pty.at("AT+CPBR=251"), "\r\n+CME ERROR: 21\r\n");
  EXPECT_EQ(pty.at("AT+CPBW=0,\"1\",,\"x\""), "\r\n+CME ERROR: 21\r\n");
  EXPECT_EQ(pty.at("AT+CPBW=2,\"1\",,\"nineteen characters\""), "\r\n+CME ERROR: 24\r\n");
  EXPECT_EQ(pty.at("AT+CPBW=2,\"1\",,\"Zoë Ålander Øster\""), "\r\nOK\r\n")
      << "18 characters, more bytes";
  EXPECT_EQ(pty.at("AT+CPBR=2"), "\r\n+CPBR: 2,\"1\",129,\"Zo\xEB \xC5lander \xD8ster\"\r\n\r\nOK\r\n")
      << "names come back in the modem's character set";
  EXPECT_EQ(pty.at("AT+CPBS=\"ME\""), "\r\n+CME ERROR: 3\r\n");
}

TEST_F(ModemSimStore, InjectOptionsAndUnsolicitedIndications) {
  sim.inject("+60123456789", "x");
  EXPECT_EQ(pty.readUntil("+CMTI", 300), "") << "AT+CNMI mode 0 keeps indications in the modem";
  pty.at("AT+CNMI=2,1,0,2,0");
  EXPECT_EQ(sim.inject("Bank", "Part one", "concat=9/2/1 read=1 coding=ucs2"), 2);
  EXPECT_EQ(pty.readUntil(",2\r\n"), "\r\n+CMTI: \"SM\",2\r\n");
  std::string r = pty.at("AT+CMGL=1");
  auto start = r.find("\r\n", r.find("+CMGL: 2,1,,")) + 2;
  std::string unit = r.substr(start, r.find("\r\n", start) - start);
  // SCA, then first octet 44 (header present), alphanumeric sender D0,
  // UCS-2 coding, and the concatenation header 05 00 03 09 02 01.
  EXPECT_EQ(unit.substr(16, 2), "44");
  EXPECT_EQ(unit.substr(20, 2), "D0");
  EXPECT_NE(unit.find("0500030902010050006100720074"), std::string::npos) << unit;

  pty.at("AT+CMGS=19");
  pty.write("0031000B910621436587F90000FF05C8329BFD06" + std::string(1, kCtrlZ));
  EXPECT_EQ(pty.readUntil("\"SR\",1\r\n"), "\r\n+CMGS: 0\r\n\r\nOK\r\n\r\n+CDSI: \"SR\",1\r\n");
}
