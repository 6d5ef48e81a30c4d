#include <map>
#include <utility>

#include "platform/db/Recordset.h"

namespace parlix::db {

namespace {

// Literal text for a LIKE pattern with escape character '\'.
std::string escapeLike(const std::string& text) {
    std::string out;
    for (char c : text) {
        if (c == '%' || c == '_' || c == '\\') out += '\\';
        out += c;
    }
    return out;
}

}  // namespace

Criteria::Criteria() = default;

Criteria::Criteria(Op op, std::string field, Value v) : op_(op), field_(std::move(field)), value_(std::move(v)) {}

Criteria Criteria::equals(std::string f, Value v) { return Criteria(Op::Eq, std::move(f), std::move(v)); }
Criteria Criteria::notEquals(std::string f, Value v) { return Criteria(Op::Ne, std::move(f), std::move(v)); }
Criteria Criteria::less(std::string f, Value v) { return Criteria(Op::Lt, std::move(f), std::move(v)); }
Criteria Criteria::lessOrEqual(std::string f, Value v) { return Criteria(Op::Le, std::move(f), std::move(v)); }
Criteria Criteria::greater(std::string f, Value v) { return Criteria(Op::Gt, std::move(f), std::move(v)); }
Criteria Criteria::greaterOrEqual(std::string f, Value v) { return Criteria(Op::Ge, std::move(f), std::move(v)); }
Criteria Criteria::isNull(std::string f) { return Criteria(Op::IsNull, std::move(f), Value()); }
Criteria Criteria::notNull(std::string f) { return Criteria(Op::NotNull, std::move(f), Value()); }

Criteria Criteria::between(std::string f, Value lo, Value hi) {
    return greaterOrEqual(f, std::move(lo)) && lessOrEqual(f, std::move(hi));
}

Criteria Criteria::like(std::string f, std::string pattern) {
    // Both wildcard styles the programs write: "*"/"?" and "%"/"_".
    std::string sql;
    for (char c : pattern) {
        if (c == '*') sql += '%';
        else if (c == '?') sql += '_';
        else if (c == '\\') sql += "\\\\";
        else sql += c;
    }
    return Criteria(Op::Like, std::move(f), Value(sql));
}

Criteria Criteria::contains(std::string f, const std::string& text) {
    return Criteria(Op::Contains, std::move(f), Value(text));
}
Criteria Criteria::startsWith(std::string f, const std::string& text) {
    return Criteria(Op::Like, std::move(f), Value(escapeLike(text) + "%"));
}
Criteria Criteria::endsWith(std::string f, const std::string& text) {
    return Criteria(Op::Like, std::move(f), Value("%" + escapeLike(text)));
}

Criteria Criteria::operator&&(const Criteria& o) const {
    if (matchesAll()) return o;
    if (o.matchesAll()) return *this;
    Criteria c;
    c.op_ = Op::And;
    c.kids_ = {*this, o};
    return c;
}

Criteria Criteria::operator||(const Criteria& o) const {
    if (matchesAll() || o.matchesAll()) return Criteria();
    Criteria c;
    c.op_ = Op::Or;
    c.kids_ = {*this, o};
    return c;
}

std::string RenderCriteria(const Criteria& c, Params& out,
                           const std::function<std::string(const std::string& field)>& field) {
    using Op = Criteria::Op;
    auto name = [&](const std::string& f) { return field ? field(f) : quoteIdentifier(f); };
    switch (c.op()) {
    case Op::True: return "1";
    case Op::And:
    case Op::Or: {
        std::string s = "(";
        for (size_t i = 0; i < c.children().size(); ++i) {
            if (i) s += c.op() == Op::And ? " AND " : " OR ";
            s += RenderCriteria(c.children()[i], out, field);
        }
        return s + ")";
    }
    case Op::IsNull: return name(c.field()) + " IS NULL";
    case Op::NotNull: return name(c.field()) + " IS NOT NULL";
    case Op::Contains: {
        // Folded on both sides (Fold.h): letter case counts in no script.
        std::string s = "contains_folded(" + name(c.field()) + ", ?)";
        out.push_back(c.value());
        return s;
    }
    case Op::Like: {
        std::string s = name(c.field()) + " LIKE ? ESCAPE '\\'";
        out.push_back(c.value());
        return s;
    }
    default: break;
    }
    static const std::map<Op, const char*> ops = {{Op::Eq, " = ?"}, {Op::Ne, " <> ?"}, {Op::Lt, " < ?"},
                                                  {Op::Le, " <= ?"}, {Op::Gt, " > ?"}, {Op::Ge, " >= ?"}};
    std::string s = name(c.field()) + ops.at(c.op());
    out.push_back(c.value());
    return s;
}

}  // namespace parlix::db
