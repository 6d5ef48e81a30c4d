#include "platform/db/Connection.h"

#include <sys/stat.h>

#include <cctype>

#include "platform/db/Fold.h"
#include "platform/db/Internal.h"

namespace parlix::db {

Connection::Handle::~Handle() { close(); }

void Connection::Handle::close() {
    std::lock_guard<std::mutex> lock(readersMutex);
    for (sqlite3* r : idleReaders) sqlite3_close_v2(r);
    idleReaders.clear();
    ++generation;
    if (db) {
        // v2: statements still open in record sets are finalised by their owners later.
        sqlite3_close_v2(db);
        db = nullptr;
    }
}

namespace detail {

void fail(sqlite3* db, int rc, const std::string& context) {
    std::string msg = context + ": " + (db ? sqlite3_errmsg(db) : sqlite3_errstr(rc));
    int primary = rc & 0xff;
    if (primary == SQLITE_BUSY || primary == SQLITE_LOCKED)
        throw BusyError("database is locked by another program (" + msg + ")", 0, rc);
    throw DbError(msg, 0, rc);
}

sqlite3* requireOpen(const Connection::Handle* h) {
    if (!h || !h->db) throw DbError("the database connection is closed");
    return h->db;
}

Stmt::Stmt(sqlite3* db, const std::string& sql) : db_(db) {
    int rc = sqlite3_prepare_v2(db, sql.c_str(), static_cast<int>(sql.size()), &s_, nullptr);
    if (rc != SQLITE_OK) {
        sqlite3_finalize(s_);
        s_ = nullptr;
        fail(db, rc, "prepare");
    }
    if (!s_) throw DbError("empty statement");
}

Stmt::~Stmt() { sqlite3_finalize(s_); }

void Stmt::bindOne(int index, const Value& v) {
    int rc = SQLITE_OK;
    switch (v.type()) {
    case Value::Type::Null: rc = sqlite3_bind_null(s_, index); break;
    case Value::Type::Integer: rc = sqlite3_bind_int64(s_, index, v.asInt()); break;
    case Value::Type::Real: rc = sqlite3_bind_double(s_, index, v.asDouble()); break;
    case Value::Type::Text: {
        std::string t = v.asText();
        rc = sqlite3_bind_text(s_, index, t.data(), static_cast<int>(t.size()), SQLITE_TRANSIENT);
        break;
    }
    }
    if (rc != SQLITE_OK) fail(db_, rc, "bind");
}

void Stmt::bind(const Params& params, int first) {
    int expected = sqlite3_bind_parameter_count(s_);
    if (static_cast<int>(params.size()) + first - 1 != expected)
        throw DbError("statement expects " + std::to_string(expected) + " parameters, got " +
                      std::to_string(params.size() + static_cast<size_t>(first - 1)));
    for (size_t i = 0; i < params.size(); ++i) bindOne(first + static_cast<int>(i), params[i]);
}

bool Stmt::step() {
    int rc = sqlite3_step(s_);
    if (rc == SQLITE_ROW) return true;
    if (rc == SQLITE_DONE) return false;
    sqlite3_reset(s_);
    fail(db_, rc, "step");
}

void Stmt::reset() { sqlite3_reset(s_); }

int Stmt::columnCount() const { return sqlite3_column_count(s_); }

Value Stmt::column(int i) const {
    switch (sqlite3_column_type(s_, i)) {
    case SQLITE_NULL: return Value();
    case SQLITE_INTEGER: return Value(static_cast<long long>(sqlite3_column_int64(s_, i)));
    case SQLITE_FLOAT: return Value(sqlite3_column_double(s_, i));
    default: {
        const unsigned char* t = sqlite3_column_text(s_, i);
        int n = sqlite3_column_bytes(s_, i);
        return Value(std::string(reinterpret_cast<const char*>(t ? t : reinterpret_cast<const unsigned char*>("")),
                                 static_cast<size_t>(n)));
    }
    }
}

}  // namespace detail

using detail::Stmt;

Connection::Connection() : h_(std::make_shared<Handle>()) {}
Connection::~Connection() = default;

namespace {

sqlite3* openNative(const std::string& path, const std::string& key, const ConnectOptions& options) {
    struct stat st {};
    if (!options.create && ::stat(path.c_str(), &st) != 0)
        throw OpenError(OpenError::Kind::MissingFile, "database file not found: " + path);
    // SQLite takes an empty file for an empty database and would write a header into
    // it: a file that lost its contents must stay as it is for the user to see.
    if (!options.create && S_ISREG(st.st_mode) && st.st_size == 0)
        throw OpenError(OpenError::Kind::WrongKey, "not a database (the file is empty): " + path);
    sqlite3* db = nullptr;
    int flags = SQLITE_OPEN_READWRITE | SQLITE_OPEN_NOMUTEX | (options.create ? SQLITE_OPEN_CREATE : 0);
    int rc = sqlite3_open_v2(path.c_str(), &db, flags, nullptr);
    if (rc != SQLITE_OK) {
        std::string msg = db ? sqlite3_errmsg(db) : sqlite3_errstr(rc);
        sqlite3_close_v2(db);
        auto kind = (rc & 0xff) == SQLITE_CANTOPEN ? OpenError::Kind::MissingFile : OpenError::Kind::Other;
        throw OpenError(kind, "cannot open database " + path + ": " + msg, rc);
    }
    auto bail = [&](OpenError::Kind kind, const std::string& what, int code) {
        sqlite3_close_v2(db);
        throw OpenError(kind, what, code);
    };
    sqlite3_extended_result_codes(db, 1);
    rc = sqlite3_key(db, key.data(), static_cast<int>(key.size()));
    if (rc != SQLITE_OK) bail(OpenError::Kind::Other, "cannot set the database key: " + path, rc);
    sqlite3_busy_timeout(db, options.busyTimeoutMs);
    // Keying always succeeds; the first read tells a wrong key or a foreign file.
    rc = sqlite3_exec(db, "SELECT count(*) FROM sqlite_master", nullptr, nullptr, nullptr);
    if (rc != SQLITE_OK) {
        int p = rc & 0xff;
        if (p == SQLITE_NOTADB)
            bail(OpenError::Kind::WrongKey, "wrong database password or not a database: " + path, rc);
        if (p == SQLITE_CORRUPT)
            bail(OpenError::Kind::WrongKey, "the database file is damaged: " + path, rc);
        if (p == SQLITE_BUSY || p == SQLITE_LOCKED)
            bail(OpenError::Kind::Locked, "database is locked: " + path, rc);
        bail(OpenError::Kind::Other, "cannot read database " + path + ": " + sqlite3_errmsg(db), rc);
    }
    if (sqlite3_db_readonly(db, "main") == 1)
        bail(OpenError::Kind::Other, "the database is read-only (no write permission): " + path, SQLITE_READONLY);
    char* err = nullptr;
    rc = sqlite3_exec(db, "PRAGMA journal_mode=WAL", nullptr, nullptr, &err);
    if (rc != SQLITE_OK) {
        std::string m = err ? err : "";
        sqlite3_free(err);
        int p = rc & 0xff;
        bail(p == SQLITE_BUSY || p == SQLITE_LOCKED ? OpenError::Kind::Locked : OpenError::Kind::Other,
             "cannot switch database to WAL mode: " + path + ": " + m, rc);
    }
    if (!RegisterFoldFunctions(db))
        bail(OpenError::Kind::Other, "cannot register the text functions: " + path, SQLITE_ERROR);
    // NORMAL is durable across program crashes in WAL mode and much faster than FULL.
    sqlite3_exec(db, "PRAGMA synchronous=NORMAL", nullptr, nullptr, nullptr);
    return db;
}

}  // namespace

void Connection::open(const std::string& path, const std::string& key, const ConnectOptions& options) {
    h_->close();
    h_->db = openNative(path, key, options);
    h_->path = path;
    h_->key = key;
    h_->options = options;
    h_->options.create = false;
}

namespace detail {

Reader::Reader(std::shared_ptr<Connection::Handle> h) : h_(std::move(h)) {
    std::string path, key;
    ConnectOptions options;
    {
        std::lock_guard<std::mutex> lock(h_->readersMutex);
        if (!h_->db) throw DbError("the database connection is closed");
        generation_ = h_->generation;
        if (!h_->idleReaders.empty()) {
            db_ = h_->idleReaders.back();
            h_->idleReaders.pop_back();
        } else {
            path = h_->path;
            key = h_->key;
            options = h_->options;
        }
    }
    if (!db_) {
        // Opened outside the lock: deriving the key from the password takes a while.
        db_ = openNative(path, key, options);
        sqlite3_exec(db_, "PRAGMA query_only = 1", nullptr, nullptr, nullptr);
    }
}

Reader::~Reader() {
    std::lock_guard<std::mutex> lock(h_->readersMutex);
    // One left in a transaction (a failed pass), or of a file since closed, goes.
    if (!h_->db || h_->generation != generation_ || !sqlite3_get_autocommit(db_) || h_->idleReaders.size() >= 8) {
        sqlite3_close_v2(db_);
        return;
    }
    h_->idleReaders.push_back(db_);
}

}  // namespace detail

void Connection::close() { h_->close(); }

Connection::State Connection::state() const { return h_->db ? State::Open : State::Closed; }

const std::string& Connection::path() const { return h_->path; }

sqlite3* Connection::native() const { return h_->db; }

std::int64_t Connection::execute(const std::string& sql, const Params& params) {
    sqlite3* db = detail::requireOpen(h_.get());
    Stmt st(db, sql);
    st.bind(params);
    while (st.step()) {
    }
    return sqlite3_stmt_readonly(st.get()) ? 0 : sqlite3_changes(db);
}

std::optional<Value> Connection::scalar(const std::string& sql, const Params& params) {
    Stmt st(detail::requireOpen(h_.get()), sql);
    st.bind(params);
    if (!st.step()) return std::nullopt;
    return st.column(0);
}

std::vector<std::vector<Value>> Connection::query(const std::string& sql, const Params& params) {
    Stmt st(detail::requireOpen(h_.get()), sql);
    st.bind(params);
    std::vector<std::vector<Value>> rows;
    int n = st.columnCount();
    while (st.step()) {
        std::vector<Value> row;
        row.reserve(static_cast<size_t>(n));
        for (int i = 0; i < n; ++i) row.push_back(st.column(i));
        rows.push_back(std::move(row));
    }
    return rows;
}

std::int64_t Connection::lastInsertId() const {
    return sqlite3_last_insert_rowid(detail::requireOpen(h_.get()));
}

void Connection::begin() { execute("BEGIN IMMEDIATE"); }
void Connection::commit() { execute("COMMIT"); }
void Connection::rollback() {
    sqlite3* db = detail::requireOpen(h_.get());
    if (!sqlite3_get_autocommit(db)) execute("ROLLBACK");
}

bool Connection::claimRow(const std::string& table, const std::string& keyColumn, std::int64_t key) {
    std::string sql = "UPDATE " + quoteIdentifier(table) + " SET \"Lock\" = 1 WHERE " + quoteIdentifier(keyColumn) +
                      " = ? AND (\"Lock\" IS NULL OR \"Lock\" = 0)";
    return execute(sql, {static_cast<long long>(key)}) == 1;
}

std::string quoteIdentifier(const std::string& name) {
    if (name.empty()) throw DbError("empty identifier");
    for (unsigned char c : name)
        if (c < 0x20 || c == '"' || c == '[' || c == ']' || c == '`' || c == 0x7f)
            throw DbError("invalid identifier: " + name);
    return "\"" + name + "\"";
}

}  // namespace parlix::db
