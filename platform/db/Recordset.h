// parlix::db::Recordset - the record sets the console and the engines work with.
//
//   Recordset rs;
//   rs.open(db, "SELECT * FROM Outbox WHERE SentStatus IN ('P','R') AND DateTimeQueue <= ?"
//               " ORDER BY DateTimeQueue", {now}, {Cursor::Live, Lock::Optimistic, 8});
//   for (rs.moveFirst(); !rs.eof(); rs.moveNext())
//       if (!rs.boolean("Lock")) { rs.setField("Lock", true); rs.update(); break; }
//
// Opening
// - From one SELECT with "?" parameters bound in order, at most maxRecords rows
//   (0 = no limit; the limit is applied in the query, not after it).
// - A set over one table ("SELECT cols FROM Table [WHERE ..] [ORDER BY ..]") knows
//   each row's identity (rowid) and may be updatable. Joins, DISTINCT, GROUP BY,
//   LIMIT are read-only and their bookmarks are positions only.
// - Cursor::Snapshot reads every row at open/requery and shows exactly those values
//   until the next requery (use for small sets). Cursor::Live reads rows on demand,
//   in pages, from the database, so memory stays bounded however large the table;
//   each requery recounts and sees other programs' inserts, changes and deletes.
//   A live set over one table reads its rows' ids in order once (when sorted or
//   filtered, at the load; otherwise when a page beyond the first is wanted) and each
//   page by its ids, so a page deep in the set costs what the first does. A row gone
//   from the set (deleted, or changed so that it no longer qualifies) by the time its
//   page is read is skipped: later rows move up and the current row stays itself.
// - Lock::ReadOnly refuses edits; Lock::Optimistic allows addNew/update/deleteRow.
//
// Moving: eof()/bof(), moveFirst/Next/Previous/Last, move(position) (0-based),
// position() (-1 at BOF, recordCount() at EOF). recordCount() is 64-bit.
// An empty set is at BOF and EOF at once.
//
// Fields: by name (case-insensitive, names such as "012" as they stand) or
// position; field() returns a Value, text()/integer()/real()/boolean() its typed
// form with Null as ""/0/0.0/false; isNull() tells. Unknown names throw DbError.
//
// Editing (optimistic): setField() on the current row, then update() writes only
// the fields that were set, and only if the row (by its key) still exists and each
// of those written fields still holds what this set read. Changes that other
// programs made to other fields do not block it and are kept (an engine writing
// Status does not stop a Save of the port). When a written field was changed,
// or the row was deleted, update() throws RowConflictError ("row is being processed
// elsewhere"); the row is re-read and the pending edit dropped, so the caller still
// has its own copy of what the user typed and may set the fields and update again.
// A claim therefore writes the flag it claims with (Lock): two claims of one row
// collide on it. Values are compared byte for byte, so a value stored with another
// type than its column's (a BLOB in a text column) never makes a row unupdatable.
// addNew() starts a new row, update() inserts it and it becomes the current (last)
// row with its assigned key read back. deleteRow() deletes the current row only if
// every field of the set still holds what was read (nothing is deleted that the user
// did not see), else RowConflictError; afterwards the set has no current row until a
// move: moveNext() goes to the row that followed, movePrevious() to the one before.
// cancelUpdate() drops pending edits.
//
// Sort: setSort("Field ASC") / "Field DESC" / "A ASC, B DESC"; "" restores the
// statement's own order. Only fields of the set are accepted. Survives requery.
// Filter: setFilter(Criteria) replaces the filter, clearFilter() removes it;
// recordCount() then counts the filtered rows. Survives requery. filter() returns
// it for statements that must act on the rows shown (see RenderCriteria).
// Find: find(criteria) searches forward from the current row (inclusive); on a
// match it is current and true is returned, otherwise the set is at EOF.
// Bookmarks: bookmark() of the current row; moveToBookmark() goes to that row if
// it is still in the set, else to its old position, else (beyond the end) to the
// last row.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/db/Connection.h"
#include "platform/db/Value.h"

namespace parlix::db {

// A condition on the fields of an open set, for filters and finds. Values are
// always bound, never pasted into SQL. Text comparison ignores trailing blanks;
// like() is case-insensitive for ASCII letters, as the database's LIKE is;
// contains() ignores letter case in every script (Unicode case folding, Fold.h).
class Criteria {
public:
    enum class Op { Eq, Ne, Lt, Le, Gt, Ge, Like, IsNull, NotNull, And, Or, True, Contains };

