#pragma once
// Readers for modem answers that both libraries take in the same form. Each takes
// the whole collected reply (echo included) and gives either the fields or nothing;
// a short or malformed reply never reads out of bounds.

#include <optional>
#include <string>
#include <string_view>

#include "modemapi/Types.h"

namespace modemapi::Replies {

// Where a command's final result code stands in the collected answer: "OK", "ERROR",
// "+CMS ERROR: <n>" or "+CME ERROR: <n>" as a whole line behind a CR LF, its own CR LF
// included (so a code cut between two reads is not taken before its number has come;
// the first line of the reply is the echo or a fragment, never a code). The line after
// a "+CMGR:" / "+CMGL:" header is the message itself (PDU, or text that may run over
// several lines), and until the next header a code there counts only behind an empty
// line (as the final code follows information text): a text message that reads "OK"
// or holds a line "OK" never ends the answer. A text-mode status report has no such
// line.
struct FinalResult {
  size_t begin = 0;  // first character of the code's line
  size_t end = 0;    // one past its CR LF
  bool ok = false;   // "OK"; anything else is an error
};
std::optional<FinalResult> FindFinalResult(std::string_view reply);
// The reply holds a final result code that is an error.
bool HasFinalError(std::string_view reply);

// Leading and trailing blanks (spaces only) removed; line breaks stay.
std::string TrimBlanks(std::string_view s);

// Every double quote removed.
std::string RemoveQuotes(std::string_view s);

// Whole number with an optional sign and surrounding blanks, within [lo, hi].
std::optional<long> ToNumber(std::string_view s, long lo, long hi);

// Cuts a time before its zone: before the first "+", else before the first "-".
std::string CutTimeZone(std::string_view time);

// The storage index behind the first "+CMGL:" (between its ":" and the next ","),
// 0 to 99999. Commands are built from the number, never from the reply's text.
std::optional<int> FirstListedIndex(std::string_view reply);

// The text behind "+CMGS" up to the next "OK", blanks trimmed (line breaks kept).
// Nothing without "+CMGS" or without an "OK" behind it: a cut-off answer leaves the
// last reference in place rather than a partial one.
std::optional<std::string> MessageReference(std::string_view reply);

struct StatusReport {
  std::string messageReference;  // DRMsgRef
  std::string recipient;         // DRMNRecipient
  std::string receivedDate;      // DRRDate
  std::string receivedTime;      // DRRTime, without its zone
  std::string dischargeDate;     // DRFDate
  std::string dischargeTime;     // DRFTime, without its zone
  std::string status;            // st, trimmed
};
// A text-mode status report read with AT+CMGR: quotes removed, nine commas after
// "+CMGR:" (stat, fo, mr, ra, tora, two halves of each time stamp), the status up to
// the next CR LF. Nothing when a comma or that line end is missing.
std::optional<StatusReport> ParseStatusReport(std::string_view reply);

// A report's status text: "0" Delivered, "48" Undelivered, anything else Unknown,
// except the final failures of GSM 03.40 (TP-ST 64 to 127: a permanent error, or a
// temporary one the centre has stopped trying), which are Undelivered too.
DeliveryStatus DeliveryStatusOf(std::string_view status);

// A report that is not the last word on its message: TP-ST 32 to 63 (a temporary
// error while the centre is still trying), except 48, which the system takes as a
// failure. Its message's outcome comes in a later report.
bool IsInterimStatus(std::string_view status);

// The answer to AT+CREG? says the modem is registered: home (1) or roaming (5), also
// for "SMS only" (6, 7) or "CSFB not preferred" (9, 10). The state is the second field
// of "+CREG: <n>,<stat>[,<lac>,<ci>...]" whatever <n> the modem was left at (a
// registration watcher often leaves it at 2); an unsolicited "+CREG: <stat>[,...]"
// line, whose second field is quoted or absent, is not the answer.
bool IsRegistered(std::string_view reply);

// How many SIM PIN attempts are left, from a modem's answer to one of the vendor
// queries of it; nothing when the answer names no count. The forms (fields cut at
// commas, blanks and quotes dropped):
//   "+CPINR: SIM PIN,<retries>,<default>"       27.007 remaining PIN retries
//   "^CPIN: <code>,[<times>],<puk>,<pin>,..."   <pin>, the fourth field
//   "+QPINC: SC,<pin>,<puk>"                    the line of "SC"
//   "+XPINCNT: <pin>,<pin2>,<puk>,<puk2>"       the first field
//   "+CPINC: <pin>,<pin2>,<puk>,<puk2>"         the first field
std::optional<int> PINAttemptsLeft(std::string_view reply);

}  // namespace modemapi::Replies
