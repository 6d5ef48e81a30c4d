// The AT command interpreter: bytes from the line, command lines split into
// commands, basic and extended commands dispatched, error codes and the SIM/PIN
// commands. Message storage is in ModemStorage.cpp, sending and incoming messages
// in ModemReports.cpp.
#include "tools/modemsim/Modem.h"
#include "tools/modemsim/ModemInternal.h"

namespace modemsim {

namespace {

constexpr size_t kMaxLine = 1024;
constexpr size_t kMaxBody = 4096;
// Returned by a command that opened the message prompt instead of finishing.
const std::string kPrompt = "\x01prompt";

}  // namespace

Modem::Modem(Settings& settings, Io io) : s_(settings), io_(std::move(io)) { resetParameters(); }

void Modem::resetParameters() {
  echo_ = s_.echo;
  cmee_ = s_.cmee;
  cmgf_ = 0;
  csdh_ = 0;
  cregN_ = s_.cregN;
  cgregN_ = 0;
  cnmi_ = {0, 0, 0, 0, 0};
  csmp_ = {17, 167, 0, 0};
  cscs_ = s_.cscs;
  cusdN_ = 0;
  mem1_ = mem2_ = mem3_ = "SM";
}

void Modem::out(const std::string& bytes, int delayMs) {
  if (bytes.empty() || dropped_) return;
  io_.log(">>", printable(bytes));
  io_.write(bytes, delayMs);
}

void Modem::answer(const std::string& text) { out(text, s_.delayMs); }

void Modem::answer(const std::string& text, const std::string& final, int extraDelayMs) {
  const int delay = s_.delayMs + extraDelayMs;
  if (s_.okGapMs > 0 && !text.empty()) {
    out(text, delay);
    out(final, delay + s_.okGapMs);
  } else {
    out(text + final, delay);
  }
}

bool Modem::intArg(const std::vector<std::string>& a, const std::vector<bool>& q, size_t i, int& v) const {
  if (i >= a.size() || (i < q.size() && q[i] && !s_.lenient)) return false;
  return toInt(a[i], v);
}

void Modem::receive(std::string_view bytes) {
  if (dropped_ || bytes.empty()) return;
  if (s_.mute) {
    io_.log("--", "no answer (mute): " + printable(bytes));
    return;
  }
  if (s_.onlyBaud && io_.baud) {
    int b = io_.baud();
    if (b != s_.onlyBaud) {
      io_.log("--", "ignored at " + std::to_string(b) + " baud: " + printable(bytes));
      return;
    }
  }
  std::string echo;
  auto flushEcho = [&] {
    if (echo_ && !echo.empty()) out(echo, 0);
    echo.clear();
  };
  for (char c : bytes) {
    if (dropped_) return;
    echo += c;
    bool afterCr = lastWasCr_;
    lastWasCr_ = c == '\r';
    if (input_ != Input::Command) {
      if (c == 0x1A || c == 0x1B) {
        echo.pop_back();
        flushEcho();
        finishBody(c == 0x1A);
      } else if (input_ == Input::TextBody && c == '\r') {
        // A line break inside the text; the modem prompts for the next line.
        body_ += '\n';
        flushEcho();
        answer("\r\n> ");
      } else if (input_ == Input::TextBody && c == '\n') {
        echo.pop_back();
        if (!afterCr) body_ += '\n';
      } else if (input_ == Input::TextBody || !s_.lenient || (c != '\r' && c != '\n')) {
        // Strict modems take every character after the prompt into the PDU.
        body_ += c;
      }
      if (body_.size() > kMaxBody) {
        // No ^Z in sight: a real modem's buffer ends here too.
        flushEcho();
        io_.log("--", "message body too long, abandoned");
        input_ = Input::Command;
        body_.clear();
        discarding_ = true;  // the rest of it, up to the next CR
        answer(cmsError(cmgf_ ? 305 : 304));
      }
      continue;
    }
    if (c == '\r') {
      flushEcho();
      std::string line = line_;
      line_.clear();
      if (discarding_) discarding_ = false;
      else runLine(line);
    } else if (discarding_) {
      continue;
    } else if (c == '\b') {
      if (!line_.empty()) line_.pop_back();
    } else if (c != '\n') {
      line_ += c;
      if (line_.size() > kMaxLine) {
        flushEcho();
        io_.log("--", "command line too long, discarded");
        line_.clear();
        discarding_ = true;  // up to the next CR
        answer(kError);
      }
    }
  }
  flushEcho();
}

void Modem::runLine(const std::string& raw) {
  std::string line = trim(raw);
  if (line.empty()) return;
  io_.log("<<", printable(line));
  // Characters before the "AT" prefix are skipped, as modems do (an ESC sent to leave
  // a half-written command, line noise).
  const size_t prefix = upper(line).find("AT");
  if (prefix == std::string::npos) {
    io_.log("--", "not a command line, ignored");
    return;
  }
  line.erase(0, prefix);
  ++commands_;
  if (s_.dropAfter && commands_ >= s_.dropAfter) {
    io_.log("--", "dropping the line");
    dropped_ = true;
    io_.drop();
    return;
  }
  std::string rest = line.substr(2);
  std::string text;
  size_t pos = 0;
  while (pos < rest.size()) {
    while (pos < rest.size() && (rest[pos] == ' ' || rest[pos] == ';')) ++pos;
    if (pos >= rest.size()) break;
    std::string cmd;
    if (rest[pos] == '+' || rest[pos] == '^' || rest[pos] == '$') {
      bool inQuote = false;
      while (pos < rest.size() && (inQuote || rest[pos] != ';')) {
        if (rest[pos] == '"') inQuote = !inQuote;
        cmd += rest[pos++];
      }
    } else {
      cmd += rest[pos++];
      if (cmd == "&" && pos < rest.size()) cmd += rest[pos++];
      while (pos < rest.size() && (std::isdigit(static_cast<unsigned char>(rest[pos])) ||
                                   rest[pos] == '=' || rest[pos] == '?'))
        cmd += rest[pos++];
    }
    std::string err = runCommand(cmd, text);
    if (err == kPrompt) {
      answer(text + "\r\n> ");
      return;
    }
    if (!err.empty()) {
      afterOk_.clear();
      answer(text, err);
      return;
    }
  }
  answer(text, kOk + afterOk_);
  afterOk_.clear();
}

std::string Modem::cmeError(int n) const {
  if (cmee_ == 0) return kError;
  return "\r\n+CME ERROR: " + std::to_string(n) + "\r\n";
}

// 27.005: +CMS ERROR is given whatever AT+CMEE says.
std::string Modem::cmsError(int n) const {
  return "\r\n+CMS ERROR: " + std::to_string(n) + "\r\n";
}

std::string Modem::simGateSms() const {
  if (s_.sim == "pin") return cmsError(311);
  if (s_.sim == "puk") return cmsError(316);
  if (s_.sim == "error") return cmsError(310);
  return "";
}

std::string Modem::simGatePhonebook() const {
  if (s_.sim == "pin") return cmeError(11);
  if (s_.sim == "puk") return cmeError(12);
  if (s_.sim == "error") return cmeError(10);
  return "";
}

std::string Modem::runCommand(const std::string& cmd, std::string& text) {
  std::string u = upper(cmd);
  if (u[0] != '+' && u[0] != '^' && u[0] != '$') {
    // Basic commands: letter (or &letter) and an optional number.
    std::string name = u.substr(0, u[0] == '&' ? 2 : 1);
    std::string arg = u.substr(name.size());
    int v = 0;
    if (!arg.empty() && !toInt(arg, v)) return kError;
    if (name == "E") {
      if (v > 1) return kError;
      echo_ = v == 1;
    } else if (name == "Z" || name == "&F") {
      if (v != 0) return kError;
      resetParameters();
    } else if (name == "I") {
      text += info("Parlix modemsim");
    } else if (name == "V" || name == "Q") {
      if (v != (name == "V" ? 1 : 0)) return kError;  // only verbose, unquiet answers
    } else if (name == "&W" || name == "&C" || name == "&D" || name == "X") {
      // Accepted and ignored: nothing here depends on them.
    } else {
      return kError;
    }
    return "";
  }
  size_t p = 1;
  while (p < u.size() && std::isalnum(static_cast<unsigned char>(u[p]))) ++p;
  std::string name = u.substr(0, p);
  char op = 'x';
  std::string args;
  if (p < u.size() && u[p] == '?') {
    op = '?';
    if (p + 1 != u.size()) return kError;
  } else if (p < u.size() && u[p] == '=') {
    if (p + 1 < u.size() && u[p + 1] == '?' && p + 2 == u.size()) {
      op = 't';
    } else {
      op = '=';
      args = cmd.substr(p + 1);  // original case: numbers, texts
    }
  } else if (p != u.size()) {
    return kError;
  }
  return runExtended(name, op, args, text);
}

std::string Modem::runExtended(const std::string& name, char op, const std::string& args,
                               std::string& text) {
  std::vector<bool> q;
  auto a = splitArgs(args, &q);
  int v = 0;
  // Set / query / test of a small integer parameter.
  auto simple = [&](int& target, int lo, int hi) -> std::string {
    if (op == '?') {
      text += info(name + ": " + std::to_string(target));
      return "";
    }
    if (op == 't') {
      text += info(name + ": (" + std::to_string(lo) + "-" + std::to_string(hi) + ")");
      return "";
    }
    if (op == 'x') return kError;
    if (a.size() != 1 || !intArg(a, q, 0, v) || v < lo || v > hi) return kError;
    target = v;
    return "";
  };

  if (name == "+CPIN") return cpin(op, a, text);
  if (name == "+CPINR" && s_.cpinr) return cpinr(op, a, text);
  if (name == "+CMEE") return simple(cmee_, 0, 2);
  if (name == "+CMGF") return simple(cmgf_, 0, 1);
  if (name == "+CSDH") return simple(csdh_, 0, 1);
  if (name == "+CREG") {
    if (op == '?') {
      // Mode 2 adds the location area and cell, as modems do while registered.
      const bool cell = cregN_ == 2 && (s_.creg == 1 || s_.creg == 5);
      text += info("+CREG: " + std::to_string(cregN_) + "," + std::to_string(s_.creg) +
                   (cell ? ",\"00A1\",\"1B2C\"" : ""));
      return "";
    }
    return simple(cregN_, 0, 2);
  }
  if (name == "+CSQ") {
    if (op == 't') {
      text += info("+CSQ: (0-31,99),(0-7,99)");
      return "";
    }
    if (op != 'x') return kError;
    text += info("+CSQ: " + std::to_string(s_.rssi) + "," + std::to_string(s_.ber));
    return "";
  }
  if (name == "+CSMS") {
    if (op == '?') {
      text += info("+CSMS: 0,1,1,1");
      return "";
    }
    if (op == 't') {
      text += info("+CSMS: (0,1)");
      return "";
    }
    if (op == '=' && a.size() == 1 && q[0] && !s_.lenient) return kError;
    if (op != '=' || a.size() != 1 || !toInt(a[0], v) || v < 0 || v > 1) return cmsError(302);
    if (s_.cms515 > 0) {
      --s_.cms515;
      return cmsError(515);
    }
    text += info("+CSMS: 1,1,1");
    return "";
  }
  if (name == "+CNMI" || name == "+CSMP") {
    auto& target = name == "+CNMI" ? cnmi_ : csmp_;
    if (op == '?') {
      std::string t = name + ": ";
      for (size_t i = 0; i < target.size(); ++i) t += (i ? "," : "") + std::to_string(target[i]);
      text += info(t);
      return "";
    }
    if (op == 't') {
      text += info(name == "+CNMI" ? "+CNMI: (0-2),(0-3),(0,2),(0-2),(0,1)"
                                   : "+CSMP: (0-255),(0-255),(0-255),(0-255)");
      return "";
    }
    if (op != '=' || a.empty() || a.size() > target.size()) return cmsError(302);
    auto next = target;
    for (size_t i = 0; i < a.size(); ++i) {
      if (a[i].empty()) continue;
      if (q[i] && !s_.lenient) return kError;
      if (!toInt(a[i], v) || v < 0 || v > 255) return cmsError(302);
      next[i] = v;
    }
    target = next;
    return "";
  }
  if (name == "+CSCS") {
    if (op == '?') {
      text += info("+CSCS: " + quoted(cscs_));
      return "";
    }
    if (op == 't') {
      text += info("+CSCS: (\"GSM\",\"IRA\",\"8859-1\",\"UCS2\",\"UTF-8\")");
      return "";
    }
    std::string cs = a.empty() ? "" : upper(a[0]);
    if (op != '=' || (cs != "GSM" && cs != "IRA" && cs != "8859-1" && cs != "UCS2" && cs != "UTF-8"))
      return cmeError(4);
    cscs_ = cs;
    return "";
  }
  if (name == "+CSCA") {
    if (op == '?') {
      text += info("+CSCA: " + quoted(s_.smsc) + "," + (s_.smsc.starts_with("+") ? "145" : "129"));
      return "";
    }
    if (op != '=' || a.empty() || a[0].empty()) return cmsError(302);
    s_.smsc = a[0];
    return "";
  }
  if (name == "+CPMS") return cpms(op, a, text);
  if (name == "+CMGL") {
    if (op == 't') {
      text += info(cmgf_ ? "+CMGL: (\"REC UNREAD\",\"REC READ\",\"STO UNSENT\",\"STO SENT\",\"ALL\")"
                         : "+CMGL: (0-4)");
      return "";
    }
    if (op == '?') return kError;
    return cmgl(args, text);
  }
  if (name == "+CMGR") {
    if (op == 't') return "";
    if (op != '=') return kError;
    return cmgr(args, text);
  }
  if (name == "+CMGD") {
    if (op == 't') {
      text += info("+CMGD: (" + std::to_string(s_.indexBase) + "-" + std::to_string(lastIndex()) +
                   "),(0-4)");
      return "";
    }
    if (op != '=') return kError;
    return cmgd(args);
  }
  if (name == "+CMGS") {
    if (op == 't') return "";
    if (op != '=') return kError;
    if (auto gate = simGateSms(); !gate.empty()) return gate;
    if (cmgf_ == 0) {
      if (a.size() == 1 && q[0] && !s_.lenient) return kError;
      if (a.size() != 1 || !toInt(a[0], v) || v < 1 || v > 175) return cmsError(304);
      bodyTarget_ = a[0];
      input_ = Input::PduBody;
    } else {
      if (a.empty() || a[0].empty() || (a.size() > 1 && !a[1].empty() && !toInt(a[1], v)))
        return cmsError(305);
      bodyTarget_ = args;
      input_ = Input::TextBody;
    }
    body_.clear();
    return kPrompt;
  }
  if (name == "+CPBS") {
    if (auto gate = simGatePhonebook(); !gate.empty()) return gate;
    if (op == '?') {
      text += info("+CPBS: \"SM\"," + std::to_string(phonebook_.size()) + "," +
                   std::to_string(kPhonebookSize));
      return "";
    }
    if (op == 't') {
      text += info("+CPBS: (\"SM\")");
      return "";
    }
    if (op != '=' || a.size() != 1 || upper(a[0]) != "SM") return cmeError(3);
    return "";
  }
  if (name == "+CPBR" || name == "+CPBW") {
    if (auto gate = simGatePhonebook(); !gate.empty()) return gate;
    if (op == 't') {
      text += info(name + ": (1-" + std::to_string(kPhonebookSize) + ")," +
                   std::to_string(kNumberMax) + (name == "+CPBW" ? ",(129,145)," : ",") +
                   std::to_string(kNameMax));
      return "";
    }
    if (op != '=') return kError;
    return name == "+CPBR" ? cpbr(a, text) : cpbw(a);
  }
  if (name == "+CUSD") return cusd(op, a, text);
  if (name == "+CGMI") return text += info("Parlix"), "";
  if (name == "+CGMM") return text += info("modemsim"), "";
  if (name == "+CGMR") return text += info("1.0"), "";
  if (name == "+CGSN") return text += info("356938035643809"), "";
  if (name == "+COPS") {
    const bool registered = s_.creg == 1 || s_.creg == 5;
    if (op == '?') return text += info(registered ? "+COPS: 0,0,\"Parlix Net\"" : "+COPS: 0"), "";
    if (op == 't') return text += info("+COPS: (2,\"Parlix Net\",\"Parlix\",\"50299\"),,(0-4),(0-2)"), "";
    if (op != '=' || a.empty() || !intArg(a, q, 0, v) || v < 0 || v > 4) return cmeError(3);
    return "";
  }
  if (name == "+CGREG") {
    if (op == '?') {
      text += info("+CGREG: " + std::to_string(cgregN_) + "," + std::to_string(s_.creg));
      return "";
    }
    return simple(cgregN_, 0, 2);
  }
  if (name == "+CIMI") {
    if (op == 't') return "";
    if (op != 'x') return kError;
    if (auto gate = simGatePhonebook(); !gate.empty()) return gate;
    return text += info("502990123456789"), "";
  }
  if (name == "+CCLK") {
    if (op == 't') return "";
    if (op != '?') return op == '=' ? "" : kError;  // the clock is the host's; setting it changes nothing
    return text += info("+CCLK: " + quoted(TimeStamp::local(io_.now()).text())), "";
  }
  if (name == "+CFUN") {
    if (op == '?') return text += info("+CFUN: 1"), "";
    return "";
  }
  return kError;
}

std::string Modem::cpin(char op, const std::vector<std::string>& a, std::string& text) {
  if (op == 't') return "";
  if (op == 'x') return kError;
  if (op == '?') {
    if (s_.sim == "error") return cmeError(10);
    text += info("+CPIN: " + std::string(s_.sim == "pin"   ? "SIM PIN"
                                         : s_.sim == "puk" ? "SIM PUK"
                                                           : "READY"));
    return "";
  }
  if (s_.sim == "error") return cmeError(10);
  if (a.empty() || a[0].empty()) return cmeError(3);
  if (s_.sim == "pin") {
    if (a[0] == s_.pin) {
      s_.sim = "ready";
      s_.pinTries = 3;
      return "";
    }
    if (--s_.pinTries <= 0) s_.sim = "puk";
    return cmeError(16);
  }
  if (s_.sim == "puk") {
    if (a.size() >= 2 && a[0] == s_.puk && !a[1].empty()) {
      s_.pin = a[1];
      s_.sim = "ready";
      s_.pinTries = 3;
      return "";
    }
    return cmeError(16);
  }
  return cmeError(3);
}

// 27.007 +CPINR: "+CPINR: <code>,<retries>,<default_retries>" for each code that the
// selection (a code, or a prefix ending in "*") names; all codes without one.
std::string Modem::cpinr(char op, const std::vector<std::string>& a, std::string& text) {
  if (op == 't') return "";
  if (op == '?' || (op == '=' && a.size() != 1)) return kError;
  if (s_.sim == "error") return cmeError(10);
  const std::string select = op == '=' ? a[0] : "*";
  auto named = [&](const std::string& code) {
    if (!select.empty() && select.back() == '*') return code.rfind(select.substr(0, select.size() - 1), 0) == 0;
    return code == select;
  };
  const struct {
    const char* code;
    int retries, initial;
  } rows[] = {{"SIM PIN", s_.sim == "puk" ? 0 : s_.pinTries, 3}, {"SIM PUK", 10, 10}};
  for (const auto& row : rows)
    if (named(row.code))
      text += info("+CPINR: " + std::string(row.code) + "," + std::to_string(row.retries) + "," +
                   std::to_string(row.initial));
  return "";
}

std::string Modem::cusd(char op, const std::vector<std::string>& a, std::string& text) {
  if (op == '?') {
    text += info("+CUSD: " + std::to_string(cusdN_));
    return "";
  }
  if (op == 't') {
    text += info("+CUSD: (0-2)");
    return "";
  }
  int n = 0;
  if (op != '=' || a.empty() || !toInt(a[0], n) || n < 0 || n > 2) return cmeError(3);
  if (n != 2) cusdN_ = n;
  if (a.size() < 2 || n == 2) return "";
  if (auto gate = simGatePhonebook(); !gate.empty()) return gate;
  if (s_.creg != 1 && s_.creg != 5) return cmeError(30);
  // The network's answer arrives after the OK, as an unsolicited result.
  auto it = s_.ussd.find(a[1]);
  std::string reply = it == s_.ussd.end() ? "\r\n+CUSD: 4\r\n"
                                          : "\r\n+CUSD: 0," + quoted(teEncode(it->second)) + ",15\r\n";
  afterOk_ = reply;
  return "";
}

}  // namespace modemsim
