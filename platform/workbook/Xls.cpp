// .xls: FreeXL reads the workbook (strings, shared strings, code pages); our own walk
// over the sheet's BIFF records then supplies what FreeXL leaves out or gets wrong:
// formula results (FreeXL skips FORMULA records), booleans and error cells (FreeXL
// gives integers), BIFF5 rich-text cells (lost), and numbers shown as dates (FreeXL
// guesses by the format's letters, counts 2100 as a leap year and prints "24:00:00").
#include <freexl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>

#include <algorithm>
#include <cctype>
#include <cstring>
#include <fstream>
#include <map>

#include "platform/text/Text.h"
#include "platform/workbook/Internal.h"

namespace parlix::workbook::detail {
namespace {

std::uint8_t u8(std::string_view b, std::size_t at) {
    if (at >= b.size()) throw WorkbookError(Problem::Damaged, "the workbook is damaged (short record)");
    return static_cast<std::uint8_t>(b[at]);
}
std::uint16_t u16(std::string_view b, std::size_t at) {
    if (at + 2 > b.size()) throw WorkbookError(Problem::Damaged, "the workbook is damaged (short record)");
    return static_cast<std::uint16_t>(static_cast<unsigned char>(b[at]) | static_cast<unsigned char>(b[at + 1]) << 8);
}
std::uint32_t u32(std::string_view b, std::size_t at) {
    return static_cast<std::uint32_t>(u16(b, at)) | static_cast<std::uint32_t>(u16(b, at + 2)) << 16;
}
double f64(std::string_view b, std::size_t at) {
    if (at + 8 > b.size()) throw WorkbookError(Problem::Damaged, "the workbook is damaged (short record)");
    double d;
    std::memcpy(&d, b.data() + at, 8);
    return d;
}
std::string lowerAscii(std::string s) {
    std::transform(s.begin(), s.end(), s.begin(), [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return s;
}

constexpr std::uint32_t kEnd = 0xFFFFFFFE, kFree = 0xFFFFFFFF;

}  // namespace

CompoundFile::CompoundFile(std::string_view bytes) : bytes_(bytes) {
    if (!hasPrefix(bytes, kCfbSignature) || bytes.size() < 512)
        throw WorkbookError(Problem::Damaged, "the workbook is damaged (header)");
    const unsigned shift = u16(bytes, 0x1E);
    if (shift != 9 && shift != 12) throw WorkbookError(Problem::Damaged, "the workbook is damaged (sector size)");
    sectorSize_ = 1u << shift;
    const std::size_t sectors = (bytes.size() + sectorSize_ - 1) / sectorSize_;  // upper bound for chains

    // Sector numbers of the allocation table: 109 in the header, the rest chained.
    std::vector<std::uint32_t> fatSectors;
    for (int i = 0; i < 109; ++i) fatSectors.push_back(u32(bytes, 0x4C + 4 * i));
    std::uint32_t difat = u32(bytes, 0x44);
    for (std::size_t guard = 0; difat < kEnd - 4 && guard < sectors; ++guard) {
        const std::size_t at = (static_cast<std::size_t>(difat) + 1) * sectorSize_;
        if (at + sectorSize_ > bytes.size()) throw WorkbookError(Problem::Damaged, "the workbook is damaged (DIFAT)");
        for (unsigned k = 0; k + 1 < sectorSize_ / 4; ++k) fatSectors.push_back(u32(bytes, at + 4 * k));
        difat = u32(bytes, at + sectorSize_ - 4);
    }
    for (auto s : fatSectors) {
        if (s >= kEnd - 4) continue;
        const std::size_t at = (static_cast<std::size_t>(s) + 1) * sectorSize_;
        if (at + sectorSize_ > bytes.size()) throw WorkbookError(Problem::Damaged, "the workbook is damaged (FAT)");
        for (unsigned k = 0; k < sectorSize_ / 4; ++k) fat_.push_back(u32(bytes, at + 4 * k));
        if (fat_.size() > sectors + sectorSize_) break;
    }

    const std::string dir = chain(u32(bytes, 0x30), UINT64_MAX, false);
    for (std::size_t at = 0; at + 128 <= dir.size(); at += 128) {
        Entry e;
        const unsigned nameBytes = std::min<unsigned>(u16(dir, at + 0x40), 64);
        for (unsigned k = 0; k + 2 < nameBytes; k += 2) {
            const auto unit = u16(dir, at + k);
            e.name += unit < 0x80 ? static_cast<char>(std::tolower(unit)) : '?';
        }
        e.type = static_cast<unsigned char>(dir[at + 0x42]);
        // Kinds 0 to 5 exist (empty, storage, stream, lock bytes, property, root); any
        // other is a damaged directory that no reader should be handed.
        if (e.type > 5) throw WorkbookError(Problem::Damaged, "the workbook is damaged (directory entry)");
        e.start = u32(dir, at + 0x74);
        e.size = u32(dir, at + 0x78);
        if (sectorSize_ == 4096) e.size |= static_cast<std::uint64_t>(u32(dir, at + 0x7C)) << 32;
        entries_.push_back(e);
    }
    if (entries_.empty() || entries_[0].type != 5) throw WorkbookError(Problem::Damaged, "the workbook is damaged (directory)");
    const std::string mf = chain(u32(bytes, 0x3C), UINT64_MAX, false);
    for (std::size_t at = 0; at + 4 <= mf.size(); at += 4) miniFat_.push_back(u32(mf, at));
    miniStream_ = chain(entries_[0].start, entries_[0].size, false);
}

std::string CompoundFile::chain(std::uint32_t start, std::uint64_t size, bool mini) const {
    std::string out;
    const std::vector<std::uint32_t>& table = mini ? miniFat_ : fat_;
    const unsigned unit = mini ? 64 : sectorSize_;
    std::string_view from = mini ? std::string_view(miniStream_) : bytes_;
    std::size_t guard = 0;
    for (std::uint32_t s = start; s != kEnd && s != kFree && out.size() < size; ++guard) {
        if (s >= table.size() || guard > table.size())
            throw WorkbookError(Problem::Damaged, "the workbook is damaged (sector chain)");
        const std::size_t at = mini ? static_cast<std::size_t>(s) * unit : (static_cast<std::size_t>(s) + 1) * unit;
        if (at + unit > from.size()) throw WorkbookError(Problem::Damaged, "the workbook is damaged (sector)");
        out.append(from.substr(at, unit));
        s = table[s];
    }
    if (size != UINT64_MAX) {
        if (out.size() < size) throw WorkbookError(Problem::Damaged, "the workbook is damaged (short stream)");
        out.resize(static_cast<std::size_t>(size));
    }
    return out;
}

bool CompoundFile::has(std::string_view name) const {
    const std::string n = lowerAscii(std::string(name));
    return std::any_of(entries_.begin(), entries_.end(), [&](const Entry& e) { return e.type == 2 && e.name == n; });
}

std::string CompoundFile::stream(std::string_view name) const {
    const std::string n = lowerAscii(std::string(name));
    for (const auto& e : entries_)
        if (e.type == 2 && e.name == n) {
            if (e.size > bytes_.size()) throw WorkbookError(Problem::Damaged, "the workbook is damaged (stream size)");
            return chain(e.start, e.size, e.size < 4096);
        }
    return "";
}

namespace {

struct Record {
    std::uint16_t type;
    std::string_view data;
};

class Records {
public:
    Records(std::string_view s, std::size_t at) : s_(s), at_(at) {}
    bool next(Record& r) {
        if (at_ + 4 > s_.size()) return false;
        r.type = u16(s_, at_);
        const std::uint16_t len = u16(s_, at_ + 2);
        if (at_ + 4 + len > s_.size()) throw WorkbookError(Problem::Damaged, "the workbook is damaged (record)");
        r.data = s_.substr(at_ + 4, len);
        at_ += 4 + len;
        return true;
    }
    // The data of the following record when it continues the current one.
    bool continuation(std::string_view& data) {
        Record r;
        const std::size_t save = at_;
        if (next(r) && r.type == 0x003C) {
            data = r.data;
            return true;
        }
        at_ = save;
        return false;
    }

private:
    std::string_view s_;
    std::size_t at_;
};

// A BIFF8 unicode string: 16-bit or 8-bit characters, continued across CONTINUE
// records (each continuation starts with a fresh flags byte).
std::string biff8String(Records& recs, std::string_view data, std::size_t at, std::size_t count, bool countIs16) {
    std::size_t cch = countIs16 ? u16(data, at) : u8(data, at);
    at += countIs16 ? 2 : 1;
    if (at >= data.size()) return "";
    unsigned char flags = static_cast<unsigned char>(data[at++]);
    if (flags & 0x08) at += 2;  // rich-text run count
    if (flags & 0x04) at += 4;  // phonetic block size
    (void)count;
    std::u16string out;
    while (cch > 0) {
        const bool wide = flags & 0x01;
        while (cch > 0 && at + (wide ? 2 : 1) <= data.size()) {
            out += wide ? static_cast<char16_t>(u16(data, at)) : static_cast<char16_t>(static_cast<unsigned char>(data[at]));
            at += wide ? 2 : 1;
            --cch;
        }
        if (cch == 0) break;
        std::string_view more;
        if (!recs.continuation(more) || more.empty()) break;
        data = more;
        flags = static_cast<unsigned char>(data[0]);
        at = 1;
    }
    return parlix::text::toUtf8(out);
}

std::string biff5String(std::string_view data, std::size_t at, bool countIs16) {
    std::size_t cch = countIs16 ? u16(data, at) : u8(data, at);
    at += countIs16 ? 2 : 1;
    if (at > data.size()) return "";
    return parlix::text::ansiToUtf8(data.substr(at, std::min(cch, data.size() - at)));
}

double rkValue(std::uint32_t rk) {
    double v;
    if (rk & 0x02) {
        v = static_cast<double>(static_cast<std::int32_t>(rk) >> 2);
    } else {
        const std::uint64_t bits = static_cast<std::uint64_t>(rk & 0xFFFFFFFCu) << 32;
        std::memcpy(&v, &bits, 8);
    }
    return (rk & 0x01) ? v / 100.0 : v;
}

// What the record walk learned about one sheet.
struct BiffSheet {
    bool found = false;
    bool biff8 = true;
    bool date1904 = false;
    bool password = false;
    std::map<std::uint64_t, std::string> cells;  // (row << 16 | col) -> text that overrides FreeXL's
    std::vector<std::uint32_t> formulaRows;      // 0-based rows of formulas without a stored value
};

BiffSheet walkBiff(const std::string& stream, const std::string& sheetName, const Limits& limits) {
    BiffSheet out;
    Records recs(stream, 0);
    Record r;
    if (!recs.next(r) || (r.type != 0x0809 && r.type != 0x0009 && r.type != 0x0209 && r.type != 0x0409))
        throw WorkbookError(Problem::Damaged, "the workbook is damaged (no BOF)");
    out.biff8 = r.type == 0x0809 && r.data.size() >= 2 && u16(r.data, 0) == 0x0600;
    if (r.type != 0x0809) throw WorkbookError(Problem::NotWorkbook, "the workbook's format is too old (before Excel 5)");

    std::vector<DateKind> xfKinds;
    std::map<int, DateKind> formats;
    std::int64_t sheetPos = -1;
    const std::string wanted = lowerAscii(sheetName);
    while (recs.next(r) && r.type != 0x000A) {
        switch (r.type) {
        case 0x002F: out.password = true; break;                      // FILEPASS
        case 0x0022: out.date1904 = r.data.size() >= 2 && u16(r.data, 0) == 1; break;  // DATEMODE
        case 0x041E: {                                                // FORMAT
            const int id = u16(r.data, 0);
            const std::string code = out.biff8 ? biff8String(recs, r.data, 2, 0, true) : biff5String(r.data, 2, false);
            formats[id] = classifyFormat(code);
            break;
        }
        case 0x00E0: {                                                // XF
            const int id = u16(r.data, 2);
            auto it = formats.find(id);
            xfKinds.push_back(it != formats.end() ? it->second : builtinFormatKind(id));
            break;
        }
        case 0x0085: {                                                // BOUNDSHEET
            const std::uint32_t pos = u32(r.data, 0);
            const std::string name = out.biff8 ? biff8String(recs, r.data, 6, 0, false) : biff5String(r.data, 6, false);
            if (sheetPos < 0 && r.data.size() > 5 && r.data[5] == 0 && lowerAscii(name) == wanted) sheetPos = pos;
            break;
        }
        default: break;
        }
    }
    if (out.password || sheetPos < 0) return out;
    out.found = true;

    auto kindOf = [&](std::uint16_t xf) { return xf < xfKinds.size() ? xfKinds[xf] : DateKind::None; };
    auto number = [&](std::uint16_t xf, double v) {
        const DateKind k = kindOf(xf);
        return k == DateKind::None ? numberText(v) : serialText(v, out.date1904, k);
    };
    auto put = [&](std::uint16_t row, std::uint16_t col, std::string text) {
        if (out.cells.size() > static_cast<std::size_t>(limits.maxRows) * 4)
            throw WorkbookError(Problem::TooLarge, "the sheet has too many cells");
        out.cells[static_cast<std::uint64_t>(row) << 16 | col] = std::move(text);
    };

    Records sheet(stream, static_cast<std::size_t>(sheetPos));
    if (!sheet.next(r) || r.type != 0x0809) throw WorkbookError(Problem::Damaged, "the workbook is damaged (sheet)");
    std::int64_t pendingString = -1;  // cell whose formula result follows in a STRING record
    while (sheet.next(r) && r.type != 0x000A) {
        switch (r.type) {
        case 0x0203:  // NUMBER
            put(u16(r.data, 0), u16(r.data, 2), number(u16(r.data, 4), f64(r.data, 6)));
            break;
        case 0x027E:  // RK
            put(u16(r.data, 0), u16(r.data, 2), number(u16(r.data, 4), rkValue(u32(r.data, 6))));
            break;
        case 0x00BD: {  // MULRK
            const std::uint16_t row = u16(r.data, 0), first = u16(r.data, 2);
            for (std::size_t k = 0; 4 + 6 * k + 6 <= r.data.size() - 2; ++k)
                put(row, static_cast<std::uint16_t>(first + k),
                    number(u16(r.data, 4 + 6 * k), rkValue(u32(r.data, 4 + 6 * k + 2))));
            break;
        }
        case 0x0205: {  // BOOLERR
            if (r.data.size() < 8) throw WorkbookError(Problem::Damaged, "the workbook is damaged (BOOLERR)");
            const bool isError = r.data[7] != 0;
            put(u16(r.data, 0), u16(r.data, 2), isError ? "" : (r.data[6] ? "TRUE" : "FALSE"));
            break;
        }
        case 0x00D6:  // RSTRING (rich text)
            put(u16(r.data, 0), u16(r.data, 2),
                out.biff8 ? biff8String(sheet, r.data, 6, 0, true) : biff5String(r.data, 6, true));
            break;
        case 0x0006: {  // FORMULA
            const std::uint16_t row = u16(r.data, 0), col = u16(r.data, 2);
            if (r.data.size() < 14) throw WorkbookError(Problem::Damaged, "the workbook is damaged (FORMULA)");
            if (u16(r.data, 12) == 0xFFFF) {
                switch (static_cast<unsigned char>(r.data[6])) {
                case 0:
                    pendingString = static_cast<std::int64_t>(row) << 16 | col;
                    out.formulaRows.push_back(row);  // until its STRING record comes
                    break;
                case 1: put(row, col, r.data[8] ? "TRUE" : "FALSE"); break;
                case 2:  // an error value
                case 3:  // an empty text, as =IF(...,"",...) gives
                    put(row, col, "");
                    break;
                default:
                    out.formulaRows.push_back(row);  // no value we know how to read
                    break;
                }
            } else {
                put(row, col, number(u16(r.data, 4), f64(r.data, 6)));
            }
            break;
        }
        case 0x0207:  // STRING: the result of the formula just before
            if (pendingString >= 0) {
                const auto row = static_cast<std::uint16_t>(pendingString >> 16);
                if (!out.formulaRows.empty() && out.formulaRows.back() == row) out.formulaRows.pop_back();
                put(static_cast<std::uint16_t>(pendingString >> 16), static_cast<std::uint16_t>(pendingString & 0xFFFF),
                    out.biff8 ? biff8String(sheet, r.data, 0, 0, true) : biff5String(r.data, 0, true));
                pendingString = -1;
            }
            break;
        default: break;
        }
    }
    return out;
}

void putLe32(std::string& out, std::size_t at, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) out[at + i] = static_cast<char>((v >> (8 * i)) & 0xFF);
}

}  // namespace

std::string compoundFileOf(std::string stream) {
    constexpr std::size_t kSector = 512, kPerSector = kSector / 4;
    constexpr std::uint32_t kEndChain = 0xFFFFFFFE, kFreeSector = 0xFFFFFFFF, kFatSector = 0xFFFFFFFD,
                            kDifatSector = 0xFFFFFFFC;
    if (stream.size() < 4096) stream.resize(4096, '\0');
    const std::size_t n = (stream.size() + kSector - 1) / kSector;  // stream sectors, then the directory
    std::size_t fat = 1, difat = 0;
    for (;;) {  // allocation sectors for every sector, themselves included
        const std::size_t total = n + 1 + fat + difat;
        const std::size_t needFat = (total + kPerSector - 1) / kPerSector;
        const std::size_t needDifat = needFat > 109 ? (needFat - 109 + kPerSector - 2) / (kPerSector - 1) : 0;
        if (needFat == fat && needDifat == difat) break;
        fat = needFat;
        difat = needDifat;
    }
    const std::size_t dirAt = n, fatAt = n + 1, difatAt = n + 1 + fat;
    std::string out(kSector * (1 + n + 1 + fat + difat), '\0');
    // Header
    out.replace(0, 8, kCfbSignature);
    out[0x18] = 0x3E;  // minor version
    out[0x1A] = 3;     // major version: 512-byte sectors
    out[0x1C] = static_cast<char>(0xFE);
    out[0x1D] = static_cast<char>(0xFF);
    out[0x1E] = 9;  // sector shift
    out[0x20] = 6;  // mini sector shift
    putLe32(out, 0x2C, static_cast<std::uint32_t>(fat));
    putLe32(out, 0x30, static_cast<std::uint32_t>(dirAt));
    putLe32(out, 0x38, 4096);
    putLe32(out, 0x3C, kEndChain);  // no mini stream
    putLe32(out, 0x44, difat ? static_cast<std::uint32_t>(difatAt) : kEndChain);
    putLe32(out, 0x48, static_cast<std::uint32_t>(difat));
    auto sectorAt = [&](std::size_t s) { return kSector * (s + 1); };
    for (std::size_t i = 0; i < 109; ++i)
        putLe32(out, 0x4C + 4 * i, i < fat ? static_cast<std::uint32_t>(fatAt + i) : kFreeSector);
    for (std::size_t k = 0; k < difat; ++k) {
        const std::size_t at = sectorAt(difatAt + k);
        for (std::size_t i = 0; i + 1 < kPerSector; ++i) {
            const std::size_t f = 109 + k * (kPerSector - 1) + i;
            putLe32(out, at + 4 * i, f < fat ? static_cast<std::uint32_t>(fatAt + f) : kFreeSector);
        }
        putLe32(out, at + kSector - 4, k + 1 < difat ? static_cast<std::uint32_t>(difatAt + k + 1) : kEndChain);
    }
    // The stream, the directory (root, then "Workbook"), the allocation table
    out.replace(sectorAt(0), stream.size(), stream);
    auto entry = [&](std::size_t at, std::u16string_view name, char type, std::uint32_t child, std::uint32_t start,
                     std::uint32_t size) {
        for (std::size_t i = 0; i < name.size(); ++i) {
            out[at + 2 * i] = static_cast<char>(name[i] & 0xFF);
            out[at + 2 * i + 1] = static_cast<char>(name[i] >> 8);
        }
        out[at + 0x40] = static_cast<char>(2 * (name.size() + 1));
        out[at + 0x42] = type;
        out[at + 0x43] = 1;  // black
        putLe32(out, at + 0x44, kFreeSector);
        putLe32(out, at + 0x48, kFreeSector);
        putLe32(out, at + 0x4C, child);
        putLe32(out, at + 0x74, start);
        putLe32(out, at + 0x78, size);
    };
    entry(sectorAt(dirAt), u"Root Entry", 5, 1, kEndChain, 0);
    entry(sectorAt(dirAt) + 128, u"Workbook", 2, kFreeSector, 0, static_cast<std::uint32_t>(stream.size()));
    for (std::size_t s = 0; s < fat * kPerSector; ++s) {
        std::uint32_t v = kFreeSector;
        if (s + 1 < n) v = static_cast<std::uint32_t>(s + 1);
        else if (s + 1 == n || s == dirAt) v = kEndChain;
        else if (s >= fatAt && s < fatAt + fat) v = kFatSector;
        else if (s >= difatAt && s < difatAt + difat) v = kDifatSector;
        putLe32(out, sectorAt(fatAt) + 4 * s, v);
    }
    return out;
}

namespace {

// FreeXL opens files only; bytes from memory go through a temporary file.
struct TempFile {
    std::string path;
    explicit TempFile(std::string_view bytes) {
        char tmpl[] = "/tmp/parlix-workbook-XXXXXX";
        const int fd = ::mkstemp(tmpl);
        if (fd < 0) throw WorkbookError(Problem::Damaged, "cannot make a temporary file");
        path = tmpl;
        std::size_t done = 0;
        while (done < bytes.size()) {
            const auto n = ::write(fd, bytes.data() + done, bytes.size() - done);
            if (n <= 0) break;
            done += static_cast<std::size_t>(n);
        }
        ::close(fd);
    }
    ~TempFile() { ::unlink(path.c_str()); }
};

struct Handle {
    const void* h = nullptr;
    ~Handle() {
        if (h) freexl_close(h);
    }
};

}  // namespace

// FreeXL runs in a child process: a file made to break it (fuzzing finds such
// files) then costs a refusal, not the program. The child sends what it read through
// a pipe: a status, the sheet's size, then (row, column, text) for each cell that our
// own walk did not already supply.
enum : unsigned char { kOk = 0, kPassword = 1, kNoSheet = 2, kFailed = 3 };

}  // namespace parlix::workbook::detail
// Present in sanitizer builds only.
extern "C" void __sanitizer_set_death_callback(void (*callback)()) __attribute__((weak));
namespace parlix::workbook::detail {

struct Cells {
    int status = kFailed;
    std::string why;
    std::uint32_t rows = 0, cols = 0;
    struct Value {
        std::uint32_t row, col;
        std::string text;
    };
    std::vector<Value> values;
};

namespace {

void put32(std::string& out, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) out += static_cast<char>((v >> (8 * i)) & 0xFF);
}

// In the child: FreeXL's reading of the sheet, serialised.
std::string freexlChild(const std::string& path, const std::string& sheetName, const Limits& limits,
                        const BiffSheet& biff) {
    std::string out(1, static_cast<char>(kFailed));
    Handle h;
    // FreeXL can report success without a workbook (protected and some odd files).
    if (freexl_open(path.c_str(), &h.h) != FREEXL_OK || !h.h) return out;
    unsigned int info = 0;
    if (freexl_get_info(h.h, FREEXL_BIFF_PASSWORD, &info) == FREEXL_OK && info == FREEXL_BIFF_OBFUSCATED)
        return std::string(1, static_cast<char>(kPassword));
    unsigned int sheets = 0;
    freexl_get_info(h.h, FREEXL_BIFF_SHEET_COUNT, &sheets);
    int index = -1;
    for (unsigned int i = 0; i < sheets && index < 0; ++i) {
        const char* name = nullptr;
        if (freexl_get_worksheet_name(h.h, static_cast<unsigned short>(i), &name) == FREEXL_OK && name &&
            lowerAscii(name) == lowerAscii(sheetName))
            index = static_cast<int>(i);
    }
    if (index < 0) return std::string(1, static_cast<char>(kNoSheet));
    unsigned int rows = 0;
    unsigned short cols = 0;
    if (freexl_select_active_worksheet(h.h, static_cast<unsigned short>(index)) != FREEXL_OK ||
        freexl_worksheet_dimensions(h.h, &rows, &cols) != FREEXL_OK)
        return out;
    out[0] = static_cast<char>(kOk);
    put32(out, rows);
    put32(out, cols);
    const unsigned short keptCols = static_cast<unsigned short>(std::min<int>(cols, limits.maxColumns));
    for (unsigned int r = 0; r < rows; ++r)
        for (unsigned short c = 0; c < keptCols; ++c) {
            if (biff.cells.count(static_cast<std::uint64_t>(r) << 16 | c)) continue;
            FreeXL_CellValue v;
            if (freexl_get_cell_value(h.h, r, c, &v) != FREEXL_OK) return std::string(1, static_cast<char>(kFailed));
            std::string text;
            switch (v.type) {
            case FREEXL_CELL_INT: text = std::to_string(v.value.int_value); break;
            case FREEXL_CELL_DOUBLE: text = numberText(v.value.double_value); break;
            case FREEXL_CELL_TEXT:
            case FREEXL_CELL_SST_TEXT:
            case FREEXL_CELL_DATE:
            case FREEXL_CELL_DATETIME:
            case FREEXL_CELL_TIME:
                if (v.value.text_value) text = validUtf8(v.value.text_value);
                break;
            default: break;
            }
            if (text.empty()) continue;
            put32(out, r);
            put32(out, c);
            put32(out, static_cast<std::uint32_t>(text.size()));
            out += text;
        }
    return out;
}

Cells freexlCells(const std::string& path, const std::string& sheetName, const Limits& limits, const BiffSheet& biff) {
    Cells cells;
    int fds[2];
    if (::pipe(fds) != 0) {
        cells.why = "no pipe";
        return cells;
    }
    const pid_t pid = ::fork();
    if (pid < 0) {
        ::close(fds[0]);
        ::close(fds[1]);
        cells.why = "no process";
        return cells;
    }
    if (pid == 0) {
        // A crash here ends this process only: no handler of the parent's (a test
        // harness, a fuzzer) may take it for its own.
        for (int sig : {SIGSEGV, SIGBUS, SIGABRT, SIGFPE, SIGILL}) ::signal(sig, SIG_DFL);
        if (&__sanitizer_set_death_callback) __sanitizer_set_death_callback(nullptr);
        ::close(fds[0]);
        std::string out;
        try {
            out = freexlChild(path, sheetName, limits, biff);
        } catch (...) {
            out.assign(1, static_cast<char>(kFailed));
        }
        for (std::size_t done = 0; done < out.size();) {
            const auto n = ::write(fds[1], out.data() + done, out.size() - done);
            if (n <= 0) break;
            done += static_cast<std::size_t>(n);
        }
        ::_exit(0);
    }
    ::close(fds[1]);
    std::string in;
    char buf[1 << 16];
    bool timedOut = false;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    for (;;) {
        pollfd p{fds[0], POLLIN, 0};
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0 || ::poll(&p, 1, static_cast<int>(left.count())) == 0) {
            timedOut = true;
            break;
        }
        const auto n = ::read(fds[0], buf, sizeof buf);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;
        in.append(buf, static_cast<std::size_t>(n));
    }
    ::close(fds[0]);
    if (timedOut) ::kill(pid, SIGKILL);
    int status = 0;
    while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    if (timedOut || !WIFEXITED(status) || WEXITSTATUS(status) != 0 || in.empty()) {
        cells.why = timedOut ? "FreeXL did not finish" : "FreeXL failed on it";
        return cells;
    }
    cells.status = static_cast<unsigned char>(in[0]);
    if (cells.status != kOk) {
        cells.why = "FreeXL refused it";
        return cells;
    }
    std::size_t at = 1;
    auto get32 = [&](std::uint32_t& v) {
        if (at + 4 > in.size()) return false;
        v = u32(in, at);
        at += 4;
        return true;
    };
    if (!get32(cells.rows) || !get32(cells.cols)) cells.status = kFailed;
    while (cells.status == kOk && at < in.size()) {
        Cells::Value v;
        std::uint32_t len = 0;
        if (!get32(v.row) || !get32(v.col) || !get32(len) || at + len > in.size()) {
            cells.status = kFailed;
            cells.why = "short answer";
            break;
        }
        v.text.assign(in, at, len);
        at += len;
        cells.values.push_back(std::move(v));
    }
    return cells;
}

}  // namespace

