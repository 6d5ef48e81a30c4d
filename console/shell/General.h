// General - the console's main window: the folder tree, the grid of the chosen folder
// or the summary panel, the menu bar, the toolbar and the pop-up menus.
//
// One main window per run: the first General constructed is General::instance();
// windows that call back into it (the composer, the import, the contact editor)
// check for nullptr. The public procedures below are what those windows call after
// they change data; the public record sets, state and menu items are shared with the
// filter, search, delete, group and export code that works on this window.
#pragma once

#include <QMainWindow>
#include <QPoint>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "console/shell/core/Captions.h"
#include "console/shell/core/Deletes.h"
#include "console/shell/core/UnknownNames.h"
#include "console/shell/core/Views.h"
#include "platform/db/Recordset.h"

class QAction;
class QGroupBox;
class QLabel;
class QMenu;
class QTableView;
class QToolBar;
class QTreeWidget;
class QTreeWidgetItem;

namespace parlix::db {
class RecordsetModel;
}

namespace parlix::console {

// What a tree node stands for; kept in the node itself, so a group named "Inbox" is
// still a group.
enum class NodeKind { Messages = 1, AddressBook, Inbox, Outbox, SentItems, Group };

class General : public QMainWindow {
    Q_OBJECT
public:
    // Builds the window and loads it (connection, record sets, tree, summary).
    explicit General(QWidget* parent = nullptr);
    ~General() override;

    // The one main window, nullptr when none was created.
    static General* instance();

    // Public procedures.
    void InboxDataGrid();
    void SentDataGrid();
    void OutboxDataGrid();
    void AddBookDataGrid();
    void GroupDataGrid(const std::string& groupName);
    void AddNewGroup();
    void newSavedGroup(const std::string& groupName);
    void DeleteGroup();
    void Status();
    void UpdateUnknownInbox();
    void UpdateUnknownOutbox();
    // Sets a folder's filter (an empty criteria removes it) and shows the folder with
    // its loader: names are filled in first, so a name filter sees them, and the set is
    // read once, under the new filter (the loader does not read it again).
    void showFiltered(db::Recordset& rs, const db::Criteria& criteria, void (General::*loader)());

    // Pop-up menus go through this hook (QMenu::exec blocks): the default shows the
    // menu; tests install one that records which menu was asked for.
    using PopupHook = std::function<void(QMenu* menu, const QPoint& globalPos)>;
    static PopupHook setPopupHook(PopupHook hook);  // returns the previous one

    bool confirmExit();  // asks "Are you sure want to exit ...?"; true when Yes
    // The program's end as after Yes to that question (a stop signal): the data and
    // every other window closed, then this one.
    void EndWithoutQuestion();

    // The tree: node lookup by kind/text, and the node the user acted on last.
    QTreeWidgetItem* node(NodeKind kind, const std::string& text = {}) const;
    static NodeKind kindOf(const QTreeWidgetItem* item);
    static std::string textOf(const QTreeWidgetItem* item);
    // Tree events: a click on a node (every click, so the selected node reloads) and a
    // right click on it (its pop-up menu).
    void tvwMessage_NodeClick(QTreeWidgetItem* item);
    void tvwMessage_MouseDown(QTreeWidgetItem* item);
    QTreeWidgetItem* selectedNode() const;
    NodeKind shownView() const { return shownView_; }

    // Grid events (also reached from the view's mouse and header signals).
    void DataGrid_HeadClick(int column);
    void DataGrid_DblClick();
    void DataGrid_SelChange();
    void DataGrid_MouseUp();
    void DataGrid_RightMenu(const QPoint& globalPos);

    // Folder filters (GeneralFilters.cpp): one handler per item of the three Filter
    // submenus, hidden items included, and Remove All Filter.
    void mnuInboxFMobile_Click();
    void mnuInboxFMessage_Click();
    void mnuInboxFDateTime_Click();
    void mnuInboxFStatus_Click();
    void mnuInboxFName_Click();
    void mnuInboxFModem_Click();
    void mnuInboxRFilter_Click();
    void mnuOutboxFMobile_Click();
    void mnuOutboxFMessage_Click();
    void mnuOutboxFSubject_Click();
    void mnuOutboxFDateTime_Click();
    void mnuOutboxFStatus_Click();
    void mnuOutboxFName_Click();
    void mnuOutboxFModem_Click();
    void mnuOutboxRFilter_Click();
    void mnuSentFMobile_Click();
    void mnuSentFMessage_Click();
    void mnuSentFSubject_Click();
    void mnuSentFDateTime_Click();
    void mnuSentFStatus_Click();
    void mnuSentFName_Click();
    void mnuSentFModem_Click();
    void mnuSentRFilter_Click();
    // Contact searches (GeneralSearches.cpp).
    void mnuSName_Click();
    void mnuSMobile_Click();
    void mnuSCompany_Click();
    // Deletes (GeneralDeletes.cpp).
    void pmnuDeleteInbox_Click();
    void pmnuDeleteOutbox_Click();
    void pmnuDeleteSent_Click();
    void pmnuDeleteAllInbox_Click();
    void pmnuDeleteAllOutbox_Click();
    void pmnuDeleteAllSent_Click();
    void pmnuDeleteContact_Click();
    void pmnuDeleteAllContact_Click();
    void pmnuDeleteContactFromGroup_Click();
    void pmnuDeleteAllFromGroup_Click();

