// The contact editor offscreen with scripted boxes: add and edit with memberships, the
// boxes in their order, Cancel and closing, and nothing of one contact left on the next.
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QTableView>

#include "console/shell/Windows.h"
#include "console/shell/tests/MainWindowDb.h"

namespace parlix::console {
namespace {

class ContactEditor : public test::MainWindowDb {
protected:
    frmContact* editor() { return frmContact::existing(); }
    std::vector<std::string> items(bool tickedOnly = false) {
        std::vector<std::string> out;
        for (int i = 0; i < editor()->lvwGroup->count(); ++i)
            if (!tickedOnly || editor()->lvwGroup->item(i)->checkState() == Qt::Checked)
                out.push_back(editor()->lvwGroup->item(i)->text().toStdString());
        return out;
    }
    void tick(const std::string& group, bool on = true) {
        auto found = editor()->lvwGroup->findItems(QString::fromStdString(group), Qt::MatchExactly);
        ASSERT_EQ(found.size(), 1) << group;
        found[0]->setCheckState(on ? Qt::Checked : Qt::Unchecked);
    }
    void type(const std::string& name, const std::string& mobile, const std::string& company = "") {
        editor()->TxtName->setText(QString::fromStdString(name));
        editor()->TxtMobile->setText(QString::fromStdString(mobile));
        editor()->TxtComName->setText(QString::fromStdString(company));
    }
    std::string text(QLineEdit* e) { return e->text().toStdString(); }
    std::vector<std::string> groupsOf(std::int64_t id) {
        std::vector<std::string> out;
        for (auto& r : c.query("SELECT GroupName || '|' || Mobile FROM Groups WHERE ContactID = ? ORDER BY GroupName",
                               {static_cast<long long>(id)}))
            out.push_back(r[0].asText());
        return out;
    }
    void properties(int row, bool fromGroup) {
        w->DataGrid->setCurrentIndex(w->DataGridModel->index(row, 0));
        if (fromGroup) w->pmnuProperties01_Click();
        else w->pmnuProperties_Click();
    }
};

TEST_F(ContactEditor, AddModeSavesTheCleanedNumberWithTheTickedGroupsAndAsksInOrder) {
    group("A");
    group("B");
    group("C");
    open();
    click(NodeKind::AddressBook);
    EditContact = false;
    ShowContact();
    ASSERT_TRUE(editor() && editor()->isVisible());
    EXPECT_EQ(editor()->windowTitle().toStdString(), "Contact Manager");
    EXPECT_EQ(items(), (std::vector<std::string>{"A", "B", "C"}));

    // A number that is empty once blanks and "-" are gone: the window keeps everything.
    for (const char* blank : {"   ", "---", " - \t-"}) {
        boxes.calls.clear();
        type("Ali", blank);
        editor()->cmdOK_Click();
        ASSERT_EQ(boxes.calls.size(), 1u) << blank;
        EXPECT_EQ(boxes.calls[0].prompt, "Mobile number is empty. Please enter the mobile number.");
        EXPECT_EQ(boxes.calls[0].buttons, ui::vbExclamation);
        EXPECT_EQ(boxes.calls[0].title, "Contact Manager - Incomplete record");
    }
    EXPECT_EQ(n("SELECT count(*) FROM AddressBook"), 0);

    tick("A");
    tick("C");
    type("Ali", "012 345-6789", "Acme");
    boxes.calls.clear();
    boxes.answer(ui::vbYes);  // save the new contact
    boxes.answer(ui::vbNo);   // no other one
    editor()->cmdOK_Click();
    EXPECT_EQ(boxes.prompts(),
              (std::vector<std::string>{"Do you want to save the new contact?", "Do you want to create another new contact?"}));
    EXPECT_FALSE(editor()->isVisible());
    const auto ali = n("SELECT ContactID FROM AddressBook WHERE Mobile = '0123456789' AND Name = 'Ali'");
    EXPECT_EQ(groupsOf(ali), (std::vector<std::string>{"A|0123456789", "C|0123456789"}));
    EXPECT_EQ(caption(), "Address Book (1 records)");

    // The same number typed another way is found: No saves nothing, the window stays.
    ShowContact();
    EXPECT_EQ(items(true), std::vector<std::string>{});
    type("Ali 2", "0123-456789 ");
    boxes.calls.clear();
    boxes.answer(ui::vbNo);
    editor()->cmdOK_Click();
    EXPECT_EQ(boxes.prompts(), std::vector<std::string>{"Do you want to create a new contact with the same mobile number?"});
    EXPECT_EQ(boxes.calls[0].title, "Contact Manager - Save Changes");
    EXPECT_TRUE(editor()->isVisible());
    EXPECT_EQ(text(editor()->TxtName), "Ali 2");
    EXPECT_EQ(n("SELECT count(*) FROM AddressBook"), 1);

    // Yes adds a second contact; "another" clears the window for the next one.
    ChangeExistingContact = true;
    boxes.answer(ui::vbYes);
    boxes.answer(ui::vbYes);
    editor()->cmdOK_Click();
    EXPECT_FALSE(ChangeExistingContact);
    EXPECT_EQ(n("SELECT count(*) FROM AddressBook WHERE Mobile = '0123456789'"), 2);
    EXPECT_TRUE(editor()->isVisible());
    EXPECT_EQ(text(editor()->TxtName) + text(editor()->TxtMobile), "");
    EXPECT_EQ(caption(), "Address Book (2 records)");

    // Not saved: the message, then the closing question (No keeps the window).
    type("Chen", "0133333333");
    boxes.calls.clear();
    boxes.answer(ui::vbNo);
    boxes.answer(ui::vbOK);
    boxes.answer(ui::vbNo);
    editor()->cmdOK_Click();
    EXPECT_EQ(boxes.prompts(), (std::vector<std::string>{"Do you want to save the new contact?", "No record is saved",
                                                         "Closing the Contact. Are you sure?"}));
    EXPECT_EQ(boxes.calls[1].title, "Contact Manager - Record not saved");
    EXPECT_TRUE(editor()->isVisible());
    EXPECT_EQ(n("SELECT count(*) FROM AddressBook"), 2);
}

TEST_F(ContactEditor, EditSavesOverTheSameContactAndNothingOfItStaysForTheNext) {
    group("A");
    group("B");
    group("C");
    const auto ali = contact("Ali", "0121111111", "Acme");
    c.execute("INSERT INTO Groups (GroupName, ContactID, Mobile) VALUES ('A', ?, '0121111111'), ('B', ?, '0121111111')",
              {static_cast<long long>(ali), static_cast<long long>(ali)});
    c.execute("INSERT INTO AddressBook (Mobile) VALUES ('0132222222')");  // no name, no company
    open();
    click(NodeKind::AddressBook);
    properties(0, false);
    ASSERT_TRUE(editor() && editor()->isVisible());
    EXPECT_TRUE(EditContact);
    EXPECT_EQ(CurrentContactID, ali);
    EXPECT_EQ(editor()->windowTitle().toStdString(), "Ali");
    EXPECT_EQ(editor()->lblContact->text().toStdString(), "Ali");
    EXPECT_EQ(text(editor()->TxtComName), "Acme");
    EXPECT_EQ(items(true), (std::vector<std::string>{"A", "B"}));

    // A new number, A cleared, C ticked: the same contact is updated, without a box.
    tick("A", false);
    tick("C");
    type("Ali B", "019-8765432", "Acme");
    editor()->cmdOK_Click();
    EXPECT_TRUE(boxes.calls.empty());
    EXPECT_TRUE(ChangeExistingContact);
    EXPECT_FALSE(editor()->isVisible());
    EXPECT_EQ(n("SELECT count(*) FROM AddressBook"), 2);
    EXPECT_EQ(n("SELECT count(*) FROM AddressBook WHERE ContactID = ? AND Name = 'Ali B' AND Mobile = '0198765432'",
                {static_cast<long long>(ali)}),
              1);
    EXPECT_EQ(groupsOf(ali), (std::vector<std::string>{"B|0121111111", "C|0198765432"}));

    // The next contact has Null fields: they show empty, nothing ticked.
    properties(1, false);
    EXPECT_EQ(text(editor()->TxtName) + text(editor()->TxtComName), "");
    EXPECT_EQ(text(editor()->TxtMobile), "0132222222");
    EXPECT_EQ(items(true), std::vector<std::string>{});
    // "Add Contact" right after an edit: add mode, empty.
    tick("B");
    w->pmnuAddContact_Click();
    EXPECT_FALSE(EditContact);
    EXPECT_EQ(text(editor()->TxtName) + text(editor()->TxtMobile) + text(editor()->TxtComName), "");
    EXPECT_EQ(items(true), std::vector<std::string>{});
    EXPECT_EQ(editor()->windowTitle().toStdString(), "Contact Manager");
}

TEST_F(ContactEditor, CancelAndTheCloseBoxAskAndLeaveNoGroupJumpBehind) {
    const auto ali = contact("Ali", "0121111111");
    group("G", {ali});
    open();
    click(NodeKind::Group, "G");
    properties(0, true);
    ASSERT_TRUE(EditFromGroup);
    type("Ali (changed)", "0121111111");

    boxes.answer(ui::vbNo);
    editor()->cmdCancel_Click();
    EXPECT_EQ(boxes.prompts(), std::vector<std::string>{"Closing the Contact. Are you sure?"});
    EXPECT_EQ(boxes.calls[0].title, "Contact Manager - Close");
    EXPECT_TRUE(editor()->isVisible());
    EXPECT_EQ(text(editor()->TxtName), "Ali (changed)");
    EXPECT_FALSE(EditFromGroup);

    // The close box: Yes closes and forgets the group, so the Address Book stays itself.
    properties(0, true);
    ASSERT_TRUE(EditFromGroup);
    boxes.answer(ui::vbYes);
    editor()->close();
    EXPECT_FALSE(editor()->isVisible());
    EXPECT_FALSE(EditFromGroup);
    click(NodeKind::AddressBook);
    EXPECT_EQ(caption(), "Address Book (1 records)");
    EXPECT_EQ(n("SELECT count(*) FROM AddressBook WHERE Name = 'Ali'"), 1);

    // A save from the group view returns to the group.
    click(NodeKind::Group, "G");
    properties(0, true);
    type("Ali G", "0121111111");
    editor()->cmdOK_Click();
    EXPECT_EQ(caption(), "Address Book (1 contacts in group G)");
    EXPECT_FALSE(EditFromGroup);
}

TEST_F(ContactEditor, TheGroupListIsReadAtEachOpeningAndFollowsTheMainWindow) {
    group("A");
    open();
    EditContact = false;
    ShowContact();
    EXPECT_EQ(items(), std::vector<std::string>{"A"});
    // Groups another console adds or deletes show at the next opening.
    c.execute("INSERT INTO Groups (GroupName) VALUES ('Gone')");
    ShowContact();
    EXPECT_EQ(items(), (std::vector<std::string>{"A", "Gone"}));
    c.execute("DELETE FROM Groups WHERE GroupName = 'Gone'");
    ShowContact();
    EXPECT_EQ(items(), std::vector<std::string>{"A"});

    // New, rename and delete in the main window change the open editor; ticks stay.
    boxes.answerText("New");
    w->AddNewGroup();
    EXPECT_EQ(items(), (std::vector<std::string>{"A", "New"}));
    tick("A");
    w->tvwMessage->setCurrentItem(w->node(NodeKind::Group, "A"));
    boxes.answerText("A2");
    w->pmnuGroup_Rename_Click();
    w->tvwMessage->setCurrentItem(w->node(NodeKind::Group, "New"));
    boxes.answer(ui::vbYes);
    w->DeleteGroup();
    EXPECT_EQ(items(), std::vector<std::string>{"A2"});
    EXPECT_EQ(items(true), std::vector<std::string>{"A2"});
}

TEST_F(ContactEditor, ASaveThatFailsWritesNothingAndSaysSo) {
    group("A");
    open();
    EditContact = false;
    ShowContact();
    tick("A");
    type("Ali", "0121111111");
    c.execute("CREATE TRIGGER full BEFORE INSERT ON Groups BEGIN SELECT RAISE(ABORT, 'disk full'); END");
    boxes.answer(ui::vbYes);
    editor()->cmdOK_Click();
    EXPECT_EQ(boxes.prompts(), (std::vector<std::string>{"Do you want to save the new contact?", "No record is saved"}));
    EXPECT_EQ(boxes.calls[1].buttons, ui::vbCritical);
    EXPECT_EQ(n("SELECT count(*) FROM AddressBook"), 0);
    EXPECT_TRUE(editor()->isVisible());
    EXPECT_EQ(text(editor()->TxtName), "Ali");
    EXPECT_NE(errorLog().find("frmContact-CmdOK_Click"), std::string::npos);
}

}  // namespace
}  // namespace parlix::console
