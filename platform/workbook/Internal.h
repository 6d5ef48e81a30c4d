// Pieces the workbook readers share; not part of the layer's interface.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "platform/workbook/Workbook.h"

namespace parlix::workbook::detail {

enum class DateKind { None, Date, Time, DateTime };

// Numbers as text: integral values as plain digits ("-0" as "0"), others shortest.
std::string numberText(double v);
// A serial date/time of either date system as "YYYY-MM-DD", "HH:MM:SS" or both.
std::string serialText(double serial, bool date1904, DateKind kind);
// Whether a number format shows a date, a time or both.
DateKind classifyFormat(std::string_view code);
// Built-in number formats (ids below 164) that show dates or times.
DateKind builtinFormatKind(int id);
// "_xHHHH_" escapes of .xlsx text decoded ("_x005F_" is a literal "_").
std::string decodeEscapes(std::string_view text);
// Valid UTF-8 (bad bytes become U+FFFD).
std::string validUtf8(std::string_view text);

// Cell values gathered by a reader before they become rows.
class SheetBuilder {
public:
    explicit SheetBuilder(const Limits& limits) : limits_(limits) {}
    void set(std::uint32_t row, std::uint32_t col, std::string text);  // 0-based
    void formulaWithoutValue(std::uint32_t row) { formulaRows_.push_back(row + 1); }
    Sheet finish();

private:
    Row* rowOf(std::uint32_t row);  // 0-based; made when new
    const Limits& limits_;
    std::vector<Row> ordered_;               // rows as they come in rising order (the usual case)
    std::map<std::uint32_t, Row> others_;    // rows that come out of order
    int columns_ = 0;
    std::vector<std::uint32_t> formulaRows_;
};

// Compound files (.xls and encrypted .xlsx): the streams by name.
class CompoundFile {
public:
    explicit CompoundFile(std::string_view bytes);  // throws WorkbookError(Damaged)
    bool has(std::string_view name) const;
    std::string stream(std::string_view name) const;  // "" when absent

private:
    struct Entry {
        std::string name;  // lower-case ASCII
        int type = 0;
        std::uint32_t start = 0;
        std::uint64_t size = 0;
    };
    std::string chain(std::uint32_t start, std::uint64_t size, bool mini) const;
    std::string_view bytes_;
    unsigned sectorSize_ = 512;
    std::vector<std::uint32_t> fat_, miniFat_;
    std::vector<Entry> entries_;
    std::string miniStream_;
};

// A compound file whose one stream is "Workbook" holding `stream`, padded with zeros
// to 4096 bytes so that it lies in ordinary sectors (after the workbook's last EOF
// record, where no reader looks).
std::string compoundFileOf(std::string stream);

bool hasPrefix(std::string_view bytes, std::string_view prefix);
inline constexpr std::string_view kCfbSignature{"\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1", 8};
inline constexpr std::string_view kZipSignature{"PK\x03\x04", 4};

// From the file at `path`, or from `bytes` when `path` is empty.
Sheet readXlsx(const std::string& path, std::string_view bytes, const std::string& sheetName, const Limits& limits);
Sheet readXls(const std::string& path, std::string_view bytes, const std::string& sheetName, const Limits& limits);

}  // namespace parlix::workbook::detail
