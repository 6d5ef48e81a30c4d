// Several engines claiming the same rows from separate processes.
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <map>
#include <set>

#include "platform/db/Recordset.h"
#include "platform/db/tests/TestDb.h"

namespace parlix::db::test {

namespace {

constexpr int kRows = 40;
constexpr int kProcesses = 6;

// Runs fn(childIndex) in kProcesses children; each writes the ids it won to a pipe.
std::map<std::int64_t, int> race(const std::function<std::vector<std::int64_t>(int)>& fn) {
    std::vector<std::pair<pid_t, int>> kids;
    for (int k = 0; k < kProcesses; ++k) {
        int fds[2];
        if (pipe(fds) != 0) return {};
        pid_t pid = fork();
        if (pid == 0) {
            close(fds[0]);
            int rc = 0;
            try {
                for (std::int64_t id : fn(k))
                    if (write(fds[1], &id, sizeof id) != sizeof id) rc = 3;
            } catch (const std::exception& e) {
                std::fprintf(stderr, "child %d: %s\n", k, e.what());
                rc = 2;
            }
            close(fds[1]);
            _exit(rc);
        }
        close(fds[1]);
        kids.emplace_back(pid, fds[0]);
    }
    std::map<std::int64_t, int> wins;
    for (auto [pid, fd] : kids) {
        std::int64_t id;
        while (read(fd, &id, sizeof id) == sizeof id) ++wins[id];
        close(fd);
        int status = 0;
        waitpid(pid, &status, 0);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "child failed";
    }
    return wins;
}

}  // namespace

using ConcurrencyTest = TempDb;

TEST_F(ConcurrencyTest, ConditionalClaimIsWonExactlyOncePerRow) {
    db.begin();
    for (int i = 0; i < kRows; ++i) queue("0123", "n", "2026-01-01 00:00:00");
    db.commit();
    db.close();
    auto wins = race([&](int) {
        Connection c;
        c.open(path, key);
        std::vector<std::int64_t> won;
        for (std::int64_t id = 1; id <= kRows; ++id)
            if (c.claimRow("Outbox", "MsgID", id)) won.push_back(id);
        return won;
    });
    ASSERT_EQ(wins.size(), static_cast<size_t>(kRows));
    for (auto [id, n] : wins) EXPECT_EQ(n, 1) << "row " << id;
}

TEST_F(ConcurrencyTest, EnginesClaimingThroughRecordSetsNeverShareARow) {
    db.begin();
    for (int i = 0; i < kRows; ++i) queue("0123", "n", "2026-01-01 00:00:" + std::to_string(10 + i));
    db.commit();
    db.close();
    // Each engine: select the 8 oldest due rows, claim the first free one, mark it
    // sent; on a collision start the scan again, as the dispatcher does.
    auto wins = race([&](int) {
        Connection c;
        c.open(path, key);
        std::vector<std::int64_t> won;
        for (int attempt = 0; attempt < 10 * kRows; ++attempt) {
            Recordset rs(c,
                         "SELECT * FROM Outbox WHERE SentStatus IN ('P','R') AND DateTimeQueue <= ? "
                         "ORDER BY DateTimeQueue",
                         {"2026-12-31 00:00:00"}, {Cursor::Live, Lock::Optimistic, 8});
            if (rs.eof()) break;
            try {
                while (!rs.eof() && rs.boolean("Lock")) rs.moveNext();
                if (rs.eof()) continue;
                rs.setField("Lock", true);
                rs.update();
                won.push_back(rs.integer("MsgID"));
                rs.setField("SentStatus", "S");
                rs.setField("Lock", false);
                rs.update();
            } catch (const RowConflictError&) {
            }
        }
        return won;
    });
    EXPECT_EQ(wins.size(), static_cast<size_t>(kRows)) << "every row sent";
    for (auto [id, n] : wins) EXPECT_EQ(n, 1) << "row " << id << " claimed by " << n << " engines";
    Connection c;
    c.open(path, key);
    EXPECT_EQ(c.scalar("SELECT count(*) FROM Outbox WHERE SentStatus = 'S' AND Lock = 0")->asInt(), kRows);
}

}  // namespace parlix::db::test
