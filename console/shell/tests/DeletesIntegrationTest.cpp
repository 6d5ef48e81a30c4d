// Deletes on a real database file: exactly the rows a folder's view shows go, in
// batches or by identifier, and nothing else.
#include <gtest/gtest.h>
#include <sqlite3.h>

#include <algorithm>
#include <atomic>
#include <filesystem>
#include <functional>
#include <map>
#include <set>
#include <thread>

#include "console/shell/core/Deletes.h"
#include "console/shell/core/FolderFilters.h"
#include "console/shell/core/Views.h"
#include "console/shell/tests/TestRoot.h"
#include "database/Schema.h"
#include "platform/db/Transaction.h"

namespace parlix::console {
namespace {

class DeletesTest : public ::testing::Test {
protected:
    void SetUp() override {
        root = test::makeTestRoot("deletes");
        const std::string path = schema::databasePath(root.string());
        ASSERT_TRUE(schema::createDatabase(path));
        c.open(path, schema::kDatabaseKey);
    }
    void TearDown() override {
        c.close();
        std::filesystem::remove_all(root);
    }
    std::int64_t queue(const std::string& status, const std::string& message, int lock = 0) {
        c.execute("INSERT INTO Outbox (Subject, Name, Mobile, Message, DateTimeQueue, SentStatus, Lock, MsgType) "
                  "VALUES ('s', 'n', '0123', ?, '2026-01-01 10:00:00', ?, ?, 1)",
                  {message, status, lock});
        return c.lastInsertId();
    }
    std::set<std::int64_t> outboxIds() {
        std::set<std::int64_t> out;
        for (const auto& r : c.query("SELECT MsgID FROM Outbox")) out.insert(r[0].asInt());
        return out;
    }
    std::int64_t count(const std::string& sql) { return c.scalar(sql)->asInt(); }