    // Items that only open another window or the manual.
    void mnuHelp_Click();
    void pmnuSendInbox_Click();
    void pmnuSMS_Click();
    void Toolbar_ButtonClick(int index);  // 1 to 5

    // Groups and contacts (GeneralGroups.cpp).
    void pmnuGroup_Rename_Click();
    void pmnuRemoveContact_Click();
    void pmnuRemoveAllContactFromGroup_Click();
    void mnuContact_Click();     // add mode, modal
    void pmnuAddContact_Click();  // add mode, not modal (the three pop-up items)
    void pmnuProperties_Click();
    void pmnuProperties01_Click();
    // Resend, reply, billing (GeneralMessages.cpp).
    void mnuResendFSMS_Click();
    void mnuBillMdm_Click();
    void pmnuReply_Click();
    void pmnuResend_Click();
    void pmnuSendOutbox_Click();
    void pmnuSendSent_Click();
    void pmnuSaveToContact_Click();
    // The group on show (its node's text when it was clicked).
    const std::string& shownGroup() const { return shownGroup_; }

    // Record sets, live on DbConnection for the window's life (requeried, never reopened;
    // opened later only when the database was not there at load). rsSent opens with the
    // first Sent Items view: it counts nearly the whole Outbox. The summary's sent and
    // delivery counts come from one pass over the Outbox's status index instead of a
    // set of sent rows.
    db::Recordset rsAddressBook, rsInbox, rsOutbox, rsSent, rsDuplicate, rsFailed, rsGroupNames;
    db::Recordset rsGroupMembers;  // opened anew by each group load
    // How Delete All (of a folder or of the contacts) splits its work into transactions.
    BatchOptions deleteBatches;

    // Filter and search state (set by the filter and search procedures; the loaders
    // build the captions from it).
    FilterState Filters;
    ViewCounts Counts;
    // The group whose view carries a contact search; empty when none. Set by a search in
    // a group view, cleared where a node click unticks the search items.
    std::string GroupSearchMarker;
    std::int64_t SelectedRows = 0;  // rows selected in the grid

    // Remembered rows of the views.
    db::Bookmark InboxPosition, OutboxPosition, SentPosition, AddressBookPosition, GroupPosition;

    // Widgets.
    QTreeWidget* tvwMessage = nullptr;
    QGroupBox* frmContent = nullptr;
    QTableView* DataGrid = nullptr;
    db::RecordsetModel* DataGridModel = nullptr;
    QGroupBox* frmStatus = nullptr;
    QLabel *lblStatusInbox = nullptr, *lblStatusOutbox = nullptr, *lblStatusSentItems = nullptr,
           *lblStatusSentOK = nullptr, *lblStatusSent_Delivered = nullptr, *lblStatusSent_Undelivered = nullptr,
           *lblStatusFail = nullptr, *lblStatusDup = nullptr, *lblStatusAddBook = nullptr, *lblStatusGroup = nullptr;
    QToolBar* Toolbar = nullptr;

    // Menu bar.
    QMenu *mnuBM = nullptr, *mnuCM = nullptr, *mnuMM = nullptr, *mnuSetting = nullptr;
    QAction *mnuAbout = nullptr, *mnuHelp = nullptr;
    QAction *mnuSMS = nullptr, *mnuResendFSMS = nullptr, *mnuBillMdm = nullptr;
    QAction *mnuContact = nullptr, *mnuGroup = nullptr, *mnuImport = nullptr, *mnuExport = nullptr;
    QMenu* mnuSearchMenu = nullptr;
    QAction *mnuSearch = nullptr, *mnuSName = nullptr, *mnuSMobile = nullptr, *mnuSCompany = nullptr;
    QMenu *mnuInboxMenu = nullptr, *mnuOutboxMenu = nullptr, *mnuSentItemsMenu = nullptr;
    QAction *mnuInbox = nullptr, *mnuOutbox = nullptr, *mnuSentItems = nullptr;
    QAction *mnuInboxFilter = nullptr, *mnuInboxFMobile = nullptr, *mnuInboxFMessage = nullptr,
            *mnuInboxFDateTime = nullptr, *mnuInboxFStatus = nullptr, *mnuInboxFName = nullptr,
            *mnuInboxFModem = nullptr, *mnuInboxRFilter = nullptr;
    QAction *mnuOutboxFilter = nullptr, *mnuOutboxFMobile = nullptr, *mnuOutboxFMessage = nullptr,
            *mnuOutboxFSubject = nullptr, *mnuOutboxFDateTime = nullptr, *mnuOutboxFStatus = nullptr,
            *mnuOutboxFName = nullptr, *mnuOutboxFModem = nullptr, *mnuOutboxRFilter = nullptr;
    QAction *mnuSentFilter = nullptr, *mnuSentFMobile = nullptr, *mnuSentFMessage = nullptr,
            *mnuSentFSubject = nullptr, *mnuSentFDateTime = nullptr, *mnuSentFStatus = nullptr,
            *mnuSentFName = nullptr, *mnuSentFModem = nullptr, *mnuSentRFilter = nullptr;
    QAction *mnuExportSent = nullptr, *mnuExportReceived = nullptr;
    QAction* mnuUserPW = nullptr;

