#include "mailgateway/Status.h"

#include "mailgateway/Modem.h"
#include "mailgateway/SettingWindows.h"
#include "mailgateway/StatusReport.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QHBoxLayout>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QTextCursor>
#include <QTimer>
#include <QVBoxLayout>

namespace parlix::gateway {

Status::Status(QWidget* parent) : QMainWindow(parent), core_(this) {
    setObjectName("Status");
    setWindowTitle("Quentra Parlix");

    mnuSettings = menuBar()->addMenu("Settings");
    mnuSettings->setObjectName("mnuSettings");
    mnuModem = mnuSettings->addAction("SMS Modem");
    mnuModem->setObjectName("mnuModem");
    mnuemail = mnuSettings->addAction("E-mail to SMS");
    mnuemail->setObjectName("mnuemail");
    mnuSMTP = mnuSettings->addAction("SMS to E-mail");
    mnuSMTP->setObjectName("mnuSMTP");
    connect(mnuModem, &QAction::triggered, this, [this] { mnuModem_Click(); });
    connect(mnuemail, &QAction::triggered, this, [this] { mnuemail_Click(); });
    connect(mnuSMTP, &QAction::triggered, this, [this] { mnuSMTP_Click(); });

    btnStart = new QPushButton("Start");
    btnStart->setObjectName("btnStart");
    btnStop = new QPushButton("Stop");
    btnStop->setObjectName("btnStop");
    cmdExit = new QPushButton("Exit");
    cmdExit->setObjectName("cmdExit");
    txtLog = new QPlainTextEdit;
    txtLog->setObjectName("txtLog");
    txtLog->setReadOnly(true);
    Timer = new QTimer(this);
    Timer->setObjectName("Timer");
    connect(btnStart, &QPushButton::clicked, this, [this] { btnStart_Click(); });
    connect(btnStop, &QPushButton::clicked, this, [this] { btnStop_Click(); });
    connect(cmdExit, &QPushButton::clicked, this, [this] { cmdExit_Click(); });
    connect(Timer, &QTimer::timeout, this, [this] { Timer_Timer(); });

    auto* central = new QWidget;
    auto* layout = new QVBoxLayout(central);
    layout->addWidget(txtLog, 1);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(btnStart);
    buttons->addWidget(btnStop);
    buttons->addStretch();
    buttons->addWidget(cmdExit);
    layout->addLayout(buttons);
    setCentralWidget(central);
    resize(640, 420);
}

Status::~Status() {
    Form_Unload();
}

void Status::Form_Load() { core_.Form_Load(); }

void Status::Form_Unload() {
    if (unloaded_) return;
    unloaded_ = true;
    Timer->stop();
    // Every window still loaded goes, the last opened first.
    for (auto it = opened_.rbegin(); it != opened_.rend(); ++it)
        if (*it) delete it->data();
    opened_.clear();
}

void Status::cmdExit_Click() { close(); }

void Status::closeEvent(QCloseEvent* event) {
    // A pass below this event still uses the modem and the mail objects: the window
    // closes once it has ended.
    if (!core_.RequestClose()) {
        event->ignore();
        return;
    }
    Form_Unload();
    event->accept();
    QApplication::quit();
}

void Status::CloseNow() {
    QTimer::singleShot(0, this, [this] { close(); });
}

std::vector<QWidget*> Status::OpenSettingWindows() const {
    std::vector<QWidget*> open;
    for (const auto& w : opened_)
        if (w) open.push_back(w.data());
    return open;
}

template <class Window>
void Status::ShowSettingWindow() {
    auto* window = new Window(this);
    window->setWindowFlag(Qt::Window);
    opened_.emplace_back(window);
    window->Form_Load();
    window->show();
}

void Status::mnuModem_Click() { ShowSettingWindow<GSM_Modem_Setting>(); }
void Status::mnuemail_Click() { ShowSettingWindow<EMail_Setting>(); }
void Status::mnuSMTP_Click() { ShowSettingWindow<SMTP>(); }

void Status::ShowLog(const std::string& text) {
    QString shown = QString::fromStdString(text);
    shown.replace("\r\n", "\n");
    txtLog->setPlainText(shown);
    txtLog->moveCursor(QTextCursor::End);
    txtLog->verticalScrollBar()->setValue(txtLog->verticalScrollBar()->maximum());
}

void Status::SetTimer(bool enabled, int intervalMs) {
    if (intervalMs > 0) Timer->setInterval(intervalMs);
    if (enabled)
        Timer->start();
    else
        Timer->stop();
}

void Status::SetControls(bool start, bool stop, bool exit, bool settingsMenu) {
    btnStart->setEnabled(start);
    btnStop->setEnabled(stop);
    cmdExit->setEnabled(exit);
    mnuSettings->setEnabled(settingsMenu);
    mnuSettings->menuAction()->setEnabled(settingsMenu);
}

void Status::SetBusyPointer(bool busy) {
    if (busy == busyCursor_) return;
    busyCursor_ = busy;
    if (busy)
        QApplication::setOverrideCursor(Qt::WaitCursor);
    else
        QApplication::restoreOverrideCursor();
}

}  // namespace parlix::gateway
