// End to end through the windows: the main window and the composer offscreen, a
// headless engine (separate process) on the simulated modem. Failed messages come back
// by Resend Failed SMS; Resend, Reply and "Send SMS" followed by Send reach the handset;
// Save to Address Book names the sender's Inbox rows.
#include <QAction>
#include <QComboBox>
#include <QLineEdit>
#include <QTableView>
#include <QTest>

#include "console/dialogs/frmNewSMS.h"
#include "console/dialogs/frmTo.h"
#include "console/dialogs/tests/HeadlessEngine.h"
#include "console/shell/tests/MainWindowDb.h"
#include "tools/modemsim/SimModem.h"

namespace parlix::console {
namespace {

using Steady = std::chrono::steady_clock;

class MessagesEndToEnd : public test::MainWindowDb {
protected:
    void SetUp() override {
        MainWindowDb::SetUp();
        folder = testing::PrepareEngineFolder(root, c, "0133456789", 0, false);
        sim = std::make_unique<modemsim::SimModem>();
        sim->linkPort(folder.string(), 3);
    }
    void TearDown() override {
        engine.reset();
        sim.reset();
        if (frmNewSMS::instance()->isVisible()) {
            boxes.answer(ui::vbYes);
            frmNewSMS::instance()->close();
        }
        MainWindowDb::TearDown();
    }
    // Keeps the windows served while the engine works; false at the deadline.
    bool waitFor(const std::function<bool()>& done, int seconds = 120) {
        const auto deadline = Steady::now() + std::chrono::seconds(seconds);
        while (Steady::now() < deadline) {
            if (done()) return true;
            if (!engine->running()) return false;
            QApplication::processEvents();
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
        }
        return false;
    }
    // How often the handset (local number) got the text.
    int arrived(const std::string& handset, const std::string& text) {
        int got = 0;
        for (const auto& m : modemsim::reassemble(sim->sent())) {
            const std::string local = m.number.rfind("601", 0) == 0 ? m.number.substr(1) : m.number;
            if (local == handset && m.text == text) ++got;
        }
        return got;
    }
    void send(const std::string& text) {
        frmNewSMS* composer = frmNewSMS::instance();
        composer->setMessageText(text);
        composer->cmdSend_Click();
    }
    void current(int row) { w->DataGrid->setCurrentIndex(w->DataGridModel->index(row, 0)); }

