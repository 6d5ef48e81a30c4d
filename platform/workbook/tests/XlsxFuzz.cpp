// Any bytes as an .xlsx: a WorkbookError or a sheet, never a crash, hang or huge allocation.
#include <cstddef>
#include <cstdint>

#include "platform/workbook/Workbook.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    parlix::workbook::Limits limits;
    limits.maxPartBytes = 4 << 20;
    limits.maxTotalBytes = 8 << 20;
    limits.maxRows = 10000;
    try {
        // Keep the zip signature so the bytes reach the .xlsx reader.
        std::string bytes = "PK\x03\x04";
        if (size >= 4 && data[0] == 'P' && data[1] == 'K') bytes.clear();
        bytes.append(reinterpret_cast<const char*>(data), size);
        parlix::workbook::readSheetFromMemory(bytes.data(), bytes.size(), "Sheet1", limits);
    } catch (const parlix::workbook::WorkbookError&) {
    }
    return 0;
}
