#include "console/dialogs/frmUserPassword.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QShowEvent>
#include <QVBoxLayout>

#include "console/dialogs/LoginWidgets.h"
#include "console/dialogs/core/Login.h"
#include "console/shell/core/ConnectDB.h"
#include "console/shell/core/Error.h"
#include "platform/ui/Dialogs.h"

namespace parlix::console {

frmUserPassword::frmUserPassword(QWidget* parent) : QDialog(parent) {
    setObjectName("frmUserPassword");
    setWindowTitle("User Password");
    setModal(false);

    lblOldPassword = new QLabel("Old Password:", this);
    lblOldPassword->setObjectName("lblOldPassword");
    lblNewPassword = new QLabel("New Password:", this);
    lblNewPassword->setObjectName("lblNewPassword");
    lblConfirmPassword = new QLabel("Confirmed Password:", this);
    lblConfirmPassword->setObjectName("lblConfirmPassword");
    txtOldPassword = NewPasswordBox(this, "txtOldPassword");
    txtNewPassword = NewPasswordBox(this, "txtNewPassword");
    txtConfirmPassword = NewPasswordBox(this, "txtConfirmPassword");
    auto* grid = new QGridLayout;
    grid->addWidget(lblOldPassword, 0, 0);
    grid->addWidget(txtOldPassword, 0, 1);
    grid->addWidget(lblNewPassword, 1, 0);
    grid->addWidget(txtNewPassword, 1, 1);
    grid->addWidget(lblConfirmPassword, 2, 0);
    grid->addWidget(txtConfirmPassword, 2, 1);

    QHBoxLayout* buttons = NewOkCancelRow(this, cmdOK, cmdCancel);
    auto* all = new QVBoxLayout(this);
    all->addLayout(grid);
    all->addSpacing(8);
    all->addLayout(buttons);
    setMinimumWidth(340);

    connect(cmdOK, &QPushButton::clicked, this, &frmUserPassword::cmdOK_Click);
    connect(cmdCancel, &QPushButton::clicked, this, &frmUserPassword::cmdCancel_Click);
}

frmUserPassword* frmUserPassword::instance() {
    static frmUserPassword* window = new frmUserPassword;
    return window;
}

// Each opening starts with empty boxes; a failed try keeps what was typed.
void frmUserPassword::showEvent(QShowEvent* e) {
    if (!e->spontaneous()) Form_Load();
    QDialog::showEvent(e);
}

void frmUserPassword::Form_Load() {
    txtOldPassword->clear();
    txtNewPassword->clear();
    txtConfirmPassword->clear();
    txtOldPassword->setFocus();
}

void frmUserPassword::cmdOK_Click() {
    try {
        ConnectDB(DbConnection);
        switch (ChangeUserPassword(DbConnection, txtOldPassword->text().toStdString(),
                                   txtNewPassword->text().toStdString(), txtConfirmPassword->text().toStdString())) {
        case PasswordChange::WrongPassword:
            ui::msgBox("You have entered a wrong password, please try again.", ui::vbOKOnly, "Setting");
            break;
        case PasswordChange::Mismatch:
            ui::msgBox("The new password and the confirm password do not match.  Please enter again!", ui::vbCritical,
                       "Setting");
            break;
        case PasswordChange::Changed:
            ui::msgBox("New password has been updated successfully!", ui::vbInformation, "Setting");
            close();
            return;
        }
        txtOldPassword->setFocus();
        txtOldPassword->selectAll();
    } catch (...) {
        LogCurrentException("frmUserPassword-cmdOK_Click");
    }
}

void frmUserPassword::cmdCancel_Click() { close(); }

}  // namespace parlix::console
