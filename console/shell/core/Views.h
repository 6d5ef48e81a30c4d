// The record sets of the main window and the shape of each view of its grid: hidden
// columns, captions, widths, word wrap and row heights (window-less).
#pragma once

#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "database/Schema.h"

namespace parlix::console {

// The record sets' statements. The Inbox shows "New" before "Read": SQLite
// sorts a true comparison (1) after false (0), hence DESC. The folders name their
// statuses with IN, the form the folders' partial indexes serve.
inline constexpr const char* kAddressBookSql = "SELECT * FROM AddressBook";
inline constexpr const char* kInboxSql = "SELECT * FROM Inbox ORDER BY Status = 'New' DESC, DateTime DESC";
inline constexpr const char* kOutboxSql = schema::kOutboxViewSql;
inline constexpr const char* kSentSql = schema::kSentViewSql;
inline constexpr const char* kDuplicateSql = "SELECT * FROM Outbox WHERE SentStatus = 'D'";
inline constexpr const char* kFailedSql = "SELECT * FROM Outbox WHERE SentStatus = 'F'";
inline constexpr const char* kGroupNamesSql = "SELECT DISTINCT GroupName FROM Groups";
// Members of one group; ? = the group name (bound; the column compares without
// trailing blanks).
inline constexpr const char* kGroupMembersSql =
    "SELECT AddressBook.ContactID, AddressBook.Name, AddressBook.Mobile, AddressBook.CompanyName, "
    "Groups.GroupName FROM AddressBook, Groups WHERE AddressBook.ContactID = Groups.ContactID "
    "AND Groups.GroupName = ?";

enum class View { Inbox, Outbox, Sent, AddressBook, Group };

struct ViewLayout {
    std::set<int> hidden;
    std::map<int, std::string> captions;  // position -> caption (others keep the field name)
    std::map<int, int> widthsTwips;       // position -> width
    std::set<int> wordWrap;
    int rowHeightTwips = 0;
    std::set<int> dateColumns;  // at least as wide as a whole date-time (DateText.h)
    std::vector<int> order;     // the columns as the grid shows them, left to right; empty: table order
};

// The layout of a view over a record set of `fieldCount` fields.
ViewLayout LayoutOf(View view, int fieldCount);

// Base captions a header click cycles through, by column position.
std::map<int, std::string> SortCaptions(View view);

// One header click: the next sort and the column's caption. nullopt when the clicked
// column's caption is none of the view's sortable captions.
struct SortStep {
    std::string sort;     // "Field ASC" / "Field DESC"
    std::string caption;  // "Queue On (A->Z)" / "Queue On (Z->A)"
};
std::optional<SortStep> NextSort(View view, int column, const std::string& columnCaption,
                                 const std::string& fieldName, const std::string& currentSort);

// The captions with a sort mark for the columns `sort` ("Field ASC" / "Field DESC", as
// NextSort sets it) sorts on; `fieldNames` are the set's fields by position.
std::map<int, std::string> SortMarks(View view, const std::vector<std::string>& fieldNames, const std::string& sort);

// Twips to pixels at the desktop's 96 dots per inch.
inline int TwipsToPixels(int twips) { return (twips + 7) / 15; }

}  // namespace parlix::console
