// The main window: its widgets, loading and unloading, the summary, and the tree's
// group nodes. Menus, toolbar and pop-ups are in GeneralMenus.cpp, the tree in
// GeneralTree.cpp, the grid's views and events in GeneralViews.cpp, the rest of each
// concern in its own General*.cpp.
#include <QApplication>
#include <QCloseEvent>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QLabel>
#include <QMouseEvent>
#include <QTableView>
#include <QTreeWidget>
#include <QVBoxLayout>
#include <set>

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

namespace {

General* theInstance = nullptr;

// The folder tree. Whatever the user does to it, the node it leaves selected is the node
// whose view is shown: a press that moves the selection and a key that moves it show the
// new node at once (`chosen`); a right click never moves it by itself (the pop-up's
// handler shows the node first when it offers a menu for it).
class FolderTree : public QTreeWidget {
public:
    using QTreeWidget::QTreeWidget;
    std::function<void(QTreeWidgetItem*)> chosen;
    // True once after a press that showed its node: the click that ends it needs no reload.
    bool takeShownByPress() { return std::exchange(shownByPress_, false); }

protected:
    void mousePressEvent(QMouseEvent* e) override {
        if (e->button() == Qt::RightButton) {
            e->accept();
            return;
        }
        QTreeWidgetItem* before = currentItem();
        QTreeWidget::mousePressEvent(e);
        shownByPress_ = currentItem() && currentItem() != before;
        if (shownByPress_ && chosen) chosen(currentItem());
    }
    void keyPressEvent(QKeyEvent* e) override {
        QTreeWidgetItem* before = currentItem();
        QTreeWidget::keyPressEvent(e);
        if (currentItem() && currentItem() != before && chosen) chosen(currentItem());
    }

private:
    bool shownByPress_ = false;
};

}  // namespace

General* General::instance() { return theInstance; }

General::General(QWidget* parent) : QMainWindow(parent) {
    if (!theInstance) theInstance = this;
    setAttribute(Qt::WA_DeleteOnClose, false);
    buildWidgets();
    buildMenus();
    buildToolbar();
    buildPopups();
    connectFilters();
    connectSearches();
    connectDeletes();
    connectGroupActions();
    connectMessageActions();
    Form_Load();
}

General::~General() {
    if (DataGridModel) DataGridModel->setRecordset(nullptr);
    if (theInstance == this) theInstance = nullptr;
}

// ---- building -------------------------------------------------------------------------

void General::buildWidgets() {
    setWindowTitle(kTitle);
    resize(1000, 640);
    auto* central = new QWidget(this);
    auto* row = new QHBoxLayout(central);

    auto* tree = new FolderTree(central);
    tvwMessage = tree;
    tvwMessage->setObjectName("tvwMessage");
    tvwMessage->setHeaderHidden(true);
    tvwMessage->setFixedWidth(210);
    tvwMessage->setContextMenuPolicy(Qt::CustomContextMenu);
    row->addWidget(tvwMessage);
    tree->chosen = [this](QTreeWidgetItem* item) { tvwMessage_NodeClick(item); };
    // Every click counts, so clicking the selected node reloads its view.
    connect(tvwMessage, &QTreeWidget::itemClicked, this, [this, tree](QTreeWidgetItem* item, int) {
        if (!tree->takeShownByPress()) tvwMessage_NodeClick(item);
    });
    connect(tvwMessage, &QTreeWidget::customContextMenuRequested, this, [this](const QPoint& pos) {
        if (QTreeWidgetItem* item = tvwMessage->itemAt(pos)) tvwMessage_MouseDown(item);
    });

    frmContent = new QGroupBox(central);
    frmContent->setObjectName("frmContent");
    auto* contentLayout = new QVBoxLayout(frmContent);
    DataGrid = new QTableView(frmContent);
    DataGrid->setObjectName("DataGrid");
    DataGridModel = new db::RecordsetModel(DataGrid);
    DataGridModel->setDateText([](const QString& stored) { return q(DateTimeText(stored.toStdString())); });
    DataGrid->setModel(DataGridModel);
    DataGrid->setItemDelegate(new WrapDelegate(DataGrid));
    DataGrid->setSelectionBehavior(QAbstractItemView::SelectRows);
    DataGrid->setSelectionMode(QAbstractItemView::ExtendedSelection);
    DataGrid->setWordWrap(true);
    DataGrid->setContextMenuPolicy(Qt::CustomContextMenu);
    // Fixed header and row sizes: sizing to contents would read every row.
    DataGrid->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    DataGrid->horizontalHeader()->setSectionResizeMode(QHeaderView::Interactive);
    DataGrid->horizontalHeader()->setSectionsClickable(true);
    DataGrid->viewport()->installEventFilter(this);
    contentLayout->addWidget(DataGrid);
    row->addWidget(frmContent, 1);
    connect(DataGrid->horizontalHeader(), &QHeaderView::sectionClicked, this, [this](int c) { DataGrid_HeadClick(c); });
    connect(DataGrid, &QTableView::doubleClicked, this, [this](const QModelIndex&) { DataGrid_DblClick(); });
    connect(DataGrid->selectionModel(), &QItemSelectionModel::selectionChanged, this, [this] { DataGrid_SelChange(); });
    connect(DataGrid->selectionModel(), &QItemSelectionModel::currentRowChanged, this,
            [this](const QModelIndex& current) {
                if (current.isValid()) DataGridModel->setCurrentRow(current.row());
            });
    connect(DataGrid, &QTableView::customContextMenuRequested, this,
            [this](const QPoint& pos) { DataGrid_RightMenu(DataGrid->viewport()->mapToGlobal(pos)); });

    frmStatus = new QGroupBox("Summary", central);
    frmStatus->setObjectName("frmStatus");
    auto* labels = new QVBoxLayout(frmStatus);
    auto label = [&](const char* name) {
        auto* l = new QLabel(frmStatus);
        l->setObjectName(name);
        labels->addWidget(l);
        return l;
    };
    lblStatusInbox = label("lblStatusInbox");
    lblStatusOutbox = label("lblStatusOutbox");
    lblStatusSentItems = label("lblStatusSentItems");
    lblStatusSentOK = label("lblStatusSentOK");
    lblStatusSent_Delivered = label("lblStatusSent_Delivered");
    lblStatusSent_Undelivered = label("lblStatusSent_Undelivered");
    lblStatusFail = label("lblStatusFail");
    lblStatusDup = label("lblStatusDup");
    lblStatusAddBook = label("lblStatusAddBook");
    lblStatusGroup = label("lblStatusGroup");
    labels->addStretch(1);
    row->addWidget(frmStatus, 1);
    setCentralWidget(central);
}

