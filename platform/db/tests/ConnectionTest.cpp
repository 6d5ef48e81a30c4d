#include <sqlite3.h>

#include <fstream>

#include "platform/db/tests/TestDb.h"

namespace parlix::db::test {

using ConnectionTest = TempDb;

TEST_F(ConnectionTest, OpenFailuresAreClearAndLeaveTheConnectionClosed) {
    Connection c;
    try {
        c.open(dir + "/missing.db", key);
        FAIL() << "opened a missing file";
    } catch (const OpenError& e) {
        EXPECT_EQ(e.kind(), OpenError::Kind::MissingFile);
    }
    EXPECT_FALSE(std::filesystem::exists(dir + "/missing.db")) << "open must never create the file";
    EXPECT_EQ(c.state(), Connection::State::Closed);

    try {
        c.open(path, "wrong");
        FAIL() << "opened with a wrong key";
    } catch (const OpenError& e) {
        EXPECT_EQ(e.kind(), OpenError::Kind::WrongKey);
    }
    EXPECT_EQ(c.state(), Connection::State::Closed);

    std::ofstream(dir + "/text.db") << "this is not a database, just some text that is long enough........\n";
    EXPECT_THROW(c.open(dir + "/text.db", key), OpenError);

    // The reconnect rule: a later open with the right key works on the same object.
    c.open(path, key);
    EXPECT_EQ(c.state(), Connection::State::Open);
    EXPECT_EQ(c.scalar("PRAGMA journal_mode")->asText(), "wal");
    c.close();
    EXPECT_EQ(c.state(), Connection::State::Closed);
    EXPECT_THROW(c.execute("SELECT 1"), DbError);
}

TEST_F(ConnectionTest, EmptyForeignAndDamagedFilesAreRefusedAndLeftAsTheyAre) {
    // A plain SQLite file without a key, a text file, an empty file, a keyed file
    // whose first page was overwritten.
    sqlite3* raw = nullptr;
    ASSERT_EQ(sqlite3_open((dir + "/plain.db").c_str(), &raw), SQLITE_OK);
    ASSERT_EQ(sqlite3_exec(raw, "CREATE TABLE t(x); INSERT INTO t VALUES (1);", nullptr, nullptr, nullptr), SQLITE_OK);
    sqlite3_close(raw);
    std::ofstream(dir + "/empty.db").close();
    std::ofstream(dir + "/text.db") << std::string(4096, 'x');
    db.close();
    std::filesystem::copy_file(path, dir + "/damaged.db");
    {
        std::fstream f(dir + "/damaged.db", std::ios::in | std::ios::out | std::ios::binary);
        f.seekp(100);
        f << std::string(200, '\x55');
    }
    for (const char* name : {"plain.db", "empty.db", "text.db", "damaged.db"}) {
        SCOPED_TRACE(name);
        const std::string file = dir + "/" + name;
        const auto before = std::filesystem::file_size(file);
        Connection c;
        try {
            c.open(file, key);
            FAIL() << "opened";
        } catch (const OpenError& e) {
            EXPECT_EQ(e.kind(), OpenError::Kind::WrongKey);
            EXPECT_NE(std::string(e.what()).find(file), std::string::npos) << e.what();
        }
        EXPECT_EQ(c.state(), Connection::State::Closed);
        EXPECT_EQ(std::filesystem::file_size(file), before) << "nothing may be written into it";
        EXPECT_FALSE(std::filesystem::exists(file + "-wal"));
    }
}

TEST_F(ConnectionTest, FileLockedByAnotherProgramIsReportedAsLocked) {
    db.close();
    // Another program holding an exclusive lock on a file not yet in WAL mode.
    std::string other = dir + "/locked.db";
    sqlite3* raw = nullptr;
    ASSERT_EQ(sqlite3_open(other.c_str(), &raw), SQLITE_OK);
    ASSERT_EQ(sqlite3_key(raw, key.data(), static_cast<int>(key.size())), SQLITE_OK);
    ASSERT_EQ(sqlite3_exec(raw, "CREATE TABLE t(x); BEGIN EXCLUSIVE; INSERT INTO t VALUES (1);", nullptr, nullptr,
                           nullptr),
              SQLITE_OK);
    Connection c;
    try {
        c.open(other, key, {.busyTimeoutMs = 50});
        FAIL() << "opened a locked file";
    } catch (const OpenError& e) {
        EXPECT_EQ(e.kind(), OpenError::Kind::Locked) << e.what();
    }
    sqlite3_exec(raw, "COMMIT", nullptr, nullptr, nullptr);
    sqlite3_close(raw);
    c.open(other, key);
    EXPECT_EQ(c.scalar("SELECT count(*) FROM t")->asInt(), 1);
}

TEST_F(ConnectionTest, WriterWaitingTooLongGetsBusyError) {
    Connection other;
    other.open(path, key);
    other.begin();
    other.execute("INSERT INTO Outbox (Name) VALUES ('held')");
    Connection slow;
    slow.open(path, key, {.busyTimeoutMs = 50});
    EXPECT_THROW(slow.execute("INSERT INTO Outbox (Name) VALUES ('late')"), BusyError);
    EXPECT_EQ(slow.scalar("SELECT count(*) FROM Outbox")->asInt(), 0) << "readers are not blocked";
    other.commit();
    EXPECT_EQ(slow.execute("INSERT INTO Outbox (Name) VALUES ('late')"), 1);
}

TEST_F(ConnectionTest, ValuesNeverChangeTheStatement) {
    const std::string nasty[] = {"O'Brien", "x' OR '1'='1", "100%", "*", "a_b", "'); DROP TABLE Outbox; --",
                                 "\"quoted\"", "back\\slash"};
    for (const auto& v : nasty) queue(v, v, "2026-01-01 10:00:00");
    EXPECT_EQ(db.scalar("SELECT count(*) FROM Outbox")->asInt(), 8);
    for (const auto& v : nasty) {
        EXPECT_EQ(db.scalar("SELECT count(*) FROM Outbox WHERE Name = ?", {v})->asInt(), 1) << v;
    }
    EXPECT_EQ(db.execute("DELETE FROM Outbox WHERE Name = ?", {"x' OR '1'='1"}), 1);
    EXPECT_EQ(db.scalar("SELECT count(*) FROM Outbox")->asInt(), 7);
    EXPECT_THROW(db.execute("SELECT ?", {}), DbError);  // missing parameter is an error, not a Null
    EXPECT_THROW(quoteIdentifier("a\"b"), DbError);
}

TEST_F(ConnectionTest, TextComparisonIgnoresTrailingBlanksAndTransactionsRollBack) {
    queue("0123456789", "Friends", "2026-01-01 10:00:00");
    EXPECT_EQ(db.scalar("SELECT count(*) FROM Outbox WHERE Name = ?", {"Friends "})->asInt(), 1);
    db.begin();
    queue("1", "gone", "2026-01-01 10:00:00");
    db.rollback();
    EXPECT_EQ(db.scalar("SELECT count(*) FROM Outbox")->asInt(), 1);
    db.rollback();  // none open: harmless
}

TEST_F(ConnectionTest, ClaimIsWonOnceAndNullLockCountsAsFree) {
    auto id = queue("0123", "a", "2026-01-01 10:00:00");
    Connection other;
    other.open(path, key);
    EXPECT_TRUE(other.claimRow("Outbox", "MsgID", id));
    EXPECT_FALSE(db.claimRow("Outbox", "MsgID", id));
    db.execute("UPDATE Outbox SET Lock = 0 WHERE MsgID = ?", {id});
    EXPECT_TRUE(db.claimRow("Outbox", "MsgID", id));
    EXPECT_FALSE(db.claimRow("Outbox", "MsgID", id + 100));
}

}  // namespace parlix::db::test
