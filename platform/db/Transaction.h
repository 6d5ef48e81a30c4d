// parlix::db::Transaction - a write transaction that rolls back unless committed.
//
//   Transaction tx(db);                 // BEGIN IMMEDIATE: takes the write lock now
//   for (auto& entry : entries) {
//       Transaction sp(db);             // inside a transaction: a savepoint
//       try { ...; sp.commit(); }       // RELEASE: the entry's rows join tx
//       catch (...) { /* sp's destructor: ROLLBACK TO, only this entry is undone */ }
//   }
//   tx.commit();                        // COMMIT
//
// - The outermost guard begins an immediate transaction, so a busy database shows
//   at the start (BusyError after the busy time-out), not half-way through.
// - A guard made while a transaction is open is a savepoint of it; committing it
//   keeps its changes for the enclosing transaction, rolling it back undoes only
//   its own changes.
// - rollback() and the destructor never throw. When the database itself ended
//   the transaction after an error, rolling back is a no-op.
// - Keep transactions short: engines wait 5 s for the lock.
#pragma once

#include <string>

#include "platform/db/Connection.h"

namespace parlix::db {

class Transaction {
public:
    explicit Transaction(const Connection& db);
    ~Transaction();
    Transaction(const Transaction&) = delete;
    Transaction& operator=(const Transaction&) = delete;

    void commit();
    void rollback() noexcept;
    bool active() const { return active_; }
    bool isSavepoint() const { return !savepoint_.empty(); }

private:
    Connection db_;
    std::string savepoint_;  // empty for the outermost transaction
    bool active_ = false;
};

// True while the connection is inside a transaction.
bool inTransaction(const Connection& db);

}  // namespace parlix::db
