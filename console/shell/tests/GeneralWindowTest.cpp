// The main window on a fresh database: load, tree, summary, menus, pop-ups, views,
// captions, sorting, positions, exit.
#include <gtest/gtest.h>
#include <unistd.h>

#include <QAction>
#include <QApplication>
#include <QGuiApplication>
#include <QScreen>
#include <QCloseEvent>
#include <QContextMenuEvent>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QLocale>
#include <QMenu>
#include <QScrollBar>
#include <QTableView>
#include <QTest>
#include <QToolBar>
#include <QTreeWidget>
#include <filesystem>
#include <fstream>

#include "console/shell/General.h"
#include "console/shell/Help.h"
#include "console/shell/core/ConnectDB.h"
#include "console/shell/core/DateText.h"
#include "console/shell/core/Error.h"
#include "console/shell/core/Main1.h"
#include "console/shell/tests/TestRoot.h"
#include "database/Schema.h"
#include "platform/db/qt/RecordsetModel.h"
#include "platform/ui/Dialogs.h"

namespace parlix::console {
namespace {

namespace fs = std::filesystem;

class GeneralTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { test::ensureApplication(); }
    void SetUp() override {
        root = test::makeTestRoot("general");
        SetAppPath(root.string());
        DbConnection.close();
        General::setPopupHook([this](QMenu* m, const QPoint&) { popups.push_back(m->objectName().toStdString()); });
    }
    void TearDown() override {
        w.reset();
        General::setPopupHook(nullptr);
        c.close();
        DbConnection.close();
        fs::remove_all(root);
    }
    void make() {
        ASSERT_TRUE(schema::createDatabase(schema::databasePath(root.string())));
        c.open(schema::databasePath(root.string()), schema::kDatabaseKey);
    }
    void open() { w = std::make_unique<General>(); }
    void queue(const std::string& status, const std::string& mobile = "0123", const std::string& delivery = "",
               const std::string& name = "Unknown", const std::string& queued = "2026-01-01 10:00:00") {
        c.execute("INSERT INTO Outbox (Subject, Name, Mobile, Message, DateTimeQueue, SentStatus, DeliveryStatus, "
                  "MsgType) VALUES ('s', ?, ?, 'text', ?, ?, ?, 1)",
                  {name, mobile, queued, status, delivery.empty() ? db::Value() : db::Value(delivery)});
    }
    void receive(const std::string& mobile, const std::string& status, const std::string& when,
                 const std::string& name = "Unknown") {
        c.execute("INSERT INTO Inbox (Message, Name, Mobile, Status, DateTime) VALUES ('hi', ?, ?, ?, ?)",
                  {name, mobile, status, when});
    }
    void contact(const std::string& name, const std::string& mobile, const std::string& group = "") {
        c.execute("INSERT INTO AddressBook (Name, Mobile, CompanyName) VALUES (?, ?, 'Co')", {name, mobile});
        if (!group.empty())
            c.execute("INSERT INTO Groups (GroupName, ContactID, Mobile) VALUES (?, ?, ?)",
                      {group, c.lastInsertId(), mobile});
    }
    std::string label(QLabel* l) { return l->text().toStdString(); }
    std::string caption() { return w->frmContent->title().toStdString(); }
    std::string header(int column) {
        return w->DataGridModel->headerData(column, Qt::Horizontal).toString().toStdString();
    }
    std::string cell(int row, int column) {
        return w->DataGridModel->data(w->DataGridModel->index(row, column)).toString().toStdString();
    }
    std::vector<std::string> groupNodes() {
        std::vector<std::string> out;
        QTreeWidgetItem* book = w->node(NodeKind::AddressBook);
        for (int i = 0; i < book->childCount(); ++i) out.push_back(General::textOf(book->child(i)));
        return out;
    }
    std::string errorLog() {
        std::ifstream in(root / kErrorLogName, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), {});
    }

    fs::path root;
    db::Connection c;
    ui::ScriptedDialogs boxes;
    std::unique_ptr<General> w;
    std::vector<std::string> popups;
};

TEST_F(GeneralTest, LoadWithoutGroupsBuildsTheFixedTreeAndOpensOnTheSummary) {
    make();
    open();
    EXPECT_EQ(General::instance(), w.get());
    EXPECT_EQ(w->windowTitle(), "Parlix Basic Edition");
    ASSERT_EQ(w->tvwMessage->topLevelItemCount(), 2);
    QTreeWidgetItem* messages = w->tvwMessage->topLevelItem(0);
    EXPECT_EQ(General::textOf(messages), "Messages");
    ASSERT_EQ(messages->childCount(), 3);
    EXPECT_EQ(General::textOf(messages->child(2)), "Sent Items");
    EXPECT_TRUE(groupNodes().empty());
    EXPECT_FALSE(w->frmStatus->isHidden());
    EXPECT_TRUE(w->frmContent->isHidden());
    EXPECT_EQ(label(w->lblStatusGroup), "0 group");
    EXPECT_FALSE(w->mnuInbox->isEnabled());
    EXPECT_TRUE(boxes.calls.empty()) << "nothing asked or told";
}

