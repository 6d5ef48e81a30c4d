#include "console/shell/General.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QDate>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QLabel>
#include <QLocale>
#include <QMenu>
#include <QMenuBar>
#include <QMouseEvent>
#include <QPainter>
#include <QScrollBar>
#include <QStyledItemDelegate>
#include <QTableView>
#include <QToolBar>
#include <QTreeWidget>
#include <QVBoxLayout>
#include <algorithm>
#include <set>
#include <utility>

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

namespace {

constexpr const char* kTitle = "Parlix Basic Edition";
constexpr int kKindRole = Qt::UserRole + 1;

General* theInstance = nullptr;
General::PopupHook popupHook;

QString q(const std::string& s) { return QString::fromStdString(s); }

// Word wrap per column: the view wraps or not as a whole, so the delegate decides.
class WrapDelegate : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;
    std::set<int> wrap;

protected:
    void initStyleOption(QStyleOptionViewItem* option, const QModelIndex& index) const override {
        QStyledItemDelegate::initStyleOption(option, index);
        if (wrap.count(index.column())) option->features |= QStyleOptionViewItem::WrapText;
        else option->features &= ~QStyleOptionViewItem::WrapText;
    }
};

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

// The tree's own images: a small coloured plate with a letter.
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

QIcon imageFor(NodeKind kind) {
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

View viewOf(NodeKind kind) {
    switch (kind) {
        case NodeKind::Inbox: return View::Inbox;
        case NodeKind::Outbox: return View::Outbox;
        case NodeKind::SentItems: return View::Sent;
        case NodeKind::Group: return View::Group;
        default: return View::AddressBook;
    }
}

// Runs one step of a procedure, logging a failure under `location`; false when it failed.
template <class F>
bool trapped(const std::string& location, F&& step) {
    return Trap(location, std::forward<F>(step));
}

}  // namespace

General* General::instance() { return theInstance; }

General::PopupHook General::setPopupHook(PopupHook hook) {
    PopupHook old = std::move(popupHook);
    popupHook = std::move(hook);
    return old;
}

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

