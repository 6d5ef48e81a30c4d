// The simulator over its real pty, driven with raw reads and writes.
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <thread>

#include "tools/modemsim/SimModem.h"
#include "tools/modemsim/tests/PtyClient.h"

using modemsim::SimModem;

namespace {

constexpr char kCtrlZ = 0x1A;

// What the PDU-mode library sends for 60123456789 and "Hello", status
// report not requested / requested.
const std::string kHello = "0011000B910621436587F90000FF05C8329BFD06";
const std::string kHelloReport = "0031000B910621436587F90000FF05C8329BFD06";

int tpduLength(const std::string& hex) { return static_cast<int>(hex.size() - 2) / 2; }

std::string sendPdu(PtyClient& pty, const std::string& hex) {
  std::string prompt = pty.at("AT+CMGS=" + std::to_string(tpduLength(hex)));
  if (prompt.find("\r\n> ") == std::string::npos) return prompt;
  return pty.at(hex + kCtrlZ);
}

}  // namespace

TEST(ModemSim, BringUpAnswersLikeAModem) {
  SimModem sim;
  PtyClient pty(sim.ptyPath());
  EXPECT_EQ(pty.at("AT"), "AT\r\r\nOK\r\n");
  EXPECT_EQ(pty.at("AT+CPIN?"), "AT+CPIN?\r\r\n+CPIN: READY\r\n\r\nOK\r\n");
  EXPECT_EQ(pty.at("AT+CSMS=0"), "AT+CSMS=0\r\r\n+CSMS: 1,1,1\r\n\r\nOK\r\n");
  EXPECT_EQ(pty.at("AT+CSQ"), "AT+CSQ\r\r\n+CSQ: 15,99\r\n\r\nOK\r\n");
  EXPECT_EQ(pty.at("AT+CSDH=1"), "AT+CSDH=1\r\r\nOK\r\n");
  EXPECT_EQ(pty.at("AT+CREG?"), "AT+CREG?\r\r\n+CREG: 0,1\r\n\r\nOK\r\n");
  // A second CR is an empty line, which is ignored.
  pty.write("AT+CMGF=0\r\r");
  EXPECT_EQ(pty.readUntil("OK\r\n\r"), "AT+CMGF=0\r\r\nOK\r\n\r");
  EXPECT_EQ(pty.at("ATE0"), "ATE0\r\r\nOK\r\n");
  EXPECT_EQ(pty.at("AT+CMGF?"), "\r\n+CMGF: 0\r\n\r\nOK\r\n");
  EXPECT_EQ(pty.at("AT+NOPE"), "\r\nERROR\r\n");
  EXPECT_EQ(pty.at("AT&F0"), "\r\nOK\r\n");
  EXPECT_EQ(pty.at("AT"), "AT\r\r\nOK\r\n") << "AT&F0 turns echo back on";
  EXPECT_EQ(pty.at("at+csq;+creg?"), "at+csq;+creg?\r\r\n+CSQ: 15,99\r\n\r\n+CREG: 0,1\r\n\r\nOK\r\n");
}

TEST(ModemSim, PduSendLandsInTheSentLogWithIncreasingReferences) {
  SimModem sim({"--mr=254"});
  PtyClient pty(sim.ptyPath());
  pty.at("ATE0");
  EXPECT_EQ(pty.at("AT+CMGS=19"), "\r\n> ");
  EXPECT_EQ(pty.at(kHello + kCtrlZ), "\r\n+CMGS: 254\r\n\r\nOK\r\n");
  EXPECT_NE(sendPdu(pty, kHello).find("+CMGS: 255\r\n"), std::string::npos);
  EXPECT_NE(sendPdu(pty, kHello).find("+CMGS: 0\r\n"), std::string::npos) << "wraps after 255";

  auto sent = sim.sent();
  ASSERT_EQ(sent.size(), 3u);
  EXPECT_EQ(sent[0].mode, "pdu");
  EXPECT_EQ(sent[0].number, "60123456789");
  EXPECT_EQ(sent[0].toa, 145);
  EXPECT_EQ(sent[0].text, "Hello");
  EXPECT_EQ(sent[0].coding, "7bit");
  EXPECT_FALSE(sent[0].hasUdh);
  EXPECT_FALSE(sent[0].report);
  EXPECT_EQ(sent[0].pdu, kHello);
  EXPECT_EQ(sent[0].mr, 254);
  EXPECT_EQ(sent[2].mr, 0);
  EXPECT_EQ(sent[2].n, 3);
}

TEST(ModemSim, Ucs2PduDecodesToUtf8) {
  SimModem sim;
  PtyClient pty(sim.ptyPath());
  // "Привет 😀": six Cyrillic letters, a blank and a surrogate pair.
  std::string pdu = "0011000B910621436587F90008FF12041F044004380432043504420020D83DDE00";
  EXPECT_NE(sendPdu(pty, pdu).find("+CMGS: 0"), std::string::npos);
  auto sent = sim.sent();
  ASSERT_EQ(sent.size(), 1u);
  EXPECT_EQ(sent[0].coding, "ucs2");
  EXPECT_EQ(sent[0].text, "Привет 😀");
  EXPECT_EQ(sent[0].length, 18);
}

