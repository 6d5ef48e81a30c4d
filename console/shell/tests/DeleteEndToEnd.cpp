// End to end: the Outbox's Delete All runs while a headless engine sends the same
// folder through a simulated modem. Rows the engine holds stay and are sent; every
// other counted row goes; no message leaves the modem without its row.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <thread>

#include "console/shell/core/Deletes.h"
#include "console/dialogs/tests/HeadlessEngine.h"
#include "console/shell/tests/TestRoot.h"
#include "database/Schema.h"
#include "tools/modemsim/SimModem.h"

namespace parlix::console {
namespace {

namespace fs = std::filesystem;

TEST(DeleteEndToEnd, OutboxDeleteAllWhileAnEngineSendsLeavesWhatItHoldsAndTakesTheRest) {
    const fs::path root = test::makeTestRoot("delete-e2e");
    ASSERT_TRUE(schema::createDatabase(schema::databasePath(root.string())));
    db::Connection c;
    c.open(schema::databasePath(root.string()), schema::kDatabaseKey);
    const fs::path folder = testing::PrepareEngineFolder(root, c, "0123456789", 2, false);
    constexpr int kRows = 3000;
    c.execute("WITH RECURSIVE i(k) AS (SELECT 0 UNION ALL SELECT k + 1 FROM i WHERE k + 1 < ?) "
              "INSERT INTO Outbox (Subject, Name, Mobile, Message, DateTimeQueue, SentStatus, MsgType) "
              "SELECT 'bulk', 'n', '0121' || (100000 + k), 'Notice ' || k, '2026-01-01 00:00:00', 'P', 1 FROM i",
              {kRows});
    auto count = [&](const std::string& where) { return c.scalar("SELECT COUNT(*) FROM Outbox WHERE " + where)->asInt(); };
    auto waitFor = [&](const std::function<bool()>& done, int seconds) {
        for (auto end = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
             std::chrono::steady_clock::now() < end; std::this_thread::sleep_for(std::chrono::milliseconds(50)))
            if (done()) return true;
        return false;
    };

    auto sim = std::make_unique<modemsim::SimModem>();
    sim->linkPort(folder.string(), 3);
    auto engine = std::make_unique<testing::Engine>(folder);
    ASSERT_TRUE(waitFor([&] { return count("SentStatus = 'S'") >= 3; }, 120)) << "the engine never sent";

    // Small batches, so the deletes and the engine's claims interleave.
    const DeleteScope scope = MessageScope(Folder::Outbox);
    const ScopeSnapshot counted(c, scope);
    BatchOptions small;
    small.rowsPerBatch = 50;
    small.pause = std::chrono::milliseconds(5);
    const BatchResult r = DeleteInBatches(c, scope, counted, {}, small);
    EXPECT_EQ(r.batches, (counted.count() + 49) / 50);

    ASSERT_TRUE(waitFor([&] { return count("SentStatus IN ('P','R') OR IFNULL(Lock, 0) <> 0") == 0; }, 120))
        << count("SentStatus IN ('P','R')") << " still queued";
    engine->stop();
    const std::int64_t sentRows = count("SentStatus IN ('S','F')");
    std::fprintf(stderr, "counted %lld, deleted %lld in %lld batches, sent %lld\n",
                 static_cast<long long>(counted.count()), static_cast<long long>(r.deleted),
                 static_cast<long long>(r.batches), static_cast<long long>(sentRows));
    EXPECT_EQ(sentRows + r.deleted, kRows) << "every row either sent or deleted";
    EXPECT_EQ(static_cast<std::int64_t>(modemsim::reassemble(sim->sent()).size()), count("SentStatus = 'S'"))
        << "no message left the modem whose row was deleted";
    EXPECT_GE(r.deleted, counted.count() - (sentRows - 3)) << "only rows the engine took in between were spared";
    c.close();
    sim.reset();
    fs::remove_all(root);
}

}  // namespace
}  // namespace parlix::console
