// Queueing a broadcast to 10,000 recipients, on a fresh database and on one with
// 1M Outbox rows:
//   BM_Queue/<db>/<entries>/<filter>  the composer's way: one write transaction,
//       prepared statements, members by one join (db 0 fresh, 1 with 1M rows;
//       entries 0 one group of 10,000, 1 10,000 contact entries; filter 0 off, 1 on)
//   BM_QueueBigGroupProgress          one group of 100,000 on 1M rows: updates of the
//       queued count shown meanwhile and the longest time without one
//   BM_QueuePerRow/<db>/<filter>      the per-row way for the 10,000 contact entries:
//       autocommit, a statement made for every look-up and every insert
// Time per Send is the write lock's time too (one chunk up to RowsPerCommit rows).
// The windows, offscreen, on 50,000 contacts in 1,000 groups and 10,000 templates:
//   BM_PickerLoad/<entries>     frmTo's load: both lists, pre-ticking 0 or 10,000 entries
//   BM_PickerOkAllContacts      "All Contacts" and "All Groups" ticked, then OK: 1,000
//                               groups checked for members, 51,000 entries to the composer
//   BM_TemplatesFirstScreen     frmTemplate's load and its first screen drawn
#include <QApplication>
#include <QCheckBox>
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <memory>

#include "console/dialogs/core/Broadcast.h"
#include "console/dialogs/frmNewSMS.h"
#include "console/dialogs/frmTemplate.h"
#include "console/dialogs/frmTo.h"
#include "console/shell/core/ConnectDB.h"
#include "database/Schema.h"
#include "platform/db/Connection.h"

using namespace parlix;
namespace fs = std::filesystem;

namespace {

constexpr int kRecipients = 10000;
constexpr int kBigOutbox = 1000000;

struct Installation {
    fs::path root;
    db::Connection db;
    std::vector<std::string> contactEntries;

