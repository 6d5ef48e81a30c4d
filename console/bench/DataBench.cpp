// parlix_console_data_bench: the folder filters and the deletes of the console over large
// folders. Files (made once, kept in $PARLIX_BENCH_DIR or /tmp/parlix-data-bench):
// 1k / 100k / 1M Outbox rows (95 % sent) with 50k contacts in 500 groups, by the
// database benchmark's generator; the 100k file also holds 100k Inbox rows. Deletes
// run on a fresh copy each time.
//
// Filters: the filter set on the live record set, its count and the first 256 rows
// read. Deletes: the prompt's count, then the batches (the longest write transaction
// is reported, since engines wait at most 5 s for the lock).
#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <atomic>
#include <map>
#include <random>
#include <thread>

#include "console/shell/core/Deletes.h"
#include "console/shell/core/FolderFilters.h"
#include "console/shell/core/Views.h"
#include "database/bench/OutboxData.h"
#include "platform/db/Statement.h"

using namespace parlix;
using namespace parlix::console;
namespace fs = std::filesystem;

namespace {

// The console's connection keeps this much of the file decrypted (see ConnectDB).
constexpr const char* kConsoleCache = "PRAGMA cache_size = -65536";

std::string benchDir() {
    const char* dir = std::getenv("PARLIX_BENCH_DIR");
    return dir ? dir : "/tmp/parlix-data-bench";
}

void addInboxAndGroups(const std::string& path, int rows) {
    db::Connection c;
    c.open(path, schema::kDatabaseKey);
    c.begin();
    for (int g = 0; g < 500; ++g) c.execute("INSERT INTO Groups (GroupName) VALUES (?)", {"Group " + std::to_string(g)});
    c.execute("INSERT INTO Groups (GroupName, ContactID, Mobile) SELECT 'Group ' || (ContactID % 500), ContactID, "
              "Mobile FROM AddressBook");
    if (rows == 100000)
        for (int i = 0; i < 100000; ++i)
            c.execute("INSERT INTO Inbox (Message, Name, Mobile, Status, StatusID, DateTime, ModemID) "
                      "VALUES ('Reply number ' || ?, 'Contact', ?, ?, 0, ?, ?)",
                      {i, benchdata::contactMobile(i % benchdata::kContacts), i % 4 ? "Read" : "New",
                       benchdata::stamp(i * 432L), 1 + i % 3});
    c.commit();
    c.execute("ANALYZE");
}

// The kept file of `rows` Outbox rows.
std::string source(int rows) {
    const std::string path = benchDir() + "/data-" + std::to_string(rows) + ".db";
    if (!fs::exists(path + ".done")) {
        std::fprintf(stderr, "generating %s ...\n", path.c_str());
        benchdata::generate(path, rows);
        addInboxAndGroups(path, rows);
        std::ofstream(path + ".done") << "ok\n";
    }
    return path;
}

db::Connection& shared(int rows) {
    static std::map<int, db::Connection> open;
    auto it = open.find(rows);
    if (it != open.end()) return it->second;
    db::Connection& c = open[rows];
    c.open(source(rows), schema::kDatabaseKey);
    c.execute(kConsoleCache);
    return c;
}

// An office's file, less kind than the generator's: 50k contacts and `rows` Outbox rows
// (one broadcast per 1000 rows, texts of 20 to 160 characters), 20 % to numbers not in
// the book (named "Unknown"); in Sent Items (95 %) half sent without a report, a quarter
// delivered, the rest not delivered, unknown, failed or duplicates; 5 % pending or resent.
void generateOffice(const std::string& path, int rows) {
    fs::create_directories(fs::path(path).parent_path());
    fs::remove(path);
    schema::createDatabase(path);
    db::Connection c;
    c.open(path, schema::kDatabaseKey);
    std::mt19937 rnd(27);
    c.begin();
    for (int i = 0; i < benchdata::kContacts; ++i)
        c.execute("INSERT INTO AddressBook (Name, Mobile, CompanyName) VALUES (?, ?, 'Co')",
                  {"Contact " + std::to_string(i), benchdata::contactMobile(i)});
    db::Statement add(c, "INSERT INTO Outbox (Subject, MsgType, Mobile, Name, Message, DateTimeQueue, SentStatus, "
                         "DateTimeSent, MsgRef, ModemID, DeliveryStatus, Lock) VALUES (?,1,?,?,?,?,?,?,?,?,?,0)");
    const std::string words = "Dear customer, your order is ready for collection at our branch; thank you. ";
    const long step = 86400L * 500 / rows;
    for (int i = 0; i < rows; ++i) {
        const int contact = static_cast<int>(rnd() % benchdata::kContacts);
        const bool known = rnd() % 100 >= 20;
        // Eleven digits: never one of the book's ten-digit numbers.
        const std::string mobile = known ? benchdata::contactMobile(contact)
                                         : "01" + std::to_string(2 + rnd() % 8) + std::to_string(10000000 + rnd() % 89999999);
        std::string text = words.substr(0, 20 + rnd() % 60) + std::to_string(i);
        if (rnd() % 2) text += " " + words;
        const int kind = static_cast<int>(rnd() % 100);
        const char* status = kind < 83 ? "S" : kind < 93 ? "F" : kind < 95 ? "D" : kind < 98 ? "P" : "R";
        const db::Value delivery = kind < 50 || kind >= 83 ? db::Value()
                                   : kind < 75              ? db::Value("D")
                                   : kind < 80              ? db::Value("U")
                                                            : db::Value("F");
        const bool sent = std::string(status) == "S";
        add.execute({"Broadcast " + std::to_string(i / 1000), mobile, known ? "Contact " + std::to_string(contact) : "Unknown",
                     text, benchdata::stamp(i * step), status, sent ? db::Value(benchdata::stamp(i * step + 30)) : db::Value(),
                     sent ? db::Value(static_cast<int>(rnd() % 256)) : db::Value(), static_cast<int>(1 + rnd() % 3),
                     delivery});
    }
    c.commit();
}

std::string officeSource(int rows) {
    const std::string path = benchDir() + "/office-" + std::to_string(rows) + ".db";
    if (!fs::exists(path + ".done")) {
        std::fprintf(stderr, "generating %s ...\n", path.c_str());
        generateOffice(path, rows);
        std::ofstream(path + ".done") << "ok\n";
    }
    return path;
}

double seconds(std::chrono::steady_clock::duration d) { return std::chrono::duration<double>(d).count(); }

// A fresh copy to delete from.
db::Connection copyOf(const std::string& from) {
    const std::string to = benchDir() + "/work.db";
    for (const char* ext : {"", "-wal", "-shm"}) fs::remove(to + ext);
    fs::copy_file(from, to);
    db::Connection c;
    c.open(to, schema::kDatabaseKey);
    c.execute(kConsoleCache);
    return c;
}
db::Connection copyOf(int rows) { return copyOf(source(rows)); }

struct FilterCase {
    const char* name;
    const char* sql;
    db::Criteria criteria;
};

std::vector<FilterCase> filterCases() {
    return {
        {"SentMobile", kSentSql, TextCriteria("Mobile", "0171")},
        {"SentMessage", kSentSql, TextCriteria("Message", "nobody wrote this")},
        {"SentName", kSentSql, TextCriteria("Name", "Contact")},
        {"SentSubject", kSentSql, TextCriteria("Subject", "2025-03-1")},
        // The same scans with SQLite's LIKE (letter case of ASCII only), for comparison.
        {"SentMessageAsciiLike", kSentSql, db::Criteria::like("Message", "*nobody wrote this*")},
        {"SentNameAsciiLike", kSentSql, db::Criteria::like("Name", "*Contact*")},
        {"SentDate", kSentSql, DateRangeCriteria(Folder::Sent, "2025-03-01", "2025-03-08")},
        {"SentStatus", kSentSql, SentStatusCriteria(3)},
        {"SentModem", kSentSql, ModemCriteria("2")},
        {"OutboxMobile", kOutboxSql, TextCriteria("Mobile", "0171")},
        {"OutboxDate", kOutboxSql, DateRangeCriteria(Folder::Outbox, "2026-01-01", "2026-01-02")},
        {"InboxMobile", kInboxSql, TextCriteria("Mobile", "0171")},
        {"InboxDate", kInboxSql, DateRangeCriteria(Folder::Inbox, "2025-03-01", "2025-03-08")},
        {"InboxStatus", kInboxSql, db::Criteria::equals("Status", "New")},
    };
}

void Filter(benchmark::State& state, int rows, FilterCase f) {
    db::Recordset rs(shared(rows), f.sql, {}, {db::Cursor::Live, db::Lock::Optimistic, 0});
    std::int64_t shown = 0;
    for (auto _ : state) {
        rs.setFilter(f.criteria);
        shown = rs.recordCount();
        const int fields = rs.fieldCount();
        for (std::int64_t r = 0; r < std::min<std::int64_t>(shown, 256); ++r)
            for (int col = 0; col < fields; ++col) benchmark::DoNotOptimize(rs.valueAt(r, col));
    }
    state.counters["shown"] = static_cast<double>(shown);
}

void report(benchmark::State& state, const ScopeSnapshot& n, const BatchResult& r, double countSeconds) {
    state.counters["rows"] = static_cast<double>(r.deleted);
    state.counters["counted"] = static_cast<double>(n.count());
    state.counters["batches"] = static_cast<double>(r.batches);
    state.counters["longest_tx_ms"] = r.longestTransaction * 1000;
    state.counters["count_ms"] = countSeconds * 1000;
}

void DeleteAll(benchmark::State& state, int rows, Folder folder, db::Criteria filter, bool contacts) {
    for (auto _ : state) {
        state.PauseTiming();
        db::Connection c = copyOf(rows);
        state.ResumeTiming();
        const auto t0 = std::chrono::steady_clock::now();
        const DeleteScope scope = contacts ? ContactScope(filter) : MessageScope(folder, filter);
        const ScopeSnapshot n(c, scope);
        const double counted = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
        const BatchResult r = DeleteInBatches(c, scope, n);
        report(state, n, r, counted);
    }
}

// Delete All of an office's Sent Items, alone or while an engine sends: every 100 ms it
// claims a pending row and marks it sent (the row enters Sent Items after the question
// and must stay). Reports the engine's longest wait for the lock.
void DeleteAllOffice(benchmark::State& state, int rows, bool sending) {
    for (auto _ : state) {
        state.PauseTiming();
        db::Connection c = copyOf(officeSource(rows));
        std::vector<std::int64_t> pending;
        for (const auto& row : c.query("SELECT MsgID FROM Outbox WHERE SentStatus IN ('P','R') ORDER BY MsgID"))
            pending.push_back(row[0].asInt());
        std::atomic<bool> done{false};
        double longestWait = 0;
        std::vector<std::int64_t> sent;
        std::thread engine([&] {
            db::Connection e;
            e.open(c.path(), schema::kDatabaseKey);
            for (std::size_t i = 0; sending && !done && i < pending.size(); ++i) {
                const auto t0 = std::chrono::steady_clock::now();
                if (e.claimRow("Outbox", "MsgID", pending[i])) {
                    longestWait = std::max(longestWait, seconds(std::chrono::steady_clock::now() - t0));
                    const auto t1 = std::chrono::steady_clock::now();
                    e.execute("UPDATE Outbox SET SentStatus = 'S', DateTimeSent = ?, Lock = 0 WHERE MsgID = ?",
                              {benchdata::kNow, pending[i]});
                    longestWait = std::max(longestWait, seconds(std::chrono::steady_clock::now() - t1));
                    sent.push_back(pending[i]);
                }
                std::this_thread::sleep_for(std::chrono::milliseconds(100));
            }
        });
        state.ResumeTiming();
        const auto t0 = std::chrono::steady_clock::now();
        const DeleteScope scope = MessageScope(Folder::Sent);
        const ScopeSnapshot n(c, scope);
        const double counted = seconds(std::chrono::steady_clock::now() - t0);
        const BatchResult r = DeleteInBatches(c, scope, n);
        state.PauseTiming();
        done = true;
        engine.join();
        std::int64_t lost = 0;
        for (auto id : sent) lost += c.scalar("SELECT COUNT(*) FROM Outbox WHERE MsgID = ?", {id})->asInt() == 0;
        state.ResumeTiming();
        report(state, n, r, counted);
        state.counters["engine_sent"] = static_cast<double>(sent.size());
        state.counters["engine_rows_lost"] = static_cast<double>(lost);
        state.counters["engine_longest_wait_ms"] = longestWait * 1000;
    }
}

void DeleteSelected(benchmark::State& state, int rows, std::size_t howMany) {
    for (auto _ : state) {
        state.PauseTiming();
        db::Connection c = copyOf(rows);
        std::vector<std::int64_t> ids;
        for (const auto& row : c.query("SELECT MsgID FROM Outbox WHERE SentStatus IN ('S','F','D') LIMIT ?",
                                       {static_cast<std::int64_t>(howMany)}))
            ids.push_back(row[0].asInt());
        state.ResumeTiming();
        const auto t0 = std::chrono::steady_clock::now();
        const std::int64_t n = DeleteIds(c, MessageScope(Folder::Sent), ids);
        state.counters["rows"] = static_cast<double>(n);
        state.counters["tx_ms"] = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count() * 1000;
    }
}

const bool registered = [] {
    for (int rows : {1000, 100000, 1000000})
        for (const FilterCase& f : filterCases()) {
            if (std::string(f.name).rfind("Inbox", 0) == 0 && rows != 100000) continue;
            benchmark::RegisterBenchmark(("Filter/" + std::string(f.name) + "/" + std::to_string(rows)).c_str(),
                                         Filter, rows, f)
                ->Unit(benchmark::kMillisecond)
                ->UseRealTime();
        }
    auto once = [](benchmark::internal::Benchmark* b) {
        b->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(1);
    };
    for (int rows : {1000, 100000, 1000000}) {
        const std::string n = std::to_string(rows);
        once(benchmark::RegisterBenchmark(("DeleteAll/Sent/" + n).c_str(), DeleteAll, rows, Folder::Sent,
                                          db::Criteria(), false));
        once(benchmark::RegisterBenchmark(("DeleteAll/SentByMobile017/" + n).c_str(), DeleteAll, rows, Folder::Sent,
                                          TextCriteria("Mobile", "017"), false));
        once(benchmark::RegisterBenchmark(("DeleteAll/Outbox/" + n).c_str(), DeleteAll, rows, Folder::Outbox,
                                          db::Criteria(), false));
    }
    once(benchmark::RegisterBenchmark("DeleteAll/Inbox/100000", DeleteAll, 100000, Folder::Inbox, db::Criteria(),
                                      false));
    once(benchmark::RegisterBenchmark("DeleteAll/InboxByDate/100000", DeleteAll, 100000, Folder::Inbox,
                                      DateRangeCriteria(Folder::Inbox, "2025-03-01", "2025-06-01"), false));
    once(benchmark::RegisterBenchmark("DeleteAll/OfficeSent/1000000", DeleteAllOffice, 1000000, false));
    once(benchmark::RegisterBenchmark("DeleteAll/OfficeSentWhileSending/1000000", DeleteAllOffice, 1000000, true));
    once(benchmark::RegisterBenchmark("DeleteSelected/Sent10k/1000000", DeleteSelected, 1000000, 10000));
    once(benchmark::RegisterBenchmark("DeleteAllContacts/SearchedName/100000", DeleteAll, 100000, Folder::Inbox,
                                      TextCriteria("Name", "Contact 1"), true));
    once(benchmark::RegisterBenchmark("DeleteAllContacts/All/100000", DeleteAll, 100000, Folder::Inbox,
                                      db::Criteria(), true));
    return true;
}();

}  // namespace

BENCHMARK_MAIN();