    Criteria();  // matches every row
    static Criteria equals(std::string field, Value v);
    static Criteria notEquals(std::string field, Value v);
    static Criteria less(std::string field, Value v);
    static Criteria lessOrEqual(std::string field, Value v);
    static Criteria greater(std::string field, Value v);
    static Criteria greaterOrEqual(std::string field, Value v);
    // lo <= field <= hi (dates as "YYYY-MM-DD HH:MM:SS" text)
    static Criteria between(std::string field, Value lo, Value hi);
    // Pattern with "*" or "%" for any run of characters and "?" or "_" for one.
    static Criteria like(std::string field, std::string pattern);
    // Literal text (quotes, "%", "*", "_" mean themselves): the console's "LIKE '*x*'".
    static Criteria contains(std::string field, const std::string& text);
    static Criteria startsWith(std::string field, const std::string& text);
    static Criteria endsWith(std::string field, const std::string& text);
    static Criteria isNull(std::string field);
    static Criteria notNull(std::string field);

    Criteria operator&&(const Criteria& o) const;
    Criteria operator||(const Criteria& o) const;

    bool matchesAll() const { return op_ == Op::True; }
    Op op() const { return op_; }
    const std::string& field() const { return field_; }
    const Value& value() const { return value_; }
    const std::vector<Criteria>& children() const { return kids_; }

private:
    Criteria(Op op, std::string field, Value v);
    Op op_ = Op::True;
    std::string field_;
    Value value_;  // for Like: the pattern in SQL form ('%', '_', escape '\'); Contains: the text
    std::vector<Criteria> kids_;
};

// The SQL condition of a criteria, its values appended to `params` as "?" in order.
// Record sets filter and find with it, so a statement built from a set's filter()
// selects exactly the rows the set shows. `field` turns a field name into its SQL
// (default: the name as a quoted identifier); it may throw for unknown fields.
std::string RenderCriteria(const Criteria& c, Params& params,
                           const std::function<std::string(const std::string& field)>& field = {});

enum class Cursor { Snapshot, Live };
enum class Lock { ReadOnly, Optimistic };

struct RecordsetOptions {
    Cursor cursor = Cursor::Snapshot;
    Lock lock = Lock::ReadOnly;
    std::int64_t maxRecords = 0;
};

struct Bookmark {
    std::int64_t rowid = 0;      // row identity (0 when the set has none)
    std::int64_t position = -1;  // 0-based position when taken
    bool valid() const { return position >= 0; }
};

class Recordset {
public:
    Recordset();
    Recordset(const Connection& db, const std::string& sql, const Params& params = {},
              const RecordsetOptions& options = {});
    ~Recordset();
    Recordset(Recordset&&) noexcept;
    Recordset& operator=(Recordset&&) noexcept;
    Recordset(const Recordset&) = delete;
    Recordset& operator=(const Recordset&) = delete;

    void open(const Connection& db, const std::string& sql, const Params& params = {},
              const RecordsetOptions& options = {});
    void close();
    bool isOpen() const;
    void requery();

    // Moving
    bool eof() const;
    bool bof() const;
    void moveFirst();
    void moveNext();
    void movePrevious();
    void moveLast();
    void move(std::int64_t position);
    std::int64_t position() const;
    std::int64_t recordCount() const;

    // Fields of the current row
    int fieldCount() const;
    std::string fieldName(int pos) const;
    int fieldIndex(const std::string& name) const;  // -1 when absent
    Value field(const std::string& name) const;
    Value field(int pos) const;
    std::string text(const std::string& name) const { return field(name).asText(); }
    std::int64_t integer(const std::string& name) const { return field(name).asInt(); }
    double real(const std::string& name) const { return field(name).asDouble(); }
    bool boolean(const std::string& name) const { return field(name).asBool(); }
    bool isNull(const std::string& name) const { return field(name).isNull(); }
    // Any row by position without moving (grids).
    Value valueAt(std::int64_t row, int pos) const;

    // Editing
    bool updatable() const;
    void setField(const std::string& name, Value v);
    void setField(int pos, Value v);
    void addNew();
    void update();
    void cancelUpdate();
    void deleteRow();
    bool editing() const;

    // A live set over one table pages by its rows' ids: read them now, if it has not yet,
    // so that the first jump deep into the set does not wait for them (grids call it when
    // idle after a reload). Other sets: nothing.
    void readOrder();

    // Sort, filter, find, bookmarks
    void setSort(const std::string& sort);
    const std::string& sort() const;
    void setFilter(const Criteria& c);
    void clearFilter();
    bool filtered() const;
    const Criteria& filter() const;  // matchesAll() when none
    bool find(const Criteria& c);
    Bookmark bookmark() const;
    void moveToBookmark(const Bookmark& b);

    struct Impl;

private:
    std::unique_ptr<Impl> d_;
};

}  // namespace parlix::db
