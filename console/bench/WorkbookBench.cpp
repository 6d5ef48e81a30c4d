// Import and export at size: reading 100,000 contacts from .xlsx, writing them in short
// transactions with the duplicate check and a group (and taking them out again when the
// last row fails), and exporting 1,000,000 Outbox rows. Reading 1,000,000 contacts from
// an .xlsx as Excel saves it, and a 1 MB zip bomb, each in a process of its own (this
// program run with --read-peak FILE) so that its peak memory is its own. While the import writes, another
// connection keeps asking for the write lock as an engine would: its longest wait is the
// longest the import made an engine wait. Generated files are kept in /tmp/parlix-bench
// (PARLIX_BENCH_DIR) and reused.
#include <benchmark/benchmark.h>
#include <sys/resource.h>
#include <unistd.h>

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

// The large workbooks of make_big_xlsx.py (python3's zipfile), made once.
std::string bigWorkbook(const char* name) {
    const std::string dir = benchDir();
    if (!fs::exists(dir + "/" + name)) {
        const std::string script = fs::path(__FILE__).parent_path().string() + "/make_big_xlsx.py";
        if (std::system(("/usr/bin/python3 '" + script + "' '" + dir + "'").c_str()) != 0) return "";
    }
    return dir + "/" + name;
}

// In the child: reads the file and prints what came of it, the seconds it took and the
// process's peak memory (MB).
int readPeak(const char* path) {
    const auto start = std::chrono::steady_clock::now();
    std::string outcome;
    try {
        outcome = std::to_string(workbook::readSheet(path).rows.size());
    } catch (const workbook::WorkbookError& e) {
        outcome = "refused:" + std::to_string(static_cast<int>(e.problem()));
    }
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    std::printf("%s %.3f %ld\n", outcome.c_str(), seconds, maxRssMb());
    return 0;
}

void ReadInOwnProcess(benchmark::State& state, const char* name) {
    const std::string path = bigWorkbook(name);
    if (path.empty()) {
        state.SkipWithError("make_big_xlsx.py failed");
        return;
    }
    char outcome[64] = {};
    double seconds = 0;
    long peak = 0;
    for (auto _ : state) {
        FILE* p = ::popen(("/proc/" + std::to_string(::getpid()) + "/exe --read-peak '" + path + "'").c_str(), "r");
        if (!p || std::fscanf(p, "%63s %lf %ld", outcome, &seconds, &peak) != 3) state.SkipWithError("no answer");
        if (p) ::pclose(p);
    }
    const std::string o = outcome;
    state.counters["rows"] = o.rfind("refused", 0) == 0 ? 0 : std::atof(outcome);
    state.counters["refused_TooLarge"] = o == "refused:" + std::to_string(static_cast<int>(workbook::Problem::TooLarge));
    state.counters["read_s"] = seconds;
    state.counters["peak_MB"] = static_cast<double>(peak);
    state.counters["file_MB"] = static_cast<double>(fs::file_size(path)) / (1 << 20);
}
// 1,000,000 contacts (shared strings, as Excel writes them): goal <= 300 MB peak.
void ReadXlsx1M(benchmark::State& state) { ReadInOwnProcess(state, "contacts-1m.xlsx"); }
BENCHMARK(ReadXlsx1M)->Unit(benchmark::kSecond)->Iterations(1);
// About 1 MB of zip unpacking to 1 GiB: refused at the part cap; goal <= 300 MB peak.
void ReadZipBomb(benchmark::State& state) { ReadInOwnProcess(state, "bomb-1m.xlsx"); }
BENCHMARK(ReadZipBomb)->Unit(benchmark::kSecond)->Iterations(1);

}  // namespace

int main(int argc, char** argv) {
    if (argc == 3 && std::string(argv[1]) == "--read-peak") return readPeak(argv[2]);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
