// The AT command interpreter of the simulated modem: bytes from the line in,
// echo and answers out through Io. No file descriptors here, so the whole
// dialogue can run in memory. The definitions are split by concern: ModemCommands.cpp
// (parsing and dispatch), ModemStorage.cpp (stores, phonebook, character set),
// ModemReports.cpp (sends, status reports, incoming messages), ModemSettings.cpp.
#pragma once

#include <ctime>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "tools/modemsim/Sms.h"

namespace modemsim {

// Everything that can be set from the command line or the control channel.
struct Settings {
  int onlyBaud = 0;  // 0: any speed
  bool mute = false;
  std::string sim = "ready";  // ready | pin | puk | error
  std::string pin = "1234";
  std::string puk = "12345678";
  int pinTries = 3;    // PIN attempts left; a wrong PIN takes one, the third gives the PUK state
  bool cpinr = false;  // answer AT+CPINR (27.007 remaining PIN retries); off: ERROR, as many modems
  int cms515 = 0;
  int rssi = 15;
  int ber = 99;
  int creg = 1;
  int cregN = 0;       // AT+CREG=<n> at start and after AT&F / ATZ (2: with area and cell)
  int refuse = 0;  // -1: always
  int delayMs = 0;
  int pieceSize = 0;  // 0: whole answers
  int pieceGapMs = 10;
  int dropAfter = 0;  // drop the line at this command line (0: never)
  std::string report = "delivered";  // delivered | failed | none | a TP-ST number
  int nextMr = 0;
  bool echo = true;  // after AT&F / ATZ
  std::string smsc = "+60120000010";
  int capacity = 30;
  bool urc = true;  // unsolicited +CMTI / +CDSI as AT+CNMI asks for them
  // Strict 27.005 unless lenient: a quoted argument where an integer is due is ERROR,
  // and a CR or LF after the ">" prompt is a character of the PDU (so a send whose
  // command ended in two CRs is refused with 304). Lenient accepts both.
  bool lenient = false;
  int cmee = 0;        // AT+CMEE at start and after AT&F / ATZ
  int indexBase = 1;   // first index of the "SM" and "SR" stores (0 or 1)
  int okGapMs = 0;     // the final result code comes this long after the information text
  int cmgsDelayMs = 0; // the answer to a send (after Ctrl-Z) comes this late
  // AT+CSCS at start and after AT&F / ATZ. Many modems start in "GSM" (bytes are the
  // septets of the default alphabet, "@" a NUL byte) or "IRA".
  std::string cscs = "8859-1";
  std::map<std::string, std::string> ussd = {{"*100#", "Your balance is 10.00"}};
};

// key=value; false with a reason for an unknown key or a bad value.
bool applySetting(Settings& s, const std::string& key, const std::string& value, std::string& error);
std::string settingsJson(const Settings& s);

struct Io {
  std::function<void(const std::string& bytes, int delayMs)> write;
  std::function<void()> drop;
  std::function<int()> baud;  // current line speed; 0 when unknown
  std::function<void(const std::string& dir, const std::string& text)> log;
  std::function<void(const std::string& jsonLine)> sent;
  std::function<std::time_t()> now = [] { return std::time(nullptr); };
};

struct Injection {
  std::string number;
  std::string text;
  std::string coding = "auto";  // auto | 7bit | ucs2 | 8bit (text as hex)
  std::string smsc;             // default: Settings::smsc
  std::optional<TimeStamp> scts;
  std::optional<Concat> concat;
  bool read = false;
};

class Modem {
 public:
  Modem(Settings& settings, Io io);

  void receive(std::string_view bytes);

  // Index in the SIM store, or -1 with error set.
  int inject(const Injection& inj, std::string& error);
  int injectPdu(const std::string& hex, bool read, std::string& error);
  size_t count(const std::string& store) const;
  void clear(const std::string& store);
  int commandsSeen() const { return commands_; }

