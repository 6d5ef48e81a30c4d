// Import and export at size: reading 100,000 contacts from .xlsx, writing them in one
// transaction with the duplicate check and a group, and exporting 1,000,000 Outbox
// rows. Generated files are kept in /tmp/parlix-bench (PARLIX_BENCH_DIR) and reused.
#include <benchmark/benchmark.h>
#include <sys/resource.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "console/dialogs/core/Export.h"
#include "console/dialogs/core/Import.h"
#include "engine/schema/Schema.h"
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

void ImportWrite100k(benchmark::State& state) {
    const std::string base = baseDatabase(
        "book-100k.db", "WITH RECURSIVE n(i) AS (SELECT 0 UNION ALL SELECT i + 1 FROM n LIMIT " +
                            std::to_string(kBookContacts) +
                            ") INSERT INTO AddressBook (Name, Mobile, CompanyName) "
                            "SELECT 'Old ' || i, '01' || substr('0000000' || i, -8), 'Co' FROM n");
    console::SheetShape shape;
    const auto contacts = console::ContactsFromSheet(workbook::readSheet(contactsSheet()), true, shape);
    const std::string work = benchDir() + "/import-work.db";
    console::ImportCounts counts;
    for (auto _ : state) {
        state.PauseTiming();
        fs::copy_file(base, work, fs::copy_options::overwrite_existing);
        db::Connection c;
        c.open(work, schema::kDatabaseKey);
        c.execute("INSERT INTO Groups (GroupName, ContactID) VALUES ('Imported', 0)");
        state.ResumeTiming();
        counts = console::ImportContacts(c, contacts, false, std::string("Imported"));
    }
    state.counters["imported"] = static_cast<double>(counts.imported);
    state.counters["duplicates"] = static_cast<double>(counts.duplicates);
}
BENCHMARK(ImportWrite100k)->Unit(benchmark::kMillisecond)->Iterations(3);

}  // namespace

BENCHMARK_MAIN();