void General::buildMenus() {
    QMenuBar* bar = menuBar();
    auto hidden = [](QAction* a) {
        a->setVisible(false);
        return a;
    };
    auto checkable = [](QAction* a) {
        a->setCheckable(true);
        return a;
    };

    mnuBM = bar->addMenu("&Vovivaded Ezovaro");
    mnuSMS = mnuBM->addAction("New SMS");
    mnuResendFSMS = mnuBM->addAction("Resend Failed SMS");
    mnuBillMdm = hidden(mnuBM->addAction("SMS Billing Report"));

    mnuCM = bar->addMenu("&Contact Manager");
    mnuContact = mnuCM->addAction("Add Contact");
    mnuGroup = mnuCM->addAction("Add Group");
    mnuSearchMenu = mnuCM->addMenu("Search Contact");
    mnuSearch = mnuSearchMenu->menuAction();
    mnuSName = checkable(mnuSearchMenu->addAction("By Name"));
    mnuSMobile = checkable(mnuSearchMenu->addAction("By Mobile Number"));
    mnuSCompany = checkable(mnuSearchMenu->addAction("By Company"));
    mnuImport = mnuCM->addAction("Import File");
    mnuExport = mnuCM->addAction("Export File");

    mnuMM = bar->addMenu("&Message Manager");
    mnuInboxMenu = mnuMM->addMenu("Inbox");
    mnuInbox = mnuInboxMenu->menuAction();
    QMenu* f = mnuInboxMenu->addMenu("Filter");
    mnuInboxFilter = f->menuAction();
    mnuInboxFMobile = checkable(f->addAction("By Mobile Number"));
    mnuInboxFMessage = checkable(f->addAction("By Message"));
    mnuInboxFDateTime = checkable(f->addAction("By DateTime"));
    mnuInboxFStatus = checkable(f->addAction("By Status"));
    mnuInboxFName = checkable(f->addAction("By Name"));
    mnuInboxFModem = hidden(checkable(f->addAction("By Modem")));
    mnuInboxRFilter = f->addAction("Remove All Filter");

    mnuOutboxMenu = mnuMM->addMenu("Outbox");
    mnuOutbox = mnuOutboxMenu->menuAction();
    f = mnuOutboxMenu->addMenu("Filter");
    mnuOutboxFilter = f->menuAction();
    mnuOutboxFMobile = checkable(f->addAction("By Mobile Number"));
    mnuOutboxFMessage = checkable(f->addAction("By Message"));
    mnuOutboxFSubject = checkable(f->addAction("By Subject"));
    mnuOutboxFDateTime = checkable(f->addAction("By Queue Date"));
    mnuOutboxFStatus = hidden(checkable(f->addAction("By Status")));
    mnuOutboxFName = checkable(f->addAction("By Name"));
    mnuOutboxFModem = hidden(checkable(f->addAction("By Modem")));
    mnuOutboxRFilter = f->addAction("Remove All Filter");

    mnuSentItemsMenu = mnuMM->addMenu("Sent Items");
    mnuSentItems = mnuSentItemsMenu->menuAction();
    f = mnuSentItemsMenu->addMenu("Filter");
    mnuSentFilter = f->menuAction();
    mnuSentFMobile = checkable(f->addAction("By Mobile Number"));
    mnuSentFMessage = checkable(f->addAction("By Message"));
    mnuSentFSubject = checkable(f->addAction("By Subject"));
    mnuSentFDateTime = checkable(f->addAction("By Send Date"));
    mnuSentFStatus = checkable(f->addAction("By Status"));
    mnuSentFName = checkable(f->addAction("By Name"));
    mnuSentFModem = hidden(checkable(f->addAction("By Modem")));
    mnuSentRFilter = f->addAction("Remove All Filter");
    mnuExportSent = mnuMM->addAction("Export SMS Sent");
    mnuExportReceived = mnuMM->addAction("Export SMS Received");

    mnuSetting = bar->addMenu("&Setting");
    mnuSetting->menuAction()->setVisible(false);
    mnuUserPW = mnuSetting->addAction("User Password");

    mnuAbout = bar->addAction("&About");
    mnuHelp = bar->addAction("&Help");

    connect(mnuSMS, &QAction::triggered, this, [] { ShowNewSMS(); });
    connect(mnuAbout, &QAction::triggered, this, [] { ShowAbout(); });
    connect(mnuHelp, &QAction::triggered, this, [this] { mnuHelp_Click(); });
    connect(mnuUserPW, &QAction::triggered, this, [] { ShowLoginAdminThenPassword(); });
    connect(mnuImport, &QAction::triggered, this, [] { ShowImport(); });
    // The export window reads which item is disabled to know what to export.
    for (QAction* item : {mnuExportReceived, mnuExportSent, mnuExport})
        connect(item, &QAction::triggered, this, [item] {
            item->setEnabled(false);
            ShowExport();
        });
}

void General::buildToolbar() {
    Toolbar = addToolBar("Toolbar");
    Toolbar->setObjectName("Toolbar");
    Toolbar->setMovable(false);
    Toolbar->setIconSize(QSize(24, 24));
    const std::pair<const char*, QStyle::StandardPixmap> buttons[] = {
        {"Compose SMS", QStyle::SP_FileIcon},
        {"Add New Contact", QStyle::SP_FileDialogNewFolder},
        {"Add New Group", QStyle::SP_DirIcon},
        {"Import Contacts from Excel into Address Book", QStyle::SP_ArrowDown},
        {"Export Address Book to Excel", QStyle::SP_ArrowUp},
    };
    int index = 0;
    for (const auto& [tip, icon] : buttons) {
        QAction* a = Toolbar->addAction(style()->standardIcon(icon), tip);
        a->setToolTip(tip);
        connect(a, &QAction::triggered, this, [this, i = ++index] { Toolbar_ButtonClick(i); });
    }
}

void General::Toolbar_ButtonClick(int index) {
    switch (index) {
        case 1: ShowNewSMS(); break;
        case 2:
            EditContact = false;  // new-contact mode
            ShowContact();
            break;
        case 3: AddNewGroup(); break;
        case 4: ShowImport(); break;
        case 5:
            mnuExport->setEnabled(false);
            ShowExport();
            break;
        default: break;
    }
}