TEST_F(GeneralTest, GroupsBecomeNodesAndEverySummaryCountIsRight) {
    make();
    contact("Ann", "0111", "Staff");
    contact("Bob", "0222", "Staff");
    contact("Cy", "0333", "Inbox");  // a group that happens to share a folder's name
    for (auto [s, d] : std::vector<std::pair<std::string, std::string>>{
             {"P", ""}, {"R", ""}, {"S", "D"}, {"S", "D"}, {"S", "F"}, {"S", "U"}, {"S", ""}, {"F", ""}, {"D", ""}})
        queue(s, "0123", d);
    receive("0111", "New", "2026-01-01 09:00:00");
    open();
    EXPECT_EQ(groupNodes(), (std::vector<std::string>{"Inbox", "Staff"})) << "in the order the group names come";
    EXPECT_EQ(label(w->lblStatusInbox), "1 SMS received into inbox");
    EXPECT_EQ(label(w->lblStatusOutbox), "2 SMS queued into outbox");
    EXPECT_EQ(label(w->lblStatusSentItems), "7 SMS processed in sent items");
    EXPECT_EQ(label(w->lblStatusSentOK), "5 Total SMS sent successfully");
    EXPECT_EQ(label(w->lblStatusSent_Delivered), "2 SMS sent and delivered successfully");
    EXPECT_EQ(label(w->lblStatusSent_Undelivered), "2 SMS sent but not delivered");
    EXPECT_EQ(label(w->lblStatusFail), "1 SMS failed to send");
    EXPECT_EQ(label(w->lblStatusDup), "1 duplicate outgoing SMS (not sent)");
    EXPECT_EQ(label(w->lblStatusAddBook), "3 contact in address book");
    EXPECT_EQ(label(w->lblStatusGroup), "2 group");

    // Rows queued meanwhile (by the composer or another console) show on the next summary.
    queue("P");
    w->Status();
    EXPECT_EQ(label(w->lblStatusOutbox), "3 SMS queued into outbox");
}

TEST_F(GeneralTest, EachNodeSetsItsMenusAndRightClicksOfferOnlyTheirOwnPopups) {
    make();
    contact("Cy", "0333", "Inbox");
    open();
    struct Case {
        NodeKind kind;
        std::string text;
        bool inbox, outbox, sent, search;
        std::string caption;
        std::vector<std::string> popup;
    } cases[] = {
        {NodeKind::Inbox, "", true, false, false, false, "Inbox (0 records)", {}},
        {NodeKind::Outbox, "", false, true, false, false, "Outbox (0 records)", {}},
        {NodeKind::SentItems, "", false, false, true, false, "Sent Items (0 records)", {}},
        {NodeKind::AddressBook, "", false, false, false, true, "Address Book (1 records)", {"pmnuAllContact"}},
        // The group named "Inbox" opens as a group, gets the group pop-up and never the folder.
        {NodeKind::Group, "Inbox", false, false, false, true, "Address Book (1 contacts in group Inbox)",
         {"pmnuGroup"}},
        {NodeKind::Messages, "", false, false, false, false, "", {}},
    };
    for (const auto& k : cases) {
        SCOPED_TRACE(k.caption);
        QTreeWidgetItem* item = w->node(k.kind, k.text);
        ASSERT_NE(item, nullptr);
        w->tvwMessage_NodeClick(item);
        EXPECT_EQ(w->mnuInbox->isEnabled(), k.inbox);
        EXPECT_EQ(w->mnuOutbox->isEnabled(), k.outbox);
        EXPECT_EQ(w->mnuSentItems->isEnabled(), k.sent);
        EXPECT_EQ(w->mnuSearch->isEnabled(), k.search);
        EXPECT_EQ(caption(), k.caption);
        EXPECT_EQ(w->frmContent->isHidden(), k.kind == NodeKind::Messages);
        popups.clear();
        w->tvwMessage_MouseDown(item);
        EXPECT_EQ(popups, k.popup);
    }
    // The folder node "Inbox" is still a folder with its grid pop-up.
    w->tvwMessage_NodeClick(w->node(NodeKind::Inbox));
    popups.clear();
    w->DataGrid_RightMenu({});
    EXPECT_EQ(popups, std::vector<std::string>{"pmnuMailInbox"}) << "empty view: the pop-up still opens";
    // A group whose rows are all gone offers nothing.
    c.execute("DELETE FROM Groups WHERE GroupName = 'Inbox'");
    popups.clear();
    w->tvwMessage_MouseDown(w->node(NodeKind::Group, "Inbox"));
    EXPECT_TRUE(popups.empty());
}

