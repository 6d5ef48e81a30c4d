// Folder filters, contact searches and deletes in the main window, on a fresh database
// each, with scripted boxes: what each shows, and for every delete the exact rows gone.
#include <gtest/gtest.h>

#include <QAction>
#include <QGroupBox>
#include <QItemSelectionModel>
#include <QLabel>
#include <QLocale>
#include <QProgressDialog>
#include <QRadioButton>
#include <QTableView>
#include <QTimer>
#include <QTreeWidget>
#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <initializer_list>
#include <set>
#include <utility>

#include "console/shell/General.h"
#include "console/shell/core/ConnectDB.h"
#include "console/shell/core/Error.h"
#include "console/shell/frmStatusOption.h"
#include "console/shell/tests/MainWindowDb.h"
#include "console/shell/tests/TestRoot.h"
#include "database/Schema.h"
#include "platform/db/qt/RecordsetModel.h"
#include "platform/ui/Dialogs.h"

namespace parlix::console {
namespace {

namespace fs = std::filesystem;
constexpr int OK = ui::vbOK, YES = ui::vbYes, NO = ui::vbNo;

class FiltersTest : public test::MainWindowDb {
protected:
    void TearDown() override {
        frmStatusOption::setShowHook(nullptr);
        MainWindowDb::TearDown();
    }

    // Answers in the order the boxes come: numbers for message boxes, texts for input.
    void script(std::initializer_list<std::string> answers) {
        for (const auto& a : answers) boxes.answerText(a);
    }
    static std::string n(int answer) { return std::to_string(answer); }

