// The main window's menus, toolbar and pop-up menus.
#include <QAction>
#include <QGroupBox>
#include <QMenu>
#include <QMenuBar>
#include <QTableView>
#include <QToolBar>
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

namespace {

General::PopupHook popupHook;

}  // namespace

General::PopupHook General::setPopupHook(PopupHook hook) {
    PopupHook old = std::move(popupHook);
    popupHook = std::move(hook);
    return old;
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

}  // namespace parlix::console
