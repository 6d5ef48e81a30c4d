#include "console/shell/core/Deletes.h"

#include <algorithm>
#include <thread>

#include "platform/db/Transaction.h"

namespace parlix::console {

namespace {

using Clock = std::chrono::steady_clock;

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

}  // namespace

DeleteScope MessageScope(Folder folder, const db::Criteria& filter) {
    return withFilter({folder == Folder::Inbox ? "Inbox" : "Outbox", "MsgID", folderWhere(folder), {}, {}}, filter);
}

DeleteScope ContactScope(const db::Criteria& filter) {
    return withFilter({"AddressBook", "ContactID", "1", {}, "Groups"}, filter);
}

ScopeCount CountScope(db::Connection& db, const DeleteScope& s) {
    const std::string id = db::quoteIdentifier(s.idColumn);
    auto rows = db.query("SELECT COUNT(*), IFNULL(MIN(" + id + "), 0), IFNULL(MAX(" + id + "), 0) FROM " +
                             db::quoteIdentifier(s.table) + " WHERE " + s.where,
                         s.params);
    ScopeCount c;
    if (!rows.empty()) {
        c.count = rows[0][0].asInt();
        c.minId = rows[0][1].asInt();
        c.maxId = rows[0][2].asInt();
    }
    return c;
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
        if (own && progress) progress(static_cast<std::int64_t>(at), static_cast<std::int64_t>(ids.size()));
    }
    return deleted;
}

BatchResult DeleteInBatches(db::Connection& db, const DeleteScope& s, const ScopeCount& counted,
                            const DeleteProgress& progress, const BatchOptions& options) {
    BatchResult r;
    if (counted.count == 0) return r;
    const std::string table = db::quoteIdentifier(s.table), id = db::quoteIdentifier(s.idColumn);
    const std::string range = id + " > ? AND " + id + " <= ? AND (" + s.where + ")";
    const std::string del = "DELETE FROM " + table + " WHERE " + range;
    const std::string companion = s.companion.empty() ? std::string()
                                                      : "DELETE FROM " + db::quoteIdentifier(s.companion) + " WHERE " +
                                                            id + " IN (SELECT " + id + " FROM " + table + " WHERE " +
                                                            range + ")";
    std::int64_t span = std::max<std::int64_t>(options.firstSpan, 1);
    for (std::int64_t lo = counted.minId - 1; lo < counted.maxId;) {
        const std::int64_t hi = std::min(counted.maxId, lo + span);
        db::Params p{lo, hi};
        p.insert(p.end(), s.params.begin(), s.params.end());
        const auto started = Clock::now();
        {
            db::Transaction tx(db);
            if (!companion.empty()) db.execute(companion, p);
            r.deleted += db.execute(del, p);
            tx.commit();
        }
        const double took = std::chrono::duration<double>(Clock::now() - started).count();
        r.longestTransaction = std::max(r.longestTransaction, took);
        ++r.batches;
        lo = hi;
        if (progress) progress(r.deleted, counted.count);
        // Next range sized to the aimed time, at most twice this one (a cold cache or an
        // engine's work can make one batch slower than the last).
        const double aim = std::chrono::duration<double>(options.target).count();
        const double factor = took > 0 ? std::clamp(aim / took, 0.25, 2.0) : 2.0;
        span = std::max<std::int64_t>(1, static_cast<std::int64_t>(static_cast<double>(span) * factor));
        if (lo < counted.maxId && options.pause.count() > 0) std::this_thread::sleep_for(options.pause);
    }
    return r;
}

}  // namespace parlix::console
