// Shared between the database layer's sources only: the row ids of a sorted set, sorted
// in memory as the database's ORDER BY would sort them.
#pragma once

#include <sqlite3.h>

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace parlix::db::detail {

// How a column's text compares: its declared collation.
enum class Collation { Binary, Rtrim, Nocase };
std::optional<Collation> CollationNamed(const char* name);  // nullopt: one this code does not know

struct SortKey {
    Collation collation = Collation::Binary;
    bool desc = false;
};

// Steps `st`, whose rows are a row id followed by one value per key, and returns the row
// ids in the order "ORDER BY key1, key2, ..., rowid" gives (rowid DESC when rowidDesc):
// Null first, then numbers by value, text by its collation, blobs by their bytes; each
// key reversed when desc. At most `limit` ids when limit > 0. Sorting here, on several
// threads, is faster than the database's own sorter on a million texts.
std::vector<std::int64_t> SortedIds(sqlite3_stmt* st, const std::vector<SortKey>& keys, bool rowidDesc,
                                    std::int64_t limit);
// The same over a set read in parts, one statement per part, each on a connection of
// its own: the parts are stepped side by side, one thread each.
std::vector<std::int64_t> SortedIds(const std::vector<sqlite3_stmt*>& parts, const std::vector<SortKey>& keys,
                                    bool rowidDesc, std::int64_t limit);

}  // namespace parlix::db::detail
