// Test harness for the simulated modem: starts `modemsim` as a child
// process, gives its pseudo-terminal, drives its control channel and reads
// what it sent. Link `modemsim_harness`; the binary comes along as a build
// dependency and is found through binaryPath().
//
//   modemsim::SimModem sim({"--sim=pin", "--pin=1234"});
//   sim.linkPort(programFolder, 3);        // programFolder/ports/com3
//   sim.inject("+60123456789", "Hello");   // a received message in the SIM
//   ... drive the library ...
//   auto sent = sim.sent();                // what the handsets got
#pragma once

#include <sys/types.h>

#include <string>
#include <vector>

namespace modemsim {

// One line of the sent log: one submitted unit.
struct SentMessage {
  int n = 0;             // 1, 2, ... in sending order
  std::string mode;      // "pdu" or "text"
  std::string number;    // destination digits as addressed (no "+")
  int toa = 0;           // 145 international, 129 unknown
  std::string text;      // UTF-8; hex digits for 8-bit data
  std::string coding;    // "7bit", "ucs2" or "8bit"
  int dcs = 0;
  int length = 0;        // septets or octets, header excluded
  bool hasUdh = false;   // concatenation header present
  int ref = 0, total = 0, seq = 0;
  bool report = false;   // status report requested
  int mr = 0;            // reference the modem answered with
  std::string pdu;       // PDU mode: the unit as given after AT+CMGS
};

// A message as a handset shows it once the parts are joined.
struct JoinedMessage {
  std::string number;
  std::string text;
  int parts = 1;        // units that arrived for it
  bool complete = true; // every part 1..total arrived exactly once
};
std::vector<JoinedMessage> reassemble(const std::vector<SentMessage>& sent);

// Reads a sent log file (one JSON object a line).
std::vector<SentMessage> readSentLog(const std::string& path);

class SimModem {
 public:
  // args: extra command-line options such as "--sim=pin" or "--only-baud=9600".
  explicit SimModem(std::vector<std::string> args = {});
  ~SimModem();
  SimModem(const SimModem&) = delete;
  SimModem& operator=(const SimModem&) = delete;

  const std::string& ptyPath() const { return pty_; }
  const std::string& workDir() const { return dir_; }
  pid_t pid() const { return pid_; }

  // Makes folder/ports/comN point at the pty (folders created); returns the
  // link. Like --link, it goes when the line is dropped or the simulator ends.
  std::string linkPort(const std::string& folder, int n);

  // One control line; returns the reply line. Throws when the simulator is gone.
  std::string control(const std::string& line);
  // "key=value ..." as the command-line settings; throws on an ERROR reply.
  void set(const std::string& keyValues);
  // Stores a received message; extra: "coding=ucs2 concat=7/2/1 scts=... smsc=... read=1".
  // Returns its SIM index.
  int inject(const std::string& number, const std::string& text, const std::string& extra = "");
  int injectPdu(const std::string& hex, bool read = false);
  int count(const std::string& store);  // "sm" or "sr"
  void setUssd(const std::string& code, const std::string& reply);
  void drop();  // close the line now
  // Writes bytes to the modem as another program on the line would, then closes it:
  // what a program killed half-way through a command leaves behind.
  void leaveOnLine(const std::string& bytes);

  std::vector<SentMessage> sent() const;
  std::string dialogue() const;  // the dialogue log so far

  bool running();
  void stop();   // clean end through the control channel
  void kill9();  // SIGKILL, for crash tests

  static std::string binaryPath();

 private:
  std::string dir_, pty_, control_;
  std::vector<std::string> links_;
  pid_t pid_ = -1;
};

}  // namespace modemsim
