// The contact import's work without its window: the sheet's rows as contacts, and
// their writing in short transactions.
#pragma once

#include <chrono>
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

// Why an import stopped. It keeps the cause's text and numbers for the error log,
// what had been committed before the error, and how many of those contacts are still
// there (0 unless taking them out failed too).
class ImportError : public db::DbError {
public:
    ImportError(const std::exception& cause, ImportCounts done, std::int64_t stayed);
    ImportCounts done;
    std::int64_t stayed = 0;
};

// Adds the contacts in short transactions on `c` (each committed once it has lasted
// `budget`, so the engines, which wait 5 s for the lock, get their turns): rows whose
// cleaned number is empty count as blank numbers; without `allowDuplicates`, numbers
// already in the address book or earlier in this import count as duplicates. With a
// group, each imported contact joins it in the same transaction as its row.
// All or nothing: on an error the open transaction is rolled back, and the contacts
// that earlier transactions committed are deleted again with their memberships (by
// their keys, in transactions of the same budget); ImportError then tells the cause.
inline constexpr std::chrono::milliseconds kImportBudget{300};
ImportCounts ImportContacts(db::Connection& c, const std::vector<ImportContact>& contacts, bool allowDuplicates,
                            const std::optional<std::string>& group,
                            std::chrono::milliseconds budget = kImportBudget);

}  // namespace parlix::console
