// Import and export at size: reading 100,000 contacts from .xlsx, writing them in short
// transactions with the duplicate check and a group (and taking them out again when the
// last row fails), and exporting 1,000,000 Outbox rows. While the import writes, another
// connection keeps asking for the write lock as an engine would: its longest wait is the
// longest the import made an engine wait. Generated files are kept in /tmp/parlix-bench
// (PARLIX_BENCH_DIR) and reused.
#include <benchmark/benchmark.h>
#include <sys/resource.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <thread>

#include "console/dialogs/core/Export.h"
#include "console/dialogs/core/Import.h"
#include "database/Schema.h"
#include "platform/db/Recordset.h"
#include "platform/workbook/Workbook.h"

using namespace parlix;
namespace fs = std::filesystem;

namespace {

constexpr int kSheetContacts = 100000;
constexpr int kBookContacts = 100000;
constexpr int kOutboxRows = 1000000;

std::string benchDir() {
    const char* d = std::getenv("PARLIX_BENCH_DIR");
    const std::string dir = std::string(d ? d : "/tmp/parlix-bench");
    fs::create_directories(dir);
    return dir;
}

std::string mobile(int i) {
    char buf[16];
    std::snprintf(buf, sizeof buf, "01%08d", i);
    return buf;
}

// 100,000 contacts; one in ten has a number the address book already holds.
const std::string& contactsSheet() {
    static const std::string path = [] {
        const std::string p = benchDir() + "/contacts-100k.xlsx";
        if (fs::exists(p)) return p;
        workbook::SheetWriter w(p + ".tmp");
        w.addRow({"Name", "Mobile", "Company"});
        for (int i = 0; i < kSheetContacts; ++i)
            w.addRow({"Contact " + std::to_string(i), mobile(i % 10 == 0 ? i : kBookContacts + i), "Company Sdn Bhd"});
        w.close();
        fs::rename(p + ".tmp", p);
        return p;
    }();
    return path;
}

// A database file made once by `fill`, copied for each use.
std::string baseDatabase(const std::string& name, const std::string& fill) {
    const std::string p = benchDir() + "/" + name;
    if (fs::exists(p)) return p;
    const std::string tmp = p + ".tmp";
    fs::remove(tmp);
    schema::createDatabase(tmp);
    db::Connection c;
    c.open(tmp, schema::kDatabaseKey);
    c.begin();
    c.execute(fill);
    c.commit();
    c.close();
    fs::rename(tmp, p);
    return p;
}

// An engine's view of the lock: BEGIN IMMEDIATE (waiting as the engines do) and COMMIT
// every 20 ms on a connection of its own; the longest wait for the lock is kept.
class LockProbe {
public:
    explicit LockProbe(const std::string& path)
        : thread_([this, path] {
              db::Connection c;
              c.open(path, schema::kDatabaseKey);
              while (!stop_) {
                  const auto asked = std::chrono::steady_clock::now();
                  c.execute("BEGIN IMMEDIATE");
                  const double waited =
                      std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - asked).count();
                  c.execute("COMMIT");
                  longest_ = std::max(longest_.load(), waited);
                  std::this_thread::sleep_for(std::chrono::milliseconds(20));
              }
          }) {}
    ~LockProbe() { stop(); }
    double stop() {
        stop_ = true;
        if (thread_.joinable()) thread_.join();
        return longest_;
    }

private:
    std::atomic<bool> stop_{false};
    std::atomic<double> longest_{0};
    std::thread thread_;
};

long maxRssMb() {
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return u.ru_maxrss / 1024;
}