// ---- load, activation, unload ---------------------------------------------------------

std::vector<db::Recordset*> General::openRecordsets(bool sentSets) {
    std::vector<db::Recordset*> opened;
    if (!DbConnection.isOpen()) return opened;
    const db::RecordsetOptions live{db::Cursor::Live, db::Lock::Optimistic, 0};
    const db::RecordsetOptions readOnly{db::Cursor::Live, db::Lock::ReadOnly, 0};
    struct SetToOpen {
        db::Recordset* rs;
        const char* sql;
        const db::RecordsetOptions* options;
    };
    const SetToOpen sets[] = {{&rsAddressBook, kAddressBookSql, &live}, {&rsInbox, kInboxSql, &live},
                              {&rsOutbox, kOutboxSql, &live},           {&rsSent, kSentSql, &live},
                              {&rsDuplicate, kDuplicateSql, &readOnly},
                              {&rsFailed, kFailedSql, &live},           {&rsGroupNames, kGroupNamesSql, &readOnly}};
    for (const SetToOpen& s : sets) {
        // Sent Items counts nearly the whole Outbox: opened when first shown.
        if (!sentSets && s.rs == &rsSent) continue;
        if (!s.rs->isOpen() && trapped("General:Form_Load", [&] { s.rs->open(DbConnection, s.sql, {}, *s.options); }))
            opened.push_back(s.rs);
    }
    return opened;
}

void General::refresh(db::Recordset& rs) {
    // A set opened just now, or just read under a new filter, holds fresh rows already;
    // a second count would be wasted (over a text filter it is a scan of the folder).
    const auto opened = openRecordsets(&rs == &rsSent);
    const bool fresh = &rs == freshlyRead_ || std::find(opened.begin(), opened.end(), &rs) != opened.end();
    freshlyRead_ = nullptr;
    if (!fresh) rs.requery();
}

void General::showFiltered(db::Recordset& rs, const db::Criteria& criteria, void (General::*loader)()) {
    if (&rs == &rsInbox) UpdateUnknownInbox();
    if (&rs == &rsSent) UpdateUnknownOutbox();
    rs.setFilter(criteria);
    freshlyRead_ = &rs;
    struct Forget {
        db::Recordset*& fresh;
        ~Forget() { fresh = nullptr; }
    } forget{freshlyRead_};
    (this->*loader)();
}

void General::Form_Load() {
    std::vector<db::Recordset*> opened;
    trapped("General:Form_Load", [&] {
        ConnectDB(DbConnection);
        opened = openRecordsets();
    });
    buildTree();
    if (!DbConnection.isOpen()) tellDatabaseMissingOnce();
    summary(opened);
}

void General::tellDatabaseMissingOnce() {
    if (databaseMessageShown_) return;
    databaseMessageShown_ = true;
    ui::msgBox(ConnectFailureText(LastConnectFailure()), ui::vbCritical, std::string(kTitle) + " - Database");
}

