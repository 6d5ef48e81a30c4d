#include "modemapi/v5/USSD.h"

#include "modemapi/v5/Link.h"
#include "modemapi/v5/Replies.h"
#include "platform/clock/Clock.h"

namespace QuentraSMSAPI5 {

namespace {

constexpr int kAnswerSeconds = 15;

// Reads on until the answer's quoted text has arrived in full. A network that never
// closes the quote must not hold the caller forever: the wait ends after the same
// 15 seconds the command had.
std::string ExtractUSSDText(modemapi::Transport& t, std::string reply) {
  if (reply.find("+CUSD:") == std::string::npos) return {};
  const auto start = parlix::clock::ticks();
  while (!Replies::USSDComplete(reply)) {
    parlix::clock::yield();
    reply += t.port().input();
    if (Replies::USSDComplete(reply)) break;
    if (modemapi::IsTimedOut(t, start, kAnswerSeconds)) return {};
  }
  return Replies::USSDText(reply);
}

}  // namespace

std::string USSD::operator()(std::string_view Command) {
  try {
    modemapi::Transport& t = Link();
    if (!modemapi::IsPortOpen(t)) return {};
    if (!FitsInCommand(Command, true)) return {};
    std::string reply;
    if (!modemapi::SendATWaitLine(t, "AT+CUSD=1,\"" + ToModem(Command) + "\"", reply, kAnswerSeconds))
      return {};
    if (!Replies::HasUSSDAnswer(reply)) return {};
    return FromModem(ExtractUSSDText(t, std::move(reply)));
  } catch (const std::exception&) {
    return {};
  }
}

}  // namespace QuentraSMSAPI5
