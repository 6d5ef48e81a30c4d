// frmLoginAdmin - "Administrator Login", the gate in front of the user password window.
#pragma once

#include <QDialog>

class QLabel;
class QLineEdit;
class QPushButton;

namespace parlix::console {

class frmLoginAdmin : public QDialog {
    Q_OBJECT
public:
    explicit frmLoginAdmin(QWidget* parent = nullptr);

    void cmdOK_Click();
    void cmdCancel_Click();

    bool LoginAdmin = false;  // true after a successful administrator login

    QLabel* lblLabels[2] = {nullptr, nullptr};  // "&Login ID:", "&Password:"
    QLineEdit *txtUserName = nullptr, *txtPassword = nullptr;
    QPushButton *cmdOK = nullptr, *cmdCancel = nullptr;
};

// The administrator gate (the main window's "User Password"): a fresh login window,
// modal; then the user password window, or the main window again.
void OpenUserPasswordAsAdmin();

// How the gate shows the login window modally; tests replace it to press its buttons.
using ModalRunner = void (*)(QDialog&);
ModalRunner setLoginModalRunner(ModalRunner runner);

}  // namespace parlix::console
