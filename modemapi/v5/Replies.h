#pragma once
// Readers for the text-mode answers that only this library takes; the readers both
// libraries share (listing index, message reference, status report, numbers) are in
// modemapi/Replies.h. Each takes the whole collected reply (echo included) and gives
// either the fields or nothing; a short or malformed reply never reads out of bounds.

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace QuentraSMSAPI5::Replies {

// Splits one answer line at commas that stand outside double quotes.
std::vector<std::string> SplitFields(std::string_view line);

// AT+CREG? answered "registered at home or roaming".
bool IsRegistered(std::string_view reply);

// AT+CSQ: the received strength mapped to 0, 1, 2, 3, or -1 (missing, malformed, 99).
int SignalLevel(std::string_view reply);

struct TextMessage {
  std::string number;     // MN
  std::string timestamp;  // SCTS, "yy/mm/dd hh:mm:ss"
  std::string centre;     // SMSC
  std::string text;       // MSG
  // The text is UTF-8 already: a UCS-2 message, which text mode gives as hexadecimal
  // UTF-16 (its coding octet in the full header says so), read back into characters.
  bool utf8 = false;
};
// AT+CMGR in text mode, with the full header of AT+CSDH=1 or the short one.
std::optional<TextMessage> ParseTextMessage(std::string_view reply);

struct PhonebookUse {
  int used = -1;   // -1: not a number
  int total = -1;
};
// AT+CPBS? answer: storage, used, total. Nothing when "+CPBS:" or its commas are missing.
std::optional<PhonebookUse> ParsePhonebookUse(std::string_view reply);

struct PhonebookEntry {
  std::string number;
  std::string name;
};
// AT+CPBR answer: index, number, type, name.
std::optional<PhonebookEntry> ParsePhonebookEntry(std::string_view reply);

// The USSD answer carries a network result ("+CUSD: 0", 1 or 2).
bool HasUSSDAnswer(std::string_view reply);

// The answer line has arrived in full: after "+CUSD:" a CR and its quoted text
// (both quotes), or a CR LF ends a line that holds no text at all.
bool USSDComplete(std::string_view reply);

// The quoted text of a complete answer, trimmed; empty when there is none.
std::string USSDText(std::string_view reply);

}  // namespace QuentraSMSAPI5::Replies
