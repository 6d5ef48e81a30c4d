// The contact import's work without its window: the sheet's rows as contacts, and
// their writing in one short transaction.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "platform/db/Connection.h"
#include "platform/workbook/Workbook.h"

namespace parlix::console {

// The number as stored: outer blanks trimmed, every "-" and every blank removed.
std::string CleanMobile(const std::string& raw);

struct ImportContact {
    std::string name, mobile, company;  // mobile already cleaned
    std::uint32_t sheetRow = 0;
};

enum class SheetShape { Ok, NoRecords, TooFewColumns };

// The contacts of a sheet: the heading row (the first row with values) left out when
// `hasHeadings`; wholly empty rows were left out by the reader.
std::vector<ImportContact> ContactsFromSheet(const workbook::Sheet& sheet, bool hasHeadings, SheetShape& shape);

struct ImportCounts {
    std::int64_t imported = 0, duplicates = 0, blankNumbers = 0;
};

// Adds the contacts in one transaction on `c` (rolled back and rethrown on any
// error): rows whose cleaned number is empty count as blank numbers; without
// `allowDuplicates`, numbers already in the address book or earlier in this import
// count as duplicates. With a group, each imported contact also joins it.
ImportCounts ImportContacts(db::Connection& c, const std::vector<ImportContact>& contacts, bool allowDuplicates,
                            const std::optional<std::string>& group);

}  // namespace parlix::console
