#include <algorithm>
#include <cctype>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "platform/text/Text.h"
#include "platform/workbook/Internal.h"

namespace parlix::workbook {
namespace detail {

std::string numberText(double v) {
    if (!std::isfinite(v)) return "";
    if (v == 0) return "0";
    char buf[64];
    if (std::floor(v) == v && std::fabs(v) < 1e21) {
        std::snprintf(buf, sizeof buf, "%.0f", v);
        return buf;
    }
    auto r = std::to_chars(buf, buf + sizeof buf, v);
    return std::string(buf, r.ptr);
}

namespace {

// Days since 1970-01-01 to a civil date (proleptic Gregorian).
void civilFromDays(long long z, int& y, unsigned& m, unsigned& d) {
    z += 719468;
    const long long era = (z >= 0 ? z : z - 146096) / 146097;
    const unsigned doe = static_cast<unsigned>(z - era * 146097);
    const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const unsigned mp = (5 * doy + 2) / 153;
    d = doy - (153 * mp + 2) / 5 + 1;
    m = mp < 10 ? mp + 3 : mp - 9;
    y = static_cast<int>(yoe + era * 400) + (m <= 2);
}

}  // namespace

std::string serialText(double serial, bool date1904, DateKind kind) {
    // Outside Excel's calendar (before its epoch, after 9999-12-31) there is no date.
    if (!std::isfinite(serial) || serial < 0 || serial >= 2958466) return numberText(serial);
    const long long total = std::llround(serial * 86400.0);
    long long days = total / 86400;
    const long long secs = total % 86400;  // a time that rounds up to midnight rolls over
    long long epochDays;
    if (date1904)
        epochDays = -24107 + days;  // 1904-01-01
    else
        epochDays = (days < 60 ? -25568 : -25569) + days;  // Excel counts a 29 February 1900
    char buf[72];
    char date[32], time[32];
    int y;
    unsigned m, d;
    civilFromDays(epochDays, y, m, d);
    if (!date1904 && days == 60)
        std::snprintf(date, sizeof date, "1900-02-29");  // the day Excel counts that the calendar has not
    else
        std::snprintf(date, sizeof date, "%04d-%02u-%02u", y, m, d);
    std::snprintf(time, sizeof time, "%02lld:%02lld:%02lld", secs / 3600, secs / 60 % 60, secs % 60);
    switch (kind) {
    case DateKind::Date: return date;
    case DateKind::Time: return time;
    case DateKind::DateTime: std::snprintf(buf, sizeof buf, "%s %s", date, time); return buf;
    case DateKind::None: break;
    }
    return numberText(serial);
}

DateKind classifyFormat(std::string_view code) {
    std::string s;
    bool elapsed = false;
    for (std::size_t i = 0; i < code.size(); ++i) {
        const char c = code[i];
        if (c == ';') break;  // the first section decides
        if (c == '"') {
            const auto end = code.find('"', i + 1);
            if (end == std::string_view::npos) break;
            i = end;
        } else if (c == '\\' || c == '_' || c == '*') {
            ++i;
        } else if (c == '[') {
            const auto end = code.find(']', i + 1);
            if (end == std::string_view::npos) break;
            std::string inner(code.substr(i + 1, end - i - 1));
            std::transform(inner.begin(), inner.end(), inner.begin(), [](unsigned char ch) { return std::tolower(ch); });
            if (!inner.empty() && inner.find_first_not_of(inner[0]) == std::string::npos &&
                (inner[0] == 'h' || inner[0] == 'm' || inner[0] == 's'))
                elapsed = true;
            i = end;
        } else {
            s += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        }
    }
    const bool ampm = s.find("am/pm") != std::string::npos || s.find("a/p") != std::string::npos;
    const bool hasDate = s.find_first_of("yd") != std::string::npos;
    const bool hasTime = elapsed || ampm || s.find_first_of("hs") != std::string::npos;
    if (hasDate && hasTime) return DateKind::DateTime;
    if (hasDate) return DateKind::Date;
    if (hasTime) return DateKind::Time;
    if (s.find('m') != std::string::npos) return DateKind::Date;  // "mmm", "mmmm"
    return DateKind::None;
}

DateKind builtinFormatKind(int id) {
    if ((id >= 14 && id <= 17) || (id >= 27 && id <= 36) || (id >= 50 && id <= 58)) return DateKind::Date;
    if ((id >= 18 && id <= 21) || (id >= 45 && id <= 47)) return DateKind::Time;
    if (id == 22) return DateKind::DateTime;
    return DateKind::None;
}

namespace {
int hexValue(char16_t c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}
bool isEscape(std::u16string_view s, std::size_t i) {
    if (i + 7 > s.size() || s[i] != '_' || s[i + 1] != 'x' || s[i + 6] != '_') return false;
    for (std::size_t k = 2; k < 6; ++k)
        if (hexValue(s[i + k]) < 0) return false;
    return true;
}
}  // namespace

std::string decodeEscapes(std::string_view text) {
    if (text.find("_x") == std::string_view::npos) return std::string(text);
    const std::u16string in = parlix::text::toUtf16(text);
    std::u16string out;
    out.reserve(in.size());
    for (std::size_t i = 0; i < in.size();) {
        if (isEscape(in, i)) {
            char16_t unit = 0;
            for (std::size_t k = 2; k < 6; ++k) unit = static_cast<char16_t>(unit * 16 + hexValue(in[i + k]));
            out += unit;
            i += 7;
        } else {
            out += in[i++];
        }
    }
    return parlix::text::toUtf8(out);
}

std::string validUtf8(std::string_view text) {
    // Plain ASCII is valid as it stands; only other texts take the round trip.
    if (std::all_of(text.begin(), text.end(), [](char c) { return static_cast<unsigned char>(c) < 0x80; }))
        return std::string(text);
    return parlix::text::toUtf8(parlix::text::toUtf16(text));
}

bool hasPrefix(std::string_view bytes, std::string_view prefix) {
    return bytes.size() >= prefix.size() && bytes.substr(0, prefix.size()) == prefix;
}

Row* SheetBuilder::rowOf(std::uint32_t row) {
    const std::uint32_t number = row + 1;
    if (!ordered_.empty() && ordered_.back().number == number) return &ordered_.back();
    const bool inOrder = ordered_.empty() || ordered_.back().number < number;
    if (!inOrder) {
        const auto it = std::lower_bound(ordered_.begin(), ordered_.end(), number,
                                         [](const Row& r, std::uint32_t n) { return r.number < n; });
        if (it != ordered_.end() && it->number == number) return &*it;
        if (const auto o = others_.find(row); o != others_.end()) return &o->second;
    }
    if (ordered_.size() + others_.size() >= limits_.maxRows)
        throw WorkbookError(Problem::TooLarge, "the sheet has more than " + std::to_string(limits_.maxRows) + " rows");
    // Room for as many cells as the row before holds: one allocation, no regrowth.
    Row fresh{number, {}};
    if (!ordered_.empty()) fresh.cells.reserve(ordered_.back().cells.size());
    Row* made = inOrder ? &ordered_.emplace_back(std::move(fresh)) : &others_.emplace(row, std::move(fresh)).first->second;
    return made;
}

void SheetBuilder::set(std::uint32_t row, std::uint32_t col, std::string text) {
    if (text.empty()) return;
    columns_ = std::max(columns_, static_cast<int>(std::min<std::uint32_t>(col, 1u << 20)) + 1);
    Row* r = rowOf(row);
    if (col >= static_cast<std::uint32_t>(limits_.maxColumns)) return;
    auto& cells = r->cells;
    if (cells.size() <= col) cells.resize(col + 1);
    cells[col] = std::move(text);
}

Sheet SheetBuilder::finish() {
    if (!formulaRows_.empty()) {
        std::sort(formulaRows_.begin(), formulaRows_.end());
        formulaRows_.erase(std::unique(formulaRows_.begin(), formulaRows_.end()), formulaRows_.end());
        throw WorkbookError(Problem::FormulaWithoutValue, "formula cells without a stored value",
                            std::move(formulaRows_));
    }
    Sheet s;
    s.columns = columns_;
    if (others_.empty()) {
        s.rows = std::move(ordered_);
    } else {
        s.rows.reserve(ordered_.size() + others_.size());
        auto o = others_.begin();
        for (auto& r : ordered_) {
            for (; o != others_.end() && o->second.number < r.number; ++o) s.rows.push_back(std::move(o->second));
            s.rows.push_back(std::move(r));
        }
        for (; o != others_.end(); ++o) s.rows.push_back(std::move(o->second));
    }
    ordered_.clear();
    others_.clear();
    return s;
}

}  // namespace detail

using namespace detail;

namespace {

std::string readFile(const std::string& path, const Limits& limits) {
    std::error_code ec;
    if (!std::filesystem::is_regular_file(path, ec)) throw WorkbookError(Problem::NotWorkbook, "no file " + path);
    std::ifstream in(path, std::ios::binary);
    if (!in) throw WorkbookError(Problem::NotWorkbook, "cannot open " + path);
    in.seekg(0, std::ios::end);
    const auto size = static_cast<std::uint64_t>(in.tellg());
    if (size > limits.maxFileBytes) throw WorkbookError(Problem::TooLarge, "the file is too large");
    in.seekg(0);
    std::string bytes(size, '\0');
    if (!in.read(bytes.data(), static_cast<std::streamsize>(size)))
        throw WorkbookError(Problem::Damaged, "cannot read " + path);
    return bytes;
}

Format formatOf(std::string_view bytes) {
    if (hasPrefix(bytes, kCfbSignature)) return Format::Xls;
    if (hasPrefix(bytes, kZipSignature)) return Format::Xlsx;
    return Format::Unknown;
}

Sheet readBytes(const std::string& path, std::string_view bytes, const std::string& sheetName,
                const Limits& limits) {
    switch (formatOf(bytes)) {
    case Format::Xlsx: return readXlsx("", bytes, sheetName, limits);
    case Format::Xls: {
        // An encrypted .xlsx is a compound file holding the encrypted package.
        const CompoundFile cf(bytes);
        if (cf.has("EncryptedPackage") || cf.has("EncryptionInfo"))
            throw WorkbookError(Problem::PasswordProtected, "the workbook is protected with a password");
        return readXls(path, bytes, sheetName, limits);
    }
    case Format::Unknown: break;
    }
    throw WorkbookError(Problem::NotWorkbook, "the file is not an Excel workbook");
}

}  // namespace

Format detectFormat(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    char head[8] = {};
    in.read(head, sizeof head);
    return formatOf(std::string_view(head, static_cast<std::size_t>(in.gcount())));
}

Sheet readSheet(const std::string& path, const std::string& sheetName, const Limits& limits) {
    if (detectFormat(path) == Format::Xlsx) {
        // Read from the file part by part: its bytes are never held whole.
        std::error_code ec;
        const auto size = std::filesystem::file_size(path, ec);
        if (ec) throw WorkbookError(Problem::NotWorkbook, "cannot open " + path);
        if (size > limits.maxFileBytes) throw WorkbookError(Problem::TooLarge, "the file is too large");
        return readXlsx(path, {}, sheetName, limits);
    }
    const std::string bytes = readFile(path, limits);
    return readBytes(path, bytes, sheetName, limits);
}

Sheet readSheetFromMemory(const void* data, std::size_t size, const std::string& sheetName, const Limits& limits) {
    if (size > limits.maxFileBytes) throw WorkbookError(Problem::TooLarge, "the file is too large");
    return readBytes("", std::string_view(static_cast<const char*>(data), size), sheetName, limits);
}

std::string cellTextForXlsx(const std::string& text, bool* cut) {
    std::string valid = validUtf8(text);
    // Bytes are never fewer than characters: a short text without "_x" stands as it is.
    if (valid.size() <= kMaxCellChars && valid.find("_x") == std::string::npos) return valid;
    // Both counts stay within a cell: the characters as read back (UTF-16 units) and
    // those handed to the writer, which checks the escaped text (code points).
    std::string out;
    out.reserve(std::min(valid.size(), 4 * kMaxCellChars) + 8);
    std::size_t units = 0, points = 0;
    for (std::size_t i = 0; i < valid.size();) {
        const auto lead = static_cast<unsigned char>(valid[i]);
        const std::size_t len = lead < 0x80 ? 1 : lead < 0xE0 ? 2 : lead < 0xF0 ? 3 : 4;
        bool escape = i + 7 <= valid.size() && valid[i] == '_' && valid[i + 1] == 'x' && valid[i + 6] == '_';
        for (std::size_t k = 2; escape && k < 6; ++k)
            escape = std::isxdigit(static_cast<unsigned char>(valid[i + k])) != 0;
        const std::size_t addUnits = len == 4 ? 2 : 1, addPoints = escape ? 7 : 1;
        if (units + addUnits > kMaxCellChars || points + addPoints > kMaxCellChars) {
            if (cut) *cut = true;
            break;
        }
        if (escape) out += "_x005F";
        out.append(valid, i, len);
        units += addUnits;
        points += addPoints;
        i += len;
    }
    return out;
}

}  // namespace parlix::workbook
