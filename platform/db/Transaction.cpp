#include "platform/db/Transaction.h"

#include <atomic>

#include "platform/db/Internal.h"

namespace parlix::db {

bool inTransaction(const Connection& db) {
    sqlite3* native = db.native();
    return native && !sqlite3_get_autocommit(native);
}

Transaction::Transaction(const Connection& db) : db_(db) {
    detail::requireOpen(db_.handle().get());
    if (inTransaction(db_)) {
        static std::atomic<unsigned long> next{0};
        savepoint_ = "parlix_sp" + std::to_string(++next);
        db_.execute("SAVEPOINT " + savepoint_);
    } else {
        db_.execute("BEGIN IMMEDIATE");
    }
    active_ = true;
}

Transaction::~Transaction() { rollback(); }

void Transaction::commit() {
    if (!active_) throw DbError("transaction already ended");
    if (!inTransaction(db_)) {
        // The database rolled everything back after an error: nothing to keep.
        active_ = false;
        throw DbError("transaction was rolled back by the database");
    }
    db_.execute(savepoint_.empty() ? std::string("COMMIT") : "RELEASE " + savepoint_);
    active_ = false;
}

void Transaction::rollback() noexcept {
    if (!active_) return;
    active_ = false;
    try {
        if (!inTransaction(db_)) return;
        if (savepoint_.empty()) {
            db_.execute("ROLLBACK");
        } else {
            db_.execute("ROLLBACK TO " + savepoint_);
            db_.execute("RELEASE " + savepoint_);
        }
    } catch (...) {
        // A savepoint already gone with its transaction, or a closed connection:
        // nothing of this guard is left to undo.
    }
}

}  // namespace parlix::db
