#include "modemapi/v5/Phonebook.h"

#include <optional>

#include "modemapi/v5/Link.h"
#include "modemapi/v5/Replies.h"

namespace QuentraSMSAPI5 {

namespace {

bool Command(const std::string& cmd, std::string& reply) {
  return modemapi::SendATCommand(Link(), cmd, reply, 0);
}

std::optional<Replies::PhonebookUse> Use() {
  std::string reply;
  if (!Command("AT+CPBS?", reply)) return std::nullopt;
  return Replies::ParsePhonebookUse(reply);
}

}  // namespace

bool Phonebook::SelectSIMPhonebook() {
  try {
    if (!modemapi::IsPortOpen(Link())) return false;
    std::string reply;
    return Command("AT+CPBS=\"SM\"", reply);
  } catch (const std::exception&) {
    return false;
  }
}

std::int16_t Phonebook::TotalSpace() {
  if (!SelectSIMPhonebook()) return -1;
  const auto use = Use();
  return static_cast<std::int16_t>(use ? use->total : -1);
}

std::int16_t Phonebook::TotalUsed() {
  if (!SelectSIMPhonebook()) return -1;
  const auto use = Use();
  return static_cast<std::int16_t>(use ? use->used : -1);
}

bool Phonebook::PhonebookDelete(std::int16_t intLocation) {
  if (!SelectSIMPhonebook()) return false;
  std::string reply;
  return Command("AT+CPBW=" + std::to_string(intLocation), reply);
}

bool Phonebook::PhonebookWrite(std::int16_t intLocation, std::string_view strNumber,
                               std::string_view strName) {
  if (!FitsInCommand(strNumber, true) || !FitsInCommand(strName, true)) return false;
  if (!SelectSIMPhonebook()) return false;
  std::string reply;
  return Command("AT+CPBW=" + std::to_string(intLocation) + ",\"" + ToModem(strNumber) + "\",,\"" +
                     ToModem(strName) + "\"",
                 reply);
}

bool Phonebook::PhonebookRead(std::int16_t intLocation) {
  if (!SelectSIMPhonebook()) return false;
  std::string reply;
  if (!Command("AT+CPBR=" + std::to_string(intLocation), reply)) return false;
  const auto entry = Replies::ParsePhonebookEntry(reply);
  if (!entry) return false;
  number_ = FromModem(entry->number);
  name_ = FromModem(entry->name);
  return true;
}

}  // namespace QuentraSMSAPI5