    std::int64_t queue(const std::string& status, const std::string& mobile, const std::string& message = "text",
                       const std::string& delivery = "", int lock = 0, const std::string& name = "Unknown") {
        c.execute("INSERT INTO Outbox (Subject, Name, Mobile, Message, DateTimeQueue, DateTimeSent, SentStatus, "
                  "DeliveryStatus, Lock, MsgType) VALUES ('s', ?, ?, ?, '2026-01-01 10:00:00', "
                  "'2026-01-01 10:01:00', ?, ?, ?, 1)",
                  {name, mobile, message, status, delivery.empty() ? db::Value() : db::Value(delivery), lock});
        return c.lastInsertId();
    }
    std::int64_t receive(const std::string& mobile, const std::string& when, const std::string& status = "New",
                         const std::string& message = "hi", const std::string& name = "Unknown") {
        c.execute("INSERT INTO Inbox (Message, Name, Mobile, Status, DateTime) VALUES (?, ?, ?, ?, ?)",
                  {message, name, mobile, status, when});
        return c.lastInsertId();
    }
    std::int64_t contact(const std::string& name, const std::string& mobile, const std::string& company,
                         std::initializer_list<const char*> groups = {}) {
        c.execute("INSERT INTO AddressBook (Name, Mobile, CompanyName) VALUES (?, ?, ?)", {name, mobile, company});
        const std::int64_t id = c.lastInsertId();
        for (const char* g : groups) {
            if (!c.scalar("SELECT 1 FROM Groups WHERE GroupName = ?", {g}))
                c.execute("INSERT INTO Groups (GroupName) VALUES (?)", {g});
            c.execute("INSERT INTO Groups (GroupName, ContactID, Mobile) VALUES (?, ?, ?)", {g, id, mobile});
        }
        return id;
    }
    std::set<std::int64_t> ids(const std::string& sql) {
        std::set<std::int64_t> out;
        for (const auto& r : c.query(sql)) out.insert(r[0].asInt());
        return out;
    }
    std::int64_t count(const std::string& sql) { return c.scalar(sql)->asInt(); }
    int rows() { return w->DataGridModel->rowCount(); }
    void select(std::initializer_list<int> gridRows) {
        auto* sm = w->DataGrid->selectionModel();
        sm->clearSelection();
        for (int r : gridRows) {
            const QModelIndex i = w->DataGridModel->index(r, 0);
            sm->select(i, QItemSelectionModel::Select | QItemSelectionModel::Rows);
            sm->setCurrentIndex(i, QItemSelectionModel::Select | QItemSelectionModel::Rows);
        }
    }
    std::vector<std::string> checked(std::initializer_list<QAction*> items) {
        std::vector<std::string> out;
        for (QAction* a : items)
            if (a->isChecked()) out.push_back(a->text().toStdString());
        return out;
    }
    std::string lastPrompt() { return boxes.calls.empty() ? "" : boxes.calls.back().prompt; }
};

TEST_F(FiltersTest, TextFiltersInEachFolderNarrowTheViewAndRemoveAllFilterShowsItAll) {
    receive("0111", "2026-01-01 09:00:00", "New", "lunch at noon", "Ann");
    receive("0222", "2026-01-01 09:00:00", "New", "meeting", "Bob");
    receive("0112", "2026-01-01 09:00:00", "Read", "Lunch?", "Annette");
    queue("P", "0111", "hello", "", 0, "Ann");
    queue("R", "0999", "bye", "", 0, "Cy");
    queue("S", "0111", "hello");
    open();
    struct Case {
        NodeKind node;
        void (General::*handler)();
        std::string typed, caption;
        int shown;
    };
    const Case cases[] = {
        {NodeKind::Inbox, &General::mnuInboxFMobile_Click, "011", "Filtered Inbox by Mobile = 011 (2 of 3 records)", 2},
        {NodeKind::Inbox, &General::mnuInboxFMessage_Click, "lunch", "Filtered Inbox by Message = lunch (2 of 3 records)", 2},
        {NodeKind::Inbox, &General::mnuInboxFName_Click, "Ann", "Filtered Inbox by Name = Ann (2 of 3 records)", 2},
        {NodeKind::Outbox, &General::mnuOutboxFSubject_Click, "s", "Filtered Outbox by Subject = s (2 of 2 records)", 2},
        {NodeKind::Outbox, &General::mnuOutboxFName_Click, "Cy", "Filtered Outbox by Name = Cy (1 of 2 records)", 1},
        {NodeKind::SentItems, &General::mnuSentFMobile_Click, "0999", "Filtered Sent Items by Mobile = 0999 (0 of 1 records)", 0},
    };
    for (const Case& k : cases) {
        click(k.node);
        script({k.typed});
        (w.get()->*k.handler)();
        EXPECT_EQ(caption(), k.caption);
        EXPECT_EQ(rows(), k.shown) << k.caption;
        EXPECT_EQ(w->Counts.ShownCount, k.shown) << k.caption;
    }
    // A second filter replaces the first; only its item stays ticked.
    EXPECT_EQ(checked({w->mnuInboxFMobile, w->mnuInboxFMessage, w->mnuInboxFName}), std::vector<std::string>{"By Name"});
    EXPECT_EQ(boxes.calls[0].prompt, "Please enter the mobile number");
    EXPECT_EQ(boxes.calls[0].title, "Message Manager - Filter");
    // Through the menu item itself: a click that ends unanswered leaves the marks alone.
    click(NodeKind::Inbox);
    script({"", n(OK)});
    w->mnuInboxFMobile->trigger();
    EXPECT_EQ(lastPrompt(), "You haven't enter any mobile number");
    EXPECT_EQ(checked({w->mnuInboxFMobile, w->mnuInboxFMessage, w->mnuInboxFName}), std::vector<std::string>{"By Name"});
    w->mnuInboxRFilter->trigger();
    EXPECT_EQ(caption(), "Inbox (3 records)");
    EXPECT_EQ(rows(), 3);
    EXPECT_EQ(w->Counts.ShownCount, 0);
    EXPECT_TRUE(checked({w->mnuInboxFMobile, w->mnuInboxFMessage, w->mnuInboxFName}).empty());
}

// A filter reads its folder once, after the names are filled in: a name filter finds a
// message whose sender was added to the address book since the folder was last shown.
TEST_F(FiltersTest, ANameFilterFindsMessagesNamedByThisLoad) {
    receive("0133", "2026-01-01 09:00:00");
    queue("S", "0144");
    open();
    const struct {
        NodeKind node;
        void (General::*handler)();
        std::string contact, mobile, caption;
    } cases[] = {
        {NodeKind::Inbox, &General::mnuInboxFName_Click, "Kim", "0133", "Filtered Inbox by Name = Kim (1 of 1 records)"},
        {NodeKind::SentItems, &General::mnuSentFName_Click, "Lee", "0144",
         "Filtered Sent Items by Name = Lee (1 of 1 records)"},
    };
    for (const auto& k : cases) {
        click(k.node);
        contact(k.contact, k.mobile, "");
        script({k.contact});
        (w.get()->*k.handler)();
        EXPECT_EQ(caption(), k.caption);
        EXPECT_EQ(rows(), 1) << k.caption;
    }
}

TEST_F(FiltersTest, TypedTextIsLiteralInEveryFilterAndSearch) {
    for (const char* m : {"50% off", "a_b", "it's", "star*", "plain", "\xC3\x84PFEL"}) queue("P", "0111", m);
    contact("O'Brien", "0111", "A%B");
    contact("Plain", "0222", "AxB");
    open();
    const std::pair<std::string, int> typed[] = {{"%", 1}, {"_", 1}, {"'", 1}, {"*", 1}, {"' OR '1'='1", 0},
                                                 {std::string(300, 'z'), 0}, {"\xC3\xA9t\xC3\xA9", 0},
                                                 {"\xC3\xA4pfel", 1}};  // "äpfel" finds "ÄPFEL"
    click(NodeKind::Outbox);
    for (const auto& [t, shown] : typed) {
        script({t});
        w->mnuOutboxFMessage_Click();
        EXPECT_EQ(rows(), shown) << t;
    }
    click(NodeKind::AddressBook);
    script({"%"});
    w->mnuSCompany_Click();
    EXPECT_EQ(rows(), 1);
    script({"'"});
    w->mnuSName_Click();
    EXPECT_EQ(caption(), "Searched Address Book by Name = ' (1 of 2 records)");
    EXPECT_EQ(errorLog(), "") << "no input is an error";
}

TEST_F(FiltersTest, DateFilterTakesWholeDaysAndAsksAgainForWhatIsNoDate) {
    receive("1", "2025-02-28 23:59:59");
    receive("2", "2025-03-01 00:00:00");
    receive("3", "2025-03-01 23:59:59");
    receive("4", "2025-03-02 00:00:00");
    open();
    click(NodeKind::Inbox);
    QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedKingdom));  // the caption's short date
    script({"31-02-25", "2025-13-01", "01-03-25", "letters", "01/03/2025"});
    w->mnuInboxFDateTime_Click();
    EXPECT_EQ(boxes.calls.size(), 5u) << "no message between the questions";
    EXPECT_EQ(boxes.calls[3].prompt, "Please enter the END date of message (DD-MM-YY)");
    EXPECT_EQ(caption(), "Filtered Inbox by Date Time from 01/03/2025 to 01/03/2025 (2 of 4 records)");
    QLocale::setDefault(QLocale::system());
    EXPECT_EQ(rows(), 2);
    // END the day before START is taken and shows nothing.
    script({"02-03-25", "01-03-25"});
    w->mnuInboxFDateTime_Click();
    EXPECT_EQ(rows(), 0);
    // A mobile filter, then a date filter left at END: the mobile filter stays, ticked.
    script({"4", "01-03-25", "", n(OK)});
    w->mnuInboxFMobile_Click();
    w->mnuInboxFDateTime_Click();
    EXPECT_EQ(lastPrompt(), "You haven't enter and END date of message");
    EXPECT_EQ(checked({w->mnuInboxFMobile, w->mnuInboxFDateTime}), std::vector<std::string>{"By Mobile Number"});
    EXPECT_EQ(rows(), 1);
}

