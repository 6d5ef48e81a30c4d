// The export's work without its window: what each mode exports, and writing a record
// set to a workbook so that a failure never costs the file that was there.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "platform/db/Recordset.h"

namespace parlix::console {

enum class ExportMode { Received, Sent, Contacts };

struct ExportSource {
    const char* sql;
    const char* title;
};
ExportSource ExportSourceOf(ExportMode mode);

// The target as written: a name without extension gets ".xlsx", and one ending in
// ".xls" (any case) has it replaced, since the contents are .xlsx.
std::string ExportTarget(const std::string& typed);

// The records of an export as one snapshot of the table: the mode's live record set on
// a connection of the export's own to `shared`'s database, inside one read transaction
// for as long as this lives, so rows that the engines change meanwhile never appear
// half-changed. Reading holds no lock that a writer waits for (the database is in WAL
// mode). Throws db::DbError when the database cannot be opened.
class ExportSnapshot {
public:
    ExportSnapshot(const db::Connection& shared, ExportMode mode);
    ~ExportSnapshot();
    ExportSnapshot(const ExportSnapshot&) = delete;
    ExportSnapshot& operator=(const ExportSnapshot&) = delete;
    db::Recordset& records() { return rs_; }

private:
    db::Connection db_;
    db::Recordset rs_;
};

// Rows a sheet can hold (the heading row included).
inline constexpr std::int64_t kMaxSheetRows = 1048576;

// Writes every record of `rs` from its current position on, fields 1 to the last
// (field 0, the key, is never exported), each value's text as it is; with
// `headings` the field names first. The workbook is written beside `target` and
// renamed over it only when complete. `progress` is told the rows written so far.
// A value longer than a cell holds is written cut to fit; `cellsCut` gets how many.
// Throws parlix::workbook::WorkbookError or std::runtime_error.
std::int64_t WriteExport(db::Recordset& rs, bool headings, const std::string& target,
                         const std::function<void(std::int64_t)>& progress = {},
                         std::uint64_t* cellsCut = nullptr);

}  // namespace parlix::console