TEST_F(GeneralTest, AGroupSearchFilterIsClearedByTheNextNodeClickAndTheSummaryCountsAllGroups) {
    make();
    contact("Ann", "0111", "Staff");
    contact("Bob", "0222", "Board");
    open();
    // What a search in a group view leaves behind.
    w->tvwMessage_NodeClick(w->node(NodeKind::Group, "Staff"));
    w->mnuSName->setChecked(true);
    w->rsGroupNames.setFilter(db::Criteria::equals("GroupName", "Staff"));
    w->Status();
    EXPECT_EQ(label(w->lblStatusGroup), "2 group");
    w->rsGroupNames.setFilter(db::Criteria::equals("GroupName", "Staff"));
    w->tvwMessage_NodeClick(w->node(NodeKind::Group, "Board"));
    EXPECT_FALSE(w->rsGroupNames.filtered());
    EXPECT_FALSE(w->mnuSName->isChecked());
    popups.clear();
    w->tvwMessage_MouseDown(w->node(NodeKind::Group, "Board"));
    EXPECT_EQ(popups, std::vector<std::string>{"pmnuGroup"});
}

TEST_F(GeneralTest, ViewsShowTheirColumnsCaptionsAndWidths) {
    make();
    queue("P", "0123", "", "Ann");
    queue("S", "0456", "D", "Bob");
    contact("Ann", "0123");
    open();
    w->tvwMessage_NodeClick(w->node(NodeKind::Outbox));
    EXPECT_EQ(w->DataGridModel->rowCount(), 1);
    EXPECT_EQ(header(7), "Queue On");
    EXPECT_EQ(header(4), "Message");
    for (int hidden : {0, 1, 3, 8, 9, 10, 11, 12, 13}) EXPECT_TRUE(w->DataGrid->isColumnHidden(hidden)) << hidden;
    EXPECT_FALSE(w->DataGrid->isColumnHidden(5));
    EXPECT_EQ(w->DataGrid->columnWidth(4), TwipsToPixels(3500));
    EXPECT_EQ(w->DataGrid->columnWidth(5), TwipsToPixels(1600));

    w->tvwMessage_NodeClick(w->node(NodeKind::SentItems));
    EXPECT_EQ(header(9), "Sent Status");
    EXPECT_EQ(header(11), "Delivery Status");
    EXPECT_EQ(cell(0, 9), "S");
    EXPECT_EQ(cell(0, 11), "D");
    EXPECT_EQ(w->DataGrid->columnWidth(4), TwipsToPixels(5500));
    EXPECT_EQ(w->DataGrid->verticalHeader()->defaultSectionSize(), TwipsToPixels(900));

    w->tvwMessage_NodeClick(w->node(NodeKind::AddressBook));
    EXPECT_EQ(header(3), "Company Name");
    EXPECT_TRUE(w->DataGrid->isColumnHidden(0));
    EXPECT_EQ(w->DataGrid->columnWidth(1), TwipsToPixels(1800));

    w->tvwMessage_NodeClick(w->node(NodeKind::Inbox));
    EXPECT_EQ(header(1), "Message") << "field names as delivered";
    EXPECT_TRUE(w->DataGrid->isColumnHidden(5));
    EXPECT_EQ(w->DataGrid->columnWidth(1), TwipsToPixels(7000));
}

TEST_F(GeneralTest, LargeFoldersAreCountedWholeAndUnreadMessagesComeFirst) {
    make();
    c.begin();
    c.execute("WITH RECURSIVE n(i) AS (SELECT 0 UNION ALL SELECT i + 1 FROM n WHERE i < 39999) "
              "INSERT INTO Inbox (Message, Name, Mobile, Status, DateTime) SELECT 'm' || i, 'X', '01' || i, "
              "CASE WHEN i % 1000 = 7 THEN 'New' ELSE 'Read' END, datetime('2026-01-01', '+' || i || ' minutes') FROM n");
    c.commit();
    open();
    w->tvwMessage_NodeClick(w->node(NodeKind::Inbox));
    EXPECT_EQ(caption(), "Inbox (40000 records)");
    EXPECT_EQ(w->DataGridModel->rowCount(), 40000) << "the whole folder, not the rows fetched so far";
    EXPECT_EQ(cell(0, 4), "New");
    EXPECT_EQ(cell(0, 1), "m39007") << "newest unread first";
    EXPECT_EQ(cell(40, 4), "Read");
    EXPECT_EQ(cell(39999, 1), "m0");
    EXPECT_EQ(label(w->lblStatusInbox), "40000 SMS received into inbox");
}

TEST_F(GeneralTest, DoubleClickingAnInboxMessageMarksItRead) {
    make();
    c.execute("INSERT INTO Inbox (MsgID, Message, Name, Mobile, Status, DateTime) "
              "VALUES (40000, 'call me', 'Ann', '0111', 'New', '2026-01-01 10:00:00')");
    open();
    w->tvwMessage_NodeClick(w->node(NodeKind::Inbox));
    w->DataGrid->selectionModel()->setCurrentIndex(w->DataGridModel->index(0, 1), QItemSelectionModel::NoUpdate);
    w->DataGrid_DblClick();
    EXPECT_EQ(c.scalar("SELECT Status FROM Inbox WHERE MsgID = 40000")->asText(), "Read");
    EXPECT_EQ(cell(0, 4), "Read");
    // Elsewhere a double-click does nothing.
    w->tvwMessage_NodeClick(w->node(NodeKind::Outbox));
    EXPECT_NO_THROW(w->DataGrid_DblClick());
}

