// parlix::workbook - reading one sheet of a workbook as rows of text cells, and
// writing one sheet of text cells.
//
//   Sheet s = readSheet("/home/ops/contacts.xlsx");   // sheet "Sheet1", any case
//   for (const Row& r : s.rows) use(r.number, r.cells);
//
//   SheetWriter w("/home/ops/out.xlsx");               // constant memory
//   w.addRow({"Name", "Mobile"});  ...  w.close();
//
// Reading
// - The format is told by the file's content, not its name: the compound-file
//   signature means .xls (BIFF5/BIFF8, read with FreeXL), the zip signature .xlsx
//   (read with libzip and pugixml).
// - Cells become text: integral numbers as plain digits (60123456789), other numbers
//   in their shortest exact form; dates and times by their format as "YYYY-MM-DD",
//   "YYYY-MM-DD HH:MM:SS" or "HH:MM:SS"; booleans "TRUE"/"FALSE"; error cells "";
//   formulas their stored value. Wholly empty rows are left out; row numbers are the
//   sheet's own (1-based).
// - Failures are WorkbookError with a Problem telling why, never a partial sheet.
//
// Writing
// - Every cell a string cell, written as given: text is made valid UTF-8 (bad bytes
//   become U+FFFD) and a literal "_xHHHH_" is escaped so it reads back as itself. A
//   text longer than a cell holds (32,767 characters) is cut to that and counted.
// - Rows beyond the format's 1,048,576 are refused (TooLarge) before anything is cut.
#pragma once

#include <cstdint>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

namespace parlix::workbook {

enum class Problem {
    NotWorkbook,          // neither .xls nor .xlsx (text, HTML, empty file ...)
    Damaged,              // truncated or corrupt
    PasswordProtected,    // encrypted or password-protected
    NoSheet,              // no sheet of the asked name
    TooLarge,             // beyond the size, row or column limits
    FormulaWithoutValue,  // formula cells whose value was never stored
    WriteFailed,          // the workbook could not be written
};

class WorkbookError : public std::runtime_error {
public:
    WorkbookError(Problem p, const std::string& what, std::vector<std::uint32_t> rows = {})
        : std::runtime_error(what), problem_(p), rows_(std::move(rows)) {}
    Problem problem() const { return problem_; }
    // FormulaWithoutValue: the sheet rows (1-based) that hold such cells.
    const std::vector<std::uint32_t>& rows() const { return rows_; }

private:
    Problem problem_;
    std::vector<std::uint32_t> rows_;
};

enum class Format { Unknown, Xls, Xlsx };

struct Row {
    std::uint32_t number = 0;        // 1-based row of the sheet
    std::vector<std::string> cells;  // from column A; trailing empty cells dropped
};

struct Sheet {
    std::vector<Row> rows;
    int columns = 0;  // 1 + the last column that holds a value anywhere
};

struct Limits {
    std::uint32_t maxRows = 1048576;                 // rows with values
    int maxColumns = 256;                            // columns kept (later ones are counted, not kept)
    std::uint64_t maxPartBytes = 512ull << 20;       // uncompressed size of one .xlsx part
    std::uint64_t maxTotalBytes = 1024ull << 20;     // uncompressed size of all parts read
    std::uint64_t maxFileBytes = 512ull << 20;       // size of an .xls file
};

// The format by the first bytes of the file (Unknown when it cannot be read).
Format detectFormat(const std::string& path);

// Reads sheet `sheetName` (compared without regard to case).
Sheet readSheet(const std::string& path, const std::string& sheetName = "Sheet1", const Limits& limits = {});
// The same for workbook bytes in memory (.xlsx and .xls).
Sheet readSheetFromMemory(const void* data, std::size_t size, const std::string& sheetName = "Sheet1",
                          const Limits& limits = {});

// Writes one sheet of string cells to a new .xlsx file (constant memory: rows go to
// disk as they are added). Errors throw WorkbookError(WriteFailed or TooLarge); a
// writer that is destroyed without close() leaves its file unfinished.
class SheetWriter {
public:
    static constexpr std::uint32_t kMaxRows = 1048576;

    explicit SheetWriter(const std::string& path, const std::string& sheetName = "Sheet1");
    ~SheetWriter();
    SheetWriter(const SheetWriter&) = delete;
    SheetWriter& operator=(const SheetWriter&) = delete;

    // A text longer than a cell holds is written cut to kMaxCellChars and counted.
    void addRow(const std::vector<std::string>& cells);
    void close();
    std::uint32_t rowsWritten() const { return rows_; }
    std::uint64_t cellsCut() const { return cellsCut_; }

private:
    struct Impl;
    std::unique_ptr<Impl> d_;
    std::uint32_t rows_ = 0;
    std::uint64_t cellsCut_ = 0;
};

// The most characters a cell holds (UTF-16 units, as spreadsheet programs count them).
inline constexpr std::size_t kMaxCellChars = 32767;

// The text as it must be handed to the .xlsx writer so that it reads back unchanged:
// valid UTF-8, literal "_xHHHH_" escaped as "_x005F_xHHHH_". A longer text than a cell
// holds is cut to kMaxCellChars (never inside a character) and `cut` set.
std::string cellTextForXlsx(const std::string& text, bool* cut = nullptr);

}  // namespace parlix::workbook
