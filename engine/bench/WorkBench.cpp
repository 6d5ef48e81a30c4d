// Engine overhead per message at 1M Outbox rows, against a simulated modem that
// answers at once:
//   BM_TickDatabaseWork  one dispatcher pass that finds a duplicate: due query, claim,
//                        duplicate check and final write, no modem at all;
//   BM_SendPass          one whole pass that sends a message through the modem;
//   BM_ModemSendOnly     the same send straight through the modem library.
// The whole pass without modem time is BM_SendPass minus BM_ModemSendOnly.
#include "engine/ConnectDB.h"
#include "engine/Engine.h"
#include "engine/EngineGlobals.h"
#include "database/Schema.h"
#include "engine/headless/FastPollClock.h"
#include "engine/headless/HeadlessView.h"
#include "platform/db/Connection.h"
#include "platform/serial/SerialPort.h"
#include "tools/modemsim/SimModem.h"

#include <benchmark/benchmark.h>
#include <unistd.h>

#include <filesystem>
#include <memory>

using namespace parlix;
namespace fs = std::filesystem;

namespace {

constexpr int kRows = 1000000;
constexpr int kDue = 20000;  // duplicates due first, then as many messages to send

struct Installation {
    fs::path root;
    db::Connection db;
    std::unique_ptr<modemsim::SimModem> sim;
    engine::FastPollClock clock;
    engine::HeadlessView view;
    std::unique_ptr<engine::Engine> engine;

    Installation() {
        root = fs::temp_directory_path() / ("parlix-work-bench-" + std::to_string(::getpid()));
        fs::remove_all(root);
        fs::create_directories(root / "Engine");
        fs::create_directories(root / "Database");
        schema::createDatabase(schema::databasePath(root.string()));
        db.open(schema::databasePath(root.string()), schema::kDatabaseKey);
        // Sent rows with references and no report yet, then the duplicates (queued two
        // hours ago) and the messages to send (one hour ago).
        db.execute(
            "WITH RECURSIVE n(i) AS (SELECT 0 UNION ALL SELECT i + 1 FROM n WHERE i < ? - 1) "
            "INSERT INTO Outbox (Subject, Name, Mobile, Message, DateTimeQueue, DateTimeSent, SentStatus, MsgType, "
            "Lock, ModemID, MsgRef) "
            "SELECT 'b' || (i % 500), 'Unknown', '01' || (20000000 + i), 'Bulk message ' || i, "
            "datetime('now', 'localtime', '-2 days'), datetime('now', 'localtime', '-1 day'), 'S', 1, 0, 1 + i % 3, "
            "i % 256 FROM n",
            {kRows - 2 * kDue});
        db.execute(
            "WITH RECURSIVE n(i) AS (SELECT 0 UNION ALL SELECT i + 1 FROM n WHERE i < ? - 1) "
            "INSERT INTO Outbox (Subject, Name, Mobile, Message, DateTimeQueue, SentStatus, MsgType) "
            "SELECT 'b' || (i % 500), 'Unknown', '01' || (20000000 + i), 'again', "
            "datetime('now', 'localtime', '-2 hours', '+' || (i % 3600) || ' seconds'), 'P', 1 FROM n",
            {kDue});
        db.execute(
            "WITH RECURSIVE n(i) AS (SELECT 0 UNION ALL SELECT i + 1 FROM n WHERE i < ? - 1) "
            "INSERT INTO Outbox (Subject, Name, Mobile, Message, DateTimeQueue, SentStatus, MsgType) "
            "SELECT 'new', 'Unknown', '019' || (1000000 + i), 'Fresh message ' || i, "
            "datetime('now', 'localtime', '-1 hours', '+' || (i % 1800) || ' seconds'), 'P', 1 FROM n",
            {kDue});
        db.execute("UPDATE Modem SET PortNumber = 3, Direction = 2, DSR = 0 WHERE ModemID = 1");

        engine::EngineFolder = (root / "Engine").string();
        engine::EngineModemID = 1;
        serial::setPortsFolder(root / "Engine" / "ports");
        clock::setClock(&clock);
        sim = std::make_unique<modemsim::SimModem>();
        sim->linkPort(engine::EngineFolder, 3);
        engine = std::make_unique<engine::Engine>(view);
        engine->cmdInit_Click();
    }
    ~Installation() {
        engine.reset();
        sim.reset();
        clock::setClock(nullptr);
        db.close();
        fs::remove_all(root);
    }
};

// Made on first use, removed before main returns (while every library still stands).
std::unique_ptr<Installation> gInstallation;

Installation& Get() {
    if (!gInstallation) gInstallation = std::make_unique<Installation>();
    return *gInstallation;
}

void BM_TickDatabaseWork(benchmark::State& state) {
    auto& in = Get();
    if (in.engine->EngineState != "Running") state.SkipWithError("engine did not start");
    in.engine->SendSMS0();  // the first pass also looks for claims left behind
    for (auto _ : state) {
        if (!in.engine->SendSMS0()) state.SkipWithError("pass failed");
        in.engine->SetStatusText("");  // the tick keeps the box short
    }
    state.counters["rows"] = static_cast<double>(kRows);
}
BENCHMARK(BM_TickDatabaseWork)->Unit(benchmark::kMillisecond)->Iterations(5000);

void BM_SendPass(benchmark::State& state) {
    auto& in = Get();
    // The duplicates not used above are out of the way.
    in.db.execute("UPDATE Outbox SET SentStatus = 'D' WHERE SentStatus = 'P' AND Message = 'again'");
    for (auto _ : state) {
        if (!in.engine->SendSMS0()) state.SkipWithError("pass failed");
        in.engine->SetStatusText("");
    }
}
BENCHMARK(BM_SendPass)->Unit(benchmark::kMillisecond)->Iterations(2000);

void BM_ModemSendOnly(benchmark::State& state) {
    auto& in = Get();
    for (auto _ : state)
        if (!in.engine->Modem().SendSMST("0191234567", "Fresh message 1234")) state.SkipWithError("send failed");
}
BENCHMARK(BM_ModemSendOnly)->Unit(benchmark::kMillisecond)->Iterations(2000);

}  // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    gInstallation.reset();
    return 0;
}
