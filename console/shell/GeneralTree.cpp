// The main window's folder tree: its nodes and images, and what a click on a node shows.
#include <QAction>
#include <QGroupBox>
#include <QHeaderView>
#include <QMenu>
#include <QPainter>
#include <QScrollBar>
#include <QTableView>
#include <QTreeWidget>

#include "console/shell/General.h"
#include "console/shell/GeneralInternal.h"
#include "console/dialogs/frmContact.h"
#include "console/shell/Help.h"
#include "console/shell/Windows.h"
#include "console/shell/core/ConnectDB.h"
#include "console/shell/core/DateText.h"
#include "console/shell/core/Error.h"
#include "console/shell/core/Groups.h"
#include "console/shell/core/Main1.h"
#include "console/shell/core/Summary.h"
#include "console/shell/core/Trap.h"
#include "console/shell/core/UnknownNames.h"
#include "platform/db/qt/RecordsetModel.h"
#include "platform/ui/Dialogs.h"

namespace parlix::console {

using namespace general;

// The tree's own images: a small coloured plate with a letter.
namespace {

QIcon nodeIcon(QColor color, const QString& letter) {
    QPixmap pm(16, 16);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    p.setBrush(color);
    p.setPen(color.darker(140));
    p.drawRoundedRect(QRectF(0.5, 1.5, 15, 13), 3, 3);
    p.setPen(Qt::white);
    QFont f = p.font();
    f.setPixelSize(10);
    f.setBold(true);
    p.setFont(f);
    p.drawText(QRect(0, 1, 16, 14), Qt::AlignCenter, letter);
    return QIcon(pm);
}

}  // namespace

QIcon general::imageFor(NodeKind kind) {
    switch (kind) {
        case NodeKind::Messages: return nodeIcon(QColor(70, 110, 170), "M");
        case NodeKind::AddressBook: return nodeIcon(QColor(120, 90, 160), "A");
        case NodeKind::Inbox: return nodeIcon(QColor(40, 140, 80), "I");
        case NodeKind::Outbox: return nodeIcon(QColor(200, 130, 30), "O");
        case NodeKind::SentItems: return nodeIcon(QColor(60, 120, 200), "S");
        case NodeKind::Group: return nodeIcon(QColor(150, 150, 150), "G");
    }
    return {};
}

void General::buildTree() {
    tvwMessage->clear();
    auto add = [](QTreeWidgetItem* item, NodeKind kind, const std::string& text) {
        item->setText(0, q(text));
        item->setData(0, kKindRole, static_cast<int>(kind));
        item->setIcon(0, imageFor(kind));
        return item;
    };
    auto* root1 = add(new QTreeWidgetItem(tvwMessage), NodeKind::Messages, "Messages");
    auto* root2 = add(new QTreeWidgetItem(tvwMessage), NodeKind::AddressBook, "Address Book");
    add(new QTreeWidgetItem(root1), NodeKind::Inbox, "Inbox");
    add(new QTreeWidgetItem(root1), NodeKind::Outbox, "Outbox");
    add(new QTreeWidgetItem(root1), NodeKind::SentItems, "Sent Items");
    root1->setExpanded(true);
    trapped("General:Form_Load", [&] {
        if (!rsGroupNames.isOpen()) return;
        rsGroupNames.clearFilter();
        for (rsGroupNames.moveFirst(); !rsGroupNames.eof(); rsGroupNames.moveNext())
            add(new QTreeWidgetItem(root2), NodeKind::Group, rsGroupNames.text("GroupName"));
    });
    root2->setExpanded(true);
}

// ---- tree ----------------------------------------------------------------------------

NodeKind General::kindOf(const QTreeWidgetItem* item) {
    return item ? static_cast<NodeKind>(item->data(0, kKindRole).toInt()) : NodeKind::Messages;
}

std::string General::textOf(const QTreeWidgetItem* item) { return item ? item->text(0).toStdString() : std::string(); }

QTreeWidgetItem* General::node(NodeKind kind, const std::string& text) const {
    for (QTreeWidgetItemIterator it(tvwMessage); *it; ++it)
        if (kindOf(*it) == kind && (text.empty() || textOf(*it) == text)) return *it;
    return nullptr;
}

QTreeWidgetItem* General::selectedNode() const { return tvwMessage->currentItem(); }

void General::tvwMessage_MouseDown(QTreeWidgetItem* item) {
    if (!item) return;
    trapped("General-twMessage_MouseDown", [&] {
        QMenu* menu = nullptr;
        switch (kindOf(item)) {
            case NodeKind::AddressBook: menu = pmnuAllContact; break;
            case NodeKind::Group: {
                // A group whose rows are all gone offers nothing.
                auto n = DbConnection.scalar("SELECT COUNT(*) FROM Groups WHERE GroupName = ?",
                                             {textOf(item)});
                if (n && n->asInt() > 0) menu = pmnuGroup;
                break;
            }
            default: break;  // folders and "Messages" have no pop-up
        }
        if (!menu) return;  // a right click that offers nothing changes nothing
        // The menu's items act on the selected node: it is shown first, so the tree, the
        // view, the menus and the grid's pop-up name the same node.
        const bool shown = item == selectedNode() && shownView_ == kindOf(item) &&
                           (kindOf(item) != NodeKind::Group || shownGroup_ == textOf(item));
        if (!shown) tvwMessage_NodeClick(item);
        popup(menu, tvwMessage->viewport()->mapToGlobal(tvwMessage->visualItemRect(item).center()));
    });
}

void General::tvwMessage_NodeClick(QTreeWidgetItem* item) {
    if (!item) return;
    tvwMessage->setCurrentItem(item);
    trapped("General-tvwMessage_nodeClick", [&] {
        const NodeKind kind = kindOf(item);
        const std::string text = textOf(item);
        SelectedNodeText = text;
        auto searchItems = [this](bool enabled) {
            mnuSCompany->setChecked(false);
            mnuSMobile->setChecked(false);
            mnuSName->setChecked(false);
            mnuSearch->setEnabled(enabled);
            // A search in a group view narrows the group names; leaving the search clears it.
            if (rsGroupNames.isOpen()) rsGroupNames.clearFilter();
            GroupSearchMarker.clear();
        };
        auto folders = [this](bool inbox, bool outbox, bool sent) {
            mnuInbox->setEnabled(inbox);
            mnuOutbox->setEnabled(outbox);
            mnuSentItems->setEnabled(sent);
        };
        switch (kind) {
            case NodeKind::Messages:
                item->setExpanded(true);
                folders(false, false, false);
                mnuSearch->setEnabled(false);
                Status();
                return;
            case NodeKind::AddressBook:
                showContent(true);
                if (rsAddressBook.isOpen()) rsAddressBook.clearFilter();
                item->setExpanded(true);
                folders(false, false, false);
                searchItems(true);
                shownView_ = kind;
                AddBookDataGrid();
                return;
            case NodeKind::Inbox:
            case NodeKind::Outbox:
            case NodeKind::SentItems:
                showContent(true);
                folders(kind == NodeKind::Inbox, kind == NodeKind::Outbox, kind == NodeKind::SentItems);
                mnuSearch->setEnabled(false);
                shownView_ = kind;
                if (kind == NodeKind::Inbox) InboxDataGrid();
                else if (kind == NodeKind::Outbox) OutboxDataGrid();
                else SentDataGrid();
                return;
            case NodeKind::Group:
                showContent(true);
                folders(false, false, false);
                searchItems(true);
                pmnuDeleteAllFromGroup->setVisible(true);
                pmnuDeleteContactFromGroup->setVisible(true);
                shownView_ = kind;
                GroupDataGrid(text);
                return;
        }
    });
}

}  // namespace parlix::console
