// The switches that make the simulator an awkward modem.
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>

#include "tools/modemsim/SimModem.h"
#include "tools/modemsim/tests/PtyClient.h"

using modemsim::SimModem;
using Clock = std::chrono::steady_clock;

namespace {
constexpr char kCtrlZ = 0x1A;
const std::string kHello = "0011000B910621436587F90000FF05C8329BFD06";

long msSince(Clock::time_point t) {
  return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - t).count();
}
}  // namespace

TEST(ModemSimMisbehaviour, AnswersOnlyAtItsBaudRate) {
  SimModem sim({"--only-baud=9600"});
  PtyClient pty(sim.ptyPath(), B115200);
  EXPECT_EQ(pty.readUntil("OK", 0), "");
  pty.write("AT\r");
  EXPECT_EQ(pty.readUntil("OK", 300), "");
  pty.setSpeed(B9600);
  EXPECT_EQ(pty.at("AT"), "AT\r\r\nOK\r\n");
  EXPECT_NE(sim.dialogue().find("ignored at 115200 baud"), std::string::npos);
}

TEST(ModemSimMisbehaviour, MuteUntilToldOtherwise) {
  SimModem sim({"--mute=1"});
  PtyClient pty(sim.ptyPath());
  pty.write("AT\r");
  EXPECT_EQ(pty.readUntil("OK", 300), "");
  sim.set("mute=0");
  EXPECT_EQ(pty.at("AT"), "AT\r\r\nOK\r\n");
}

TEST(ModemSimMisbehaviour, PinThenPukStates) {
  SimModem sim({"--sim=pin", "--pin=4321", "--cmee=1"});
  PtyClient pty(sim.ptyPath());
  pty.at("ATE0");
  EXPECT_EQ(pty.at("AT+CPIN?"), "\r\n+CPIN: SIM PIN\r\n\r\nOK\r\n");
  EXPECT_EQ(pty.at("AT+CMGL=4"), "\r\n+CMS ERROR: 311\r\n");
  EXPECT_EQ(pty.at("AT+CPBS?"), "\r\n+CME ERROR: 11\r\n");
  EXPECT_EQ(pty.at("AT+CPIN=1111"), "\r\n+CME ERROR: 16\r\n");
  EXPECT_EQ(pty.at("AT+CPIN=4321"), "\r\nOK\r\n") << "unquoted, as the libraries send it";
  EXPECT_EQ(pty.at("AT+CPIN?"), "\r\n+CPIN: READY\r\n\r\nOK\r\n");
  EXPECT_EQ(pty.at("AT+CMGL=4"), "\r\nOK\r\n");

  sim.set("sim=pin");
  for (int i = 0; i < 3; ++i) EXPECT_EQ(pty.at("AT+CPIN=\"0000\""), "\r\n+CME ERROR: 16\r\n");
  EXPECT_EQ(pty.at("AT+CPIN?"), "\r\n+CPIN: SIM PUK\r\n\r\nOK\r\n") << "three wrong PINs";
  EXPECT_EQ(pty.at("AT+CMGS=19"), "\r\n+CMS ERROR: 316\r\n");
  EXPECT_EQ(pty.at("AT+CPIN=\"00000000\",\"1111\""), "\r\n+CME ERROR: 16\r\n");
  EXPECT_EQ(pty.at("AT+CPIN=\"12345678\",\"1111\""), "\r\nOK\r\n");
  EXPECT_EQ(pty.at("AT+CPIN?"), "\r\n+CPIN: READY\r\n\r\nOK\r\n");
}

TEST(ModemSimMisbehaviour, SimErrorAndErrorVerbosity) {
  SimModem sim({"--sim=error"});
  PtyClient pty(sim.ptyPath());
  pty.at("ATE0");
  EXPECT_EQ(pty.at("AT+CPIN?"), "\r\nERROR\r\n") << "AT+CMEE is 0 at start";
  EXPECT_EQ(pty.at("AT+CPMS=\"SM\""), "\r\n+CMS ERROR: 310\r\n") << "whatever AT+CMEE says";
  pty.at("AT+CMEE=1");
  EXPECT_EQ(pty.at("AT+CPIN?"), "\r\n+CME ERROR: 10\r\n");
  pty.at("AT&F");
  EXPECT_EQ(pty.at("AT+CPIN?"), "AT+CPIN?\r\r\nERROR\r\n") << "back to 0 (and echo on)";
}

