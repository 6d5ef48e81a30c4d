// How the console deletes messages and contacts (window-less).
//
// Every delete is set-based: rows chosen in the grid go by their identifiers, at most
// kIdsPerStatement in one statement, committed whenever a transaction reaches its time
// budget (a selection may hold a million rows); a folder's Delete All
// goes in batches over the rows of a snapshot taken at its question, each batch its own
// short transaction, so an engine waiting for the write lock (5 s) always gets its turn.
// A scope names the rows a delete may touch: the folder's own condition AND the
// filter the view shows (rendered by db::RenderCriteria, the renderer the record set
// filters with, so the delete and the view agree).
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "console/shell/core/Captions.h"
#include "platform/db/Recordset.h"

namespace parlix::console {

inline constexpr std::size_t kIdsPerStatement = 500;  // the database takes at most 999 parameters

struct DeleteScope {
    std::string table;     // "Outbox"
    std::string idColumn;  // "MsgID"
    std::string where;     // condition on the table's columns, "?" for params
    db::Params params;
    // A table whose rows with the same identifier go along (a contact's memberships).
    std::string companion;
};

// The rows of a folder a delete may touch: the folder's statuses (the Outbox also
// leaves rows an engine holds) AND `filter` (the view's filter; matchesAll for none).
DeleteScope MessageScope(Folder folder, const db::Criteria& filter = {});
// Contacts matching `filter` (the Address Book's search) with their memberships.
DeleteScope ContactScope(const db::Criteria& filter = {});

// The rows a scope holds at one moment (when Delete All asks its question), kept by
// identifier in a temporary table of the connection. Taking
// it only reads the database (no write lock); the table goes with the snapshot. Delete
// All deletes these rows and no others: a row that enters the view later (an engine
// sends a pending row, an identifier is used again) stays.
class ScopeSnapshot {
public:
    ScopeSnapshot(db::Connection& db, const DeleteScope& scope);
    ~ScopeSnapshot();
    ScopeSnapshot(const ScopeSnapshot&) = delete;
    ScopeSnapshot& operator=(const ScopeSnapshot&) = delete;

    std::int64_t count() const { return count_; }  // what the question names
    // "temp.<name>", its one column `id` the key.
    const std::string& table() const { return table_; }

private:
    db::Connection db_;
    std::string table_;
    std::int64_t count_ = 0;
};

struct BatchOptions {
    // Length of one write transaction, commit included (measured: the longest comes out
    // about a quarter above it; engines wait 5 s for the lock).
    std::chrono::milliseconds target{500};
    // Lock left free between batches: longer than the longest sleep of a waiting
    // engine's busy handler (100 ms), so an engine that waits always finds a gap.
    std::chrono::milliseconds pause{110};
    std::int64_t firstStep = 2000;          // rows in the first statement
    // Rows in every transaction, one statement each, whatever they cost (0: as many as
    // `target` allows). Lets a caller fix the number of transactions.
    std::int64_t rowsPerBatch = 0;
    std::int64_t cacheKiB = 262144;         // page cache while deleting (0: as it is)
    // Length of the log at which a batch waits for it to be copied back whole, so the
    // log starts afresh instead of growing (it is copied beside the batches).
    std::int64_t logLimitKiB = 131072;
};
struct BatchResult {
    std::int64_t deleted = 0;
    std::int64_t batches = 0;
    double longestTransaction = 0;  // seconds
};
// After a commit: the lock stays free until `pause` has passed since `released` (the
// commit), so an engine waiting for it gets in; work done meanwhile counts.
void LeaveLockFree(std::chrono::steady_clock::time_point released,
                   std::chrono::milliseconds pause = BatchOptions{}.pause);

// Called after each batch with the rows deleted so far and the count to delete; also
// the place where the window keeps itself painted.
using DeleteProgress = std::function<void(std::int64_t done, std::int64_t total)>;

// Deletes the scope's rows among `ids` (others are skipped), kIdsPerStatement per
// statement; returns the rows deleted from the scope's table. Its own transaction is
// committed once its statements have lasted `budget`, and the next one begins after
// the lock has been left free for BatchOptions' pause, with `progress` called in
// between (ids handled so far, ids given); inside a caller's transaction everything
// stays part of that one.
std::int64_t DeleteIds(db::Connection& db, const DeleteScope& scope, const std::vector<std::int64_t>& ids,
                       const DeleteProgress& progress = {},
                       std::chrono::milliseconds budget = std::chrono::milliseconds(400));

// Deletes the snapshot's rows that are still in the scope (a row that left the view
// meanwhile stays). Each batch is one transaction of statements over consecutive rows of
// the snapshot, each statement sized to about an eighth of options.target; the
// transaction commits once it (with the last commit's time) reaches the target. Progress
// counts the snapshot's rows handled against its count.
BatchResult DeleteInBatches(db::Connection& db, const DeleteScope& scope, const ScopeSnapshot& rows,
                            const DeleteProgress& progress = {}, const BatchOptions& options = {});

}  // namespace parlix::console