TEST_F(GeneralTest, HeaderClicksSortAndMarkOnlyTheClickedColumn) {
    make();
    queue("P", "0300", "", "Cy", "2026-01-03 00:00:00");
    queue("P", "0100", "", "Ann", "2026-01-01 00:00:00");
    queue("R", "0200", "", "Bob", "2026-01-02 00:00:00");
    open();
    w->tvwMessage_NodeClick(w->node(NodeKind::Outbox));
    w->DataGrid_HeadClick(7);
    EXPECT_EQ(header(7), "Queue On (A->Z)");
    EXPECT_EQ(cell(0, 6), "Ann");
    w->DataGrid_HeadClick(7);
    EXPECT_EQ(header(7), "Queue On (Z->A)");
    EXPECT_EQ(cell(0, 6), "Cy");
    w->DataGrid_HeadClick(6);
    EXPECT_EQ(header(6), "Name (A->Z)");
    EXPECT_EQ(header(7), "Queue On") << "one sort mark at a time";
    w->DataGrid_HeadClick(14);  // "Modem" is no sortable caption of the Outbox
    EXPECT_NE(errorLog().find("Error Location: General-Datagrid_HeadClick : Sorting by clicking field name"),
              std::string::npos);
    // Reloading the view with its caption procedure drops the mark; the order stays.
    w->OutboxDataGrid();
    EXPECT_EQ(header(6), "Name");
    EXPECT_EQ(cell(0, 6), "Ann");

    // The Inbox has no caption procedure: its mark stays with its sort.
    receive("0111", "Read", "2026-01-02 00:00:00", "Zed");
    receive("0222", "Read", "2026-01-01 00:00:00", "Abe");
    w->tvwMessage_NodeClick(w->node(NodeKind::Inbox));
    w->DataGrid_HeadClick(2);
    w->DataGrid_HeadClick(2);
    ASSERT_EQ(header(2), "Name (Z->A)");
    w->InboxDataGrid();
    EXPECT_EQ(header(2), "Name (Z->A)");
    EXPECT_EQ(cell(0, 2), "Zed");
    w->tvwMessage_NodeClick(w->node(NodeKind::Outbox));
    w->tvwMessage_NodeClick(w->node(NodeKind::Inbox));
    EXPECT_EQ(header(2), "Name (Z->A)");
    EXPECT_EQ(header(6), "DateTime") << "one mark";
}

// A view never takes over the scroll position of the view shown before it: without a
// saved position it starts at its top; a group's position is its own.
// Date-times show whole in the console's one format, their columns sized to it, and a
// window of the default size shows the two statuses of Sent Items.
TEST_F(GeneralTest, DateTimesShowWholeAndSentItemsShowTheirStatusesAtTheDefaultSize) {
    make();
    queue("S", "0123", "D", "Ann", "2026-12-28 22:58:58");
    c.execute("UPDATE Outbox SET DateTimeSent = '2026-12-28 22:59:07', DateTimeDeliver = '2026-12-28 23:00:01'");
    receive("0456", "New", "2026-12-09 06:08:33");
    open();
    w->show();
    const QLocale before;
    const struct {
        NodeKind view;
        std::vector<int> dates;
    } views[] = {{NodeKind::Inbox, {6}}, {NodeKind::Outbox, {7}}, {NodeKind::SentItems, {7, 8, 10}}};
    for (const char* locale : {"en_US", "de_DE", "ja_JP"}) {
        QLocale::setDefault(QLocale(locale));
        c.execute("UPDATE Outbox SET SentStatus = ?", {std::string("P")});
        for (const auto& v : views) {
            c.execute("UPDATE Outbox SET SentStatus = ?", {std::string(v.view == NodeKind::Outbox ? "P" : "S")});
            w->tvwMessage_NodeClick(w->node(v.view));
            ASSERT_EQ(w->DataGridModel->rowCount(), 1);
            for (int col : v.dates) {
                const std::string stored = w->DataGridModel->recordset()->valueAt(0, col).asText();
                EXPECT_EQ(cell(0, col), DateTimeText(stored)) << locale << " column " << col;
                EXPECT_GT(w->DataGrid->columnWidth(col),
                          w->DataGrid->fontMetrics().horizontalAdvance(QString::fromStdString(cell(0, col))) + 8)
                    << locale << " column " << col;
            }
        }
        const int visible = w->DataGrid->viewport()->width();
        for (int status : {9, 11})
            EXPECT_LE(w->DataGrid->columnViewportPosition(status) + w->DataGrid->columnWidth(status), visible)
                << locale << " " << header(status);
    }
    QLocale::setDefault(before);
}

