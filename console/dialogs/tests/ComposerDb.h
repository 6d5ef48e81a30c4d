// A fresh shared database in a temporary folder, with helpers that add contacts and
// groups the way the console stores them.
#pragma once

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "database/Schema.h"
#include "platform/db/Connection.h"
#include "platform/db/Recordset.h"

namespace parlix::console::testing {

class ComposerDb : public ::testing::Test {
protected:
    void SetUp() override {
        root = std::filesystem::temp_directory_path() /
               ("parlix-composer-" + std::to_string(::getpid()) + "-" +
                ::testing::UnitTest::GetInstance()->current_test_info()->name());
        std::filesystem::remove_all(root);
        std::filesystem::create_directories(root / schema::kDatabaseFolder);
        ASSERT_TRUE(schema::createDatabase(schema::databasePath(root.string())));
        db.open(schema::databasePath(root.string()), schema::kDatabaseKey);
    }
    void TearDown() override {
        db.close();
        if (!HasFailure()) std::filesystem::remove_all(root);
    }

    std::int64_t contact(const std::string& name, const std::string& mobile) {
        db.execute("INSERT INTO AddressBook (Name, Mobile, CompanyName) VALUES (?, ?, '')",
                   {name.empty() ? db::Value() : db::Value(name), mobile});
        return db.lastInsertId();
    }
    // A group: its name row, then one membership per contact.
    void group(const std::string& name, const std::vector<std::int64_t>& ids) {
        db.execute("INSERT INTO Groups (GroupName, ContactID, Mobile) VALUES (?, 0, '')", {name});
        for (auto id : ids)
            db.execute("INSERT INTO Groups (GroupName, ContactID, Mobile) "
                       "SELECT ?, ContactID, Mobile FROM AddressBook WHERE ContactID = ?",
                       {name, static_cast<long long>(id)});
    }
    // n contacts "C<i>" with numbers 01<first + i>, all members of `group` (one statement each).
    void bigGroup(const std::string& group, int n, long long first) {
        db.execute("WITH RECURSIVE i(k) AS (SELECT 0 UNION ALL SELECT k + 1 FROM i WHERE k + 1 < ?) "
                   "INSERT INTO AddressBook (Name, Mobile, CompanyName) SELECT 'C' || k, '01' || (? + k), '' FROM i",
                   {n, first});
        db.execute("INSERT INTO Groups (GroupName, ContactID, Mobile) VALUES (?, 0, '')", {group});
        db.execute("INSERT INTO Groups (GroupName, ContactID, Mobile) SELECT ?, ContactID, Mobile FROM AddressBook "
                   "WHERE Name LIKE 'C%' ORDER BY ContactID",
                   {group});
    }
    void undelivered(const std::string& mobile) {
        db.execute("INSERT INTO Outbox (Subject, Name, Mobile, Message, DateTimeQueue, SentStatus, MsgType, "
                   "DeliveryStatus) VALUES ('old', 'x', ?, 'm', '2026-01-01 00:00:00', 'S', 1, 'F')",
                   {mobile});
    }
    std::int64_t count(const std::string& where = "1", const db::Params& p = {}) {
        return db.scalar("SELECT count(*) FROM Outbox WHERE " + where, p)->asInt();
    }
    // Pending rows as "Name|Mobile", in insert order.
    std::vector<std::string> pending() {
        std::vector<std::string> r;
        for (auto& row : db.query("SELECT Name, Mobile FROM Outbox WHERE SentStatus = 'P' ORDER BY MsgID"))
            r.push_back(row[0].asText() + "|" + row[1].asText());
        return r;
    }

    std::filesystem::path root;
    db::Connection db;
};

}  // namespace parlix::console::testing