    std::filesystem::path root;
    db::Connection c;
};

// Whatever the operator types, the delete takes exactly the rows the filtered view shows.
TEST_F(DeletesTest, AFilteredDeleteTakesExactlyTheRowsTheViewShows) {
    const std::string texts[] = {"50% off", "a_b", "it's", "star*", "plain", "\xE4\xBD\xA0\xE5\xA5\xBD", "back\\slash",
                                 std::string(300, 'x')};
    const std::string typed[] = {"%", "_", "'", "*", "\\", "\xE4\xBD\xA0", std::string(300, 'x'), "' OR 1=1 --"};
    for (const std::string& t : typed) {
        c.execute("DELETE FROM Outbox");
        for (const auto& m : texts) {
            queue("S", m);
            queue("P", m);
        }
        db::Recordset view(c, kSentSql, {}, {db::Cursor::Live, db::Lock::ReadOnly, 0});
        view.setFilter(TextCriteria("Message", t));
        std::set<std::int64_t> shown;
        for (view.moveFirst(); !view.eof(); view.moveNext()) shown.insert(view.integer("MsgID"));
        EXPECT_LE(shown.size(), 2u) << t << ": typed text is literal, never a wildcard";

        const DeleteScope scope = MessageScope(Folder::Sent, view.filter());
        const ScopeSnapshot n(c, scope);
        EXPECT_EQ(n.count(), view.recordCount()) << t;
        const auto before = outboxIds();
        EXPECT_EQ(DeleteInBatches(c, scope, n).deleted, static_cast<std::int64_t>(shown.size())) << t;
        std::set<std::int64_t> gone;
        for (auto id : before)
            if (!outboxIds().count(id)) gone.insert(id);
        EXPECT_EQ(gone, shown) << t;
    }
}

TEST_F(DeletesTest, FolderScopesKeepOtherFoldersAndRowsAnEngineHolds) {
    std::map<std::string, std::int64_t> id;
    for (const char* s : {"P", "R", "S", "F", "D"}) id[s] = queue(s, "m");
    id["held"] = queue("P", "m", 1);
    auto outbox = MessageScope(Folder::Outbox);
    EXPECT_EQ(ScopeSnapshot(c, outbox).count(), 2) << "P and R free of a claim";
    DeleteInBatches(c, outbox, ScopeSnapshot(c, outbox));
    EXPECT_EQ(outboxIds(), (std::set<std::int64_t>{id["S"], id["F"], id["D"], id["held"]}));
    auto sent = MessageScope(Folder::Sent);
    DeleteInBatches(c, sent, ScopeSnapshot(c, sent));
    EXPECT_EQ(outboxIds(), (std::set<std::int64_t>{id["held"]}));
}

TEST_F(DeletesTest, BatchesStopAtTheCountedRowsAndReportProgress) {
    c.begin();
    for (int i = 0; i < 3000; ++i) queue("S", i % 3 ? "keep" : "go");
    c.commit();
    // Identifiers beyond 16 bits: nothing is narrowed.
    c.execute("INSERT INTO Outbox (MsgID, Message, SentStatus) VALUES (70000, 'go', 'S')");
    const DeleteScope scope = MessageScope(Folder::Sent, TextCriteria("Message", "go"));
    const ScopeSnapshot n(c, scope);
    EXPECT_EQ(n.count(), 1001);
    const std::int64_t late = queue("S", "go");  // arrives after the question
    std::vector<std::int64_t> seen;
    BatchOptions small;
    small.rowsPerBatch = 100;
    small.pause = std::chrono::milliseconds(0);
    const BatchResult r = DeleteInBatches(
        c, scope, n,
        [&](std::int64_t done, std::int64_t total) {
            seen.push_back(done);
            EXPECT_EQ(total, 1001);
            EXPECT_FALSE(db::inTransaction(c)) << "progress runs between the transactions";
        },
        small);
    EXPECT_EQ(r.deleted, 1001);
    EXPECT_EQ(r.batches, 11);
    EXPECT_EQ(seen, (std::vector<std::int64_t>{100, 200, 300, 400, 500, 600, 700, 800, 900, 1000, 1001}));
    EXPECT_EQ(count("SELECT COUNT(*) FROM Outbox WHERE Message = 'go'"), 1);
    EXPECT_TRUE(outboxIds().count(late));
    EXPECT_EQ(count("SELECT COUNT(*) FROM Outbox WHERE Message = 'keep'"), 2000);
}

// Delete All takes the rows its view held at the question and nothing else, whatever
// another program does to the folder meanwhile: a row that enters the view during the
// delete (an engine sends a pending row, releases a row it held, an identifier is used
// again, a contact is renamed into a search) stays, whatever its identifier; a row that
// leaves the view stays too.
TEST_F(DeletesTest, DeleteAllTakesOnlyTheRowsInTheViewAtTheQuestion) {
    enum Kind { In, Enters, Leaves, Outside };
    auto inbox = [&](const std::string& status) {
        c.execute("INSERT INTO Inbox (Message, Name, Mobile, Status, DateTime) "
                  "VALUES ('m', 'n', '1', ?, '2026-01-01 00:00:00')",
                  {status});
        return c.lastInsertId();
    };
    auto contact = [&](const std::string& name) {
        c.execute("INSERT INTO AddressBook (Name, Mobile, CompanyName) VALUES (?, '0111', 'Co')", {name});
        return c.lastInsertId();
    };
    struct Case {
        const char* name;
        DeleteScope scope;
        std::function<std::int64_t(Kind)> add;  // 0: no such row
        std::string enter, leave;               // what the other program does to a row
        std::string table, id;
    };
    const Case cases[] = {
        {"Sent Items", MessageScope(Folder::Sent),
         [&](Kind k) { return queue(k == In ? "S" : k == Enters ? "P" : k == Leaves ? "F" : "R", "go"); },
         "UPDATE Outbox SET SentStatus = 'S' WHERE MsgID = ?", "UPDATE Outbox SET SentStatus = 'P' WHERE MsgID = ?",
         "Outbox", "MsgID"},
        {"Sent Items by message", MessageScope(Folder::Sent, TextCriteria("Message", "go")),
         [&](Kind k) { return k == Outside ? queue("S", "keep") : queue(k == Enters ? "P" : k == Leaves ? "F" : "S", "go"); },
         "UPDATE Outbox SET SentStatus = 'S' WHERE MsgID = ?", "UPDATE Outbox SET SentStatus = 'P' WHERE MsgID = ?",
         "Outbox", "MsgID"},
        {"Outbox", MessageScope(Folder::Outbox),
         [&](Kind k) { return k == Outside ? queue("S", "m") : queue("P", "m", k == Enters ? 1 : 0); },
         "UPDATE Outbox SET SentStatus = 'R', Lock = 0 WHERE MsgID = ?", "UPDATE Outbox SET Lock = 1 WHERE MsgID = ?",
         "Outbox", "MsgID"},
        {"Inbox by status", MessageScope(Folder::Inbox, db::Criteria::equals("Status", "New")),
         [&](Kind k) -> std::int64_t {
             const std::int64_t id = inbox(k == Outside ? "Read" : "New");
             if (k == Enters) c.execute("DELETE FROM Inbox WHERE MsgID = ?", {id});  // a free identifier
             return id;
         },
         "INSERT INTO Inbox (MsgID, Message, Name, Mobile, Status, DateTime) "
         "VALUES (?, 'm', 'n', '1', 'New', '2026-01-01 00:00:00')",
         "UPDATE Inbox SET Status = 'Read' WHERE MsgID = ?", "Inbox", "MsgID"},
        {"contacts by name", ContactScope(TextCriteria("Name", "n")),
         [&](Kind k) { return contact(k == In || k == Leaves ? "Ann" : k == Enters ? "Bob" : "Cy"); },
         "UPDATE AddressBook SET Name = 'Nan' WHERE ContactID = ?",
         "UPDATE AddressBook SET Name = 'Bob' WHERE ContactID = ?", "AddressBook", "ContactID"},
    };
    for (const Case& t : cases) {
        c.execute("DELETE FROM Outbox");
        c.execute("DELETE FROM Inbox");
        c.execute("DELETE FROM AddressBook");
        std::map<Kind, std::vector<std::int64_t>> rows;
        c.begin();
        for (int i = 0; i < 400; ++i)
            if (const std::int64_t id = t.add(static_cast<Kind>(i % 4))) rows[static_cast<Kind>(i % 4)].push_back(id);
        c.commit();
        const ScopeSnapshot snapshot(c, t.scope);
        ASSERT_EQ(snapshot.count(), 200) << t.name;
        std::vector<std::int64_t> asked = rows[In];
        asked.insert(asked.end(), rows[Leaves].begin(), rows[Leaves].end());
        std::sort(asked.begin(), asked.end());

        db::Connection engine;
        engine.open(c.path(), schema::kDatabaseKey);
        BatchOptions small;
        small.rowsPerBatch = 30;
        small.pause = std::chrono::milliseconds(0);
        const BatchResult r = DeleteInBatches(c, t.scope, snapshot,
                                              [&](std::int64_t done, std::int64_t) {
                                                  if (done != 30) return;  // after the first transaction
                                                  for (auto id : rows[Enters]) engine.execute(t.enter, {id});
                                                  for (auto id : rows[Leaves]) engine.execute(t.leave, {id});
                                              },
                                              small);
        EXPECT_EQ(r.batches, 7) << t.name;
        // Gone: the rows the view held, except those that left it after the first batch.
        std::set<std::int64_t> gone(rows[In].begin(), rows[In].end());
        gone.insert(asked.begin(), asked.begin() + 30);
        std::set<std::int64_t> left;
        for (const auto& row : c.query("SELECT " + t.id + " FROM " + t.table)) left.insert(row[0].asInt());
        for (Kind k : {In, Enters, Leaves, Outside})
            for (auto id : rows[k]) EXPECT_EQ(left.count(id), gone.count(id) ? 0u : 1u) << t.name << ": kind " << k << ", id " << id;
        EXPECT_EQ(r.deleted, static_cast<std::int64_t>(gone.size())) << t.name;
    }
}

// An engine's wait for the write lock, as SQLite's busy time-out of 5 s waits: sleeps of
// 1 ms growing to 100 ms between tries. Marks that it was turned away at least once.
int EngineBusyHandler(void* waited, int tries) {
    static const int delays[] = {1, 2, 5, 10, 15, 20, 25, 25, 25, 50, 50, 100};
    static_cast<std::atomic<bool>*>(waited)->store(true);
    int slept = 0;
    for (int i = 0; i < tries; ++i) slept += delays[std::min(i, 11)];
    if (slept >= 5000) return 0;
    std::this_thread::sleep_for(std::chrono::milliseconds(std::min(delays[std::min(tries, 11)], 5000 - slept)));
    return 1;
}

// engine_waits(): true; in the second transaction of a delete it first holds that
// transaction (and so the write lock) until the engine has been turned away.
struct HoldSecondTransaction {
    std::atomic<int> transactions{0};
    std::atomic<bool> engineGo{false}, engineWaited{false};
    bool held = false;
    static void call(sqlite3_context* ctx, int, sqlite3_value**) {
        auto* h = static_cast<HoldSecondTransaction*>(sqlite3_user_data(ctx));
        if (h->transactions == 1 && !h->held) {
            h->held = true;
            h->engineGo = true;
            for (auto end = std::chrono::steady_clock::now() + std::chrono::seconds(60);
                 !h->engineWaited && std::chrono::steady_clock::now() < end;)
                std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        sqlite3_result_int(ctx, 1);
    }
};

// An engine waiting for the write lock gets in between two transactions of a long
// delete, not after the whole delete: both Delete All and a selection of every row.
TEST_F(DeletesTest, AWaitingWriterGetsInBetweenTransactions) {
    constexpr int kRows = 12 * static_cast<int>(kIdsPerStatement);  // twelve transactions
    using Run = std::function<std::int64_t(const DeleteScope&, const DeleteProgress&)>;
    const std::vector<std::pair<const char*, Run>> deletes = {
        {"Delete All",
         [&](const DeleteScope& scope, const DeleteProgress& progress) {
             BatchOptions options;
             options.rowsPerBatch = kIdsPerStatement;
             return DeleteInBatches(c, scope, ScopeSnapshot(c, scope), progress, options).deleted;
         }},
        {"selected rows",
         [&](const DeleteScope& scope, const DeleteProgress& progress) {
             std::vector<std::int64_t> ids;
             for (const auto& row : c.query("SELECT MsgID FROM Outbox")) ids.push_back(row[0].asInt());
             // A zero budget: every statement is its own transaction.
             return DeleteIds(c, scope, ids, progress, std::chrono::milliseconds(0));
         }},
    };
    for (const auto& [name, run] : deletes) {
        c.execute("DELETE FROM Outbox");
        c.begin();
        for (int i = 0; i < kRows; ++i) queue("S", "m");
        c.commit();
        HoldSecondTransaction hold;
        ASSERT_EQ(sqlite3_create_function(c.native(), "engine_waits", 0, SQLITE_UTF8, &hold,
                                          &HoldSecondTransaction::call, nullptr, nullptr),
                  SQLITE_OK);
        DeleteScope scope = MessageScope(Folder::Sent);
        scope.where += " AND engine_waits()";
        std::thread engine([&] {
            db::Connection e;
            e.open(c.path(), schema::kDatabaseKey);
            sqlite3_busy_handler(e.native(), EngineBusyHandler, &hold.engineWaited);
            while (!hold.engineGo) std::this_thread::sleep_for(std::chrono::milliseconds(1));
            for (int i = 0; i < 3; ++i) e.execute("INSERT INTO Outbox (Message, SentStatus) VALUES ('engine', 'P')");
        });
        std::vector<std::int64_t> engineRows;  // the engine's rows seen after each transaction
        const std::int64_t deleted = run(scope, [&](std::int64_t, std::int64_t) {
            ++hold.transactions;
            engineRows.push_back(count("SELECT COUNT(*) FROM Outbox WHERE Message = 'engine'"));
        });
        engine.join();
        EXPECT_TRUE(hold.engineWaited) << name;
        EXPECT_EQ(deleted, kRows) << name;
        ASSERT_EQ(engineRows.size(), 12u) << name;
        EXPECT_EQ(engineRows[10], 3) << name << ": the engine's writes got in before the last transaction";
        EXPECT_EQ(count("SELECT COUNT(*) FROM Outbox WHERE Message = 'engine'"), 3) << name;
    }
}

TEST_F(DeletesTest, IdsGoInChunksSkippingVanishedRowsAndOtherFolders) {
    std::vector<std::int64_t> ids;
    c.begin();
    for (int i = 0; i < 1200; ++i) ids.push_back(queue("S", "m"));
    const std::int64_t pending = queue("P", "m");
    c.commit();
    ids.push_back(pending);   // not in Sent Items: stays
    ids.push_back(99999999);  // vanished meanwhile: skipped
    c.execute("DELETE FROM Outbox WHERE MsgID = ?", {ids[5]});
    EXPECT_EQ(DeleteIds(c, MessageScope(Folder::Sent), ids), 1199);
    EXPECT_EQ(outboxIds(), (std::set<std::int64_t>{pending}));
}

// A large selection (Select All on a million-row folder) must not hold the write lock
// for its whole length: between its transactions another program can write.
TEST_F(DeletesTest, ALargeSelectionLeavesTheLockFreeBetweenItsTransactions) {
    std::vector<std::int64_t> ids;
    c.begin();
    for (std::size_t i = 0; i < 3 * kIdsPerStatement; ++i) ids.push_back(queue("S", "m"));
    c.commit();
    db::Connection engine;
    engine.open(c.path(), schema::kDatabaseKey);
    int turns = 0;
    // A zero budget: every statement is its own transaction.
    const std::int64_t deleted = DeleteIds(c, MessageScope(Folder::Sent), ids,
                                           [&](std::int64_t done, std::int64_t total) {
                                               EXPECT_FALSE(db::inTransaction(c));
                                               EXPECT_EQ(total, static_cast<std::int64_t>(ids.size()));
                                               EXPECT_GT(done, 0);
                                               engine.execute("INSERT INTO Outbox (Message, SentStatus) VALUES ('new', 'P')");
                                               ++turns;
                                           },
                                           std::chrono::milliseconds(0));
    EXPECT_EQ(deleted, static_cast<std::int64_t>(ids.size()));
    EXPECT_EQ(turns, 3);
    EXPECT_EQ(count("SELECT COUNT(*) FROM Outbox"), 3) << "the engine's rows stay";

    // Inside a caller's transaction the delete stays part of it: nothing commits early.
    std::vector<std::int64_t> more;
    c.begin();
    for (std::size_t i = 0; i < 2 * kIdsPerStatement; ++i) more.push_back(queue("S", "m"));
    DeleteIds(c, MessageScope(Folder::Sent), more, {}, std::chrono::milliseconds(0));
    EXPECT_TRUE(db::inTransaction(c));
    c.rollback();
    EXPECT_EQ(count("SELECT COUNT(*) FROM Outbox"), 3);
}

TEST_F(DeletesTest, ContactsGoWithEveryMembershipPlaceholdersStay) {
    auto contact = [&](const std::string& name) {
        c.execute("INSERT INTO AddressBook (Name, Mobile, CompanyName) VALUES (?, '0111', 'Co')", {name});
        return c.lastInsertId();
    };
    const auto ann = contact("Ann"), bob = contact("Bob"), cy = contact("Cy");
    c.execute("INSERT INTO Groups (GroupName) VALUES ('Staff'), ('Club')");
    for (auto [g, id] : std::vector<std::pair<std::string, std::int64_t>>{
             {"Staff", ann}, {"Club", ann}, {"Staff", bob}, {"Club", cy}})
        c.execute("INSERT INTO Groups (GroupName, ContactID, Mobile) VALUES (?, ?, '0111')", {g, id});
    // A search by name "n": Ann only (names compare without case for ASCII, as LIKE does).
    const DeleteScope searched = ContactScope(TextCriteria("Name", "n"));
    const ScopeSnapshot n(c, searched);
    EXPECT_EQ(n.count(), 1);
    DeleteInBatches(c, searched, n);
    EXPECT_EQ(count("SELECT COUNT(*) FROM Groups WHERE ContactID = " + std::to_string(ann)), 0);
    EXPECT_EQ(count("SELECT COUNT(*) FROM Groups WHERE ContactID IN (" + std::to_string(bob) + "," +
                    std::to_string(cy) + ")"),
              2);
    EXPECT_EQ(DeleteIds(c, ContactScope(), {bob, cy}), 2);
    EXPECT_EQ(count("SELECT COUNT(*) FROM AddressBook"), 0);
    EXPECT_EQ(count("SELECT COUNT(*) FROM Groups"), 2) << "the two placeholders";
}

}  // namespace
}  // namespace parlix::console
