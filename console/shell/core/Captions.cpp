#include "console/shell/core/Captions.h"

#include <algorithm>
#include <ctime>

namespace parlix::console {

namespace {
std::string counts(std::int64_t shown, std::int64_t total) {
    return " (" + std::to_string(shown) + " of " + std::to_string(total) + " records)";
}
bool has(const std::vector<FilterKind>& v, FilterKind k) { return std::find(v.begin(), v.end(), k) != v.end(); }
}  // namespace

std::string FolderCaption(Folder folder, std::int64_t total) {
    const char* name = folder == Folder::Inbox ? "Inbox" : folder == Folder::Outbox ? "Outbox" : "Sent Items";
    return std::string(name) + " (" + std::to_string(total) + " records)";
}

std::string AddressBookCaption(std::int64_t total) { return "Address Book (" + std::to_string(total) + " records)"; }

std::string GroupCaption(const std::string& group, std::int64_t total) {
    return "Address Book (" + std::to_string(total) + " contacts in group " + group + ")";
}

std::string LastIncludedDay(const std::string& exclusiveEnd) {
    std::tm t{};
    if (exclusiveEnd.size() < 10 || std::sscanf(exclusiveEnd.c_str(), "%4d-%2d-%2d", &t.tm_year, &t.tm_mon, &t.tm_mday) != 3)
        return exclusiveEnd;
    t.tm_year -= 1900;
    t.tm_mon -= 1;
    t.tm_mday -= 1;  // mktime normalises the day before the 1st
    t.tm_hour = 12;
    t.tm_isdst = -1;
    if (std::mktime(&t) == -1) return exclusiveEnd;
    char buf[16];
    std::strftime(buf, sizeof buf, "%Y-%m-%d", &t);
    return buf;
}

std::string FilteredFolderCaption(Folder folder, const std::vector<FilterKind>& ticked, const FilterState& s,
                                  std::int64_t shown, std::int64_t total, const DateText& showDate) {
    const std::string head = folder == Folder::Inbox    ? "Filtered Inbox by "
                             : folder == Folder::Outbox ? "Filtered Outbox by "
                                                        : "Filtered Sent Items by ";
    const std::string tail = counts(shown, total);
    if (has(ticked, FilterKind::Message)) return head + "Message = " + s.FilterMessage + tail;
    if (has(ticked, FilterKind::DateTime)) {
        auto day = [&](const std::string& iso) { return showDate ? showDate(iso) : iso; };
        return head + "Date Time from " + day(s.FilterStartDate) + " to " + day(LastIncludedDay(s.FilterEndDate)) + tail;
    }
    if (has(ticked, FilterKind::Mobile)) return head + "Mobile = " + s.FilterMobile + tail;
    if (has(ticked, FilterKind::Modem)) return head + "Modem = " + s.FilterModem + tail;
    if (has(ticked, FilterKind::Name)) return head + "Name = " + s.FilterName + tail;
    if (has(ticked, FilterKind::Status)) {
        if (folder == Folder::Inbox) return head + "Status = " + s.FilterStatus + tail;
        if (folder == Folder::Outbox)
            return head + "Status = " + (s.FilterStatus == "P" || s.FilterStatus == "p" ? "Pending" : "Resent") + tail;
        return head + "Sent Status = " + s.SentItemsFilterCaption + tail;
    }
    if (folder != Folder::Inbox && has(ticked, FilterKind::Subject)) return head + "Subject = " + s.FilterSubject + tail;
    if (folder == Folder::Sent) return "Filtered Sent Items" + tail;
    return "";
}

std::string SearchedAddressBookCaption(const std::vector<SearchKind>& ticked, const FilterState& s, std::int64_t shown,
                                       std::int64_t total) {
    auto on = [&](SearchKind k) { return std::find(ticked.begin(), ticked.end(), k) != ticked.end(); };
    if (on(SearchKind::Company)) return "Searched Address Book by Company Name = " + s.SearchCompany + counts(shown, total);
    if (on(SearchKind::Name)) return "Searched Address Book by Name = " + s.SearchName + counts(shown, total);
    if (on(SearchKind::Mobile)) return "Searched Address Book by Mobile = " + s.SearchMobile + counts(shown, total);
    return "";
}

}  // namespace parlix::console
