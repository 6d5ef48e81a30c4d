// Editing a record set: addNew, setField, update, deleteRow, and the checks that an
// update or delete finds the row as this set read it.
#include <string>
#include <vector>

#include "platform/db/Internal.h"
#include "platform/db/Recordset.h"
#include "platform/db/RecordsetImpl.h"

namespace parlix::db {

using detail::need;
using detail::Row;
using detail::Stmt;

std::string Recordset::Impl::selectById() const {
    return "SELECT " + parsed.selectList + " FROM " + quoteIdentifier(parsed.table) + " WHERE " +
           quoteIdentifier(parsed.table) + ".rowid = ?";
}

bool Recordset::Impl::reread(Row& r) {
    Stmt st(db(), selectById());
    st.bindOne(1, Value(static_cast<long long>(r.rowid)));
    if (!st.step()) return false;
    for (int i = 0; i < st.columnCount() && static_cast<size_t>(i) < r.v.size(); ++i)
        r.v[static_cast<size_t>(i)] = st.column(i);
    return true;
}

// WHERE clause for "this row, with these columns as we read them": the columns an
// update writes (`written`), or every column of the set (a delete). Compared as
// bytes, so a value stored with another type than its column's (a BLOB in a text
// column) still equals what was read.
std::string Recordset::Impl::unchangedWhere(const Row& r, Params& p, const std::vector<bool>* written) const {
    std::string tq = quoteIdentifier(parsed.table);
    std::string w = tq + ".rowid = ?";
    p.emplace_back(static_cast<long long>(r.rowid));
    for (size_t i = 0; i < cols.size(); ++i) {
        if (cols[i].origin.empty() || (written && !(*written)[i])) continue;
        w += " AND CAST(" + quoteIdentifier(cols[i].origin) + " AS BLOB) IS CAST(? AS BLOB)";
        p.push_back(r.v[i]);
    }
    return w;
}

void Recordset::Impl::requireUpdatable() const {
    if (opt.lock == Lock::ReadOnly) throw DbError("the record set is read-only");
    if (!canUpdate) throw DbError("the record set cannot be updated (not a one-table query)");
}

void Recordset::Impl::removeRow(std::int64_t i) {
    if (!live()) {
        snap.erase(snap.begin() + i);
    } else if (i >= queryCount) {
        appended.erase(appended.begin() + (i - queryCount));
    } else {
        if (byIds()) ids.erase(ids.begin() + static_cast<std::ptrdiff_t>(i));
        --queryCount;
        dropPages();
    }
}

bool Recordset::updatable() const {
    auto& d = need(d_);
    return d.opt.lock == Lock::Optimistic && d.canUpdate;
}

void Recordset::setField(const std::string& name, Value v) { setField(need(d_).requireIndex(name), std::move(v)); }

void Recordset::setField(int pos, Value v) {
    auto& d = need(d_);
    d.requireUpdatable();
    if (pos < 0 || pos >= fieldCount()) throw DbError("field position out of range: " + std::to_string(pos));
    if (d.cols[static_cast<size_t>(pos)].origin.empty())
        throw DbError("field cannot be written: " + d.cols[static_cast<size_t>(pos)].name);
    if (d.mode == Impl::Mode::None) {
        d.edit = d.current().v;
        d.dirty.assign(d.cols.size(), false);
        d.mode = Impl::Mode::Edit;
    }
    d.edit[static_cast<size_t>(pos)] = std::move(v);
    d.dirty[static_cast<size_t>(pos)] = true;
}

void Recordset::addNew() {
    auto& d = need(d_);
    d.requireUpdatable();
    if (d.mode != Impl::Mode::None) update();
    d.edit.assign(d.cols.size(), Value());
    d.dirty.assign(d.cols.size(), false);
    d.mode = Impl::Mode::Add;
}

bool Recordset::editing() const { return need(d_).mode != Impl::Mode::None; }

void Recordset::cancelUpdate() {
    auto& d = need(d_);
    d.mode = Impl::Mode::None;
    d.edit.clear();
    d.dirty.clear();
}

void Recordset::update() {
    auto& d = need(d_);
    if (d.mode == Impl::Mode::None) return;
    std::string tq = quoteIdentifier(d.parsed.table);
    if (d.mode == Impl::Mode::Add) {
        std::string names, marks;
        Params p;
        for (size_t i = 0; i < d.cols.size(); ++i) {
            if (!d.dirty[i]) continue;
            if (!names.empty()) {
                names += ", ";
                marks += ", ";
            }
            names += quoteIdentifier(d.cols[i].origin);
            marks += "?";
            p.push_back(d.edit[i]);
        }
        std::string s = names.empty() ? "INSERT INTO " + tq + " DEFAULT VALUES"
                                      : "INSERT INTO " + tq + " (" + names + ") VALUES (" + marks + ")";
        Stmt st(d.db(), s);
        st.bind(p);
        st.step();
        Row r;
        r.rowid = sqlite3_last_insert_rowid(d.db());
        r.v = d.edit;
        d.mode = Impl::Mode::None;
        d.reread(r);  // defaults and the assigned key
        if (d.live()) d.appended.push_back(std::move(r));
        else d.snap.push_back(std::move(r));
        d.pos = d.count() - 1;
        d.afterDelete = false;
        return;
    }
    Row& r = d.current();
    std::string set;
    Params p;
    for (size_t i = 0; i < d.cols.size(); ++i) {
        if (!d.dirty[i]) continue;
        if (!set.empty()) set += ", ";
        set += quoteIdentifier(d.cols[i].origin) + " = ?";
        p.push_back(d.edit[i]);
    }
    d.mode = Impl::Mode::None;
    if (set.empty()) return;
    std::string where = d.unchangedWhere(r, p, &d.dirty);
    Stmt st(d.db(), "UPDATE " + tq + " SET " + set + " WHERE " + where);
    st.bind(p);
    st.step();
    if (sqlite3_changes(d.db()) != 1) {
        bool exists = d.reread(r);
        throw RowConflictError(!exists);
    }
    d.reread(r);
}

void Recordset::deleteRow() {
    auto& d = need(d_);
    d.requireUpdatable();
    if (d.mode == Impl::Mode::Add) {
        cancelUpdate();
        return;
    }
    d.mode = Impl::Mode::None;
    Row& r = d.current();
    Params p;
    std::string where = d.unchangedWhere(r, p);
    Stmt st(d.db(), "DELETE FROM " + quoteIdentifier(d.parsed.table) + " WHERE " + where);
    st.bind(p);
    st.step();
    if (sqlite3_changes(d.db()) != 1) {
        bool exists = d.reread(r);
        throw RowConflictError(!exists);
    }
    d.removeRow(d.pos);
    d.afterDelete = true;
}

}  // namespace parlix::db
