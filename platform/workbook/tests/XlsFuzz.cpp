// Any bytes as an .xls: our compound-file and BIFF walk, then FreeXL; a WorkbookError
// or a sheet, never a crash or hang.
#include <cstddef>
#include <cstdint>
#include <string>

#include "platform/workbook/Workbook.h"

// FreeXL itself loses a little memory on some files it refuses; that is not ours to find.
extern "C" const char* __lsan_default_suppressions() { return "leak:libfreexl\n"; }

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    parlix::workbook::Limits limits;
    limits.maxRows = 10000;
    limits.maxFileBytes = 1 << 20;
    try {
        std::string bytes = "\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1";
        if (size >= 8 && std::string(reinterpret_cast<const char*>(data), 8) == bytes) bytes.clear();
        bytes.append(reinterpret_cast<const char*>(data), size);
        parlix::workbook::readSheetFromMemory(bytes.data(), bytes.size(), "Sheet1", limits);
    } catch (const parlix::workbook::WorkbookError&) {
    }
    return 0;
}
