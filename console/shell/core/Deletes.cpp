#include "console/shell/core/Deletes.h"

#include <algorithm>
#include <atomic>
#include <future>
#include <limits>
#include <optional>
#include <thread>

#include "database/Schema.h"
#include "platform/db/Transaction.h"

namespace parlix::console {

namespace {

using Clock = std::chrono::steady_clock;

template <class D>
double seconds(D d) {
    return std::chrono::duration<double>(d).count();
}

const char* folderWhere(Folder folder) {
    switch (folder) {
        case Folder::Inbox: return "1";
        // IFNULL: an engine's claim is 1; 0 or Null is free.
        case Folder::Outbox: return "SentStatus IN ('P','R') AND IFNULL(\"Lock\", 0) = 0";
        case Folder::Sent: return "SentStatus IN ('S','F','D')";
    }
    return "0";
}

DeleteScope withFilter(DeleteScope s, const db::Criteria& filter) {
    if (!filter.matchesAll()) s.where = "(" + s.where + ") AND " + db::RenderCriteria(filter, s.params);
    return s;
}

// "DELETE FROM T WHERE id IN (?,...) AND (where)" for n ids, and its companion.
std::int64_t deleteChunk(db::Connection& db, const DeleteScope& s, const std::int64_t* ids, std::size_t n) {
    std::string list = "?";
    for (std::size_t i = 1; i < n; ++i) list += ",?";
    const std::string table = db::quoteIdentifier(s.table), id = db::quoteIdentifier(s.idColumn);
    db::Params p(ids, ids + n);
    const std::string chosen = "SELECT " + id + " FROM " + table + " WHERE " + id + " IN (" + list + ") AND (" +
                               s.where + ")";
    p.insert(p.end(), s.params.begin(), s.params.end());
    if (!s.companion.empty())
        db.execute("DELETE FROM " + db::quoteIdentifier(s.companion) + " WHERE " + id + " IN (" + chosen + ")", p);
    return db.execute("DELETE FROM " + table + " WHERE " + id + " IN (" + list + ") AND (" + s.where + ")", p);
}

// Copies the log back into the file from a connection of its own while the next batch
// runs (a passive checkpoint never blocks a writer), so the batches do not wait for it.
// The log restarts from its beginning only when it has been copied whole before a
// transaction begins; the batches wait for that once the log has grown past a limit.
class LogCopier {
public:
    explicit LogCopier(const db::Connection& db) : path_(db.path()) {}
    ~LogCopier() { wait(); }
    LogCopier(const LogCopier&) = delete;
    LogCopier& operator=(const LogCopier&) = delete;

