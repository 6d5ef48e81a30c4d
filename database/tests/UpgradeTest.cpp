// Bringing a file made by an earlier install up to the current indexes and statistics.
#include "database/Schema.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>

#include "database/tests/InstallFolder.h"

namespace parlix::schema {
namespace {

class UpgradeTest : public InstallFolder {};

TEST_F(UpgradeTest, AnOlderFileGetsTheMissingIndexesAndStatisticsOnceWithItsRowsUntouched) {
    ASSERT_TRUE(createDatabase(path));
    {
        // The file as an earlier install made it: without the console's indexes and their rows.
        db::Connection c;
        c.open(path, kDatabaseKey);
        c.execute("DROP INDEX InboxNewFirst");
        c.execute("DROP INDEX OutboxStatusDelivery");
        // Sent Items' index as it was before it held the status.
        c.execute("DROP INDEX OutboxSent");
        c.execute("CREATE INDEX OutboxSent ON Outbox(DateTimeSent) WHERE SentStatus IN ('S','F','D')");
        c.execute("DROP INDEX OutboxUnknownMobile");
        c.execute("DROP INDEX InboxUnknownMobile");
        c.execute("DELETE FROM sqlite_stat1 WHERE idx IN ('InboxNewFirst', 'OutboxStatusDelivery', "
                  "'OutboxUnknownMobile', 'InboxUnknownMobile')");
        // Indexes newer ones replaced, with their planner rows.
        c.execute("CREATE INDEX OutboxUnknown ON Outbox(Mobile) WHERE Name = 'Unknown'");
        c.execute("INSERT INTO sqlite_stat1 (tbl, idx, stat) VALUES ('Outbox', 'OutboxUnknown', '1000 1')");
        c.execute("DROP INDEX OutboxUndelivered");
        c.execute("DELETE FROM sqlite_stat1 WHERE idx = 'OutboxUndelivered'");
        c.execute("CREATE INDEX OutboxMobile ON Outbox(Mobile)");
        c.execute("INSERT INTO sqlite_stat1 (tbl, idx, stat) VALUES ('Outbox', 'OutboxMobile', '1000000 10')");
        c.execute("INSERT INTO Inbox (Message, Name, Mobile, Status, DateTime) VALUES "
                  "('it''s', 'Unknown', '0123', 'New', '2026-01-01 10:00:00')");
    }
    auto first = upgradeDatabase(path);
    EXPECT_EQ(first.indexesAdded,
              (std::vector<std::string>{"OutboxSent", "OutboxUndelivered", "InboxNewFirst", "OutboxStatusDelivery",
                                        "OutboxUnknownMobile", "InboxUnknownMobile"}));
    EXPECT_EQ(first.indexesDropped, (std::vector<std::string>{"OutboxUnknown", "OutboxMobile"}));
    auto second = upgradeDatabase(path);
    EXPECT_TRUE(second.indexesAdded.empty() && second.indexesDropped.empty()) << "a second run changes nothing";

    db::Connection c;
    c.open(path, kDatabaseKey);
    EXPECT_EQ(c.scalar("SELECT Message FROM Inbox")->asText(), "it's");
    EXPECT_EQ(c.scalar("SELECT COUNT(*) FROM sqlite_stat1 WHERE idx = 'InboxNewFirst'")->asInt(), 1);
    EXPECT_EQ(c.scalar("SELECT COUNT(*) FROM sqlite_stat1")->asInt(),
              static_cast<std::int64_t>(plannerStats().size()));
    // The console's Inbox order and summary counts are served by them, without sorting.
    std::string inbox = plan(c, "SELECT * FROM Inbox ORDER BY Status = 'New' DESC, DateTime DESC, Inbox.rowid DESC");
    EXPECT_NE(inbox.find("InboxNewFirst"), std::string::npos) << inbox;
    EXPECT_EQ(inbox.find("TEMP B-TREE"), std::string::npos) << inbox;
    // Sent Items' row ids in their order from the index alone.
    std::string sent = plan(c, "SELECT Outbox.rowid FROM Outbox WHERE SentStatus IN ('S','F','D') "
                               "ORDER BY DateTimeSent ASC, Outbox.rowid");
    EXPECT_NE(sent.find("COVERING INDEX OutboxSent"), std::string::npos) << sent;
    EXPECT_EQ(sent.find("TEMP B-TREE"), std::string::npos) << sent;
    // The composer's question about undelivered numbers reads only the undelivered rows.
    std::string undelivered = plan(c, "SELECT EXISTS (SELECT 1 FROM Outbox WHERE Mobile = '0123' AND DeliveryStatus = 'F')");
    EXPECT_NE(undelivered.find("INDEX OutboxUndelivered"), std::string::npos) << undelivered;
    std::string delivered = plan(c, "SELECT count(*) FROM Outbox WHERE SentStatus = 'S' AND DeliveryStatus = 'D'");
    EXPECT_NE(delivered.find("OutboxStatusDelivery"), std::string::npos) << delivered;
    // The name fill-in reads the numbers of Unknown rows from the index alone, finds the
    // rows of a number through it, and reads only the new rows by identifier.
    for (const std::string t : {"Inbox", "Outbox"}) {
        std::string numbers = plan(c, "SELECT DISTINCT Mobile FROM " + t + " INDEXED BY " + t +
                                          "UnknownMobile WHERE Name = 'Unknown'");
        EXPECT_NE(numbers.find("COVERING INDEX " + t + "UnknownMobile"), std::string::npos) << numbers;
        std::string byNumber = plan(c, "SELECT MsgID, Mobile FROM " + t + " WHERE Name = 'Unknown' AND Mobile = '0123'");
        EXPECT_NE(byNumber.find("COVERING INDEX " + t + "UnknownMobile"), std::string::npos) << byNumber;
        std::string added = plan(c, "SELECT Mobile FROM " + t + " WHERE MsgID > 5 AND MsgID <= 9 AND +Name = 'Unknown'");
        EXPECT_NE(added.find("rowid>? AND rowid<?"), std::string::npos) << added;
    }
}

TEST_F(UpgradeTest, RefusesMissingFilesWrongKeysAndOtherDatabases) {
    EXPECT_THROW(upgradeDatabase(path), db::OpenError);
    EXPECT_FALSE(std::filesystem::exists(path)) << "never creates a file";
    ASSERT_TRUE(createDatabase(path));
    EXPECT_THROW(upgradeDatabase(path, "wrong"), db::OpenError);
    const std::string other = root + "/other.db";
    {
        db::Connection c;
        c.open(other, kDatabaseKey, {.create = true});
        c.execute("CREATE TABLE Notes (Text TEXT)");
    }
    EXPECT_THROW(upgradeDatabase(other), db::DbError);
}

}  // namespace
}  // namespace parlix::schema