 private:
  enum class Kind { Deliver, Report };
  struct Stored {
    Kind kind = Kind::Deliver;
    bool read = false;
    std::string pdu;  // hex, SCA included
    std::optional<DecodedDeliver> deliver;
    StatusReport report;
  };
  using Store = std::map<int, Stored>;
  enum class Input { Command, PduBody, TextBody };

  void resetParameters();
  void runLine(const std::string& line);
  // One command of a line; returns the final code when it fails, else "".
  std::string runCommand(const std::string& cmd, std::string& out);
  std::string runExtended(const std::string& name, char op, const std::string& args,
                          std::string& out);
  void finishBody(bool send);
  void answer(const std::string& text);
  // Information text, then the final result code okGapMs later when it is set.
  void answer(const std::string& text, const std::string& final, int extraDelayMs = 0);
  bool intArg(const std::vector<std::string>& a, const std::vector<bool>& q, size_t i, int& v) const;
  void out(const std::string& bytes, int delayMs);

  std::string cmeError(int n) const;
  std::string cmsError(int n) const;
  std::string simGateSms() const;
  std::string simGatePhonebook() const;

  Store& store(const std::string& name);
  const Store& store(const std::string& name) const;
  int freeIndex(const Store& s) const;  // -1: full
  int lastIndex() const { return s_.indexBase + s_.capacity - 1; }
  bool indicate(int mode) const { return s_.urc && cnmi_[0] != 0 && mode; }
  std::string listEntry(int index, const Stored& m, bool listing) const;
  std::string statName(bool read) const;
  // Texts between terminal and modem in the character set of AT+CSCS.
  std::optional<std::string> teDecode(const std::string& bytes) const;
  std::string teEncode(const std::string& utf8) const;

  std::string cmgs(const std::string& body);
  std::string cmgsText(const std::string& body);
  std::string submitted(const std::string& mode, const Address& da, const UserData& ud, int dcs,
                        bool report, const std::string& pdu);
  std::string cpin(char op, const std::vector<std::string>& a, std::string& text);
  std::string cpinr(char op, const std::vector<std::string>& a, std::string& text);
  std::string cmgl(const std::string& args, std::string& out);
  std::string cmgr(const std::string& args, std::string& out);
  std::string cmgd(const std::string& args);
  std::string cpms(char op, const std::vector<std::string>& a, std::string& out);
  std::string cpbr(const std::vector<std::string>& a, std::string& out);
  std::string cpbw(const std::vector<std::string>& a);
  std::string cusd(char op, const std::vector<std::string>& a, std::string& out);

  Settings& s_;
  Io io_;
  std::string line_;
  Input input_ = Input::Command;
  std::string body_;
  std::string bodyTarget_;  // text mode: destination; PDU mode: length
  int commands_ = 0;
  bool dropped_ = false;
  bool lastWasCr_ = false;
  bool discarding_ = false;

  // Parameters that AT&F / ATZ restore.
  bool echo_ = true;
  int cmee_ = 1;
  int cmgf_ = 0;
  int csdh_ = 0;
  int cregN_ = 0;
  int cgregN_ = 0;
  std::vector<int> cnmi_ = {0, 0, 0, 0, 0};
  std::vector<int> csmp_ = {17, 167, 0, 0};
  std::string cscs_ = "8859-1";
  int cusdN_ = 0;
  std::string mem1_ = "SM", mem2_ = "SM", mem3_ = "SM";

  Store sm_, sr_;
  std::map<int, std::pair<std::string, std::string>> phonebook_;  // number, name
  int sentCount_ = 0;
  std::string afterOk_;  // unsolicited result that follows the final OK
};

// Splits AT arguments at commas outside double quotes; quotes are removed
// and `quoted` tells which were quoted.
std::vector<std::string> splitArgs(const std::string& args, std::vector<bool>* quoted = nullptr);
std::string jsonString(std::string_view utf8);

}  // namespace modemsim
