// The gateway's windows offscreen: the settings windows' controls against the file,
// Status' buttons and menu through Start and Stop. With PARLIX_SCREENSHOTS set to a
// folder, each window is also saved there as a PNG (run under xvfb-run for a real look).
#include "mailgateway/SettingWindows.h"
#include "mailgateway/Status.h"
#include "mailgateway/tests/Fakes.h"
#include "platform/ui/Dialogs.h"
#include "platform/ui/SingleInstance.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QCryptographicHash>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QMenu>
#include <QPixmap>
#include <QLocalSocket>
#include <QPlainTextEdit>
#include <QProcess>
#include <QPushButton>
#include <QThread>
#include <QTimer>

#include <gtest/gtest.h>
#include <signal.h>
#include <unistd.h>

#include <filesystem>

using namespace gatewaytest;
namespace ui = parlix::ui;

namespace {

QApplication& app() {
    static int argc = 1;
    static char name[] = "parlix_gateway_window_tests";
    static char* argv[] = {name, nullptr};
    static QApplication* instance = new QApplication(argc, argv);
    return *instance;
}

void Shot(QWidget* w, const char* name) {
    const char* dir = std::getenv("PARLIX_SCREENSHOTS");
    if (!dir) return;
    w->show();
    for (int i = 0; i < 5; ++i) QApplication::processEvents();
    w->grab().save(QString::fromUtf8(dir) + "/" + name + ".png");
}

template <class W>
W* Open(Status& main, void (Status::*item)()) {
    (main.*item)();
    auto open = main.OpenSettingWindows();
    return open.empty() ? nullptr : dynamic_cast<W*>(open.back());
}

class GatewayWindows : public ::testing::Test {
protected:
    GatewayWindows() { app(); }
    Rig rig;
    ui::ScriptedDialogs boxes;
};

}  // namespace

TEST_F(GatewayWindows, EMailSettingLoadsSavesAndCancels) {
    Status main;
    main.Form_Load();
    main.show();
    auto* w = Open<EMail_Setting>(main, &Status::mnuemail_Click);
    ASSERT_NE(w, nullptr);
    EXPECT_FALSE(main.isVisible());  // hidden while a settings window is open
    EXPECT_EQ(w->windowTitle(), "E-mail Setting");
    EXPECT_EQ(w->cmbLimit->count(), 9);
    EXPECT_EQ(w->cmbLimit->currentText(), "1");  // new installation
    EXPECT_EQ(w->chkLine1->text(), "or / and to the number stated in the 1st line of \"Body\"");
    EXPECT_EQ(w->chkSMN->text(), "or / and to the number stated in the \"Subject\" of the e-mail.");
    EXPECT_EQ(w->txtRecipient->toolTip(), "enter a number or leave it blank");
    Shot(w, "EMail_Setting");

    w->txtServer->setText("pop.example.com");
    w->txtPort->setText("995");
    w->txtRecipient->setText("0123456789");
    w->cmbLimit->setCurrentText("3");
    w->chkBody->setChecked(true);
    w->chkSSL->setChecked(true);
    w->btnSave_Click();
    EXPECT_EQ(boxes.prompts(), std::vector<std::string>{"Seeting have been save"});
    EXPECT_TRUE(main.isVisible());
    const std::string path = SettingFilePath();
    EXPECT_EQ(ReadINI("EMail_Setting", "Limit", path), "3");
    EXPECT_EQ(ReadINI("EMail_Setting", "Body", path), "1");
    EXPECT_EQ(ReadINI("EMail_Setting", "Sender", path), "0");

    // Loaded again: every control shows the file; Cancel writes nothing.
    w = Open<EMail_Setting>(main, &Status::mnuemail_Click);
    ASSERT_NE(w, nullptr);
    EXPECT_EQ(w->txtServer->text(), "pop.example.com");
    EXPECT_EQ(w->cmbLimit->currentText(), "3");
    EXPECT_TRUE(w->chkBody->isChecked() && w->chkSSL->isChecked());
    EXPECT_FALSE(w->chkFrom->isChecked());
    const std::string before = ReadFile(path);
    w->txtServer->setText("other");
    w->btnCancel_Click();
    EXPECT_EQ(ReadFile(path), before);
    EXPECT_TRUE(main.isVisible());
}

TEST_F(GatewayWindows, SmtpAndModemSettingsAndALineBreakIsRefused) {
    Status main;
    main.Form_Load();
    WriteINI("SMTP_Setting", "SSL", "1", SettingFilePath());
    WriteINI("SMTP_Setting", "E-mail ADD", "office@example.com", SettingFilePath());
    auto* s = Open<SMTP>(main, &Status::mnuSMTP_Click);
    ASSERT_NE(s, nullptr);
    EXPECT_EQ(s->windowTitle(), "SMS to Email");
    EXPECT_TRUE(s->chkSSL->isChecked());
    EXPECT_EQ(s->txtsender->text(), "office@example.com");
    Shot(s, "SMTP");
    s->txtPW->setText("pa\nss");  // pasted with a line break
    const std::string before = ReadFile(SettingFilePath());
    s->btnSave_Click();
    EXPECT_EQ(ReadFile(SettingFilePath()), before);
    ASSERT_EQ(boxes.calls.size(), 1u);
    EXPECT_NE(boxes.calls[0].prompt.find("\"Password\" holds a line break"), std::string::npos);
    s->txtPW->setText("pass");
    s->chkSSL->setChecked(false);
    s->btnSave_Click();
    EXPECT_EQ(boxes.prompts().back(), "Seeting have been save");
    EXPECT_EQ(ReadINI("SMTP_Setting", "SSL", SettingFilePath()), "0");

    auto* m = Open<GSM_Modem_Setting>(main, &Status::mnuModem_Click);
    ASSERT_NE(m, nullptr);
    EXPECT_EQ(m->windowTitle(), "SMS Modem Setting");
    Shot(m, "GSM_Modem_Setting");
    m->txtPort->setText("3");
    m->txtPIN->setText("1234");
    m->btnSave_Click();
    EXPECT_EQ(boxes.prompts().back(), "Setting have been saved");
    EXPECT_EQ(ReadINI("GSM_Modem_Setting", "Port", SettingFilePath()), "3");
}

