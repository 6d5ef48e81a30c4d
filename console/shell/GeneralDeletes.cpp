// Deleting messages and contacts from the grid's pop-up menus. The rows chosen are read
// (their identifiers) before anything is requeried; deletes run as set statements
// (console/shell/core/Deletes.h), never row by row through the view's record set, so
// a search or filter on a set cannot stop one half-way.
#include <QAction>
#include <QApplication>
#include <QItemSelectionModel>
#include <QProgressDialog>
#include <QTableView>
#include <memory>

#include "console/shell/General.h"
#include "console/shell/core/ConnectDB.h"
#include "console/shell/core/Deletes.h"
#include "console/shell/core/Trap.h"
#include "console/shell/core/Main1.h"
#include "platform/db/Transaction.h"
#include "platform/db/qt/RecordsetModel.h"
#include "platform/ui/Dialogs.h"

namespace parlix::console {

namespace {

constexpr const char* kTitle = "Parlix Basic Edition";
constexpr const char* kRecordTitle = "Vovivaded Ezovaro - Delete Record";

bool yes(const std::string& prompt, const std::string& title) {
    return ui::msgBox(prompt, ui::vbYesNo, title) == ui::vbYes;
}

// Identifiers of the selected rows (by ranges: a large selection is not listed row by
// row by the view), in row order.
std::vector<std::int64_t> selectedIds(General& g, db::Recordset& rs, const char* column) {
    std::vector<std::int64_t> ids;
    const int col = rs.fieldIndex(column);
    if (col < 0) return ids;
    for (const QItemSelectionRange& r : g.DataGrid->selectionModel()->selection())
        for (int row = r.top(); row <= r.bottom(); ++row) {
            const db::Value v = rs.valueAt(row, col);
            if (!v.isNull()) ids.push_back(v.asInt());
        }
    return ids;
}

std::optional<std::int64_t> currentId(General& g, db::Recordset& rs, const char* column) {
    const QModelIndex current = g.DataGrid->currentIndex();
    const int col = rs.fieldIndex(column);
    if (!current.isValid() || col < 0 || current.row() >= rs.recordCount()) return std::nullopt;
    const db::Value v = rs.valueAt(current.row(), col);
    if (v.isNull()) return std::nullopt;
    return v.asInt();
}

std::int64_t selectedCount(General& g) {
    std::int64_t n = 0;
    for (const QItemSelectionRange& r : g.DataGrid->selectionModel()->selection()) n += r.height();
    return n;
}

// The chosen rows: the selection when it holds at least `minSelected` rows, else the
// current row.
std::vector<std::int64_t> chosenIds(General& g, db::Recordset& rs, const char* column, std::int64_t minSelected) {
    if (selectedCount(g) >= minSelected) return selectedIds(g, rs, column);
    auto id = currentId(g, rs, column);
    return id ? std::vector<std::int64_t>{*id} : std::vector<std::int64_t>{};
}

bool onNode(General& g, NodeKind kind) {
    SelectedNodeText = General::textOf(g.selectedNode());
    return General::kindOf(g.selectedNode()) == kind;
}

// Batches with a progress window once the work lasts; the window stays painted.
BatchResult deleteWithProgress(General& g, const DeleteScope& scope, const ScopeSnapshot& rows,
                               const QString& label) {
    std::unique_ptr<QProgressDialog> dialog;
    return DeleteInBatches(DbConnection, scope, rows, [&](std::int64_t done, std::int64_t total) {
        if (!dialog) {
            dialog = std::make_unique<QProgressDialog>(label, QString(), 0, 1000, &g);
            dialog->setWindowTitle(kTitle);
            dialog->setWindowModality(Qt::WindowModal);
            dialog->setMinimumDuration(500);
            dialog->setCancelButton(nullptr);
        }
        dialog->setValue(total > 0 ? static_cast<int>(done * 1000 / total) : 1000);
        QApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
    }, g.deleteBatches);
}

struct FolderDelete {
    NodeKind kind;
    Folder folder;
    db::Recordset General::*rs;
    const char* where;  // " messages in the Inbox?"
    const char* all;    // "Are you sure you want to delete all the messages in the Inbox?"
    void (General::*reset)();
};

void deleteAll(General& g, const FolderDelete& f) {
    if (!onNode(g, f.kind)) return;
    db::Recordset& rs = g.*f.rs;
    // The rows the view holds now: the prompt's number and exactly what goes. A filter
    // on the set narrows the delete exactly as it narrows the view.
    const bool filtered = rs.isOpen() && rs.filtered();
    const DeleteScope scope = MessageScope(f.folder, filtered ? rs.filter() : db::Criteria());
    const ScopeSnapshot rows(DbConnection, scope);
    if (rows.count() == 0) {
        ui::msgBox("There are no messages to be deleted!", ui::vbExclamation, kTitle);
        return;
    }
    const std::string prompt = filtered ? "Are you sure you want to delete " + std::to_string(rows.count()) + f.where
                                        : std::string(f.all);
    if (!yes(prompt, std::string(kTitle) + " - Delete Record")) {
        ui::msgBox("Message not deleted.", ui::vbInformation, kTitle);
        return;
    }
    deleteWithProgress(g, scope, rows, "Deleting messages...");
    ui::msgBox("Record(s) deleted.", ui::vbInformation, std::string(kTitle) + " - Delete Record");
    (g.*f.reset)();
}

// Contacts and every membership they have (a contact and its memberships go together).
void deleteContacts(const std::vector<std::int64_t>& ids) { DeleteIds(DbConnection, ContactScope(), ids); }

// After a group's contacts went, the view shows the group again without a search.
void groupShownAfresh(General& g) {
    g.GroupSearchMarker.clear();
    for (QAction* a : {g.mnuSName, g.mnuSMobile, g.mnuSCompany}) a->setChecked(false);
    g.AddBookDataGrid();
    g.GroupDataGrid(SelectedNodeText);
}

}  // namespace

void General::connectDeletes() {
    const std::pair<QAction*, void (General::*)()> handlers[] = {
        {pmnuDeleteInbox, &General::pmnuDeleteInbox_Click},
        {pmnuDeleteOutbox, &General::pmnuDeleteOutbox_Click},
        {pmnuDeleteSent, &General::pmnuDeleteSent_Click},
        {pmnuDeleteAllInbox, &General::pmnuDeleteAllInbox_Click},
        {pmnuDeleteAllOutbox, &General::pmnuDeleteAllOutbox_Click},
        {pmnuDeleteAllSent, &General::pmnuDeleteAllSent_Click},
        {pmnuDeleteContact, &General::pmnuDeleteContact_Click},
        {pmnuDeleteAllContact, &General::pmnuDeleteAllContact_Click},
        {pmnuDeleteContactFromGroup, &General::pmnuDeleteContactFromGroup_Click},
        {pmnuDeleteAllFromGroup, &General::pmnuDeleteAllFromGroup_Click},
    };
    for (const auto& [item, handler] : handlers)
        connect(item, &QAction::triggered, this, [this, handler = handler] { (this->*handler)(); });
}

// ---- messages ------------------------------------------------------------------------

void General::pmnuDeleteAllInbox_Click() {
    Trap("General : pmnuDeleteAllInbox", [this] {
        deleteAll(*this, {NodeKind::Inbox, Folder::Inbox, &General::rsInbox, " messages in the Inbox?",
                          "Are you sure you want to delete all the messages in the Inbox?",
                          &General::mnuInboxRFilter_Click});
    });
}

void General::pmnuDeleteAllOutbox_Click() {
    Trap("General : pmnuDeleteAllOutbox", [this] {
        deleteAll(*this, {NodeKind::Outbox, Folder::Outbox, &General::rsOutbox, " messages in the outbox?",
                          "Are you sure you want to delete all the messages in the outbox?",
                          &General::mnuOutboxRFilter_Click});
    });
}

void General::pmnuDeleteAllSent_Click() {
    Trap("General : pmnuDeleteAllSent", [this] {
        deleteAll(*this, {NodeKind::SentItems, Folder::Sent, &General::rsSent, " messages in the Sent Items?",
                          "Are you sure you want to delete all the messages in the Sent Items?",
                          &General::mnuSentRFilter_Click});
    });
}

void General::pmnuDeleteInbox_Click() {
    Trap("General : Record deletion in Inbox", [this] {
        if (!onNode(*this, NodeKind::Inbox) || !rsInbox.isOpen()) return;
        const auto ids = chosenIds(*this, rsInbox, "MsgID", 1);
        if (ids.empty()) return (void)ui::msgBox("There are no messages to be deleted!", ui::vbExclamation, kTitle);
        if (!yes("Are you sure you want to delete the selected record?", kRecordTitle)) return;
        // Rows gone meanwhile are skipped; the rest go.
        if (DeleteIds(DbConnection, MessageScope(Folder::Inbox), ids) > 0)
            ui::msgBox("Selected record is deleted.", ui::vbInformation, kRecordTitle);
        InboxDataGrid();
    });
}

void General::pmnuDeleteSent_Click() {
    Trap("General : Record deletion in Sent Item", [this] {
        if (!onNode(*this, NodeKind::SentItems) || !rsSent.isOpen()) return;
        const auto ids = chosenIds(*this, rsSent, "MsgID", 1);
        if (ids.empty()) return (void)ui::msgBox("There are no messages to be deleted!", ui::vbExclamation, kTitle);
        if (!yes("Are you sure you want to delete the selected record?", kRecordTitle)) return;
        if (DeleteIds(DbConnection, MessageScope(Folder::Sent), ids) > 0)
            ui::msgBox("Selected record is deleted.", ui::vbInformation, kRecordTitle);
        SentDataGrid();
    });
}

void General::pmnuDeleteOutbox_Click() {
    Trap("General : Record deletion in Outbox", [this] {
        if (!onNode(*this, NodeKind::Outbox) || !rsOutbox.isOpen()) return;
        // One row: the current one; two or more: the selection.
        const bool several = selectedCount(*this) >= 2;
        const auto ids = chosenIds(*this, rsOutbox, "MsgID", 2);
        if (ids.empty()) return (void)ui::msgBox("There are no messages to be deleted!", ui::vbExclamation, kTitle);
        if (!yes("Are you sure you want to delete the selected record?", kRecordTitle)) return OutboxDataGrid();
        if (!several) {
            // The view shows what the engines left; a row they sent meanwhile (or hold
            // now) is not deleted from under them.
            OutboxDataGrid();
            if (DeleteIds(DbConnection, MessageScope(Folder::Outbox), ids) > 0)
                ui::msgBox("Selected record is deleted.", ui::vbInformation, kRecordTitle);
            else
                ui::msgBox("Selected record is NOT deleted. Reason could be that SMS Engine has already send out "
                           "this message, and moved to 'Sent Items' folder.",
                           ui::vbCritical, kRecordTitle);
        } else {
            DeleteIds(DbConnection, MessageScope(Folder::Outbox), ids);
        }
        OutboxDataGrid();
    });
}

// ---- contacts ------------------------------------------------------------------------

void General::pmnuDeleteContact_Click() {
    Trap("General : Delete Contact", [this] {
        if (!rsAddressBook.isOpen() || rsAddressBook.recordCount() == 0) return;
        const auto ids = chosenIds(*this, rsAddressBook, "ContactID", 1);
        if (!yes("Are you sure you want to delete the selected record?", "Contact Manager - Delete Contact")) return;
        deleteContacts(ids);
        AddBookDataGrid();
    });
}

void General::pmnuDeleteAllContact_Click() {
    Trap("General : pmnuDeleteAllContact", [this] {
        if (!rsAddressBook.isOpen()) return;
        const bool searched = rsAddressBook.filtered();
        const DeleteScope scope = ContactScope(searched ? rsAddressBook.filter() : db::Criteria());
        const ScopeSnapshot rows(DbConnection, scope);
        if (rows.count() == 0) {
            ui::msgBox("There are no contacts to be deleted!", ui::vbExclamation, "Contact Manager - Delete All Contacts");
            return;
        }
        // Without a search every membership there is now goes too, also one whose contact
        // is gone (the groups' placeholder rows stay, so the groups do).
        const DeleteScope memberships{"Groups", "rowid", "ContactID > 0", {}, {}};
        std::optional<ScopeSnapshot> memberRows;
        if (!searched) memberRows.emplace(DbConnection, memberships);
        if (!yes("Are you sure you want to delete all the records?", "Contact Manager - Delete All Contacts")) return;
        // Each batch takes the contacts and their memberships together.
        deleteWithProgress(*this, scope, rows, "Deleting contacts...");
        if (memberRows) deleteWithProgress(*this, memberships, *memberRows, "Deleting contacts...");
        ui::msgBox("Contact(s) deleted.", ui::vbInformation, "Contact Manager - Delete all Contacts");
        AddBookDataGrid();
    });
}

void General::pmnuDeleteContactFromGroup_Click() {
    Trap("General : pmnuDeleteContactFromGroup", [this] {
        if (!onNode(*this, NodeKind::Group)) return;
        const std::string group = SelectedNodeText;
        if (!rsGroupMembers.isOpen() || rsGroupMembers.recordCount() == 0) {
            ui::msgBox("No record to be deleted!", ui::vbInformation, "Contact Manager - Delete Record");
            return;
        }
        const auto ids = chosenIds(*this, rsGroupMembers, "ContactID", 1);
        if (!yes("Are you sure you want to delete the selected record in " + group + " and in Address Book too?",
                 "Contact Manager - Delete Record")) {
            ui::msgBox("There are no contacts to be deleted!", ui::vbExclamation, "Contact Manager - Delete Contacts");
            return;
        }
        deleteContacts(ids);
        groupShownAfresh(*this);
    });
}

void General::pmnuDeleteAllFromGroup_Click() {
    Trap("General : pmnuDeleteAllFromGroup", [this] {
        if (!onNode(*this, NodeKind::Group)) return;
        const std::string group = SelectedNodeText;
        const bool searched = GroupSearchMarker == group && rsGroupMembers.isOpen() && rsGroupMembers.filtered() &&
                              (mnuSMobile->isChecked() || mnuSCompany->isChecked() || mnuSName->isChecked());
        // The members from the tables (the join the view shows, narrowed by its search),
        // never from the Address Book's set, which may carry a search of its own.
        db::Params params{group};
        std::string sql = std::string("SELECT ContactID FROM (") + kGroupMembersSql + ")";
        if (searched) sql += " WHERE " + db::RenderCriteria(rsGroupMembers.filter(), params);
        std::vector<std::int64_t> ids;
        for (const auto& row : DbConnection.query(sql, params)) ids.push_back(row[0].asInt());
        if (ids.empty()) {
            ui::msgBox("There are no contacts to be deleted!", ui::vbExclamation, "Contact Manager - Delete All Contacts");
            return;
        }
        if (searched) {
            const char* title = mnuSMobile->isChecked() ? "Contact Manager - Delete All Contacts from Group"
                                                        : "Contact Manager - Delete Contacts";
            if (!yes("Are you sure you want to delete " + std::to_string(ids.size()) + " contacts from " + group +
                         " and from the Address Book too?",
                     title)) {
                ui::msgBox("No record is deleted!", ui::vbExclamation, "Contact Manager - Delete Contacts");
                return;
            }
            deleteContacts(ids);
            ui::msgBox("Contacts are deleted from group " + group + " and from the Address Book", ui::vbInformation,
                       "Contact Manager - Delete Contacts");
        } else {
            if (!yes("Are you sure you want to delete all contacts from " + group + " and from Address Book too?",
                     "Contact Manager - Delete Contacts")) {
                ui::msgBox("No record is deleted!", ui::vbExclamation, "Contact Manager - Delete Contacts");
                return;
            }
            // The contacts go in short transactions of their own (a group may be large);
            // then the group keeps its placeholder row (just one) and the members that
            // joined it after the question.
            deleteContacts(ids);
            db::Transaction tx(DbConnection);
            DbConnection.execute("DELETE FROM Groups WHERE GroupName = ? AND (IFNULL(ContactID, 0) = 0 OR ContactID "
                                 "NOT IN (SELECT ContactID FROM AddressBook))",
                                 {group});
            DbConnection.execute("INSERT INTO Groups (GroupName) VALUES (?)", {group});
            tx.commit();
            ui::msgBox("All contacts are deleted from group " + group + " and from the Address Book",
                       ui::vbInformation, "Contact Manager - Remove Contacts");
        }
        groupShownAfresh(*this);
    });
}

}  // namespace parlix::console
