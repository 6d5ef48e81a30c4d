// The composer, picker, scheduler and template windows, offscreen, each on a fresh
// database, with scripted message boxes.
#include <QApplication>
#include <QCalendarWidget>
#include <QCheckBox>
#include <QGroupBox>
#include <QClipboard>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QLocale>
#include <QPushButton>
#include <QTableView>
#include <QTest>
#include <filesystem>
#include <fstream>

#include "console/dialogs/ComposeBox.h"
#include "console/dialogs/frmCalendar.h"
#include "console/dialogs/frmNewSMS.h"
#include "console/shell/core/DateText.h"
#include "console/dialogs/frmTemplate.h"
#include "console/dialogs/frmTo.h"
#include "console/dialogs/tests/ComposerDb.h"
#include "console/shell/General.h"
#include "console/shell/core/ConnectDB.h"
#include "console/shell/core/Error.h"
#include "platform/db/qt/RecordsetModel.h"
#include "platform/ui/Dialogs.h"

namespace parlix::console::testing {
namespace {

std::string Report(int queued, int notQueued) {
    return " Total number of messages queued: " + std::to_string(queued) +
           "\r\nTotal messages not queued because recipient's number cannot be delivered: " +
           std::to_string(notQueued);
}

class Composer : public ComposerDb {
protected:
    void SetUp() override {
        ComposerDb::SetUp();
        SetAppPath(root.string());
        ConnectDB(DbConnection);
        ASSERT_TRUE(DbConnection.isOpen());
        w = std::make_unique<frmNewSMS>();
    }
    void TearDown() override {
        w.reset();
        DbConnection.close();
        ComposerDb::TearDown();
    }
    std::string errorLog() {
        std::ifstream in(root / kErrorLogName, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), {});
    }
    void compose(const std::string& text, std::vector<std::string> entries = {}) {
        w->setMessageText(text);
        w->addRecipients(entries);
    }
    std::vector<std::string> prompts() const { return boxes.prompts(); }

