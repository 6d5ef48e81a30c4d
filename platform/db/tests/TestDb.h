// A fresh keyed database in a temporary folder for each test.
#pragma once

#include <gtest/gtest.h>
#include <stdlib.h>
#include <unistd.h>

#include <filesystem>
#include <string>

#include "platform/db/Connection.h"

namespace parlix::db::test {

class TempDb : public ::testing::Test {
protected:
    void SetUp() override {
        char tmpl[] = "/tmp/parlix-db-XXXXXX";
        ASSERT_NE(mkdtemp(tmpl), nullptr);
        dir = tmpl;
        path = dir + "/Parlix.db";
        Connection c;
        c.open(path, key, {.create = true});
        c.execute(
            "CREATE TABLE Outbox (MsgID INTEGER PRIMARY KEY AUTOINCREMENT, Subject TEXT COLLATE RTRIM, "
            "Lock INTEGER, Mobile TEXT COLLATE RTRIM, Name TEXT COLLATE RTRIM, Message TEXT, "
            "DateTimeQueue TEXT, SentStatus TEXT)");
        c.execute("CREATE TABLE Modem (ModemID INTEGER PRIMARY KEY, \"012\" INTEGER NOT NULL DEFAULT 0, Poll INTEGER)");
        db.open(path, key);
    }
    void TearDown() override {
        db.close();
        std::filesystem::remove_all(dir);
    }
    std::int64_t queue(const std::string& mobile, const std::string& name, const std::string& when,
                       const std::string& status = "P") {
        db.execute("INSERT INTO Outbox (Subject, Mobile, Name, Message, DateTimeQueue, SentStatus) "
                   "VALUES ('s', ?, ?, 'hello', ?, ?)",
                   {mobile, name, when, status});
        return db.lastInsertId();
    }

    std::string dir, path;
    const std::string key = "quorbind5";
    Connection db;
};

}  // namespace parlix::db::test
