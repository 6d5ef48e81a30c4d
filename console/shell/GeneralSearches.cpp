// Contact searches: the Address Book or the group on show narrowed to the contacts whose
// name, mobile number or company name contains a typed text. A search is a criteria on
// the view's record set; the group names are never filtered (the summary, the pop-ups
// and the group checks read every group), the group searched is kept in
// GroupSearchMarker instead.
#include <QAction>
#include <QGroupBox>

#include "console/shell/General.h"
#include "console/shell/core/ConnectDB.h"
#include "console/shell/core/Error.h"
#include "console/shell/core/FolderFilters.h"
#include "console/shell/core/Main1.h"
#include "platform/db/qt/RecordsetModel.h"
#include "platform/ui/Dialogs.h"

namespace parlix::console {

namespace {

struct SearchKindInfo {
    const char* location;
    const char* column;
    const char* prompt;
    const char* warning;
    std::string FilterState::*text;
    const char* groupWords;  // "Searched <group>" + these + text
};

void search(General& g, QAction* item, const SearchKindInfo& k) {
    try {
        QTreeWidgetItem* node = g.selectedNode();
        SelectedNodeText = General::textOf(node);
        const NodeKind kind = General::kindOf(node);
        if (kind != NodeKind::AddressBook && kind != NodeKind::Group) return;
        // The marks as they were: put back unless the new search is applied.
        QAction* items[] = {g.mnuSName, g.mnuSMobile, g.mnuSCompany};
        bool saved[3];
        for (int i = 0; i < 3; ++i) saved[i] = items[i]->isChecked();
        bool applied = false;
        struct Restore {
            QAction** items;
            bool* saved;
            bool& applied;
            ~Restore() {
                if (!applied)
                    for (int i = 0; i < 3; ++i) items[i]->setChecked(saved[i]);
            }
        } restore{items, saved, applied};
        for (QAction* a : items) a->setChecked(a == item);

        if (kind == NodeKind::Group &&
            !DbConnection.scalar("SELECT 1 FROM Groups WHERE GroupName = ? LIMIT 1", {SelectedNodeText}))
            return;  // no such group (any more)
        const std::string x = ui::inputBox(k.prompt, "Contact Manager - Search", "");
        if (x.empty()) {
            ui::msgBox(k.warning, ui::vbExclamation | ui::vbOKOnly, "Contact Manager - Warning");
            return;
        }
        g.Filters.*k.text = x;
        const db::Criteria c = TextCriteria(k.column, x);
        if (kind == NodeKind::AddressBook) {
            g.rsAddressBook.setFilter(c);
            applied = true;
            g.AddBookDataGrid();  // shows the rows and its caption, counts them
            return;
        }
        g.rsGroupMembers.setFilter(c);
        applied = true;
        g.GroupSearchMarker = SelectedNodeText;
        g.DataGridModel->reload();
        g.Counts.ShownCount = g.rsGroupMembers.recordCount();
        g.frmContent->setTitle(QString::fromStdString("Searched " + SelectedNodeText + k.groupWords + x + " (" +
                                                      std::to_string(g.Counts.ShownCount) + " of " +
                                                      std::to_string(g.Counts.GroupTotal) + " records)"));
    } catch (...) {
        LogCurrentException(k.location);
    }
}

}  // namespace

void General::connectSearches() {
    connect(mnuSName, &QAction::triggered, this, [this] {
        mnuSName->setChecked(!mnuSName->isChecked());  // the handler decides the mark
        mnuSName_Click();
    });
    connect(mnuSMobile, &QAction::triggered, this, [this] {
        mnuSMobile->setChecked(!mnuSMobile->isChecked());
        mnuSMobile_Click();
    });
    connect(mnuSCompany, &QAction::triggered, this, [this] {
        mnuSCompany->setChecked(!mnuSCompany->isChecked());
        mnuSCompany_Click();
    });
}

void General::mnuSName_Click() {
    search(*this, mnuSName,
           {"General : mnuSName", "Name", "Please input the name", "You haven't input the name", &FilterState::SearchName,
            " by Name = "});
}

void General::mnuSMobile_Click() {
    search(*this, mnuSMobile,
           {"General : mnuSMobile", "Mobile", "Please input the mobile number", "You haven't input the mobile number",
            &FilterState::SearchMobile, " by Mobile = "});
}

void General::mnuSCompany_Click() {
    search(*this, mnuSCompany,
           {"General : mnuSCompany", "CompanyName", "Please input the company name",
            "You haven't input the company name", &FilterState::SearchCompany, " by Company Name = "});
}

}  // namespace parlix::console
