#include "engine/DateTime.h"

#include "engine/GeneralDate.h"
#include "platform/db/Value.h"

#include <array>
#include <cctype>

namespace parlix::engine {
namespace {

bool Digits(const std::string& s, std::size_t pos, std::size_t n) {
    if (pos + n > s.size()) return false;
    for (std::size_t i = pos; i < pos + n; ++i)
        if (!std::isdigit(static_cast<unsigned char>(s[i]))) return false;
    return true;
}

// "hh:mm:ss" at pos.
bool TimeAt(const std::string& s, std::size_t pos) {
    return Digits(s, pos, 2) && s.size() > pos + 2 && s[pos + 2] == ':' && Digits(s, pos + 3, 2) &&
           s.size() > pos + 5 && s[pos + 5] == ':' && Digits(s, pos + 6, 2);
}

}  // namespace

std::optional<std::chrono::system_clock::time_point> ReportMoment(const std::string& t) {
    // Fixed places: year 1-2, month 4-5, day 7-8, time 10-17.
    if (!Digits(t, 0, 2) || !Digits(t, 3, 2) || !Digits(t, 6, 2) || !TimeAt(t, 9)) return std::nullopt;
    const std::string text = "20" + t.substr(0, 2) + "-" + t.substr(3, 2) + "-" + t.substr(6, 2) + " " + t.substr(9, 8);
    return db::parseDateTime(text);
}

std::string FormatReportDateTime(const std::string& t) {
    const auto moment = ReportMoment(t);
    return moment ? GeneralDate(*moment) : std::string();
}

std::optional<std::string> TimeStampToDb(const std::string& scts) {
    static constexpr std::array<const char*, 12> kMonths = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                                            "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
    // 20YY-Mon-DD hh:mm:ss
    if (scts.size() != 20 || !Digits(scts, 0, 4) || scts[4] != '-' || scts[8] != '-' || !Digits(scts, 9, 2) ||
        scts[11] != ' ' || !TimeAt(scts, 12))
        return std::nullopt;
    const std::string month = scts.substr(5, 3);
    for (std::size_t m = 0; m < kMonths.size(); ++m) {
        if (month != kMonths[m]) continue;
        char mm[3] = {static_cast<char>('0' + (m + 1) / 10), static_cast<char>('0' + (m + 1) % 10), 0};
        const std::string text = scts.substr(0, 4) + "-" + mm + "-" + scts.substr(9, 2) + " " + scts.substr(12, 8);
        if (!db::parseDateTime(text)) return std::nullopt;
        return text;
    }
    return std::nullopt;
}

}  // namespace parlix::engine