    explicit Installation(int outboxRows, int contacts = kRecipients) {
        root = fs::temp_directory_path() / ("parlix-queue-bench-" + std::to_string(::getpid()) + "-" +
                                            std::to_string(outboxRows) + "-" + std::to_string(contacts));
        fs::remove_all(root);
        fs::create_directories(root / schema::kDatabaseFolder);
        schema::createDatabase(schema::databasePath(root.string()));
        db.open(schema::databasePath(root.string()), schema::kDatabaseKey);
        db.execute("WITH RECURSIVE i(k) AS (SELECT 0 UNION ALL SELECT k + 1 FROM i WHERE k + 1 < ?) "
                   "INSERT INTO AddressBook (Name, Mobile, CompanyName) SELECT 'Contact ' || k, '01' || (30000000 + k), "
                   "'Company' FROM i",
                   {contacts});
        db.execute("INSERT INTO Groups (GroupName, ContactID, Mobile) VALUES ('Everyone', 0, '')");
        db.execute("INSERT INTO Groups (GroupName, ContactID, Mobile) SELECT 'Everyone', ContactID, Mobile "
                   "FROM AddressBook ORDER BY ContactID");
        for (auto& r : db.query("SELECT ContactID, Name, Mobile FROM AddressBook ORDER BY ContactID"))
            contactEntries.push_back(r[0].asText() + ":" + r[1].asText() + ":" + r[2].asText());
        // Sent history; one recipient in a hundred had a message that was not delivered.
        if (outboxRows > 0)
            db.execute("WITH RECURSIVE i(k) AS (SELECT 0 UNION ALL SELECT k + 1 FROM i WHERE k + 1 < ?) "
                       "INSERT INTO Outbox (Subject, Name, Mobile, Message, DateTimeQueue, DateTimeSent, SentStatus, "
                       "MsgType, Lock, ModemID, MsgRef, DeliveryStatus) "
                       "SELECT 'b' || (k % 500), 'Unknown', '01' || (30000000 + k % 200000), 'Bulk message ' || k, "
                       "'2026-11-01 10:00:00', '2026-11-01 10:05:00', 'S', 1, 0, 1, k % 256, "
                       "CASE WHEN k % 100 = 7 THEN 'F' ELSE 'D' END FROM i",
                       {outboxRows});
    }
    ~Installation() {
        db.close();
        fs::remove_all(root);
    }
    void clear() { db.execute("DELETE FROM Outbox WHERE Subject = 'bench'"); }
};

Installation& Fresh() {
    static Installation i(0);
    return i;
}
Installation& Big() {
    static Installation i(kBigOutbox);
    return i;
}
Installation& BigGroup() {
    static Installation i(kBigOutbox, 100000);
    return i;
}

void BM_Queue(benchmark::State& state) {
    Installation& in = state.range(0) ? Big() : Fresh();
    const std::vector<std::string> entries =
        state.range(1) ? in.contactEntries : std::vector<std::string>{"Everyone"};
    const bool filter = state.range(2) != 0;
    std::int64_t queued = 0, skipped = 0, commits = 0;
    for (auto _ : state) {
        console::BroadcastQueue q(in.db, {"bench", "Meeting at 9", std::chrono::system_clock::now(), false, filter},
                                  nullptr);
        auto r = q.queueAll(entries);
        queued = r.queued;
        skipped = r.notQueued;
        commits = q.commits();
        state.PauseTiming();
        in.clear();
        state.ResumeTiming();
    }
    state.counters["queued"] = static_cast<double>(queued);
    state.counters["skipped"] = static_cast<double>(skipped);
    state.counters["commits"] = static_cast<double>(commits);
}
BENCHMARK(BM_Queue)
    ->ArgsProduct({{0, 1}, {0, 1}, {0, 1}})
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Iterations(5);

// A group of 100,000 on 1M Outbox rows, as the composer sends it: the count of rows
// queued reaches the window after each commit (the window repaints then). Counters:
// updates, the longest time without one (start to first, between two, last to end).
void BM_QueueBigGroupProgress(benchmark::State& state) {
    Installation& in = BigGroup();
    using Clock = std::chrono::steady_clock;
    std::int64_t queued = 0, updates = 0;
    double longestGapMs = 0;
    for (auto _ : state) {
        console::BroadcastQueue q(in.db, {"bench", "Meeting at 9", std::chrono::system_clock::now(), false, false},
                                  nullptr);
        Clock::time_point last = Clock::now();
        auto gap = [&] {
            const Clock::time_point now = Clock::now();
            longestGapMs = std::max(longestGapMs, std::chrono::duration<double, std::milli>(now - last).count());
            last = now;
        };
        updates = 0;
        q.setProgress([&](std::int64_t) {
            ++updates;
            gap();
        });
        queued = q.queueAll({"Everyone"}).queued;
        gap();
        state.PauseTiming();
        in.clear();
        state.ResumeTiming();
    }
    state.counters["queued"] = static_cast<double>(queued);
    state.counters["updates"] = static_cast<double>(updates);
    state.counters["longest_gap_ms"] = longestGapMs;
}
BENCHMARK(BM_QueueBigGroupProgress)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);

// The per-row way: every look-up and insert is a statement of its own, committed alone.
void BM_QueuePerRow(benchmark::State& state) {
    Installation& in = state.range(0) ? Big() : Fresh();
    const bool filter = state.range(1) != 0;
    for (auto _ : state) {
        for (const auto& entry : in.contactEntries) {
            const std::string id = entry.substr(0, entry.find(':'));
            auto rows = in.db.query("SELECT Mobile, Name FROM AddressBook WHERE ContactID = ?", {std::stoll(id)});
            const std::string mobile = rows[0][0].asText();
            if (filter && in.db.scalar("SELECT 1 FROM Outbox WHERE Mobile = ? AND DeliveryStatus = 'F' LIMIT 1",
                                       {mobile}))
                continue;
            in.db.execute("INSERT INTO Outbox (Subject, Name, Mobile, DateTimeQueue, Message, SentStatus, MsgType) "
                          "VALUES ('bench', ?, ?, '2026-12-07 10:00:00', 'Meeting at 9', 'P', 1)",
                          {rows[0][1], mobile});
        }
        state.PauseTiming();
        in.clear();
        state.ResumeTiming();
    }
}
BENCHMARK(BM_QueuePerRow)->ArgsProduct({{0, 1}, {0, 1}})->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(2);