void General::mnuHelp_Click() {
    trapped("General-mnuHelp_Click", [] { OpenUserManual(AppPath() + "/Help/UserManual.html"); });
}

void General::pmnuSendInbox_Click() { ShowNewSMS(); }

void General::pmnuSMS_Click() {
    trapped("General-pmnuSMS_Click", [this] {
        // With no contacts there is nobody to send to.
        if (!rsAddressBook.isOpen() || rsAddressBook.recordCount() == 0 || rsAddressBook.eof() || rsAddressBook.bof())
            return;
        ShowNewSMSTo(rsAddressBook.text("Mobile"), "");
    });
}

void General::buildPopups() {
    auto menu = [this](const char* name, const char* caption) {
        auto* m = new QMenu(caption, this);
        m->setObjectName(name);
        return m;
    };
    pmnuAllContact = menu("pmnuAllContact", "AllContact");
    pmnuAllContact_AddGroup = pmnuAllContact->addAction("Add Group");
    pmnuAllContact_AddContact = pmnuAllContact->addAction("Add Contact");

    pmnuGroup = menu("pmnuGroup", "Group");
    pmnuGroup_AddGroup = pmnuGroup->addAction("Add Group");
    pmnuGroup_DeleteGroup = pmnuGroup->addAction("Delete Group");
    pmnuGroup_AddContact = pmnuGroup->addAction("Add Contact");
    pmnuGroup_Rename = pmnuGroup->addAction("Rename Group");

    pmnuMailInbox = menu("pmnuMailInbox", "MailInbox");
    pmnuSaveToContact = pmnuMailInbox->addAction("Save to Address Book");
    pmnuSendInbox = pmnuMailInbox->addAction("New SMS");
    pmnuReply = pmnuMailInbox->addAction("Reply");
    pmnuDeleteInbox = pmnuMailInbox->addAction("Delete");
    pmnuDeleteAllInbox = pmnuMailInbox->addAction("Delete All");

    pmnuMailOutbox = menu("pmnuMailOutbox", "MailOutbox");
    pmnuSendOutbox = pmnuMailOutbox->addAction("New SMS");
    pmnuDeleteOutbox = pmnuMailOutbox->addAction("Delete");
    pmnuDeleteAllOutbox = pmnuMailOutbox->addAction("Delete All");

    pmnuMailSent = menu("pmnuMailSent", "MailSent");
    pmnuSendSent = pmnuMailSent->addAction("New SMS");
    pmnuResend = pmnuMailSent->addAction("Resend");
    pmnuDeleteSent = pmnuMailSent->addAction("Delete");
    pmnuDeleteAllSent = pmnuMailSent->addAction("Delete All");

    pmnuContactRecord = menu("pmnuContactRecord", "Record");
    pmnuSMS = pmnuContactRecord->addAction("Send SMS");
    pmnuProperties = pmnuContactRecord->addAction("Properties");
    pmnuAddContact = pmnuContactRecord->addAction("Add Contact");
    pmnuDeleteContact = pmnuContactRecord->addAction("Delete Contact");
    pmnuDeleteAllContact = pmnuContactRecord->addAction("Delete All Contact");

    pmnuGroupContact = menu("pmnuGroupContact", "GroupContact");
    pmnuProperties01 = pmnuGroupContact->addAction("Properties");
    pmnuRemoveContact = pmnuGroupContact->addAction("Remove Contact from Group");
    pmnuRemoveAllContactFromGroup = pmnuGroupContact->addAction("Remove All Contact from Group");
    pmnuDeleteContactFromGroup = pmnuGroupContact->addAction("Delete Contact from Group");
    pmnuDeleteAllFromGroup = pmnuGroupContact->addAction("Delete All contacts from Group");

    connect(pmnuSendInbox, &QAction::triggered, this, [this] { pmnuSendInbox_Click(); });
    connect(pmnuSMS, &QAction::triggered, this, [this] { pmnuSMS_Click(); });
}

