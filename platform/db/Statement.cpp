#include "platform/db/Statement.h"

#include "platform/db/Internal.h"

namespace parlix::db {

struct Statement::Impl {
    std::shared_ptr<Connection::Handle> handle;
    sqlite3* db = nullptr;  // the connection the statement was prepared on
    std::unique_ptr<detail::Stmt> stmt;

    // The statement belongs to one open connection; a closed or reopened handle
    // would leave it pointing at a database that is gone.
    detail::Stmt& ready() {
        if (!handle || !handle->db || handle->db != db) throw DbError("the database connection is closed");
        return *stmt;
    }
};

namespace {

// Resets the statement when a run ends, however it ends, so no read lock or
// half-run write outlives the call.
class RunGuard {
public:
    explicit RunGuard(detail::Stmt& s) : s_(s) {}
    ~RunGuard() {
        s_.reset();
        sqlite3_clear_bindings(s_.get());
    }
    RunGuard(const RunGuard&) = delete;
    RunGuard& operator=(const RunGuard&) = delete;

private:
    detail::Stmt& s_;
};

}  // namespace

Statement::Statement() = default;
Statement::Statement(const Connection& db, const std::string& sql) { prepare(db, sql); }
Statement::~Statement() = default;
Statement::Statement(Statement&&) noexcept = default;
Statement& Statement::operator=(Statement&&) noexcept = default;

void Statement::prepare(const Connection& db, const std::string& sql) {
    auto d = std::make_unique<Impl>();
    d->handle = db.handle();
    d->db = detail::requireOpen(d->handle.get());
    d->stmt = std::make_unique<detail::Stmt>(d->db, sql);
    d_ = std::move(d);
    sql_ = sql;
}

bool Statement::prepared() const { return d_ != nullptr; }

std::int64_t Statement::execute(const Params& params) {
    if (!d_) throw DbError("statement not prepared");
    auto& s = d_->ready();
    RunGuard guard(s);
    s.bind(params);
    while (s.step()) {
    }
    return sqlite3_stmt_readonly(s.get()) ? 0 : sqlite3_changes(d_->db);
}

void Statement::each(const Params& params, const std::function<bool(const std::vector<Value>&)>& row) {
    if (!d_) throw DbError("statement not prepared");
    auto& s = d_->ready();
    RunGuard guard(s);
    s.bind(params);
    const int n = s.columnCount();
    std::vector<Value> values(static_cast<size_t>(n));
    while (s.step()) {
        for (int i = 0; i < n; ++i) values[static_cast<size_t>(i)] = s.column(i);
        if (!row(values)) break;
    }
}

std::optional<Value> Statement::scalar(const Params& params) {
    std::optional<Value> first;
    each(params, [&](const std::vector<Value>& r) {
        if (!r.empty()) first = r[0];
        return false;
    });
    return first;
}

bool Statement::exists(const Params& params) {
    bool any = false;
    each(params, [&](const std::vector<Value>&) {
        any = true;
        return false;
    });
    return any;
}

std::vector<std::vector<Value>> Statement::query(const Params& params) {
    std::vector<std::vector<Value>> rows;
    each(params, [&](const std::vector<Value>& r) {
        rows.push_back(r);
        return true;
    });
    return rows;
}

std::int64_t Statement::lastInsertId() const {
    if (!d_) throw DbError("statement not prepared");
    d_->ready();
    return sqlite3_last_insert_rowid(d_->db);
}

}  // namespace parlix::db
