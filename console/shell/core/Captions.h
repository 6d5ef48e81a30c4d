// View captions of the main window's grid, built from the filter and search state
// (window-less, so every case is checked without a window).
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace parlix::console {

// The filter and search values the captions show. Dates are "YYYY-MM-DD"; the end
// date is the exclusive upper bound (the last day included plus one).
struct FilterState {
    std::string FilterStartDate, FilterEndDate, FilterModem, FilterMobile, FilterMessage, FilterName,
        FilterStatus, FilterSubject;
    std::string SentItemsFilterCaption;  // words of the Sent Items status filter ("Sent", "Failed", ...)
    std::string SearchCompany, SearchMobile, SearchName;
};

// Row counts of the views (64-bit: a view may hold millions of rows).
struct ViewCounts {
    std::int64_t InboxTotal = 0, OutboxTotal = 0, SentTotal = 0, AddressBookTotal = 0, GroupTotal = 0;
    std::int64_t ShownCount = 0;
};

// The filter kinds in the order the captions test the ticked menu items.
enum class FilterKind { Message, DateTime, Mobile, Modem, Name, Status, Subject };
enum class SearchKind { Company, Name, Mobile };

enum class Folder { Inbox, Outbox, Sent };

// "Inbox (n records)" and the like.
std::string FolderCaption(Folder folder, std::int64_t total);
std::string AddressBookCaption(std::int64_t total);
std::string GroupCaption(const std::string& group, std::int64_t total);

// Turns a "YYYY-MM-DD" day into the text the user reads (the locale's short date);
// empty shows the day as stored.
using DateText = std::function<std::string(const std::string& isoDay)>;

// The caption of a filtered folder by the first ticked kind in the captions' order;
// nullopt-like empty text when nothing ticked applies (the caption stays as it was),
// except Sent Items, whose plain "Filtered Sent Items (k of n records)" covers that case.
std::string FilteredFolderCaption(Folder folder, const std::vector<FilterKind>& ticked, const FilterState& state,
                                  std::int64_t shown, std::int64_t total, const DateText& showDate = {});
std::string SearchedAddressBookCaption(const std::vector<SearchKind>& ticked, const FilterState& state,
                                       std::int64_t shown, std::int64_t total);

// The last day a date filter includes, shown in the caption: exclusive end minus one day.
std::string LastIncludedDay(const std::string& exclusiveEnd);

}  // namespace parlix::console
