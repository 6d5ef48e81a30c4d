// The main window's group and contact actions: new, rename and delete a group, remove
// members from it, and open the contact editor to add or edit a contact.
#include <QAction>
#include <QItemSelectionModel>
#include <QTableView>
#include <QTreeWidget>
#include <set>

#include "console/dialogs/frmContact.h"
#include "console/shell/General.h"
#include "console/shell/core/ConnectDB.h"
#include "console/shell/core/Groups.h"
#include "console/shell/core/Main1.h"
#include "console/shell/core/Trap.h"
#include "platform/db/qt/RecordsetModel.h"
#include "platform/ui/Dialogs.h"

namespace parlix::console {

namespace {

constexpr const char* kRemoveAllTitle = "Contact Manager - Remove All Contacts from Group";
constexpr const char* kRemoveTitle = "Contact Manager - Remove Record";

// Asks again until the name passes or the user gives up; the name as stored, or "".
std::string askGroupName(const std::string& prompt, const std::string& title) {
    for (;;) {
        const std::string answer = ui::inputBox(prompt, title);
        switch (CheckGroupName(DbConnection, answer)) {
            case GroupNameCheck::Apostrophe:
                ui::msgBox("Group name must not contain \"single quote\" please try again!", ui::vbInformation,
                           "Contact Manager - Illegal Group Name");
                break;
            case GroupNameCheck::Empty:
                ui::msgBox("You haven't enter any group name", ui::vbExclamation, "Contact Manager - Warning");
                return {};
            case GroupNameCheck::Duplicate:
                ui::msgBox("Duplicate group name, please input again.", ui::vbInformation,
                           "Contact Manager - Duplicate group name");
                break;
            case GroupNameCheck::TooLong:
                ui::msgBox("The group name cannot be more than 50 characters.", ui::vbInformation, "Contact Manager");
                break;
            case GroupNameCheck::Ok: return GroupNameOf(answer);
        }
    }
}

}  // namespace

void General::connectGroupActions() {
    for (QAction* a : {mnuGroup, pmnuAllContact_AddGroup, pmnuGroup_AddGroup})
        connect(a, &QAction::triggered, this, [this] { AddNewGroup(); });
    connect(pmnuGroup_Rename, &QAction::triggered, this, [this] { pmnuGroup_Rename_Click(); });
    connect(pmnuGroup_DeleteGroup, &QAction::triggered, this, [this] { DeleteGroup(); });
    connect(pmnuRemoveContact, &QAction::triggered, this, [this] { pmnuRemoveContact_Click(); });
    connect(pmnuRemoveAllContactFromGroup, &QAction::triggered, this,
            [this] { pmnuRemoveAllContactFromGroup_Click(); });
    connect(mnuContact, &QAction::triggered, this, [this] { mnuContact_Click(); });
    for (QAction* a : {pmnuAllContact_AddContact, pmnuGroup_AddContact, pmnuAddContact})
        connect(a, &QAction::triggered, this, [this] { pmnuAddContact_Click(); });
    connect(pmnuProperties, &QAction::triggered, this, [this] { pmnuProperties_Click(); });
    connect(pmnuProperties01, &QAction::triggered, this, [this] { pmnuProperties01_Click(); });
}

void General::AddNewGroup() {
    Trap("General : Add new group", [this] {
        if (!EnsureDbConnection()) return tellDatabaseMissingOnce();
        const std::string name = askGroupName("Enter the new group name (max 50 chars):", "Contact Manager - New group");
        if (!name.empty()) newSavedGroup(name);
    });
}

void General::pmnuGroup_Rename_Click() {
    Trap("General-pmnuGroup_Rename", [this] {
        QTreeWidgetItem* item = selectedNode();
        if (kindOf(item) != NodeKind::Group || !EnsureDbConnection()) return;
        const std::string g = textOf(item);
        SelectedNodeText = g;
        const std::string name =
            askGroupName("The old group name is " + g + "." + "\n" + "Please enter the new group name (max 50 chars):", "");
        if (name.empty()) return;
        RenameGroup(DbConnection, g, name);
        item->setText(0, QString::fromStdString(name));
        if (frmContact* editor = frmContact::existing()) editor->groupRenamed(g, name);
        rsGroupNames.clearFilter();
        rsGroupNames.requery();
        SelectedNodeText = name;
        tvwMessage->setCurrentItem(item);
        shownView_ = NodeKind::Group;
        showContent(true);
        GroupDataGrid(name);
    });
}

void General::DeleteGroup() {
    Trap("General : Delete Group", [this] {
        QTreeWidgetItem* item = selectedNode();
        if (kindOf(item) != NodeKind::Group || !EnsureDbConnection()) return;
        const std::string g = textOf(item);
        SelectedNodeText = g;
        if (!GroupExists(DbConnection, g)) {
            ui::msgBox("Cannot delete this group!", ui::vbInformation, "Contact Manager - Cannot delete the group");
            return;
        }
        if (ui::msgBox("Are you sure you want to delete the group: " + g + "\n" +
                           "Deleting this group will not delete the contact(s) in this group.",
                       ui::vbYesNo, "Contact Manager - Delete Group") != ui::vbYes)
            return;
        DeleteGroupRows(DbConnection, g);
        if (DataGridModel->recordset() == &rsGroupMembers) DataGridModel->setRecordset(nullptr);
        delete item;
        if (frmContact* editor = frmContact::existing()) editor->groupDeleted(g);
        ui::msgBox("The group: " + g + " is deleted. Contact(s) in the deleted group still remains in the Address Book.",
                   ui::vbInformation, "Contact Manager - Delete Confirmation");
        AddBookDataGrid();
        Status();
    });
}

void General::pmnuRemoveContact_Click() {
    Trap("General : Remove Contact from Group", [this] {
        if (!EnsureDbConnection()) return tellDatabaseMissingOnce();
        if (shownView_ != NodeKind::Group || !rsGroupMembers.isOpen() || rsGroupMembers.recordCount() == 0) {
            ui::msgBox("There are no contacts to be removed!", ui::vbExclamation, "Contact Manager - Remove Contacts");
            return;
        }
        const std::string g = shownGroup_;
        // The selected rows, or the current one.
        const int idColumn = rsGroupMembers.fieldIndex("ContactID");
        std::set<int> rows;
        for (const QModelIndex& i : DataGrid->selectionModel()->selectedRows()) rows.insert(i.row());
        if (rows.empty() && DataGrid->currentIndex().isValid()) rows.insert(DataGrid->currentIndex().row());
        if (rows.empty()) rows.insert(0);
        std::vector<std::int64_t> ids;
        for (int r : rows) ids.push_back(rsGroupMembers.valueAt(r, idColumn).asInt());
        if (!GroupExists(DbConnection, g)) {
            ui::msgBox("No record to be deleted!", ui::vbInformation, kRemoveTitle);
            return;
        }
        if (ui::msgBox("Are you sure you want to remove the selected record from " + g + "?" + "\n" +
                           "This contact will not be deleted from the Address Book.",
                       ui::vbYesNo, kRemoveTitle) != ui::vbYes) {
            ui::msgBox("No record is removed!", ui::vbInformation, kRemoveTitle);
            return;
        }
        const RemoveResult r = RemoveMembers(DbConnection, g, ids);
        std::string text = "Selected record is removed.";
        if (!r.notMember.empty())
            text += "\n" + std::to_string(r.notMember.size()) + " of the selected contacts were no longer in " + g +
                    " and were skipped.";
        ui::msgBox(text, ui::vbInformation, kRemoveTitle);
        GroupDataGrid(g);
    });
}

void General::pmnuRemoveAllContactFromGroup_Click() {
    Trap("General : Remove All Contact from Group", [this] {
        if (!EnsureDbConnection()) return tellDatabaseMissingOnce();
        if (shownView_ != NodeKind::Group || !rsGroupMembers.isOpen() || rsGroupMembers.recordCount() == 0) {
            ui::msgBox("There are no contacts to be Removed!", ui::vbExclamation, kRemoveAllTitle);
            return;
        }
        const std::string g = shownGroup_;
        if (!GroupExists(DbConnection, g)) {
            ui::msgBox("There are no records to be removed!", ui::vbExclamation, kRemoveAllTitle);
            return;
        }
        // A search is on when its item is ticked, the marker names this group and the view
        // is filtered; the members are counted and removed by its own criterion.
        const bool searched = (mnuSCompany->isChecked() || mnuSMobile->isChecked() || mnuSName->isChecked()) &&
                              GroupSearchMarker == g && rsGroupMembers.filtered();
        const SearchField field = mnuSCompany->isChecked() ? SearchField::Company
                                  : mnuSMobile->isChecked() ? SearchField::Mobile
                                                            : SearchField::Name;
        const std::string& text = field == SearchField::Company ? Filters.SearchCompany
                                  : field == SearchField::Mobile ? Filters.SearchMobile
                                                                 : Filters.SearchName;
        const std::int64_t n = searched ? CountSearchedMembers(DbConnection, g, field, text) : CountMembers(DbConnection, g);
        if (ui::msgBox("Are you sure you want to remove " + std::to_string(n) + " contacts" + " from " + g + "?" +
                           "\n" + "Contacts are not deleted from the Address Book.",
                       ui::vbYesNo, kRemoveAllTitle) != ui::vbYes) {
            if (searched) ui::msgBox("There are no records to be removed!", ui::vbExclamation, kRemoveAllTitle);
            else ui::msgBox("No records are removed.", ui::vbInformation, kRemoveAllTitle);
            return;
        }
        if (searched) {
            if (field == SearchField::Company) {
                Counts.ShownCount = n;
                ui::msgBox(std::to_string(n) + " will be removed from " + g, ui::vbInformation, kRemoveAllTitle);
            }
            RemoveSearchedMembers(DbConnection, g, field, text);
        } else {
            RemoveAllMembers(DbConnection, g);
        }
        ui::msgBox("Contacts are removed from " + g + " .", ui::vbInformation, kRemoveTitle);
        GroupDataGrid(g);
    });
}

void General::mnuContact_Click() {
    EditContact = false;
    Trap("General-mnuContact_Click", [] { frmContact::instance()->openAdd(true); });
}

void General::pmnuAddContact_Click() {
    EditContact = false;
    Trap("General-pmnuAddContact_Click", [] { frmContact::instance()->openAdd(false); });
}

void General::editContact(db::Recordset& rs, bool fromGroup) {
    Trap("General-pmnuProperties_Click", [&] {
        if (!rs.isOpen() || rs.recordCount() == 0 || DataGridModel->recordset() != &rs) return;
        const QModelIndex current = DataGrid->currentIndex();
        if (current.isValid()) DataGridModel->setCurrentRow(current.row());
        if (rs.eof() || rs.bof()) return;
        CurrentContactID = static_cast<std::int32_t>(rs.integer("ContactID"));
        EditContact = true;
        if (fromGroup) {
            EditFromGroup = true;
            SelectedNodeText = shownGroup_;
        }
        frmContact::instance()->DisplayRecord(CurrentContactID);
    });
}

void General::pmnuProperties_Click() { editContact(rsAddressBook, false); }
void General::pmnuProperties01_Click() { editContact(rsGroupMembers, true); }

}  // namespace parlix::console