    std::filesystem::path folder;
    std::unique_ptr<modemsim::SimModem> sim;
    std::unique_ptr<testing::Engine> engine;
};

TEST_F(MessagesEndToEnd, FailedMessagesAreSentAgainAndEveryPreFilledComposerReachesTheHandset) {
    contact("Ali", "0121111111");
    open();
    // "Send SMS" on the contact, then Send: the modem refuses it twice, so it fails.
    sim->set("refuse=2");
    click(NodeKind::AddressBook);
    current(0);
    w->pmnuSMS->trigger();
    send("Notice one");
    ASSERT_EQ(n("SELECT count(*) FROM Outbox WHERE Mobile = '0121111111' AND SentStatus = 'P'"), 1);
    engine = std::make_unique<testing::Engine>(folder);
    ASSERT_TRUE(waitFor([&] { return n("SELECT count(*) FROM Outbox WHERE SentStatus = 'F'") == 1; }));
    EXPECT_EQ(arrived("0121111111", "Notice one"), 0);

    // Resend Failed SMS: back to "P", and the engine sends it.
    boxes.calls.clear();
    w->mnuResendFSMS->trigger();
    EXPECT_EQ(boxes.prompts(), std::vector<std::string>{"1 SMS resend."});
    ASSERT_TRUE(waitFor([&] { return n("SELECT count(*) FROM Outbox WHERE SentStatus = 'S'") == 1; }));
    EXPECT_EQ(arrived("0121111111", "Notice one"), 1);

    // Resend from Sent Items while the composer still holds the first broadcast's
    // subject: a fresh subject, so the engine sends it instead of calling it a duplicate.
    click(NodeKind::SentItems);
    current(0);
    w->pmnuResend->trigger();
    frmNewSMS::instance()->cmdSend_Click();
    ASSERT_TRUE(waitFor([&] { return n("SELECT count(*) FROM Outbox WHERE SentStatus IN ('S', 'D')") == 2; }));
    EXPECT_EQ(n("SELECT count(*) FROM Outbox WHERE SentStatus = 'D'"), 0);
    ASSERT_TRUE(waitFor([&] { return n("SELECT count(*) FROM Outbox WHERE SentStatus = 'S'") == 2; }));
    EXPECT_EQ(arrived("0121111111", "Notice one"), 2);

    // A message comes in; Reply reaches its sender.
    sim->inject("+60195555555", "Is the meeting on?");
    ASSERT_TRUE(waitFor([&] { return n("SELECT count(*) FROM Inbox") == 1; }));
    click(NodeKind::Inbox);
    current(0);
    w->pmnuReply->trigger();
    EXPECT_EQ(frmNewSMS::instance()->messageText(), "Is the meeting on?");
    send("Yes, at nine");
    ASSERT_TRUE(waitFor([&] { return n("SELECT count(*) FROM Outbox WHERE SentStatus = 'S'") == 3; }));
    EXPECT_EQ(arrived("0195555555", "Yes, at nine"), 1);

    // Save to Address Book: the sender becomes a contact and the Inbox row takes the name.
    const std::string sender = c.scalar("SELECT Mobile FROM Inbox")->asText();
    whenModal([&] {
        frmContact* e = frmContact::existing();
        e->TxtName->setText("Sara");
        boxes.answer(ui::vbYes);
        boxes.answer(ui::vbNo);
        e->cmdOK_Click();
    });
    click(NodeKind::Inbox);
    current(0);
    w->pmnuSaveToContact->trigger();
    EXPECT_EQ(n("SELECT count(*) FROM AddressBook WHERE Name = 'Sara' AND Mobile = ?", {sender}), 1);
    EXPECT_EQ(c.scalar("SELECT Name FROM Inbox")->asText(), "Sara");
}

TEST_F(MessagesEndToEnd, ATypedNumberIsSentAsItStandsWhenSendGoesThroughAndThePickerKeepsIt) {
    const auto ali = contact("Ali", "0121111111");
    frmNewSMS* composer = frmNewSMS::instance();
    composer->showWindow();
    QLineEdit* box = composer->cbRecipient->lineEdit();
    auto retype = [&](const char* number) {
        box->selectAll();
        QTest::keyClicks(box, number);
    };
    // Refused twice (no text, then too long), corrected each time: only the last number goes.
    retype("0129999999");
    composer->cmdSend_Click();
    retype("0128888888");
    composer->setMessageText(std::string(1561, 'x'));
    composer->cmdSend_Click();
    retype("0127777777");
    send("First notice");
    EXPECT_EQ(boxes.prompts().at(0), "No message to send !");
    EXPECT_EQ(boxes.prompts().at(1), "160 character number exceeded!");
    // A number typed, then a contact picked: OK keeps the typed number.
    retype("0196666666");
    whenModal([&] {
        frmTo* to = frmTo::instance(composer);
        for (int i = 0; i < to->contacts->count(); ++i)
            if (to->contacts->text(i) == std::to_string(ali) + ":Ali:0121111111") to->contacts->setChecked(i, true);
        to->cmdOK_Click();
    });
    composer->cmdTo_Click();
    EXPECT_EQ(composer->cbRecipient->currentText().toStdString(), "0196666666");
    send("Second notice");
    EXPECT_EQ(n("SELECT count(*) FROM Outbox"), 3);

    engine = std::make_unique<testing::Engine>(folder);
    ASSERT_TRUE(waitFor([&] { return n("SELECT count(*) FROM Outbox WHERE SentStatus = 'S'") == 3; }));
    EXPECT_EQ(arrived("0127777777", "First notice"), 1);
    EXPECT_EQ(arrived("0121111111", "Second notice"), 1);
    EXPECT_EQ(arrived("0196666666", "Second notice"), 1);
    EXPECT_EQ(modemsim::reassemble(sim->sent()).size(), 3u) << "nothing for 0129999999 or 0128888888";
}

TEST_F(MessagesEndToEnd, ANewTextToTheSameNumberIsSentAndTheSameTextAgainIsNot) {
    frmNewSMS* composer = frmNewSMS::instance();
    composer->showWindow();
    for (const char* text : {"Meeting at 9", "Meeting moved to 10", "Meeting moved to 10"}) {
        composer->cbRecipient->setEditText("0121111111");
        send(text);
    }
    engine = std::make_unique<testing::Engine>(folder);
    ASSERT_TRUE(waitFor([&] { return n("SELECT count(*) FROM Outbox WHERE SentStatus IN ('S', 'D')") == 3; }));
    EXPECT_EQ(arrived("0121111111", "Meeting at 9"), 1);
    EXPECT_EQ(arrived("0121111111", "Meeting moved to 10"), 1);
    EXPECT_EQ(n("SELECT count(*) FROM Outbox WHERE SentStatus = 'D' AND Message = 'Meeting moved to 10'"), 1)
        << "a second press of the same Send is the engine's duplicate";
}

// The main window's ways into a pre-filled composer, each on its folder's first row.
struct WayIn {
    const char* name;
    NodeKind folder;
    QAction* General::*item;
};
const WayIn kWaysIn[] = {{"Reply", NodeKind::Inbox, &General::pmnuReply},
                         {"Resend", NodeKind::SentItems, &General::pmnuResend},
                         {"Send SMS", NodeKind::AddressBook, &General::pmnuSMS}};

TEST_F(MessagesEndToEnd, ReplyResendAndSendSmsSendNowWhateverTheLastSendWasScheduledFor) {
    contact("Ali", "0121111111");
    c.execute("INSERT INTO Inbox (Message, Name, Mobile, Status, DateTime) VALUES ('Hi', 'Unknown', '0195555555', "
              "'New', '2026-01-01 10:00:00')");
    c.execute("INSERT INTO Outbox (Subject, Name, Mobile, Message, DateTimeQueue, SentStatus, MsgType) "
              "VALUES ('s', 'Bob', '0122222222', 'Old notice', '2026-01-01 10:00:00', 'S', 1)");
    open();
    frmNewSMS* composer = frmNewSMS::instance();
    composer->showWindow();
    for (const WayIn& way : kWaysIn) {
        SCOPED_TRACE(way.name);
        composer->setSchedule(std::chrono::system_clock::now() + std::chrono::hours(24 * 9), "in nine days");
        composer->cbRecipient->setEditText("0170000000");
        send(std::string("Scheduled before ") + way.name);
        click(way.folder);
        current(0);
        (w.get()->*way.item)->trigger();
        EXPECT_EQ(composer->txtSchedule->text().toStdString(), "Now");
        send(std::string("Sent by ") + way.name);
        EXPECT_EQ(n("SELECT count(*) FROM Outbox WHERE Message = ? AND DateTimeQueue <= ?",
                    {std::string("Sent by ") + way.name, db::formatDateTime(std::chrono::system_clock::now())}),
                  1);
    }
}

TEST_F(MessagesEndToEnd, NewSmsReplyAndSendSmsBringAMinimisedComposerBack) {
    contact("Ali", "0121111111");
    c.execute("INSERT INTO Inbox (Message, Name, Mobile, Status, DateTime) VALUES ('Hi', 'Unknown', '0195555555', "
              "'New', '2026-01-01 10:00:00')");
    open();
    frmNewSMS* composer = frmNewSMS::instance();
    composer->showWindow();
    const std::vector<std::pair<std::string, std::function<void()>>> ways = {
        {"New SMS", [&] { w->mnuSMS->trigger(); }},
        {"Reply", [&] { click(NodeKind::Inbox), current(0), w->pmnuReply->trigger(); }},
        {"Send SMS", [&] { click(NodeKind::AddressBook), current(0), w->pmnuSMS->trigger(); }}};
    for (const auto& [name, way] : ways) {
        SCOPED_TRACE(name);
        composer->showMinimized();
        ASSERT_TRUE(composer->isMinimized());
        way();
        EXPECT_FALSE(composer->isMinimized());
        EXPECT_TRUE(composer->isVisible());
    }
    EXPECT_EQ(composer->cbRecipient->currentText().toStdString(), "0121111111");
}

}  // namespace
}  // namespace parlix::console