TEST_F(GatewayWindows, StatusButtonsMenuAndTimerFollowTheService) {
    Status main;
    main.Form_Load();
    EXPECT_EQ(main.windowTitle(), "Quentra Parlix");
    EXPECT_TRUE(main.btnStart->isEnabled());
    EXPECT_FALSE(main.btnStop->isEnabled());
    EXPECT_FALSE(main.Timer->isActive());
    main.btnStart_Click();
    EXPECT_FALSE(main.btnStart->isEnabled() || main.cmdExit->isEnabled() || main.mnuSettings->isEnabled());
    EXPECT_TRUE(main.Timer->isActive());
    EXPECT_EQ(main.Timer->interval(), 60000);

    // One tick with an e-mail and an SMS, to show the box as it looks while running.
    Setting::Loaded.EMail.Recipient = "0123456789";
    Setting::Loaded.EMail.Body = "1";
    Setting::Loaded.SMTP.Server = "smtp.example.com";
    Setting::Loaded.SMTP.UserName = "gateway@example.com";
    Setting::Loaded.SMTP.EmailADD = "office@example.com";
    rig.mail.add("1", {"Meeting", "Meeting moved to 3pm", "Ali <ali@example.com>", "ali@example.com", ""});
    rig.Modem().inbox.push_back({"+60123456789", "OK, see you", "26/12/08 10:00:00"});
    main.Timer_Timer();
    EXPECT_NE(main.txtLog->toPlainText().toStdString().find("Mail sent!"), std::string::npos);
    EXPECT_TRUE(main.Timer->isActive());
    Shot(&main, "Status");

    main.btnStop_Click();
    EXPECT_TRUE(main.btnStart->isEnabled() && main.cmdExit->isEnabled() && main.mnuSettings->isEnabled());
    EXPECT_FALSE(main.Timer->isActive());
    EXPECT_NE(main.txtLog->toPlainText().toStdString().find("Service is stopped."), std::string::npos);

    // Unload closes every settings window still open.
    main.mnuemail_Click();
    main.mnuSMTP_Click();
    EXPECT_EQ(main.OpenSettingWindows().size(), 2u);
    main.Form_Unload();
    EXPECT_TRUE(main.OpenSettingWindows().empty());
}

// The real program in a folder of its own: a stop signal ends it as Exit does.
TEST(GatewayProgram, AStopSignalEndsItCleanly) {
    namespace fs = std::filesystem;
    app();
    const fs::path program = fs::path(QCoreApplication::applicationDirPath().toStdString()) / ".." / "Parlix-Email";
    ASSERT_TRUE(fs::exists(program)) << program;
    const fs::path folder = fs::canonical(fs::temp_directory_path()) / ("parlix-gateway-signal-" + std::to_string(::getpid()));
    fs::remove_all(folder);
    fs::create_directories(folder);
    fs::copy_file(program, folder / "Parlix-Email");
    const QByteArray hash =
        QCryptographicHash::hash(QByteArray::fromStdString(folder.string()), QCryptographicHash::Sha1).toHex().left(12);
    const QString server = ui::SingleInstance::serverName(QStringLiteral("Parlix-Email-") + QString::fromLatin1(hash));

    for (int signalNumber : {SIGTERM, SIGHUP}) {
        QProcess gateway;
        gateway.setProcessChannelMode(QProcess::ForwardedChannels);
        gateway.start(QString::fromStdString((folder / "Parlix-Email").string()), {});
        ASSERT_TRUE(gateway.waitForStarted(10000));
        auto up = [&] {
            QLocalSocket probe;
            probe.connectToServer(server);
            return probe.waitForConnected(200);
        };
        QElapsedTimer t;
        t.start();
        while (!up() && t.elapsed() < 30000) QThread::msleep(100);
        ASSERT_TRUE(up()) << "the gateway never came up";
        ::kill(static_cast<pid_t>(gateway.processId()), signalNumber);
        EXPECT_TRUE(gateway.waitForFinished(30000)) << signalNumber;
        EXPECT_EQ(gateway.exitStatus(), QProcess::NormalExit) << signalNumber;
        EXPECT_EQ(gateway.exitCode(), 0) << signalNumber;
        if (gateway.state() != QProcess::NotRunning) gateway.kill(), gateway.waitForFinished(5000);
    }
    fs::remove_all(folder);
}
