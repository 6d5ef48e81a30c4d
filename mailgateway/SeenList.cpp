#include "mailgateway/SeenList.h"

#include "platform/clock/Clock.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <ctime>
#include <unordered_set>

namespace parlix::gateway {

namespace {
// The first entry of the list in this form. It holds blanks, which no POP3 identifier
// does (printable characters only), so it never reads as an identifier.
constexpr const char* kHeader = "Parlix seen list 2";
constexpr const char* kMailbox = "mailbox\t";

std::string DayText(int day) {
    const std::chrono::year_month_day ymd{std::chrono::sys_days{std::chrono::days{day}}};
    char text[16];
    std::snprintf(text, sizeof text, "%04d-%02u-%02u", static_cast<int>(ymd.year()),
                  static_cast<unsigned>(ymd.month()), static_cast<unsigned>(ymd.day()));
    return text;
}

bool DayOf(const std::string& text, int& day) {
    int y = 0;
    unsigned m = 0, d = 0;
    char end = 0;
    if (std::sscanf(text.c_str(), "%4d-%2u-%2u%c", &y, &m, &d, &end) != 3) return false;
    const std::chrono::year_month_day ymd{std::chrono::year{y}, std::chrono::month{m}, std::chrono::day{d}};
    if (!ymd.ok()) return false;
    day = static_cast<int>(std::chrono::sys_days{ymd}.time_since_epoch().count());
    return true;
}
}  // namespace

int SeenList::Today() {
    const std::time_t now = std::chrono::system_clock::to_time_t(clock::now());
    std::tm local{};
    localtime_r(&now, &local);
    const std::chrono::year_month_day ymd{std::chrono::year{local.tm_year + 1900},
                                          std::chrono::month{static_cast<unsigned>(local.tm_mon + 1)},
                                          std::chrono::day{static_cast<unsigned>(local.tm_mday)}};
    return static_cast<int>(std::chrono::sys_days{ymd}.time_since_epoch().count());
}

void SeenList::Merge(const std::vector<std::string>& entries, const std::string& mailbox, int today) {
    const auto keep = [this](const std::string& box, const std::string& uidl, int day) {
        auto [it, added] = boxes_[box].try_emplace(uidl, day);
        if (!added) it->second = std::max(it->second, day);
    };
    if (entries.empty() || entries.front() != kHeader) {
        for (const auto& uidl : entries)
            if (!uidl.empty()) keep(mailbox, uidl, today);
        return;
    }
    std::string box = mailbox;
    for (std::size_t i = 1; i < entries.size(); ++i) {
        const std::string& e = entries[i];
        if (e.starts_with(kMailbox)) {
            box = e.substr(std::char_traits<char>::length(kMailbox));
            continue;
        }
        const auto tab = e.rfind('\t');
        int day = today;
        if (tab == std::string::npos || tab == 0 || !DayOf(e.substr(tab + 1), day)) {
            // A line written by hand without its day still counts as seen.
            if (!e.empty()) keep(box, e, today);
            continue;
        }
        keep(box, e.substr(0, tab), day);
    }
}

std::vector<std::string> SeenList::Entries() const {
    std::vector<std::string> boxes;
    for (const auto& [box, ids] : boxes_)
        if (!ids.empty()) boxes.push_back(box);
    std::sort(boxes.begin(), boxes.end());
    std::vector<std::string> out{kHeader};
    for (const auto& box : boxes) {
        out.push_back(kMailbox + box);
        // The day text is cached: a large list has a few days only.
        int lastDay = 0;
        std::string lastText;
        for (const auto& [uidl, day] : boxes_.at(box)) {
            if (lastText.empty() || day != lastDay) {
                lastDay = day;
                lastText = DayText(day);
            }
            out.push_back(uidl + "\t" + lastText);
        }
    }
    return out;
}

bool SeenList::Contains(const std::string& mailbox, const std::string& uidl) const {
    const auto box = boxes_.find(mailbox);
    return box != boxes_.end() && box->second.contains(uidl);
}

bool SeenList::Listed(const std::string& mailbox, const std::vector<std::string>& uidls, int today) {
    const auto box = boxes_.find(mailbox);
    if (box == boxes_.end()) return false;
    auto& ids = box->second;
    bool changed = false;
    for (const auto& uidl : uidls)
        if (const auto it = ids.find(uidl); it != ids.end() && it->second != today) {
            it->second = today;
            changed = true;
        }
    // Whatever is older now was not in this listing.
    changed |= std::erase_if(ids, [today](const auto& id) { return today - id.second > kForgetAfterDays; }) > 0;
    return changed;
}

void SeenList::Add(const std::string& mailbox, const std::string& uidl, int today) { boxes_[mailbox][uidl] = today; }

std::size_t SeenList::Count(const std::string& mailbox) const {
    const auto box = boxes_.find(mailbox);
    return box == boxes_.end() ? 0 : box->second.size();
}

}  // namespace parlix::gateway
