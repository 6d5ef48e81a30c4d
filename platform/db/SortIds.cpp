#include "platform/db/SortIds.h"

#include <algorithm>
#include <cctype>
#include <cstring>
#include <exception>
#ifdef __GLIBC__
#include <malloc.h>
#endif
#include <thread>

#include "platform/db/Internal.h"

namespace parlix::db::detail {

namespace {

// One value of a key: its class in the database's order, then the number, or where its
// bytes lie in the arena.
enum Class : std::uint8_t { kNull, kNumber, kText, kBlob };

struct Cell {
    union {
        std::int64_t i;
        double r;
        std::uint64_t off;
    };
    std::uint32_t len;
    std::uint8_t cls;
    bool real;
};

int compareBytes(const char* a, std::uint32_t na, const char* b, std::uint32_t nb) {
    const int c = std::memcmp(a, b, std::min(na, nb));
    if (c) return c;
    return na < nb ? -1 : (na > nb ? 1 : 0);
}

int compareNocase(const char* a, std::uint32_t na, const char* b, std::uint32_t nb) {
    const std::uint32_t n = std::min(na, nb);
    for (std::uint32_t k = 0; k < n; ++k) {
        const int x = std::tolower(static_cast<unsigned char>(a[k]));
        const int y = std::tolower(static_cast<unsigned char>(b[k]));
        if (x != y) return x - y;
    }
    return na < nb ? -1 : (na > nb ? 1 : 0);
}

struct Rows {
    std::vector<std::int64_t> rowid;
    std::vector<Cell> cells;  // rows x keys
    std::string arena;
    const std::vector<SortKey>* keys;
    bool rowidDesc;

    int compareCell(const Cell& a, const Cell& b, Collation coll) const {
        if (a.cls != b.cls) return a.cls < b.cls ? -1 : 1;
        switch (a.cls) {
        case kNull: return 0;
        case kNumber:
            if (!a.real && !b.real) return a.i < b.i ? -1 : (a.i > b.i ? 1 : 0);
            {
                const double x = a.real ? a.r : static_cast<double>(a.i);
                const double y = b.real ? b.r : static_cast<double>(b.i);
                return x < y ? -1 : (x > y ? 1 : 0);
            }
        case kText:
            if (coll == Collation::Nocase)
                return compareNocase(arena.data() + a.off, a.len, arena.data() + b.off, b.len);
            return compareBytes(arena.data() + a.off, a.len, arena.data() + b.off, b.len);
        default: return compareBytes(arena.data() + a.off, a.len, arena.data() + b.off, b.len);
        }
    }

