// The generated database of the benchmarks: 50k contacts and `rows` Outbox rows in
// queue order over 500 days, 95 % sent (S, some F and D, delivery reports mixed), the
// rest waiting (half due, half scheduled). Shared by parlix_db_bench and the console's
// data benchmark.
#pragma once

#include <cstdio>
#include <ctime>
#include <filesystem>
#include <random>
#include <string>

#include "database/Schema.h"
#include "platform/db/Connection.h"

namespace parlix::benchdata {

inline constexpr int kContacts = 50000;
const char* const kNow = "2026-06-01 12:00:00";

inline std::string contactMobile(int i) {
    static const char* prefixes[] = {"012", "013", "014", "016", "017", "019"};
    char buf[32];
    std::snprintf(buf, sizeof buf, "%s%07d", prefixes[i % 6], 1000000 + i * 17 % 8999999);
    return buf;
}

inline std::string stamp(long secondsFrom2025) {
    std::time_t base = 1735660800 + secondsFrom2025;  // 2025-01-01 local-ish
    std::tm tm{};
    gmtime_r(&base, &tm);
    char buf[32];
    std::strftime(buf, sizeof buf, "%Y-%m-%d %H:%M:%S", &tm);
    return buf;
}

inline void generate(const std::string& path, int rows) {
    std::filesystem::create_directories(std::filesystem::path(path).parent_path());
    std::filesystem::remove(path);
    schema::createDatabase(path);
    db::Connection c;
    c.open(path, schema::kDatabaseKey);
    std::mt19937 rnd(rows);
    c.begin();
    for (int i = 0; i < kContacts; ++i)
        c.execute("INSERT INTO AddressBook (Name, Mobile, CompanyName) VALUES (?, ?, 'Co')",
                  {"Contact " + std::to_string(i), contactMobile(i)});
    // Rows in queue order; the last 5 % are still waiting: half due, half scheduled.
    const int sent = rows * 95 / 100;
    const long step = 86400L * 500 / rows;  // spread over 500 days, ending before "now"
    for (int i = 0; i < rows; ++i) {
        std::string mobile = contactMobile(static_cast<int>(rnd() % kContacts));
        std::string subject = stamp(i / 1000 * 1000 * step);  // one broadcast per 1000 rows
        std::string queued = stamp(i * step);
        db::Params p{"Subject " + subject, 1, mobile, "Contact", "Hello there", queued};
        if (i < sent) {
            int kind = static_cast<int>(rnd() % 100);
            std::string status = kind < 96 ? "S" : (kind < 98 ? "F" : "D");
            db::Value delivery = status != "S" || kind < 10 ? db::Value() : db::Value(kind < 90 ? "D" : "U");
            p.insert(p.end(), {status, status == "S" ? db::Value(stamp(i * step + 30)) : db::Value(),
                               static_cast<int>(rnd() % 256), static_cast<int>(1 + rnd() % 3), delivery, 0});
        } else {
            bool due = (i - sent) % 2 == 0;
            p[5] = due ? stamp(i * step) : "2027-01-01 00:00:00";
            p.insert(p.end(), {(i % 7) ? "P" : "R", db::Value(), db::Value(), 0, db::Value(), db::Value()});
        }
        c.execute("INSERT INTO Outbox (Subject, MsgType, Mobile, Name, Message, DateTimeQueue, SentStatus, "
                  "DateTimeSent, MsgRef, ModemID, DeliveryStatus, Lock) VALUES (?,?,?,?,?,?,?,?,?,?,?,?)",
                  p);
    }
    c.commit();
}

}  // namespace parlix::benchdata
