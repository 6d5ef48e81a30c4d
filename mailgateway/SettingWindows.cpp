#include "mailgateway/SettingWindows.h"

#include "mailgateway/Log.h"
#include "platform/ui/Dialogs.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace parlix::gateway {

namespace {
template <class T>
T* Named(T* widget, const char* name) {
    widget->setObjectName(name);
    return widget;
}
QLineEdit* Field(const char* name, bool password = false) {
    auto* edit = Named(new QLineEdit, name);
    if (password) edit->setEchoMode(QLineEdit::Password);
    return edit;
}
std::string Text(const QLineEdit* edit) { return edit->text().toStdString(); }
void SetText(QLineEdit* edit, const std::string& value) { edit->setText(QString::fromStdString(value)); }
}  // namespace

SettingWindow::SettingWindow(QWidget* mainWindow, const char* name, const char* caption) : main_(mainWindow) {
    setObjectName(name);
    setWindowTitle(caption);
    setAttribute(Qt::WA_DeleteOnClose);
    btnSave = Named(new QPushButton("Save"), "btnSave");
    btnCancel = Named(new QPushButton("Cancel"), "btnCancel");
    connect(btnSave, &QPushButton::clicked, this, [this] { btnSave_Click(); });
    connect(btnCancel, &QPushButton::clicked, this, [this] { btnCancel_Click(); });
}

QWidget* SettingWindow::Buttons() {
    auto* row = new QWidget;
    auto* layout = new QHBoxLayout(row);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addStretch();
    layout->addWidget(btnSave);
    layout->addWidget(btnCancel);
    return row;
}

void SettingWindow::Form_Load() {
    if (main_) main_->hide();
    try {
        Fill(SettingFilePath());
    } catch (...) {
        LogCurrentException(objectName().toStdString() + ".Form_Load() ");
    }
}

void SettingWindow::btnSave_Click() {
    const std::string title = windowTitle().toStdString();
    if (const auto field = Refused()) {
        ui::msgBox(LineBreakMessage(*field), ui::vbOKOnly | ui::vbExclamation, title);
        return;
    }
    try {
        Save(SettingFilePath());
    } catch (const std::exception& e) {
        // The user must know the settings were not kept; the window stays open.
        ui::msgBox(std::string("The settings could not be saved: ") + e.what(), ui::vbOKOnly | ui::vbCritical, title);
        return;
    }
    ui::msgBox(SaveText(), ui::vbOKOnly, title);
    Unload();
}

void SettingWindow::btnCancel_Click() { Unload(); }

void SettingWindow::Unload() {
    if (main_) main_->show();
    close();
}

void SettingWindow::closeEvent(QCloseEvent* event) {
    // Closed by its title bar: the main window comes back as with Cancel.
    if (main_ && !main_->isVisible()) main_->show();
    event->accept();
}

EMail_Setting::EMail_Setting(QWidget* mainWindow) : SettingWindow(mainWindow, "EMail_Setting", "E-mail Setting") {
    frmPOP3 = Named(new QGroupBox("POP3 Setting"), "frmPOP3");
    txtServer = Field("txtServer");
    txtPort = Field("txtPort");
    txtUN = Field("txtUN");
    txtPW = Field("txtPW", true);
    chkSSL = Named(new QCheckBox("SSL"), "chkSSL");
    auto* pop = new QFormLayout(frmPOP3);
    pop->addRow("Server:", txtServer);
    pop->addRow("Port Number:", txtPort);
    pop->addRow("User Name:", txtUN);
    pop->addRow("Password:", txtPW);
    pop->addRow("", chkSSL);

    Frame1 = Named(new QGroupBox("Convert these to SMS"), "Frame1");
    chkFrom = Named(new QCheckBox("Sender of e-mail"), "chkFrom");
    chkDate = Named(new QCheckBox("Date of e-mail"), "chkDate");
    chkSubject = Named(new QCheckBox("Subject of e-mail"), "chkSubject");
    chkBody = Named(new QCheckBox("Body of e-mail"), "chkBody");
    auto* convert = new QVBoxLayout(Frame1);
    for (QCheckBox* box : {chkFrom, chkDate, chkSubject, chkBody}) convert->addWidget(box);

    frmSMS = Named(new QGroupBox("Send the SMS ..."), "frmSMS");
    txtRecipient = Field("txtRecipient");
    txtRecipient->setToolTip("enter a number or leave it blank");
    chkLine1 = Named(new QCheckBox("or / and to the number stated in the 1st line of \"Body\""), "chkLine1");
    chkSMN = Named(new QCheckBox("or / and to the number stated in the \"Subject\" of the e-mail."), "chkSMN");
    cmbLimit = Named(new QComboBox, "cmbLimit");
    for (int i = 1; i <= 9; ++i) cmbLimit->addItem(QString::number(i));
    auto* sms = new QVBoxLayout(frmSMS);
    auto* to = new QHBoxLayout;
    to->addWidget(new QLabel("to this number:"));
    to->addWidget(txtRecipient, 1);
    sms->addLayout(to);
    sms->addWidget(chkLine1);
    sms->addWidget(chkSMN);
    auto* limit = new QHBoxLayout;
    auto* limitLabel = new QLabel("If message is longer than 160 characters, then maximum number/parts of SMS is");
    limitLabel->setWordWrap(true);
    limit->addWidget(limitLabel, 1);
    limit->addWidget(cmbLimit);
    sms->addLayout(limit);

    auto* layout = new QVBoxLayout(this);
    auto* top = new QHBoxLayout;
    top->addWidget(frmPOP3, 1);
    top->addWidget(Frame1);
    layout->addLayout(top);
    layout->addWidget(frmSMS);
    layout->addWidget(Buttons());
}

