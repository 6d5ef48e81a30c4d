// Prepared statements and transaction guards on a real keyed database.
#include "platform/db/Statement.h"
#include "platform/db/Transaction.h"
#include "platform/db/tests/TestDb.h"

namespace parlix::db::test {
namespace {

using StatementTest = TempDb;

std::int64_t rows(Connection& db) { return db.scalar("SELECT count(*) FROM Outbox")->asInt(); }

TEST_F(StatementTest, OnePreparedInsertRunsManyTimesWithFreshValues) {
    Statement insert(db, "INSERT INTO Outbox (Mobile, Name, Message) VALUES (?, ?, ?)");
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(insert.execute({"01" + std::to_string(i), "O'Brien; DROP TABLE Outbox", nullptr}), 1);
        EXPECT_EQ(insert.lastInsertId(), i + 1);
    }
    Statement byMobile(db, "SELECT Name, Message FROM Outbox WHERE Mobile = ?");
    auto r = byMobile.query({"01" + std::to_string(2)});
    ASSERT_EQ(r.size(), 1u);
    EXPECT_EQ(r[0][0].asText(), "O'Brien; DROP TABLE Outbox");
    EXPECT_TRUE(r[0][1].isNull());
    EXPECT_FALSE(byMobile.scalar({"nobody"}).has_value());
    EXPECT_TRUE(byMobile.exists({"010"}));
    EXPECT_FALSE(byMobile.exists({"nobody"}));
}

TEST_F(StatementTest, AFailedRunLeavesTheStatementUsable) {
    db.execute("CREATE TABLE U (k TEXT UNIQUE)");
    Statement insert(db, "INSERT INTO U (k) VALUES (?)");
    insert.execute({"a"});
    EXPECT_THROW(insert.execute({"a"}), DbError);        // constraint
    EXPECT_THROW(insert.execute({"b", "c"}), DbError);   // wrong number of values
    EXPECT_THROW(insert.execute({}), DbError);
    EXPECT_EQ(insert.execute({"b"}), 1);
    EXPECT_EQ(db.scalar("SELECT count(*) FROM U")->asInt(), 2);
}

TEST_F(StatementTest, AStatementOfAClosedConnectionRefusesToRun) {
    Statement s(db, "SELECT count(*) FROM Outbox");
    db.close();
    EXPECT_THROW(s.scalar(), DbError);
    db.open(path, key);  // the same handle reopened is another database connection
    EXPECT_THROW(s.scalar(), DbError);
    s.prepare(db, "SELECT count(*) FROM Outbox");
    EXPECT_EQ(s.scalar()->asInt(), 0);
    Statement none;
    EXPECT_THROW(none.execute(), DbError);
}

TEST_F(StatementTest, TransactionRollsBackUnlessCommitted) {
    {
        Transaction tx(db);
        queue("011", "a", "2026-12-07 10:00:00");
        EXPECT_TRUE(inTransaction(db));
    }
    EXPECT_FALSE(inTransaction(db));
    EXPECT_EQ(rows(db), 0);
    {
        Transaction tx(db);
        queue("011", "a", "2026-12-07 10:00:00");
        tx.commit();
        EXPECT_THROW(tx.commit(), DbError);
    }
    EXPECT_EQ(rows(db), 1);
}

TEST_F(StatementTest, SavepointsUndoOnlyTheirOwnRows) {
    Transaction tx(db);
    queue("011", "kept", "2026-12-07 10:00:00");
    {
        Transaction entry(db);
        EXPECT_TRUE(entry.isSavepoint());
        queue("012", "undone", "2026-12-07 10:00:00");
        {
            Transaction inner(db);
            queue("013", "undone too", "2026-12-07 10:00:00");
            inner.commit();  // joins `entry`, goes with it
        }
    }
    {
        Transaction entry(db);
        queue("014", "kept", "2026-12-07 10:00:00");
        entry.commit();
    }
    EXPECT_TRUE(inTransaction(db));
    tx.commit();
    auto names = db.query("SELECT Mobile FROM Outbox ORDER BY MsgID");
    ASSERT_EQ(names.size(), 2u);
    EXPECT_EQ(names[0][0].asText(), "011");
    EXPECT_EQ(names[1][0].asText(), "014");
}

TEST_F(StatementTest, AWriterThatCannotGetTheLockFailsAtTheStart) {
    Connection other;
    other.open(path, key, {.busyTimeoutMs = 50});
    Transaction holder(db);
    queue("011", "a", "2026-12-07 10:00:00");
    EXPECT_THROW(Transaction blocked(other), BusyError);
    EXPECT_FALSE(inTransaction(other));
    holder.commit();
    Transaction now(other);
    EXPECT_TRUE(now.active());
}

TEST_F(StatementTest, RollingBackAfterTheDatabaseEndedTheTransactionIsQuiet) {
    auto tx = std::make_unique<Transaction>(db);
    auto sp = std::make_unique<Transaction>(db);
    db.execute("ROLLBACK");  // as the database does after some failures
    EXPECT_THROW(sp->commit(), DbError);
    EXPECT_NO_THROW(sp.reset());
    EXPECT_NO_THROW(tx.reset());
    Transaction again(db);  // the connection is usable
    EXPECT_FALSE(again.isSavepoint());
}

}  // namespace
}  // namespace parlix::db::test
