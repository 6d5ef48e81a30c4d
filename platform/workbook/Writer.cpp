#include <xlsxwriter.h>

#include <string>

#include "platform/workbook/Internal.h"

namespace parlix::workbook {

struct SheetWriter::Impl {
    lxw_workbook* wb = nullptr;
    lxw_worksheet* ws = nullptr;
    std::string path;
};

namespace {
[[noreturn]] void fail(const std::string& what, lxw_error e) {
    throw WorkbookError(Problem::WriteFailed, what + ": " + lxw_strerror(e));
}
}  // namespace

SheetWriter::SheetWriter(const std::string& path, const std::string& sheetName) : d_(std::make_unique<Impl>()) {
    d_->path = path;
    lxw_workbook_options options = {};
    options.constant_memory = LXW_TRUE;  // rows go to disk as they are written
    d_->wb = workbook_new_opt(path.c_str(), &options);
    if (!d_->wb) throw WorkbookError(Problem::WriteFailed, "cannot create the workbook " + path);
    d_->ws = workbook_add_worksheet(d_->wb, sheetName.c_str());
    if (!d_->ws) throw WorkbookError(Problem::WriteFailed, "cannot add the sheet \"" + sheetName + "\"");
}

SheetWriter::~SheetWriter() {
    // Not closed: free libxlsxwriter's memory without writing a file that looks whole.
    if (d_ && d_->wb) {
        lxw_workbook_free(d_->wb);
        std::remove(d_->path.c_str());
    }
}

void SheetWriter::addRow(const std::vector<std::string>& cells) {
    if (!d_->wb) throw WorkbookError(Problem::WriteFailed, "the workbook is already closed");
    if (rows_ >= kMaxRows)
        throw WorkbookError(Problem::TooLarge, "a sheet holds at most " + std::to_string(kMaxRows) + " rows");
    if (cells.size() > LXW_COL_MAX) throw WorkbookError(Problem::TooLarge, "a sheet holds at most 16384 columns");
    for (std::size_t c = 0; c < cells.size(); ++c) {
        if (cells[c].empty()) continue;  // an empty string cell reads back as an empty cell anyway
        bool cut = false;
        const std::string text = cellTextForXlsx(cells[c], &cut);
        if (cut) ++cellsCut_;
        const lxw_error e = worksheet_write_string(d_->ws, rows_, static_cast<lxw_col_t>(c), text.c_str(), nullptr);
        if (e != LXW_NO_ERROR) fail("cannot write row " + std::to_string(rows_ + 1), e);
    }
    ++rows_;
}

void SheetWriter::close() {
    if (!d_->wb) return;
    lxw_workbook* wb = d_->wb;
    d_->wb = nullptr;
    const lxw_error e = workbook_close(wb);  // frees the workbook whatever the result
    if (e != LXW_NO_ERROR) fail("cannot save " + d_->path, e);
}

}  // namespace parlix::workbook