void General::popup(QMenu* menu, const QPoint& globalPos) {
    if (popupHook) popupHook(menu, globalPos);
    else menu->exec(globalPos);
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

// ---- grid loaders ---------------------------------------------------------------------

void General::bindGrid(db::Recordset& rs) {
    if (DataGridModel->recordset() == &rs) DataGridModel->reload();
    else DataGridModel->setRecordset(&rs);
}

void General::applyLayout(const ViewLayout& l) {
    const int columns = DataGridModel->columnCount();
    DataGridModel->resetHeaders();
    for (const auto& [c, caption] : l.captions) DataGridModel->setHeader(c, q(caption));
    for (int c = 0; c < columns; ++c) DataGrid->setColumnHidden(c, l.hidden.count(c) != 0);
    for (const auto& [c, twips] : l.widthsTwips)
        if (c < columns) DataGrid->setColumnWidth(c, TwipsToPixels(twips));
    // Date columns show a whole date-time.
    const int dateWidth = DataGrid->fontMetrics().horizontalAdvance(q(WidestDateTimeText())) + 16;
    for (int c : l.dateColumns)
        if (c < columns) DataGrid->setColumnWidth(c, std::max(DataGrid->columnWidth(c), dateWidth));
    // The view's column order (the table's unless it says otherwise).
    QHeaderView* header = DataGrid->horizontalHeader();
    for (int at = 0; at < columns; ++at) {
        const int c = at < static_cast<int>(l.order.size()) ? l.order[static_cast<size_t>(at)] : at;
        if (c < columns && header->visualIndex(c) != at) header->moveSection(header->visualIndex(c), at);
    }
    static_cast<WrapDelegate*>(DataGrid->itemDelegate())->wrap = l.wordWrap;
    DataGrid->verticalHeader()->setDefaultSectionSize(std::max(TwipsToPixels(l.rowHeightTwips), 18));
    DataGrid->viewport()->update();
}

void General::restorePosition(db::Recordset& rs, const db::Bookmark& saved) {
    const std::int64_t count = rs.recordCount();
    if (!saved.valid() || count == 0) {
        // Nothing remembered: the view starts at its top, whatever the view before it showed.
        DataGrid->scrollToTop();
        DataGrid->horizontalScrollBar()->setValue(0);
        return;
    }
    std::int64_t at = std::min(saved.position, count - 1);  // rows deleted meanwhile: the last row
    if (saved.position < count && saved.rowid != 0) {
        // New messages shift rows by a few places: look for the row near where it was,
        // never through the whole folder.
        constexpr std::int64_t kNear = 256;
        for (std::int64_t d = 0; d <= kNear; ++d) {
            std::int64_t hit = -1;
            for (std::int64_t p : {saved.position + d, saved.position - d}) {
                if (p < 0 || p >= count) continue;
                rs.move(p);
                if (!rs.eof() && rs.bookmark().rowid == saved.rowid) {
                    hit = p;
                    break;
                }
            }
            if (hit >= 0) {
                at = hit;
                break;
            }
        }
    }
    rs.move(at);
    const int row = static_cast<int>(std::min<std::int64_t>(at, DataGridModel->rowCount() - 1));
    if (row < 0) return;
    const QModelIndex index = DataGridModel->index(row, 0);
    DataGrid->selectionModel()->setCurrentIndex(index, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    DataGrid->scrollTo(index, QAbstractItemView::PositionAtCenter);
}

void General::setViewCaption(const std::string& caption) { frmContent->setTitle(q(caption)); }

namespace {
std::vector<FilterKind> tickedFilters(std::initializer_list<std::pair<QAction*, FilterKind>> items) {
    std::vector<FilterKind> out;
    for (const auto& [a, k] : items)
        if (a && a->isChecked()) out.push_back(k);
    return out;
}

// The user's short date, as the grid shows its dates.
std::string localeDay(const std::string& iso) {
    const QDate d = QDate::fromString(q(iso), Qt::ISODate);
    return d.isValid() ? QLocale().toString(d, QLocale::ShortFormat).toStdString() : iso;
}
}  // namespace

void General::InboxDataGrid() {
    trapped("General : Inbox DataGrid display", [this] {
        UpdateUnknownInbox();
        if (!EnsureDbConnection()) return tellDatabaseMissingOnce();
        refresh(rsInbox);
        bindGrid(rsInbox);
        restorePosition(rsInbox, InboxPosition);
        applyLayout(LayoutOf(View::Inbox, rsInbox.fieldCount()));
        // No caption procedure resets the Inbox's headers: the sorted column keeps its mark.
        std::vector<std::string> fields;
        for (int c = 0; c < rsInbox.fieldCount(); ++c) fields.push_back(rsInbox.fieldName(c));
        for (const auto& [c, caption] : SortMarks(View::Inbox, fields, rsInbox.sort()))
            DataGridModel->setHeader(c, q(caption));
        if (!rsInbox.filtered()) {
            Counts.InboxTotal = rsInbox.recordCount();
            setViewCaption(FolderCaption(Folder::Inbox, Counts.InboxTotal));
        } else {
            Counts.ShownCount = rsInbox.recordCount();
            auto c = FilteredFolderCaption(Folder::Inbox,
                                           tickedFilters({{mnuInboxFMessage, FilterKind::Message},
                                                          {mnuInboxFDateTime, FilterKind::DateTime},
                                                          {mnuInboxFMobile, FilterKind::Mobile},
                                                          {mnuInboxFModem, FilterKind::Modem},
                                                          {mnuInboxFName, FilterKind::Name},
                                                          {mnuInboxFStatus, FilterKind::Status}}),
                                           Filters, Counts.ShownCount, Counts.InboxTotal, localeDay);
            if (!c.empty()) setViewCaption(c);
        }
    });
}

void General::OutboxDataGrid() {
    trapped("General-Outbox DataGrid display", [this] {
        if (!EnsureDbConnection()) return tellDatabaseMissingOnce();
        refresh(rsOutbox);
        bindGrid(rsOutbox);
        restorePosition(rsOutbox, OutboxPosition);
        applyLayout(LayoutOf(View::Outbox, rsOutbox.fieldCount()));
        if (!rsOutbox.filtered()) {
            Counts.OutboxTotal = rsOutbox.recordCount();
            setViewCaption(FolderCaption(Folder::Outbox, Counts.OutboxTotal));
        } else {
            Counts.ShownCount = rsOutbox.recordCount();
            auto c = FilteredFolderCaption(Folder::Outbox,
                                           tickedFilters({{mnuOutboxFMessage, FilterKind::Message},
                                                          {mnuOutboxFDateTime, FilterKind::DateTime},
                                                          {mnuOutboxFMobile, FilterKind::Mobile},
                                                          {mnuOutboxFModem, FilterKind::Modem},
                                                          {mnuOutboxFName, FilterKind::Name},
                                                          {mnuOutboxFStatus, FilterKind::Status},
                                                          {mnuOutboxFSubject, FilterKind::Subject}}),
                                           Filters, Counts.ShownCount, Counts.OutboxTotal, localeDay);
            if (!c.empty()) setViewCaption(c);
        }
    });
}

void General::SentDataGrid() {
    trapped("General-SentDataGrid", [this] {
        UpdateUnknownOutbox();
        if (!EnsureDbConnection()) return tellDatabaseMissingOnce();
        refresh(rsSent);
        bindGrid(rsSent);
        restorePosition(rsSent, SentPosition);
        applyLayout(LayoutOf(View::Sent, rsSent.fieldCount()));
        if (!rsSent.filtered()) {
            Counts.SentTotal = rsSent.recordCount();
            setViewCaption(FolderCaption(Folder::Sent, Counts.SentTotal));
        } else {
            Counts.ShownCount = rsSent.recordCount();
            setViewCaption(FilteredFolderCaption(Folder::Sent,
                                                 tickedFilters({{mnuSentFMessage, FilterKind::Message},
                                                                {mnuSentFDateTime, FilterKind::DateTime},
                                                                {mnuSentFMobile, FilterKind::Mobile},
                                                                {mnuSentFModem, FilterKind::Modem},
                                                                {mnuSentFName, FilterKind::Name},
                                                                {mnuSentFStatus, FilterKind::Status},
                                                                {mnuSentFSubject, FilterKind::Subject}}),
                                                 Filters, Counts.ShownCount, Counts.SentTotal, localeDay));
        }
    });
}

void General::AddBookDataGrid() {
    trapped("General : AddBookDataGrid", [this] {
        if (!EnsureDbConnection()) return tellDatabaseMissingOnce();
        refresh(rsAddressBook);
        bindGrid(rsAddressBook);
        restorePosition(rsAddressBook, AddressBookPosition);
        applyLayout(LayoutOf(View::AddressBook, rsAddressBook.fieldCount()));
        if (!rsAddressBook.filtered()) {
            Counts.AddressBookTotal = rsAddressBook.recordCount();
            setViewCaption(AddressBookCaption(Counts.AddressBookTotal));
        } else {
            Counts.ShownCount = rsAddressBook.recordCount();
            std::vector<SearchKind> ticked;
            if (mnuSCompany->isChecked()) ticked.push_back(SearchKind::Company);
            if (mnuSName->isChecked()) ticked.push_back(SearchKind::Name);
            if (mnuSMobile->isChecked()) ticked.push_back(SearchKind::Mobile);
            auto c = SearchedAddressBookCaption(ticked, Filters, Counts.ShownCount, Counts.AddressBookTotal);
            if (!c.empty()) setViewCaption(c);
        }
        // A contact edited from a group view returns to that group.
        if (EditFromGroup) {
            EditFromGroup = false;
            if (QTreeWidgetItem* g = node(NodeKind::Group, SelectedNodeText)) tvwMessage->setCurrentItem(g);
            shownView_ = NodeKind::Group;
            GroupDataGrid(SelectedNodeText);
        }
    });
}

void General::GroupDataGrid(const std::string& groupName) {
    trapped("General-GroupDataGrid", [&] {
        if (!EnsureDbConnection()) return tellDatabaseMissingOnce();
        shownGroup_ = groupName;
        // The grid lets go of the old member set before it is replaced.
        if (DataGridModel->recordset() == &rsGroupMembers) DataGridModel->setRecordset(nullptr);
        rsGroupMembers.open(DbConnection, kGroupMembersSql, {groupName},
                            {db::Cursor::Live, db::Lock::Optimistic, 0});
        bindGrid(rsGroupMembers);
        // The remembered row belongs to the group it was taken in.
        restorePosition(rsGroupMembers, groupPositionOf_ == groupName ? GroupPosition : db::Bookmark{});
        applyLayout(LayoutOf(View::Group, rsGroupMembers.fieldCount()));
        Counts.GroupTotal = rsGroupMembers.recordCount();
        setViewCaption(GroupCaption(groupName, Counts.GroupTotal));
    });
}

// ---- names for unknown numbers --------------------------------------------------------

void General::UpdateUnknownInbox() {
    trapped("General : UpdateUnknownInbox", [this] {
        if (EnsureDbConnection()) FillUnknownInboxNames(DbConnection, inboxNamesSeen_);
    });
}

void General::UpdateUnknownOutbox() {
    trapped("General : UpdateUnknownOutbox", [this] {
        if (EnsureDbConnection()) FillUnknownOutboxNames(DbConnection, outboxNamesSeen_);
    });
}

// ---- grid events ----------------------------------------------------------------------

db::Recordset* General::viewRecordset(NodeKind kind) {
    switch (kind) {
        case NodeKind::Inbox: return &rsInbox;
        case NodeKind::Outbox: return &rsOutbox;
        case NodeKind::SentItems: return &rsSent;
        case NodeKind::AddressBook: return &rsAddressBook;
        case NodeKind::Group: return &rsGroupMembers;
        default: return nullptr;
    }
}

db::Bookmark* General::viewPosition(NodeKind kind) {
    switch (kind) {
        case NodeKind::Inbox: return &InboxPosition;
        case NodeKind::Outbox: return &OutboxPosition;
        case NodeKind::SentItems: return &SentPosition;
        case NodeKind::AddressBook: return &AddressBookPosition;
        case NodeKind::Group: return &GroupPosition;
        default: return nullptr;
    }
}

void General::DataGrid_HeadClick(int column) {
    trapped("General-Datagrid_HeadClick : Sorting by clicking field name", [&] {
        SelectedNodeText = textOf(selectedNode());
        db::Recordset* rs = viewRecordset(shownView_);
        if (!rs || !rs->isOpen() || column < 0 || column >= rs->fieldCount()) return;
        const View view = viewOf(shownView_);
        const std::string caption = DataGridModel->headerData(column, Qt::Horizontal).toString().toStdString();
        auto step = NextSort(view, column, caption, rs->fieldName(column), rs->sort());
        if (!step) throw std::runtime_error("column \"" + caption + "\" cannot be sorted");
        rs->setSort(step->sort);
        DataGridModel->reload();
        // Only the clicked column carries a sort mark.
        for (const auto& [c, base] : SortCaptions(view)) DataGridModel->setHeader(c, q(base));
        DataGridModel->setHeader(column, q(step->caption));
    });
}

void General::DataGrid_DblClick() {
    SelectedNodeText = textOf(selectedNode());
    if (shownView_ != NodeKind::Inbox || !rsInbox.isOpen()) return;
    trapped("General-DataGrid_DblClick", [this] {
        const QModelIndex current = DataGrid->currentIndex();
        if (!current.isValid() || !DataGridModel->setCurrentRow(current.row())) return;
        const std::string mobile = rsInbox.text("Mobile");
        const std::string message = rsInbox.text("Message");
        ShowNewSMSTo(mobile, message);
        rsInbox.setField("Status", "Read");
        rsInbox.update();
        DataGridModel->refreshRow(current.row());
    });
}

void General::DataGrid_SelChange() {
    // Ranges, not rows: a selection of a million rows is counted without listing them.
    std::int64_t n = 0;
    for (const QItemSelectionRange& r : DataGrid->selectionModel()->selection()) n += r.height();
    SelectedRows = n;
}

void General::DataGrid_MouseUp() {
    trapped("General-Datagrid_Up", [this] {
        if (shownView_ == NodeKind::Group) return;  // the group view is remembered by its menu only
        db::Recordset* rs = viewRecordset(shownView_);
        db::Bookmark* saved = viewPosition(shownView_);
        const QModelIndex current = DataGrid->currentIndex();
        if (!rs || !saved || !current.isValid() || !DataGridModel->setCurrentRow(current.row())) return;
        *saved = rs->bookmark();
    });
}

void General::DataGrid_RightMenu(const QPoint& globalPos) {
    trapped("General-Datagrid_MouseDown", [&] {
        SelectedNodeText = textOf(selectedNode());
        db::Recordset* rs = viewRecordset(shownView_);
        db::Bookmark* saved = viewPosition(shownView_);
        const QModelIndex current = DataGrid->currentIndex();
        if (rs && saved && rs->isOpen() && current.isValid() && DataGridModel->setCurrentRow(current.row())) {
            *saved = rs->bookmark();
            if (shownView_ == NodeKind::Group) groupPositionOf_ = shownGroup_;
        }
        switch (shownView_) {
            case NodeKind::Inbox: popup(pmnuMailInbox, globalPos); break;
            case NodeKind::Outbox: popup(pmnuMailOutbox, globalPos); break;
            case NodeKind::SentItems: popup(pmnuMailSent, globalPos); break;
            case NodeKind::AddressBook: popup(pmnuContactRecord, globalPos); break;
            case NodeKind::Group: popup(pmnuGroupContact, globalPos); break;
            default: break;
        }
    });
}

bool General::eventFilter(QObject* watched, QEvent* e) {
    if (watched == DataGrid->viewport() && e->type() == QEvent::MouseButtonRelease &&
        static_cast<QMouseEvent*>(e)->button() == Qt::LeftButton)
        DataGrid_MouseUp();
    return QMainWindow::eventFilter(watched, e);
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
