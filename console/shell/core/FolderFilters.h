// The conditions behind the folder filters and contact searches (window-less): dates
// typed by the operator, and the criteria each kind of filter puts on a record set.
// Typed text is always literal: quotes, "*", "%" and "_" match themselves.
#pragma once

#include <optional>
#include <string>

#include "console/shell/core/Captions.h"
#include "platform/db/Recordset.h"

namespace parlix::console {

// "DD-MM-YY" (the prompt's form), "DD-MM-YYYY", with "-" or "/" between; two-digit
// years are 20YY. Returns "YYYY-MM-DD", or nullopt when the text is no real date
// ("31-02-25", "2025-13-01", letters).
std::optional<std::string> ParseFilterDate(const std::string& text);

// The day after "YYYY-MM-DD" (the date filter's exclusive end).
std::string NextDay(const std::string& day);

// The time-stamp column the date filter reads in each folder.
const char* DateColumn(Folder folder);

// Rows whose time stamp lies on or after START 00:00:00 and before END 00:00:00, with
// both days as "YYYY-MM-DD" (END exclusive: the last day wanted plus one).
db::Criteria DateRangeCriteria(Folder folder, const std::string& start, const std::string& endExclusive);

// Text filters and searches: the column contains the text.
db::Criteria TextCriteria(const std::string& column, const std::string& text);

// Inbox status filter: "r"/"R" -> "Read", "n"/"N" -> "New", anything else nullopt.
std::optional<std::string> InboxStatusWord(const std::string& answer);
// Outbox status filter: "p"/"P"/"r"/"R" as typed, anything else nullopt. The folder
// stores capitals and the database compares case-sensitively, so the criterion
// compares the capital letter.
bool IsOutboxStatusLetter(const std::string& answer);
db::Criteria OutboxStatusCriteria(const std::string& letter);

// Modem filter: "1", "2" or "3" exactly.
bool IsModemNumber(const std::string& answer);
db::Criteria ModemCriteria(const std::string& number);

// The six choices of the Sent Items status window.
struct SentStatusOption {
    const char* button;   // caption of the option button
    const char* caption;  // words the view's caption shows
};
inline constexpr SentStatusOption kSentStatusOptions[6] = {
    {"Sent", "Sent"},
    {"Fail to Send", "Failed"},
    {"Sent and Delivered", "Sent and Delivery Statatus = Delivered"},
    {"Sent but NOT Delivered", "Sent but Delivery Status = Failed"},
    {"Sent but Delivery Status is unknown", "Sent but Delivery Status = Unknown"},
    {"Duplicate Message NOT Sent", "Duplicate"},
};
db::Criteria SentStatusCriteria(int option);  // 0..5

}  // namespace parlix::console
