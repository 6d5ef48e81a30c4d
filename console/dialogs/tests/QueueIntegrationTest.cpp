// Queueing a broadcast and the picker's data, on a real database.
#include <chrono>
#include <tuple>

#include "console/dialogs/core/Broadcast.h"
#include "console/dialogs/core/Picker.h"
#include "console/dialogs/tests/ComposerDb.h"
#include "platform/db/Transaction.h"

namespace parlix::console::testing {
namespace {

struct Logged {
    std::string location, description;
};

class Queue : public ComposerDb {
protected:
    Broadcast broadcast(bool filter = false, bool unicode = false) {
        return {"071226220509", "Meeting at 9", LocalMoment(2026, 12, 7, 20 * 60 + 15), unicode, filter};
    }
    QueueResult send(const std::vector<std::string>& entries, Broadcast b, std::int64_t rowsPerCommit = 0,
                     std::int64_t* commits = nullptr) {
        BroadcastQueue q(db, std::move(b), [this](const std::string& l, long, const std::string& d) {
            log.push_back({l, d});
        });
        if (rowsPerCommit) {
            q.setRowsPerCommit(rowsPerCommit);
            q.setChunkBudget(std::chrono::hours(1));  // chunks by rows only, whatever the machine
        }
        auto r = q.queueAll(entries);
        if (commits) *commits = q.commits();
        return r;
    }
    // A temporary trigger that makes the insert of one number fail, as a full disk would.
    void refuse(const std::string& mobile) {
        db.execute("CREATE TEMP TRIGGER refuse BEFORE INSERT ON Outbox WHEN NEW.Mobile = '" + mobile +
                   "' BEGIN SELECT RAISE(ABORT, 'disk I/O error'); END");
    }
    std::vector<Logged> log;
};

TEST_F(Queue, GroupWithAnUndeliverableMemberQueuesTheOthersInTheSevenColumns) {
    auto a = contact("Ali", "0121111111"), b = contact("", "0122222222"), c = contact("Chen", "0123333333");
    group("Staff", {a, b, c});
    undelivered("0122222222");
    auto r = send({"Staff"}, broadcast(true));
    EXPECT_EQ(r.queued, 2);
    EXPECT_EQ(r.notQueued, 1);
    EXPECT_TRUE(r.failed.empty());
    auto rows = db.query("SELECT * FROM Outbox WHERE SentStatus = 'P' ORDER BY MsgID");
    ASSERT_EQ(rows.size(), 2u);
    db::Recordset rs(db, "SELECT * FROM Outbox WHERE SentStatus = 'P' ORDER BY MsgID");
    EXPECT_EQ(rs.text("Subject"), "071226220509");
    EXPECT_EQ(rs.text("Name"), "Ali");
    EXPECT_EQ(rs.text("Mobile"), "0121111111");
    EXPECT_EQ(rs.text("DateTimeQueue"), "2026-12-07 20:15:00");
    EXPECT_EQ(rs.text("Message"), "Meeting at 9");
    EXPECT_EQ(rs.integer("MsgType"), 1);
    for (auto col : {"Lock", "ModemID", "MsgRef", "DateTimeSent", "DeliveryStatus", "DateTimeDeliver", "Modem"})
        EXPECT_TRUE(rs.isNull(col)) << col;
    // Unfiltered, the same group queues all three; the unnamed contact is "Unknown".
    auto all = send({"Staff"}, broadcast(false, true));
    EXPECT_EQ(all.queued, 3);
    EXPECT_EQ(count("MsgType = 0 AND Name = 'Unknown' AND Mobile = '0122222222'"), 1);
}

TEST_F(Queue, EachKindOfEntryFindsItsRecipient) {
    contact("Dina", "0123456789");
    auto moved = contact("Eli", "0130000000");
    db.execute("UPDATE AddressBook SET Mobile = '0139999999' WHERE ContactID = ?", {static_cast<long long>(moved)});
    const std::string pickedEarlier = std::to_string(moved) + ":Eli:0130000000";
    // entry -> "Name|Mobile" of the one row it queues
    const std::vector<std::pair<std::string, std::string>> cases = {
        {"012-345 6789", "Dina|0123456789"},           // blanks and "-" go
        {pickedEarlier, "Eli|0139999999"},             // the contact's number now
        {"0 OR 1=1:x", "Unknown|0OR1=1:x"},            // no ID: a number, never contact 1
        {"it's 0112", "Unknown|it's0112"},             // a quote skips the group step
        {"50%_:0113", "Unknown|50%_:0113"},
    };
    for (const auto& [entry, expected] : cases) {
        db.execute("DELETE FROM Outbox");
        auto r = send({entry}, broadcast());
        EXPECT_EQ(r.queued, 1) << entry;
        EXPECT_EQ(pending(), std::vector<std::string>{expected}) << entry;
    }
}

TEST_F(Queue, BlankEntriesEmptyGroupsAndOrphansAreReportedNotQueued) {
    auto a = contact("Ali", "0121111111"), gone = contact("Gone", "0125555555"), c = contact("Chen", "0123333333");
    group("Staff", {a, gone, c});
    group("Empty", {});
    db.execute("DELETE FROM AddressBook WHERE ContactID = ?", {static_cast<long long>(gone)});
    auto r = send({"", "  ", "Empty", "Staff", "---"}, broadcast());
    EXPECT_EQ(r.queued, 2);
    EXPECT_EQ(pending(), (std::vector<std::string>{"Ali|0121111111", "Chen|0123333333"}));
    EXPECT_EQ(r.failed, (std::vector<std::string>{"", "  ", "Empty", "Staff", "---"}));
    EXPECT_EQ(count("Mobile = '' OR Mobile = 'Empty'"), 0);
    ASSERT_EQ(log.size(), 1u);
    EXPECT_EQ(log[0].location, "frmNewSMS : QueueSMSToGroup");
    EXPECT_NE(log[0].description.find(std::to_string(gone)), std::string::npos);
}

TEST_F(Queue, AFailingEntryIsRolledBackAndTheOthersGoOn) {
    auto a = contact("Ali", "0121111111"), b = contact("Bad", "0199"), c = contact("Chen", "0123333333");
    group("Staff", {a, b, c});
    refuse("0199");
    auto r = send({"0171111111", "Staff", "0172222222", "0199"}, broadcast());
    EXPECT_EQ(pending(), (std::vector<std::string>{"Unknown|0171111111", "Unknown|0172222222"}));
    EXPECT_EQ(r.queued, 2);
    EXPECT_EQ(r.failed, (std::vector<std::string>{"Staff", "0199"}));
    ASSERT_EQ(log.size(), 2u);
    EXPECT_EQ(log[0].location, "frmNewSMS : QueueSMSToGroup");
    EXPECT_EQ(log[1].location, "frmNewSMS : QueueSMSToNumber");
}

TEST_F(Queue, ABigGroupCommitsInChunksAndCountsBeyondSixteenBits) {
    const int members = 40000;
    bigGroup("Everyone", members, 40000000);
    std::int64_t commits = 0;
    auto r = send({"Everyone"}, broadcast(), 7000, &commits);
    EXPECT_EQ(r.queued, members);
    EXPECT_EQ(count("SentStatus = 'P'"), members);
    EXPECT_GE(commits, members / 7000);

    // A failure in the last chunk loses only that chunk: the report counts what stays.
    db.execute("DELETE FROM Outbox");
    refuse("01" + std::to_string(40000000 + 35000));
    r = send({"Everyone", "0171111111"}, broadcast(), 10000);
    EXPECT_EQ(r.queued, 30000 + 1);
    EXPECT_EQ(count("SentStatus = 'P'"), 30000 + 1);
    EXPECT_EQ(r.failed, std::vector<std::string>{"Everyone"});
}

// The composer shows the count while a big broadcast runs: only committed rows, and
// only while the lock is free (the windows repaint then, and read the database).
TEST_F(Queue, ProgressCountsCommittedRowsWithTheLockFree) {
    bigGroup("Everyone", 25000, 40000000);
    BroadcastQueue q(db, broadcast(), nullptr);
    q.setRowsPerCommit(10000);
    q.setChunkBudget(std::chrono::hours(1));
    std::vector<std::int64_t> seen;
    q.setProgress([&](std::int64_t queued) {
        EXPECT_FALSE(db::inTransaction(db));
        EXPECT_EQ(count("SentStatus = 'P'"), queued);
        seen.push_back(queued);
    });
    EXPECT_EQ(q.queueAll({"0171111111", "Everyone"}).queued, 25001);
    EXPECT_EQ(seen, (std::vector<std::int64_t>{10000, 20000}));
}

// Skipped numbers write nothing, yet the open chunk holds the write lock all the same:
// its time budget hands the lock over on that path too.
TEST_F(Queue, AListOfSkippedNumbersStillHandsTheLockOver) {
    std::vector<std::string> entries;
    for (int i = 0; i < 5; ++i) {
        entries.push_back("012555000" + std::to_string(i));
        undelivered(entries.back());
    }
    BroadcastQueue q(db, broadcast(true), nullptr);
    q.setChunkBudget(std::chrono::milliseconds(0));
    const QueueResult r = q.queueAll(entries);
    EXPECT_EQ(r.queued, 0);
    EXPECT_EQ(r.notQueued, 5);
    EXPECT_TRUE(r.failed.empty());
    EXPECT_GE(q.commits(), 5) << "one hand-over per skipped number with no time to spare";
}

TEST_F(Queue, ALockedOrClosedDatabaseWritesNothing) {
    db::Connection engine;
    engine.open(db.path(), schema::kDatabaseKey);
    db::Connection console;
    console.open(db.path(), schema::kDatabaseKey, {.busyTimeoutMs = 100});
    {
        db::Transaction holder(engine);
        BroadcastQueue q(console, broadcast(), nullptr);
        EXPECT_THROW(q.queueAll({"0121111111"}), db::BusyError);
    }
    console.close();
    BroadcastQueue closed(console, broadcast(), nullptr);
    EXPECT_THROW(closed.queueAll({"0121111111"}), db::DbError);
    EXPECT_EQ(count(), 0);
}

TEST_F(Queue, PickerListsTicksAndEmptyGroups) {
    auto a = contact("Ali", "0121111111");
    auto nameless = contact("", "0122222222");
    db.execute("UPDATE AddressBook SET Mobile = NULL WHERE ContactID = ?", {static_cast<long long>(nameless)});
    auto gone = contact("Gone", "0125555555");
    group("Staff", {a});
    group("NameOnly", {});
    group("Orphans", {gone});
    db.execute("DELETE FROM AddressBook WHERE ContactID = ?", {static_cast<long long>(gone)});
    auto l = LoadPickerLists(db);
    EXPECT_EQ(l.contacts, (std::vector<std::string>{std::to_string(a) + ":Ali:0121111111",
                                                    std::to_string(nameless) + "::"}));
    ASSERT_EQ(l.groups.size(), 3u);
    auto ticked = PreTick(l.contacts, {"Staff", l.contacts[1], "0129999999"});
    EXPECT_EQ(ticked, (std::vector<bool>{false, true}));
    EXPECT_EQ(FirstEmptyGroup(db, {"Staff"}), -1);
    EXPECT_EQ(FirstEmptyGroup(db, {"Staff", "Orphans", "NameOnly"}), 1);
    EXPECT_EQ(FirstEmptyGroup(db, {"NameOnly"}), 0);
    EXPECT_EQ(EmptyGroupMessage("NameOnly"), "No contact in group NameOnly!\r\nPlease uncheck group NameOnly.");
}

}  // namespace
}  // namespace parlix::console::testing
