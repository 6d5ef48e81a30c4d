// The main window's message actions: resend every failed message, the billing report
// of one modem, reply and resend through the composer, "New SMS", and saving an
// unknown sender into the Address Book.
#include <QAction>
#include <QLineEdit>
#include <QTableView>

#include "console/dialogs/frmContact.h"
#include "console/dialogs/frmNewSMS.h"
#include "console/shell/General.h"
#include "console/shell/Windows.h"
#include "console/shell/core/ConnectDB.h"
#include "console/shell/core/Groups.h"
#include "console/shell/core/Main1.h"
#include "console/shell/core/Messages.h"
#include "console/shell/core/Trap.h"
#include "platform/db/Statement.h"
#include "platform/db/qt/RecordsetModel.h"
#include "platform/ui/Dialogs.h"

namespace parlix::console {

namespace {

constexpr const char* kResendTitle = "Dadozoradava Vevovud - Resend Failed SMS";
constexpr const char* kBillWarning = "Vovivaded Ezovaro - Warning";

}  // namespace

void General::connectMessageActions() {
    connect(mnuResendFSMS, &QAction::triggered, this, [this] { mnuResendFSMS_Click(); });
    connect(mnuBillMdm, &QAction::triggered, this, [this] { mnuBillMdm_Click(); });
    connect(pmnuReply, &QAction::triggered, this, [this] { pmnuReply_Click(); });
    connect(pmnuResend, &QAction::triggered, this, [this] { pmnuResend_Click(); });
    connect(pmnuSendOutbox, &QAction::triggered, this, [this] { pmnuSendOutbox_Click(); });
    connect(pmnuSendSent, &QAction::triggered, this, [this] { pmnuSendSent_Click(); });
    connect(pmnuSaveToContact, &QAction::triggered, this, [this] { pmnuSaveToContact_Click(); });
}

void General::mnuResendFSMS_Click() {
    Trap("General-mnuResend_Click", [this] {
        if (!EnsureDbConnection()) return tellDatabaseMissingOnce();
        const bool anyFailed = db::Statement(DbConnection, "SELECT 1 FROM Outbox WHERE SentStatus = 'F' LIMIT 1").exists();
        const std::int64_t n = anyFailed ? ResendFailed(DbConnection) : 0;
        if (n < 1) {
            ui::msgBox("There is no SMS with failed status!", ui::vbInformation, kResendTitle);
            return;
        }
        ui::msgBox(std::to_string(n) + " SMS resend.", ui::vbInformation, kResendTitle);
        if (rsFailed.isOpen()) rsFailed.requery();
        // The view on show follows; the summary counts anew.
        switch (shownView_) {
            case NodeKind::SentItems: SentDataGrid(); break;
            case NodeKind::Outbox: OutboxDataGrid(); break;
            case NodeKind::Messages: Status(); break;
            default: break;
        }
    });
}

void General::mnuBillMdm_Click() {
    Trap("General : SMS Billing report", [this] {
        if (!EnsureDbConnection()) return tellDatabaseMissingOnce();
        std::int64_t id = 0;
        Billing b;
        for (;;) {
            const std::string answer = ui::inputBox("Please input the modem number", "Vovivaded Ezovaro - Modem number");
            const ModemAnswer kind = ParseModemAnswer(answer, id);
            if (kind == ModemAnswer::Empty) {
                ui::msgBox("You haven't enter any modem number", ui::vbExclamation, kBillWarning);
                return;
            }
            if (kind == ModemAnswer::NotNumeric) continue;
            if (kind == ModemAnswer::Ok) {
                b = BillModem(DbConnection, id);
                if (b.modemFound) break;
            }
            ui::msgBox("The Modem ID does not exist!", ui::vbInformation, "Vovivaded Ezovaro - ModemID not existed");
        }
        if (GroupNameOf(b.modemNumber).empty())
            ui::msgBox("The Modem Number is not entered", ui::vbExclamation, kBillWarning);
        if (!b.rate1) {
            ui::msgBox("SMS Rate for intra network operator is not entered!", ui::vbExclamation,
                       "Vovivaded Ezovaro - SMS Rate");
            return;
        }
        if (!b.rate2) {
            ui::msgBox("SMS Rate for inter network operator is not entered!", ui::vbExclamation,
                       "Vovivaded Ezovaro - SMS Rate");
            return;
        }
        if (b.network.empty()) return;  // a network the report does not know
        ui::msgBox("SMS billing report for Modem No. " + std::to_string(id) + ": RM " + b.amount.text(), ui::vbOKOnly,
                   b.title);
    });
}

void General::replyOrResend(NodeKind folder, db::Recordset& rs, const char* location) {
    Trap(location, [&] {
        SelectedNodeText = textOf(selectedNode());
        if (kindOf(selectedNode()) != folder || shownView_ != folder || !rs.isOpen() || rs.recordCount() == 0) return;
        const QModelIndex current = DataGrid->currentIndex();
        if (current.isValid()) DataGridModel->setCurrentRow(current.row());
        if (rs.eof() || rs.bof()) return;
        if (folder == NodeKind::Inbox) InboxPosition = rs.bookmark();
        const std::string mobile = rs.text("Mobile"), message = rs.text("Message");
        const std::string oldSubject = folder == NodeKind::SentItems ? rs.text("Subject") : std::string();
        ShowNewSMSTo(mobile, message);
        // A fresh subject: under the subject it went out with, the engine would take the
        // message for a duplicate and never send it.
        frmNewSMS* composer = frmNewSMS::instance();
        std::string subject = composer->freshSubject();
        if (subject == oldSubject) subject = composer->freshSubject();
        composer->txtSubject->setText(QString::fromStdString(subject));
    });
}

void General::pmnuReply_Click() { replyOrResend(NodeKind::Inbox, rsInbox, "General : Reply SMS"); }
void General::pmnuResend_Click() { replyOrResend(NodeKind::SentItems, rsSent, "General : Resend SMS"); }
void General::pmnuSendOutbox_Click() { ShowNewSMS(); }
void General::pmnuSendSent_Click() { ShowNewSMS(); }

void General::pmnuSaveToContact_Click() {
    Trap("General : pmnuSaveToContact_Click", [this] {
        if (!rsInbox.isOpen() || rsInbox.recordCount() == 0) return;
        if (shownView_ == NodeKind::Inbox) {
            const QModelIndex current = DataGrid->currentIndex();
            if (current.isValid()) DataGridModel->setCurrentRow(current.row());
        }
        if (rsInbox.eof() || rsInbox.bof()) return;
        if (GroupNameOf(rsInbox.text("Name")) != "Unknown") {
            ui::msgBox("This contact is already in the Address Book.", ui::vbInformation, "Contact Manager");
            return;
        }
        const std::string mobile = rsInbox.text("Mobile");
        EditContact = false;
        frmContact::instance()->openAdd(true, mobile);
        UpdateUnknownInbox();
        if (shownView_ == NodeKind::Inbox) InboxDataGrid();
    });
}

}  // namespace parlix::console
