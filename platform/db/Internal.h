// Shared between the database layer's sources only.
#pragma once

#include <sqlite3.h>

#include <string>

#include "platform/db/Connection.h"

namespace parlix::db {

struct Connection::Handle {
    sqlite3* db = nullptr;
    std::string path;
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

}  // namespace detail
}  // namespace parlix::db