    // Starts copying what is committed now, once an earlier copy has ended.
    void start() {
        wait();
        running_ = std::async(std::launch::async, [this]() -> std::int64_t {
            try {
                if (!c_.isOpen()) c_.open(path_, schema::kDatabaseKey);
                auto row = c_.query("PRAGMA main.wal_checkpoint(PASSIVE)");
                return row.empty() ? 0 : row[0][1].asInt();
            } catch (...) {
                return 0;  // the next copy, or the engines' own, catches up
            }
        });
    }
    // Waits for a running copy; the log's length in frames when the last copy ended.
    std::int64_t wait() {
        if (running_.valid()) frames_ = running_.get();
        return frames_;
    }
    std::int64_t lastFrames() const { return frames_; }
    bool running() const {
        return running_.valid() && running_.wait_for(std::chrono::seconds(0)) != std::future_status::ready;
    }

private:
    std::string path_;
    db::Connection c_;
    std::future<std::int64_t> running_;
    std::int64_t frames_ = 0;
};

}  // namespace

void LeaveLockFree(std::chrono::steady_clock::time_point released, std::chrono::milliseconds pause) {
    const auto free = Clock::now() - released;
    if (free < pause) std::this_thread::sleep_for(pause - free);
}

DeleteScope MessageScope(Folder folder, const db::Criteria& filter) {
    return withFilter({folder == Folder::Inbox ? "Inbox" : "Outbox", "MsgID", folderWhere(folder), {}, {}}, filter);
}

DeleteScope ContactScope(const db::Criteria& filter) {
    return withFilter({"AddressBook", "ContactID", "1", {}, "Groups"}, filter);
}

ScopeSnapshot::ScopeSnapshot(db::Connection& db, const DeleteScope& s) : db_(db) {
    static std::atomic<std::int64_t> made{0};
    table_ = "temp.parlix_delete_" + std::to_string(++made);
    db.execute("CREATE TABLE " + table_ + " (id INTEGER PRIMARY KEY)");
    try {
        // One statement: one consistent read of the folder, whatever engines write
        // meanwhile (a folder's own condition is read from its index).
        count_ = db.execute("INSERT INTO " + table_ + " (id) SELECT " + db::quoteIdentifier(s.idColumn) +
                                " FROM main." + db::quoteIdentifier(s.table) + " WHERE " + s.where,
                            s.params);
    } catch (...) {
        try {
            db.execute("DROP TABLE " + table_);
        } catch (...) {
        }
        throw;
    }
}

ScopeSnapshot::~ScopeSnapshot() {
    try {
        db_.execute("DROP TABLE IF EXISTS " + table_);
    } catch (...) {
        // A closed connection took its temporary tables along.
    }
}

std::int64_t DeleteIds(db::Connection& db, const DeleteScope& s, const std::vector<std::int64_t>& ids,
                       const DeleteProgress& progress, std::chrono::milliseconds budget) {
    if (ids.empty()) return 0;
    // Only a transaction of our own may be cut short; a caller's stays whole.
    const bool own = !db::inTransaction(db);
    std::int64_t deleted = 0;
    std::size_t at = 0;
    while (at < ids.size()) {
        db::Transaction tx(db);
        const auto started = Clock::now();
        do {
            const std::size_t n = std::min(kIdsPerStatement, ids.size() - at);
            deleted += deleteChunk(db, s, ids.data() + at, n);
            at += n;
        } while (at < ids.size() && (!own || Clock::now() - started < budget));
        tx.commit();
        const auto released = Clock::now();
        if (own && progress) progress(static_cast<std::int64_t>(at), static_cast<std::int64_t>(ids.size()));
        if (own && at < ids.size()) LeaveLockFree(released);
    }
    return deleted;
}

BatchResult DeleteInBatches(db::Connection& db, const DeleteScope& s, const ScopeSnapshot& rows,
                            const DeleteProgress& progress, const BatchOptions& options) {
    BatchResult r;
    const std::int64_t total = rows.count();
    if (total == 0) return r;
    const std::string table = "main." + db::quoteIdentifier(s.table), id = db::quoteIdentifier(s.idColumn);
    // The snapshot's rows with identifiers in (lo, hi] that are still in the scope.
    const std::string chosen = id + " IN (SELECT id FROM " + rows.table() + " WHERE id > ? AND id <= ?) AND (" +
                               s.where + ")";
    const std::string del = "DELETE FROM " + table + " WHERE " + chosen;
    const std::string companion = s.companion.empty() ? std::string()
                                                      : "DELETE FROM main." + db::quoteIdentifier(s.companion) +
                                                            " WHERE " + id + " IN (SELECT " + id + " FROM " + table +
                                                            " WHERE " + chosen + ")";
    // The identifier `n` snapshot rows past `lo` (the snapshot reads only itself).
    const std::string nth = "SELECT id FROM " + rows.table() + " WHERE id > ? ORDER BY id LIMIT 1 OFFSET ?";
    // Index pages of a large folder stay in memory from one batch to the next (the
    // indexes by number are in no order of the identifier); the usual size comes back after.
    std::optional<std::int64_t> usualCache, usualCheckpoint, usualSecureDelete;
    if (options.cacheKiB > 0) {
        if (auto c = db.scalar("PRAGMA main.cache_size")) usualCache = c->asInt();
        db.execute("PRAGMA main.cache_size = " + std::to_string(-options.cacheKiB));
    }
    // The log is copied back after each batch, with the write lock already free (a
    // passive checkpoint never blocks a writer), not inside the next commit.
    if (auto c = db.scalar("PRAGMA wal_autocheckpoint")) usualCheckpoint = c->asInt();
    db.execute("PRAGMA wal_autocheckpoint = 0");
    // Pages the delete empties are not written again full of zeros (the file is
    // encrypted; zeroing them cost about a fifth of the time).
    if (auto c = db.scalar("PRAGMA main.secure_delete")) usualSecureDelete = c->asInt();
    db.execute("PRAGMA main.secure_delete = 0");
    auto restore = [&] {
        if (usualCache) db.execute("PRAGMA main.cache_size = " + std::to_string(*usualCache));
        if (usualCheckpoint) db.execute("PRAGMA wal_autocheckpoint = " + std::to_string(*usualCheckpoint));
        if (usualSecureDelete) db.execute("PRAGMA main.secure_delete = " + std::to_string(*usualSecureDelete));
    };
    const std::int64_t pageSize = db.scalar("PRAGMA main.page_size")->asInt();
    LogCopier copier(db);
    const bool fixed = options.rowsPerBatch > 0;
    const double aim = seconds(options.target), stepAim = aim / 8;
    double commitShare = 1.0;  // commit time per second of statements, as last measured
    std::int64_t step = fixed ? options.rowsPerBatch : std::max<std::int64_t>(options.firstStep, 1);
    std::int64_t done = 0, lo = std::numeric_limits<std::int64_t>::min();
    try {
        while (done < total) {
            // A long log is copied whole first, so this transaction starts it afresh.
            if (copier.running() && copier.lastFrames() * pageSize >= options.logLimitKiB * 1024) copier.wait();
            const auto started = Clock::now();
            {
                // Steps through the snapshot until the transaction, its commit included,
                // has taken the aimed time: a measured cap, whatever one row costs.
                db::Transaction tx(db);
                do {
                    const std::int64_t n = std::min(step, total - done);
                    const std::int64_t hi = db.scalar(nth, {lo, n - 1})->asInt();
                    db::Params p{lo, hi};
                    p.insert(p.end(), s.params.begin(), s.params.end());
                    const auto stepStarted = Clock::now();
                    if (!companion.empty()) db.execute(companion, p);
                    r.deleted += db.execute(del, p);
                    const double took = seconds(Clock::now() - stepStarted);
                    lo = hi;
                    done += n;
                    if (fixed) break;
                    step = std::max<std::int64_t>(
                        1, static_cast<std::int64_t>(static_cast<double>(step) *
                                                     (took > 0 ? std::clamp(stepAim / took, 0.25, 2.0) : 2.0)));
                } while (done < total && seconds(Clock::now() - started) * (1 + commitShare) < aim);
                const auto committing = Clock::now();
                tx.commit();
                const double worked = seconds(committing - started);
                commitShare = worked > 0 ? seconds(Clock::now() - committing) / worked : 1.0;
            }
            const auto released = Clock::now();
            r.longestTransaction = std::max(r.longestTransaction, seconds(released - started));
            ++r.batches;
            if (done < total) copier.start();
            if (progress) progress(done, total);
            // The progress counts towards the pause.
            if (done < total) LeaveLockFree(released, options.pause);
        }
        copier.wait();
        // The last batch's log goes back into the file now (the automatic copy is off).
        db.query("PRAGMA main.wal_checkpoint(PASSIVE)");
    } catch (...) {
        copier.wait();
        restore();
        throw;
    }
    restore();
    return r;
}

}  // namespace parlix::console