TEST(ModemSimMisbehaviour, Cms515ThenReady) {
  SimModem sim({"--cms515=2"});
  PtyClient pty(sim.ptyPath());
  pty.at("ATE0");
  EXPECT_EQ(pty.at("AT+CSMS=0"), "\r\n+CMS ERROR: 515\r\n");
  EXPECT_EQ(pty.at("AT+CSMS=0"), "\r\n+CMS ERROR: 515\r\n");
  EXPECT_EQ(pty.at("AT+CSMS=0"), "\r\n+CSMS: 1,1,1\r\n\r\nOK\r\n");
  sim.set("cms515=1");
  EXPECT_EQ(pty.at("AT+CSMS=0"), "\r\n+CMS ERROR: 515\r\n") << "re-armed from control";
}

TEST(ModemSimMisbehaviour, SignalAndRegistration) {
  SimModem sim({"--csq=0", "--creg=2"});
  PtyClient pty(sim.ptyPath());
  pty.at("ATE0");
  EXPECT_EQ(pty.at("AT+CSQ"), "\r\n+CSQ: 0,99\r\n\r\nOK\r\n");
  EXPECT_EQ(pty.at("AT+CREG?"), "\r\n+CREG: 0,2\r\n\r\nOK\r\n");
  pty.at("AT+CMGS=19");
  EXPECT_EQ(pty.at(kHello + kCtrlZ), "\r\n+CMS ERROR: 331\r\n") << "no network";
  sim.set("csq=99,99 creg=5");
  EXPECT_EQ(pty.at("AT+CSQ"), "\r\n+CSQ: 99,99\r\n\r\nOK\r\n");
  EXPECT_EQ(pty.at("AT+CREG?"), "\r\n+CREG: 0,5\r\n\r\nOK\r\n");
  EXPECT_THROW(sim.set("csq=15 creg=9"), std::runtime_error);
  EXPECT_EQ(pty.at("AT+CSQ"), "\r\n+CSQ: 99,99\r\n\r\nOK\r\n") << "a bad set changes nothing";
}

TEST(ModemSimMisbehaviour, RefusedSendsUseNoReference) {
  SimModem sim({"--refuse=2"});
  PtyClient pty(sim.ptyPath());
  pty.at("ATE0");
  for (int i = 0; i < 2; ++i) {
    pty.at("AT+CMGS=19");
    EXPECT_EQ(pty.at(kHello + kCtrlZ), "\r\n+CMS ERROR: 500\r\n");
  }
  pty.at("AT+CMGS=19");
  EXPECT_EQ(pty.at(kHello + kCtrlZ), "\r\n+CMGS: 0\r\n\r\nOK\r\n");
  sim.set("refuse=always");
  for (int i = 0; i < 3; ++i) {
    pty.at("AT+CMGS=19");
    EXPECT_EQ(pty.at(kHello + kCtrlZ), "\r\n+CMS ERROR: 500\r\n");
  }
  EXPECT_EQ(sim.sent().size(), 1u);
}

TEST(ModemSimMisbehaviour, SlowAnswersKeepTheEchoPrompt) {
  SimModem sim({"--delay=250"});
  PtyClient pty(sim.ptyPath());
  auto t = Clock::now();
  pty.write("AT\r");
  EXPECT_EQ(pty.readUntil("AT\r", 200), "AT\r") << "echo is not delayed";
  EXPECT_LT(msSince(t), 200);
  EXPECT_EQ(pty.readUntil("OK\r\n", 1000), "\r\nOK\r\n");
  EXPECT_GE(msSince(t), 250);
}

TEST(ModemSimMisbehaviour, AnswersInPieces) {
  SimModem sim({"--pieces=3", "--piece-gap=30", "--echo=0"});
  PtyClient pty(sim.ptyPath());
  pty.at("ATE0");
  pty.write("AT+CSQ\r");
  std::string first = pty.readSome();
  EXPECT_EQ(first, "\r\n+");
  std::string rest = pty.readUntil("OK\r\n");
  EXPECT_EQ(first + rest, "\r\n+CSQ: 15,99\r\n\r\nOK\r\n");
}

TEST(ModemSimMisbehaviour, DropsTheLine) {
  SimModem sim({"--drop-after=2"});
  PtyClient pty(sim.ptyPath());
  EXPECT_EQ(pty.at("AT"), "AT\r\r\nOK\r\n");
  pty.write("AT+CSQ\r");
  pty.readUntil("never", 1000);
  EXPECT_TRUE(pty.hungUp());
  EXPECT_TRUE(sim.running()) << "only the line goes";
  EXPECT_EQ(sim.control("ping"), "OK");

  SimModem other;
  auto folder = std::filesystem::temp_directory_path() /
                ("modemsim-drop-" + std::to_string(::getpid()));
  auto link = other.linkPort(folder.string(), 2);
  PtyClient line(link);
  EXPECT_EQ(line.at("AT"), "AT\r\r\nOK\r\n");
  other.drop();
  line.readUntil("never", 1000);
  EXPECT_TRUE(line.hungUp());
  EXPECT_FALSE(std::filesystem::is_symlink(link)) << "a dropped line leaves no link behind";
  EXPECT_THROW(other.linkPort(folder.string(), 3), std::runtime_error);
  std::filesystem::remove_all(folder);
}

