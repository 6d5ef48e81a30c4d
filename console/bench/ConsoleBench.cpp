// The main window over a large office's database: 1M Inbox rows (30 % from senders not
// in the address book, so "Unknown"), 1M Outbox rows (20 % to numbers not in the book;
// half sent, the rest failed, delivered, pending and resent), 50k contacts, 500 groups.
// The generated file is kept in PARLIX_BENCH_DIR (default /tmp/parlix-office-bench) and
// reused by later runs.
//
//   QT_QPA_PLATFORM=offscreen build/bench/parlix_console_bench
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QGroupBox>
#include <QLabel>
#include <QHeaderView>
#include <QKeyEvent>
#include <QScrollBar>
#include <QTableView>
#include <QTreeWidget>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
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
// Numbers not in the book, one sender in 100,000 of them.
constexpr int kStrangers = 100000;

std::string benchRoot() {
    const char* dir = std::getenv("PARLIX_BENCH_DIR");
    return dir && *dir ? dir : "/tmp/parlix-office-bench";
}

// Number k of the office's world: "01" + a network digit + seven digits, all different.
// Contacts are k < kContacts, strangers kContacts <= k < kContacts + kStrangers.
std::string number(const std::string& k) {
    return "'01' || substr('23679', 1 + " + k + " % 5, 1) || printf('%07d', (" + k + " * 7919) % 10000000)";
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
    c.execute("WITH RECURSIVE n(i) AS (SELECT 0 UNION ALL SELECT i + 1 FROM n WHERE i < ?) "
              "INSERT INTO AddressBook (Name, Mobile, CompanyName) "
              "SELECT 'Contact ' || i, " + number("i") + ", 'Company ' || (i % 700) FROM n",
              {kContacts - 1});
    c.execute("WITH RECURSIVE n(i) AS (SELECT 0 UNION ALL SELECT i + 1 FROM n WHERE i < ?) "
              "INSERT INTO Groups (GroupName) SELECT 'Group ' || printf('%03d', i) FROM n",
              {kGroups - 1});
    c.execute("INSERT INTO Groups (GroupName, ContactID, Mobile) "
              "SELECT 'Group ' || printf('%03d', ContactID % ?), ContactID, Mobile FROM AddressBook "
              "WHERE ContactID % 10 = 0",
              {kGroups});
    // Inbox: one message a minute, 2 % unread; 3 in 10 from strangers ("Unknown").
    c.execute("WITH RECURSIVE n(i) AS (SELECT 0 UNION ALL SELECT i + 1 FROM n WHERE i < ?), "
              "m(i, k, stranger) AS (SELECT i, CASE WHEN i % 10 < 3 THEN ? + (i * 13) % ? ELSE i % ? END, "
              "i % 10 < 3 FROM n) "
              "INSERT INTO Inbox (Message, Name, Mobile, Status, StatusID, DateTime, ModemID) "
              "SELECT 'Reply number ' || i || ' about the order, please call back after five', "
              "CASE WHEN stranger THEN 'Unknown' ELSE 'Contact ' || k END, " + number("k") + ", "
              "CASE WHEN i % 50 = 0 THEN 'New' ELSE 'Read' END, 0, "
              "datetime('2024-01-01 00:00:00', '+' || i || ' minutes'), 1 + i % 3 FROM m",
              {kInbox - 1, kContacts, kStrangers, kContacts});
    // Outbox: broadcasts of 1000; 2 in 10 to strangers. Of every eight rows four are sent
    // (delivery unknown), one failed, one sent and delivered, one pending, one resent.
    c.execute("WITH RECURSIVE n(i) AS (SELECT 0 UNION ALL SELECT i + 1 FROM n WHERE i < ?), "
              "m(i, k, stranger, s) AS (SELECT i, CASE WHEN i % 10 < 2 THEN ? + (i * 17) % ? ELSE (i * 7) % ? END, "
              "i % 10 < 2, substr('SSSSFSPR', 1 + i % 8, 1) FROM n) "
              "INSERT INTO Outbox (MsgType, Subject, Lock, Message, Mobile, Name, DateTimeQueue, DateTimeSent, "
              "SentStatus, DateTimeDeliver, DeliveryStatus, ModemID, MsgRef) "
              "SELECT 0, 'Broadcast ' || (i / 1000), 0, 'Our shop opens at nine on Saturday ' || (i / 1000), "
              + number("k") + ", CASE WHEN stranger THEN 'Unknown' ELSE 'Contact ' || k END, "
              "datetime('2024-01-01 00:00:00', '+' || (i / 2) || ' minutes'), "
              "CASE WHEN s IN ('S', 'F') THEN datetime('2024-01-01 00:01:00', '+' || (i / 2) || ' minutes') END, "
              "s, CASE WHEN i % 8 = 5 THEN datetime('2024-01-01 00:02:00', '+' || (i / 2) || ' minutes') END, "
              "CASE WHEN i % 8 = 5 THEN 'D' WHEN s = 'S' THEN 'U' END, "
              "CASE WHEN s IN ('S', 'F') THEN 1 + i % 3 END, i % 256 FROM m",
              {kOutbox - 1, kContacts, kStrangers, kContacts});
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

// The first click on a folder after the program starts: a new window, whose name
// fill-in has seen nothing yet, so it looks at every Unknown number once.
void BM_FirstClickOfARun(benchmark::State& state) {
    window();
    const auto kind = static_cast<NodeKind>(state.range(0));
    for (auto _ : state) {
        state.PauseTiming();
        auto w = std::make_unique<General>();
        w->resize(1200, 800);
        w->show();
        QApplication::processEvents();
        state.ResumeTiming();
        clickAndPaint(w.get(), w->node(kind));
        state.PauseTiming();
        state.SetLabel(w->frmContent->title().toStdString());
        w.reset();
        state.ResumeTiming();
    }
}
BENCHMARK(BM_FirstClickOfARun)
    ->Arg(static_cast<int>(NodeKind::Inbox))
    ->Arg(static_cast<int>(NodeKind::SentItems))
    ->Unit(benchmark::kMillisecond)
    ->Iterations(3);

// Header clicks on every sortable column of the Inbox and of Sent Items; each
// iteration is one click (ascending, then descending) and the first screen.
void BM_SortColumn(benchmark::State& state) {
    General* w = window();
    const auto kind = static_cast<NodeKind>(state.range(0));
    const int column = static_cast<int>(state.range(1));
    w->tvwMessage_NodeClick(w->node(kind));
    paint(w);
    for (auto _ : state) {
        w->DataGrid_HeadClick(column);
        paint(w);
    }
    state.SetLabel(w->DataGridModel->headerData(column, Qt::Horizontal).toString().toStdString());
    // The next benchmark starts from the views' own order.
    (kind == NodeKind::Inbox ? w->rsInbox : w->rsSent).setSort("");
}
void SortableColumns(benchmark::internal::Benchmark* b) {
    for (int c : {1, 2, 3, 4, 6, 7}) b->Args({static_cast<int>(NodeKind::Inbox), c});
    for (int c : {2, 4, 5, 6, 7, 8, 9, 10, 11}) b->Args({static_cast<int>(NodeKind::SentItems), c});
}
BENCHMARK(BM_SortColumn)->Apply(SortableColumns)->Unit(benchmark::kMillisecond)->Iterations(2);

// Jumps (the scroll bar dragged, or Ctrl+End) to 50 %, 90 % and the last page of Sent
// Items in its own order, and of the Inbox sorted by Message; range(1) is per mille of
// the rows, 1000 the last row.
void BM_JumpDeep(benchmark::State& state) {
    General* w = window();
    const auto kind = static_cast<NodeKind>(state.range(0));
    const bool sortedByMessage = kind == NodeKind::Inbox;
    w->tvwMessage_NodeClick(w->node(kind));
    if (sortedByMessage) w->DataGrid_HeadClick(1);
    paint(w);
    const int rows = w->DataGridModel->rowCount();
    const int target = state.range(1) >= 1000 ? rows - 1 : static_cast<int>(rows * state.range(1) / 1000);
    int flip = 0;
    for (auto _ : state) {
        // Alternate between the target and a page 3,000 rows before it, so every jump
        // reads pages that are not cached.
        const int row = (flip++ % 2) ? target - 3000 : target;
        if (state.range(1) >= 1000 && flip % 2 == 1) {
            w->DataGrid->setFocus();
            QKeyEvent end(QEvent::KeyPress, Qt::Key_End, Qt::ControlModifier);
            QApplication::sendEvent(w->DataGrid, &end);
        } else {
            w->DataGrid->verticalScrollBar()->setValue(row);
        }
        paint(w);
    }
    const QModelIndex top = w->DataGrid->indexAt(QPoint(5, 5));
    state.SetLabel("row " + std::to_string(top.row()) + " of " + std::to_string(rows));
    if (sortedByMessage) w->rsInbox.setSort("");
}
BENCHMARK(BM_JumpDeep)
    ->Args({static_cast<int>(NodeKind::SentItems), 500})
    ->Args({static_cast<int>(NodeKind::SentItems), 900})
    ->Args({static_cast<int>(NodeKind::SentItems), 1000})
    ->Args({static_cast<int>(NodeKind::Inbox), 500})
    ->Args({static_cast<int>(NodeKind::Inbox), 900})
    ->Args({static_cast<int>(NodeKind::Inbox), 1000})
    ->Unit(benchmark::kMillisecond)
    ->Iterations(6);

// The first jump to row 900,000 (or the last row) right after the folder was clicked:
// the set reads its row ids in order here, once.
void BM_FirstJumpAfterClick(benchmark::State& state) {
    General* w = window();
    const auto kind = static_cast<NodeKind>(state.range(0));
    for (auto _ : state) {
        state.PauseTiming();
        clickAndPaint(w, w->node(kind));
        state.ResumeTiming();
        w->DataGrid->verticalScrollBar()->setValue(std::min(900000, w->DataGridModel->rowCount() - 1));
        paint(w);
    }
    state.SetLabel("row " + std::to_string(w->DataGrid->indexAt(QPoint(5, 5)).row()));
}
BENCHMARK(BM_FirstJumpAfterClick)
    ->Arg(static_cast<int>(NodeKind::SentItems))
    ->Arg(static_cast<int>(NodeKind::Inbox))
    ->Unit(benchmark::kMillisecond)
    ->Iterations(3);

bool inbox(const benchmark::State& state) { return state.range(0) == 0; }
const char* table(const benchmark::State& state) { return inbox(state) ? "Inbox" : "Outbox"; }
std::int64_t fillNames(const benchmark::State& state, console::UnknownNamesSeen& seen) {
    return inbox(state) ? console::FillUnknownInboxNames(console::DbConnection, seen)
                        : console::FillUnknownOutboxNames(console::DbConnection, seen);
}

// The name fill-in alone (0 Inbox, 1 Outbox), as every load after the first runs it:
// nothing new, so nothing but the address book is read.
void BM_FillUnknownNothingNew(benchmark::State& state) {
    window();
    console::UnknownNamesSeen seen;
    fillNames(state, seen);
    for (auto _ : state)
        if (fillNames(state, seen) != 0) state.SkipWithError("named rows");
}
BENCHMARK(BM_FillUnknownNothingNew)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->Iterations(5);

// The fill-in that has seen nothing: every Unknown number of the folder, once.
void BM_FillUnknownEveryRow(benchmark::State& state) {
    window();
    for (auto _ : state) {
        console::UnknownNamesSeen seen;
        benchmark::DoNotOptimize(fillNames(state, seen));
    }
}
BENCHMARK(BM_FillUnknownEveryRow)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->Iterations(3);

// A stranger added to the address book since the last load: the rows of that number (the
// stranger with the most of them, ten in each folder) get the name.
void BM_FillUnknownContactAdded(benchmark::State& state) {
    window();
    auto& c = console::DbConnection;
    const std::string t = table(state);
    // The stranger whose number the most Unknown rows carry.
    const std::string mobile =
        c.scalar("SELECT Mobile FROM " + t + " WHERE Name = 'Unknown' GROUP BY Mobile ORDER BY count(*) DESC")->asText();
    console::UnknownNamesSeen seen;
    fillNames(state, seen);
    std::int64_t named = 0;
    for (auto _ : state) {
        state.PauseTiming();
        c.execute("INSERT INTO AddressBook (Name, Mobile) VALUES ('New Friend', ?)", {mobile});
        state.ResumeTiming();
        named = fillNames(state, seen);
        state.PauseTiming();
        c.execute("DELETE FROM AddressBook WHERE Name = 'New Friend'");
        c.execute("UPDATE " + t + " SET Name = 'Unknown' WHERE Name = 'New Friend'");
        state.ResumeTiming();
    }
    state.counters["named"] = static_cast<double>(named);
}
BENCHMARK(BM_FillUnknownContactAdded)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->Iterations(5);

// 1,000 rows added since the last load, half of them from numbers in the book (an engine
// that did not know them yet): those 500 get their names.
void BM_FillUnknownRowsAdded(benchmark::State& state) {
    window();
    auto& c = console::DbConnection;
    const std::string t = table(state);
    console::UnknownNamesSeen seen;
    fillNames(state, seen);
    std::int64_t named = 0;
    for (auto _ : state) {
        state.PauseTiming();
        const std::string mobiles = "WITH RECURSIVE n(i) AS (SELECT 0 UNION ALL SELECT i + 1 FROM n WHERE i < 999) "
                                    "SELECT 'bench', 'Unknown', " + number("(i * 101)") + " FROM n";
        if (inbox(state))
            c.execute("INSERT INTO Inbox (Message, Name, Mobile) " + mobiles);
        else
            c.execute("INSERT INTO Outbox (Message, Name, Mobile) " + mobiles);
        state.ResumeTiming();
        named = fillNames(state, seen);
        state.PauseTiming();
        c.execute("DELETE FROM " + t + " WHERE Message = 'bench'");
        state.ResumeTiming();
    }
    state.counters["named"] = static_cast<double>(named);
}
BENCHMARK(BM_FillUnknownRowsAdded)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->Iterations(5);

ui::ScriptedDialogs* boxes = nullptr;

// The operator's text filter by mobile "017" (about a fifth of the folder), from the
// menu item to the painted first screen; Remove All Filter between runs.
void BM_TextFilterInWindow(benchmark::State& state) {
    General* w = window();
    const bool sent = state.range(0) != 0;
    for (auto _ : state) {
        state.PauseTiming();
        clickAndPaint(w, w->node(sent ? NodeKind::SentItems : NodeKind::Inbox));
        boxes->answerText("017");
        state.ResumeTiming();
        if (sent) w->mnuSentFMobile_Click();
        else w->mnuInboxFMobile_Click();
        paint(w);
        state.PauseTiming();
        state.SetLabel(w->frmContent->title().toStdString());
        if (sent) w->mnuSentRFilter_Click();
        else w->mnuInboxRFilter_Click();
        state.ResumeTiming();
    }
}
BENCHMARK(BM_TextFilterInWindow)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->Iterations(3);

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

// The Inbox sorted by Message, reloaded (its node clicked again) ten times, with a jump
// deep into it between reloads: time per reload and the memory that stays.
void BM_ReloadSortedInbox(benchmark::State& state) {
    General* w = window();
    w->tvwMessage_NodeClick(w->node(NodeKind::Inbox));
    w->DataGrid_HeadClick(1);
    paint(w);
    const long before = residentKb();
    long peak = before;
    for (auto _ : state) {
        clickAndPaint(w, w->node(NodeKind::Inbox));
        state.PauseTiming();
        w->DataGrid->verticalScrollBar()->setValue(w->DataGridModel->rowCount() * 9 / 10);
        paint(w);
        peak = std::max(peak, residentKb());
        state.ResumeTiming();
    }
    state.counters["rss_before_mb"] = static_cast<double>(before) / 1024;
    state.counters["rss_peak_mb"] = static_cast<double>(peak) / 1024;
    state.counters["rss_after_mb"] = static_cast<double>(residentKb()) / 1024;
    state.SetLabel(w->DataGridModel->headerData(1, Qt::Horizontal).toString().toStdString());
    w->rsInbox.setSort("");
}
BENCHMARK(BM_ReloadSortedInbox)->Unit(benchmark::kMillisecond)->Iterations(10);

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
    ui::ScriptedDialogs scripted;  // the exit question and any message answer themselves
    boxes = &scripted;
    const std::string root = benchRoot();
    generate(root);
    console::SetAppPath(root);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