TEST_F(FiltersTest, StatusAndModemFiltersAskAgainAndAnUnappliedFilterKeepsTheTicksOfTheOneInForce) {
    receive("1", "2026-01-01 09:00:00", "New");
    receive("2", "2026-01-01 09:00:00", "Read");
    queue("P", "1");
    queue("R", "2");
    c.execute("UPDATE Outbox SET ModemID = 2 WHERE MsgID = 1");
    open();
    click(NodeKind::Inbox);
    script({"2"});
    w->mnuInboxFMobile_Click();
    // A wrong letter, then Cancel: the mobile filter is still the one ticked and shown.
    script({"x", n(OK), ""});
    w->mnuInboxFStatus_Click();
    EXPECT_EQ(boxes.prompts().at(0), "Please enter 'R' or 'N' only.");
    EXPECT_EQ(boxes.prompts().at(1), "You haven't entered any status");
    EXPECT_EQ(checked({w->mnuInboxFMobile, w->mnuInboxFStatus}), std::vector<std::string>{"By Mobile Number"});
    EXPECT_EQ(caption(), "Filtered Inbox by Mobile = 2 (1 of 2 records)");
    script({"r"});
    w->mnuInboxFStatus_Click();
    EXPECT_EQ(caption(), "Filtered Inbox by Status = Read (1 of 2 records)");
    EXPECT_EQ(w->DataGridModel->data(w->DataGridModel->index(0, 4)).toString().toStdString(), "Read");

    click(NodeKind::Outbox);
    script({"p"});
    w->mnuOutboxFStatus_Click();
    EXPECT_EQ(caption(), "Filtered Outbox by Status = Pending (1 of 2 records)");
    script({"4", n(OK), "2"});
    w->mnuOutboxFModem_Click();
    EXPECT_EQ(lastPrompt(), "Please enter the modem number");
    EXPECT_EQ(caption(), "Filtered Outbox by Modem = 2 (1 of 2 records)");
}

