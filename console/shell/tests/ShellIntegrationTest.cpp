// The console's connection and its database work on a real, freshly made file.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "console/shell/core/ConnectDB.h"
#include "console/shell/core/Error.h"
#include "console/shell/core/Summary.h"
#include "console/shell/core/UnknownNames.h"
#include "console/shell/tests/TestRoot.h"
#include "database/Schema.h"

namespace parlix::console {
namespace {

namespace fs = std::filesystem;

class ShellDb : public ::testing::Test {
protected:
    void SetUp() override {
        root = test::makeTestRoot("shell");
        SetAppPath(root.string());
    }
    void TearDown() override {
        DbConnection.close();
        fs::remove_all(root);
    }
    void make() { ASSERT_TRUE(schema::createDatabase(schema::databasePath(root.string()))); }
    std::string log() {
        std::ifstream in(root / kErrorLogName, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), {});
    }
    fs::path root;
};

TEST_F(ShellDb, EachOpenFailureIsLoggedOnceAndLeavesTheConnectionClosedUntilTheFileIsBack) {
    // Missing file: nothing is created.
    EXPECT_FALSE(EnsureDbConnection());
    EXPECT_EQ(LastConnectFailure(), ConnectFailure::MissingFile);
    EXPECT_FALSE(fs::exists(schema::databasePath(root.string())));
    EXPECT_NE(log().find("Error Location: ConnectDB\r\n"), std::string::npos);

    // Wrong key: a file made with another key.
    ASSERT_TRUE(schema::createDatabase(schema::databasePath(root.string()), "another key"));
    EXPECT_FALSE(EnsureDbConnection());
    EXPECT_EQ(LastConnectFailure(), ConnectFailure::WrongKey);
    EXPECT_NE(ConnectFailureText(ConnectFailure::WrongKey).find("not a Parlix database"), std::string::npos);
    fs::remove(schema::databasePath(root.string()));

    // The file is back: the reconnect rule opens it.
    make();
    EXPECT_TRUE(EnsureDbConnection());
    EXPECT_EQ(LastConnectFailure(), ConnectFailure::None);
    std::size_t records = 0;
    const std::string text = log();
    for (auto at = text.find("Error Location: ConnectDB"); at != std::string::npos;
         at = text.find("Error Location: ConnectDB", at + 1))
        ++records;
    EXPECT_EQ(records, 2u);
}

TEST_F(ShellDb, ALockedFileIsToldApartFromAMissingOne) {
    make();
    db::Connection holder;
    holder.open(schema::databasePath(root.string()), schema::kDatabaseKey);
    holder.execute("PRAGMA locking_mode = EXCLUSIVE");
    holder.execute("BEGIN EXCLUSIVE");
    db::Connection c;
    const auto started = std::chrono::steady_clock::now();
    ConnectDB(c);
    EXPECT_FALSE(c.isOpen());
    EXPECT_EQ(LastConnectFailure(), ConnectFailure::Locked);
    EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(30));
    holder.rollback();
}

TEST_F(ShellDb, UnknownInboxNamesComeFromTheFirstContactHoldingTheNumberLiterally) {
    make();
    ASSERT_TRUE(EnsureDbConnection());
    auto& c = DbConnection;
    const char* contacts[][2] = {
        {"Prefix Pat", "+60123456789"},
        {"Second Sam", "0123456789"},  // also held by Pat's number, which comes first
        {"Other Ona", "0198765432"},
        {"Wild Card", "01%_*9"},         // must not match as a pattern
        {"Late Lee", "999"},
    };
    for (auto& [name, mobile] : contacts)
        c.execute("INSERT INTO AddressBook (Name, Mobile) VALUES (?, ?)", {std::string(name), std::string(mobile)});
    struct Row {
        const char* mobile;
        const char* expected;
    } rows[] = {
        {"123456789", "Prefix Pat"},  // contained in the first contact's number
        {"0123456789", "Prefix Pat"}, // the first contact by ContactID wins
        {"98765", "Other Ona"},
        {"01%_*9", "Wild Card"},      // quotes and wildcards mean themselves
        {"0100009", "Unknown"},       // would match "01%_*9" as a LIKE pattern
        {"", "Unknown"},              // an empty number matches nobody
        {"it's", "Unknown"},
        {"99", "Late Lee"},
    };
    // A file not upgraded yet lacks the index of Unknown numbers: the same names, read slowly.
    c.execute("DROP INDEX InboxUnknownMobile");
    for (auto& r : rows)
        c.execute("INSERT INTO Inbox (Message, Name, Mobile, Status, DateTime) VALUES ('m', 'Unknown', ?, 'New', "
                  "'2026-01-01 00:00:00')",
                  {std::string(r.mobile)});
    EXPECT_EQ(FillUnknownInboxNames(c), 5);
    int i = 0;
    for (auto& row : c.query("SELECT Name FROM Inbox ORDER BY MsgID")) EXPECT_EQ(row[0].asText(), rows[i++].expected);
    EXPECT_EQ(FillUnknownInboxNames(c), 0) << "nothing left to name";
}

