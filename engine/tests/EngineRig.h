// A temporary engine installation for tests: <root>/Engine with its ports folder,
// <root>/Database/Parlix.db made from the schema, and a simulated modem on com3.
#pragma once

#include "engine/Engine.h"
#include "engine/EngineGlobals.h"
#include "database/Schema.h"
#include "platform/db/Connection.h"
#include "platform/serial/SerialPort.h"
#include "tools/modemsim/SimModem.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

namespace parlix::engine::testing {

namespace fs = std::filesystem;

class EngineRig : public ::testing::Test {
protected:
    void SetUp() override {
        root = fs::temp_directory_path() / ("parlix-engine-" + std::to_string(::getpid()) + "-" +
                                            ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(root);
        fs::create_directories(root / "Engine");
        fs::create_directories(root / "Database");
        ASSERT_TRUE(schema::createDatabase(schema::databasePath(root.string())));
        EngineFolder = (root / "Engine").string();
        EngineModemID = 1;
        serial::setPortsFolder(root / "Engine" / "ports");
        db.open(schema::databasePath(root.string()), schema::kDatabaseKey);
        setModem("PortNumber = 3, ModemNumber = '0123456789'");
    }
    void TearDown() override {
        sim.reset();
        db.close();
        EngineFolder = ".";
        fs::remove_all(root);
    }

    // Starts the simulated modem with its options and links it as com3.
    void startModem(std::vector<std::string> args = {}) {
        sim = std::make_unique<modemsim::SimModem>(std::move(args));
        sim->linkPort(EngineFolder, 3);
    }
    // Sets columns of this engine's Modem row ("col = value, ..." with literal values).
    void setModem(const std::string& assignments) {
        db.execute("UPDATE Modem SET " + assignments + " WHERE ModemID = 1");
    }
    std::string modemColumn(const std::string& column) {
        auto v = db.scalar("SELECT " + db::quoteIdentifier(column) + " FROM Modem WHERE ModemID = 1");
        return v ? v->asText() : "<no row>";
    }
    std::string errorLog() {
        std::ifstream in(fs::path(EngineFolder) / "SMS Engine Error Log.txt", std::ios::binary);
        std::ostringstream s;
        s << in.rdbuf();
        return s.str();
    }

    fs::path root;
    db::Connection db;
    std::unique_ptr<modemsim::SimModem> sim;
};

}  // namespace parlix::engine::testing