TEST_F(FiltersTest, SentItemsStatusWindowFiltersByItsOptionAndCancelChangesNothing) {
    queue("S", "1", "a", "D");
    queue("S", "2", "b", "F");
    queue("F", "3", "c");
    queue("D", "4", "d");
    open();
    click(NodeKind::SentItems);
    int option = 3;
    bool ok = true;
    frmStatusOption::setShowHook([&](frmStatusOption& f) {
        EXPECT_TRUE(f.Option1[0]->isChecked()) << "the first option on every show";
        f.Option1[option]->setChecked(true);
        ok ? f.cmdOK_Click() : f.cmdCancel_Click();
    });
    w->mnuSentFStatus_Click();
    EXPECT_EQ(caption(), "Filtered Sent Items by Sent Status = Sent but Delivery Status = Failed (1 of 4 records)");
    ok = false;
    option = 5;
    w->mnuSentFStatus_Click();
    EXPECT_EQ(rows(), 1) << "Cancel leaves the view and its filter";
    EXPECT_EQ(checked({w->mnuSentFStatus}), std::vector<std::string>{"By Status"});
}

TEST_F(FiltersTest, SearchesNarrowTheAddressBookOrTheGroupAndNeverTheGroupNames) {
    contact("Ann", "0111", "Acme", {"Staff"});
    contact("Bob", "0222", "Acme Ltd", {"Staff", "Club"});
    contact("Cy", "0333", "Other");
    open();
    click(NodeKind::AddressBook);
    script({"acme"});
    w->mnuSCompany_Click();
    EXPECT_EQ(caption(), "Searched Address Book by Company Name = acme (2 of 3 records)");
    // An empty answer: the warning, and the company search stays the one in force.
    script({"", n(OK)});
    w->mnuSName_Click();
    EXPECT_EQ(boxes.calls.back().title, "Contact Manager - Warning");
    EXPECT_EQ(checked({w->mnuSName, w->mnuSMobile, w->mnuSCompany}), std::vector<std::string>{"By Company"});

    click(NodeKind::Group, "Staff");
    script({"0222"});
    w->mnuSMobile_Click();
    EXPECT_EQ(caption(), "Searched Staff by Mobile = 0222 (1 of 2 records)");
    EXPECT_EQ(rows(), 1);
    EXPECT_EQ(w->GroupSearchMarker, "Staff");
    EXPECT_FALSE(w->rsGroupNames.filtered());
    w->Status();
    EXPECT_EQ(w->lblStatusGroup->text().toStdString(), "2 group");
    click(NodeKind::Group, "Club");
    EXPECT_EQ(w->GroupSearchMarker, "");
}

