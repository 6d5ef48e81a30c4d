// The composer's rules that need no window: lengths and their warnings, the
// subject, the scheduler's quarter hours and the send time they stand for.
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace parlix::console {

using TimePoint = std::chrono::system_clock::time_point;

inline constexpr int kUnicodeLimit = 70;   // UCS-2: one SMS
inline constexpr int kTextLimit = 1560;    // ten concatenated parts
inline constexpr const char* kUnicodeWarning = "70 character number exceeded!";
inline constexpr const char* kTextWarning = "160 character number exceeded!";
inline constexpr const char* kLengthWarningTitle = "Zavoruzodaz Ezuvizu - Warning";

// Characters as the message counts them: UTF-16 units.
std::int64_t MessageLength(const std::string& utf8);

// What the counters show after a change of the message text.
struct MessageCount {
    int maxLength = kTextLimit;   // the box stops typing and pasting here
    std::int64_t remained = 0;    // may go negative (a longer text set by a template)
    std::int64_t typed = 0;
    std::string warning;          // empty when no warning is due
};
MessageCount CountMessage(std::int64_t length, bool unicode);

// True when a text message (7-bit) carries the text as it is: every character is in the
// GSM alphabet or its extension table. Otherwise it would arrive with "?" in it.
bool FitsTextMessage(const std::string& utf8);

// The warning that refuses a Send of this text, or "" when it may be queued.
std::string LengthRefusal(std::int64_t length, bool unicode);

// "ddmmyyhhnnss" of a moment in local time.
std::string GenerateSubject(TimePoint t);

// The subjects one composer makes: each of a later second than the one before, so two
// subjects of it never meet, however quickly they are asked for.
class SubjectClock {
public:
    std::string next(TimePoint now);

private:
    std::optional<std::chrono::sys_seconds> last_;
};

// The scheduler's 96 quarter hours, from "08:00 AM" round to "07:45 AM".
const std::vector<std::string>& QuarterHourTimes();
// Minutes after midnight of QuarterHourTimes()[index]; -1 for an index outside.
int QuarterHourMinutes(std::size_t index);
// The local moment `minutes` after the midnight that starts the given date.
TimePoint LocalMoment(int year, int month, int day, int minutes);

// Entries of the recipient list.
bool IsBlankEntry(const std::string& entry);
// Contact ID of a contact entry ("12:Name:Mobile"): digits before the first ":".
bool ContactIdOf(const std::string& entry, std::int64_t& id);
// A typed number as queued: blanks and "-" removed (text::cleanNumber).
std::string CleanNumber(const std::string& entry);

}  // namespace parlix::console