// Pictures of the main window's views for the user manual (PARLIX_SCREENSHOT_DIR; the
// window as it opens, or maximized with PARLIX_SCREENSHOT_MAXIMIZED under xvfb-run).
TEST_F(GeneralTest, ManualPictures) {
    const char* dir = std::getenv("PARLIX_SCREENSHOT_DIR");
    if (!dir) GTEST_SKIP() << "PARLIX_SCREENSHOT_DIR not set";
    make();
    const char* people[] = {"Aisha Rahman", "Ben Carter", "Chen Wei", "Devi Nair", "Emma Lopez", "Farid Hassan"};
    for (int i = 0; i < 6; ++i)
        contact(people[i], "+6012345670" + std::to_string(i + 1), i < 2 ? "Board" : i < 5 ? "Customers" : "Sales Team");
    contact("Grace Tan", "+60123456707", "Sales Team");
    const std::string promo = "Dear customer, 20% off all items until 24 December. Reply STOP to opt out.";
    for (int i = 0; i < 7; ++i) {
        c.execute("INSERT INTO Outbox (Subject, Name, Mobile, Message, DateTimeQueue, DateTimeSent, SentStatus, "
                  "DateTimeDeliver, DeliveryStatus, MsgType) VALUES ('December promotion', ?, ?, ?, "
                  "'2026-12-01 09:00:00', ?, ?, ?, ?, 1)",
                  {people[i % 6], "+6012345670" + std::to_string(i % 6 + 1), promo,
                   "2026-12-01 09:0" + std::to_string(i) + ":1" + std::to_string(i), i == 5 ? "F" : "S",
                   i == 5 ? db::Value() : db::Value("2026-12-01 09:1" + std::to_string(i) + ":4" + std::to_string(i)),
                   i == 5 ? db::Value() : db::Value(i == 3 ? "U" : "D")});
        queue("P", "+6012345670" + std::to_string(i % 6 + 1), "", people[i % 6],
              "2026-12-24 08:" + std::to_string(10 + i) + ":00");
    }
    c.execute("UPDATE Outbox SET Subject = 'Christmas hours', Message = 'Our shops close at 3 pm on 24 December. "
              "Merry Christmas!' WHERE SentStatus = 'P'");
    receive("+60123456701", "Read", "2026-12-01 09:30:12", "Aisha Rahman");
    receive("+60123456703", "Read", "2026-12-01 10:02:45", "Chen Wei");
    receive("+60198887766", "Read", "2026-12-01 11:15:03");
    receive("+60123456707", "New", "2026-12-02 08:41:27", "Grace Tan");
    receive("+60112223344", "New", "2026-12-02 09:05:59");
    c.execute("UPDATE Inbox SET Message = CASE Mobile WHEN '+60123456701' THEN 'Can we move the delivery to Friday?' "
              "WHEN '+60123456703' THEN 'Thanks, payment sent this morning.' WHEN '+60198887766' THEN 'STOP' "
              "WHEN '+60123456707' THEN 'Please call me about the new price list.' "
              "ELSE 'Is the shop open on Sunday?' END");
    open();
    // Without a window manager a maximized window keeps its size: it is given the screen's.
    if (std::getenv("PARLIX_SCREENSHOT_MAXIMIZED")) w->setGeometry(QGuiApplication::primaryScreen()->availableGeometry());
    w->show();
    QApplication::processEvents();
    auto save = [&](const char* name) {
        QApplication::processEvents();
        EXPECT_TRUE(w->grab().save(QString(dir) + "/" + name + ".png")) << name;
    };
    save("summary");
    const std::pair<NodeKind, const char*> views[] = {{NodeKind::Inbox, "inbox"},
                                                      {NodeKind::Outbox, "outbox"},
                                                      {NodeKind::SentItems, "sent"},
                                                      {NodeKind::AddressBook, "addressbook"}};
    for (const auto& [kind, name] : views) {
        w->tvwMessage_NodeClick(w->node(kind));
        save(name);
    }
    w->tvwMessage_NodeClick(w->node(NodeKind::Group, "Customers"));
    save("group");
}

