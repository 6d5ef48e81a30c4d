#include "modemapi/Replies.h"

#include <algorithm>
#include <array>
#include <vector>

namespace modemapi::Replies {

namespace {

constexpr auto npos = std::string_view::npos;

std::string_view Between(std::string_view s, size_t left, size_t right) {
  return s.substr(left + 1, right - left - 1);
}

bool IsFinalCode(std::string_view line) {
  if (line == "OK" || line == "ERROR") return true;
  for (std::string_view code : {"+CMS ERROR:", "+CME ERROR:"}) {
    if (line.starts_with(code) && line.find_first_not_of(' ', code.size()) != npos) return true;
  }
  return false;
}

enum class Heads { Nothing, Text, Pdu };

// What follows a "+CMGR:" / "+CMGL:" header: a line of message text, a PDU, or nothing.
// A text-mode status report has none: its field after <stat> is the first octet, a bare
// number, where a received or stored message has its quoted address (and a PDU-mode
// header holds only <stat>, <alpha> and <length>).
Heads HeadsMessage(std::string_view line) {
  const bool listed = line.starts_with("+CMGL:");
  if (!listed && !line.starts_with("+CMGR:")) return Heads::Nothing;
  std::vector<std::string_view> fields;
  bool quoted = false;
  size_t start = 6;
  for (size_t i = start; i <= line.size(); ++i) {
    if (i < line.size() && line[i] == '"') quoted = !quoted;
    if (i == line.size() || (line[i] == ',' && !quoted)) {
      fields.push_back(line.substr(start, i - start));
      start = i + 1;
    }
  }
  if (listed && !fields.empty()) fields.erase(fields.begin());  // <index>
  if (fields.size() <= 3) return Heads::Pdu;
  const std::string_view afterStat = fields[1];
  return afterStat.empty() || afterStat.find_first_not_of("0123456789 ") != npos ? Heads::Text
                                                                                  : Heads::Nothing;
}

}  // namespace

std::optional<FinalResult> FindFinalResult(std::string_view reply) {
  Heads next = Heads::Nothing;  // what the next line is: a message's text or PDU
  bool inMessage = false;       // lines since a text: a code needs an empty line before it
  bool previousEmpty = true;
  for (size_t begin = 0;;) {
    const size_t end = reply.find("\r\n", begin);
    if (end == npos) return std::nullopt;
    const std::string_view line = reply.substr(begin, end - begin);
    if (next != Heads::Nothing) {
      // A PDU is hexadecimal and never reads as a code, so the code may follow it at once
      // (some modems leave out the empty line); a text may itself read "OK".
      inMessage = next == Heads::Text;
      next = Heads::Nothing;
    } else if (begin > 0 && IsFinalCode(line) && (!inMessage || previousEmpty)) {
      return FinalResult{begin, end + 2, line == "OK"};
    } else if (line.starts_with("+CMGR:") || line.starts_with("+CMGL:")) {
      next = HeadsMessage(line);
      inMessage = false;
    }
    previousEmpty = line.empty();
    begin = end + 2;
  }
}

bool HasFinalError(std::string_view reply) {
  const auto final = FindFinalResult(reply);
  return final && !final->ok;
}

std::string TrimBlanks(std::string_view s) {
  const size_t first = s.find_first_not_of(' ');
  if (first == npos) return {};
  const size_t last = s.find_last_not_of(' ');
  return std::string(s.substr(first, last - first + 1));
}

std::string RemoveQuotes(std::string_view s) {
  std::string out;
  out.reserve(s.size());
  for (char c : s) {
    if (c != '"') out.push_back(c);
  }
  return out;
}

std::optional<long> ToNumber(std::string_view s, long lo, long hi) {
  const std::string t = TrimBlanks(s);
  size_t i = 0;
  bool negative = false;
  if (i < t.size() && (t[i] == '+' || t[i] == '-')) {
    negative = t[i] == '-';
    ++i;
  }
  if (i == t.size()) return std::nullopt;
  long value = 0;
  for (; i < t.size(); ++i) {
    if (t[i] < '0' || t[i] > '9') return std::nullopt;
    value = value * 10 + (t[i] - '0');
    if (value > 1'000'000'000L) return std::nullopt;
  }
  if (negative) value = -value;
  if (value < lo || value > hi) return std::nullopt;
  return value;
}

std::string CutTimeZone(std::string_view time) {
  size_t cut = time.find('+');
  if (cut == npos) cut = time.find('-');
  return std::string(time.substr(0, cut));
}

std::optional<int> FirstListedIndex(std::string_view reply) {
  const size_t p = reply.find("+CMGL:");
  if (p == npos) return std::nullopt;
  const size_t colon = p + 5;
  const size_t comma = reply.find(',', colon);
  if (comma == npos) return std::nullopt;
  const auto index = ToNumber(Between(reply, colon, comma), 0, 99999);
  if (!index) return std::nullopt;
  return static_cast<int>(*index);
}

std::optional<std::string> MessageReference(std::string_view reply) {
  const size_t p = reply.find("+CMGS");
  if (p == npos || p + 6 > reply.size()) return std::nullopt;
  const size_t start = p + 6;
  const size_t ok = reply.find("OK", start);
  if (ok == npos) return std::nullopt;
  return TrimBlanks(reply.substr(start, ok - start));
}

std::optional<StatusReport> ParseStatusReport(std::string_view raw) {
  const std::string s = RemoveQuotes(raw);
  const std::string_view v = s;
  const size_t p = v.find("+CMGR:");
  if (p == npos) return std::nullopt;
  std::array<size_t, 10> c{};  // c[1] .. c[9], one after the other
  size_t from = p;
  for (size_t n = 1; n < c.size(); ++n) {
    c[n] = v.find(',', from);
    if (c[n] == npos) return std::nullopt;
    from = c[n] + 1;
  }
  const size_t e = v.find("\r\n", c[9]);
  if (e == npos) return std::nullopt;
  StatusReport r;
  r.messageReference = Between(v, c[2], c[3]);
  r.recipient = Between(v, c[3], c[4]);
  r.receivedDate = Between(v, c[5], c[6]);
  r.receivedTime = CutTimeZone(Between(v, c[6], c[7]));
  r.dischargeDate = Between(v, c[7], c[8]);
  r.dischargeTime = CutTimeZone(Between(v, c[8], c[9]));
  r.status = TrimBlanks(Between(v, c[9], e));
  return r;
}

namespace {

std::optional<long> StatusValue(std::string_view status) {
  if (status.empty() || status.find_first_not_of("0123456789") != npos) return std::nullopt;
  return ToNumber(status, 0, 255);
}

}  // namespace

DeliveryStatus DeliveryStatusOf(std::string_view status) {
  if (status == "0") return DeliveryStatus::Delivered;
  if (status == "48") return DeliveryStatus::Undelivered;
  const auto value = StatusValue(status);
  if (value && *value >= 64 && *value <= 127) return DeliveryStatus::Undelivered;
  return DeliveryStatus::Unknown;
}

bool IsInterimStatus(std::string_view status) {
  const auto value = StatusValue(status);
  return value && *value >= 32 && *value <= 63 && *value != 48;
}

bool IsRegistered(std::string_view reply) {
  for (size_t p = reply.find("+CREG:"); p != npos; p = reply.find("+CREG:", p + 1)) {
    const size_t end = std::min(reply.find('\r', p), reply.size());
    const std::string_view line = reply.substr(p + 6, end - p - 6);
    const size_t first = line.find(',');
    if (first == npos) continue;
    const size_t second = line.find(',', first + 1);
    const std::string_view stat =
        line.substr(first + 1, second == npos ? npos : second - first - 1);
    if (!ToNumber(line.substr(0, first), 0, 9)) continue;
    const auto state = ToNumber(stat, 0, 99);  // a quoted field is no number
    if (state && (*state == 1 || *state == 5 || *state == 6 || *state == 7 || *state == 9 ||
                  *state == 10)) {
      return true;
    }
  }
  return false;
}

std::optional<int> PINAttemptsLeft(std::string_view reply) {
  static const struct {
    std::string_view prefix;
    std::string_view code;  // the first field must be this; empty: any
    size_t field;           // the count's field
  } forms[] = {
      {"+CPINR:", "SIM PIN", 1}, {"^CPIN:", "", 3}, {"+QPINC:", "SC", 1},
      {"+XPINCNT:", "", 0},      {"+CPINC:", "", 0},
  };
  for (size_t begin = 0; begin < reply.size();) {
    const size_t end = std::min(reply.find_first_of("\r\n", begin), reply.size());
    const std::string line = TrimBlanks(reply.substr(begin, end - begin));
    begin = end + 1;
    for (const auto& form : forms) {
      if (line.rfind(form.prefix, 0) != 0) continue;
      std::vector<std::string> fields;
      for (size_t at = form.prefix.size();;) {
        const size_t comma = std::min(line.find(',', at), line.size());
        fields.push_back(TrimBlanks(RemoveQuotes(std::string_view(line).substr(at, comma - at))));
        if (comma == line.size()) break;
        at = comma + 1;
      }
      if (!form.code.empty() && fields[0] != form.code) continue;
      if (fields.size() <= form.field) continue;
      if (const auto count = ToNumber(fields[form.field], 0, 99)) return static_cast<int>(*count);
    }
  }
  return std::nullopt;
}

}  // namespace modemapi::Replies
