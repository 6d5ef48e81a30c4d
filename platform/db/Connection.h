// parlix::db::Connection - one connection to the shared, key-protected database.
//
//   Connection db;                       // closed
//   db.open(path, key);                  // throws OpenError (kind tells why)
//   if (db.state() == State::Closed) ... // the programs' reconnect rule
//   db.execute("UPDATE Outbox SET SentStatus = ? WHERE MsgID = ?", {"P", id});
//
// - open() never creates a file: a missing file is OpenError::MissingFile. A wrong
//   key, a file that is not a database, an empty file and a damaged one are
//   OpenError::WrongKey, and nothing is written into them (the key is checked with a
//   first read, since keying itself always succeeds). A file the program may not
//   write is OpenError::Other ("read-only"). A file that stays
//   locked past the busy time-out is OpenError::Locked. A failed open leaves the
//   connection Closed, so the next caller simply tries again.
// - Every connection runs in WAL mode with a busy time-out (default 5000 ms) so the
//   console and several engines share the file.
// - Values always travel as bound parameters ("?" placeholders, in order); nothing
//   a user types can change a statement.
// - Connection is a cheap handle: copies share one underlying connection. Record
//   sets keep the handle they were opened on, so replacing a program's connection
//   object by a fresh one leaves earlier record sets working.
// - claimRow() is the engines' claim: one conditional UPDATE that sets Lock true
//   only where it is not already true; atomic across processes.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/db/Value.h"

struct sqlite3;

namespace parlix::db {

using Params = std::vector<Value>;

struct ConnectOptions {
    bool create = false;       // only the database tool creates files
    int busyTimeoutMs = 5000;  // how long a statement waits for another program's lock
};

class Connection {
public:
    enum class State { Closed = 0, Open = 1 };

    Connection();
    ~Connection();
    Connection(const Connection&) = default;
    Connection& operator=(const Connection&) = default;

    void open(const std::string& path, const std::string& key, const ConnectOptions& options = {});
    void close();  // safe to call when closed
    State state() const;
    bool isOpen() const { return state() == State::Open; }
    const std::string& path() const;

    // Runs one statement; returns the rows it changed (0 for other statements).
    std::int64_t execute(const std::string& sql, const Params& params = {});
    // First column of the first row, or nullopt when there is no row.
    std::optional<Value> scalar(const std::string& sql, const Params& params = {});
    // All rows of a query (small results only).
    std::vector<std::vector<Value>> query(const std::string& sql, const Params& params = {});
    std::int64_t lastInsertId() const;

    // Explicit transaction (the contact import). rollback() when none is open is a no-op.
    void begin();
    void commit();
    void rollback();

    // Claim: UPDATE <table> SET Lock = 1 WHERE <keyColumn> = ? AND (Lock IS NULL OR Lock = 0).
    // True when this caller won the row. table/keyColumn are identifiers, not values;
    // they must be plain names (checked).
    bool claimRow(const std::string& table, const std::string& keyColumn, std::int64_t key);

    sqlite3* native() const;  // for this layer's record sets

    struct Handle;
    std::shared_ptr<Handle> handle() const { return h_; }

private:
    std::shared_ptr<Handle> h_;
};

// Quotes an identifier for SQL text ("012", "Outbox"); rejects names with quotes
// or control characters (identifiers never come from users).
std::string quoteIdentifier(const std::string& name);

}  // namespace parlix::db
