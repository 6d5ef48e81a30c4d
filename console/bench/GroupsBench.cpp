// Groups, contacts, resend and billing over a large office's database: 50,000
// contacts, a group of 10,000 of them, 1M Outbox rows of which 10,000 failed. The file is
// made once in PARLIX_BENCH_DIR (default /tmp/parlix-groups-bench); every case puts the
// rows back as they were (outside the timing), so runs can repeat.
//
//   build/bench/parlix_console_groups_bench
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "console/dialogs/core/Contacts.h"
#include "console/shell/core/ConnectDB.h"
#include "console/shell/core/Groups.h"
#include "console/shell/core/Messages.h"
#include "console/shell/core/Views.h"
#include "database/Schema.h"
#include "platform/db/Recordset.h"

using namespace parlix;
using namespace parlix::console;

namespace {

constexpr int kContacts = 50000, kBig = 10000, kOutbox = 1000000;
constexpr const char* kGroup = "Big group";

std::string benchRoot() {
    const char* dir = std::getenv("PARLIX_BENCH_DIR");
    return dir && *dir ? dir : "/tmp/parlix-groups-bench";
}

db::Connection& database() {
    static db::Connection c = [] {
        const std::string root = benchRoot(), path = schema::databasePath(root);
        if (!std::filesystem::exists(path)) {
            std::filesystem::create_directories(root + "/Database");
            const std::string tmp = root + "/Database/gen.db";
            std::filesystem::remove(tmp);
            std::fprintf(stderr, "generating %s ...\n", path.c_str());
            schema::createDatabase(tmp);
            db::Connection g;
            g.open(tmp, schema::kDatabaseKey);
            g.begin();
            g.execute("WITH RECURSIVE n(i) AS (SELECT 0 UNION ALL SELECT i + 1 FROM n WHERE i + 1 < ?) "
                      "INSERT INTO AddressBook (Name, Mobile, CompanyName) "
                      "SELECT 'Contact ' || i, '01' || (20000000 + i * 37), 'Company ' || (i % 700) FROM n",
                      {kContacts});
            for (int k = 0; k < 20; ++k) CreateGroup(g, "Group " + std::to_string(k));
            g.execute("WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < ?) "
                      "INSERT INTO Outbox (Subject, Name, Mobile, Message, DateTimeQueue, DateTimeSent, SentStatus, "
                      "MsgType, ModemID) SELECT 's' || (i / 1000), 'Unknown', '01' || (i % 10) || (1000000 + i), "
                      "'A message', '2026-01-01 10:00:00', '2026-01-01 10:01:00', "
                      "CASE WHEN i % 100 = 0 THEN 'F' ELSE 'S' END, 1, 1 FROM n",
                      {kOutbox});
            g.execute("UPDATE Modem SET ModemNumber = '0133456789', Rate1 = 0.05, Rate2 = 0.10 WHERE ModemID = 1");
            g.commit();
            g.close();
            std::filesystem::rename(tmp, path);
        }
        // The console's own connection (its page cache included).
        SetAppPath(root);
        ConnectDB(DbConnection);
        if (!DbConnection.isOpen()) std::abort();
        return DbConnection;
    }();
    return c;
}

// The group of 10,000 as it starts each case: its placeholder and members.
void resetGroup(db::Connection& c) {
    c.begin();
    c.execute("DELETE FROM Groups WHERE GroupName IN (?, 'Renamed')", {kGroup});
    CreateGroup(c, kGroup);
    c.execute("INSERT INTO Groups (GroupName, ContactID, Mobile) SELECT ?, ContactID, Mobile FROM AddressBook "
              "WHERE ContactID <= ?",
              {kGroup, kBig});
    c.commit();
}

void resetFailed(db::Connection& c) {
    c.execute("UPDATE Outbox SET SentStatus = 'F', ModemID = 1 WHERE MsgID % 100 = 0 AND SentStatus <> 'F'");
}

template <class Setup, class Work>
void timed(benchmark::State& state, Setup setup, Work work) {
    db::Connection& c = database();
    for (auto _ : state) {
        state.PauseTiming();
        setup(c);
        state.ResumeTiming();
        work(c);
    }
}

void Groups_Rename10k(benchmark::State& s) {
    timed(s, resetGroup, [](db::Connection& c) { benchmark::DoNotOptimize(RenameGroup(c, kGroup, "Renamed")); });
}
void Groups_Delete10k(benchmark::State& s) {
    timed(s, resetGroup, [](db::Connection& c) { benchmark::DoNotOptimize(DeleteGroupRows(c, kGroup)); });
}
void Groups_RemoveAll10k(benchmark::State& s) {
    timed(s, resetGroup, [](db::Connection& c) { benchmark::DoNotOptimize(RemoveAllMembers(c, kGroup)); });
}
// As the window does it: the searched view's count for the question, then one removal
// by the search's criterion.
void Groups_SearchedRemove(benchmark::State& s) {
    std::int64_t removed = 0;
    timed(s, resetGroup, [&](db::Connection& c) {
        db::Recordset members(c, kGroupMembersSql, {kGroup}, {db::Cursor::Live, db::Lock::ReadOnly, 0});
        members.setFilter(db::Criteria::contains("Mobile", "5"));
        benchmark::DoNotOptimize(members.recordCount());
        removed = RemoveSearchedMembers(c, kGroup, SearchField::Mobile, "5");
    });
    s.counters["removed"] = static_cast<double>(removed);
}
// Every member selected in the grid and removed.
void Groups_RemoveSelected10k(benchmark::State& s) {
    std::vector<std::int64_t> ids;
    for (int i = 1; i <= kBig; ++i) ids.push_back(i);
    timed(s, resetGroup, [&](db::Connection& c) { benchmark::DoNotOptimize(RemoveMembers(c, kGroup, ids).removed); });
}
void Contacts_SaveWith20Groups(benchmark::State& s) {
    std::vector<std::string> groups;
    for (int k = 0; k < 20; ++k) groups.push_back("Group " + std::to_string(k));
    timed(
        s, [](db::Connection& c) { c.execute("DELETE FROM AddressBook WHERE Name = 'Bench'"); },
        [&](db::Connection& c) {
            const auto id = AddContact(c, "Bench", "019-1234567", "", groups);
            // Edit it too: every membership kept but one swapped.
            std::vector<std::string> edited(groups.begin() + 1, groups.end());
            edited.push_back("Group 0 b");
            UpdateContact(c, id, "Bench", "0191234567", "", edited);
        });
    database().execute("DELETE FROM Groups WHERE ContactID IN (SELECT ContactID FROM AddressBook WHERE Name = 'Bench')");
    database().execute("DELETE FROM AddressBook WHERE Name = 'Bench'");
}
void Resend_10kFailedAmong1M(benchmark::State& s) {
    std::int64_t n = 0;
    timed(s, resetFailed, [&](db::Connection& c) { n = ResendFailed(c); });
    s.counters["rows"] = static_cast<double>(n);
}
// The way of a record set: every row updated on its own.
void Resend_10kFailedAmong1M_PerRow(benchmark::State& s) {
    std::int64_t n = 0;
    timed(s, resetFailed, [&](db::Connection& c) {
        db::Recordset failed(c, "SELECT * FROM Outbox WHERE SentStatus = 'F'", {}, {db::Cursor::Live, db::Lock::Optimistic, 0});
        n = 0;
        for (failed.moveFirst(); !failed.eof(); failed.moveNext()) {
            failed.setField("SentStatus", "P");
            failed.setField("ModemID", 0);
            failed.update();
            ++n;
        }
    });
    s.counters["rows"] = static_cast<double>(n);
}
void Billing_CountsAt1M(benchmark::State& s) {
    Billing b;
    timed(s, [](db::Connection&) {}, [&](db::Connection& c) { b = BillModem(c, 1); });
    s.counters["sent"] = static_cast<double>(b.total);
    s.counters["intra"] = static_cast<double>(b.intra);
}

}  // namespace

BENCHMARK(Groups_Rename10k)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(5);
BENCHMARK(Groups_Delete10k)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(5);
BENCHMARK(Groups_RemoveAll10k)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(5);
BENCHMARK(Groups_SearchedRemove)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(5);
BENCHMARK(Groups_RemoveSelected10k)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(5);
BENCHMARK(Contacts_SaveWith20Groups)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(20);
BENCHMARK(Resend_10kFailedAmong1M)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);
BENCHMARK(Resend_10kFailedAmong1M_PerRow)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);
BENCHMARK(Billing_CountsAt1M)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);

BENCHMARK_MAIN();
