#include "console/shell/core/FolderFilters.h"

#include <cctype>
#include <cstdio>
#include <vector>

namespace parlix::console {

namespace {

bool leapYear(int y) { return (y % 4 == 0 && y % 100 != 0) || y % 400 == 0; }

int daysIn(int y, int m) {
    static const int days[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    return m == 2 && leapYear(y) ? 29 : days[m - 1];
}

std::string ymd(int y, int m, int d) {
    char buf[48];
    std::snprintf(buf, sizeof buf, "%04d-%02d-%02d", y, m, d);
    return buf;
}

// Splits "a-b-c" / "a/b/c" (one kind of separator) into three runs of digits.
bool threeNumbers(const std::string& text, std::vector<std::string>& parts) {
    parts.assign(1, "");
    char sep = 0;
    for (char c : text) {
        if (std::isdigit(static_cast<unsigned char>(c))) {
            parts.back() += c;
        } else if ((c == '-' || c == '/') && (sep == 0 || sep == c)) {
            sep = c;
            parts.emplace_back();
        } else {
            return false;
        }
    }
    if (parts.size() != 3) return false;
    for (const auto& p : parts)
        if (p.empty()) return false;
    return true;
}

}  // namespace

std::optional<std::string> ParseFilterDate(const std::string& raw) {
    std::string text = raw;
    while (!text.empty() && std::isspace(static_cast<unsigned char>(text.back()))) text.pop_back();
    while (!text.empty() && std::isspace(static_cast<unsigned char>(text.front()))) text.erase(text.begin());
    std::vector<std::string> p;
    if (!threeNumbers(text, p)) return std::nullopt;
    if (p[0].size() > 2 || p[1].size() > 2 || (p[2].size() != 2 && p[2].size() != 4)) return std::nullopt;
    const int d = std::stoi(p[0]), m = std::stoi(p[1]);
    int y = std::stoi(p[2]);
    if (p[2].size() == 2) y += 2000;
    if (y < 1 || m < 1 || m > 12 || d < 1 || d > daysIn(y, m)) return std::nullopt;
    return ymd(y, m, d);
}

std::string NextDay(const std::string& day) {
    int y = 0, m = 0, d = 0;
    if (std::sscanf(day.c_str(), "%4d-%2d-%2d", &y, &m, &d) != 3 || m < 1 || m > 12) return day;
    if (++d > daysIn(y, m)) {
        d = 1;
        if (++m > 12) {
            m = 1;
            ++y;
        }
    }
    return ymd(y, m, d);
}

const char* DateColumn(Folder folder) {
    switch (folder) {
        case Folder::Inbox: return "DateTime";
        case Folder::Outbox: return "DateTimeQueue";
        case Folder::Sent: return "DateTimeSent";
    }
    return "DateTime";
}

db::Criteria DateRangeCriteria(Folder folder, const std::string& start, const std::string& endExclusive) {
    const std::string column = DateColumn(folder);
    return db::Criteria::greaterOrEqual(column, start + " 00:00:00") &&
           db::Criteria::less(column, endExclusive + " 00:00:00");
}

db::Criteria TextCriteria(const std::string& column, const std::string& text) {
    return db::Criteria::contains(column, text);
}

std::optional<std::string> InboxStatusWord(const std::string& a) {
    if (a == "r" || a == "R") return std::string("Read");
    if (a == "n" || a == "N") return std::string("New");
    return std::nullopt;
}

bool IsOutboxStatusLetter(const std::string& a) { return a == "p" || a == "P" || a == "r" || a == "R"; }

db::Criteria OutboxStatusCriteria(const std::string& letter) {
    std::string capital = letter;
    for (char& c : capital) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return db::Criteria::equals("SentStatus", capital);
}

bool IsModemNumber(const std::string& a) { return a == "1" || a == "2" || a == "3"; }

db::Criteria ModemCriteria(const std::string& number) {
    return db::Criteria::equals("Modem", static_cast<std::int64_t>(std::stoi(number)));
}

db::Criteria SentStatusCriteria(int option) {
    using C = db::Criteria;
    switch (option) {
        case 0: return C::equals("SentStatus", "S");
        case 1: return C::equals("SentStatus", "F");
        case 2: return C::equals("DeliveryStatus", "D");
        case 3: return C::equals("SentStatus", "S") && C::equals("DeliveryStatus", "F");
        case 4: return C::equals("SentStatus", "S") && C::equals("DeliveryStatus", "U");
        default: return C::equals("SentStatus", "D");
    }
}

}  // namespace parlix::console