    ui::ScriptedDialogs boxes;
    std::unique_ptr<frmNewSMS> w;
};

TEST_F(Composer, LoadShowsTheDesignValuesAndANewSubject) {
    const std::pair<QWidget*, const char*> captions[] = {
        {w->lblSubject, "Broadcast Subject : "}, {w->lblTo, "Broadcast To :"},
        {w->cmdTo, "Address Book"},             {w->lblSchedule, "Broadcast Time :"},
        {w->cmdScheduler, "Scheduler"},         {w->lblRemained, "Chars. Remained"},
        {w->lblTyped, "Chars. Typed"},          {w->lblLanguage, "Language: "},
        {w->chkChinese, "Chinese "},            {w->cmdTemplate, "Template Messsage"},
        {w->cmdSaveTemplate, "Save as Template"}, {w->cmdClear, "Clear All"},
        {w->cmdSend, "Send"},                   {w->cmdCancel, "Close"},
        {w->cbBroadcastFilter, "Do not broadcast to recipient's number that cannot be delivered"},
    };
    for (auto [widget, caption] : captions) {
        QString text = widget->property("text").toString();
        EXPECT_EQ(text.toStdString(), caption) << widget->objectName().toStdString();
    }
    EXPECT_EQ(w->windowTitle(), "SMS Vovivaded Ezovaro");
    EXPECT_EQ(w->txtSchedule->text(), "Now");
    EXPECT_TRUE(w->txtSchedule->isReadOnly());
    EXPECT_EQ(w->txtCharsRemained->text(), "1560");
    EXPECT_EQ(w->txtCharsTyped->text(), "0");
    EXPECT_EQ(w->txtSubject->text().size(), 12);
    EXPECT_EQ(w->chkChinese->toolTip(), "Check if the message contains Chinese charater.");
    EXPECT_EQ(w->findChild<QComboBox*>("cbRecipient"), w->cbRecipient);
}

TEST_F(Composer, SendQueuesGroupContactAndTypedNumberThenEmptiesTheList) {
    auto a = contact("Ali", "0121111111"), b = contact("Badu", "0122222222");
    group("Staff", {a, b});
    auto c = contact("Chen", "0133333333");
    compose("Meeting at 9", {"Staff", std::to_string(c) + ":Chen:0133333333"});
    QTest::keyClicks(w->cbRecipient->lineEdit(), "019-876 5432");
    EXPECT_TRUE(w->RecipientTyped);
    w->cmdSend_Click();
    EXPECT_EQ(prompts(), std::vector<std::string>{Report(4, 0)});
    EXPECT_EQ(boxes.calls[0].title, "Vovivaded Ezovaro - Message Queue");
    EXPECT_EQ(pending(), (std::vector<std::string>{"Ali|0121111111", "Badu|0122222222", "Chen|0133333333",
                                                   "Unknown|0198765432"}));
    EXPECT_EQ(count("Subject = ? AND Message = 'Meeting at 9' AND MsgType = 1", {w->txtSubject->text().toStdString()}),
              4);
    EXPECT_EQ(w->cbRecipient->count(), 0);
    EXPECT_EQ(w->cbRecipient->currentText(), "");
    EXPECT_FALSE(w->RecipientTyped);
    EXPECT_NE(w->txtSchedule->text(), "Now");
    EXPECT_EQ(w->TotalQueued, 0);
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
    // The Send's moment is the queue time, and later Sends keep it.
    const std::string queued = db.scalar("SELECT DateTimeQueue FROM Outbox LIMIT 1")->asText();
    EXPECT_EQ(queued, w->ScheduleTime);
    compose("Again", {"0177777777"});
    w->cmdSend_Click();
    EXPECT_EQ(count("Message = 'Again' AND DateTimeQueue = ?", {queued}), 1);
}

TEST_F(Composer, TheMainWindowEndsOnTheSummaryWithTheNewOutboxCount) {
    General main;
    main.OutboxDataGrid();
    compose("Hello", {"0121111111", "0122222222"});
    w->cmdSend_Click();
    EXPECT_FALSE(main.frmStatus->isHidden());
    EXPECT_EQ(main.lblStatusOutbox->text().toStdString(), "2 SMS queued into outbox");
}

TEST_F(Composer, AReplyNumberIsSentAndNoEmptyEntryFollows) {
    w->cbRecipient->setEditText("0125555555");  // as reply and resend put it
    w->setMessageText("Thanks");
    w->cmdSend_Click();
    EXPECT_EQ(pending(), std::vector<std::string>{"Unknown|0125555555"});
    // Nothing typed now: the flag is gone, no entry with an empty number.
    QTest::keyClicks(w->cbRecipient->lineEdit(), "x");
    w->cbRecipient->setEditText("");
    w->cmdSend_Click();
    EXPECT_EQ(prompts().back(), "No recipient is selected !");
    EXPECT_EQ(count("Mobile = ''"), 0);
}

TEST_F(Composer, MissingMessageOrRecipientsStopsWithTheirWarning) {
    w->addRecipients({"0121111111"});
    w->cmdSend_Click();
    w->setMessageText("Hello");
    w->clearRecipients();
    w->cmdSend_Click();
    EXPECT_EQ(prompts(), (std::vector<std::string>{"No message to send !", "No recipient is selected !"}));
    for (const auto& call : boxes.calls) {
        EXPECT_EQ(call.title, "Vovivaded Ezovaro - Warning");
        EXPECT_EQ(call.buttons, ui::vbExclamation);
    }
    EXPECT_EQ(count(), 0);
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
}

TEST_F(Composer, AfterClearAllSendIsNowWithANewSubject) {
    compose("Hello", {"0121111111"});
    w->cmdClear_Click();
    EXPECT_EQ(w->txtSchedule->text(), "");
    EXPECT_EQ(w->txtSubject->text(), "");
    EXPECT_EQ(w->cbRecipient->count(), 0);
    compose("Hello", {"0121111111"});
    w->cmdSend_Click();
    EXPECT_EQ(prompts(), std::vector<std::string>{Report(1, 0)});
    EXPECT_EQ(count("Subject <> '' AND DateTimeQueue <> ''"), 1);
    EXPECT_EQ(w->txtSubject->text().size(), 12);
}

TEST_F(Composer, TextsTheEngineCannotSendAreRefused) {
    // Chinese ticked after a template put 71 characters in.
    w->chkChinese->setChecked(true);
    w->chkChinese_Click();
    EXPECT_EQ(w->txtCharsRemained->text(), "70");
    compose(std::string(71, 'x'), {"0121111111"});
    EXPECT_EQ(w->txtCharsRemained->text(), "-1");
    w->cmdSend_Click();
    // 1561 characters of text.
    w->chkChinese->setChecked(false);
    compose(std::string(1561, 'y'));
    w->cmdSend_Click();
    EXPECT_EQ(prompts(), (std::vector<std::string>{"70 character number exceeded!", "70 character number exceeded!",
                                                   "160 character number exceeded!"}));
    EXPECT_EQ(boxes.calls.back().title, "Zavoruzodaz Ezuvizu - Warning");
    EXPECT_EQ(count(), 0);
    // Exactly the limits go.
    w->chkChinese->setChecked(true);
    compose("\xe4\xbd\xa0" + std::string(69, 'z'));
    w->cmdSend_Click();
    EXPECT_EQ(count("MsgType = 0"), 1);
}

TEST_F(Composer, TextsOutsideTheGsmAlphabetAskToGoAsUnicode) {
    std::string emoji;
    for (int i = 0; i < 36; ++i) emoji += "\xF0\x9F\x98\x80";  // 72 UTF-16 units
    const std::string greek = "\xCE\xBA\xCE\xB1\xCE\xBB\xCE\xB7";  // small letters: not in the alphabet
    struct Case {
        const char* name;
        std::string text;
        bool tickedBefore;
        int answer;  // 0: no question expected
        int msgType;  // -1: nothing queued (refused)
    } cases[] = {
        {"alphabet, extension table, Greek capitals", "Price 5\xE2\x82\xAC [ok] ~ \xCE\x94\xCE\xA6 \xC3\xA9", false, 0, 1},
        {"Greek, No: sent as it is", greek, false, ui::vbNo, 1},
        {"Arabic, Yes: sent as Unicode", "\xD9\x85\xD8\xB1\xD8\xAD\xD8\xA8\xD8\xA7", false, ui::vbYes, 0},
        {"emoji, Yes: over 70 characters", emoji, false, ui::vbYes, -1},
        {"Unicode ticked already", greek, true, 0, 0},
    };
    for (const Case& k : cases) {
        SCOPED_TRACE(k.name);
        db.execute("DELETE FROM Outbox");
        boxes.calls.clear();
        w->chkChinese->setChecked(k.tickedBefore);
        w->chkChinese_Click();
        w->clearRecipients();
        compose(k.text, {"0121111111"});
        if (k.answer) boxes.answer(k.answer);
        w->cmdSend_Click();
        ASSERT_FALSE(boxes.calls.empty());
        const bool asked = (boxes.calls[0].buttons & ui::vbYesNo) == ui::vbYesNo;
        EXPECT_EQ(asked, k.answer != 0);
        if (asked) {
            EXPECT_NE(boxes.calls[0].prompt.find("Unicode"), std::string::npos);
        }
        EXPECT_EQ(w->chkChinese->isChecked(), k.tickedBefore || k.answer == ui::vbYes);
        if (k.msgType < 0) {
            EXPECT_EQ(prompts().back(), "70 character number exceeded!");
            EXPECT_EQ(prompts().size(), 2u) << "one warning after the question";
            EXPECT_EQ(count(), 0);
            EXPECT_EQ(w->txtCharsRemained->text(), "-2");
        } else {
            EXPECT_EQ(count("MsgType = ? AND Message = ?", {k.msgType, k.text}), 1);
        }
        EXPECT_EQ(w->messageText(), k.text);
    }
}

TEST_F(Composer, TheMessageBoxStopsTypingAndPastingAtTheLimit) {
    w->chkChinese->setChecked(true);
    w->setMessageText(std::string(68, 'a'));
    EXPECT_EQ(w->txtComposeSMS->maxLength(), 70);
    w->txtComposeSMS->moveCursor(QTextCursor::End);
    QTest::keyClicks(w->txtComposeSMS, "bcdef");
    EXPECT_EQ(w->txtComposeSMS->toPlainText().size(), 70);
    EXPECT_TRUE(boxes.calls.empty());
    // Pasting text fills the box up to 1560 and warns as it lands there.
    w->chkChinese->setChecked(false);
    w->setMessageText(std::string(1557, 'a'));
    w->txtComposeSMS->moveCursor(QTextCursor::End);
    QApplication::clipboard()->setText("123456");
    w->txtComposeSMS->paste();
    EXPECT_EQ(w->txtComposeSMS->toPlainText().toStdString(), std::string(1557, 'a') + "123");
    EXPECT_EQ(prompts(), std::vector<std::string>{"160 character number exceeded!"});
    EXPECT_EQ(w->txtCharsRemained->text(), "0");
}

TEST_F(Composer, AFailedDeliveryIsSkippedAndCountedWithTheFilter) {
    auto a = contact("Ali", "0121111111"), b = contact("Badu", "0122222222"), c = contact("Chen", "0123333333");
    group("Staff", {a, b, c});
    undelivered("0122222222");
    w->cbBroadcastFilter->setChecked(true);
    compose("Hi", {"Staff"});
    w->cmdSend_Click();
    EXPECT_EQ(prompts(), std::vector<std::string>{Report(2, 1)});
}

TEST_F(Composer, ABroadcastBeyondSixteenBitsAndAnOrphanAreReportedTruly) {
    bigGroup("Everyone", 40000, 40000000);
    db.execute("DELETE FROM AddressBook WHERE Name = 'C7'");
    compose("Hi", {"Everyone"});
    w->cmdSend_Click();
    ASSERT_EQ(prompts().size(), 2u);
    EXPECT_EQ(prompts()[0], Report(39999, 0));
    EXPECT_NE(prompts()[1].find("Some recipients were not queued:\r\nEveryone"), std::string::npos);
    EXPECT_EQ(count(), 39999);
    EXPECT_NE(errorLog().find("Error Location: frmNewSMS : QueueSMSToGroup"), std::string::npos);
}

TEST_F(Composer, ADatabaseThatCannotBeWrittenIsToldAloneAndTheRecipientsStay) {
    auto a = contact("Ali", "0121111111");
    group("Staff", {a});
    const std::string path = schema::databasePath(root.string());
    struct Case {
        const char* name;
        std::function<void()> block, unblock;
    } cases[] = {
        {"held by another program",
         [&] {
             DbConnection.close();
             DbConnection.open(path, schema::kDatabaseKey, {false, 200});
             db.execute("BEGIN IMMEDIATE");
         },
         [&] { db.execute("ROLLBACK"); }},
        {"moved away",
         [&] {
             DbConnection.close();
             std::filesystem::rename(root / "Database", root / "Moved");
         },
         [&] { std::filesystem::rename(root / "Moved", root / "Database"); }},
    };
    for (const Case& k : cases) {
        SCOPED_TRACE(k.name);
        boxes.calls.clear();
        compose("Hi", {"Staff"});
        w->cbRecipient->setEditText("0195555555");
        k.block();
        w->cmdSend_Click();
        k.unblock();
        ASSERT_EQ(prompts().size(), 1u) << "the error alone, no report of 0 queued";
        EXPECT_NE(prompts()[0].find("No message was queued"), std::string::npos);
        EXPECT_EQ(w->recipientEntries(), std::vector<std::string>{"Staff"});
        EXPECT_EQ(w->cbRecipient->currentText(), "0195555555");
        EXPECT_EQ(QApplication::overrideCursor(), nullptr);
        // Once the database can be written, the same Send goes through.
        w->cmdSend_Click();
        EXPECT_EQ(prompts().back(), Report(2, 0));
        EXPECT_EQ(count(), 2);
        EXPECT_EQ(w->cbRecipient->count(), 0);
        db.execute("DELETE FROM Outbox");
    }
    EXPECT_NE(errorLog().find("Error Location: New SMS : Send"), std::string::npos);
}

TEST_F(Composer, SaveAsTemplateAndTheCloseQuestion) {
    w->cmdSaveTemplate_Click();
    w->setMessageText("It's 50% off: today");
    w->cmdSaveTemplate_Click();
    EXPECT_EQ(prompts(), (std::vector<std::string>{"No template message!", "Template message is saved"}));
    EXPECT_EQ(db.scalar("SELECT Text FROM Template")->asText(), "It's 50% off: today");

    w->show();
    boxes.answer(ui::vbNo);
    w->cmdCancel_Click();
    EXPECT_TRUE(w->isVisible());
    boxes.answer(ui::vbYes);
    w->cmdCancel_Click();
    EXPECT_FALSE(w->isVisible());
    EXPECT_EQ(boxes.calls.back().prompt, "Closing the Vuredeziz Avarada, Are you sure?");
    EXPECT_EQ(boxes.calls.back().title, "Vuredeziz Avarada - Close");
    // Shown again it is loaded afresh.
    w->RecipientTyped = true;
    w->showWindow();
    EXPECT_EQ(w->messageText(), "");
    EXPECT_EQ(w->txtSchedule->text(), "Now");
    EXPECT_FALSE(w->RecipientTyped);
    w->hide();
}

TEST_F(Composer, SchedulerSetsMidnightAndNoonInTheUsersLocale) {
    QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
    frmCalendar cal(w.get());
    cal.Form_Load();
    EXPECT_EQ(cal.cbTime->count(), 96);
    EXPECT_EQ(cal.cbTime->currentIndex(), -1);
    cal.cmdOK_Click();
    EXPECT_EQ(prompts(), std::vector<std::string>{"Please select a specific sending time."});
    EXPECT_EQ(boxes.calls[0].title, "Sending Time");
    cal.CalendarVB1->setSelectedDate(QDate(2026, 12, 7));
    for (auto [time, stored] : {std::pair{"12:00 AM", "2026-12-07 00:00:00"}, {"12:00 PM", "2026-12-07 12:00:00"}}) {
        cal.cbTime->setCurrentIndex(cal.cbTime->findText(time));
        cal.cmdOK_Click();
        // Shown as every date-time of the console is.
        EXPECT_EQ(w->txtSchedule->text().toStdString(), DateTimeText(stored));
        compose("Scheduled", {"0121111111"});
        w->cmdSend_Click();
        EXPECT_EQ(count("DateTimeQueue = ?", {stored}), 1) << time;
    }
    boxes.answer(ui::vbNo);
    cal.show();
    cal.cmdCancel_Click();
    EXPECT_TRUE(cal.isVisible());
    EXPECT_EQ(boxes.calls.back().prompt, "You are about to cancel the scheduling. Are you sure?");
    EXPECT_EQ(boxes.calls.back().title, "Confirm time");
    QLocale::setDefault(QLocale::system());
}

TEST_F(Composer, PickerTicksWhatTheComposerHoldsAndOkRebuildsTheList) {
    auto a = contact("Ali", "0121111111");
    auto nameless = contact("", "0122222222");
    group("Staff", {a});
    group("NameOnly", {});
    const std::string ali = std::to_string(a) + ":Ali:0121111111";
    w->addRecipients({"Staff", ali, "0199999999"});
    frmTo to(w.get());
    to.Form_Load();
    EXPECT_EQ(to.windowTitle(), "Vovivaded Ezovaro - Address Book");
    EXPECT_EQ(to.SSTabTo->tabText(0), "Group List");
    EXPECT_EQ(to.SSTabTo->tabText(1), "Contact List");
    ASSERT_EQ(to.contacts->count(), 2);
    EXPECT_EQ(to.contacts->text(1), std::to_string(nameless) + "::0122222222");
    EXPECT_TRUE(to.contacts->isChecked(0));
    EXPECT_FALSE(to.contacts->isChecked(1));
    const int staff = to.groups->text(0) == "Staff" ? 0 : 1;
    EXPECT_TRUE(to.groups->isChecked(staff));
    EXPECT_FALSE(to.groups->isChecked(1 - staff));

    // An empty group ticked: refused before the composer's list is touched.
    to.groups->setChecked(1 - staff, true);
    to.cmdOK_Click();
    EXPECT_EQ(prompts(), std::vector<std::string>{"No contact in group NameOnly!\r\nPlease uncheck group NameOnly."});
    EXPECT_EQ(boxes.calls[0].buttons, ui::vbCritical);
    EXPECT_EQ(boxes.calls[0].title, "Contact Manager - Empty Group");
    EXPECT_EQ(w->recipientEntries(), (std::vector<std::string>{"Staff", ali, "0199999999"}));

    to.groups->setChecked(1 - staff, false);
    to.cmdOK_Click();
    EXPECT_EQ(w->recipientEntries(), (std::vector<std::string>{"Staff", ali}));
    EXPECT_EQ(w->cbRecipient->currentText(), "");

    // "All Contacts" ticked then cleared leaves none ticked, pre-ticked ones too.
    to.Form_Load();
    to.chkALLInd->setChecked(true);
    to.chkALLInd_Click();
    EXPECT_EQ(to.contacts->checkedTexts().size(), 2u);
    to.chkALLInd->setChecked(false);
    to.chkALLInd_Click();
    EXPECT_TRUE(to.contacts->checkedTexts().empty());
}

class Templates : public Composer {
protected:
    void SetUp() override {
        Composer::SetUp();
        db.execute("INSERT INTO Template (TemplateID, Text) VALUES (40000, 'Office closed today')");
        db.execute("INSERT INTO Template (Text) VALUES ('Meeting at 9')");
        t = std::make_unique<frmTemplate>(w.get());
        t->Form_Load();
    }
    void TearDown() override {
        t.reset();
        Composer::TearDown();
    }
    std::unique_ptr<frmTemplate> t;
};

TEST_F(Templates, InsertAppendsDoubleClickReplaces) {
    EXPECT_EQ(t->windowTitle(), "Vovivaded Ezovaro - Template");
    EXPECT_TRUE(t->DataGridTemp->isColumnHidden(0));
    EXPECT_TRUE(t->DataGridTemp->wordWrap());
    EXPECT_EQ(t->model->rowCount(), 2);
    w->setMessageText("Note: ");
    t->cmdInsert_Click();
    t->cmdInsert_Click();
    EXPECT_EQ(w->messageText(), "Note: Office closed todayOffice closed today");
    t->setCurrentRow(1);
    t->DataGridTemp_DblClick();
    EXPECT_EQ(w->messageText(), "Meeting at 9");
}

TEST_F(Templates, AddAndDeleteIncludingLargeIds) {
    boxes.answerText("");
    t->mnuAddTemp_Click();
    boxes.answerText("New one");
    t->mnuAddTemp_Click();
    EXPECT_EQ(t->model->rowCount(), 3);
    t->setCurrentRow(0);  // TemplateID 40000
    boxes.answer(ui::vbYes);
    t->mnuDelTemp_Click();
    EXPECT_EQ(prompts(), (std::vector<std::string>{"You haven't input any template message", "Template message is saved",
                                                   "Are you sure you want to delete the selected template?",
                                                   "Template message is deleted"}));
    EXPECT_EQ(db.scalar("SELECT count(*) FROM Template WHERE TemplateID = 40000")->asInt(), 0);
    EXPECT_EQ(db.scalar("SELECT count(*) FROM Template")->asInt(), 2);
    EXPECT_EQ(t->model->rowCount(), 2);
    // No: nothing deleted. An empty list: logged, nothing shown.
    boxes.answer(ui::vbNo);
    t->mnuDelTemp_Click();
    EXPECT_EQ(db.scalar("SELECT count(*) FROM Template")->asInt(), 2);
    db.execute("DELETE FROM Template");
    t->Form_Load();
    const auto shown = boxes.calls.size();
    t->mnuDelTemp_Click();
    t->cmdInsert_Click();
    EXPECT_EQ(boxes.calls.size(), shown);
    EXPECT_NE(errorLog().find("Error Location: Template : mnuDelTemp"), std::string::npos);
    EXPECT_NE(errorLog().find("Error Location: Template : insert template on SMS"), std::string::npos);
}

}  // namespace
}  // namespace parlix::console::testing

int main(int argc, char** argv) {
    // Listing the tests happens without the test's environment: never look for a display.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