TEST_F(GeneralTest, AViewWithoutASavedPositionStartsAtItsTop) {
    make();
    c.begin();
    for (int i = 0; i < 300; ++i) {
        receive("01" + std::to_string(i), "Read", "2026-01-01 10:00:00");
        queue("P", "02" + std::to_string(i));
        contact("c" + std::to_string(i), "03" + std::to_string(i), i % 2 ? "Odd" : "Even");
    }
    c.commit();
    open();
    w->resize(1000, 640);
    w->show();
    auto top = [&] { return w->DataGrid->verticalScrollBar()->value(); };  // first row shown
    auto atRow = [&](int row) {
        w->DataGrid->setCurrentIndex(w->DataGridModel->index(row, 2));
        w->DataGrid->scrollTo(w->DataGridModel->index(row, 2));
    };
    w->tvwMessage_NodeClick(w->node(NodeKind::Inbox));
    atRow(299);
    w->DataGrid_MouseUp();
    ASSERT_GT(top(), 200);
    for (NodeKind kind : {NodeKind::Outbox, NodeKind::SentItems, NodeKind::AddressBook}) {
        w->tvwMessage_NodeClick(w->node(kind));
        EXPECT_EQ(top(), 0) << static_cast<int>(kind);
    }
    w->tvwMessage_NodeClick(w->node(NodeKind::Group, "Odd"));
    EXPECT_EQ(top(), 0);
    atRow(120);
    w->DataGrid_RightMenu(QPoint());  // remembers the group's row
    w->tvwMessage_NodeClick(w->node(NodeKind::Group, "Even"));
    EXPECT_EQ(top(), 0) << "another group starts at its top";
    w->tvwMessage_NodeClick(w->node(NodeKind::Group, "Odd"));
    EXPECT_EQ(w->DataGrid->currentIndex().row(), 120);
    EXPECT_GT(top(), 0);
    w->tvwMessage_NodeClick(w->node(NodeKind::Inbox));
    EXPECT_EQ(w->DataGrid->currentIndex().row(), 299) << "the Inbox's own position";
}

TEST_F(GeneralTest, ASavedPositionPastTheEndShowsTheLastRow) {
    make();
    for (int i = 0; i < 30; ++i) queue("P", "01" + std::to_string(i), "", "n" + std::to_string(i));
    open();
    w->tvwMessage_NodeClick(w->node(NodeKind::Outbox));
    w->DataGrid->selectionModel()->setCurrentIndex(w->DataGridModel->index(25, 2), QItemSelectionModel::NoUpdate);
    w->DataGrid_MouseUp();
    ASSERT_EQ(w->OutboxPosition.position, 25);
    // Two rows ahead of it leave; the saved row is found where it moved.
    c.execute("DELETE FROM Outbox WHERE Name IN ('n0', 'n1')");
    w->OutboxDataGrid();
    EXPECT_EQ(w->DataGrid->currentIndex().row(), 23);
    EXPECT_EQ(w->rsOutbox.text("Name"), "n25");
    // Now the folder is shorter than the saved position.
    c.execute("DELETE FROM Outbox WHERE MsgID > 10");
    w->OutboxDataGrid();
    EXPECT_EQ(w->DataGrid->currentIndex().row(), w->DataGridModel->rowCount() - 1);
}

TEST_F(GeneralTest, FilteredCaptionsComeFromTheStateTheFiltersSet) {
    make();
    queue("P", "0100");
    queue("R", "0200");
    queue("P", "0300");
    open();
    w->tvwMessage_NodeClick(w->node(NodeKind::Outbox));
    w->mnuOutboxFStatus->setChecked(true);
    w->Filters.FilterStatus = "p";
    w->rsOutbox.setFilter(db::Criteria::equals("SentStatus", "P"));
    w->OutboxDataGrid();
    EXPECT_EQ(caption(), "Filtered Outbox by Status = Pending (2 of 3 records)");
    EXPECT_EQ(w->Counts.ShownCount, 2);

    w->tvwMessage_NodeClick(w->node(NodeKind::Inbox));
    w->mnuInboxFDateTime->setChecked(true);
    w->Filters.FilterStartDate = "2026-05-01";
    w->Filters.FilterEndDate = "2026-05-06";
    w->rsInbox.setFilter(db::Criteria::greaterOrEqual("DateTime", "2026-05-01 00:00:00"));
    // The days read in the user's short date: month first in the US, day first in the UK.
    const std::pair<QLocale, const char*> locales[] = {
        {QLocale(QLocale::English, QLocale::UnitedStates),
         "Filtered Inbox by Date Time from 5/1/26 to 5/5/26 (0 of 0 records)"},
        {QLocale(QLocale::English, QLocale::UnitedKingdom),
         "Filtered Inbox by Date Time from 01/05/2026 to 05/05/2026 (0 of 0 records)"},
    };
    for (const auto& [locale, expected] : locales) {
        QLocale::setDefault(locale);
        w->InboxDataGrid();
        EXPECT_EQ(caption(), expected) << locale.name().toStdString();
    }
    QLocale::setDefault(QLocale::system());
}

TEST_F(GeneralTest, NamesOfUnknownSendersAreFilledInWhenTheirFolderLoads) {
    make();
    contact("Ann", "+60123456789");
    receive("123456789", "New", "2026-01-01 10:00:00");
    receive("", "New", "2026-01-01 11:00:00");
    queue("S", "+60123456789");
    queue("S", "123456789");
    open();
    w->tvwMessage_NodeClick(w->node(NodeKind::Inbox));
    EXPECT_EQ(c.scalar("SELECT Name FROM Inbox WHERE Mobile = '123456789'")->asText(), "Ann");
    EXPECT_EQ(c.scalar("SELECT Name FROM Inbox WHERE Mobile = ''")->asText(), "Unknown");
    w->tvwMessage_NodeClick(w->node(NodeKind::SentItems));
    EXPECT_EQ(c.scalar("SELECT count(*) FROM Outbox WHERE Name = 'Ann'")->asInt(), 1) << "the Outbox needs the exact number";
}

