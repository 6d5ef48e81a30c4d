// The main window over a large office's database: 1M Inbox rows, 1M Outbox rows (95 %
// sent), 50k contacts, 500 groups. The generated file is kept in PARLIX_BENCH_DIR
// (default /tmp/parlix-console-bench) and reused by later runs.
//
//   QT_QPA_PLATFORM=offscreen build/bench/parlix_console_bench
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QGroupBox>
#include <QLabel>
#include <QHeaderView>
#include <QScrollBar>
#include <QTableView>
#include <QTreeWidget>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "console/shell/General.h"
#include "console/shell/core/ConnectDB.h"
#include "console/shell/core/UnknownNames.h"
#include "database/Schema.h"
#include "platform/db/qt/RecordsetModel.h"
#include "platform/ui/Dialogs.h"

using namespace parlix;
using console::General;
using console::NodeKind;

namespace {

constexpr int kInbox = 1000000, kOutbox = 1000000, kContacts = 50000, kGroups = 500;

std::string benchRoot() {
    const char* dir = std::getenv("PARLIX_BENCH_DIR");
    return dir && *dir ? dir : "/tmp/parlix-console-bench";
}

void generate(const std::string& root) {
    const std::string path = schema::databasePath(root);
    if (std::filesystem::exists(path)) return;
    std::filesystem::create_directories(root + "/Database");
    std::fprintf(stderr, "generating %s ...\n", path.c_str());
    const std::string tmp = root + "/Database/gen.db";
    std::filesystem::remove(tmp);
    schema::createDatabase(tmp);
    db::Connection c;
    c.open(tmp, schema::kDatabaseKey);
    c.execute("PRAGMA journal_mode=OFF");
    c.begin();
    // Contacts 0123xxxxxxx; one in ten groups' members per contact.
    c.execute("WITH RECURSIVE n(i) AS (SELECT 0 UNION ALL SELECT i + 1 FROM n WHERE i < ?) "
              "INSERT INTO AddressBook (Name, Mobile, CompanyName) "
              "SELECT 'Contact ' || i, '+60' || (120000000 + i * 37), 'Company ' || (i % 700) FROM n",
              {kContacts - 1});
    c.execute("WITH RECURSIVE n(i) AS (SELECT 0 UNION ALL SELECT i + 1 FROM n WHERE i < ?) "
              "INSERT INTO Groups (GroupName) SELECT 'Group ' || printf('%03d', i) FROM n",
              {kGroups - 1});
    c.execute("INSERT INTO Groups (GroupName, ContactID, Mobile) "
              "SELECT 'Group ' || printf('%03d', ContactID % ?), ContactID, Mobile FROM AddressBook "
              "WHERE ContactID % 10 = 0",
              {kGroups});
    // Inbox: one message a minute, 2 % unread, names from the address book.
    c.execute("WITH RECURSIVE n(i) AS (SELECT 0 UNION ALL SELECT i + 1 FROM n WHERE i < ?) "
              "INSERT INTO Inbox (Message, Name, Mobile, Status, StatusID, DateTime, ModemID) "
              "SELECT 'Reply number ' || i || ' about the order, please call back after five', "
              "'Contact ' || (i % ?), '+60' || (120000000 + (i % ?) * 37), "
              "CASE WHEN i % 50 = 0 THEN 'New' ELSE 'Read' END, 0, "
              "datetime('2024-01-01 00:00:00', '+' || i || ' minutes'), 1 + i % 3 FROM n",
              {kInbox - 1, kContacts, kContacts});
    // Outbox: broadcasts of 1000, 95 % sent (a few failed, duplicate, delivered), 5 % waiting.
    c.execute("WITH RECURSIVE n(i) AS (SELECT 0 UNION ALL SELECT i + 1 FROM n WHERE i < ?) "
              "INSERT INTO Outbox (MsgType, Subject, Lock, Message, Mobile, Name, DateTimeQueue, DateTimeSent, "
              "SentStatus, DateTimeDeliver, DeliveryStatus, ModemID, MsgRef) "
              "SELECT 0, 'Broadcast ' || (i / 1000), 0, 'Our shop opens at nine on Saturday ' || (i / 1000), "
              "'+60' || (120000000 + (i % ?) * 37), 'Contact ' || (i % ?), "
              "datetime('2024-01-01 00:00:00', '+' || (i / 2) || ' minutes'), "
              "CASE WHEN i < ? THEN datetime('2024-01-01 00:01:00', '+' || (i / 2) || ' minutes') END, "
              "CASE WHEN i >= ? THEN (CASE WHEN i % 2 = 0 THEN 'P' ELSE 'R' END) "
              "WHEN i % 100 = 1 THEN 'F' WHEN i % 100 = 2 THEN 'D' ELSE 'S' END, "
              "CASE WHEN i < ? AND i % 3 = 0 THEN datetime('2024-01-01 00:02:00', '+' || (i / 2) || ' minutes') END, "
              "CASE WHEN i < ? THEN (CASE WHEN i % 3 = 0 THEN 'D' WHEN i % 7 = 0 THEN 'F' ELSE 'U' END) END, "
              "1 + i % 3, i % 256 FROM n",
              {kOutbox - 1, kContacts, kContacts, kOutbox * 95 / 100, kOutbox * 95 / 100, kOutbox * 95 / 100,
               kOutbox * 95 / 100});
    c.commit();
    c.close();
    std::filesystem::rename(tmp, path);
}

General* window() {
    static General* w = nullptr;
    if (!w) {
        w = new General;
        w->resize(1200, 800);
        w->show();
        QApplication::processEvents();
    }
    return w;
}

// Paints the grid as the screen would: only then are the shown rows read.
void paint(General* w) { benchmark::DoNotOptimize(w->DataGrid->viewport()->grab()); }

void clickAndPaint(General* w, QTreeWidgetItem* node) {
    w->tvwMessage_NodeClick(node);
    paint(w);
}

void BM_FirstScreen(benchmark::State& state) {
    General* w = window();
    const auto kind = static_cast<NodeKind>(state.range(0));
    for (auto _ : state) clickAndPaint(w, w->node(kind));
    state.SetLabel(w->frmContent->title().toStdString());
}
BENCHMARK(BM_FirstScreen)
    ->Arg(static_cast<int>(NodeKind::Inbox))
    ->Arg(static_cast<int>(NodeKind::Outbox))
    ->Arg(static_cast<int>(NodeKind::SentItems))
    ->Arg(static_cast<int>(NodeKind::AddressBook))
    ->Unit(benchmark::kMillisecond)
    ->Iterations(5);

void BM_GroupView(benchmark::State& state) {
    General* w = window();
    for (auto _ : state) clickAndPaint(w, w->node(NodeKind::Group, "Group 250"));
    state.SetLabel(w->frmContent->title().toStdString());
}
BENCHMARK(BM_GroupView)->Unit(benchmark::kMillisecond)->Iterations(5);

// A page deep in a folder: the scroll bar dragged to a row, then painted.
void BM_JumpToRow(benchmark::State& state) {
    General* w = window();
    w->tvwMessage_NodeClick(w->node(NodeKind::Inbox));
    const int row = static_cast<int>(state.range(0));
    int flip = 0;
    for (auto _ : state) {
        // Alternate nearby rows so each jump leaves the pages already read.
        w->DataGrid->verticalScrollBar()->setValue(row + (flip++ % 2) * 300);
        paint(w);
    }
    state.SetLabel(w->DataGrid->model()->data(w->DataGrid->indexAt(QPoint(5, 5)).siblingAtColumn(1)).toString().toStdString());
}
BENCHMARK(BM_JumpToRow)->Arg(500000)->Arg(900000)->Arg(999000)->Unit(benchmark::kMillisecond)->Iterations(6);

void BM_Status(benchmark::State& state) {
    General* w = window();
    for (auto _ : state) w->Status();
    state.SetLabel(w->lblStatusSent_Delivered->text().toStdString());
}
BENCHMARK(BM_Status)->Unit(benchmark::kMillisecond)->Iterations(5);

// Header clicks on the Outbox: "Queue On" has an index, "Message" has none.
void BM_HeaderSort(benchmark::State& state) {
    General* w = window();
    w->tvwMessage_NodeClick(w->node(NodeKind::Outbox));
    const int column = static_cast<int>(state.range(0));
    for (auto _ : state) {
        w->DataGrid_HeadClick(column);
        paint(w);
    }
    state.SetLabel(w->DataGridModel->headerData(column, Qt::Horizontal).toString().toStdString());
}
BENCHMARK(BM_HeaderSort)->Arg(7)->Arg(4)->Unit(benchmark::kMillisecond)->Iterations(4);

// 1,000 Inbox rows from numbers not in the address book when they arrived.
void BM_FillUnknownInbox(benchmark::State& state) {
    General* w = window();
    (void)w;
    for (auto _ : state) {
        state.PauseTiming();
        console::DbConnection.execute(
            "UPDATE Inbox SET Name = 'Unknown', Mobile = '' || (120000000 + ((MsgID - 1) % ?) * 37) "
            "WHERE MsgID > ? AND MsgID <= ?",
            {kContacts, kInbox - 1000, kInbox});
        state.ResumeTiming();
        if (console::FillUnknownInboxNames(console::DbConnection) != 1000) state.SkipWithError("not all rows named");
    }
}
BENCHMARK(BM_FillUnknownInbox)->Unit(benchmark::kMillisecond)->Iterations(3);

void BM_FillUnknownOutbox(benchmark::State& state) {
    window();
    for (auto _ : state) {
        state.PauseTiming();
        console::DbConnection.execute("UPDATE Outbox SET Name = 'Unknown' WHERE MsgID > ? AND MsgID <= ?",
                                      {kOutbox - 1000, kOutbox});
        state.ResumeTiming();
        if (console::FillUnknownOutboxNames(console::DbConnection) != 1000) state.SkipWithError("not all rows named");
    }
}
BENCHMARK(BM_FillUnknownOutbox)->Unit(benchmark::kMillisecond)->Iterations(3);

// The whole load: connection, eight record sets, the tree with 500 groups, the summary.
void BM_LoadWith500Groups(benchmark::State& state) {
    for (auto _ : state) {
        General g;
        benchmark::DoNotOptimize(g.tvwMessage->topLevelItem(1)->childCount());
    }
}
BENCHMARK(BM_LoadWith500Groups)->Unit(benchmark::kMillisecond)->Iterations(3);

// The Inbox reopened on a row the user left near its end.
void BM_SavedPositionNearEnd(benchmark::State& state) {
    General* w = window();
    w->tvwMessage_NodeClick(w->node(NodeKind::Inbox));
    w->rsInbox.move(kInbox - 20);
    w->InboxPosition = w->rsInbox.bookmark();
    for (auto _ : state) clickAndPaint(w, w->node(NodeKind::Inbox));
    state.SetLabel("current row " + std::to_string(w->DataGrid->currentIndex().row()));
}
BENCHMARK(BM_SavedPositionNearEnd)->Unit(benchmark::kMillisecond)->Iterations(5);

long residentKb() {
    std::ifstream in("/proc/self/status");
    std::string line;
    while (std::getline(in, line))
        if (line.rfind("VmRSS:", 0) == 0) return std::atol(line.c_str() + 6);
    return 0;
}

// Memory while scrolling the whole Inbox in 200 jumps: the page cache stays bounded.
void BM_ScrollWholeInboxMemory(benchmark::State& state) {
    General* w = window();
    w->tvwMessage_NodeClick(w->node(NodeKind::Inbox));
    long before = residentKb(), peak = before;
    for (auto _ : state)
        for (int i = 0; i < 200; ++i) {
            w->DataGrid->verticalScrollBar()->setValue(i * (kInbox / 200));
            paint(w);
            peak = std::max(peak, residentKb());
        }
    state.counters["rss_growth_kb"] = static_cast<double>(peak - before);
}
BENCHMARK(BM_ScrollWholeInboxMemory)->Unit(benchmark::kMillisecond)->Iterations(1);

}  // namespace

int main(int argc, char** argv) {
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    QApplication app(argc, argv);
    ui::ScriptedDialogs boxes;  // the exit question and any message answer themselves
    const std::string root = benchRoot();
    generate(root);
    console::SetAppPath(root);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