TEST_F(FiltersTest, FolderDeleteAllTakesTheFilteredRowsByAFreshCountAndClearsTheFilter) {
    queue("S", "1", "a", "D");
    queue("S", "2", "b", "F");
    const auto failed = queue("F", "3", "c");
    const auto pending = queue("P", "4", "d");
    open();
    click(NodeKind::SentItems);
    frmStatusOption::setShowHook([](frmStatusOption& f) { f.cmdOK_Click(); });  // "Sent"
    w->mnuSentFStatus_Click();
    queue("S", "5", "e");  // sent meanwhile: the prompt counts it
    script({n(YES), n(OK)});
    w->pmnuDeleteAllSent_Click();
    EXPECT_EQ(boxes.prompts(), (std::vector<std::string>{"Are you sure you want to delete 3 messages in the Sent Items?",
                                                         "Record(s) deleted."}));
    EXPECT_EQ(ids("SELECT MsgID FROM Outbox"), (std::set<std::int64_t>{failed, pending}));
    EXPECT_EQ(caption(), "Sent Items (1 records)");
    EXPECT_TRUE(checked({w->mnuSentFStatus}).empty());

    // No filter: all of the folder, and only of the folder; a row an engine holds stays.
    const auto held = queue("P", "6", "f", "", 1);
    click(NodeKind::Outbox);
    script({n(NO), n(OK), n(YES), n(OK)});
    w->pmnuDeleteAllOutbox_Click();
    EXPECT_EQ(boxes.calls[boxes.calls.size() - 1].prompt, "Message not deleted.");
    w->pmnuDeleteAllOutbox_Click();
    EXPECT_EQ(boxes.prompts().at(4), "Are you sure you want to delete all the messages in the outbox?");
    EXPECT_EQ(ids("SELECT MsgID FROM Outbox"), (std::set<std::int64_t>{failed, held}));
    script({n(OK)});
    click(NodeKind::Inbox);
    w->pmnuDeleteAllInbox_Click();
    EXPECT_EQ(lastPrompt(), "There are no messages to be deleted!");
}

TEST_F(FiltersTest, ALongDeleteAllShowsItsProgressAndEndsWithTheRowsGone) {
    c.execute("INSERT INTO Outbox (Subject, Name, Mobile, Message, DateTimeQueue, DateTimeSent, SentStatus, Lock, "
              "MsgType) WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < 2000) "
              "SELECT 's', 'Unknown', '01' || (i * 7919 % 1000003), 'text', '2026-01-01 10:00:00', "
              "'2026-01-01 10:01:00', 'S', 0, 1 FROM n");
    const auto pending = queue("P", "4");
    open();
    click(NodeKind::SentItems);
    // Twenty transactions with the lock left free 50 ms after each: the delete lasts
    // longer than the progress window's half second on any machine.
    w->deleteBatches.rowsPerBatch = 100;
    w->deleteBatches.pause = std::chrono::milliseconds(50);
    // The window is looked at while the batches run (the delete keeps events flowing).
    std::vector<int> shownValues;
    QTimer look;
    QObject::connect(&look, &QTimer::timeout, [&] {
        if (auto* d = w->findChild<QProgressDialog*>(); d && d->isVisible()) shownValues.push_back(d->value());
    });
    look.start(20);
    script({n(YES), n(OK)});
    w->pmnuDeleteAllSent_Click();
    look.stop();
    ASSERT_FALSE(shownValues.empty()) << "no progress window during a long delete";
    EXPECT_TRUE(std::is_sorted(shownValues.begin(), shownValues.end()));
    EXPECT_TRUE(std::any_of(shownValues.begin(), shownValues.end(), [](int v) { return v > 0 && v < 1000; }));
    EXPECT_EQ(boxes.prompts(), (std::vector<std::string>{
                                   "Are you sure you want to delete all the messages in the Sent Items?",
                                   "Record(s) deleted."}));
    EXPECT_EQ(ids("SELECT MsgID FROM Outbox"), (std::set<std::int64_t>{pending}));
    EXPECT_EQ(caption(), "Sent Items (0 records)");
    const auto* left = w->findChild<QProgressDialog*>();
    EXPECT_TRUE(left == nullptr || !left->isVisible());
}

