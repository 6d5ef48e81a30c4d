#include "modemapi/v6/Replies.h"

#include <algorithm>

namespace QuentraSMSAPI6::Replies {

std::optional<std::string> PDULine(std::string_view reply) {
  const std::size_t tag = reply.find("+CMGR:");
  if (tag == std::string_view::npos) return std::nullopt;
  const std::size_t cr = reply.find('\r', tag);
  if (cr == std::string_view::npos) return std::string();
  const std::size_t begin = std::min(cr + 2, reply.size());
  const std::size_t end = reply.find('\r', begin);
  return std::string(reply.substr(begin, end == std::string_view::npos ? end : end - begin));
}

}  // namespace QuentraSMSAPI6::Replies
