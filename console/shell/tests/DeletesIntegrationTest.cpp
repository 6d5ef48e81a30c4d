// Deletes on a real database file: exactly the rows a folder's view shows go, in
// batches or by identifier, and nothing else.
#include <gtest/gtest.h>

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
#include "engine/schema/Schema.h"
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
        const ScopeCount n = CountScope(c, scope);
        EXPECT_EQ(n.count, view.recordCount()) << t;
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
    EXPECT_EQ(CountScope(c, outbox).count, 2) << "P and R free of a claim";
    DeleteInBatches(c, outbox, CountScope(c, outbox));
    EXPECT_EQ(outboxIds(), (std::set<std::int64_t>{id["S"], id["F"], id["D"], id["held"]}));
    auto sent = MessageScope(Folder::Sent);
    DeleteInBatches(c, sent, CountScope(c, sent));
    EXPECT_EQ(outboxIds(), (std::set<std::int64_t>{id["held"]}));
}

TEST_F(DeletesTest, BatchesStopAtTheCountedRowsAndReportProgress) {
    c.begin();
    for (int i = 0; i < 3000; ++i) queue("S", i % 3 ? "keep" : "go");
    c.commit();
    // Identifiers beyond 16 bits: nothing is narrowed.
    c.execute("INSERT INTO Outbox (MsgID, Message, SentStatus) VALUES (70000, 'go', 'S')");
    const DeleteScope scope = MessageScope(Folder::Sent, TextCriteria("Message", "go"));
    const ScopeCount n = CountScope(c, scope);
    EXPECT_EQ(n.count, 1001);
    EXPECT_EQ(n.maxId, 70000);
    const std::int64_t late = queue("S", "go");  // arrives after the prompt's count
    std::vector<std::int64_t> seen;
    BatchOptions small;
    small.firstSpan = 100;
    small.target = std::chrono::milliseconds(5);
    small.pause = std::chrono::milliseconds(0);
    const BatchResult r = DeleteInBatches(
        c, scope, n,
        [&](std::int64_t done, std::int64_t total) {
            seen.push_back(done);
            EXPECT_EQ(total, 1001);
        },
        small);
    EXPECT_EQ(r.deleted, 1001);
    EXPECT_GT(r.batches, 1);
    EXPECT_EQ(static_cast<std::int64_t>(seen.size()), r.batches);
    EXPECT_TRUE(std::is_sorted(seen.begin(), seen.end()));
    EXPECT_EQ(seen.back(), 1001);
    EXPECT_EQ(count("SELECT COUNT(*) FROM Outbox WHERE Message = 'go'"), 1);
    EXPECT_TRUE(outboxIds().count(late));
    EXPECT_EQ(count("SELECT COUNT(*) FROM Outbox WHERE Message = 'keep'"), 2000);
}

// An engine waiting for the write lock (its busy handler sleeps up to 100 ms between
// tries) gets in between two transactions of a long delete, not after the whole delete:
// both Delete All and a selection of every row.
TEST_F(DeletesTest, AWaitingWriterGetsInBetweenTransactions) {
    using Run = std::function<std::int64_t(const DeleteScope&, const DeleteProgress&)>;
    const std::chrono::milliseconds shortTransactions{60};
    const std::vector<std::pair<const char*, Run>> deletes = {
        {"Delete All",
         [&](const DeleteScope& scope, const DeleteProgress& progress) {
             BatchOptions options;
             options.target = shortTransactions;
             options.firstSpan = 10;
             return DeleteInBatches(c, scope, CountScope(c, scope), progress, options).deleted;
         }},
        {"selected rows",
         [&](const DeleteScope& scope, const DeleteProgress& progress) {
             std::vector<std::int64_t> ids;
             for (const auto& row : c.query("SELECT MsgID FROM Outbox")) ids.push_back(row[0].asInt());
             return DeleteIds(c, scope, ids, progress, shortTransactions);
         }},
    };
    for (const auto& [name, run] : deletes) {
        c.execute("DELETE FROM Outbox");
        c.begin();
        for (int i = 0; i < 3000; ++i) queue("S", "m" + std::to_string(i % 50));
        c.commit();
        // Each row compares itself with the whole folder: transactions that last their budget.
        DeleteScope slow = MessageScope(Folder::Sent);
        slow.where += " AND (SELECT COUNT(*) FROM Outbox o WHERE o.Message = Outbox.Message) > 0";
        std::atomic<bool> started{false}, finished{false};
        std::atomic<int> writes{0}, writesWhileDeleting{0};
        int transactions = 0;
        std::thread engine([&] {
            db::Connection e;
            e.open(c.path(), schema::kDatabaseKey);
            while (!started) std::this_thread::sleep_for(std::chrono::milliseconds(1));
            for (int i = 0; i < 3; ++i) {
                e.execute("INSERT INTO Outbox (Message, SentStatus) VALUES ('engine', 'P')");
                ++writes;
                if (!finished) ++writesWhileDeleting;
            }
        });
        const std::int64_t deleted = run(slow, [&](std::int64_t, std::int64_t) {
            ++transactions;
            started = true;
        });
        finished = true;
        engine.join();
        ASSERT_GE(transactions, 5) << name << ": too few transactions to tell";
        EXPECT_EQ(deleted, 3000) << name;
        EXPECT_EQ(writes, 3) << name;
        EXPECT_EQ(writesWhileDeleting, 3) << name;
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
    const ScopeCount n = CountScope(c, searched);
    EXPECT_EQ(n.count, 1);
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
