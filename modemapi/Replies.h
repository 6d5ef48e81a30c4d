#pragma once
// Readers for modem answers that both libraries take in the same form. Each takes
// the whole collected reply (echo included) and gives either the fields or nothing;
// a short or malformed reply never reads out of bounds.

#include <optional>
#include <string>
#include <string_view>

#include "modemapi/Types.h"

namespace modemapi::Replies {

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

// A report's status text: "0" Delivered, "48" Undelivered, anything else Unknown.
DeliveryStatus DeliveryStatusOf(std::string_view status);

}  // namespace modemapi::Replies
