// Settings of the simulated modem (command line and control channel) and the small
// text tools they share with the control channel: AT argument splitting, JSON strings.
#include "tools/modemsim/Modem.h"
#include "tools/modemsim/ModemInternal.h"

#include <algorithm>

namespace modemsim {

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

}  // namespace modemsim
