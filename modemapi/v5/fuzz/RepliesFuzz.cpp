// Every reader of modem answers on arbitrary bytes: none may read out of bounds,
// and what they give back must lie within the reply.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "modemapi/Replies.h"
#include "modemapi/v5/Replies.h"

namespace R = QuentraSMSAPI5::Replies;
namespace S = modemapi::Replies;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view reply(reinterpret_cast<const char*>(data), size);
  const int level = R::SignalLevel(reply);
  if (level < -1 || level > 3) __builtin_trap();
  (void)R::IsRegistered(reply);
  (void)S::FirstListedIndex(reply);
  if (const auto m = R::ParseTextMessage(reply)) {
    if (m->text.size() > size || m->number.size() > size) __builtin_trap();
  }
  if (const auto mr = S::MessageReference(reply); mr && mr->size() > size) __builtin_trap();
  if (const auto r = S::ParseStatusReport(reply)) (void)S::DeliveryStatusOf(r->status);
  (void)R::ParsePhonebookUse(reply);
  (void)R::ParsePhonebookEntry(reply);
  (void)R::HasUSSDAnswer(reply);
  if (R::USSDComplete(reply) && R::USSDText(reply).size() > size) __builtin_trap();
  return 0;
}
