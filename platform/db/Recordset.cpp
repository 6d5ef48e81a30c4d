#include "platform/db/Recordset.h"

#include "platform/db/Fold.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <functional>
#include <limits>
#include <list>
#include <map>
#include <memory>
#include <thread>
#include <unordered_map>

#include "platform/db/Internal.h"
#include "platform/db/RecordsetImpl.h"
#include "platform/db/SortIds.h"

namespace parlix::db {

using detail::Column;
using detail::need;
using detail::Parsed;
using detail::Row;
using detail::Stmt;

namespace {

constexpr std::int64_t kPageRows = 256;
constexpr size_t kMaxPages = 32;

std::string lower(std::string s) {
    for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return s;
}

bool iequals(const std::string& a, const std::string& b) { return lower(a) == lower(b); }

std::string trim(const std::string& s) {
    size_t b = s.find_first_not_of(" \t\r\n");
    if (b == std::string::npos) return {};
    size_t e = s.find_last_not_of(" \t\r\n");
    return s.substr(b, e - b + 1);
}

// "[Name]" or "\"Name\"" -> Name
std::string unbracket(std::string s) {
    s = trim(s);
    if (s.size() >= 2 && ((s.front() == '[' && s.back() == ']') || (s.front() == '"' && s.back() == '"') ||
                          (s.front() == '`' && s.back() == '`')))
        return s.substr(1, s.size() - 2);
    return s;
}

struct Token {
    size_t begin, end;
    int depth;
    std::string word;  // lower-case keyword/identifier, empty for others
};

// The statement's words, quoted names and texts, and marks, each with its depth in
// brackets; comments left out. `params` gets the offsets of '?' at any depth.
std::vector<Token> tokenize(const std::string& sql, std::vector<size_t>* params = nullptr) {
    std::vector<Token> toks;
    int depth = 0;
    size_t i = 0, n = sql.size();
    while (i < n) {
        char c = sql[i];
        if (c == '\'' || c == '"' || c == '[' || c == '`') {
            char close = c == '[' ? ']' : c;
            size_t j = i + 1;
            while (j < n) {
                if (sql[j] == close) {
                    if (close != ']' && j + 1 < n && sql[j + 1] == close) {
                        j += 2;
                        continue;
                    }
                    break;
                }
                ++j;
            }
            toks.push_back({i, std::min(j + 1, n), depth, ""});
            i = j + 1;
        } else if (c == '-' && i + 1 < n && sql[i + 1] == '-') {
            while (i < n && sql[i] != '\n') ++i;
        } else if (c == '/' && i + 1 < n && sql[i + 1] == '*') {
            size_t j = sql.find("*/", i + 2);
            i = j == std::string::npos ? n : j + 2;
        } else if (c == '(') {
            ++depth;
            ++i;
        } else if (c == ')') {
            --depth;
            ++i;
        } else if (std::isalnum(static_cast<unsigned char>(c)) || c == '_') {
            size_t j = i;
            while (j < n && (std::isalnum(static_cast<unsigned char>(sql[j])) || sql[j] == '_' || sql[j] == '$')) ++j;
            toks.push_back({i, j, depth, lower(sql.substr(i, j - i))});
            i = j;
        } else {
            if (c == '?' && params) params->push_back(i);
            if (!std::isspace(static_cast<unsigned char>(c))) toks.push_back({i, i + 1, depth, std::string(1, c)});
            ++i;
        }
    }
    return toks;
}

Parsed parseSelect(const std::string& sql) {
    Parsed p;
    std::vector<size_t> params;  // offsets of '?' at any depth
    const std::vector<Token> toks = tokenize(sql, &params);
    const size_t n = sql.size();
    auto countParams = [&](size_t b, size_t e) {
        return static_cast<int>(std::count_if(params.begin(), params.end(), [&](size_t o) { return o >= b && o < e; }));
    };
    if (toks.empty() || toks[0].word != "select") return p;
    static const char* kComplex[] = {"group", "having", "limit", "union", "intersect", "except", "join", "window",
                                     "offset", ";"};
    size_t from = 0, where = 0, order = 0;
    for (size_t t = 1; t < toks.size(); ++t) {
        if (toks[t].depth != 0) continue;
        const std::string& w = toks[t].word;
        for (const char* k : kComplex)
            if (w == k) return p;
        if (w == "from") {
            if (from) return p;
            from = t;
        } else if (w == "where" && from && !where && !order) {
            where = t;
        } else if (w == "order" && from && t + 1 < toks.size() && toks[t + 1].word == "by") {
            order = t;
        }
    }
    if (!from || toks[1].word == "distinct" || toks[1].word == "all") return p;
    // An aggregate makes one row out of many: not a set of table rows.
    static const char* kAggregates[] = {"count", "sum", "min", "max", "avg", "total", "group_concat"};
    for (size_t t = 1; t < from; ++t)
        for (const char* a : kAggregates)
            if (toks[t].word == a) {
                size_t k = toks[t].end;
                while (k < n && std::isspace(static_cast<unsigned char>(sql[k]))) ++k;
                if (k < n && sql[k] == '(') return p;
            }
    // FROM must name exactly one table.
    size_t tableEnd = where ? where : (order ? order : toks.size());
    if (tableEnd != from + 2) return p;
    const Token& tt = toks[from + 1];
    std::string tname = unbracket(sql.substr(tt.begin, tt.end - tt.begin));
    if (tname.empty() || tname.find_first_of(".\"'[]`,") != std::string::npos) return p;
    p.table = tname;
    size_t selB = toks[0].end, selE = toks[from].begin;
    p.selectList = trim(sql.substr(selB, selE - selB));
    p.selectParams = countParams(selB, selE);
    if (where) {
        size_t b = toks[where].end, e = order ? toks[order].begin : n;
        p.where = trim(sql.substr(b, e - b));
        p.whereParams = countParams(b, e);
    }
    if (order) {
        size_t b = toks[order + 1].end;
        p.order = trim(sql.substr(b));
        p.orderParams = countParams(b, n);
    }
    p.simple = true;
    return p;
}
// Compares as the database does for our columns: numbers numerically, text with
// trailing blanks ignored. Returns nullopt when either side is Null.
std::optional<int> compareValues(const Value& a, const Value& b) {
    if (a.isNull() || b.isNull()) return std::nullopt;
    auto numeric = [](const Value& v, double& out) {
        if (v.type() == Value::Type::Integer || v.type() == Value::Type::Real) {
            out = v.asDouble();
            return true;
        }
        std::string t = trim(v.asText());
        if (t.empty()) return false;
        char* end = nullptr;
        out = std::strtod(t.c_str(), &end);
        return end && *end == '\0';
    };
    bool an = a.type() != Value::Type::Text, bn = b.type() != Value::Type::Text;
    double x, y;
    if ((an || bn) && numeric(a, x) && numeric(b, y)) return x < y ? -1 : (x > y ? 1 : 0);
    std::string s = a.asText(), t = b.asText();
    while (!s.empty() && s.back() == ' ') s.pop_back();
    while (!t.empty() && t.back() == ' ') t.pop_back();
    int c = s.compare(t);
    return c < 0 ? -1 : (c > 0 ? 1 : 0);
}

// LIKE with '%', '_' and escape '\', ASCII case-insensitive (as the database's LIKE).
bool likeMatch(const char* s, const char* p) {
    while (*p) {
        if (*p == '%') {
            while (*p == '%') ++p;
            if (!*p) return true;
            for (const char* t = s; *t; ++t)
                if (likeMatch(t, p)) return true;
            return likeMatch("", p);
        }
        if (!*s) return false;
        if (*p == '_') {
            // one whole UTF-8 character
            ++s;
            while ((static_cast<unsigned char>(*s) & 0xC0) == 0x80) ++s;
            ++p;
            continue;
        }
        char pc = *p;
        if (pc == '\\' && p[1]) pc = *++p;
        if (std::tolower(static_cast<unsigned char>(pc)) != std::tolower(static_cast<unsigned char>(*s))) return false;
        ++s;
        ++p;
    }
    return *s == '\0';
}

}  // namespace

int Recordset::Impl::indexOf(const std::string& name) const {
    std::string n = unbracket(name);
    for (size_t i = 0; i < cols.size(); ++i)
        if (iequals(cols[i].name, n)) return static_cast<int>(i);
    return -1;
}

int Recordset::Impl::requireIndex(const std::string& name) const {
    int i = indexOf(name);
    if (i < 0) throw DbError("field not found in the record set: " + name);
    return i;
}

// SQL for a field of this set inside the generated query.
std::string Recordset::Impl::fieldSql(const std::string& name) const {
    const Column& c = cols[static_cast<size_t>(requireIndex(name))];
    if (parsed.simple) {
        if (c.origin.empty()) throw DbError("cannot filter or sort on a computed field: " + name);
        return quoteIdentifier(parsed.table) + "." + quoteIdentifier(c.origin);
    }
    return quoteIdentifier(c.name);
}

std::string Recordset::Impl::criteriaSql(const Criteria& c, Params& out) const {
    return RenderCriteria(c, out, [this](const std::string& name) { return fieldSql(name); });
}

bool Recordset::Impl::matches(const Criteria& c, const std::vector<Value>& row) const {
    using Op = Criteria::Op;
    switch (c.op()) {
    case Op::True: return true;
    case Op::And:
        for (const auto& k : c.children())
            if (!matches(k, row)) return false;
        return true;
    case Op::Or:
        for (const auto& k : c.children())
            if (matches(k, row)) return true;
        return false;
    default: break;
    }
    const Value& v = row[static_cast<size_t>(requireIndex(c.field()))];
    if (c.op() == Op::IsNull) return v.isNull();
    if (c.op() == Op::NotNull) return !v.isNull();
    if (c.op() == Op::Like) return !v.isNull() && likeMatch(v.asText().c_str(), c.value().asText().c_str());
    if (c.op() == Op::Contains) return !v.isNull() && ContainsFolded(v.asText(), FoldCase(c.value().asText()));
    auto r = compareValues(v, c.value());
    if (!r) return false;
    switch (c.op()) {
    case Op::Eq: return *r == 0;
    case Op::Ne: return *r != 0;
    case Op::Lt: return *r < 0;
    case Op::Le: return *r <= 0;
    case Op::Gt: return *r > 0;
    case Op::Ge: return *r >= 0;
    default: return false;
    }
}

namespace {

// An ORDER BY list with every term turned round: "a DESC, b" -> "a ASC, b DESC".
std::string reversedOrder(const std::string& order) {
    std::string out;
    // The term in [begin, end) whose last word at the top level is `last` (or none).
    auto turn = [&](size_t begin, size_t end, const Token* last) {
        std::string term;
        if (last && last->depth == 0 && (last->word == "asc" || last->word == "desc"))
            term = trim(order.substr(begin, last->begin - begin)) + (last->word == "asc" ? " DESC" : " ASC");
        else
            term = trim(order.substr(begin, end - begin)) + " DESC";
        out += (out.empty() ? "" : ", ") + term;
    };
    const std::vector<Token> toks = tokenize(order);
    size_t begin = 0;
    const Token* last = nullptr;
    for (const Token& t : toks) {
        if (t.depth == 0 && t.word == ",") {
            turn(begin, t.begin, last);
            begin = t.end;
            last = nullptr;
        } else {
            last = &t;
        }
    }
    turn(begin, order.size(), last);
    return out;
}

}  // namespace

// The statement that yields the set's rows, with its parameters; LIMIT/OFFSET
// parameters appended by the caller.
// `notIndexed`: the table is read through, never through an index.
std::string Recordset::Impl::rowsSql(Params& out, Yield yield, const std::string& extra,
                                     const Params& extraParams, bool notIndexed, bool reversed) const {
    const bool countOnly = yield == Yield::Count;
    const bool ordered = yield == Yield::Rows || yield == Yield::Ids;
    Params filterParams;
    std::string f = filter.matchesAll() ? std::string() : criteriaSql(filter, filterParams);
    if (!extra.empty()) {
        f = f.empty() ? "(" + extra + ")" : "(" + f + ") AND (" + extra + ")";
        filterParams.insert(filterParams.end(), extraParams.begin(), extraParams.end());
    }
    std::string s;
    if (parsed.simple) {
        auto first = params.begin();
        std::string tq = quoteIdentifier(parsed.table);
        const bool withColumns = yield == Yield::Rows || yield == Yield::Unordered;
        s = countOnly ? "SELECT 1" : "SELECT " + tq + ".rowid" + (withColumns ? ", " + parsed.selectList : "");
        if (yield == Yield::SortKeys)
            for (const auto& key : sortKeys) s += ", " + tq + "." + quoteIdentifier(key.first);
        if (withColumns) out.insert(out.end(), first, first + parsed.selectParams);
        s += " FROM " + tq;
        if (notIndexed) s += " NOT INDEXED";
        std::string where = parsed.where;
        if (!where.empty()) {
            auto wb = first + parsed.selectParams;
            out.insert(out.end(), wb, wb + parsed.whereParams);
        }
        if (!f.empty()) where = where.empty() ? f : "(" + where + ") AND " + f;
        if (!where.empty()) s += " WHERE " + where;
        out.insert(out.end(), filterParams.begin(), filterParams.end());
        if (ordered) {
            std::string order = sortSql.empty() ? parsed.order : sortSql;
            if (sortSql.empty() && !parsed.order.empty()) {
                auto ob = first + parsed.selectParams + parsed.whereParams;
                out.insert(out.end(), ob, ob + parsed.orderParams);
            }
            // rowid breaks ties so that pages fetched apart line up.
            bool desc = !order.empty() && lower(order).size() >= 4 &&
                        lower(order).compare(order.size() - 4, 4, "desc") == 0;
            if (reversed) {
                if (!order.empty()) order = reversedOrder(order);
                desc = !desc;
            }
            s += " ORDER BY " + (order.empty() ? "" : order + ", ") + tq + ".rowid" + (desc ? " DESC" : "");
        }
    } else {
        out.insert(out.end(), params.begin(), params.end());
        s = "SELECT " + std::string(countOnly ? "1" : "*") + " FROM (" + sql + ")";
        if (!f.empty()) s += " WHERE " + f;
        out.insert(out.end(), filterParams.begin(), filterParams.end());
        if (!countOnly && !sortSql.empty()) s += " ORDER BY " + sortSql;
    }
    return s;
}

// Rows from position offset on (sets without row ids).
void Recordset::Impl::readRows(std::int64_t offset, std::int64_t limit, std::vector<Row>& into) {
    std::int64_t cap = opt.maxRecords > 0 ? opt.maxRecords - offset : -1;
    if (opt.maxRecords > 0 && cap <= 0) return;
    if (limit < 0 || (cap >= 0 && cap < limit)) limit = cap;
    readPart(offset, limit, into);
}

std::string Recordset::Impl::queryPlan(const std::string& sql, const Params& p) const {
    std::string plan;
    Stmt explain(db(), "EXPLAIN QUERY PLAN " + sql);
    explain.bind(p);
    while (explain.step()) plan += explain.column(3).asText() + "\n";
    return plan;
}

// The collations of the sort's columns, when this code compares them as the database
// does (else the database sorts).
std::optional<std::vector<detail::SortKey>> Recordset::Impl::memorySortKeys() const {
    if (sortKeys.empty()) return std::nullopt;
    std::vector<detail::SortKey> keys;
    for (const auto& [column, desc] : sortKeys) {
        const char* collation = nullptr;
        if (sqlite3_table_column_metadata(db(), nullptr, parsed.table.c_str(), column.c_str(), nullptr, &collation,
                                          nullptr, nullptr, nullptr) != SQLITE_OK)
            return std::nullopt;
        auto c = detail::CollationNamed(collation);
        if (!c) return std::nullopt;
        keys.push_back({*c, desc});
    }
    return keys;
}

void Recordset::Impl::readIds() {
    readOrderedIds();
    if (appended.empty()) return;
    // Rows this set added since it was loaded stay at its end, where they were shown,
    // not also at their place in the order.
    std::vector<std::int64_t> added;
    for (const Row& r : appended) added.push_back(r.rowid);
    std::sort(added.begin(), added.end());
    ids.erase(std::remove_if(ids.begin(), ids.end(),
                             [&](std::int64_t id) { return std::binary_search(added.begin(), added.end(), id); }),
              ids.end());
    queryCount = static_cast<std::int64_t>(ids.size());
}

void Recordset::Impl::readOrderedIds() {
    auto keys = memorySortKeys();
    if (keys) {
        // An index that gives the order and holds what the statement asks serves it
        // better than any sort (one that must read each row from the table does not).
        Params p;
        const std::string plan = queryPlan(rowsSql(p, Yield::Ids), p);
        if (plan.find("TEMP B-TREE") == std::string::npos &&
            (plan.find("COVERING INDEX") != std::string::npos || plan.find(" INDEX ") == std::string::npos))
            keys.reset();
    }
    if (keys) {
        // A header sort: the rows' keys read in one pass, sorted here. An index that
        // holds the keys serves the pass; one that would only find the folder's rows
        // (most of the table, each then read from it) is slower than reading the table
        // through, unless a filter picks few of them.
        Params p;
        std::string sql = rowsSql(p, Yield::SortKeys);
        const std::string plan = queryPlan(sql, p);
        bool throughTable = plan.find(" INDEX ") == std::string::npos && plan.find("PRIMARY KEY") == std::string::npos;
        if (filter.matchesAll() && plan.find(" INDEX ") != std::string::npos &&
            plan.find("COVERING INDEX") == std::string::npos) {
            p.clear();
            sql = rowsSql(p, Yield::SortKeys, {}, {}, true);
            throughTable = true;
        }
        idsRead = false;
        auto parted = throughTable ? sortedInParts(*keys, sql.find(" NOT INDEXED") != std::string::npos)
                                   : std::nullopt;
        if (parted) {
            ids = std::move(*parted);
        } else {
            Stmt st(db(), sql);
            st.bind(p);
            ids = detail::SortedIds(st.get(), *keys, sortKeys.back().second, opt.maxRecords);
        }
        queryCount = static_cast<std::int64_t>(ids.size());
        idsRead = true;
        return;
    }
    Params p;
    std::string s = rowsSql(p, Yield::Ids);
    if (!filter.matchesAll()) {
        // A filter looks at every row; walking an order's index to do it reads the rows
        // one by one out of order, slower than reading the table through and sorting
        // what the filter keeps. A filter an index serves (a range of dates) keeps it.
        const std::string plan = queryPlan(s, p);
        if (plan.find("SCAN TABLE") != std::string::npos && plan.find(" USING INDEX ") != std::string::npos) {
            p.clear();
            s = rowsSql(p, Yield::Ids, {}, {}, true);
        }
    }
    if (opt.maxRecords > 0) {
        s += " LIMIT ?";
        p.push_back(static_cast<long long>(opt.maxRecords));
    }
    Stmt st(db(), s);
    st.bind(p);
    ids.clear();
    // A much smaller set gives back what a larger one left (a reload after a filter).
    if (ids.capacity() > 1024 * 1024) ids.shrink_to_fit();
    idsRead = false;
    while (st.step()) ids.push_back(sqlite3_column_int64(st.get(), 0));
    queryCount = static_cast<std::int64_t>(ids.size());
    idsRead = true;
}

std::optional<std::vector<std::int64_t>> Recordset::Impl::sortedInParts(const std::vector<detail::SortKey>& keys,
                                                                         bool notIndexed) {
    // The other connections see what is committed: not a write of ours still pending.
    if (!parsed.simple || !(loading || sqlite3_get_autocommit(db()))) return std::nullopt;
    const unsigned parts = std::min(std::thread::hardware_concurrency(), 4u);
    if (parts < 2) return std::nullopt;
    const std::string tq = quoteIdentifier(parsed.table);
    std::int64_t lo = 0, hi = 0;
    {
        // One aggregate each: the database then reads each end of the table only.
        Stmt span(db(), "SELECT (SELECT min(rowid) FROM " + tq + "), (SELECT max(rowid) FROM " + tq + ")");
        if (!span.step() || span.column(0).isNull()) return std::nullopt;
        lo = span.column(0).asInt();
        hi = span.column(1).asInt();
    }
    if (hi - lo < detail::readInPartsFromRows) return std::nullopt;
    // Part k holds the row ids in (bound[k], bound[k + 1]]; the first and last are open.
    std::vector<std::int64_t> bound{std::numeric_limits<std::int64_t>::min()};
    for (unsigned k = 1; k < parts; ++k) bound.push_back(lo + (hi - lo) / static_cast<std::int64_t>(parts) * k);
    bound.push_back(std::numeric_limits<std::int64_t>::max());
    std::vector<std::unique_ptr<detail::Reader>> readers;
    std::vector<std::unique_ptr<Stmt>> statements;  // finalised before their readers go back
    std::vector<sqlite3_stmt*> raw;
    try {
        for (unsigned k = 0; k < parts; ++k) {
            Params p;
            const std::string sql = rowsSql(p, Yield::SortKeys, tq + ".rowid > ? AND " + tq + ".rowid <= ?",
                                            {static_cast<long long>(bound[k]), static_cast<long long>(bound[k + 1])},
                                            notIndexed);
            sqlite3* c = db();
            if (k > 0) {
                readers.push_back(std::make_unique<detail::Reader>(h));
                c = readers.back()->get();
            }
            statements.push_back(std::make_unique<Stmt>(c, sql));
            statements.back()->bind(p);
            raw.push_back(statements.back()->get());
        }
    } catch (const DbError&) {
        // No second connection (the file cannot be opened again, or the statement names a
        // temporary table): the pass stays on this one.
        return std::nullopt;
    }
    return detail::SortedIds(raw, keys, sortKeys.back().second, opt.maxRecords);
}

// The rows of page `page` by their ids. A row another program deleted, or changed so
// that it left the set (a message sent leaves the Outbox view), is dropped from the
// set: later rows move up, and the current row stays the row it was.
void Recordset::Impl::readPageByIds(std::int64_t page, std::vector<Row>& into) {
    constexpr size_t kIn = static_cast<size_t>(kPageRows);
    static const std::string marks = [] {
        std::string m = "?";
        for (size_t i = 1; i < kIn; ++i) m += ",?";
        return m;
    }();
    const std::string tq = quoteIdentifier(parsed.table);
    size_t at = static_cast<size_t>(page * kPageRows);
    bool dropped = false;
    while (into.size() < kIn && at < ids.size()) {
        const size_t n = std::min(kIn - into.size(), ids.size() - at);
        Params byId;
        byId.reserve(kIn);
        for (size_t k = 0; k < kIn; ++k)
            byId.push_back(k < n ? Value(static_cast<long long>(ids[at + k])) : Value());
        Params p;
        // Always kIn marks (Null for unused ones): one statement text for every page.
        std::string s = rowsSql(p, Yield::Unordered, tq + ".rowid IN (" + marks + ")", byId);
        Stmt st(db(), s);
        st.bind(p);
        std::unordered_map<std::int64_t, Row> found;
        const int columns = st.columnCount();
        while (st.step()) {
            Row r;
            r.rowid = st.column(0).asInt();
            r.v.reserve(static_cast<size_t>(columns - 1));
            for (int i = 1; i < columns; ++i) r.v.push_back(st.column(i));
            found.emplace(r.rowid, std::move(r));
        }
        size_t kept = at;
        for (size_t k = at; k < at + n; ++k) {
            auto f = found.find(ids[k]);
            if (f == found.end()) {
                if (static_cast<std::int64_t>(kept) < pos) --pos;
                dropped = true;
                continue;
            }
            ids[kept++] = ids[k];
            into.push_back(std::move(f->second));
        }
        if (kept != at + n) {
            ids.erase(ids.begin() + static_cast<std::ptrdiff_t>(kept),
                      ids.begin() + static_cast<std::ptrdiff_t>(at + n));
            queryCount = static_cast<std::int64_t>(ids.size());
        }
        at = kept;
    }
    if (dropped) {
        // Pages after this one hold rows that have since moved up.
        for (auto it = pages.upper_bound(page); it != pages.end();) {
            lru.remove(it->first);
            it = pages.erase(it);
        }
    }
}

void Recordset::Impl::readPart(std::int64_t offset, std::int64_t limit, std::vector<Row>& into, bool reversed) {
    eachRow(
        offset, limit,
        [&](Row& r) {
            into.push_back(std::move(r));
            return false;
        },
        reversed);
}

bool Recordset::Impl::readPageFromNearerEnd(std::int64_t page, std::vector<Row>& into) {
    const std::int64_t from = page * kPageRows, to = std::min(from + kPageRows, queryCount);
    const bool fromEnd = from >= queryCount - to;
    readPart(fromEnd ? queryCount - to : from, to - from, into, fromEnd);
    if (fromEnd) std::reverse(into.begin(), into.end());
    return static_cast<std::int64_t>(into.size()) == to - from;
}

bool Recordset::Impl::eachRow(std::int64_t offset, std::int64_t limit, const std::function<bool(Row&)>& fn,
                              bool reversed) {
    Params p;
    std::string s = rowsSql(p, Yield::Rows, {}, {}, false, reversed);
    s += " LIMIT ? OFFSET ?";
    p.push_back(static_cast<long long>(limit));
    p.push_back(static_cast<long long>(offset));
    Stmt st(db(), s);
    st.bind(p);
    int first = hasRowid ? 1 : 0;
    int n = st.columnCount();
    while (st.step()) {
        Row r;
        r.rowid = hasRowid ? st.column(0).asInt() : 0;
        r.v.reserve(static_cast<size_t>(n - first));
        for (int i = first; i < n; ++i) r.v.push_back(st.column(i));
        if (fn(r)) return true;
    }
    return false;
}

void Recordset::Impl::describe() {
    Params p;
    std::string s = rowsSql(p) + " LIMIT 0";
    Stmt st(db(), s);
    cols.clear();
    int n = st.columnCount();
    int first = parsed.simple ? 1 : 0;
    hasRowid = parsed.simple;
    canUpdate = parsed.simple && parsed.selectParams == 0;
    for (int i = first; i < n; ++i) {
        Column c;
        c.name = sqlite3_column_name(st.get(), i);
        const char* tn = sqlite3_column_table_name(st.get(), i);
        const char* on = sqlite3_column_origin_name(st.get(), i);
        if (parsed.simple && tn && on && iequals(tn, parsed.table)) c.origin = on;
        cols.push_back(std::move(c));
    }
}

void Recordset::Impl::load() {
    idsRead = false;
    ids.clear();
    pages.clear();
    lru.clear();
    appended.clear();
    snap.clear();
    afterDelete = false;
    mode = Mode::None;
    if (live()) {
        Params p;
        std::string s;
        if (idsFirst()) {
            // The ids are the count.
        } else if (opt.maxRecords > 0) {
            // Counted in the set's order: the database stops at the same first rows
            // the set reads (a report's newest match), not at whichever it meets first.
            s = "SELECT count(*) FROM (" + rowsSql(p) + " LIMIT ?)";
            p.push_back(static_cast<long long>(opt.maxRecords));
        } else {
            std::string inner = rowsSql(p, Yield::Count);
            s = "SELECT count(*) FROM (" + inner + ")";
            if (parsed.simple) {
                // Let the database count straight from an index.
                s = "SELECT count(*)" + inner.substr(std::string("SELECT 1").size());
            }
        }
        // Count and first page from one read transaction, so a small set (the
        // engine's queue) is consistent even while other programs write.
        sqlite3* conn = db();
        bool own = sqlite3_get_autocommit(conn) != 0;
        if (own) sqlite3_exec(conn, "BEGIN", nullptr, nullptr, nullptr);
        loading = own;
        struct EndOfLoad {
            bool& loading;
            ~EndOfLoad() { loading = false; }
        } endOfLoad{loading};
        try {
            if (idsFirst()) {
                readIds();
            } else {
                Stmt st(conn, s);
                st.bind(p);
                queryCount = st.step() ? st.column(0).asInt() : 0;
            }
            if (queryCount > 0) {
                std::vector<Row> rows;
                if (byIds()) readPageByIds(0, rows);
                else readRows(0, kPageRows, rows);
                if (static_cast<std::int64_t>(rows.size()) < std::min(queryCount, kPageRows))
                    queryCount = static_cast<std::int64_t>(rows.size());
                pages.emplace(0, std::move(rows));
                lru.push_front(0);
            }
        } catch (...) {
            if (own) sqlite3_exec(conn, "ROLLBACK", nullptr, nullptr, nullptr);
            ids.clear();
            idsRead = false;
            queryCount = 0;
            throw;
        }
        if (own) sqlite3_exec(conn, "COMMIT", nullptr, nullptr, nullptr);
    } else {
        readRows(0, -1, snap);
        queryCount = static_cast<std::int64_t>(snap.size());
    }
    pos = count() > 0 ? 0 : -1;
}

Row* Recordset::Impl::rowAt(std::int64_t i, bool look) {
    if (i < 0 || i >= count()) return nullptr;
    if (!live()) return &snap[static_cast<size_t>(i)];
    if (i >= queryCount) return &appended[static_cast<size_t>(i - queryCount)];
    std::int64_t page = i / kPageRows;
    auto it = pages.find(page);
    std::vector<Row> rows;
    bool read = false;  // `rows` holds the page
    if (it == pages.end() && page > 0 && canUseIds() && !idsRead) {
        // A page shown far from every page read (the grid's scroll bar dragged, not the
        // next page of a walk through the set, nor a move of the current row) is read by
        // its position from the nearer end: the grid reads the ids once it is idle, and a
        // jump soon after a click need not wait for them. Too few rows there mean rows
        // went away since the count, so positions from the end are off.
        if (look && !idsFirst() && opt.maxRecords == 0 && !pages.count(page - 1) && !pages.count(page + 1))
            read = readPageFromNearerEnd(page, rows);
        if (!read) {
            // From now on pages come by id. The count may change (rows came or went since
            // the load); positions are the ids' from here.
            rows.clear();
            readIds();
            dropPages();
            if (i >= count()) return nullptr;
            if (i >= queryCount) return &appended[static_cast<size_t>(i - queryCount)];
            it = pages.end();
        }
    }
    if (it == pages.end()) {
        if (!read) {
            if (byIds()) readPageByIds(page, rows);
            else readRows(page * kPageRows, kPageRows, rows);
        }
        if (pages.size() >= kMaxPages) {
            pages.erase(lru.back());
            lru.pop_back();
        }
        it = pages.emplace(page, std::move(rows)).first;
        lru.push_front(page);
    } else {
        lru.remove(page);
        lru.push_front(page);
    }
    size_t k = static_cast<size_t>(i - page * kPageRows);
    if (k >= it->second.size()) {
        // Other programs removed rows since the count: the set ends earlier.
        if (!byIds())
            queryCount = std::min(queryCount, page * kPageRows + static_cast<std::int64_t>(it->second.size()));
        return i >= queryCount && i < count() ? &appended[static_cast<size_t>(i - queryCount)] : nullptr;
    }
    return &it->second[k];
}

Row& Recordset::Impl::current() {
    if (afterDelete) throw DbError("no current record: it was deleted");
    const std::int64_t was = pos;
    Row* r = rowAt(pos);
    if (pos != was) r = rowAt(pos);  // rows before it were gone: it moved up
    if (!r) throw DbError("no current record (BOF or EOF)");
    return *r;
}

void Recordset::Impl::stream(std::int64_t from, const std::function<bool(std::int64_t, const Row&)>& fn) {
    // Snapshot and appended rows are in memory; live query rows are read in one pass.
    if (!live()) {
        for (std::int64_t i = std::max<std::int64_t>(from, 0); i < count(); ++i)
            if (fn(i, snap[static_cast<size_t>(i)])) return;
        return;
    }
    std::int64_t i = std::max<std::int64_t>(from, 0);
    if (byIds()) {
        // Through the pages, which keep positions and ids in step.
        for (; i < count(); ++i) {
            const Row* r = rowAt(i);
            if (!r) return;
            if (fn(i, *r)) return;
        }
        return;
    }
    if (i < queryCount) {
        const bool stopped = eachRow(i, queryCount - i, [&](Row& r) {
            if (fn(i, r)) return true;
            ++i;
            return false;
        });
        if (stopped) return;
        i = queryCount;
    }
    for (; i < count(); ++i)
        if (fn(i, appended[static_cast<size_t>(i - queryCount)])) return;
}

Recordset::Recordset() = default;
Recordset::Recordset(const Connection& db, const std::string& sql, const Params& params,
                     const RecordsetOptions& options) {
    open(db, sql, params, options);
}
Recordset::~Recordset() = default;
Recordset::Recordset(Recordset&&) noexcept = default;
Recordset& Recordset::operator=(Recordset&&) noexcept = default;

void Recordset::open(const Connection& db, const std::string& sql, const Params& params,
                     const RecordsetOptions& options) {
    auto d = std::make_unique<Impl>();
    d->h = db.handle();
    detail::requireOpen(d->h.get());
    d->sql = sql;
    d->params = params;
    d->opt = options;
    d->parsed = parseSelect(sql);
    int expected = d->parsed.selectParams + d->parsed.whereParams + d->parsed.orderParams;
    if (d->parsed.simple && static_cast<size_t>(expected) != params.size())
        throw DbError("statement expects " + std::to_string(expected) + " parameters, got " +
                      std::to_string(params.size()));
    d->describe();
    d->load();
    d_ = std::move(d);
}

void Recordset::close() { d_.reset(); }
bool Recordset::isOpen() const { return d_ != nullptr; }

void Recordset::requery() {
    auto& d = need(d_);
    if (d.mode != Impl::Mode::None) update();
    d.load();
}

bool Recordset::eof() const {
    auto& d = need(d_);
    // A live set learns that rows went away only when it reads them.
    if (d.live() && !d.afterDelete && d.pos >= 0 && d.pos < d.count()) d.rowAt(d.pos);
    return d.count() == 0 || d.pos >= d.count();
}
bool Recordset::bof() const {
    auto& d = need(d_);
    return d.count() == 0 || d.pos < 0;
}

void Recordset::move(std::int64_t position) {
    auto& d = need(d_);
    if (d.mode != Impl::Mode::None) update();
    d.afterDelete = false;
    d.pos = std::clamp<std::int64_t>(position, -1, d.count());
}
void Recordset::moveFirst() { move(0); }
void Recordset::moveLast() { move(need(d_).count() - 1); }
void Recordset::moveNext() {
    auto& d = need(d_);
    if (d.afterDelete) {
        move(d.pos);
        return;
    }
    if (eof()) throw DbError("cannot move past the end of the record set");
    move(d.pos + 1);
}
void Recordset::movePrevious() {
    auto& d = need(d_);
    if (!d.afterDelete && bof()) throw DbError("cannot move before the start of the record set");
    move(d.pos - 1);
}

std::int64_t Recordset::position() const { return need(d_).pos; }
std::int64_t Recordset::recordCount() const { return need(d_).count(); }

int Recordset::fieldCount() const { return static_cast<int>(need(d_).cols.size()); }
std::string Recordset::fieldName(int pos) const {
    auto& d = need(d_);
    if (pos < 0 || pos >= fieldCount()) throw DbError("field position out of range: " + std::to_string(pos));
    return d.cols[static_cast<size_t>(pos)].name;
}
int Recordset::fieldIndex(const std::string& name) const { return need(d_).indexOf(name); }

Value Recordset::field(const std::string& name) const { return field(need(d_).requireIndex(name)); }

Value Recordset::field(int pos) const {
    auto& d = need(d_);
    if (pos < 0 || pos >= fieldCount()) throw DbError("field position out of range: " + std::to_string(pos));
    if (d.mode != Impl::Mode::None) return d.edit[static_cast<size_t>(pos)];
    return d.current().v[static_cast<size_t>(pos)];
}

Value Recordset::valueAt(std::int64_t row, int pos) const {
    auto& d = need(d_);
    if (pos < 0 || pos >= fieldCount()) return Value();
    if (row == d.pos && d.mode != Impl::Mode::None) return d.edit[static_cast<size_t>(pos)];
    Row* r = d.rowAt(row, true);
    return r ? r->v[static_cast<size_t>(pos)] : Value();
}

void Recordset::readOrder() {
    auto& d = need(d_);
    if (!d.canUseIds() || d.idsRead || d.mode != Impl::Mode::None || d.queryCount <= kPageRows) return;
    d.readIds();
    d.dropPages();  // read by position: from now on pages come by id
}

void Recordset::setSort(const std::string& sort) {
    auto& d = need(d_);
    if (d.mode != Impl::Mode::None) update();
    std::string sql;
    std::vector<std::pair<std::string, bool>> keys;
    std::string rest = sort;
    while (!trim(rest).empty()) {
        size_t comma = rest.find(',');
        std::string term = trim(rest.substr(0, comma));
        rest = comma == std::string::npos ? "" : rest.substr(comma + 1);
        std::string dir = " ASC";
        std::string lt = lower(term);
        if (lt.size() > 4 && lt.compare(lt.size() - 4, 4, " asc") == 0) {
            term = trim(term.substr(0, term.size() - 4));
        } else if (lt.size() > 5 && lt.compare(lt.size() - 5, 5, " desc") == 0) {
            term = trim(term.substr(0, term.size() - 5));
            dir = " DESC";
        }
        if (!sql.empty()) sql += ", ";
        sql += d.fieldSql(term) + dir;
        keys.emplace_back(d.cols[static_cast<size_t>(d.requireIndex(term))].origin, dir == " DESC");
    }
    d.sortKeys = d.parsed.simple ? keys : decltype(keys){};
    d.sortSql = sql;
    d.sortText = sort;
    d.load();
}

const std::string& Recordset::sort() const { return need(d_).sortText; }

void Recordset::setFilter(const Criteria& c) {
    auto& d = need(d_);
    if (d.mode != Impl::Mode::None) update();
    Params probe;
    d.criteriaSql(c, probe);  // unknown fields fail here, before the old filter is lost
    d.filter = c;
    d.load();
}

void Recordset::clearFilter() { setFilter(Criteria()); }
bool Recordset::filtered() const { return !need(d_).filter.matchesAll(); }
const Criteria& Recordset::filter() const { return need(d_).filter; }

bool Recordset::find(const Criteria& c) {
    auto& d = need(d_);
    if (d.mode != Impl::Mode::None) update();
    Params probe;
    d.criteriaSql(c, probe);
    std::int64_t found = -1;
    std::int64_t from = d.afterDelete ? d.pos : std::max<std::int64_t>(d.pos, 0);
    d.stream(from, [&](std::int64_t i, const Row& r) {
        if (!d.matches(c, r.v)) return false;
        found = i;
        return true;
    });
    d.afterDelete = false;
    d.pos = found >= 0 ? found : d.count();
    return found >= 0;
}

Bookmark Recordset::bookmark() const {
    auto& d = need(d_);
    Bookmark b;
    Row& r = d.current();
    b.rowid = r.rowid;
    b.position = d.pos;
    return b;
}

void Recordset::moveToBookmark(const Bookmark& b) {
    auto& d = need(d_);
    if (d.mode != Impl::Mode::None) update();
    if (!b.valid() || d.count() == 0) {
        move(d.count() == 0 ? 0 : std::max<std::int64_t>(b.position, 0));
        return;
    }
    if (d.hasRowid) {
        Row* at = d.rowAt(b.position);
        if (at && at->rowid == b.rowid) {
            move(b.position);
            return;
        }
        std::int64_t found = -1;
        if (d.byIds()) {
            auto hit = std::find(d.ids.begin(), d.ids.end(), b.rowid);
            if (hit != d.ids.end()) found = hit - d.ids.begin();
            for (size_t k = 0; found < 0 && k < d.appended.size(); ++k)
                if (d.appended[k].rowid == b.rowid) found = d.queryCount + static_cast<std::int64_t>(k);
        } else {
            d.stream(0, [&](std::int64_t i, const Row& r) {
                if (r.rowid != b.rowid) return false;
                found = i;
                return true;
            });
        }
        if (found >= 0) {
            move(found);
            return;
        }
    }
    move(std::min(b.position, d.count() - 1));
}

}  // namespace parlix::db