TEST_F(ShellDb, UnknownOutboxNamesNeedTheExactNumberAndSpareNamedRows) {
    make();
    ASSERT_TRUE(EnsureDbConnection());
    auto& c = DbConnection;
    c.execute("INSERT INTO AddressBook (Name, Mobile) VALUES ('Ann', '0123'), ('Bob', '0123'), ('Cy', '+600123')");
    const char* rows[][2] = {{"0123", "Unknown"}, {"123", "Unknown"}, {"0123", "Kept"}, {"", "Unknown"}};
    for (auto& [mobile, name] : rows)
        c.execute("INSERT INTO Outbox (Subject, Name, Mobile, Message, DateTimeQueue, SentStatus, MsgType) "
                  "VALUES ('s', ?, ?, 'm', '2026-01-01 00:00:00', 'S', 1)",
                  {std::string(name), std::string(mobile)});
    EXPECT_EQ(FillUnknownOutboxNames(c), 1);
    std::vector<std::string> names;
    for (auto& row : c.query("SELECT Name FROM Outbox ORDER BY MsgID")) names.push_back(row[0].asText());
    EXPECT_EQ(names, (std::vector<std::string>{"Ann", "Unknown", "Kept", "Unknown"}));
}

// A load after the first looks only at rows added since and at numbers of contacts added,
// changed or removed since; what it names must be what a pass over every row names.
TEST_F(ShellDb, LaterFillInsNameWhatAFullPassWouldAfterRowsAndContactsChange) {
    make();
    ASSERT_TRUE(EnsureDbConnection());
    auto& c = DbConnection;
    auto contact = [&](const std::string& name, const std::string& mobile) {
        c.execute("INSERT INTO AddressBook (Name, Mobile) VALUES (?, ?)", {name, mobile});
        return c.lastInsertId();
    };
    auto message = [&](const std::string& table, const std::string& mobile) {
        if (table == "Inbox")
            c.execute("INSERT INTO Inbox (Message, Name, Mobile, Status, DateTime) VALUES ('m', 'Unknown', ?, 'New', "
                      "'2026-01-01 00:00:00')",
                      {mobile});
        else
            c.execute("INSERT INTO Outbox (Subject, Name, Mobile, Message, DateTimeQueue, SentStatus, MsgType) "
                      "VALUES ('s', 'Unknown', ?, 'm', '2026-01-01 00:00:00', 'S', 1)",
                      {mobile});
    };
    auto names = [&](const std::string& table) {
        std::vector<std::string> out;
        for (auto& row : c.query("SELECT Name FROM " + table + " ORDER BY MsgID")) out.push_back(row[0].asText());
        return out;
    };
    for (const std::string table : {"Inbox", "Outbox"}) {
        SCOPED_TRACE(table);
        c.execute("DELETE FROM AddressBook");
        const bool inbox = table == "Inbox";
        auto fill = [&](UnknownNamesSeen& seen) {
            return inbox ? FillUnknownInboxNames(c, seen) : FillUnknownOutboxNames(c, seen);
        };
        UnknownNamesSeen seen;
        contact("Ann", "0121111111");
        const auto unknownNamed = contact("Unknown", "0155");  // a contact that names nobody
        for (auto m : {"0121111111", "0162222222", "0173333333", "0155", "0184444444"}) message(table, m);
        fill(seen);
        EXPECT_EQ(names(table), (std::vector<std::string>{"Ann", "Unknown", "Unknown", "Unknown", "Unknown"}));

        contact("Bo", "0162222222");            // added since: names an old row
        message(table, "0121111111 ");          // added since; the Outbox ignores the blank, the Inbox not
        const auto cy = contact("Cy", "0190000000");
        c.execute("UPDATE AddressBook SET Mobile = '0173333333' WHERE ContactID = ?", {cy});  // changed since
        c.execute("DELETE FROM AddressBook WHERE ContactID = ?", {unknownNamed});            // removed since
        contact("Dee", "0155");
        contact("Eve", "+600184444444");  // holds the number: the Inbox's rule names it, the Outbox's not
        fill(seen);
        const std::vector<std::string> expected = {
            "Ann", "Bo", "Cy", "Dee", inbox ? "Eve" : "Unknown", inbox ? "Unknown" : "Ann"};
        EXPECT_EQ(names(table), expected);
        EXPECT_EQ(inbox ? FillUnknownInboxNames(c) : FillUnknownOutboxNames(c), 0) << "a full pass finds no more";

        // Nothing changed: nothing to look at, nothing named.
        EXPECT_EQ(fill(seen), 0);
        c.execute("DELETE FROM " + table);
    }
}