void ExportOutbox1M(benchmark::State& state) {
    const std::string base = baseDatabase(
        "outbox-export-1m.db",
        "WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n LIMIT " + std::to_string(kOutboxRows) +
            ") INSERT INTO Outbox (MsgType, Subject, Message, Mobile, Name, DateTimeQueue, DateTimeSent, SentStatus) "
            "SELECT 1, 'Broadcast ' || (i / 1000), 'Dear customer, your parcel ' || i || ' is ready for collection.', "
            "'01' || (10000000 + i), 'Contact ' || i, '2026-01-01 10:00:00', '2026-01-01 10:05:00', 'S' FROM n");
    db::Connection c;
    c.open(base, schema::kDatabaseKey);
    const std::string out = benchDir() + "/export-1m.xlsx";
    const long before = maxRssMb();
    std::int64_t rows = 0;
    for (auto _ : state) {
        db::Recordset rs(c, console::ExportSourceOf(console::ExportMode::Sent).sql, {},
                         {db::Cursor::Live, db::Lock::ReadOnly, 0});
        rows = console::WriteExport(rs, true, out);
    }
    state.counters["rows"] = static_cast<double>(rows);
    state.counters["maxrss_MB_before"] = static_cast<double>(before);
    state.counters["maxrss_MB_after"] = static_cast<double>(maxRssMb());
    state.counters["file_MB"] = static_cast<double>(fs::file_size(out)) / (1 << 20);
}
BENCHMARK(ExportOutbox1M)->Unit(benchmark::kSecond)->Iterations(1);

void ParseXlsx100k(benchmark::State& state) {
    const std::string& path = contactsSheet();
    std::size_t n = 0;
    for (auto _ : state) {
        console::SheetShape shape;
        n = console::ContactsFromSheet(workbook::readSheet(path), true, shape).size();
    }
    state.counters["contacts"] = static_cast<double>(n);
}
BENCHMARK(ParseXlsx100k)->Unit(benchmark::kMillisecond)->Iterations(3);

// The import of 100,000 contacts (10,000 of them duplicates of the book's 100,000) into
// a group; with `failLast` the last contact is refused, so everything committed before
// is taken out again.
void ImportAtSize(benchmark::State& state, bool failLast) {
    const std::string base = baseDatabase(
        "book-100k.db", "WITH RECURSIVE n(i) AS (SELECT 0 UNION ALL SELECT i + 1 FROM n LIMIT " +
                            std::to_string(kBookContacts) +
                            ") INSERT INTO AddressBook (Name, Mobile, CompanyName) "
                            "SELECT 'Old ' || i, '01' || substr('0000000' || i, -8), 'Co' FROM n");
    console::SheetShape shape;
    const auto contacts = console::ContactsFromSheet(workbook::readSheet(contactsSheet()), true, shape);
    const std::string work = benchDir() + "/import-work.db";
    console::ImportCounts counts;
    double longestWait = 0;
    std::int64_t left = 0;
    for (auto _ : state) {
        state.PauseTiming();
        fs::copy_file(base, work, fs::copy_options::overwrite_existing);
        db::Connection c;
        c.open(work, schema::kDatabaseKey);
        c.execute("INSERT INTO Groups (GroupName, ContactID) VALUES ('Imported', 0)");
        if (failLast)
            c.execute("CREATE TEMP TRIGGER FailLast BEFORE INSERT ON main.AddressBook WHEN NEW.Name = '" +
                      contacts.back().name + "' BEGIN SELECT RAISE(ABORT, 'refused'); END");
        LockProbe probe(work);
        state.ResumeTiming();
        try {
            counts = console::ImportContacts(c, contacts, false, std::string("Imported"));
        } catch (const console::ImportError& e) {
            counts = e.done;
        }
        state.PauseTiming();
        longestWait = std::max(longestWait, probe.stop());
        left = c.scalar("SELECT count(*) FROM AddressBook")->asInt();
        state.ResumeTiming();
    }
    state.counters["imported"] = static_cast<double>(counts.imported);
    state.counters["duplicates"] = static_cast<double>(counts.duplicates);
    state.counters["book_after"] = static_cast<double>(left);
    state.counters["longest_lock_wait_ms"] = longestWait;
}
void ImportWrite100k(benchmark::State& state) { ImportAtSize(state, false); }
BENCHMARK(ImportWrite100k)->Unit(benchmark::kMillisecond)->Iterations(3);
// The same import failing on its last row: what it committed (90,000 contacts and their
// memberships) is taken out again.
void ImportUndo100k(benchmark::State& state) { ImportAtSize(state, true); }
BENCHMARK(ImportUndo100k)->Unit(benchmark::kMillisecond)->Iterations(3);

}  // namespace

BENCHMARK_MAIN();
