#include "engine/frmSMSEngine.h"

#include "engine/EngineGlobals.h"
#include "engine/EngineText.h"
#include "engine/ErrorLog.h"
#include "engine/Logos.h"
#include "engine/RWini.h"
#include "platform/ui/Dialogs.h"
#include "platform/ui/SingleInstance.h"
#include "platform/ui/TrayIcon.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QStatusBar>
#include <QVBoxLayout>
#include <QWindowStateChangeEvent>

namespace parlix::engine {
namespace {

std::string Id() { return std::to_string(EngineModemID); }

QString q(const std::string& s) { return QString::fromStdString(s); }

// Runs a handler so that no error leaves it: what it does not trap itself is logged.
template <class F>
void Trap(const std::string& location, F&& f) {
    try {
        f();
    } catch (...) {
        LogCurrentException(location);
    }
}

QLabel* Logo(Operator op, const char* name) {
    auto* label = new QLabel;
    label->setObjectName(name);
    label->setPixmap(OperatorLogo(op));
    label->setVisible(false);
    return label;
}

}  // namespace

frmSMSEngine::frmSMSEngine(EngineFactory makeEngine, QWidget* parent) : QMainWindow(parent) {
    engine_ = makeEngine ? makeEngine(*this) : std::make_unique<Engine>(*this);
    setObjectName("frmSMSEngine");
    setWindowTitle("SMS Engine");
    setWindowIcon(EngineIcon());

    auto* central = new QWidget;
    auto* layout = new QVBoxLayout(central);

    lblProductName = new QLabel("SMS ENGINE");
    lblProductName->setObjectName("lblProductName");
    QFont big = lblProductName->font();
    big.setBold(true);
    big.setPointSizeF(big.pointSizeF() * 1.3);
    lblProductName->setFont(big);
    lblTelco = new QLabel;
    lblTelco->setObjectName("lblTelco");
    ImgMaxis = Logo(Operator::Maxis, "ImgMaxis");
    ImgCelcom = Logo(Operator::Celcom, "ImgCelcom");
    ImgDigi = Logo(Operator::Digi, "ImgDigi");
    ImgTMtouch = Logo(Operator::TMTouch, "ImgTMtouch");
    ImgHotlink = Logo(Operator::Hotlink, "ImgHotlink");
    auto* head = new QHBoxLayout;
    auto* names = new QVBoxLayout;
    names->addWidget(lblProductName);
    names->addWidget(lblTelco);
    head->addLayout(names, 1);
    for (QLabel* logo : {ImgMaxis, ImgCelcom, ImgDigi, ImgTMtouch, ImgHotlink}) head->addWidget(logo);
    layout->addLayout(head);

    cmdInit = new QPushButton("Start");
    cmdInit->setObjectName("cmdInit");
    cmdInit->setToolTip("To start the SMS Engine");
    cmdStop = new QPushButton("Stop");
    cmdStop->setObjectName("cmdStop");
    cmdStop->setToolTip("To stop the SMS Engine");
    cmdReset = new QPushButton("Reset");
    cmdReset->setObjectName("cmdReset");
    cmdReset->setToolTip("To reset all the SMS status to 0");

    fraSMSStatus = new QGroupBox("Status");
    fraSMSStatus->setObjectName("fraSMSStatus");
    lblOut = new QLabel;
    lblOut->setObjectName("lblOut");
    lblOut->setToolTip("Total number of SMS Sent since engine started");
    lblIn = new QLabel;
    lblIn->setObjectName("lblIn");
    lblIn->setToolTip("Total number of incoming SMS received since engine started");
    lblFailed = new QLabel;
    lblFailed->setObjectName("lblFailed");
    lblFailed->setToolTip("Total number of SMS not sent since engine started");
    auto* counters = new QVBoxLayout(fraSMSStatus);
    counters->addWidget(lblOut);
    counters->addWidget(lblIn);
    counters->addWidget(lblFailed);

    auto* controls = new QVBoxLayout;
    controls->addWidget(cmdInit);
    controls->addWidget(cmdStop);
    controls->addWidget(cmdReset);
    controls->addWidget(fraSMSStatus);
    controls->addStretch();

    fraRTStatus = new QGroupBox("Modem Activity");
    fraRTStatus->setObjectName("fraRTStatus");
    fraRTStatus->setToolTip("Display real time information on the SMS activities.");
    txtStatus = new QPlainTextEdit;
    txtStatus->setObjectName("txtStatus");
    txtStatus->setReadOnly(true);
    auto* activity = new QVBoxLayout(fraRTStatus);
    activity->addWidget(txtStatus);

    auto* body = new QHBoxLayout;
    body->addLayout(controls);
    body->addWidget(fraRTStatus, 1);
    layout->addLayout(body, 1);
    setCentralWidget(central);

    auto* bar = new QStatusBar;
    bar->setObjectName("StatusBar1");
    bar->setSizeGripEnabled(false);
    const char* tips[4] = {"Status of the SMS Engine", "The COM Port of the PC connected to GSM modem",
                           "The Direction of the SMS Engine", "The routing"};
    for (int i = 0; i < 4; ++i) {
        Panels[i] = new QLabel;
        Panels[i]->setObjectName(QString("Panel%1").arg(i + 1));
        Panels[i]->setToolTip(tips[i]);
        Panels[i]->setFrameShape(QFrame::StyledPanel);
        // Wide enough for the longest text each panel shows; the routing takes the rest.
        static const int widths[4] = {130, 90, 220, 150};
        Panels[i]->setMinimumWidth(widths[i]);
        bar->addWidget(Panels[i], i == 3 ? 1 : 0);
    }
    setStatusBar(bar);

    mnuSet = menuBar()->addMenu("Settings");
    mnuSet->setObjectName("mnuSet");
    mnuModem = mnuSet->addAction("SMS Modem Setting");
    mnuModem->setObjectName("mnuModem");
    // The tray pop-up is not part of the menu bar.
    mnuSysTray = new QMenu("System Tray", this);
    mnuSysTray->setObjectName("mnuSysTray");
    mnuRestore = mnuSysTray->addAction("Restore");
    mnuRestore->setObjectName("mnuRestore");
    mnuExit = mnuSysTray->addAction("Exit");
    mnuExit->setObjectName("mnuExit");

    Tray = new ui::TrayIcon(this);
    Tray->setIcon(EngineIcon());
    Tray->setContextMenu(mnuSysTray);

    Timer1.setObjectName("Timer1");
    Timer1.setInterval(5000);

    connect(cmdInit, &QPushButton::clicked, this, [this] { cmdInit_Click(); });
    connect(cmdStop, &QPushButton::clicked, this, [this] { cmdStop_Click(); });
    connect(cmdReset, &QPushButton::clicked, this, [this] { cmdReset_Click(); });
    connect(&Timer1, &QTimer::timeout, this, [this] { Timer1_Timer(); });
    connect(mnuModem, &QAction::triggered, this, [this] { mnuModem_Click(); });
    connect(mnuRestore, &QAction::triggered, this, [this] { mnuRestore_Click(); });
    connect(mnuExit, &QAction::triggered, this, [this] { mnuExit_Click(); });
    connect(Tray, &ui::TrayIcon::doubleClicked, this, [this] { TrayDoubleClick(); });
    connect(Tray, &ui::TrayIcon::rightClicked, this, [this] { TrayRightClick(); });

    resize(640, 440);
}

frmSMSEngine::~frmSMSEngine() = default;

frmModem& frmSMSEngine::modemForm() {
    if (!modem_) modem_ = new frmModem(*engine_, *this, this);
    modem_->EnsureLoaded();
    return *modem_;
}

bool frmSMSEngine::Form_Load(ui::SingleInstance* guard) {
    bool keep = true;
    Trap("frmSMSEngine-Form_Load", [&] {
        engine_->ShowCounters();
        engine_->EngineState = "Stop";
        setPanel(1, engine_->EngineState);

        if (guard) {
            if (guard->activatePrevious()) {
                keep = false;
                return;
            }
            guard->listen();
            connect(guard, &ui::SingleInstance::activateRequested, this,
                    [this] { Trap("frmSMSEngine-ActivatePrevInstance", [&] { ActivateWindow(); }); });
        }

        engine_->DbConnection = db::Connection();
        const std::string sim = modemForm().txtModemNum->text().toStdString();
        engine_->ProductName = ReadIniValue("Product Name", "ProductName", EnginePath(kSettingFile));
        lblProductName->setText(q(engine_->ProductName + " " + Id() + " - " + sim));
        cmdStop->setEnabled(false);
        ShowOperator(sim);
    });
    return keep;
}

void frmSMSEngine::ShowOperator(const std::string& simNumber) {
    const OperatorDisplay op = OperatorOf(simNumber);
    lblTelco->setText(q(op.label));
    ImgMaxis->setVisible(op.logo == Operator::Maxis);
    ImgCelcom->setVisible(op.logo == Operator::Celcom);
    ImgDigi->setVisible(op.logo == Operator::Digi);
    ImgTMtouch->setVisible(op.logo == Operator::TMTouch);
    ImgHotlink->setVisible(op.logo == Operator::Hotlink);
}

void frmSMSEngine::ShowProductLine(const std::string& simNumber) {
    engine_->ProductName = ReadIniValue("Product Name", "ProductName", EnginePath(kSettingFile));
    lblProductName->setText(q(engine_->ProductName + " " + Id() + " - " + simNumber));
}

void frmSMSEngine::Form_Activate() {
    Trap("frmSMSEngine-Form_Activate", [&] { Tray->setToolTip(q("SMS Engine " + Id() + " ")); });
}

void frmSMSEngine::showEvent(QShowEvent* event) {
    QMainWindow::showEvent(event);
    Form_Activate();
}

void frmSMSEngine::Form_Resize() {
    Trap("SMSEngine Form Resize", [&] {
        // Only hide where a tray icon can bring the window back; elsewhere it stays
        // minimised on the task bar.
        if (isMinimized() && Tray->add()) hide();
    });
}

void frmSMSEngine::changeEvent(QEvent* event) {
    QMainWindow::changeEvent(event);
    if (event->type() == QEvent::WindowStateChange) {
        // Hide after the state change has been handled by the window system.
        QTimer::singleShot(0, this, [this] { Form_Resize(); });
    }
}

void frmSMSEngine::UpdateTrayTip() { Tray->setToolTip(q("SMS Engine " + Id() + "-" + engine_->EngineState)); }

void frmSMSEngine::TrayDoubleClick() {
    Trap("SMSEngine-Form_MouseMove", [&] {
        UpdateTrayTip();
        ActivateWindow();
    });
}

void frmSMSEngine::TrayRightClick() {
    Trap("SMSEngine-Form_MouseMove", [&] {
        UpdateTrayTip();
        activateWindow();
    });
}

void frmSMSEngine::ActivateWindow() {
    showNormal();
    raise();
    activateWindow();
    Tray->remove();
}

void frmSMSEngine::mnuRestore_Click() {
    Trap("SMSEngine mnuRestore", [&] { ActivateWindow(); });
}

void frmSMSEngine::mnuExit_Click() {
    Trap("frmSMSEngine-mnuExit_Click() Modem: " + Id(), [&] { close(); });
}

void frmSMSEngine::mnuModem_Click() {
    Trap("mnuModem_Click() Modem " + Id(), [&] {
        // Loaded hidden at start-up: open it with the row as it is now, not as it was then.
        if (modem_ && modem_->IsLoaded() && !modem_->isVisible()) modem_->Form_Unload();
        frmModem& form = modemForm();
        form.exec();
    });
}

bool frmSMSEngine::Form_Unload() {
    bool closed = false;
    Trap("frmSMSEngine-Form_Unload", [&] {
        if (modem_ && modem_->IsLoaded()) modem_->Form_Unload();
        // A Start or tick that is still waiting for the modem counts as running too.
        if (cmdStop->isEnabled() || engine_->Busy()) {
            ui::msgBox("Stop the SMS engine first before closing the programme!", ui::vbCritical + ui::vbOKOnly,
                       "SMS Engine Warning");
            return;
        }
        Tray->remove();
        engine_->DbConnection.close();
        engine_->DbConnection = db::Connection();
        if (engine_->objSMS) engine_->objSMS->CloseModem();
        closed = true;
    });
    return closed;
}

void frmSMSEngine::closeEvent(QCloseEvent* event) {
    if (Form_Unload()) {
        event->accept();
        QApplication::quit();
    } else {
        event->ignore();
    }
}

void frmSMSEngine::setInitEnabled(bool on) { cmdInit->setEnabled(on); }
void frmSMSEngine::setStopEnabled(bool on) { cmdStop->setEnabled(on); }
void frmSMSEngine::setResetEnabled(bool on) { cmdReset->setEnabled(on); }
void frmSMSEngine::setSettingsEnabled(bool on) { mnuSet->setEnabled(on); mnuSet->menuAction()->setEnabled(on); }
bool frmSMSEngine::stopEnabled() const { return cmdStop->isEnabled(); }
void frmSMSEngine::setCaption(const std::string& caption) { setWindowTitle(q(caption)); }

void frmSMSEngine::setPanel(int panel, const std::string& text) {
    if (panel >= 1 && panel <= 4) Panels[panel - 1]->setText(q(text));
    // The tray tip follows the engine state, so hovering the icon tells it.
    if (panel == 1 && Tray->isShown()) UpdateTrayTip();
}

void frmSMSEngine::showStatusText(const std::string& text) {
    QString shown = q(text);
    shown.replace("\r\n", "\n");
    txtStatus->setPlainText(shown);
}

void frmSMSEngine::showCounters(const std::string& out, const std::string& in, const std::string& failed) {
    lblOut->setText(q(out));
    lblIn->setText(q(in));
    lblFailed->setText(q(failed));
}

void frmSMSEngine::UpdateTimer() {
    // An interval of 0 never fires, like a timer that is switched off.
    if (timerOn_ && Timer1.interval() > 0) {
        if (!Timer1.isActive()) Timer1.start();
    } else {
        Timer1.stop();
    }
}

void frmSMSEngine::setTimerInterval(int ms) {
    Timer1.setInterval(ms < 0 ? 0 : ms);
    // A new interval starts the count again.
    if (Timer1.isActive()) Timer1.start();
    UpdateTimer();
}

void frmSMSEngine::setTimerEnabled(bool on) {
    timerOn_ = on;
    UpdateTimer();
}

void frmSMSEngine::setBusyPointer(bool on) {
    busy_ = on;
    if (on)
        setCursor(Qt::WaitCursor);
    else
        unsetCursor();
}

std::string frmSMSEngine::portText() { return modemForm().txtPort->text().toStdString(); }
bool frmSMSEngine::allRoutes() { return modemForm().chkAll->isChecked(); }

}  // namespace parlix::engine
