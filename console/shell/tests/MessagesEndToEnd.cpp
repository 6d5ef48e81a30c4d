// End to end through the windows: the main window and the composer offscreen, a
// headless engine (separate process) on the simulated modem. Failed messages come back
// by Resend Failed SMS; Resend, Reply and "Send SMS" followed by Send reach the handset;
// Save to Address Book names the sender's Inbox rows.
#include <QAction>
#include <QComboBox>
#include <QLineEdit>
#include <QTableView>

#include "console/dialogs/frmNewSMS.h"
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

}  // namespace
}  // namespace parlix::console