// Boxes that, when Delete All asks its question, first let another program write.
struct WhileAsking : ui::ScriptedDialogs {
    std::function<void()> write;
    int msgBox(const std::string& prompt, int buttons, const std::string& title) override {
        if (write && prompt.rfind("Are you sure", 0) == 0) std::exchange(write, nullptr)();
        return ScriptedDialogs::msgBox(prompt, buttons, title);
    }
};

// Delete All takes the rows its view held when it asked: rows that enter the view while
// the question is open (an engine sends a pending row, releases a row it held; a contact
// joins the group) stay, whatever their identifiers.
TEST_F(FiltersTest, DeleteAllLeavesRowsThatEnterTheViewWhileItAsks) {
    const auto s1 = queue("S", "1"), sentMeanwhile = queue("P", "2"), s2 = queue("S", "3");
    const auto p1 = queue("P", "4"), released = queue("P", "5", "text", "", 1), p2 = queue("P", "6");
    const auto ann = contact("Ann", "0111", "Acme", {"Staff"}), cy = contact("Cy", "0333", "Other"),
               bob = contact("Bob", "0222", "Acme", {"Staff"});
    open();
    db::Connection engine;
    engine.open(c.path(), schema::kDatabaseKey);
    struct Case {
        NodeKind node;
        const char* group;
        void (General::*deleteAll)();
        std::string write;
        std::int64_t id;
    };
    const Case cases[] = {
        {NodeKind::SentItems, "", &General::pmnuDeleteAllSent_Click, "UPDATE Outbox SET SentStatus = 'S' WHERE MsgID = ?",
         sentMeanwhile},
        {NodeKind::Outbox, "", &General::pmnuDeleteAllOutbox_Click,
         "UPDATE Outbox SET SentStatus = 'R', Lock = 0 WHERE MsgID = ?", released},
        {NodeKind::Group, "Staff", &General::pmnuDeleteAllFromGroup_Click,
         "INSERT INTO Groups (GroupName, ContactID, Mobile) VALUES ('Staff', ?, '0333')", cy},
    };
    for (const Case& k : cases) {
        click(k.node, k.group);
        WhileAsking asking;
        asking.write = [&] { engine.execute(k.write, {k.id}); };
        asking.answer(YES);
        asking.answer(OK);
        (w.get()->*k.deleteAll)();
        EXPECT_EQ(asking.calls.size(), 2u) << k.write;
    }
    EXPECT_EQ(ids("SELECT MsgID FROM Outbox"), (std::set<std::int64_t>{sentMeanwhile, released}));
    EXPECT_EQ(ids("SELECT ContactID FROM AddressBook"), (std::set<std::int64_t>{cy}));
    EXPECT_EQ(ids("SELECT IFNULL(ContactID, 0) FROM Groups WHERE GroupName = 'Staff'"), (std::set<std::int64_t>{0, cy}))
        << "the placeholder and the member who joined while the question was open";
    EXPECT_EQ(count("SELECT COUNT(*) FROM Groups WHERE GroupName = 'Staff'"), 2);
    // A question answered No keeps every row; no snapshot outlives its delete.
    click(NodeKind::SentItems);
    script({n(NO), n(OK)});
    w->pmnuDeleteAllSent_Click();
    EXPECT_EQ(ids("SELECT MsgID FROM Outbox"), (std::set<std::int64_t>{sentMeanwhile, released}));
    EXPECT_EQ(DbConnection.scalar("SELECT COUNT(*) FROM sqlite_temp_master")->asInt(), 0);
    (void)s1, (void)s2, (void)p1, (void)p2, (void)ann, (void)bob;
}

