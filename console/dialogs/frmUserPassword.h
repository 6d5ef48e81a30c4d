// frmUserPassword - "User Password": changes the password of the console user "user1".
#pragma once

#include <QDialog>

class QLabel;
class QLineEdit;
class QPushButton;

namespace parlix::console {

class frmUserPassword : public QDialog {
    Q_OBJECT
public:
    explicit frmUserPassword(QWidget* parent = nullptr);
    static frmUserPassword* instance();

    void cmdOK_Click();
    void cmdCancel_Click();

    QLabel *lblOldPassword = nullptr, *lblNewPassword = nullptr, *lblConfirmPassword = nullptr;
    QLineEdit *txtOldPassword = nullptr, *txtNewPassword = nullptr, *txtConfirmPassword = nullptr;
    QPushButton *cmdOK = nullptr, *cmdCancel = nullptr;

protected:
    void showEvent(QShowEvent* e) override;

private:
    void Form_Load();
};

}  // namespace parlix::console
