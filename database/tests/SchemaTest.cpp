#include "database/Schema.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "database/tests/InstallFolder.h"
#include "platform/db/Recordset.h"

namespace parlix::schema {
namespace {

using db::Connection;
using db::Recordset;

class SchemaTest : public InstallFolder {
protected:
    void SetUp() override {
        InstallFolder::SetUp();
        if (HasFatalFailure()) return;
        ASSERT_TRUE(createDatabase(path));
        c.open(path, kDatabaseKey);
    }
    void TearDown() override {
        c.close();
        InstallFolder::TearDown();
    }
    std::vector<std::string> columns(const std::string& table) {
        std::vector<std::string> out;
        for (auto& row : c.query("PRAGMA table_info(" + db::quoteIdentifier(table) + ")")) out.push_back(row[1].asText());
        return out;
    }
    std::string plan(const std::string& sql, const db::Params& p) { return InstallFolder::plan(c, sql, p); }
    Connection c;
};

TEST_F(SchemaTest, TablesHaveTheColumnsInTheOrderTheGridsBindTo) {
    auto out = columns("Outbox");
    ASSERT_EQ(out.size(), 15u);
    const std::pair<int, const char*> fixed[] = {{0, "MsgID"}, {2, "Subject"}, {4, "Message"}, {5, "Mobile"},
                                                 {6, "Name"}, {7, "DateTimeQueue"}, {8, "DateTimeSent"},
                                                 {9, "SentStatus"}, {10, "DateTimeDeliver"}, {11, "DeliveryStatus"}};
    for (auto [pos, name] : fixed) EXPECT_EQ(out[static_cast<size_t>(pos)], name) << pos;
    auto in = columns("Inbox");
    const char* inbox[] = {"MsgID", "Message", "Name", "Mobile", "Status", "StatusID", "DateTime", "Modem", "ModemID"};
    ASSERT_EQ(in.size(), std::size(inbox));
    for (size_t i = 0; i < in.size(); ++i) EXPECT_EQ(in[i], inbox[i]);
    for (const char* t : {"AddressBook", "Groups", "Template", "Login", "Modem"}) EXPECT_FALSE(columns(t).empty()) << t;
    auto modem = columns("Modem");
    for (const char* flag : {"012", "013", "014", "016", "017", "019"})
        EXPECT_NE(std::find(modem.begin(), modem.end(), flag), modem.end()) << flag;
}

TEST_F(SchemaTest, DeliveredRows) {
    Recordset m(c, "SELECT * FROM Modem ORDER BY ModemID");
    ASSERT_EQ(m.recordCount(), 3);
    for (int id = 1; !m.eof(); m.moveNext(), ++id) {
        EXPECT_EQ(m.integer("ModemID"), id);
        EXPECT_EQ(m.integer("Poll"), 5);
        EXPECT_EQ(m.integer("Direction"), 0);
        EXPECT_EQ(m.text("Status"), "Stop");
        for (const char* flag : {"012", "013", "014", "016", "017", "019"}) EXPECT_FALSE(m.boolean(flag));
    }
    EXPECT_EQ(c.scalar("SELECT count(*) FROM Login WHERE UserID = 'user1'")->asInt(), 1);
    EXPECT_EQ(c.scalar("SELECT count(*) FROM Login WHERE Type = 'Admin'")->asInt(), 1);
}

TEST_F(SchemaTest, ExistingFileIsNeverTouched) {
    std::string other = root + "/Database/other.db";
    std::ofstream(other) << "keep me";
    EXPECT_FALSE(createDatabase(other));
    std::ifstream in(other);
    std::stringstream s;
    s << in.rdbuf();
    EXPECT_EQ(s.str(), "keep me");
    EXPECT_FALSE(createDatabase(path));
    EXPECT_EQ(c.scalar("SELECT count(*) FROM Modem")->asInt(), 3);
    EXPECT_EQ(enginePath(root + "/Engine"), root + "/Engine/../Database/Parlix.db");
}

TEST_F(SchemaTest, NewRowsAreFreeAndModemMirrorsTheEngineNumber) {
    c.execute("INSERT INTO Outbox (Subject, Mobile, SentStatus, DateTimeQueue) VALUES ('s', '0123', 'P', '2026')");
    EXPECT_TRUE(c.scalar("SELECT Lock FROM Outbox")->isNull());
    EXPECT_TRUE(c.scalar("SELECT DeliveryStatus FROM Outbox")->isNull());
    c.execute("UPDATE Outbox SET ModemID = 2, SentStatus = 'S'");
    EXPECT_EQ(c.scalar("SELECT Modem FROM Outbox")->asInt(), 2);
    EXPECT_EQ(c.scalar("SELECT count(*) FROM Outbox WHERE Modem = '2'")->asInt(), 1);
    c.execute("INSERT INTO Inbox (Name, Mobile, ModemID, Status, StatusID) VALUES ('Unknown', '0123', 3, 'New', 0)");
    EXPECT_EQ(c.scalar("SELECT Modem FROM Inbox")->asInt(), 3);
    // Group names compared "with one blank after the value".
    c.execute("INSERT INTO Groups (GroupName, ContactID) VALUES ('Staff', 0)");
    EXPECT_EQ(c.scalar("SELECT count(*) FROM Groups WHERE GroupName = 'Staff '")->asInt(), 1);
}

TEST_F(SchemaTest, HotPathsUseTheirIndexes) {
    EXPECT_NE(plan(kDueRowsSql, {"2026-01-01 00:00:00"}).find("OutboxDue"), std::string::npos);
    EXPECT_NE(plan(kDuplicateCheckSql, {"s", "0123"}).find("OutboxDuplicate"), std::string::npos);
    // Walked from the newest send back, no sort: the first match ends the search.
    auto report = plan(std::string(kReportMatchSql) + ", Outbox.rowid DESC LIMIT 1", {1, 1, "0123456789"});
    EXPECT_NE(report.find("OutboxReport"), std::string::npos) << report;
    EXPECT_EQ(report.find("TEMP B-TREE"), std::string::npos) << report;
    EXPECT_NE(plan(kNameBySuffixSql, {"1234567"}).find("AddressBookMobileEnd"), std::string::npos);
    // As a live record set reads the ids of its rows in order (the row id breaks ties):
    // from the index alone, without sorting.
    auto ids = [&](const char* sql, const db::Params& p) {
        std::string s = sql;
        return plan("SELECT Outbox.rowid" + s.substr(s.find(" FROM ")) + ", Outbox.rowid", p);
    };
    auto sent = ids(kSentViewSql, {});
    EXPECT_NE(sent.find("COVERING INDEX OutboxSent"), std::string::npos) << sent;
    EXPECT_EQ(sent.find("TEMP B-TREE"), std::string::npos) << sent;
    auto due = ids(kDueRowsSql, {"2026-01-01 00:00:00"});
    EXPECT_EQ(due.find("TEMP B-TREE"), std::string::npos) << due;
    auto outbox = ids(kOutboxViewSql, {});
    EXPECT_NE(outbox.find("COVERING INDEX OutboxDue"), std::string::npos) << outbox;
    EXPECT_EQ(outbox.find("TEMP B-TREE"), std::string::npos) << outbox;
}

TEST_F(SchemaTest, NameLookUpByTheLastSevenCharacters) {
    c.execute("INSERT INTO AddressBook (Name, Mobile) VALUES ('Ali', '0123456789'), ('Abu', '+60198765432')");
    auto name = [&](const std::string& number) {
        auto v = c.scalar(kNameBySuffixSql, {number.substr(number.size() - 7)});
        return v ? v->asText() : std::string("Unknown");
    };
    EXPECT_EQ(name("60123456789"), "Ali");
    EXPECT_EQ(name("0198765432"), "Abu");
    EXPECT_EQ(name("0111111111"), "Unknown");
}

TEST_F(SchemaTest, FilesThatAreNotAParlixDatabaseAreRefusedAndLeftAlone) {
    EXPECT_EQ(checkDatabase(path), "");
    {
        Connection other;  // an SQLCipher file with the same key but other tables
        other.open(root + "/other.db", kDatabaseKey, {.create = true});
        other.execute("CREATE TABLE Notes (Text TEXT)");
    }
    std::ofstream(root + "/empty.db").close();
    std::ofstream(root + "/text.db") << "Parlix\n" << std::string(2000, '-');
    for (const char* name : {"other.db", "empty.db", "text.db"}) {
        SCOPED_TRACE(name);
        const std::string file = root + "/" + name;
        EXPECT_NE(checkDatabase(file), "");
        const auto before = std::filesystem::file_size(file);
        // The tool says so and fails, rather than "exists, left as it is".
        const std::string command = std::string(PARLIX_MAKEDB) + " --file " + file + " 2>&1";
        FILE* out = popen(command.c_str(), "r");
        ASSERT_NE(out, nullptr);
        std::string said;
        char buf[512];
        while (std::fgets(buf, sizeof buf, out)) said += buf;
        const int status = pclose(out);
        EXPECT_NE(status, 0) << said;
        EXPECT_NE(said.find("is not a Parlix database"), std::string::npos) << said;
        EXPECT_EQ(said.find("left as it is"), std::string::npos) << said;
        EXPECT_EQ(std::filesystem::file_size(file), before);
    }
}

TEST(SchemaDocTest, CommittedDocumentationMatchesTheDescription) {
    std::ifstream in(PARLIX_DATABASE_DOC);
    ASSERT_TRUE(in) << PARLIX_DATABASE_DOC;
    std::stringstream s;
    s << in.rdbuf();
    EXPECT_EQ(s.str(), documentation()) << "run: parlix-makedb --doc > docs/database.md";
}

}  // namespace
}  // namespace parlix::schema