TEST_F(FiltersTest, SelectedMessagesGoByIdentifierSkippingRowsGoneMeanwhile) {
    std::vector<std::int64_t> sent;
    for (int i = 0; i < 4; ++i) sent.push_back(queue("S", std::to_string(i)));
    c.execute("INSERT INTO Inbox (MsgID, Message, Name, Mobile, Status, DateTime) "
              "VALUES (40000, 'm', 'n', '1', 'New', '2026-01-01 00:00:00')");
    receive("2", "2026-01-01 00:00:01");
    open();
    click(NodeKind::SentItems);
    select({0, 1, 2});
    c.execute("DELETE FROM Outbox WHERE MsgID = ?", {sent[1]});  // gone behind the view
    script({n(YES), n(OK)});
    w->pmnuDeleteSent_Click();
    EXPECT_EQ(boxes.prompts(), (std::vector<std::string>{"Are you sure you want to delete the selected record?",
                                                         "Selected record is deleted."}));
    EXPECT_EQ(ids("SELECT MsgID FROM Outbox"), (std::set<std::int64_t>{sent[3]}));
    EXPECT_EQ(rows(), 1) << "reloaded";

    click(NodeKind::Inbox);
    select({1});  // the older row: identifier 40000 (beyond 16 bits)
    script({n(YES), n(OK)});
    w->pmnuDeleteInbox_Click();
    EXPECT_EQ(ids("SELECT MsgID FROM Inbox"), (std::set<std::int64_t>{40001}));
}

TEST_F(FiltersTest, AnOutboxRowTheEngineSentMeanwhileIsNotDeleted) {
    const auto a = queue("P", "1");
    const auto b = queue("P", "2");
    const auto d = queue("P", "3");
    open();
    click(NodeKind::Outbox);
    select({0});
    c.execute("UPDATE Outbox SET SentStatus = 'S' WHERE MsgID = ?", {a});  // the engine sent it
    script({n(YES), n(OK)});
    w->pmnuDeleteOutbox_Click();
    EXPECT_EQ(lastPrompt(), "Selected record is NOT deleted. Reason could be that SMS Engine has already send out this "
                            "message, and moved to 'Sent Items' folder.");
    EXPECT_EQ(boxes.calls.back().buttons & ui::vbCritical, ui::vbCritical);
    EXPECT_EQ(count("SELECT COUNT(*) FROM Outbox"), 3);
    // Two rows: by the selection, no message.
    select({0, 1});
    script({n(YES)});
    w->pmnuDeleteOutbox_Click();
    EXPECT_EQ(ids("SELECT MsgID FROM Outbox"), (std::set<std::int64_t>{a}));
    (void)b;
    (void)d;
}

TEST_F(FiltersTest, ContactDeletesTakeEveryMembershipAndKeepTheGroups) {
    const auto ann = contact("Ann", "0111", "Acme", {"Staff", "Club"});
    const auto bob = contact("Bob", "0222", "Acme", {"Staff"});
    const auto cy = contact("Cy", "0333", "Other", {"Club"});
    open();
    click(NodeKind::AddressBook);
    select({0});
    script({n(YES)});
    w->pmnuDeleteContact_Click();
    EXPECT_EQ(ids("SELECT ContactID FROM AddressBook"), (std::set<std::int64_t>{bob, cy}));
    EXPECT_EQ(count("SELECT COUNT(*) FROM Groups WHERE ContactID = " + std::to_string(ann)), 0);
    // Delete All under a search: the searched contacts and their memberships.
    script({"Bob", n(YES), n(OK)});
    w->mnuSName_Click();
    w->pmnuDeleteAllContact_Click();
    EXPECT_EQ(ids("SELECT ContactID FROM AddressBook"), (std::set<std::int64_t>{cy}));
    EXPECT_EQ(ids("SELECT ContactID FROM Groups WHERE ContactID > 0"), (std::set<std::int64_t>{cy}));
    click(NodeKind::AddressBook);
    script({n(YES), n(OK)});
    w->pmnuDeleteAllContact_Click();
    EXPECT_EQ(count("SELECT COUNT(*) FROM AddressBook"), 0);
    EXPECT_EQ(count("SELECT COUNT(*) FROM Groups"), 2) << "the placeholders of Staff and Club";
}