// Every Outbox load fills names; when nothing matches it must not take the write lock
// (the look-up of many Unknown rows would hold it from the engines).
TEST_F(ShellDb, UnknownOutboxNamesLookUpWithoutTheWriteLock) {
    make();
    ASSERT_TRUE(EnsureDbConnection());
    DbConnection.execute("INSERT INTO Outbox (Subject, Name, Mobile, Message, DateTimeQueue, SentStatus, MsgType) "
                         "VALUES ('s', 'Unknown', '0199', 'm', '2026-01-01 00:00:00', 'S', 1)");
    db::Connection engine, console;
    engine.open(DbConnection.path(), schema::kDatabaseKey);
    console.open(DbConnection.path(), schema::kDatabaseKey, {false, 200});
    engine.begin();  // an engine writing
    EXPECT_EQ(FillUnknownOutboxNames(console), 0);
    engine.rollback();
    DbConnection.execute("INSERT INTO AddressBook (Name, Mobile) VALUES ('Dee', '0199')");
    EXPECT_EQ(FillUnknownOutboxNames(console), 1);
    EXPECT_EQ(DbConnection.scalar("SELECT Name FROM Outbox")->asText(), "Dee");
}

TEST_F(ShellDb, SummaryCountsEachStatusAndDeliveryOutcome) {
    make();
    ASSERT_TRUE(EnsureDbConnection());
    const char* rows[][2] = {{"P", nullptr}, {"R", nullptr}, {"S", "D"}, {"S", "F"}, {"S", "U"},
                             {"S", nullptr}, {"F", nullptr}, {"D", nullptr}, {"S ", "D"}};
    for (auto& [sent, delivery] : rows)
        DbConnection.execute("INSERT INTO Outbox (Subject, Name, Mobile, Message, DateTimeQueue, SentStatus, "
                             "DeliveryStatus, MsgType) VALUES ('s', 'n', '1', 'm', '2026-01-01 00:00:00', ?, ?, 1)",
                             {std::string(sent), delivery ? db::Value(std::string(delivery)) : db::Value()});
    const OutboxCounts n = CountOutbox(DbConnection);
    EXPECT_EQ(n.queued, 2);
    EXPECT_EQ(n.processed, 7);
    EXPECT_EQ(n.sent, 5);
    EXPECT_EQ(n.delivered, 2);
    EXPECT_EQ(n.undelivered, 2);
    EXPECT_EQ(n.failed, 1);
    EXPECT_EQ(n.duplicate, 1);
}

}  // namespace
}  // namespace parlix::console