TEST(ModemSim, ConcatenatedPartsCarryTheirHeaderAndJoin) {
  SimModem sim;
  PtyClient pty(sim.ptyPath());
  // As the long-message sender builds them: first octet 61, type 81, no
  // validity, header 05 00 03 ref total seq, one fill bit before the text.
  std::string part1 = "0061000B810621436587F9000009050003050201" "9069";
  std::string part2 = "0061000B810621436587F9000008050003050202" "42";
  EXPECT_NE(sendPdu(pty, part1).find("+CMGS: 0"), std::string::npos);
  EXPECT_NE(sendPdu(pty, part2).find("+CMGS: 1"), std::string::npos);
  auto sent = sim.sent();
  ASSERT_EQ(sent.size(), 2u);
  EXPECT_TRUE(sent[0].hasUdh);
  EXPECT_EQ(sent[0].ref, 5);
  EXPECT_EQ(sent[0].total, 2);
  EXPECT_EQ(sent[0].seq, 1);
  EXPECT_EQ(sent[1].seq, 2);
  EXPECT_EQ(sent[0].text, "Hi");
  EXPECT_EQ(sent[0].toa, 129);
  EXPECT_TRUE(sent[0].report);
  auto joined = modemsim::reassemble(sent);
  ASSERT_EQ(joined.size(), 1u);
  EXPECT_EQ(joined[0].text, "Hi!");
  EXPECT_TRUE(joined[0].complete);
  EXPECT_EQ(joined[0].parts, 2);
}

TEST(ModemSim, BrokenPdusAreRefusedAndNotLogged) {
  SimModem sim;
  PtyClient pty(sim.ptyPath());
  pty.at("ATE0");
  // Length one short, not hex, user data cut short, SMS-DELIVER instead of SUBMIT.
  pty.at("AT+CMGS=" + std::to_string(tpduLength(kHello) - 1));
  EXPECT_EQ(pty.at(kHello + kCtrlZ), "\r\n+CMS ERROR: 304\r\n");
  pty.at("AT+CMGS=3");
  EXPECT_EQ(pty.at(std::string("00XY11ZZ") + kCtrlZ), "\r\n+CMS ERROR: 304\r\n");
  std::string cut = kHello.substr(0, kHello.size() - 2);
  pty.at("AT+CMGS=" + std::to_string(tpduLength(cut)));
  EXPECT_EQ(pty.at(cut + kCtrlZ), "\r\n+CMS ERROR: 304\r\n");
  std::string deliver = "0004" + kHello.substr(4);
  pty.at("AT+CMGS=" + std::to_string(tpduLength(deliver)));
  EXPECT_EQ(pty.at(deliver + kCtrlZ), "\r\n+CMS ERROR: 304\r\n");
  // Escape abandons the message.
  pty.at("AT+CMGS=" + std::to_string(tpduLength(kHello)));
  EXPECT_EQ(pty.at(kHello + "\x1b"), "\r\nOK\r\n");
  EXPECT_TRUE(sim.sent().empty());
}

TEST(ModemSim, HarnessLinksThePortAndStops) {
  auto folder = std::filesystem::temp_directory_path() /
                ("modemsim-link-" + std::to_string(::getpid()));
  {
    SimModem sim({"--inject", "+60123456789=Hello there", "--sim", "pin"});
    EXPECT_EQ(sim.count("sm"), 1);
    EXPECT_NE(sim.control("status").find("\"sim\":\"pin\""), std::string::npos);
    auto link = sim.linkPort(folder.string(), 3);
    EXPECT_EQ(link, (folder / "ports" / "com3").string());
    EXPECT_EQ(std::filesystem::read_symlink(link).string(), sim.ptyPath());
    PtyClient pty(link);
    EXPECT_EQ(pty.at("AT"), "AT\r\r\nOK\r\n");
    sim.stop();
    EXPECT_FALSE(sim.running());
    EXPECT_FALSE(std::filesystem::is_symlink(link)) << "the link goes with the simulator";
  }
  std::filesystem::remove_all(folder);
}

TEST(ModemSim, KilledSimulatorHangsUpTheLine) {
  auto folder = std::filesystem::temp_directory_path() /
                ("modemsim-kill-" + std::to_string(::getpid()));
  SimModem sim;
  auto link = sim.linkPort(folder.string(), 1);
  PtyClient pty(link);
  EXPECT_EQ(pty.at("AT"), "AT\r\r\nOK\r\n");
  sim.kill9();
  EXPECT_FALSE(std::filesystem::is_symlink(link));
  std::filesystem::remove_all(folder);
  EXPECT_FALSE(sim.running());
  pty.readUntil("never", 500);
  EXPECT_TRUE(pty.hungUp());
  EXPECT_THROW(sim.control("ping"), std::runtime_error);
}

TEST(ModemSim, OverlongInputIsCutOff) {
  SimModem sim;
  PtyClient pty(sim.ptyPath());
  pty.at("ATE0");
  pty.write("AT" + std::string(3000, 'A') + "\r");
  EXPECT_EQ(pty.readUntil("ERROR\r\n"), "\r\nERROR\r\n");
  EXPECT_EQ(pty.readUntil("ERROR", 100), "") << "one error for the whole line";
  pty.at("AT+CMGS=19");
  pty.write(std::string(5000, '0') + "\r");
  EXPECT_EQ(pty.readUntil("304\r\n"), "\r\n+CMS ERROR: 304\r\n");
  EXPECT_EQ(pty.at("AT"), "\r\nOK\r\n") << "back in command mode";
  EXPECT_TRUE(sim.sent().empty());
}
