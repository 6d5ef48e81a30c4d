// The main window's group, contact and message actions offscreen with scripted boxes:
// what the boxes ask, and what the tables, the tree and the captions show afterwards.
#include <QAction>
#include <functional>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QTableView>

#include "console/dialogs/ComposeBox.h"
#include "console/dialogs/frmNewSMS.h"
#include "console/shell/tests/MainWindowDb.h"

namespace parlix::console {
namespace {

class GroupActions : public test::MainWindowDb {
protected:
    void TearDown() override {
        if (frmNewSMS::instance()->isVisible()) {
            boxes.answer(ui::vbYes);
            frmNewSMS::instance()->close();
        }
        MainWindowDb::TearDown();
    }
    std::vector<std::string> titles() {
        std::vector<std::string> out;
        for (const auto& call : boxes.calls) out.push_back(call.title);
        return out;
    }
    std::int64_t rows(const std::string& group) { return n("SELECT count(*) FROM Groups WHERE GroupName = ?", {group}); }
    void selectNode(const std::string& group) { w->tvwMessage->setCurrentItem(w->node(NodeKind::Group, group)); }
    // The grid row whose field holds the value.
    int rowOf(const std::string& field, const std::string& value) {
        db::Recordset* rs = w->DataGridModel->recordset();
        const int col = rs->fieldIndex(field);
        for (int r = 0; r < w->DataGridModel->rowCount(); ++r)
            if (rs->valueAt(r, col).asText() == value) return r;
        return -1;
    }
    void current(int row) { w->DataGrid->setCurrentIndex(w->DataGridModel->index(row, 0)); }
};

TEST_F(GroupActions, ANewGroupIsAskedForUntilItsNameIsRight) {
    group("Staff");
    open();
    const std::string fifty(50, 'g');
    // Each refused name is followed by the OK of its message box.
    for (const std::string& a : {std::string("a'b"), std::string("Inbox"), fifty + "g", std::string("Staff  ")}) {
        boxes.answerText(a);
        boxes.answer(ui::vbOK);
    }
    boxes.answerText(fifty);
    w->mnuGroup->trigger();
    EXPECT_EQ(boxes.prompts(), (std::vector<std::string>{"Group name must not contain \"single quote\" please try again!",
                                                         "Duplicate group name, please input again.",
                                                         "The group name cannot be more than 50 characters.",
                                                         "Duplicate group name, please input again."}));
    EXPECT_EQ(boxes.calls[0].title, "Contact Manager - New group");
    EXPECT_EQ(boxes.calls[0].prompt, "Enter the new group name (max 50 chars):");
    EXPECT_EQ(groupNodes(), (std::vector<std::string>{"Staff", fifty}));
    EXPECT_EQ(General::kindOf(w->node(NodeKind::Group, fifty)), NodeKind::Group);
    EXPECT_EQ(n("SELECT count(*) FROM Groups WHERE GroupName = ? AND ContactID IS NULL", {fifty}), 1);
    EXPECT_EQ(w->lblStatusGroup->text().toStdString(), "2 group");

    // Trailing blanks are not kept; Cancel stops with the warning.
    boxes.calls.clear();
    boxes.answerText("Team  ");
    w->Toolbar_ButtonClick(3);
    w->pmnuAllContact_AddGroup->trigger();
    EXPECT_EQ(groupNodes().back(), "Team");
    EXPECT_EQ(boxes.prompts(), std::vector<std::string>{"You haven't enter any group name"});
    EXPECT_EQ(titles().back(), "Contact Manager - Warning");
}

TEST_F(GroupActions, RenameRefusesQuotesFoldersAndExistingNamesEvenUnderASearch) {
    const auto a = contact("Ali", "011"), b = contact("Badu", "012");
    group("G", {a, b});
    group("H");
    open();
    click(NodeKind::Group, "G");
    // A search in the group view narrows the group names to G (the search marker).
    w->rsGroupNames.setFilter(db::Criteria::equals("GroupName", "G"));
    for (const char* answer : {"it's", "H ", "Sent Items"}) {
        boxes.answerText(answer);
        boxes.answer(ui::vbOK);
    }
    boxes.answerText("G2");
    w->pmnuGroup_Rename->trigger();
    EXPECT_EQ(boxes.calls[0].prompt, "The old group name is G.\nPlease enter the new group name (max 50 chars):");
    EXPECT_EQ(boxes.calls[0].title, "");
    EXPECT_EQ(boxes.prompts(), (std::vector<std::string>{"Group name must not contain \"single quote\" please try again!",
                                                         "Duplicate group name, please input again.",
                                                         "Duplicate group name, please input again."}));
    EXPECT_EQ(rows("G2"), 3);
    EXPECT_EQ(rows("G"), 0);
    EXPECT_EQ(rows("H"), 1);
    EXPECT_EQ(groupNodes(), (std::vector<std::string>{"G2", "H"}));
    EXPECT_EQ(caption(), "Address Book (2 contacts in group G2)");

    boxes.calls.clear();
    w->pmnuGroup_Rename_Click();  // Cancel
    EXPECT_EQ(boxes.prompts(), std::vector<std::string>{"You haven't enter any group name"});
    EXPECT_EQ(rows("G2"), 3);
}

// Actions that end on the summary leave "Messages" highlighted, with its menus: the
// node that stays highlighted is the one shown.
TEST_F(GroupActions, TheSummaryAfterAGroupChangeOrAnImportHighlightsMessages) {
    const auto a = contact("Ali", "011");
    group("G", {a});
    group("H", {a});
    open();
    const struct {
        const char* name;
        std::function<void()> act;
    } actions[] = {
        {"add group", [&] {
             boxes.answerText("New");
             w->pmnuGroup_AddGroup->trigger();
         }},
        {"delete group", [&] {
             boxes.answer(ui::vbYes);
             boxes.answer(ui::vbOK);
             w->pmnuGroup_DeleteGroup->trigger();
         }},
        {"import", [&] {  // what the import does once it has written the contacts
             w->AddBookDataGrid();
             w->Status();
         }},
    };
    for (const auto& action : actions) {
        click(NodeKind::Group, action.name == std::string("delete group") ? "G" : "H");
        ASSERT_TRUE(w->mnuSearch->isEnabled()) << action.name;
        action.act();
        EXPECT_EQ(w->selectedNode(), w->node(NodeKind::Messages)) << action.name;
        EXPECT_FALSE(w->frmStatus->isHidden()) << action.name;
        EXPECT_FALSE(w->mnuSearch->isEnabled()) << action.name;
        EXPECT_FALSE(w->mnuInbox->isEnabled() || w->mnuOutbox->isEnabled() || w->mnuSentItems->isEnabled())
            << action.name;
    }
    EXPECT_EQ(groupNodes(), (std::vector<std::string>{"H", "New"}));
}

TEST_F(GroupActions, DeleteGroupRemovesEveryRowAndTheNodeButNoContact) {
    const auto a = contact("Ali", "011");
    group("G", {a});
    group("Other", {a});
    open();
    selectNode("G");
    boxes.answer(ui::vbNo);
    w->pmnuGroup_DeleteGroup->trigger();
    EXPECT_EQ(rows("G"), 2);
    boxes.calls.clear();
    boxes.answer(ui::vbYes);
    w->DeleteGroup();
    EXPECT_EQ(boxes.prompts(),
              (std::vector<std::string>{"Are you sure you want to delete the group: G\nDeleting this group will not delete "
                                        "the contact(s) in this group.",
                                        "The group: G is deleted. Contact(s) in the deleted group still remains in the "
                                        "Address Book."}));
    EXPECT_EQ(titles(), (std::vector<std::string>{"Contact Manager - Delete Group", "Contact Manager - Delete Confirmation"}));
    EXPECT_EQ(rows("G"), 0);
    EXPECT_EQ(rows("Other"), 2);
    EXPECT_EQ(groupNodes(), std::vector<std::string>{"Other"});
    EXPECT_EQ(n("SELECT count(*) FROM AddressBook"), 1);
    EXPECT_EQ(w->lblStatusGroup->text().toStdString(), "1 group");
}

TEST_F(GroupActions, RemoveSelectedSkipsAContactNoLongerInTheGroupTellsAndReloads) {
    const auto a = contact("Ali", "011"), b = contact("Badu", "012"), cc = contact("Chen", "013");
    group("G", {a, b, cc});
    open();
    click(NodeKind::Group, "G");
    selectRows({rowOf("Name", "Ali"), rowOf("Name", "Badu")});
    boxes.answer(ui::vbNo);
    w->pmnuRemoveContact->trigger();
    EXPECT_EQ(boxes.prompts().back(), "No record is removed!");
    EXPECT_EQ(rows("G"), 4);

    // Another user removed Badu meanwhile.
    c.execute("DELETE FROM Groups WHERE ContactID = ?", {static_cast<long long>(b)});
    boxes.calls.clear();
    boxes.answer(ui::vbYes);
    w->pmnuRemoveContact_Click();
    EXPECT_EQ(boxes.prompts(),
              (std::vector<std::string>{"Are you sure you want to remove the selected record from G?\nThis contact will "
                                        "not be deleted from the Address Book.",
                                        "Selected record is removed.\n1 of the selected contacts were no longer in G and "
                                        "were skipped."}));
    EXPECT_EQ(n("SELECT count(*) FROM Groups WHERE GroupName = 'G' AND ContactID > 0"), 1);
    EXPECT_EQ(caption(), "Address Book (1 contacts in group G)");
    EXPECT_EQ(n("SELECT count(*) FROM AddressBook"), 3);
}

TEST_F(GroupActions, RemoveAllTakesEveryMemberOrExactlyTheSearchedOnes) {
    const auto a = contact("Ali", "011", "O'Brien & Co"), b = contact("Badu", "012", "O'Brien & Co"),
               cc = contact("Chen", "013", "50% Ltd");
    group("G", {a, b, cc});
    open();
    click(NodeKind::Group, "G");
    // Searched by company, with a quote in the text: only those two go.
    w->mnuSCompany->setChecked(true);
    w->Filters.SearchCompany = "O'Brien";
    w->GroupSearchMarker = "G";
    w->rsGroupMembers.setFilter(db::Criteria::contains("CompanyName", "O'Brien"));
    boxes.answer(ui::vbYes);
    w->pmnuRemoveAllContactFromGroup->trigger();
    EXPECT_EQ(boxes.prompts(), (std::vector<std::string>{"Are you sure you want to remove 2 contacts from G?\nContacts "
                                                         "are not deleted from the Address Book.",
                                                         "2 will be removed from G", "Contacts are removed from G ."}));
    EXPECT_EQ(n("SELECT count(*) FROM Groups WHERE GroupName = 'G' AND ContactID = ?", {static_cast<long long>(cc)}), 1);
    EXPECT_EQ(rows("G"), 2);
    EXPECT_EQ(caption(), "Address Book (1 contacts in group G)");

    // The marker left set but no item ticked: no search, every member goes, the
    // placeholder stays alone.
    c.execute("INSERT INTO Groups (GroupName, ContactID, Mobile) VALUES ('G', ?, '011')", {static_cast<long long>(a)});
    click(NodeKind::Group, "G");
    w->GroupSearchMarker = "G";
    w->rsGroupMembers.setFilter(db::Criteria::contains("Name", "a"));
    boxes.calls.clear();
    boxes.answer(ui::vbYes);
    w->pmnuRemoveAllContactFromGroup_Click();
    EXPECT_EQ(boxes.prompts().front(),
              "Are you sure you want to remove 2 contacts from G?\nContacts are not deleted from the Address Book.");
    EXPECT_EQ(boxes.prompts().back(), "Contacts are removed from G .");
    EXPECT_EQ(rows("G"), 1);
    EXPECT_EQ(n("SELECT count(*) FROM Groups WHERE GroupName = 'G' AND ContactID IS NULL"), 1);
    EXPECT_EQ(n("SELECT count(*) FROM AddressBook"), 3);

    // An empty group: the warning, nothing asked.
    boxes.calls.clear();
    w->pmnuRemoveAllContactFromGroup_Click();
    EXPECT_EQ(boxes.prompts(), std::vector<std::string>{"There are no contacts to be Removed!"});
    // Properties on the empty view does nothing.
    w->pmnuProperties01->trigger();
    EXPECT_FALSE(EditContact);
    EXPECT_TRUE(!frmContact::existing() || !frmContact::existing()->isVisible());
}

TEST_F(GroupActions, ResendFailedQueuesEveryFailedRowAgain) {
    open();
    w->mnuResendFSMS->trigger();
    EXPECT_EQ(boxes.prompts(), std::vector<std::string>{"There is no SMS with failed status!"});
    EXPECT_EQ(boxes.calls[0].title, "Dadozoradava Vevovud - Resend Failed SMS");
    for (int i = 0; i < 3; ++i)
        c.execute("INSERT INTO Outbox (Subject, Mobile, Message, SentStatus, ModemID, DateTimeQueue) "
                  "VALUES ('s', '011', 'm', 'F', 1, '2026-01-01 10:00:00')");
    click(NodeKind::Outbox);
    EXPECT_EQ(caption(), "Outbox (0 records)");
    boxes.calls.clear();
    w->mnuResendFSMS_Click();
    EXPECT_EQ(boxes.prompts(), std::vector<std::string>{"3 SMS resend."});
    EXPECT_EQ(boxes.calls[0].buttons, ui::vbInformation);
    EXPECT_EQ(n("SELECT count(*) FROM Outbox WHERE SentStatus = 'P' AND ModemID = 0"), 3);
    EXPECT_EQ(caption(), "Outbox (3 records)");
}

TEST_F(GroupActions, TheBillingReportAsksForAWholeModemNumberAndShowsTheAmount) {
    c.execute("UPDATE Modem SET ModemNumber = '0133456789', Rate1 = 0.05, Rate2 = 0.10 WHERE ModemID = 1");
    for (const char* m : {"0191111111", "0131111111", "0121111111", "0161111111", "0171111111"})
        c.execute("INSERT INTO Outbox (Subject, Mobile, Message, SentStatus, ModemID) VALUES ('s', ?, 'm', 'S', 1)", {m});
    open();
    EXPECT_FALSE(w->mnuBillMdm->isVisible());
    // Letters ask again silently; an unknown or broken identifier is told (OK) first.
    boxes.answerText("abc");
    boxes.answerText("7");
    boxes.answer(ui::vbOK);
    boxes.answerText("1.5");
    boxes.answer(ui::vbOK);
    boxes.answerText("1");
    w->mnuBillMdm_Click();
    EXPECT_EQ(boxes.prompts(), (std::vector<std::string>{"The Modem ID does not exist!", "The Modem ID does not exist!",
                                                         "SMS billing report for Modem No. 1: RM 0.4"}));
    EXPECT_EQ(boxes.calls.back().title, "Vovivaded Ezovaro - SMS billing report");
    EXPECT_EQ(boxes.calls.back().buttons, ui::vbOKOnly);
    EXPECT_EQ(boxes.calls[0].prompt, "Please input the modem number");
    EXPECT_EQ(boxes.calls[0].title, "Vovivaded Ezovaro - Modem number");

    boxes.calls.clear();
    w->mnuBillMdm_Click();  // Cancel
    EXPECT_EQ(boxes.prompts(), std::vector<std::string>{"You haven't enter any modem number"});
    c.execute("UPDATE Modem SET ModemNumber = '', Rate2 = NULL WHERE ModemID = 1");
    boxes.calls.clear();
    boxes.answerText("1");
    w->mnuBillMdm_Click();
    EXPECT_EQ(boxes.prompts(), (std::vector<std::string>{"The Modem Number is not entered",
                                                         "SMS Rate for inter network operator is not entered!"}));
}

TEST_F(GroupActions, ReplyAndResendFillTheComposerUnderAFreshSubject) {
    // An identifier beyond 16 bits.
    c.execute("INSERT INTO Inbox (MsgID, Message, Name, Mobile, Status, DateTime) VALUES (40000, 'Hi there', 'Unknown', "
              "'0191111111', 'New', '2026-01-01 10:00:00')");
    open();
    click(NodeKind::Inbox);
    current(0);
    w->pmnuReply->trigger();
    frmNewSMS* composer = frmNewSMS::instance();
    ASSERT_TRUE(composer->isVisible());
    EXPECT_EQ(composer->cbRecipient->currentText().toStdString(), "0191111111");
    EXPECT_EQ(composer->messageText(), "Hi there");
    EXPECT_TRUE(w->InboxPosition.valid());

    // The composer's own broadcast went out under its subject; resending a row of it
    // must not reuse that subject.
    const std::string subject = composer->txtSubject->text().toStdString();
    c.execute("INSERT INTO Outbox (Subject, Mobile, Message, SentStatus, DateTimeSent) VALUES (?, '0172222222', "
              "'Meeting', 'S', '2026-01-01 10:00:00')",
              {subject});
    click(NodeKind::SentItems);
    current(0);
    w->pmnuResend_Click();
    EXPECT_EQ(composer->cbRecipient->currentText().toStdString(), "0172222222");
    EXPECT_EQ(composer->messageText(), "Meeting");
    EXPECT_NE(composer->txtSubject->text().toStdString(), subject);
    EXPECT_EQ(composer->txtSubject->text().size(), 12);

    // Reply from any other view does nothing.
    composer->setMessageText("unchanged");
    click(NodeKind::Outbox);
    w->pmnuReply_Click();
    EXPECT_EQ(composer->messageText(), "unchanged");
}

TEST_F(GroupActions, SaveToAddressBookNamesTheUnknownSender) {
    contact("Ali", "0121111111");
    c.execute("INSERT INTO Inbox (Message, Name, Mobile, Status, DateTime) VALUES ('a', 'Unknown', '0175555555', 'Read', "
              "'2026-01-01 10:00:00'), ('b', 'Unknown', '0175555555', 'Read', '2026-01-02 10:00:00'), ('c', 'Ali', "
              "'0121111111', 'New', '2026-01-03 10:00:00')");
    open();
    click(NodeKind::Inbox);
    current(rowOf("Name", "Ali"));
    w->pmnuSaveToContact->trigger();
    EXPECT_EQ(boxes.prompts(), std::vector<std::string>{"This contact is already in the Address Book."});
    EXPECT_TRUE(!frmContact::existing() || !frmContact::existing()->isVisible());

    EditContact = true;  // right after an edit
    current(rowOf("Message", "a"));
    boxes.calls.clear();
    std::string prefilled;
    whenModal([&] {
        frmContact* e = frmContact::existing();
        prefilled = e->TxtMobile->text().toStdString();
        e->TxtName->setText("Sara");
        boxes.answer(ui::vbYes);
        boxes.answer(ui::vbNo);
        e->cmdOK_Click();
    });
    w->pmnuSaveToContact_Click();
    EXPECT_EQ(prefilled, "0175555555");
    EXPECT_FALSE(EditContact);
    EXPECT_EQ(n("SELECT count(*) FROM Inbox WHERE Name = 'Sara'"), 2);
    EXPECT_EQ(n("SELECT count(*) FROM AddressBook WHERE Name = 'Sara' AND Mobile = '0175555555'"), 1);
}

}  // namespace
}  // namespace parlix::console
