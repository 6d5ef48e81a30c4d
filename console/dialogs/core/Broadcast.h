// Queueing of one broadcast: every recipient entry becomes Outbox rows "P".
//
//   BroadcastQueue q(DbConnection, {subject, text, when, unicode, filter}, WriteErrorLog);
//   QueueResult r = q.queueAll(entries);   // r.queued, r.notQueued, r.failed
//
// - One write transaction for the Send, one prepared INSERT for every row, prepared
//   look-ups, group members by one join. A broadcast that would keep the write lock
//   too long (engines wait 5 s for it) commits in chunks of RowsPerCommit rows or
//   after kChunkBudget, whichever comes first.
// - Each group entry is a savepoint (other entries write one row, atomic on its
//   own): an error rolls back that entry's rows of the open chunk, is logged under the failing step's location, and the Send goes on. The
//   entry is listed in `failed` (also when rows of it were already committed).
// - Entries are tried as a group, then a contact ("ID:Name:Mobile", digits before
//   the first ":"), then a number ("-" removed). A blank entry is never queued.
// - Counts are of committed rows only, so the report never claims a row that a
//   failed commit took away.
// - setProgress(f): f(rows queued so far) after each chunk's commit, with the lock
//   already free, so the window can repaint and show the count meanwhile.
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <unordered_set>
#include <vector>

#include "console/dialogs/core/Compose.h"
#include "platform/db/Connection.h"
#include "platform/db/Statement.h"
#include "platform/db/Transaction.h"

namespace parlix::console {

// WriteErrorLog's shape: location, number, description.
using ErrorLogger = std::function<void(const std::string&, long, const std::string&)>;
// Rows committed so far.
using QueueProgress = std::function<void(std::int64_t queued)>;

struct Broadcast {
    std::string subject;
    std::string message;
    TimePoint sendTime;
    bool unicode = false;            // MsgType 0, else 1
    bool skipUndeliverable = false;  // cbBroadcastFilter
};

struct QueueResult {
    std::int64_t queued = 0;
    std::int64_t notQueued = 0;        // skipped: the number failed delivery before
    std::vector<std::string> failed;   // entries not (fully) queued, in list order
};

// Error number for the log: the database's number, else its result code.
long ErrorNumber(const std::exception& e);

class BroadcastQueue {
public:
    // Rows per commit, from the queue benchmark: 10,000 rows take 0.2-0.35 s on a
    // database of a million Outbox rows. The time budget covers slower machines.
    static constexpr std::int64_t kRowsPerCommit = 10000;
    static constexpr std::chrono::milliseconds kChunkBudget{300};

    BroadcastQueue(const db::Connection& db, Broadcast broadcast, ErrorLogger log);
    ~BroadcastQueue();

    void setRowsPerCommit(std::int64_t rows) { rowsPerCommit_ = rows > 0 ? rows : 1; }
    void setChunkBudget(std::chrono::milliseconds budget) { chunkBudget_ = budget; }
    void setProgress(QueueProgress progress) { progress_ = std::move(progress); }
    std::int64_t commits() const { return commits_; }

    // Queues every entry; throws only when the Send cannot start (closed or locked
    // database), before anything is written.
    QueueResult queueAll(const std::vector<std::string>& entries);

    // The steps of one entry (inside queueAll). True when the entry was of that
    // kind and at least one recipient was queued or skipped by the filter.
    bool QueueSMSToGroup(const std::string& entry);
    bool QueueSMSToIndividual(const std::string& entry);
    bool QueueSMSToNumber(const std::string& entry);
    // True when Outbox holds a row for exactly this number that was not delivered.
    bool CheckDeliveryStatus_FU(const std::string& mobile);

private:
    void prepare();
    void queueOrSkip(const std::string& name, const std::string& mobile);  // the filter, then the row
    void queueRow(const std::string& name, const std::string& mobile);
    void handOverIfDue();  // commits the chunk once it has its rows or its time
    void beginEntry(const std::string& entry);
    void endEntry(bool keep);
    void commitChunk();
    void fail(const std::string& location, const std::exception& e);
    void markFailed(const std::string& entry);

    db::Connection db_;
    Broadcast b_;
    ErrorLogger log_;
    std::string queueTime_;
    std::int64_t rowsPerCommit_ = kRowsPerCommit;
    std::chrono::milliseconds chunkBudget_ = kChunkBudget;
    QueueProgress progress_;

    db::Statement insert_, members_, groupExists_, contact_, nameOf_, undelivered_;
    std::optional<db::Transaction> tx_, entrySp_;
    std::chrono::steady_clock::time_point chunkStart_;
    std::int64_t chunkRows_ = 0;
    std::int64_t commits_ = 0;

    // Counts by stage: the entry's open savepoint, the open chunk, committed.
    std::int64_t entryQueued_ = 0, entrySkipped_ = 0;
    std::int64_t chunkQueued_ = 0, chunkSkipped_ = 0;
    std::vector<std::string> chunkEntries_;
    std::string entry_;
    bool entryFailed_ = false;
    QueueResult result_;
    std::unordered_set<std::string> failedSeen_;
};

}  // namespace parlix::console
