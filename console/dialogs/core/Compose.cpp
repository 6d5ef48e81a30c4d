#include "console/dialogs/core/Compose.h"

#include <ctime>
#include <limits>

#include "pdu/Helpers.h"
#include "platform/text/Text.h"

namespace parlix::console {

std::int64_t MessageLength(const std::string& utf8) {
    return static_cast<std::int64_t>(text::lengthUtf16(utf8));
}

MessageCount CountMessage(std::int64_t length, bool unicode) {
    MessageCount c;
    c.maxLength = unicode ? kUnicodeLimit : kTextLimit;
    c.remained = c.maxLength - length;
    c.typed = length;
    // Unicode warns for any text beyond one SMS; text warns as the limit is reached.
    if (unicode ? length > kUnicodeLimit : length == kTextLimit) c.warning = unicode ? kUnicodeWarning : kTextWarning;
    return c;
}

bool FitsTextMessage(const std::string& utf8) { return GSM::FitsGsmAlphabet(text::toUtf16(utf8)); }

std::string LengthRefusal(std::int64_t length, bool unicode) {
    if (unicode && length > kUnicodeLimit) return kUnicodeWarning;
    if (length > kTextLimit) return kTextWarning;
    return {};
}

namespace {

std::tm LocalTm(TimePoint t) {
    const std::time_t tt = std::chrono::system_clock::to_time_t(t);
    std::tm tm{};
    localtime_r(&tt, &tm);
    return tm;
}

void Two(std::string& out, int v) {
    out += static_cast<char>('0' + (v / 10) % 10);
    out += static_cast<char>('0' + v % 10);
}

}  // namespace

std::string GenerateSubject(TimePoint t) {
    const std::tm tm = LocalTm(t);
    std::string s;
    Two(s, tm.tm_mday);
    Two(s, tm.tm_mon + 1);
    Two(s, tm.tm_year % 100);
    Two(s, tm.tm_hour);
    Two(s, tm.tm_min);
    Two(s, tm.tm_sec);
    return s;
}

std::string SubjectClock::next(TimePoint now) {
    auto second = std::chrono::floor<std::chrono::seconds>(now);
    if (last_ && second <= *last_) second = *last_ + std::chrono::seconds(1);
    last_ = second;
    return GenerateSubject(second);
}

int QuarterHourMinutes(std::size_t index) {
    if (index >= 96) return -1;
    return static_cast<int>((8 * 60 + 15 * index) % (24 * 60));
}

const std::vector<std::string>& QuarterHourTimes() {
    static const std::vector<std::string> times = [] {
        std::vector<std::string> t;
        for (std::size_t i = 0; i < 96; ++i) {
            const int m = QuarterHourMinutes(i);
            const int h24 = m / 60;
            const int h12 = h24 % 12 == 0 ? 12 : h24 % 12;
            std::string s;
            Two(s, h12);
            s += ':';
            Two(s, m % 60);
            s += h24 < 12 ? " AM" : " PM";
            t.push_back(s);
        }
        return t;
    }();
    return times;
}

TimePoint LocalMoment(int year, int month, int day, int minutes) {
    std::tm tm{};
    tm.tm_year = year - 1900;
    tm.tm_mon = month - 1;
    tm.tm_mday = day;
    tm.tm_hour = minutes / 60;
    tm.tm_min = minutes % 60;
    tm.tm_isdst = -1;  // let the zone's rules decide, also across a clock change
    return std::chrono::system_clock::from_time_t(std::mktime(&tm));
}

bool IsBlankEntry(const std::string& entry) { return text::cleanNumber(entry).empty(); }

bool ContactIdOf(const std::string& entry, std::int64_t& id) {
    const auto colon = entry.find(':');
    if (colon == std::string::npos || colon == 0) return false;
    std::int64_t v = 0;
    for (std::size_t i = 0; i < colon; ++i) {
        const char c = entry[i];
        if (c < '0' || c > '9') return false;
        if (v > (std::numeric_limits<std::int64_t>::max() - (c - '0')) / 10) return false;
        v = v * 10 + (c - '0');
    }
    id = v;
    return true;
}

std::string CleanNumber(const std::string& entry) { return text::cleanNumber(entry); }

}  // namespace parlix::console
