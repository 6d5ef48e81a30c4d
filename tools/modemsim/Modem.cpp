#include "tools/modemsim/Modem.h"

#include <algorithm>
#include <cctype>
#include <cstdio>

namespace modemsim {

namespace {

constexpr int kPhonebookSize = 250;
constexpr int kNumberMax = 40;
constexpr int kNameMax = 18;
constexpr size_t kMaxLine = 1024;
constexpr size_t kMaxBody = 4096;
const std::string kOk = "\r\nOK\r\n";
const std::string kError = "\r\nERROR\r\n";
// Returned by a command that opened the message prompt instead of finishing.
const std::string kPrompt = "\x01prompt";

std::string upper(std::string s) {
  for (auto& c : s) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return s;
}

std::string trim(const std::string& s) {
  size_t a = s.find_first_not_of(" \t");
  if (a == std::string::npos) return "";
  size_t b = s.find_last_not_of(" \t");
  return s.substr(a, b - a + 1);
}

bool toInt(const std::string& text, int& v) {
  std::string t = trim(text);
  if (t.empty() || t.size() > 9) return false;
  size_t i = (t[0] == '-') ? 1 : 0;
  if (i == t.size()) return false;
  for (size_t k = i; k < t.size(); ++k)
    if (!std::isdigit(static_cast<unsigned char>(t[k]))) return false;
  v = std::stoi(t);
  return true;
}

std::string info(const std::string& text) { return "\r\n" + text + "\r\n"; }

std::string quoted(const std::string& s) { return "\"" + s + "\""; }

std::string isoTime(std::time_t t) {
  std::tm tm{};
  gmtime_r(&t, &tm);
  char b[32];
  std::strftime(b, sizeof b, "%Y-%m-%dT%H:%M:%SZ", &tm);
  return b;
}

std::string printable(std::string_view s) {
  std::string out;
  for (unsigned char c : s) {
    if (c == '\r') out += "<CR>";
    else if (c == '\n') out += "<LF>";
    else if (c == 0x1A) out += "<SUB>";
    else if (c == 0x1B) out += "<ESC>";
    else if (c < 0x20 || c == 0x7F) {
      char b[8];
      std::snprintf(b, sizeof b, "<%02X>", c);
      out += b;
    } else {
      out += static_cast<char>(c);
    }
  }
  return out;
}

size_t codePoints(const std::string& s) { return toU32(s).size(); }

}  // namespace

std::string jsonString(std::string_view s) {
  std::string out = "\"";
  for (unsigned char c : s) {
    switch (c) {
      case '"': out += "\\\""; break;
      case '\\': out += "\\\\"; break;
      case '\n': out += "\\n"; break;
      case '\r': out += "\\r"; break;
      case '\t': out += "\\t"; break;
      default:
        if (c < 0x20 || c == 0x7F) {
          char b[8];
          std::snprintf(b, sizeof b, "\\u%04x", c);
          out += b;
        } else {
          out += static_cast<char>(c);
        }
    }
  }
  return out + "\"";
}

std::vector<std::string> splitArgs(const std::string& args, std::vector<bool>* quotedOut) {
  std::vector<std::string> out;
  std::vector<bool> q;
  std::string cur;
  bool inQuote = false, wasQuoted = false;
  for (char c : args) {
    if (c == '"') {
      inQuote = !inQuote;
      wasQuoted = true;
    } else if (c == ',' && !inQuote) {
      out.push_back(wasQuoted ? cur : trim(cur));
      q.push_back(wasQuoted);
      cur.clear();
      wasQuoted = false;
    } else {
      cur += c;
    }
  }
  if (!args.empty()) {
    out.push_back(wasQuoted ? cur : trim(cur));
    q.push_back(wasQuoted);
  }
  if (quotedOut) *quotedOut = q;
  return out;
}

bool applySetting(Settings& s, const std::string& key, const std::string& value, std::string& error) {
  auto num = [&](int& target, int lo, int hi) {
    int v;
    if (!toInt(value, v) || v < lo || v > hi) {
      error = "bad value for " + key + ": " + value;
      return false;
    }
    target = v;
    return true;
  };
  auto flag = [&](bool& target) {
    if (value == "1" || value == "on" || value == "true" || value == "yes") target = true;
    else if (value == "0" || value == "off" || value == "false" || value == "no") target = false;
    else {
      error = "bad value for " + key + ": " + value;
      return false;
    }
    return true;
  };
  if (key == "only-baud") return num(s.onlyBaud, 0, 4000000);
  if (key == "mute") return flag(s.mute);
  if (key == "sim") {
    if (value != "ready" && value != "pin" && value != "puk" && value != "error") {
      error = "sim must be ready, pin, puk or error";
      return false;
    }
    s.sim = value;
    return true;
  }
  if (key == "pin") return s.pin = value, true;
  if (key == "puk") return s.puk = value, true;
  if (key == "pin-tries") return num(s.pinTries, 1, 3);
  if (key == "cpinr") return flag(s.cpinr);
  if (key == "cms515") return num(s.cms515, 0, 1000000);
  if (key == "csq") {
    auto parts = splitArgs(value);
    if (parts.empty() || parts.size() > 2) {
      error = "csq takes rssi[,ber]";
      return false;
    }
    int r, b = s.ber;
    if (!toInt(parts[0], r) || r < 0 || r > 99 || (parts.size() == 2 && !toInt(parts[1], b))) {
      error = "bad value for csq: " + value;
      return false;
    }
    s.rssi = r;
    s.ber = b;
    return true;
  }
  if (key == "creg") return num(s.creg, 0, 5);
  if (key == "creg-n") return num(s.cregN, 0, 2);
  if (key == "refuse") {
    if (value == "always") return s.refuse = -1, true;
    return num(s.refuse, 0, 1000000);
  }
  if (key == "delay") return num(s.delayMs, 0, 600000);
  if (key == "pieces") return num(s.pieceSize, 0, 1000000);
  if (key == "piece-gap") return num(s.pieceGapMs, 0, 60000);
  if (key == "drop-after") return num(s.dropAfter, 0, 1000000);
  if (key == "report") {
    // Several statuses joined by "/" give one report each, in order (a network's
    // interim report before its final one).
    bool good = value == "none";
    for (size_t at = 0; !good && at <= value.size();) {
      const size_t slash = std::min(value.find('/', at), value.size());
      const std::string one = value.substr(at, slash - at);
      int v;
      if (one != "delivered" && one != "failed" && !(toInt(one, v) && v >= 0 && v <= 255)) break;
      if (slash == value.size()) good = true;
      at = slash + 1;
    }
    if (!good) {
      error = "report must be delivered, failed, none or a status 0..255 (several joined by /)";
      return false;
    }
    s.report = value;
    return true;
  }
  if (key == "mr") return num(s.nextMr, 0, 255);
  if (key == "echo") return flag(s.echo);
  if (key == "smsc") return s.smsc = value, true;
  if (key == "capacity") return num(s.capacity, 1, 1000);
  if (key == "urc") return flag(s.urc);
  if (key == "lenient") return flag(s.lenient);
  if (key == "cmee") return num(s.cmee, 0, 2);
  if (key == "index-base") return num(s.indexBase, 0, 1);
  if (key == "ok-gap") return num(s.okGapMs, 0, 600000);
  if (key == "cmgs-delay") return num(s.cmgsDelayMs, 0, 600000);
  if (key == "cscs") {
    const std::string cs = upper(value);
    if (cs != "GSM" && cs != "IRA" && cs != "8859-1" && cs != "UCS2" && cs != "UTF-8") {
      error = "cscs must be GSM, IRA, 8859-1, UCS2 or UTF-8";
      return false;
    }
    s.cscs = cs;
    return true;
  }
  if (key == "ussd") {
    auto eq = value.find('=');
    if (eq == std::string::npos || eq == 0) {
      error = "ussd takes CODE=REPLY";
      return false;
    }
    s.ussd[value.substr(0, eq)] = value.substr(eq + 1);
    return true;
  }
  error = "unknown setting: " + key;
  return false;
}

std::string settingsJson(const Settings& s) {
  std::string o = "{";
  o += "\"only-baud\":" + std::to_string(s.onlyBaud);
  o += ",\"mute\":" + std::string(s.mute ? "true" : "false");
  o += ",\"sim\":" + jsonString(s.sim);
  o += ",\"pin\":" + jsonString(s.pin);
  o += ",\"pin-tries\":" + std::to_string(s.pinTries);
  o += ",\"cpinr\":" + std::string(s.cpinr ? "true" : "false");
  o += ",\"cms515\":" + std::to_string(s.cms515);
  o += ",\"csq\":" + jsonString(std::to_string(s.rssi) + "," + std::to_string(s.ber));
  o += ",\"creg\":" + std::to_string(s.creg);
  o += ",\"creg-n\":" + std::to_string(s.cregN);
  o += ",\"refuse\":" + std::to_string(s.refuse);
  o += ",\"delay\":" + std::to_string(s.delayMs);
  o += ",\"pieces\":" + std::to_string(s.pieceSize);
  o += ",\"drop-after\":" + std::to_string(s.dropAfter);
  o += ",\"report\":" + jsonString(s.report);
  o += ",\"mr\":" + std::to_string(s.nextMr);
  o += ",\"smsc\":" + jsonString(s.smsc);
  o += ",\"capacity\":" + std::to_string(s.capacity);
  o += ",\"urc\":" + std::string(s.urc ? "true" : "false");
  o += ",\"lenient\":" + std::string(s.lenient ? "true" : "false");
  o += ",\"cmee\":" + std::to_string(s.cmee);
  o += ",\"index-base\":" + std::to_string(s.indexBase);
  o += ",\"ok-gap\":" + std::to_string(s.okGapMs);
  o += ",\"cmgs-delay\":" + std::to_string(s.cmgsDelayMs);
  o += ",\"cscs\":" + jsonString(s.cscs);
  return o + "}";
}

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

Modem::Store& Modem::store(const std::string& name) { return name == "SR" ? sr_ : sm_; }
const Modem::Store& Modem::store(const std::string& name) const { return name == "SR" ? sr_ : sm_; }

int Modem::freeIndex(const Store& st) const {
  for (int i = s_.indexBase; i <= lastIndex(); ++i)
    if (!st.count(i)) return i;
  return -1;
}

size_t Modem::count(const std::string& name) const { return store(upper(name)).size(); }

void Modem::clear(const std::string& name) { store(upper(name)).clear(); }

std::string Modem::statName(bool read) const {
  if (cmgf_) return read ? "\"REC READ\"" : "\"REC UNREAD\"";
  return read ? "1" : "0";
}

std::optional<std::string> Modem::teDecode(const std::string& bytes) const {
  if (cscs_ == "GSM") {
    std::vector<uint8_t> septets;
    for (unsigned char c : bytes) {
      if (c > 127) return std::nullopt;
      septets.push_back(c);
    }
    return toUtf8(fromSeptets(septets));
  }
  if (cscs_ == "UCS2") {
    auto raw = fromHex(bytes);
    if (!raw) return std::nullopt;
    return toUtf8(fromUcs2(*raw));
  }
  // Valid UTF-8 is taken as such, anything else as Windows-1252: both
  // kinds of terminal program then work without setting AT+CSCS.
  return toUtf8(toU32(bytes));
}

std::string Modem::teEncode(const std::string& utf8) const {
  if (cscs_ == "UCS2") return toHex(toUcs2(toU32(utf8)));
  if (cscs_ == "UTF-8") return utf8;
  if (cscs_ == "GSM") {
    const auto septets = toSeptets(toU32(utf8));
    return std::string(septets.begin(), septets.end());
  }
  return toCp1252(toU32(utf8));
}

std::string Modem::cpms(char op, const std::vector<std::string>& a, std::string& text) {
  if (auto gate = simGateSms(); !gate.empty()) return gate;
  auto counts = [&](const std::string& m) {
    return std::to_string(store(m).size()) + "," + std::to_string(s_.capacity);
  };
  if (op == 't') {
    text += info("+CPMS: (\"SM\",\"SR\"),(\"SM\"),(\"SM\")");
    return "";
  }
  if (op == '?') {
    text += info("+CPMS: " + quoted(mem1_) + "," + counts(mem1_) + "," + quoted(mem2_) + "," +
                 counts(mem2_) + "," + quoted(mem3_) + "," + counts(mem3_));
    return "";
  }
  if (op != '=' || a.empty() || a.size() > 3) return cmsError(302);
  std::vector<std::string> m;
  for (const auto& x : a) m.push_back(upper(x));
  if (m[0] != "SM" && m[0] != "SR") return cmsError(302);
  for (size_t i = 1; i < m.size(); ++i)
    if (m[i] != "SM") return cmsError(302);
  mem1_ = m[0];
  if (m.size() > 1) mem2_ = m[1];
  if (m.size() > 2) mem3_ = m[2];
  text += info("+CPMS: " + counts(mem1_) + "," + counts(mem2_) + "," + counts(mem3_));
  return "";
}

std::string Modem::listEntry(int index, const Stored& m, bool listing) const {
  std::string head = listing ? "+CMGL: " + std::to_string(index) + "," : "+CMGR: ";
  if (cmgf_ == 0) {
    size_t scaOctets = m.pdu.size() >= 2 ? std::stoul(m.pdu.substr(0, 2), nullptr, 16) : 0;
    size_t octets = m.pdu.size() / 2;
    size_t tpdu = octets > scaOctets + 1 ? octets - 1 - scaOctets : 0;
    return "\r\n" + head + statName(m.read) + ",," + std::to_string(tpdu) + "\r\n" + m.pdu;
  }
  if (m.kind == Kind::Report) {
    const auto& r = m.report;
    std::string ra = (r.ra.toa == 0x91 ? "+" : "") + r.ra.number;
    return "\r\n" + head + statName(m.read) + ",6," + std::to_string(r.mr) + "," + quoted(ra) +
           "," + std::to_string(r.ra.toa) + "," + quoted(r.scts.text()) + "," +
           quoted(r.dt.text()) + "," + std::to_string(r.status);
  }
  if (!m.deliver) return "\r\n" + head + statName(m.read) + ",\"\",,\"\"\r\n" + m.pdu;
  const auto& d = *m.deliver;
  std::string oa = (d.d.oa.toa == 0x91 ? "+" : "") + d.d.oa.number;
  std::string data;
  if (d.ud.coding != Coding::Gsm7) {
    // 07.05: 8-bit and UCS-2 data show as hex whatever the character set.
    data = d.ud.coding == Coding::Ucs2 ? toHex(toUcs2(toU32(d.ud.text))) : d.ud.text;
  } else {
    data = teEncode(d.ud.text);
  }
  std::string h = head + statName(m.read) + "," + quoted(oa) + ",," + quoted(d.d.scts.text());
  if (csdh_) {
    if (listing) {
      h += "," + std::to_string(d.d.oa.toa) + "," + std::to_string(d.ud.length);
    } else {
      h += "," + std::to_string(d.d.oa.toa) + "," + std::to_string(d.firstOctet) + "," +
           std::to_string(d.d.pid) + "," + std::to_string(d.d.dcs) + "," + quoted(d.d.smsc) + "," +
           std::to_string(d.smscToa) + "," + std::to_string(d.ud.length);
    }
  }
  return "\r\n" + h + "\r\n" + data;
}

std::string Modem::cmgl(const std::string& args, std::string& text) {
  if (auto gate = simGateSms(); !gate.empty()) return gate;
  std::vector<bool> q;
  auto a = splitArgs(args, &q);
  // In PDU mode <stat> is an integer.
  if (!cmgf_ && !a.empty() && q[0] && !s_.lenient) return kError;
  std::string what = a.empty() ? (cmgf_ ? "REC UNREAD" : "0") : upper(a[0]);
  int stat = -1;
  if (cmgf_) {
    static const char* kNames[] = {"REC UNREAD", "REC READ", "STO UNSENT", "STO SENT", "ALL"};
    for (int i = 0; i < 5; ++i)
      if (what == kNames[i]) stat = i;
  } else if (toInt(what, stat) && (stat < 0 || stat > 4)) {
    stat = -1;
  }
  if (stat < 0) return cmsError(302);
  auto& st = store(mem1_);
  for (auto& [index, m] : st) {
    bool take = stat == 4 || (stat == 0 && !m.read) || (stat == 1 && m.read);
    if (!take) continue;
    text += listEntry(index, m, true) + "\r\n";
    m.read = true;
  }
  return "";
}

std::string Modem::cmgr(const std::string& args, std::string& text) {
  if (auto gate = simGateSms(); !gate.empty()) return gate;
  std::vector<bool> q;
  auto a = splitArgs(args, &q);
  int index;
  if (a.size() == 1 && q[0] && !s_.lenient) return kError;  // <index> is an integer
  if (a.size() != 1 || !toInt(a[0], index)) return cmsError(302);
  auto& st = store(mem1_);
  auto it = st.find(index);
  if (it == st.end()) return cmsError(321);
  text += listEntry(index, it->second, false) + "\r\n";
  it->second.read = true;
  return "";
}

std::string Modem::cmgd(const std::string& args) {
  if (auto gate = simGateSms(); !gate.empty()) return gate;
  std::vector<bool> q;
  auto a = splitArgs(args, &q);
  int index = 0, flag = 0;
  for (size_t i = 0; i < a.size(); ++i)
    if (q[i] && !s_.lenient) return kError;
  if (a.empty() || a.size() > 2 || (!a[0].empty() && !toInt(a[0], index)) ||
      (a.size() == 2 && (!toInt(a[1], flag) || flag < 0 || flag > 4)))
    return cmsError(302);
  auto& st = store(mem1_);
  if (flag == 0) {
    if (index < s_.indexBase || index > lastIndex()) return cmsError(321);
    st.erase(index);
    return "";
  }
  // Nothing unsent or sent is ever stored here, so flags 1..3 all mean "read".
  for (auto it = st.begin(); it != st.end();)
    it = (flag == 4 || it->second.read) ? st.erase(it) : std::next(it);
  return "";
}

std::string Modem::cpbr(const std::vector<std::string>& a, std::string& text) {
  int from, to;
  if (a.empty() || a.size() > 2 || !toInt(a[0], from)) return cmeError(21);
  to = from;
  if (a.size() == 2 && !toInt(a[1], to)) return cmeError(21);
  if (from < 1 || to > kPhonebookSize || to < from) return cmeError(21);
  for (auto it = phonebook_.lower_bound(from); it != phonebook_.end() && it->first <= to; ++it) {
    const auto& [number, nameText] = it->second;
    int type = number.starts_with("+") ? 145 : 129;
    text += info("+CPBR: " + std::to_string(it->first) + "," + quoted(number) + "," +
                 std::to_string(type) + "," + quoted(teEncode(nameText)));
  }
  return "";
}

std::string Modem::cpbw(const std::vector<std::string>& a) {
  int index = 0;
  if (a.empty() || (!a[0].empty() && !toInt(a[0], index))) return cmeError(21);
  if (a.size() == 1) {
    if (index < 1 || index > kPhonebookSize) return cmeError(21);
    phonebook_.erase(index);
    return "";
  }
  if (a[0].empty()) {
    for (index = 1; index <= kPhonebookSize && phonebook_.count(index); ++index) {
    }
    if (index > kPhonebookSize) return cmeError(20);
  }
  if (index < 1 || index > kPhonebookSize) return cmeError(21);
  const std::string& number = a[1];
  auto decoded = teDecode(a.size() > 3 ? a[3] : "");
  if (!decoded) return cmeError(25);
  std::string nameText = *decoded;
  int type = 0;
  if (a.size() > 2 && !a[2].empty() && (!toInt(a[2], type) || type < 128 || type > 255))
    return cmeError(3);
  if (number.size() > static_cast<size_t>(kNumberMax)) return cmeError(26);
  for (char c : number)
    if (!std::isdigit(static_cast<unsigned char>(c)) && c != '+' && c != '*' && c != '#')
      return cmeError(25);
  if (codePoints(nameText) > static_cast<size_t>(kNameMax)) return cmeError(24);
  phonebook_[index] = {number, nameText};
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

void Modem::finishBody(bool send) {
  Input was = input_;
  input_ = Input::Command;
  std::string body = body_;
  body_.clear();
  io_.log("<<", printable(body) + (send ? "<SUB>" : "<ESC>"));
  if (!send) {
    answer(kOk);
    return;
  }
  // The network's answer: late when cmgs-delay says so, the +CMGS line and its OK
  // apart when ok-gap does.
  std::string result = s_.creg != 1 && s_.creg != 5 ? cmsError(331)
                       : was == Input::PduBody      ? cmgs(body)
                                                    : cmgsText(body);
  const size_t ok = result.find(kOk);
  if (ok == std::string::npos || ok == 0) answer("", result, s_.cmgsDelayMs);
  else answer(result.substr(0, ok), result.substr(ok), s_.cmgsDelayMs);
}

std::string Modem::cmgs(const std::string& body) {
  int length = 0;
  toInt(bodyTarget_, length);
  std::string error;
  auto submit = decodeSubmit(trim(body), length, error);
  if (!submit) {
    io_.log("--", "refused PDU: " + error);
    return cmsError(304);
  }
  return submitted("pdu", submit->da, submit->ud, submit->dcs, submit->reportRequested,
                   upper(trim(body)));
}

std::string Modem::cmgsText(const std::string& body) {
  std::vector<bool> q;
  auto a = splitArgs(bodyTarget_, &q);
  Address da = parseAddress(a[0]);
  int toda = 0;
  if (a.size() > 1 && toInt(a[1], toda) && toda == 145) da.toa = 145;
  int dcs = csmp_[3];
  UserData ud;
  ud.coding = codingOfDcs(dcs);
  if (ud.coding == Coding::Gsm7) {
    auto text = teDecode(body);
    if (!text) return cmsError(305);
    ud.text = *text;
    ud.length = static_cast<int>(toSeptets(toU32(*text)).size());
    if (ud.length > 160) return cmsError(305);
  } else {
    auto raw = fromHex(body);
    if (!raw || raw->size() > 140) return cmsError(305);
    ud.text = ud.coding == Coding::Ucs2 ? toUtf8(fromUcs2(*raw)) : toHex(*raw);
    ud.length = static_cast<int>(raw->size());
  }
  return submitted("text", da, ud, dcs, (csmp_[0] & 0x20) != 0, "");
}

std::string Modem::submitted(const std::string& mode, const Address& da, const UserData& ud,
                             int dcs, bool report, const std::string& pdu) {
  if (s_.refuse != 0) {
    if (s_.refuse > 0) --s_.refuse;
    io_.log("--", "send refused");
    return cmsError(500);
  }
  int mr = s_.nextMr;
  s_.nextMr = (mr + 1) % 256;
  std::time_t now = io_.now();
  std::string j = "{\"n\":" + std::to_string(++sentCount_);
  j += ",\"time\":" + jsonString(isoTime(now));
  j += ",\"mode\":" + jsonString(mode);
  j += ",\"number\":" + jsonString(da.number);
  j += ",\"toa\":" + std::to_string(da.toa);
  j += ",\"text\":" + jsonString(ud.text);
  j += ",\"coding\":" + jsonString(codingName(ud.coding));
  j += ",\"dcs\":" + std::to_string(dcs);
  j += ",\"length\":" + std::to_string(ud.length);
  if (ud.concat) {
    j += ",\"udh\":{\"ref\":" + std::to_string(ud.concat->ref) +
         ",\"total\":" + std::to_string(ud.concat->total) +
         ",\"seq\":" + std::to_string(ud.concat->seq) + "}";
  } else {
    j += ",\"udh\":null";
  }
  j += ",\"report\":" + std::string(report ? "true" : "false");
  j += ",\"mr\":" + std::to_string(mr);
  if (!pdu.empty()) j += ",\"pdu\":" + jsonString(pdu);
  j += "}";
  io_.sent(j);

  std::string urc;
  for (size_t at = 0; report && s_.report != "none" && at <= s_.report.size();) {
    const size_t slash = std::min(s_.report.find('/', at), s_.report.size());
    const std::string one = s_.report.substr(at, slash - at);
    at = slash + 1;
    int idx = freeIndex(sr_);
    if (idx >= 0) {
      Stored m;
      m.kind = Kind::Report;
      m.report.smsc = s_.smsc;
      m.report.mr = mr;
      m.report.ra = da;
      m.report.scts = TimeStamp::local(now);
      m.report.dt = TimeStamp::local(now);
      int st = 0;
      if (one == "failed") st = 48;
      else if (one != "delivered") toInt(one, st);
      m.report.status = st;
      m.pdu = encodeStatusReport(m.report);
      sr_[idx] = m;
      if (indicate(cnmi_[3] == 2)) urc += "\r\n+CDSI: \"SR\"," + std::to_string(idx) + "\r\n";
    } else {
      io_.log("--", "status report store full, report dropped");
    }
  }
  return "\r\n+CMGS: " + std::to_string(mr) + "\r\n" + kOk + urc;
}

int Modem::inject(const Injection& inj, std::string& error) {
  if (inj.number.empty()) {
    error = "number missing";
    return -1;
  }
  Deliver d;
  d.smsc = inj.smsc.empty() ? s_.smsc : inj.smsc;
  d.oa = parseAddress(inj.number);
  d.dcs = dcsFor(inj.text, inj.coding);
  d.scts = inj.scts ? *inj.scts : TimeStamp::local(io_.now());
  d.concat = inj.concat;
  d.text = inj.text;
  size_t header = inj.concat ? 6 : 0;
  Coding c = codingOfDcs(d.dcs);
  bool fits = c == Coding::Gsm7 ? (header * 8 + 6) / 7 + toSeptets(toU32(inj.text)).size() <= 160
              : c == Coding::Ucs2 ? header + toUcs2(toU32(inj.text)).size() <= 140
                                  : header + inj.text.size() / 2 <= 140;
  if (!fits) {
    error = "text too long for one message";
    return -1;
  }
  if (c == Coding::Data8 && !fromHex(inj.text)) {
    error = "8-bit data must be given as hex digits";
    return -1;
  }
  return injectPdu(encodeDeliver(d), inj.read, error);
}

int Modem::injectPdu(const std::string& hex, bool read, std::string& error) {
  if (!fromHex(hex) || hex.size() < 2) {
    error = "not hexadecimal";
    return -1;
  }
  int idx = freeIndex(sm_);
  if (idx < 0) {
    error = "SIM store full";
    return -1;
  }
  Stored m;
  m.read = read;
  m.pdu = upper(hex);
  std::string why;
  m.deliver = decodeDeliver(hex, why);
  if (!m.deliver) io_.log("--", "stored a unit that does not decode: " + why);
  sm_[idx] = m;
  io_.log("--", "message stored at SM " + std::to_string(idx));
  if (indicate(cnmi_[1] == 1) && !dropped_) out("\r\n+CMTI: \"SM\"," + std::to_string(idx) + "\r\n", 0);
  return idx;
}

}  // namespace modemsim
