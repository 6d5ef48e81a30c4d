#include "modemapi/v5/Replies.h"

#include <algorithm>

#include "modemapi/Replies.h"
#include "platform/text/Text.h"

namespace QuentraSMSAPI5::Replies {

using modemapi::Replies::CutTimeZone;
using modemapi::Replies::RemoveQuotes;
using modemapi::Replies::ToNumber;
using modemapi::Replies::TrimBlanks;

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

// The coding octet says UCS-2 (GSM 03.38: general groups with alphabet bits 10, or the
// message-waiting group E).
bool IsUcs2Coding(std::string_view field) {
  const auto dcs = ToNumber(field, 0, 255);
  if (!dcs) return false;
  if (*dcs < 0x80) return (*dcs & 0x20) == 0 && ((*dcs >> 2) & 3) == 2;
  return (*dcs >> 4) == 0xE;
}

// Hexadecimal UTF-16 (four digits a unit) as UTF-8; nothing when it is not that.
std::optional<std::string> FromUcs2Hex(std::string_view hex) {
  if (hex.empty() || hex.size() % 4 != 0) return std::nullopt;
  std::u16string units;
  for (size_t i = 0; i < hex.size(); i += 4) {
    unsigned value = 0;
    for (char c : hex.substr(i, 4)) {
      const int d = c >= '0' && c <= '9'   ? c - '0'
                    : c >= 'A' && c <= 'F' ? c - 'A' + 10
                    : c >= 'a' && c <= 'f' ? c - 'a' + 10
                                           : -1;
      if (d < 0) return std::nullopt;
      value = value * 16 + static_cast<unsigned>(d);
    }
    units.push_back(static_cast<char16_t>(value));
  }
  return parlix::text::toUtf8(units);
}

}  // namespace

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

bool IsRegistered(std::string_view reply) { return modemapi::Replies::IsRegistered(reply); }

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

  // The text runs from the next line to the final result code, less the line breaks
  // before it (a line of the text that reads "OK" is text).
  const size_t body = e + kLineBreak.size();
  const auto final = modemapi::Replies::FindFinalResult(reply);
  size_t end = final ? final->begin : reply.rfind("\r\nOK");
  if (!final) end = end == npos ? reply.size() : end + kLineBreak.size();  // "OK" still on its way
  if (end < body) end = body;
  std::string_view text = reply.substr(body, end - body);
  for (int i = 0; i < 2 && text.ends_with(kLineBreak); ++i) text.remove_suffix(2);
  m.text = TrimBlanks(text);
  if (f.size() >= 11 && IsUcs2Coding(f[7])) {
    if (auto decoded = FromUcs2Hex(m.text)) {
      m.text = std::move(*decoded);
      m.utf8 = true;
    }
  }
  return m;
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