TEST_F(GeneralTest, GroupNamesWithQuotesAndWildcardsAreTakenAsTheyStand) {
    make();
    contact("Ann", "0111", "50% 'off'_*");
    contact("Bob", "0222", "50");  // would match "50%" as a pattern
    open();
    w->tvwMessage_NodeClick(w->node(NodeKind::Group, "50% 'off'_*"));
    EXPECT_EQ(caption(), "Address Book (1 contacts in group 50% 'off'_*)");
    EXPECT_EQ(cell(0, 1), "Ann");
    popups.clear();
    w->tvwMessage_MouseDown(w->node(NodeKind::Group, "50% 'off'_*"));
    EXPECT_EQ(popups, std::vector<std::string>{"pmnuGroup"});
    EXPECT_EQ(errorLog(), "") << "nothing failed";
}

TEST_F(GeneralTest, AContactEditedFromAGroupReturnsToThatGroup) {
    make();
    contact("Ann", "0111", "Staff");
    contact("Bob", "0222");
    open();
    w->tvwMessage_NodeClick(w->node(NodeKind::Group, "Staff"));
    EditFromGroup = true;  // what the contact editor leaves before it calls back
    w->AddBookDataGrid();
    EXPECT_FALSE(EditFromGroup);
    EXPECT_EQ(caption(), "Address Book (1 contacts in group Staff)");
    EXPECT_EQ(w->shownView(), NodeKind::Group);
}

TEST_F(GeneralTest, AMissingDatabaseIsToldOnceAndTheWindowRecoversWhenTheFileIsBack) {
    open();  // no file yet
    ASSERT_EQ(boxes.prompts().size(), 1u);
    EXPECT_NE(boxes.prompts()[0].find("does not exist"), std::string::npos);
    EXPECT_EQ(w->tvwMessage->topLevelItemCount(), 2) << "the fixed nodes are there";
    w->tvwMessage_NodeClick(w->node(NodeKind::Inbox));
    w->Status();
    EXPECT_EQ(boxes.prompts().size(), 1u) << "said once";
    make();
    contact("Ann", "0111", "Staff");
    w->Status();
    EXPECT_EQ(label(w->lblStatusAddBook), "1 contact in address book");
    EXPECT_EQ(groupNodes(), std::vector<std::string>{"Staff"});
    w->tvwMessage_NodeClick(w->node(NodeKind::AddressBook));
    EXPECT_EQ(caption(), "Address Book (1 records)");
}

TEST_F(GeneralTest, ExitAsksAndNoKeepsEverythingOpen) {
    make();
    open();
    w->show();
    boxes.answer(ui::vbNo);
    QCloseEvent no;
    QApplication::sendEvent(w.get(), &no);
    EXPECT_FALSE(no.isAccepted());
    EXPECT_TRUE(DbConnection.isOpen());
    EXPECT_TRUE(w->rsInbox.isOpen());
    ASSERT_FALSE(boxes.calls.empty());
    EXPECT_EQ(boxes.calls.back().prompt, "Are you sure want to exit Parlix Basic Edition?");
    EXPECT_EQ(boxes.calls.back().title, "Parlix Basic Edition - Exit");

    // Yes: the grid lets go, the record sets and the connection are released.
    boxes.answer(ui::vbYes);
    QCloseEvent yes;
    QApplication::sendEvent(w.get(), &yes);
    EXPECT_TRUE(yes.isAccepted());
    EXPECT_FALSE(w->rsInbox.isOpen());
    EXPECT_FALSE(w->rsGroupNames.isOpen());
    EXPECT_EQ(w->DataGridModel->recordset(), nullptr);
    EXPECT_FALSE(DbConnection.isOpen());
}

TEST_F(GeneralTest, HelpSaysWhenTheManualIsMissingAndOpensItOtherwise) {
    make();
    open();
    std::vector<std::string> opened;
    SetDocumentOpener([&](const std::string& p) {
        opened.push_back(p);
        return true;
    });
    w->mnuHelp->trigger();
    ASSERT_EQ(boxes.calls.size(), 1u);
    EXPECT_EQ(boxes.calls[0].prompt, "The User Manual does not exist!");
    EXPECT_EQ(boxes.calls[0].title, "Warning!");
    fs::create_directories(root / "Help");
    std::ofstream(root / "Help" / "UserManual.html") << "<html></html>";
    w->mnuHelp->trigger();
    EXPECT_EQ(opened, std::vector<std::string>{(root / "Help" / "UserManual.html").string()});
    EXPECT_EQ(boxes.calls.size(), 1u) << "an opened manual needs no word";
    // A desktop without a program for web pages: the user is told where the manual is.
    SetDocumentOpener([](const std::string&) { return false; });
    w->mnuHelp->trigger();
    ASSERT_EQ(boxes.calls.size(), 2u);
    EXPECT_NE(boxes.calls[1].prompt.find("could not be opened"), std::string::npos) << boxes.calls[1].prompt;
    EXPECT_NE(boxes.calls[1].prompt.find((root / "Help" / "UserManual.html").string()), std::string::npos);
    SetDocumentOpener(nullptr);
}

