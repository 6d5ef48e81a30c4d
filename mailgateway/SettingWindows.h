// The gateway's three settings windows: "E-mail Setting", "SMS Modem Setting" and
// "SMS to Email". Each hides the main window while it is open, Save writes the file
// in the program folder and Cancel writes nothing.
#pragma once

#include "mailgateway/Setting.h"

#include <QWidget>

class QCheckBox;
class QComboBox;
class QGroupBox;
class QLineEdit;
class QPushButton;

namespace parlix::gateway {

// What the three windows share: the main window they hide, Save and Cancel.
class SettingWindow : public QWidget {
    Q_OBJECT
public:
    SettingWindow(QWidget* mainWindow, const char* name, const char* caption);

    // Fills the controls from the file and hides the main window.
    void Form_Load();
    void btnSave_Click();
    void btnCancel_Click();

    QPushButton* btnSave;
    QPushButton* btnCancel;

protected:
    void closeEvent(QCloseEvent* event) override;
    virtual void Fill(const std::string& path) = 0;
    // The field that holds a line break, if any.
    virtual std::optional<std::string> Refused() const = 0;
    virtual void Save(const std::string& path) = 0;
    virtual const char* SaveText() const = 0;
    QWidget* Buttons();

private:
    void Unload();
    QWidget* main_;
};

class EMail_Setting : public SettingWindow {
    Q_OBJECT
public:
    explicit EMail_Setting(QWidget* mainWindow);
    EMailForm Values() const;

    QGroupBox* frmPOP3;
    QLineEdit* txtServer;
    QLineEdit* txtPort;
    QLineEdit* txtUN;
    QLineEdit* txtPW;
    QCheckBox* chkSSL;
    QGroupBox* Frame1;
    QCheckBox* chkFrom;
    QCheckBox* chkDate;
    QCheckBox* chkSubject;
    QCheckBox* chkBody;
    QGroupBox* frmSMS;
    QLineEdit* txtRecipient;
    QCheckBox* chkLine1;
    QCheckBox* chkSMN;
    QComboBox* cmbLimit;

protected:
    void Fill(const std::string& path) override;
    std::optional<std::string> Refused() const override;
    void Save(const std::string& path) override;
    const char* SaveText() const override { return "Seeting have been save"; }
};

class GSM_Modem_Setting : public SettingWindow {
    Q_OBJECT
public:
    explicit GSM_Modem_Setting(QWidget* mainWindow);
    GSMModemForm Values() const;

    QLineEdit* txtPort;
    QLineEdit* txtPIN;

protected:
    void Fill(const std::string& path) override;
    std::optional<std::string> Refused() const override;
    void Save(const std::string& path) override;
    const char* SaveText() const override { return "Setting have been saved"; }
};

class SMTP : public SettingWindow {
    Q_OBJECT
public:
    explicit SMTP(QWidget* mainWindow);
    SMTPForm Values() const;

    QGroupBox* frmSMTP;
    QLineEdit* txtServer;
    QLineEdit* txtPort;
    QLineEdit* txtUN;
    QLineEdit* txtPW;
    QCheckBox* chkSSL;
    QGroupBox* frmEMail;
    QLineEdit* txtsender;

protected:
    void Fill(const std::string& path) override;
    std::optional<std::string> Refused() const override;
    void Save(const std::string& path) override;
    const char* SaveText() const override { return "Seeting have been save"; }
};

}  // namespace parlix::gateway
