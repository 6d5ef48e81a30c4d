#include "tools/modemsim/Control.h"

#include <cstdio>
#include <sstream>
#include <vector>

namespace modemsim {

namespace {

std::vector<std::string> words(const std::string& s) {
  std::vector<std::string> out;
  std::istringstream in(s);
  std::string w;
  while (in >> w) out.push_back(w);
  return out;
}

bool parseTimeStamp(const std::string& s, TimeStamp& ts) {
  char sign = '+';
  int n = std::sscanf(s.c_str(), "%d/%d/%d,%d:%d:%d%c%d", &ts.year, &ts.month, &ts.day, &ts.hour,
                      &ts.minute, &ts.second, &sign, &ts.tz);
  if (n == 6) ts.tz = 0;
  else if (n != 8 || (sign != '+' && sign != '-')) return false;
  if (sign == '-') ts.tz = -ts.tz;
  return ts.month >= 1 && ts.month <= 12 && ts.day >= 1 && ts.day <= 31 && ts.hour < 24 &&
         ts.minute < 60 && ts.second < 60;
}

ControlResult ok(const std::string& detail = "") { return {detail.empty() ? "OK" : "OK " + detail}; }
ControlResult fail(const std::string& why) { return {"ERROR " + why}; }

ControlResult inject(const std::string& args, Modem& modem) {
  Injection inj;
  std::string head = args, text;
  bool hasText = false;
  if (auto p = args.find("text="); p != std::string::npos && (p == 0 || args[p - 1] == ' ')) {
    head = args.substr(0, p);
    text = args.substr(p + 5);
    hasText = true;
  }
  if (!hasText) return fail("text= missing");
  inj.text = unescape(text);
  for (const auto& w : words(head)) {
    auto eq = w.find('=');
    if (eq == std::string::npos) return fail("expected KEY=VALUE: " + w);
    std::string k = w.substr(0, eq), v = w.substr(eq + 1);
    if (k == "number") inj.number = v;
    else if (k == "coding") {
      if (v != "auto" && v != "7bit" && v != "ucs2" && v != "8bit") return fail("bad coding " + v);
      inj.coding = v;
    } else if (k == "smsc") inj.smsc = v;
    else if (k == "read") inj.read = v == "1" || v == "yes" || v == "true";
    else if (k == "scts") {
      TimeStamp ts;
      if (!parseTimeStamp(v, ts)) return fail("scts takes yy/MM/dd,hh:mm:ss+zz");
      inj.scts = ts;
    } else if (k == "concat") {
      Concat c;
      if (std::sscanf(v.c_str(), "%d/%d/%d", &c.ref, &c.total, &c.seq) != 3 || c.ref < 0 ||
          c.ref > 255 || c.total < 1 || c.total > 255 || c.seq < 1 || c.seq > 255)
        return fail("concat takes ref/total/seq");
      inj.concat = c;
    } else {
      return fail("unknown inject key " + k);
    }
  }
  std::string error;
  int idx = modem.inject(inj, error);
  return idx >= 0 ? ok(std::to_string(idx)) : fail(error);
}

}  // namespace

std::string unescape(const std::string& s) {
  std::string out;
  for (size_t i = 0; i < s.size(); ++i) {
    if (s[i] != '\\' || i + 1 == s.size()) {
      out += s[i];
      continue;
    }
    char c = s[++i];
    if (c == 'n') out += '\n';
    else if (c == 'r') out += '\r';
    else if (c == 't') out += '\t';
    else if (c == 'x' && i + 2 < s.size()) {
      auto v = fromHex(s.substr(i + 1, 2));
      if (v) {
        out += *v;
        i += 2;
      } else {
        out += "\\x";
      }
    } else out += c;
  }
  return out;
}

std::string escape(const std::string& s) {
  std::string out;
  for (unsigned char c : s) {
    if (c == '\\') out += "\\\\";
    else if (c == '\n') out += "\\n";
    else if (c == '\r') out += "\\r";
    else if (c == '\t') out += "\\t";
    else if (c < 0x20 || c == 0x7F) {
      char b[8];
      std::snprintf(b, sizeof b, "\\x%02X", c);
      out += b;
    } else out += static_cast<char>(c);
  }
  return out;
}

ControlResult control(const std::string& line, Settings& settings, Modem& modem) {
  auto sp = line.find(' ');
  std::string cmd = line.substr(0, sp);
  std::string args = sp == std::string::npos ? "" : line.substr(sp + 1);
  if (cmd == "ping") return ok();
  if (cmd == "status") return ok(settingsJson(settings));
  if (cmd == "quit") {
    ControlResult r = ok();
    r.quit = true;
    return r;
  }
  if (cmd == "drop") {
    ControlResult r = ok();
    r.drop = true;
    return r;
  }
  if (cmd == "set") {
    auto ws = words(args);
    if (ws.empty()) return fail("set KEY=VALUE...");
    // Check them all first so a bad one changes nothing.
    Settings trial = settings;
    for (const auto& w : ws) {
      auto eq = w.find('=');
      std::string error;
      if (eq == std::string::npos) return fail("expected KEY=VALUE: " + w);
      if (!applySetting(trial, w.substr(0, eq), w.substr(eq + 1), error)) return fail(error);
    }
    settings = trial;
    return ok();
  }
  if (cmd == "ussd") {
    auto sp2 = args.find(' ');
    if (args.empty() || sp2 == 0) return fail("ussd CODE REPLY");
    settings.ussd[args.substr(0, sp2)] = sp2 == std::string::npos ? "" : unescape(args.substr(sp2 + 1));
    return ok();
  }
  if (cmd == "inject") return inject(args, modem);
  if (cmd == "inject-pdu") {
    auto ws = words(args);
    bool read = false;
    if (ws.size() == 2 && ws[0] == "read=1") {
      read = true;
      ws.erase(ws.begin());
    }
    if (ws.size() != 1) return fail("inject-pdu [read=1] HEX");
    std::string error;
    int idx = modem.injectPdu(ws[0], read, error);
    return idx >= 0 ? ok(std::to_string(idx)) : fail(error);
  }
  if (cmd == "count" || cmd == "clear") {
    if (args != "sm" && args != "sr" && args != "SM" && args != "SR") return fail(cmd + " sm|sr");
    if (cmd == "clear") {
      modem.clear(args);
      return ok();
    }
    return ok(std::to_string(modem.count(args)));
  }
  return fail("unknown command " + cmd);
}

}  // namespace modemsim
