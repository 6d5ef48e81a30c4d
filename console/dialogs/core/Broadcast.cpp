#include "console/dialogs/core/Broadcast.h"

#include "platform/db/Value.h"

namespace parlix::console {

namespace {

constexpr const char* kGroupLocation = "frmNewSMS : QueueSMSToGroup";
constexpr const char* kIndividualLocation = "frmNewSMS : QueueSMSToIndividual";
constexpr const char* kNumberLocation = "frmNewSMS : QueueSMSToNumber";
constexpr const char* kFilterLocation = "frmNewSMS : CheckDeliveryStatus_FU";
// The number a record set gives when it finds no current row.
constexpr long kNoCurrentRecord = 3021;

std::string NameOrUnknown(const db::Value& v) {
    std::string n = v.asText();
    return n.empty() ? "Unknown" : n;
}

}  // namespace

long ErrorNumber(const std::exception& e) {
    if (auto* d = dynamic_cast<const db::DbError*>(&e)) return d->number() ? d->number() : d->sqliteCode();
    return 0;
}

BroadcastQueue::BroadcastQueue(const db::Connection& db, Broadcast broadcast, ErrorLogger log)
    : db_(db), b_(std::move(broadcast)), log_(std::move(log)), queueTime_(db::formatDateTime(b_.sendTime)) {}

BroadcastQueue::~BroadcastQueue() = default;

void BroadcastQueue::prepare() {
    // Exactly the composer's seven columns; Lock, ModemID and the rest keep their defaults.
    insert_.prepare(db_,
                    "INSERT INTO Outbox (Subject, Name, Mobile, DateTimeQueue, Message, SentStatus, MsgType) "
                    "VALUES (?, ?, ?, ?, ?, 'P', ?)");
    // Members in the group's row order; a member whose contact is gone comes with Null.
    // ("+" keeps the planner on the name index instead of a scan in row order.)
    members_.prepare(db_,
                     "SELECT g.ContactID, a.ContactID, a.Name, a.Mobile FROM Groups g "
                     "LEFT JOIN AddressBook a ON a.ContactID = g.ContactID "
                     "WHERE g.GroupName = ? AND g.ContactID <> 0 ORDER BY +g.rowid");
    groupExists_.prepare(db_, "SELECT 1 FROM Groups WHERE GroupName = ? LIMIT 1");
    contact_.prepare(db_, "SELECT Mobile, Name FROM AddressBook WHERE ContactID = ?");
    nameOf_.prepare(db_, "SELECT Name FROM AddressBook WHERE Mobile = ? ORDER BY ContactID LIMIT 1");
    undelivered_.prepare(db_, "SELECT EXISTS (SELECT 1 FROM Outbox WHERE Mobile = ? AND DeliveryStatus = 'F')");
}

QueueResult BroadcastQueue::queueAll(const std::vector<std::string>& entries) {
    result_ = {};
    failedSeen_.clear();
    chunkQueued_ = chunkSkipped_ = 0;
    chunkEntries_.clear();
    prepare();
    tx_.emplace(db_);
    chunkStart_ = std::chrono::steady_clock::now();
    chunkRows_ = 0;

    for (std::size_t i = 0; i < entries.size(); ++i) {
        const std::string& entry = entries[i];
        if (IsBlankEntry(entry)) {
            markFailed(entry);
            continue;
        }
        if (!tx_) {
            // The database refused a new chunk: nothing more can be written now.
            for (std::size_t j = i; j < entries.size(); ++j) markFailed(entries[j]);
            break;
        }
        beginEntry(entry);
        bool queued = QueueSMSToGroup(entry);
        if (!queued && !entryFailed_) queued = QueueSMSToIndividual(entry);
        if (!queued && !entryFailed_) queued = QueueSMSToNumber(entry);
        if (!queued) markFailed(entry);
        endEntry(!entryFailed_);
    }
    if (tx_) {
        try {
            commitChunk();
        } catch (const std::exception& e) {
            fail("New SMS : Send", e);
        }
    }
    tx_.reset();
    return result_;
}

void BroadcastQueue::beginEntry(const std::string& entry) {
    entry_ = entry;
    entryFailed_ = false;
    entryQueued_ = entrySkipped_ = 0;
}

void BroadcastQueue::endEntry(bool keep) {
    if (keep) {
        try {
            if (entrySp_) entrySp_->commit();
            chunkQueued_ += entryQueued_;
            chunkSkipped_ += entrySkipped_;
            if (entryQueued_ || entrySkipped_) chunkEntries_.push_back(entry_);
        } catch (const std::exception& e) {
            fail("New SMS : Send", e);
            markFailed(entry_);
        }
    }
    entrySp_.reset();  // rolls back what was not kept
    entryQueued_ = entrySkipped_ = 0;
}

void BroadcastQueue::commitChunk() {
    std::vector<std::string> entries;
    entries.swap(chunkEntries_);
    const std::int64_t queued = chunkQueued_, skipped = chunkSkipped_;
    chunkQueued_ = chunkSkipped_ = 0;
    try {
        tx_->commit();
    } catch (...) {
        // Nothing of this chunk is in the database: its entries were not queued.
        tx_.reset();
        for (const auto& e : entries) markFailed(e);
        throw;
    }
    ++commits_;
    result_.queued += queued;
    result_.notQueued += skipped;
    tx_.reset();
}

void BroadcastQueue::queueRow(const std::string& name, const std::string& mobile) {
    insert_.execute({b_.subject, name, mobile, queueTime_, b_.message, b_.unicode ? 0 : 1});
    ++entryQueued_;
    ++chunkRows_;
}

void BroadcastQueue::handOverIfDue() {
    if (chunkRows_ < rowsPerCommit_ && std::chrono::steady_clock::now() - chunkStart_ < chunkBudget_) return;
    // Hand the lock over to the engines: keep the entry's rows so far, commit,
    // and go on in a new chunk (with a new savepoint for the rest of a group).
    const bool inGroup = entrySp_.has_value();
    if (inGroup) entrySp_->commit();
    entrySp_.reset();
    chunkQueued_ += entryQueued_;
    chunkSkipped_ += entrySkipped_;
    entryQueued_ = entrySkipped_ = 0;
    chunkEntries_.push_back(entry_);
    commitChunk();
    if (progress_) progress_(result_.queued);
    tx_.emplace(db_);
    if (inGroup) entrySp_.emplace(db_);
    chunkStart_ = std::chrono::steady_clock::now();
    chunkRows_ = 0;
}

void BroadcastQueue::queueOrSkip(const std::string& name, const std::string& mobile) {
    if (b_.skipUndeliverable && CheckDeliveryStatus_FU(mobile)) ++entrySkipped_;
    else queueRow(name, mobile);
    // A skip writes nothing, but the open chunk holds the lock all the same.
    handOverIfDue();
}

void BroadcastQueue::fail(const std::string& location, const std::exception& e) {
    entryFailed_ = true;
    if (log_) log_(location, ErrorNumber(e), e.what());
}

void BroadcastQueue::markFailed(const std::string& entry) {
    if (failedSeen_.insert(entry).second) result_.failed.push_back(entry);
}

bool BroadcastQueue::QueueSMSToGroup(const std::string& entry) {
    bool result = false;
    try {
        if (entry.find('\'') != std::string::npos) return false;  // group names never hold one
        struct Member {
            std::int64_t id;
            bool present;
            std::string name, mobile;
        };
        // Most entries are no group: the name index answers that without touching members.
        if (!groupExists_.exists({entry})) return false;
        std::vector<Member> members;
        members_.each({entry}, [&](const std::vector<db::Value>& r) {
            members.push_back({r[0].asInt(), !r[1].isNull(), NameOrUnknown(r[2]), r[3].asText()});
            return true;
        });
        if (members.empty()) {
            // A group with only its name row has nobody to send to; its name is no number.
            markFailed(entry);
            return true;
        }
        // Only a group writes more than one row: it alone needs a savepoint to undo.
        entrySp_.emplace(db_);
        for (const auto& m : members) {
            if (!m.present) {
                // Deleted contacts may leave memberships behind: skip them, send the rest.
                if (log_)
                    log_(kGroupLocation, kNoCurrentRecord,
                         "Contact " + std::to_string(m.id) + " of group " + entry + " is not in the address book");
                markFailed(entry);
                continue;
            }
            queueOrSkip(m.name, m.mobile);
            result = true;
        }
        if (!result) return true;  // every member gone: reported, not queued as a number
    } catch (const std::exception& e) {
        fail(kGroupLocation, e);
        markFailed(entry);
    }
    return result;
}

bool BroadcastQueue::QueueSMSToIndividual(const std::string& entry) {
    try {
        std::int64_t id = 0;
        if (!ContactIdOf(entry, id)) return false;
        auto rows = contact_.query({static_cast<long long>(id)});
        if (rows.empty()) return false;
        queueOrSkip(NameOrUnknown(rows[0][1]), rows[0][0].asText());
        return true;
    } catch (const std::exception& e) {
        fail(kIndividualLocation, e);
        markFailed(entry);
    }
    return false;
}

bool BroadcastQueue::QueueSMSToNumber(const std::string& entry) {
    try {
        const std::string number = CleanNumber(entry);
        if (IsBlankEntry(number)) return false;
        auto name = nameOf_.scalar({number});
        queueOrSkip(name ? NameOrUnknown(*name) : "Unknown", number);
        return true;
    } catch (const std::exception& e) {
        fail(kNumberLocation, e);
        markFailed(entry);
    }
    return false;
}

bool BroadcastQueue::CheckDeliveryStatus_FU(const std::string& mobile) {
    try {
        auto v = undelivered_.scalar({mobile});
        return v && v->asInt() != 0;
    } catch (const std::exception& e) {
        // As before: an unanswerable test lets the row be queued.
        if (log_) log_(kFilterLocation, ErrorNumber(e), e.what());
        return false;
    }
}

}  // namespace parlix::console
