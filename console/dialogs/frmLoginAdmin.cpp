#include "console/dialogs/frmLoginAdmin.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>
#include <memory>

#include "console/dialogs/LoginWidgets.h"
#include "console/dialogs/core/Login.h"
#include "console/dialogs/frmUserPassword.h"
#include "console/shell/General.h"
#include "console/shell/Windows.h"
#include "console/shell/core/ConnectDB.h"
#include "console/shell/core/Error.h"
#include "platform/ui/Dialogs.h"

namespace parlix::console {

frmLoginAdmin::frmLoginAdmin(QWidget* parent) : QDialog(parent) {
    setObjectName("frmLoginAdmin");
    setWindowTitle("Administrator Login");
    setModal(true);

    txtUserName = new QLineEdit(this);
    txtUserName->setObjectName("txtUserName");
    txtPassword = NewPasswordBox(this, "txtPassword");
    const char* captions[2] = {"&Login ID:", "&Password:"};
    QLineEdit* buddies[2] = {txtUserName, txtPassword};
    auto* grid = new QGridLayout;
    for (int i = 0; i < 2; ++i) {
        lblLabels[i] = new QLabel(captions[i], this);
        lblLabels[i]->setObjectName(QString("lblLabels_%1").arg(i));
        lblLabels[i]->setBuddy(buddies[i]);
        grid->addWidget(lblLabels[i], i, 0);
        grid->addWidget(buddies[i], i, 1);
    }
    QHBoxLayout* buttons = NewOkCancelRow(this, cmdOK, cmdCancel);
    auto* all = new QVBoxLayout(this);
    all->addLayout(grid);
    all->addSpacing(8);
    all->addLayout(buttons);
    setMinimumWidth(320);

    connect(cmdOK, &QPushButton::clicked, this, &frmLoginAdmin::cmdOK_Click);
    connect(cmdCancel, &QPushButton::clicked, this, &frmLoginAdmin::cmdCancel_Click);
}

void frmLoginAdmin::cmdOK_Click() {
    try {
        ConnectDB(DbConnection);
        if (IsAdminLogin(DbConnection, txtUserName->text().toStdString(), txtPassword->text().toStdString())) {
            LoginAdmin = true;
            hide();  // ends the gate's modal show
            frmUserPassword* pw = frmUserPassword::instance();
            pw->show();
            pw->raise();
            pw->activateWindow();
            return;
        }
        ui::msgBox("Invalid Password, try again!", ui::vbCritical, "Login");
        txtPassword->setFocus();
        txtPassword->selectAll();
    } catch (...) {
        LogCurrentException("frmLoginAdmin-cmdOK_Click");
    }
}

void frmLoginAdmin::cmdCancel_Click() { hide(); }

namespace {
void execModal(QDialog& d) { d.exec(); }
ModalRunner loginRunner = &execModal;
}  // namespace

ModalRunner setLoginModalRunner(ModalRunner runner) {
    ModalRunner old = loginRunner;
    loginRunner = runner ? runner : &execModal;
    return old;
}

void OpenUserPasswordAsAdmin() {
    try {
        auto login = std::make_unique<frmLoginAdmin>();
        loginRunner(*login);
        const bool admin = login->LoginAdmin;
        login.reset();
        if (admin) {
            frmUserPassword::instance()->show();
        } else if (General* main = General::instance()) {
            main->show();
            main->raise();
            main->activateWindow();
        }
    } catch (...) {
        LogCurrentException("EG-Main");
    }
}

void ShowLoginAdminThenPassword() { OpenUserPasswordAsAdmin(); }

}  // namespace parlix::console