bool General::confirmExit() {
    return ui::msgBox(std::string("Are you sure want to exit ") + kTitle + "?", ui::vbYesNo | ui::vbQuestion,
                      std::string(kTitle) + " - Exit") == ui::vbYes;
}

void General::closeEvent(QCloseEvent* e) {
    if (closing_) {
        e->accept();
        return;
    }
    if (!confirmExit()) {
        e->ignore();
        return;
    }
    closing_ = true;
    Form_Unload();
    e->accept();
}

void General::EndWithoutQuestion() {
    if (closing_) return;
    closing_ = true;
    Form_Unload();
    close();
}

void General::Form_Unload() {
    // Each step alone: one that fails must not keep the program from ending.
    const char* where = "General : Form_Unload";
    trapped(where, [this] { DataGridModel->setRecordset(nullptr); });
    for (db::Recordset* rs : {&rsAddressBook, &rsInbox, &rsOutbox, &rsSent, &rsDuplicate, &rsFailed,
                              &rsGroupNames, &rsGroupMembers})
        trapped(where, [rs] { rs->close(); });
    trapped(where, [] { DbConnection.close(); });
    const QWidgetList windows = QApplication::topLevelWidgets();
    for (auto it = windows.rbegin(); it != windows.rend(); ++it)
        if (*it != this) trapped(where, [w = *it] { w->close(); });
}

// ---- summary --------------------------------------------------------------------------

void General::showContent(bool content) {
    frmStatus->setVisible(!content);
    frmContent->setVisible(content);
    DataGrid->setVisible(content);
}

void General::Status() { summary({}); }

void General::summary(std::vector<db::Recordset*> opened) {
    showContent(false);
    frmContent->setTitle("");
    mnuInbox->setEnabled(false);
    mnuOutbox->setEnabled(false);
    mnuSentItems->setEnabled(false);
    // The summary is the view of "Messages": the tree highlights it, with its menus.
    mnuSearch->setEnabled(false);
    if (QTreeWidgetItem* messages = node(NodeKind::Messages)) tvwMessage->setCurrentItem(messages);
    shownView_ = NodeKind::Messages;
    trapped("General-Status", [&] {
        if (!EnsureDbConnection()) {
            tellDatabaseMissingOnce();
            return;
        }
        // Back after a missing or locked file: open what could not be opened at load.
        const bool treeMissing = !rsGroupNames.isOpen();
        for (db::Recordset* rs : openRecordsets()) opened.push_back(rs);
        if (treeMissing) buildTree();
        // A search leaves its filter on the group names; the summary counts every group.
        rsGroupNames.clearFilter();
        // The sets the summary shows are requeried; the Outbox's sent-status counts come
        // from one pass over its status index (Sent Items is requeried when it is shown).
        for (db::Recordset* rs : {&rsInbox, &rsOutbox, &rsFailed, &rsDuplicate, &rsAddressBook, &rsGroupNames})
            if (rs->isOpen() && std::find(opened.begin(), opened.end(), rs) == opened.end()) rs->requery();
        const OutboxCounts n = CountOutbox(DbConnection);
        auto set = [](QLabel* l, std::int64_t k, const char* text) { l->setText(QString::number(k) + text); };
        set(lblStatusInbox, rsInbox.recordCount(), " SMS received into inbox");
        set(lblStatusOutbox, n.queued, " SMS queued into outbox");
        set(lblStatusSentItems, n.processed, " SMS processed in sent items");
        set(lblStatusSentOK, n.sent, " Total SMS sent successfully");
        set(lblStatusSent_Delivered, n.delivered, " SMS sent and delivered successfully");
        set(lblStatusSent_Undelivered, n.undelivered, " SMS sent but not delivered");
        set(lblStatusFail, n.failed, " SMS failed to send");
        set(lblStatusDup, n.duplicate, " duplicate outgoing SMS (not sent)");
        set(lblStatusAddBook, rsAddressBook.recordCount(), " contact in address book");
        set(lblStatusGroup, rsGroupNames.recordCount(), " group");
    });
}

// ---- groups (the rest in GeneralGroups.cpp) ------------------------------------------

void General::newSavedGroup(const std::string& groupName) {
    trapped("General : newSavedGroup", [&] {
        if (!EnsureDbConnection()) return;
        CreateGroup(DbConnection, groupName);
        QTreeWidgetItem* root2 = node(NodeKind::AddressBook);
        auto* item = new QTreeWidgetItem(root2);
        item->setText(0, q(groupName));
        item->setData(0, kKindRole, static_cast<int>(NodeKind::Group));
        item->setIcon(0, imageFor(NodeKind::Group));
        if (frmContact* editor = frmContact::existing()) editor->groupAdded(groupName);
        Status();
    });
}

}  // namespace parlix::console