TEST_F(FiltersTest, GroupDeletesGoByTheTablesWhateverTheAddressBookSearchShows) {
    const auto ann = contact("Ann", "0111", "Acme", {"Staff", "Club"});
    const auto bob = contact("Bob", "0222", "Acme", {"Staff"});
    const auto cy = contact("Cy", "0333", "Other", {"Club"});
    const auto dee = contact("Dee", "0444", "Other", {"Staff"});
    open();
    click(NodeKind::AddressBook);
    script({"nobody"});
    w->mnuSName_Click();  // the Address Book's set now shows no one
    click(NodeKind::Group, "Staff");
    script({"Ann", n(YES), n(OK)});
    w->mnuSName_Click();
    w->pmnuDeleteAllFromGroup_Click();
    EXPECT_EQ(boxes.prompts().front(), "Are you sure you want to delete 1 contacts from Staff and from the Address Book too?");
    EXPECT_EQ(ids("SELECT ContactID FROM AddressBook"), (std::set<std::int64_t>{bob, cy, dee}));
    EXPECT_EQ(count("SELECT COUNT(*) FROM Groups WHERE ContactID = " + std::to_string(ann)), 0) << "Club too";
    EXPECT_EQ(w->GroupSearchMarker, "");

    script({n(YES), n(OK)});
    w->pmnuDeleteAllFromGroup_Click();
    EXPECT_EQ(lastPrompt(), "All contacts are deleted from group Staff and from the Address Book");
    EXPECT_EQ(ids("SELECT ContactID FROM AddressBook"), (std::set<std::int64_t>{cy}));
    EXPECT_EQ(count("SELECT COUNT(*) FROM Groups WHERE GroupName = 'Staff'"), 1) << "its placeholder alone";
    EXPECT_EQ(caption(), "Address Book (0 contacts in group Staff)");

    click(NodeKind::Group, "Club");
    select({0});
    script({n(YES)});
    w->pmnuDeleteContactFromGroup_Click();
    EXPECT_EQ(count("SELECT COUNT(*) FROM AddressBook"), 0);
    EXPECT_EQ(count("SELECT COUNT(*) FROM Groups"), 2);
}

// Pictures of a filtered Sent Items view and of the status window, for the manual and
// for a look by eye: PARLIX_SCREENSHOT_DIR=<dir>.
TEST_F(FiltersTest, Screenshots) {
    const char* dir = std::getenv("PARLIX_SCREENSHOT_DIR");
    if (!dir) GTEST_SKIP() << "PARLIX_SCREENSHOT_DIR not set";
    for (int i = 0; i < 12; ++i)
        queue(i % 3 ? "S" : "F", "01234567" + std::to_string(i), "Meeting moved to 3 pm, room " + std::to_string(i),
              i % 2 ? "D" : "F", 0, "Contact " + std::to_string(i));
    open();
    w->resize(1100, 520);
    w->show();
    click(NodeKind::SentItems);
    frmStatusOption::setShowHook([&](frmStatusOption& f) {
        f.Option1[0]->setChecked(true);
        f.show();
        f.grab().save(QString(dir) + "/frmStatusOption.png");
        f.cmdOK_Click();
    });
    w->mnuSentFStatus_Click();
    w->grab().save(QString(dir) + "/filtered-sent-items.png");
    EXPECT_EQ(caption(), "Filtered Sent Items by Sent Status = Sent (8 of 12 records)");
}

}  // namespace
}  // namespace parlix::console