TEST(ModemSimMisbehaviour, DialogueIsLogged) {
  SimModem sim;
  PtyClient pty(sim.ptyPath());
  pty.at("AT+CSQ");
  sim.set("csq=7");
  std::string log = sim.dialogue();
  EXPECT_NE(log.find("<< AT+CSQ"), std::string::npos);
  EXPECT_NE(log.find(">> <CR><LF>+CSQ: 15,99<CR><LF><CR><LF>OK<CR><LF>"), std::string::npos);
  EXPECT_NE(log.find("## set csq=7"), std::string::npos);
}

TEST(ModemSimMisbehaviour, ControlRejectsNonsense) {
  SimModem sim;
  EXPECT_EQ(sim.control("frobnicate"), "ERROR unknown command frobnicate");
  EXPECT_EQ(sim.control("set nosuch=1"), "ERROR unknown setting: nosuch");
  EXPECT_EQ(sim.control("inject number=+601 coding=klingon text=x"), "ERROR bad coding klingon");
  EXPECT_EQ(sim.control("inject number=+601 text=" + std::string(161, 'x')),
            "ERROR text too long for one message");
  EXPECT_EQ(sim.control("inject-pdu 0G"), "ERROR not hexadecimal");
  for (int i = 0; i < 30; ++i) sim.inject("+601", "x");
  EXPECT_EQ(sim.control("inject number=+601 text=x"), "ERROR SIM store full");
}

TEST(ModemSimMisbehaviour, StrictByDefaultLenientOnRequest) {
  // (what is sent, strict answer, lenient answer)
  struct Case {
    std::string send, strict, lenient;
  };
  const std::vector<Case> cases = {
      {"AT+CMGL=\"4\"", "\r\nERROR\r\n", "\r\nOK\r\n"},
      {"AT+CMGR=\"1\"", "\r\nERROR\r\n", "\r\n+CMS ERROR: 321\r\n"},
      {"AT+CMGD=\"1\"", "\r\nERROR\r\n", "\r\nOK\r\n"},
      {"AT+CNMI=\"2\",1", "\r\nERROR\r\n", "\r\nOK\r\n"},
      {"AT+CMGF=\"0\"", "\r\nERROR\r\n", "\r\nOK\r\n"},
      {"AT+CMGS=\"19\"", "\r\nERROR\r\n", "\r\n> "},
  };
  for (bool lenient : {false, true}) {
    SimModem sim({lenient ? "--lenient=1" : "--lenient=0"});
    PtyClient pty(sim.ptyPath());
    pty.at("ATE0");
    for (const Case& c : cases) EXPECT_EQ(pty.at(c.send), lenient ? c.lenient : c.strict) << c.send;
    if (lenient) pty.write(std::string(1, 0x1B));  // leave the prompt of the last case
    pty.readUntil("never", 100);
    // A command ended with two CRs: strict modems take the second into the PDU.
    pty.write("AT+CMGS=19\r\r");
    EXPECT_EQ(pty.readUntil("> "), "\r\n> ");
    EXPECT_EQ(pty.at(kHello + kCtrlZ), lenient ? "\r\n+CMGS: 0\r\n\r\nOK\r\n" : "\r\n+CMS ERROR: 304\r\n");
    EXPECT_EQ(sim.sent().size(), lenient ? 1u : 0u);
  }
}

