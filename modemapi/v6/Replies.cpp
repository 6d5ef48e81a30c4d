#include "modemapi/v6/Replies.h"

#include <array>
#include <charconv>

namespace QuentraSMSAPI6::Replies {
namespace {

std::string_view trimBlanks(std::string_view s) {
  while (!s.empty() && s.front() == ' ') s.remove_prefix(1);
  while (!s.empty() && s.back() == ' ') s.remove_suffix(1);
  return s;
}

// Before the time zone: cut at the first "+", else at the first "-".
std::string cutZone(std::string_view time) {
  std::size_t p = time.find('+');
  if (p == std::string_view::npos) p = time.find('-');
  return std::string(time.substr(0, p));
}

}  // namespace

std::optional<long> ListedIndex(std::string_view reply) {
  const std::size_t tag = reply.find("+CMGL:");
  if (tag == std::string_view::npos) return std::nullopt;
  const std::size_t colon = reply.find(':', tag);
  const std::size_t comma = reply.find(',', colon);
  if (comma == std::string_view::npos) return std::nullopt;
  const std::string_view field = trimBlanks(reply.substr(colon + 1, comma - colon - 1));
  long value = 0;
  auto [end, ec] = std::from_chars(field.data(), field.data() + field.size(), value);
  if (ec != std::errc() || end != field.data() + field.size() || field.empty() || value < 0) {
    return std::nullopt;
  }
  return value;
}

std::optional<std::string> PDULine(std::string_view reply) {
  const std::size_t tag = reply.find("+CMGR:");
  if (tag == std::string_view::npos) return std::nullopt;
  const std::size_t cr = reply.find('\r', tag);
  if (cr == std::string_view::npos) return std::string();
  const std::size_t begin = std::min(cr + 2, reply.size());
  const std::size_t end = reply.find('\r', begin);
  return std::string(reply.substr(begin, end == std::string_view::npos ? end : end - begin));
}

std::optional<std::string> MessageReference(std::string_view reply) {
  const std::size_t tag = reply.find("+CMGS");
  if (tag == std::string_view::npos) return std::nullopt;
  const std::size_t begin = std::min(tag + 6, reply.size());
  const std::size_t ok = reply.find("OK", begin);
  const std::size_t len = ok == std::string_view::npos ? ok : ok - begin;
  return std::string(trimBlanks(reply.substr(begin, len)));
}

std::optional<StatusReport> ParseStatusReport(std::string_view reply) {
  std::string text;
  text.reserve(reply.size());
  for (char c : reply) {
    if (c != '"') text += c;
  }
  const std::size_t tag = text.find("+CMGR:");
  if (tag == std::string::npos) return std::nullopt;
  std::array<std::size_t, 9> c{};
  std::size_t from = tag;
  for (auto& pos : c) {
    pos = text.find(',', from);
    if (pos == std::string::npos) return std::nullopt;
    from = pos + 1;
  }
  auto between = [&](std::size_t a, std::size_t b) {
    return std::string_view(text).substr(a + 1, b - a - 1);
  };
  const std::size_t lineEnd = text.find("\r\n", c[8] + 1);
  StatusReport r;
  r.msgRef = between(c[1], c[2]);
  r.recipient = between(c[2], c[3]);
  r.receivedDate = between(c[4], c[5]);
  r.receivedTime = cutZone(between(c[5], c[6]));
  r.dischargeDate = between(c[6], c[7]);
  r.dischargeTime = cutZone(between(c[7], c[8]));
  const std::string_view rest = std::string_view(text).substr(c[8] + 1);
  r.status = trimBlanks(lineEnd == std::string::npos ? rest : rest.substr(0, lineEnd - c[8] - 1));
  return r;
}

}  // namespace QuentraSMSAPI6::Replies