Sheet readXls(const std::string& path, std::string_view bytes, const std::string& sheetName, const Limits& limits) {
    const CompoundFile cf(bytes);
    std::string stream = cf.stream("Workbook");
    if (stream.empty()) stream = cf.stream("Book");
    if (stream.empty()) throw WorkbookError(Problem::NotWorkbook, "the file holds no workbook");
    const BiffSheet biff = walkBiff(stream, sheetName, limits);
    if (biff.password) throw WorkbookError(Problem::PasswordProtected, "the workbook is protected with a password");
    if (!biff.found) throw WorkbookError(Problem::NoSheet, "the workbook has no sheet \"" + sheetName + "\"");

    // A file saved for Excel 5 and Excel 97 at once holds both streams, and FreeXL
    // may take the Excel 5 one or fail on the pair: it reads a compound file of our
    // own that holds the Excel 97 stream alone.
    std::unique_ptr<TempFile> temp;
    if (cf.has("Workbook") && cf.has("Book"))
        temp = std::make_unique<TempFile>(compoundFileOf(stream));
    else if (path.empty())
        temp = std::make_unique<TempFile>(bytes);
    const Cells cells = freexlCells(temp ? temp->path : path, sheetName, limits, biff);
    switch (cells.status) {
    case kOk: break;
    case kPassword: throw WorkbookError(Problem::PasswordProtected, "the workbook is protected with a password");
    case kNoSheet: throw WorkbookError(Problem::NoSheet, "the workbook has no sheet \"" + sheetName + "\"");
    default: throw WorkbookError(Problem::Damaged, "the workbook cannot be read (" + cells.why + ")");
    }
    SheetBuilder b(limits);
    for (const auto& c : cells.values) b.set(c.row, c.col, c.text);
    for (auto row : biff.formulaRows) b.formulaWithoutValue(row);
    // Our walk's cells, also those beyond the dimensions that FreeXL trusts.
    for (const auto& [key, text] : biff.cells)
        b.set(static_cast<std::uint32_t>(key >> 16), static_cast<std::uint32_t>(key & 0xFFFF), text);
    return b.finish();
}

}  // namespace parlix::workbook::detail
