// The record set's inner state, shared by its two halves: Recordset.cpp opens the set and
// reads it (the statement over its rows, counting, ids and pages, moving, fields, sort,
// filter, find, bookmarks); RecordsetUpdate.cpp edits it (addNew, setField, update,
// deleteRow and their checks against the stored row). Database layer only.
#pragma once

#include <cstdint>
#include <functional>
#include <list>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "platform/db/Internal.h"
#include "platform/db/Recordset.h"
#include "platform/db/SortIds.h"

namespace parlix::db {
namespace detail {

// Top-level structure of a SELECT: enough to tell a one-table set from anything else.
struct Parsed {
    bool simple = false;
    std::string selectList, table, where, order;
    int selectParams = 0, whereParams = 0, orderParams = 0;
};

struct Column {
    std::string name;
    std::string origin;  // base-table column it reads, empty for expressions
};

struct Row {
    std::int64_t rowid = 0;
    std::vector<Value> v;
};

// A pass over at least this many rows of a table (by the span of its row ids) is read in
// parts side by side, each on a connection of its own.
inline std::int64_t readInPartsFromRows = 200000;

}  // namespace detail

struct Recordset::Impl {
    using Parsed = detail::Parsed;
    using Column = detail::Column;
    using Row = detail::Row;

    std::shared_ptr<Connection::Handle> h;
    std::string sql;
    Params params;
    RecordsetOptions opt;
    Parsed parsed;
    std::vector<Column> cols;
    bool hasRowid = false;
    bool canUpdate = false;

    std::string sortText;
    std::string sortSql;  // validated ORDER BY terms, or empty
    std::vector<std::pair<std::string, bool>> sortKeys;  // its columns (of the table), descending
    Criteria filter;

    // Rows
    std::int64_t queryCount = 0;
    std::vector<Row> snap;  // Snapshot: every row
    std::map<std::int64_t, std::vector<Row>> pages;  // Live: page cache
    std::list<std::int64_t> lru;
    std::vector<Row> appended;  // Live: rows this set inserted since the last requery
    std::vector<std::int64_t> ids;  // Live over one table: the rows' ids in the set's order
    bool idsRead = false;           // ids hold the set's rows (else pages are read by position)

    std::int64_t pos = -1;
    bool afterDelete = false;
    bool loading = false;  // inside load()'s own read transaction (no write of ours is pending)

    enum class Mode { None, Edit, Add } mode = Mode::None;
    std::vector<Value> edit;
    std::vector<bool> dirty;

    sqlite3* db() const { return detail::requireOpen(h.get()); }
    bool live() const { return opt.cursor == Cursor::Live; }
    std::int64_t count() const {
        return live() ? queryCount + static_cast<std::int64_t>(appended.size()) : static_cast<std::int64_t>(snap.size());
    }

    // Fields, filter and sort
    int indexOf(const std::string& name) const;
    int requireIndex(const std::string& name) const;
    std::string fieldSql(const std::string& name) const;
    std::string criteriaSql(const Criteria& c, Params& out) const;
    bool matches(const Criteria& c, const std::vector<Value>& row) const;

    // What a statement over the set's rows yields: the rows in the set's order (rowid
    // first when known), one column per row for counting, the row ids alone in the
    // set's order, or rows in no particular order (fetched by their ids).
    enum class Yield { Rows, Count, Ids, Unordered, SortKeys };

    // The statement that yields the set's rows, with its parameters; LIMIT/OFFSET
    // parameters appended by the caller.
    // `notIndexed`: the table is read through, never through an index.
    // `reversed`: in the opposite order (every term of the order turned round).
    std::string rowsSql(Params& out, Yield yield = Yield::Rows, const std::string& extra = {},
                        const Params& extraParams = {}, bool notIndexed = false, bool reversed = false) const;

    // A live set over one table reads the ids of its rows in the set's order in one pass
    // and then reads each page by its ids, so a page costs the same wherever it lies in
    // the set, and a sort by a column without an index sorts once, not once per page.
    // A set in the statement's own order reads them only when a page beyond the first is
    // wanted (a set opened for its count, or for its first rows, never does); a sorted or
    // filtered one when it is (re)loaded, since its count costs that pass anyway.
    bool canUseIds() const { return live() && hasRowid; }
    bool byIds() const { return canUseIds() && idsRead; }
    bool idsFirst() const { return canUseIds() && (!sortSql.empty() || !filter.matchesAll()); }

    // Reading rows
    void readRows(std::int64_t offset, std::int64_t limit, std::vector<Row>& into);
    std::string queryPlan(const std::string& sql, const Params& p) const;
    std::optional<std::vector<detail::SortKey>> memorySortKeys() const;
    void readIds();         // the set's ids in its order; rows this set added stay at the end
    void readOrderedIds();  // the same, as the database holds them now
    // The ids of a header sort whose pass reads the table through (`notIndexed`: never
    // along an index), read in parts side by side; nullopt when this set is not read so
    // (small, inside a transaction of the caller's, or naming what another connection
    // cannot see).
    std::optional<std::vector<std::int64_t>> sortedInParts(const std::vector<detail::SortKey>& keys,
                                                           bool notIndexed);
    void readPageByIds(std::int64_t page, std::vector<Row>& into);
    void readPart(std::int64_t offset, std::int64_t limit, std::vector<Row>& into, bool reversed = false);
    // The set's rows from position `offset` on, at most `limit` of them, each handed to `fn`
    // until it returns true (then true).
    bool eachRow(std::int64_t offset, std::int64_t limit, const std::function<bool(Row&)>& fn,
                 bool reversed = false);
    // Page `page` by its position counted from the nearer end of the set (before its ids
    // are read): a jump far into a large set reads at most half of its order, not all.
    // False when fewer rows came than the count promised.
    bool readPageFromNearerEnd(std::int64_t page, std::vector<Row>& into);
    void describe();
    void load();
    // `look`: a value wanted for showing (a grid's cell), not a move of the current row.
    Row* rowAt(std::int64_t i, bool look = false);
    Row& current();
    void dropPages() {
        pages.clear();
        lru.clear();
    }
    void stream(std::int64_t from, const std::function<bool(std::int64_t, const Row&)>& fn);

    // Writing rows (RecordsetUpdate.cpp)
    std::string selectById() const;
    bool reread(Row& r);
    std::string unchangedWhere(const Row& r, Params& p, const std::vector<bool>* written = nullptr) const;
    void requireUpdatable() const;
    void removeRow(std::int64_t i);
};

namespace detail {

inline Recordset::Impl& need(const std::unique_ptr<Recordset::Impl>& d) {
    if (!d) throw DbError("the record set is closed");
    return *d;
}

}  // namespace detail
}  // namespace parlix::db
