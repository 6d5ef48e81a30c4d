#include "modemapi/v5/Replies.h"

#include <algorithm>

namespace QuentraSMSAPI5::Replies {

namespace {

constexpr auto npos = std::string_view::npos;
constexpr std::string_view kLineBreak = "\r\n";

// Position of the n-th comma after `from`, counting one after the other.
std::optional<size_t> NthComma(std::string_view s, size_t from, int n, std::vector<size_t>& out) {
  size_t pos = from;
  for (int i = 0; i < n; ++i) {
    pos = s.find(',', pos);
    if (pos == npos) return std::nullopt;
    out.push_back(pos);
    ++pos;
  }
  return out.back();
}

std::string_view Between(std::string_view s, size_t left, size_t right) {
  return s.substr(left + 1, right - left - 1);
}

std::string Unquoted(std::string_view field) { return RemoveQuotes(field); }

}  // namespace

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

std::vector<std::string> SplitFields(std::string_view line) {
  std::vector<std::string> fields(1);
  bool quoted = false;
  for (char c : line) {
    if (c == '"') quoted = !quoted;
    if (c == ',' && !quoted) {
      fields.emplace_back();
    } else {
      fields.back().push_back(c);
    }
  }
  return fields;
}

bool IsRegistered(std::string_view reply) {
  for (std::string_view state : {"+CREG: 0,1", "+CREG: 1,1", "+CREG: 0,5", "+CREG: 1,5"}) {
    if (reply.find(state) != npos) return true;
  }
  return false;
}

int SignalLevel(std::string_view reply) {
  const size_t p = reply.find("+CSQ:");
  if (p == npos) return -1;
  const size_t start = p + 5;
  const size_t comma = reply.find(',', start);
  if (comma == npos) return -1;
  const auto rssi = ToNumber(reply.substr(start, comma - start), -32768, 32767);
  if (!rssi) return -1;
  if (*rssi == 0 || *rssi == 1) return static_cast<int>(*rssi);
  if (*rssi >= 2 && *rssi <= 30) return 2;
  if (*rssi == 31) return 3;
  return -1;
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

std::optional<TextMessage> ParseTextMessage(std::string_view reply) {
  const size_t p = reply.find("+CMGR:");
  if (p == npos) return std::nullopt;
  const size_t e = reply.find(kLineBreak, p);
  if (e == npos) return std::nullopt;
  std::vector<std::string> f = SplitFields(reply.substr(p + 6, e - p - 6));
  // A time stamp printed without quotes was split at its comma: join it again.
  if (f.size() > 4 && f[3].find(',') == npos && f[4].find(':') != npos) {
    f[3] += "," + f[4];
    f.erase(f.begin() + 4);
  }
  // stat, address, alpha, time stamp [, type, fo, pid, dcs, centre, type, length]
  if (f.size() < 4) return std::nullopt;
  TextMessage m;
  m.number = TrimBlanks(Unquoted(f[1]));
  std::string stamp = CutTimeZone(Unquoted(f[3]));
  std::replace(stamp.begin(), stamp.end(), ',', ' ');
  m.timestamp = stamp;
  if (f.size() >= 11) m.centre = Unquoted(f[8]);

  // The text runs from the next line to the final "OK", less the line break before it.
  const size_t body = e + kLineBreak.size();
  size_t end = reply.rfind("\r\nOK");
  if (end == npos || end < body) end = body;
  std::string_view text = reply.substr(body, end - body);
  if (text.size() >= 2 && text.substr(text.size() - 2) == kLineBreak) text.remove_suffix(2);
  m.text = TrimBlanks(text);
  return m;
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
  std::vector<size_t> c{0};  // c[1] .. c[9], one after the other
  if (!NthComma(v, p, 9, c)) return std::nullopt;
  const size_t e = v.find(kLineBreak, c[9]);
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

int DeliveryStatusOf(std::string_view status) {
  if (status == "0") return 1;
  if (status == "48") return 0;
  return 2;
}

std::optional<PhonebookUse> ParsePhonebookUse(std::string_view reply) {
  const size_t p = reply.find("+CPBS:");
  if (p == npos) return std::nullopt;
  std::vector<size_t> c{0};
  if (!NthComma(reply, p, 2, c)) return std::nullopt;
  const size_t e = reply.find(kLineBreak, c[2]);
  if (e == npos) return std::nullopt;
  PhonebookUse use;
  use.used = static_cast<int>(ToNumber(Between(reply, c[1], c[2]), -32768, 32767).value_or(-1));
  use.total = static_cast<int>(ToNumber(Between(reply, c[2], e), -32768, 32767).value_or(-1));
  return use;
}

std::optional<PhonebookEntry> ParsePhonebookEntry(std::string_view reply) {
  const size_t p = reply.find("+CPBR:");
  if (p == npos) return std::nullopt;
  const size_t e = reply.find(kLineBreak, p);
  if (e == npos) return std::nullopt;
  const std::vector<std::string> f = SplitFields(reply.substr(p, e - p));
  // index, number, type, name
  if (f.size() < 4) return std::nullopt;
  return PhonebookEntry{Unquoted(f[1]), Unquoted(f[3])};
}

bool HasUSSDAnswer(std::string_view reply) {
  for (std::string_view answer : {"+CUSD: 0", "+CUSD: 1", "+CUSD: 2"}) {
    if (reply.find(answer) != npos) return true;
  }
  return false;
}

namespace {
struct USSDQuotes {
  bool complete = false;
  size_t first = npos;
  size_t second = npos;
};

USSDQuotes FindUSSDQuotes(std::string_view reply) {
  USSDQuotes q;
  const size_t p = reply.find("+CUSD:");
  if (p == npos) return q;
  const size_t lineEnd = reply.find(kLineBreak, p);
  const size_t first = reply.find('"', p);
  if (first == npos || (lineEnd != npos && first > lineEnd)) {
    // A result without text ("+CUSD: 2") is complete once its line has ended.
    q.complete = lineEnd != npos;
    return q;
  }
  const size_t second = reply.find('"', first + 1);
  if (second == npos || reply.find('\r', p) == npos) return q;
  q = {true, first, second};
  return q;
}
}  // namespace

bool USSDComplete(std::string_view reply) { return FindUSSDQuotes(reply).complete; }

std::string USSDText(std::string_view reply) {
  const USSDQuotes q = FindUSSDQuotes(reply);
  if (q.first == npos || q.second == npos) return {};
  return TrimBlanks(Between(reply, q.first, q.second));
}

}  // namespace QuentraSMSAPI5::Replies