void EMail_Setting::Fill(const std::string& path) {
    const EMailForm f = LoadEMailForm(path);
    SetText(txtServer, f.Server);
    SetText(txtUN, f.UN);
    SetText(txtPW, f.PW);
    SetText(txtPort, f.Port);
    SetText(txtRecipient, f.Recipient);
    // A value the list does not hold shows no choice (and is saved as the empty text).
    cmbLimit->setCurrentIndex(cmbLimit->findText(QString::fromStdString(f.Limit)));
    chkFrom->setChecked(f.From);
    chkDate->setChecked(f.Date);
    chkSubject->setChecked(f.Subject);
    chkBody->setChecked(f.Body);
    chkSSL->setChecked(f.SSL);
    chkLine1->setChecked(f.Line1);
    chkSMN->setChecked(f.SMN);
}

EMailForm EMail_Setting::Values() const {
    EMailForm f;
    f.Server = Text(txtServer);
    f.Port = Text(txtPort);
    f.UN = Text(txtUN);
    f.PW = Text(txtPW);
    f.Recipient = Text(txtRecipient);
    f.Limit = cmbLimit->currentText().toStdString();
    f.From = chkFrom->isChecked();
    f.Date = chkDate->isChecked();
    f.Subject = chkSubject->isChecked();
    f.Body = chkBody->isChecked();
    f.SSL = chkSSL->isChecked();
    f.Line1 = chkLine1->isChecked();
    f.SMN = chkSMN->isChecked();
    return f;
}

std::optional<std::string> EMail_Setting::Refused() const { return FieldWithLineBreak(Values()); }
void EMail_Setting::Save(const std::string& path) { SaveEMailForm(path, Values()); }

GSM_Modem_Setting::GSM_Modem_Setting(QWidget* mainWindow)
    : SettingWindow(mainWindow, "GSM_Modem_Setting", "SMS Modem Setting") {
    txtPort = Field("txtPort");
    txtPIN = Field("txtPIN", true);
    auto* layout = new QVBoxLayout(this);
    auto* form = new QFormLayout;
    form->addRow("Port Number", txtPort);
    form->addRow("SIM PIN", txtPIN);
    layout->addLayout(form);
    layout->addWidget(Buttons());
    setMinimumWidth(280);
}

void GSM_Modem_Setting::Fill(const std::string& path) {
    const GSMModemForm f = LoadGSMModemForm(path);
    SetText(txtPort, f.Port);
    SetText(txtPIN, f.PIN);
}
GSMModemForm GSM_Modem_Setting::Values() const { return {Text(txtPort), Text(txtPIN)}; }
std::optional<std::string> GSM_Modem_Setting::Refused() const { return FieldWithLineBreak(Values()); }
void GSM_Modem_Setting::Save(const std::string& path) { SaveGSMModemForm(path, Values()); }

SMTP::SMTP(QWidget* mainWindow) : SettingWindow(mainWindow, "SMTP", "SMS to Email") {
    frmSMTP = Named(new QGroupBox("SMTP Setting"), "frmSMTP");
    txtServer = Field("txtServer");
    txtPort = Field("txtPort");
    txtUN = Field("txtUN");
    txtPW = Field("txtPW", true);
    chkSSL = Named(new QCheckBox("SSL"), "chkSSL");
    auto* smtp = new QFormLayout(frmSMTP);
    smtp->addRow("Server:", txtServer);
    smtp->addRow("Port Number:", txtPort);
    smtp->addRow("User Name:", txtUN);
    smtp->addRow("Password:", txtPW);
    smtp->addRow("", chkSSL);

    frmEMail = Named(new QGroupBox("Convert SMS and send e-mail to ..."), "frmEMail");
    txtsender = Field("txtsender");
    auto* mail = new QFormLayout(frmEMail);
    mail->addRow("to e-mail address:", txtsender);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(frmSMTP);
    layout->addWidget(frmEMail);
    layout->addWidget(Buttons());
    setMinimumWidth(380);
}

void SMTP::Fill(const std::string& path) {
    const SMTPForm f = LoadSMTPForm(path);
    SetText(txtServer, f.Server);
    SetText(txtUN, f.UN);
    SetText(txtPW, f.PW);
    SetText(txtPort, f.Port);
    SetText(txtsender, f.sender);
    chkSSL->setChecked(f.SSL);
}
SMTPForm SMTP::Values() const {
    SMTPForm f;
    f.Server = Text(txtServer);
    f.Port = Text(txtPort);
    f.UN = Text(txtUN);
    f.PW = Text(txtPW);
    f.sender = Text(txtsender);
    f.SSL = chkSSL->isChecked();
    return f;
}
std::optional<std::string> SMTP::Refused() const { return FieldWithLineBreak(Values()); }
void SMTP::Save(const std::string& path) { SaveSMTPForm(path, Values()); }

}  // namespace parlix::gateway