TEST_F(GeneralTest, HiddenItemsAreBuiltButNotOffered) {
    make();
    open();
    for (QAction* hidden : {w->mnuBillMdm, w->mnuInboxFModem, w->mnuOutboxFModem, w->mnuSentFModem,
                            w->mnuOutboxFStatus, w->mnuSetting->menuAction()})
        EXPECT_FALSE(hidden->isVisible()) << hidden->text().toStdString();
    EXPECT_TRUE(w->mnuSentFStatus->isVisible());
    EXPECT_EQ(w->mnuUserPW->text(), "User Password");
    EXPECT_EQ(w->Toolbar->actions().size(), 5);
    EXPECT_EQ(w->Toolbar->actions().at(3)->toolTip(), "Import Contacts from Excel into Address Book");
}

TEST_F(GeneralTest, TreeSelectionShownViewMenusAndPopupsAgreeWhateverTheMouseOrKeysDo) {
    make();
    queue("S", "0100");
    queue("S", "0200");
    queue("P", "0300");
    contact("Ann", "0111", "Staff");
    open();
    w->show();
    QWidget* tree = w->tvwMessage->viewport();
    auto at = [&](QTreeWidgetItem* item) { return w->tvwMessage->visualItemRect(item).center(); };
    auto rightClick = [&](QTreeWidgetItem* item) {
        QTest::mousePress(tree, Qt::RightButton, {}, at(item));
        QContextMenuEvent menu(QContextMenuEvent::Mouse, at(item), tree->mapToGlobal(at(item)));
        QApplication::sendEvent(tree, &menu);
        QTest::mouseRelease(tree, Qt::RightButton, {}, at(item));
    };
    auto agree = [&](NodeKind kind, const std::string& text) {
        EXPECT_EQ(General::kindOf(w->selectedNode()), kind);
        EXPECT_EQ(General::textOf(w->selectedNode()), text);
        EXPECT_EQ(w->shownView(), kind);
        EXPECT_EQ(w->mnuInbox->isEnabled(), kind == NodeKind::Inbox);
        EXPECT_EQ(w->mnuOutbox->isEnabled(), kind == NodeKind::Outbox);
        EXPECT_EQ(w->mnuSentItems->isEnabled(), kind == NodeKind::SentItems);
        EXPECT_EQ(w->mnuSearch->isEnabled(), kind == NodeKind::AddressBook || kind == NodeKind::Group);
    };
    QTest::mouseClick(tree, Qt::LeftButton, {}, at(w->node(NodeKind::SentItems)));
    agree(NodeKind::SentItems, "Sent Items");

    // A folder node offers no pop-up: a right click on it changes nothing.
    rightClick(w->node(NodeKind::Outbox));
    EXPECT_TRUE(popups.empty());
    agree(NodeKind::SentItems, "Sent Items");
    EXPECT_EQ(caption(), "Sent Items (2 records)");
    // So the grid's Delete and the folder's filter act on the folder shown.
    w->DataGrid_RightMenu({});
    EXPECT_EQ(popups, std::vector<std::string>{"pmnuMailSent"});
    w->DataGrid->setCurrentIndex(w->DataGridModel->index(0, 2));
    boxes.answer(ui::vbYes);
    w->pmnuDeleteSent->trigger();
    EXPECT_EQ(boxes.prompts(), (std::vector<std::string>{"Are you sure you want to delete the selected record?",
                                                         "Selected record is deleted."}));
    EXPECT_EQ(c.scalar("SELECT group_concat(Mobile) FROM Outbox WHERE SentStatus = 'S'")->asText(), "0200");
    boxes.answerText("02");
    w->mnuSentFMobile->trigger();
    agree(NodeKind::SentItems, "Sent Items");
    EXPECT_EQ(caption(), "Filtered Sent Items by Mobile = 02 (1 of 1 records)");
    EXPECT_FALSE(w->rsOutbox.filtered());

    // A node with a pop-up is chosen and shown first; its pop-up and the grid's follow.
    popups.clear();
    rightClick(w->node(NodeKind::Group, "Staff"));
    agree(NodeKind::Group, "Staff");
    EXPECT_EQ(caption(), "Address Book (1 contacts in group Staff)");
    w->DataGrid_RightMenu({});
    EXPECT_EQ(popups, (std::vector<std::string>{"pmnuGroup", "pmnuGroupContact"}));

    // The keys move the selection and the view with it.
    QTest::keyClick(w->tvwMessage, Qt::Key_Up);
    agree(NodeKind::AddressBook, "Address Book");
    EXPECT_EQ(caption(), "Address Book (1 records)");
}

}  // namespace
}  // namespace parlix::console
