// An install's folder in /tmp for each test: its Database folder made, the database
// file's path known, everything removed afterwards.
#pragma once

#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <string>

#include "database/Schema.h"

namespace parlix::schema {

class InstallFolder : public ::testing::Test {
protected:
    void SetUp() override {
        char tmpl[] = "/tmp/parlix-schema-XXXXXX";
        ASSERT_NE(mkdtemp(tmpl), nullptr);
        root = tmpl;
        std::filesystem::create_directories(root + "/Database");
        path = databasePath(root);
    }
    void TearDown() override { std::filesystem::remove_all(root); }
    // SQLite's plan for a statement, a step a line.
    static std::string plan(db::Connection& c, const std::string& sql, const db::Params& p = {}) {
        std::string out;
        for (auto& row : c.query("EXPLAIN QUERY PLAN " + sql, p)) out += row[3].asText() + "\n";
        return out;
    }

    std::string root, path;
};

}  // namespace parlix::schema