TEST(ModemSimMisbehaviour, StorageNumberedFromZeroOrOne) {
  for (int base : {0, 1}) {
    SimModem sim({"--index-base=" + std::to_string(base), "--capacity=2"});
    PtyClient pty(sim.ptyPath());
    pty.at("ATE0");
    EXPECT_EQ(sim.inject("+601", "a"), base);
    EXPECT_EQ(sim.inject("+602", "b"), base + 1);
    EXPECT_EQ(sim.control("inject number=+603 text=c"), "ERROR SIM store full");
    const std::string first = std::to_string(base);
    EXPECT_NE(pty.at("AT+CMGL=4").find("\r\n+CMGL: " + first + ",0,,"), std::string::npos);
    EXPECT_NE(pty.at("AT+CMGR=" + first).find("\r\n+CMGR: 1,,"), std::string::npos);
    EXPECT_EQ(pty.at("AT+CMGD=" + std::to_string(base + 2)), "\r\n+CMS ERROR: 321\r\n") << "past the last slot";
    EXPECT_EQ(pty.at("AT+CMGD=" + first), "\r\nOK\r\n");
    EXPECT_EQ(sim.count("sm"), 1);
    EXPECT_EQ(sim.inject("+604", "d"), base) << "the freed first slot";
    // Status reports use the same numbering; +CDSI names the slot when AT+CNMI asks.
    pty.at("AT+CNMI=2,0,0,2,0");
    pty.at("AT+CMGS=19");
    pty.write("0031" + kHello.substr(4) + std::string(1, kCtrlZ));
    EXPECT_EQ(pty.readUntil("\"SR\"," + first + "\r\n"), "\r\n+CMGS: 0\r\n\r\nOK\r\n\r\n+CDSI: \"SR\"," + first + "\r\n");
  }
}

TEST(ModemSimMisbehaviour, InformationAndFinalCodeApartAndLateSendResults) {
  SimModem sim({"--ok-gap=300", "--cmgs-delay=800"});
  PtyClient pty(sim.ptyPath());
  pty.at("ATE0");
  auto t = Clock::now();
  pty.write("AT+CSQ\r");
  EXPECT_EQ(pty.readUntil("99\r\n"), "\r\n+CSQ: 15,99\r\n");
  EXPECT_EQ(pty.readUntil("OK\r\n", 150), "") << "the OK is not there yet";
  EXPECT_EQ(pty.readUntil("OK\r\n"), "\r\nOK\r\n");
  EXPECT_GE(msSince(t), 300);
  EXPECT_EQ(pty.at("AT+CMGF=0"), "\r\nOK\r\n") << "no information text, no gap";

  pty.at("AT+CMGS=19");
  t = Clock::now();
  pty.write(kHello + kCtrlZ);
  EXPECT_EQ(pty.readUntil("OK\r\n", 3000), "\r\n+CMGS: 0\r\n\r\nOK\r\n");
  EXPECT_GE(msSince(t), 800 + 300);
  EXPECT_EQ(sim.sent().size(), 1u) << "logged when taken, answered late";
}

TEST(ModemSimMisbehaviour, NetworkClockAndIdentityQueries) {
  SimModem sim({"--creg=5"});
  PtyClient pty(sim.ptyPath());
  pty.at("ATE0");
  EXPECT_EQ(pty.at("AT+COPS?"), "\r\n+COPS: 0,0,\"Parlix Net\"\r\n\r\nOK\r\n");
  EXPECT_EQ(pty.at("AT+CGREG?"), "\r\n+CGREG: 0,5\r\n\r\nOK\r\n");
  EXPECT_EQ(pty.at("AT+CGREG=2"), "\r\nOK\r\n");
  EXPECT_EQ(pty.at("AT+CIMI"), "\r\n502990123456789\r\n\r\nOK\r\n");
  const std::string clock = pty.at("AT+CCLK?");
  EXPECT_EQ(clock.substr(0, 11), "\r\n+CCLK: \"2") << clock;
  EXPECT_EQ(clock.size(), std::string("\r\n+CCLK: \"yy/MM/dd,hh:mm:ss+zz\"\r\n\r\nOK\r\n").size()) << clock;
  sim.set("creg=2");
  EXPECT_EQ(pty.at("AT+COPS?"), "\r\n+COPS: 0\r\n\r\nOK\r\n");
  sim.set("sim=pin");
  EXPECT_EQ(pty.at("AT+CIMI"), "\r\nERROR\r\n");
}

TEST(ModemSimMisbehaviour, EscLeavesThePromptAndIsSkippedBeforeAT) {
  SimModem sim;
  PtyClient pty(sim.ptyPath());
  pty.at("ATE0");
  pty.write("AT+CMGS=19\r");
  EXPECT_EQ(pty.readUntil("> "), "\r\n> ");
  pty.write("00");  // half a PDU, then the program died
  EXPECT_EQ(pty.at("AT", 300), "") << "at the prompt, AT is more PDU";
  pty.write("\x1B");
  EXPECT_EQ(pty.readUntil("OK\r\n"), "\r\nOK\r\n");
  EXPECT_EQ(pty.at("\x1B" "AT"), "\r\nOK\r\n") << "in command mode ESC is noise before AT";
  EXPECT_TRUE(sim.sent().empty());
}