    // Rows a and b compared from key `from` on, then by row id.
    bool less(std::uint32_t a, std::uint32_t b, size_t from = 0) const {
        const size_t n = keys->size();
        for (size_t k = from; k < n; ++k) {
            const int c = compareCell(cells[a * n + k], cells[b * n + k], (*keys)[k].collation);
            if (c) return (*keys)[k].desc ? c > 0 : c < 0;
        }
        return rowidDesc ? rowid[a] > rowid[b] : rowid[a] < rowid[b];
    }
};

}  // namespace

std::optional<Collation> CollationNamed(const char* name) {
    std::string n = name ? name : "BINARY";
    for (char& c : n) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    if (n == "BINARY") return Collation::Binary;
    if (n == "RTRIM") return Collation::Rtrim;
    if (n == "NOCASE") return Collation::Nocase;
    return std::nullopt;
}

namespace {

// Steps `st` to its end, appending its rows and their keys to `rows`.
void collect(sqlite3_stmt* st, const std::vector<SortKey>& keys, Rows& rows) {
    int rc;
    while ((rc = sqlite3_step(st)) == SQLITE_ROW) {
        rows.rowid.push_back(sqlite3_column_int64(st, 0));
        for (size_t k = 0; k < keys.size(); ++k) {
            const int col = static_cast<int>(k) + 1;
            Cell c{};
            switch (sqlite3_column_type(st, col)) {
            case SQLITE_NULL: c.cls = kNull; break;
            case SQLITE_INTEGER:
                c.cls = kNumber;
                c.i = sqlite3_column_int64(st, col);
                break;
            case SQLITE_FLOAT:
                c.cls = kNumber;
                c.real = true;
                c.r = sqlite3_column_double(st, col);
                break;
            default: {
                const bool text = sqlite3_column_type(st, col) == SQLITE_TEXT;
                const char* bytes = text ? reinterpret_cast<const char*>(sqlite3_column_text(st, col))
                                         : static_cast<const char*>(sqlite3_column_blob(st, col));
                std::uint32_t n = static_cast<std::uint32_t>(sqlite3_column_bytes(st, col));
                // Trailing blanks do not count in RTRIM's comparisons.
                if (text && keys[k].collation == Collation::Rtrim)
                    while (n > 0 && bytes[n - 1] == ' ') --n;
                c.cls = text ? kText : kBlob;
                c.off = rows.arena.size();
                c.len = n;
                if (n) rows.arena.append(bytes, n);
            }
            }
            rows.cells.push_back(c);
        }
    }
    if (rc != SQLITE_DONE) fail(sqlite3_db_handle(st), rc, "reading the rows to sort");
}

std::vector<std::int64_t> sortParts(const std::vector<sqlite3_stmt*>& parts, const std::vector<SortKey>& keys,
                                    bool rowidDesc, std::int64_t limit) {
    Rows rows;
    rows.keys = &keys;
    rows.rowidDesc = rowidDesc;
    if (parts.size() == 1) {
        collect(parts[0], keys, rows);
    } else {
        // Each part on a thread of its own (each statement is on a connection of its
        // own), the first on this one; then one list, text offsets moved along.
        std::vector<Rows> read(parts.size());
        std::vector<std::exception_ptr> failed(parts.size());
        auto work = [&](size_t p) {
            try {
                collect(parts[p], keys, read[p]);
            } catch (...) {
                failed[p] = std::current_exception();
            }
        };
        {
            std::vector<std::thread> threads;
            for (size_t p = 1; p < parts.size(); ++p) threads.emplace_back(work, p);
            work(0);
            for (auto& t : threads) t.join();
        }
        for (auto& f : failed)
            if (f) std::rethrow_exception(f);
        size_t total = 0, bytes = 0;
        for (const Rows& r : read) {
            total += r.rowid.size();
            bytes += r.arena.size();
        }
        rows.rowid.reserve(total);
        rows.cells.reserve(total * keys.size());
        rows.arena.reserve(bytes);
        for (Rows& r : read) {
            const std::uint64_t shift = rows.arena.size();
            rows.rowid.insert(rows.rowid.end(), r.rowid.begin(), r.rowid.end());
            for (Cell c : r.cells) {
                if (c.cls == kText || c.cls == kBlob) c.off += shift;
                rows.cells.push_back(c);
            }
            rows.arena += r.arena;
            r = Rows{};
        }
    }
    const std::uint32_t n = static_cast<std::uint32_t>(rows.rowid.size());
    // What is sorted: each row's first key as a number that orders as the key does (its
    // class, then its first eight bytes, or its value), so most comparisons are decided
    // without looking further; rows equal in it are compared in full.
    struct Item {
        std::uint64_t prefix;
        std::int64_t rowid;
        std::uint32_t row;
        std::uint8_t cls;
        std::uint8_t whole;  // the prefix is the whole key: 1 + its length in bytes; 0 when not
    };
    std::vector<Item> order(n);
    const size_t width = keys.size();
    for (std::uint32_t i = 0; i < n; ++i) {
        const Cell& c = rows.cells[i * width];
        std::uint64_t prefix = 0;
        std::uint8_t whole = c.cls == kNull ? 1 : 0;
        if (c.cls == kNumber) {
            constexpr std::int64_t kExact = std::int64_t{1} << 53;
            if (!c.real && c.i > -kExact && c.i < kExact) whole = 1;
            // Doubles order as their bits do once negative ones are flipped; integers
            // that one double cannot tell apart are compared in full.
            double d = c.real ? c.r : static_cast<double>(c.i);
            if (d == 0) d = 0;  // -0.0 equals 0.0
            std::uint64_t bits;
            std::memcpy(&bits, &d, sizeof bits);
            prefix = (bits >> 63) ? ~bits : bits | (std::uint64_t{1} << 63);
        } else if (c.cls == kText || c.cls == kBlob) {
            const bool fold = c.cls == kText && keys[0].collation == Collation::Nocase;
            for (std::uint32_t k = 0; k < 8; ++k) {
                unsigned char b = k < c.len ? static_cast<unsigned char>(rows.arena[c.off + k]) : 0;
                if (fold) b = static_cast<unsigned char>(std::tolower(b));
                prefix = (prefix << 8) | b;
            }
            if (c.len <= 8) whole = static_cast<std::uint8_t>(1 + c.len);
        }
        order[i] = Item{prefix, rows.rowid[i], i, c.cls, whole};
    }
    const bool desc = keys[0].desc;
    const bool oneKey = width == 1;
    auto less = [&rows, desc, oneKey, rowidDesc](const Item& a, const Item& b) {
        if (a.cls != b.cls) return desc ? a.cls > b.cls : a.cls < b.cls;
        if (a.prefix != b.prefix) return desc ? a.prefix > b.prefix : a.prefix < b.prefix;
        if (!a.whole || a.whole != b.whole) return rows.less(a.row, b.row);
        // The first keys are equal.
        if (oneKey) return rowidDesc ? a.rowid > b.rowid : a.rowid < b.rowid;
        return rows.less(a.row, b.row, 1);
    };
    // Pieces sorted on their own threads, then merged.
    const unsigned pieces = n < 50000 ? 1u : std::clamp(std::thread::hardware_concurrency(), 1u, 4u);
    std::vector<std::uint32_t> bounds;
    for (unsigned p = 0; p <= pieces; ++p) bounds.push_back(static_cast<std::uint32_t>(std::uint64_t{n} * p / pieces));
    {
        std::vector<std::thread> threads;
        for (unsigned p = 1; p < pieces; ++p)
            threads.emplace_back([&, p] { std::sort(order.begin() + bounds[p], order.begin() + bounds[p + 1], less); });
        std::sort(order.begin() + bounds[0], order.begin() + bounds[1], less);
        for (auto& t : threads) t.join();
    }
    for (unsigned w = 1; w < pieces; w *= 2)
        for (unsigned p = 0; p + w < pieces; p += 2 * w)
            std::inplace_merge(order.begin() + bounds[p], order.begin() + bounds[p + w],
                               order.begin() + bounds[std::min(p + 2 * w, pieces)], less);
    if (limit > 0 && static_cast<std::int64_t>(order.size()) > limit) order.resize(static_cast<size_t>(limit));
    std::vector<std::int64_t> ids;
    ids.reserve(order.size());
    for (const Item& item : order) ids.push_back(item.rowid);
    return ids;
}

}  // namespace

std::vector<std::int64_t> SortedIds(sqlite3_stmt* st, const std::vector<SortKey>& keys, bool rowidDesc,
                                    std::int64_t limit) {
    return SortedIds(std::vector<sqlite3_stmt*>{st}, keys, rowidDesc, limit);
}

std::vector<std::int64_t> SortedIds(const std::vector<sqlite3_stmt*>& parts, const std::vector<SortKey>& keys,
                                    bool rowidDesc, std::int64_t limit) {
    std::vector<std::int64_t> ids = sortParts(parts, keys, rowidDesc, limit);
#ifdef __GLIBC__
    // The keys of a large set were read on other threads, into memory the C library
    // keeps for those threads once freed; give it back, or every sort leaves the
    // program larger.
    if (parts.size() > 1) malloc_trim(0);
#endif
    return ids;
}

}  // namespace parlix::db::detail