    // Pop-up menus and their items.
    QMenu *pmnuAllContact = nullptr, *pmnuGroup = nullptr, *pmnuMailInbox = nullptr, *pmnuMailOutbox = nullptr,
          *pmnuMailSent = nullptr, *pmnuContactRecord = nullptr, *pmnuGroupContact = nullptr;
    QAction *pmnuAllContact_AddGroup = nullptr, *pmnuAllContact_AddContact = nullptr;
    QAction *pmnuGroup_AddGroup = nullptr, *pmnuGroup_DeleteGroup = nullptr, *pmnuGroup_AddContact = nullptr,
            *pmnuGroup_Rename = nullptr;
    QAction *pmnuSaveToContact = nullptr, *pmnuSendInbox = nullptr, *pmnuReply = nullptr, *pmnuDeleteInbox = nullptr,
            *pmnuDeleteAllInbox = nullptr;
    QAction *pmnuSendOutbox = nullptr, *pmnuDeleteOutbox = nullptr, *pmnuDeleteAllOutbox = nullptr;
    QAction *pmnuSendSent = nullptr, *pmnuResend = nullptr, *pmnuDeleteSent = nullptr, *pmnuDeleteAllSent = nullptr;
    QAction *pmnuSMS = nullptr, *pmnuProperties = nullptr, *pmnuAddContact = nullptr, *pmnuDeleteContact = nullptr,
            *pmnuDeleteAllContact = nullptr;
    QAction *pmnuProperties01 = nullptr, *pmnuRemoveContact = nullptr, *pmnuRemoveAllContactFromGroup = nullptr,
            *pmnuDeleteContactFromGroup = nullptr, *pmnuDeleteAllFromGroup = nullptr;

protected:
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void buildWidgets();
    void buildMenus();
    void buildToolbar();
    void buildPopups();
    void Form_Load();
    void Form_Unload();
    std::vector<db::Recordset*> openRecordsets(bool sentSets = false);  // the sets it opened
    void refresh(db::Recordset& rs);  // opens or requeries a view's set
    void summary(std::vector<db::Recordset*> openedNow);
    void buildTree();
    void showContent(bool content);
    void applyLayout(const ViewLayout& layout);
    void bindGrid(db::Recordset& rs);
    void restorePosition(db::Recordset& rs, const db::Bookmark& saved);
    void setViewCaption(const std::string& caption);
    void setFolderCaption(Folder folder, const db::Recordset& rs, std::int64_t& total,
                          const std::vector<FilterKind>& ticked);
    void tellDatabaseMissingOnce();
    db::Recordset* viewRecordset(NodeKind kind);
    db::Bookmark* viewPosition(NodeKind kind);
    void popup(QMenu* menu, const QPoint& globalPos);
    void connectFilters();   // GeneralFilters.cpp, GeneralSearches.cpp
    void connectSearches();
    void connectDeletes();   // GeneralDeletes.cpp
    // The filter procedures, one per kind; each acts on the selected folder.
    void mnuFDateTime();
    void mnuFMdm();
    void mnuFMobile();
    void mnuFMsg();
    void mnuFName();
    void mnuFStatus();
    void mnuFSubject();
    void mnuRFilter();
    void connectGroupActions();    // GeneralGroups.cpp
    void connectMessageActions();  // GeneralMessages.cpp
    void editContact(db::Recordset& rs, bool fromGroup);
    void replyOrResend(NodeKind folder, db::Recordset& rs, const char* location);

    NodeKind shownView_ = NodeKind::Messages;
    std::string shownGroup_;
    std::string groupPositionOf_;  // the group GroupPosition was taken in
    bool databaseMessageShown_ = false;
    bool closing_ = false;
    // What the last name fill-in of each folder saw: a load looks only at what changed.
    UnknownNamesSeen inboxNamesSeen_, outboxNamesSeen_;
    db::Recordset* freshlyRead_ = nullptr;  // read under its new filter just now

    friend struct GeneralTestAccess;
};

}  // namespace parlix::console
