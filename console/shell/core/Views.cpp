#include "console/shell/core/Views.h"

namespace parlix::console {

namespace {
void widths(ViewLayout& l, int from, int last, int twips) {
    for (int c = from; c <= last; ++c) l.widthsTwips[c] = twips;
}
void wrap(ViewLayout& l, int from, int last) {
    for (int c = from; c <= last; ++c) l.wordWrap.insert(c);
}
}  // namespace

std::map<int, std::string> SortCaptions(View view) {
    switch (view) {
        case View::Inbox:
            return {{1, "Message"}, {2, "Name"}, {3, "Mobile"}, {4, "Status"}, {6, "DateTime"}, {7, "Modem"}};
        case View::Outbox: return {{2, "Subject"}, {4, "Message"}, {5, "Mobile"}, {6, "Name"}, {7, "Queue On"}};
        case View::Sent:
            return {{2, "Subject"},  {4, "Message"},      {5, "Mobile"},       {6, "Name"},
                    {7, "Queue On"}, {8, "Sent On"},      {9, "Sent Status"},  {10, "Delivered On"},
                    {11, "Delivery Status"}};
        case View::AddressBook:
        case View::Group: return {{1, "Name"}, {2, "Mobile"}, {3, "Company Name"}};
    }
    return {};
}

ViewLayout LayoutOf(View view, int fieldCount) {
    ViewLayout l;
    const int last = fieldCount - 1;
    switch (view) {
        case View::Inbox:
            // Field names as delivered until a header click captions them.
            l.hidden = {0, 5};
            widths(l, 2, last, 1600);
            l.widthsTwips[1] = 7000;
            l.wordWrap = {1};
            l.rowHeightTwips = 900;
            l.dateColumns = {6};
            break;
        case View::Outbox:
            l.hidden = {0, 1, 3, 8, 9, 10, 11, 12, 13};
            l.captions = SortCaptions(view);
            widths(l, 1, last, 1600);
            l.widthsTwips[4] = 3500;  // narrower than the design's 4500: the queue time fits beside it
            wrap(l, 1, last);
            l.rowHeightTwips = 650;
            l.dateColumns = {7};
            break;
        case View::Sent:
            l.hidden = {0, 1, 3, 12, 13};
            l.captions = SortCaptions(view);
            widths(l, 1, last, 1600);
            l.widthsTwips[4] = 5500;  // narrower than the design's 6500: the statuses fit beside it
            l.wordWrap = {4};
            l.rowHeightTwips = 900;
            l.dateColumns = {7, 8, 10};
            // The two statuses beside the message, so a window of the default size shows
            // them; the times follow the names.
            l.order = {0, 1, 2, 3, 4, 9, 11, 5, 6, 7, 8, 10, 12, 13};
            break;
        case View::AddressBook:
        case View::Group:
            l.hidden = view == View::Group ? std::set<int>{0, 4} : std::set<int>{0};
            l.captions = SortCaptions(view);
            widths(l, 0, last, 1800);
            wrap(l, 0, last);
            l.rowHeightTwips = 250;
            break;
    }
    return l;
}

std::map<int, std::string> SortMarks(View view, const std::vector<std::string>& fieldNames, const std::string& sort) {
    std::map<int, std::string> marks;
    for (const auto& [pos, base] : SortCaptions(view)) {
        if (pos >= static_cast<int>(fieldNames.size())) continue;
        const std::string& field = fieldNames[static_cast<size_t>(pos)];
        if (sort == field + " ASC") marks[pos] = base + " (A->Z)";
        else if (sort == field + " DESC") marks[pos] = base + " (Z->A)";
    }
    return marks;
}

std::optional<SortStep> NextSort(View view, int column, const std::string& columnCaption,
                                 const std::string& fieldName, const std::string& currentSort) {
    (void)column;
    for (const auto& [pos, base] : SortCaptions(view)) {
        (void)pos;
        if (columnCaption == base + " (A->Z)" || columnCaption == base + " (Z->A)" || columnCaption == base) {
            if (currentSort == fieldName + " ASC") return SortStep{fieldName + " DESC", base + " (Z->A)"};
            return SortStep{fieldName + " ASC", base + " (A->Z)"};
        }
    }
    return std::nullopt;
}

}  // namespace parlix::console
