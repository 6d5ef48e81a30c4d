#pragma once
// Readers for the modem's answers that class SMS uses. Each takes the whole
// collected reply (echo included); a short or malformed reply gives nothing and
// never reads out of bounds.
#include <optional>
#include <string>
#include <string_view>

namespace QuentraSMSAPI6::Replies {

// The storage index behind the first "+CMGL:" (between the next ":" and ",").
// Nothing unless it is a plain number (which keeps anything else out of the
// commands built from it).
std::optional<long> ListedIndex(std::string_view reply);

// The PDU line of an AT+CMGR answer in PDU mode: from two characters after the
// first CR behind "+CMGR:" to the next CR (or the end). Nothing without "+CMGR:".
std::optional<std::string> PDULine(std::string_view reply);

// The text behind "+CMGS:" up to the next "OK", blanks trimmed (line breaks kept).
// Nothing without "+CMGS".
std::optional<std::string> MessageReference(std::string_view reply);

struct StatusReport {
  std::string msgRef, recipient, receivedDate, receivedTime, dischargeDate, dischargeTime;
  std::string status;  // st, trimmed
};
// A text-mode AT+CMGR answer for a status report: quotes removed, nine commas
// after "+CMGR:", status up to the next CR LF. Nothing when a comma is missing.
std::optional<StatusReport> ParseStatusReport(std::string_view reply);

}  // namespace QuentraSMSAPI6::Replies
