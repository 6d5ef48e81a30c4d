// parlix::db::Statement - one statement prepared once and run many times with new
// parameters (the composer's inserts and look-ups of a broadcast).
//
//   Statement insert(db, "INSERT INTO Outbox (Subject, Mobile) VALUES (?, ?)");
//   for (auto& m : mobiles) insert.execute({subject, m});
//   Statement name(db, "SELECT Name FROM AddressBook WHERE Mobile = ?");
//   if (auto n = name.scalar({mobile})) ...
//
// - Every run binds all parameters anew ("?" placeholders, in order); a wrong
//   number of parameters is a DbError, never a half-bound statement.
// - The statement keeps the connection handle it was prepared on. Once that
//   connection is closed (or reopened) every run throws DbError ("the database
//   connection is closed"); prepare it again on the open connection.
// - query() / each() step through the rows; the statement is reset after every
//   run, also when a step throws, so it never holds a read lock between runs.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/db/Connection.h"
#include "platform/db/Value.h"

namespace parlix::db {

class Statement {
public:
    Statement();
    Statement(const Connection& db, const std::string& sql);
    ~Statement();
    Statement(Statement&&) noexcept;
    Statement& operator=(Statement&&) noexcept;
    Statement(const Statement&) = delete;
    Statement& operator=(const Statement&) = delete;

    void prepare(const Connection& db, const std::string& sql);
    bool prepared() const;
    const std::string& sql() const { return sql_; }

    // Runs to the end; the rows it changed (0 for a query).
    std::int64_t execute(const Params& params = {});
    // First column of the first row, or nullopt when there is no row.
    std::optional<Value> scalar(const Params& params = {});
    // True when the statement yields at least one row.
    bool exists(const Params& params = {});
    // Every row.
    std::vector<std::vector<Value>> query(const Params& params = {});
    // Calls `row` for each row (its values by position) until it returns false.
    void each(const Params& params, const std::function<bool(const std::vector<Value>&)>& row);
    // Row id of the last insert on this statement's connection.
    std::int64_t lastInsertId() const;

private:
    struct Impl;
    std::unique_ptr<Impl> d_;
    std::string sql_;
};

}  // namespace parlix::db