// The console's own database for the windows: AppPath() points at it.
struct Office {
    static constexpr int kContacts = 50000, kGroups = 1000, kTemplates = 10000;
    fs::path root;
    std::vector<std::string> contactEntries;

    Office() {
        root = fs::temp_directory_path() / ("parlix-queue-bench-office-" + std::to_string(::getpid()));
        fs::remove_all(root);
        fs::create_directories(root / schema::kDatabaseFolder);
        schema::createDatabase(schema::databasePath(root.string()));
        console::SetAppPath(root.string());
        console::ConnectDB(console::DbConnection);
        auto& db = console::DbConnection;
        db.execute("WITH RECURSIVE i(k) AS (SELECT 0 UNION ALL SELECT k + 1 FROM i WHERE k + 1 < ?) "
                   "INSERT INTO AddressBook (Name, Mobile, CompanyName) SELECT 'Contact ' || k, '01' || (30000000 + k), "
                   "'Company' FROM i",
                   {kContacts});
        db.execute("WITH RECURSIVE i(k) AS (SELECT 0 UNION ALL SELECT k + 1 FROM i WHERE k + 1 < ?) "
                   "INSERT INTO Groups (GroupName, ContactID, Mobile) SELECT 'Group ' || k, 0, '' FROM i",
                   {kGroups});
        db.execute("INSERT INTO Groups (GroupName, ContactID, Mobile) "
                   "SELECT 'Group ' || (ContactID % ?), ContactID, Mobile FROM AddressBook",
                   {kGroups});
        db.execute("WITH RECURSIVE i(k) AS (SELECT 0 UNION ALL SELECT k + 1 FROM i WHERE k + 1 < ?) "
                   "INSERT INTO Template (Text) SELECT 'Template ' || k || ': the office opens at 9 and closes at 5.' "
                   "FROM i",
                   {kTemplates});
        for (auto& r : db.query("SELECT ContactID, Name, Mobile FROM AddressBook ORDER BY ContactID LIMIT 10000"))
            contactEntries.push_back(r[0].asText() + ":" + r[1].asText() + ":" + r[2].asText());
    }
    ~Office() {
        console::DbConnection.close();
        fs::remove_all(root);
    }
};

Office& TheOffice() {
    static Office o;
    return o;
}

void BM_PickerLoad(benchmark::State& state) {
    Office& o = TheOffice();
    console::frmNewSMS composer;
    if (state.range(0)) composer.addRecipients(o.contactEntries);
    console::frmTo to(&composer);
    for (auto _ : state) to.Form_Load();
    state.counters["contacts"] = to.contacts->count();
    state.counters["groups"] = to.groups->count();
    state.counters["ticked"] = static_cast<double>(to.contacts->checkedTexts().size());
}
BENCHMARK(BM_PickerLoad)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(5);

void BM_PickerOkAllContacts(benchmark::State& state) {
    TheOffice();
    console::frmNewSMS composer;
    console::frmTo to(&composer);
    for (auto _ : state) {
        state.PauseTiming();
        to.Form_Load();
        state.ResumeTiming();
        to.chkALLInd->setChecked(true);
        to.chkALLInd_Click();
        to.chkALLGroup->setChecked(true);  // and every group checked for members
        to.chkALLGroup_Click();
        to.cmdOK_Click();
    }
    state.counters["entries"] = static_cast<double>(composer.recipientEntries().size());
}
BENCHMARK(BM_PickerOkAllContacts)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(5);

void BM_TemplatesFirstScreen(benchmark::State& state) {
    TheOffice();
    console::frmNewSMS composer;
    for (auto _ : state) {
        console::frmTemplate t(&composer);
        t.Form_Load();
        t.show();
        QImage first = t.grab().toImage();  // the first screen, drawn
        benchmark::DoNotOptimize(first);
        state.PauseTiming();
        t.Form_Unload();
        state.ResumeTiming();
    }
}
BENCHMARK(BM_TemplatesFirstScreen)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(5);

}  // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
