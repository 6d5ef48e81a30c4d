// Shared between the database layer's sources only.
#pragma once

#include <sqlite3.h>

#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "platform/db/Connection.h"

namespace parlix::db {

struct Connection::Handle {
    sqlite3* db = nullptr;
    std::string path;
    std::string key;
    ConnectOptions options;
    // Connections to the same file that read beside this one on other threads (a long
    // pass over a large table, split in parts); opened when first wanted, kept for the
    // next pass, closed with this one.
    std::mutex readersMutex;
    std::vector<sqlite3*> idleReaders;
    std::uint64_t generation = 0;  // counts closes: a reader of an earlier file is not kept
    ~Handle();
    void close();
};

namespace detail {

// RAII prepared statement.
class Stmt {
public:
    Stmt(sqlite3* db, const std::string& sql);
    ~Stmt();
    Stmt(const Stmt&) = delete;
    Stmt& operator=(const Stmt&) = delete;
    void bind(const Params& params, int first = 1);
    void bindOne(int index, const Value& v);
    bool step();  // true while a row is ready
    void reset();
    Value column(int i) const;
    int columnCount() const;
    sqlite3_stmt* get() const { return s_; }

private:
    sqlite3* db_;
    sqlite3_stmt* s_ = nullptr;
};

[[noreturn]] void fail(sqlite3* db, int rc, const std::string& context);
sqlite3* requireOpen(const Connection::Handle* h);

// A connection to a connection's file for one thread's reading, which never writes,
// taken from its idle readers (or opened) and given back when done. Throws when it
// cannot be opened.
class Reader {
public:
    explicit Reader(std::shared_ptr<Connection::Handle> h);
    ~Reader();
    Reader(const Reader&) = delete;
    Reader& operator=(const Reader&) = delete;
    sqlite3* get() const { return db_; }

private:
    std::shared_ptr<Connection::Handle> h_;
    sqlite3* db_ = nullptr;
    std::uint64_t generation_ = 0;
};

}  // namespace detail
}  // namespace parlix::db
