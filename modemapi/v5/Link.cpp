#include "modemapi/v5/Link.h"

#include "platform/text/Text.h"

namespace QuentraSMSAPI5 {

namespace {
constexpr char kCtrlZ = 26;
constexpr char kEsc = 27;
}  // namespace

bool FitsInMessage(std::string_view text) {
  return text.find(kCtrlZ) == std::string_view::npos && text.find(kEsc) == std::string_view::npos;
}

bool FitsInCommand(std::string_view text, bool quoted) {
  if (!FitsInMessage(text)) return false;
  if (text.find_first_of("\r\n") != std::string_view::npos) return false;
  return !quoted || text.find('"') == std::string_view::npos;
}

std::string ToModem(std::string_view utf8) { return parlix::text::utf8ToAnsi(utf8); }

std::string FromModem(std::string_view ansi) { return parlix::text::ansiToUtf8(ansi); }

}  // namespace QuentraSMSAPI5
