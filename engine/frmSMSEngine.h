// The engine's main window: product line, operator, counters, activity box, status
// bar, Start/Stop/Reset, the settings menu and the notification-area icon.
#pragma once

#include "engine/Engine.h"
#include "engine/frmModem.h"

#include <QMainWindow>
#include <QTimer>

#include <functional>
#include <memory>

class QAction;
class QGroupBox;
class QLabel;
class QMenu;
class QPlainTextEdit;
class QPushButton;

namespace parlix::ui {
class SingleInstance;
class TrayIcon;
}  // namespace parlix::ui

namespace parlix::engine {

class frmSMSEngine : public QMainWindow, public EngineView, public EngineWindowDisplay {
    Q_OBJECT
public:
    using EngineFactory = std::function<std::unique_ptr<Engine>(EngineView&)>;
    // `makeEngine` lets tests put in an engine with their own work steps.
    explicit frmSMSEngine(EngineFactory makeEngine = {}, QWidget* parent = nullptr);
    ~frmSMSEngine() override;

    Engine& engine() { return *engine_; }
    frmModem& modemForm();  // loads it hidden when it is not loaded

    // Start-up. With a guard, an earlier copy with the same engine number is brought
    // forward instead and false is returned: this copy then ends without opening the
    // database.
    bool Form_Load(ui::SingleInstance* guard = nullptr);
    void Form_Activate();
    void Form_Resize();
    // False when the close is refused (the engine is running).
    bool Form_Unload();
    void TrayDoubleClick();
    void TrayRightClick();
    // Brings the window back from the tray or from behind others.
    void ActivateWindow();

    void cmdInit_Click() { engine_->cmdInit_Click(); }
    void cmdStop_Click() { engine_->cmdStop_Click(); }
    void cmdReset_Click() { engine_->cmdReset_Click(); }
    void Timer1_Timer() { engine_->Timer1_Timer(); }
    void mnuRestore_Click();
    void mnuExit_Click();
    void mnuModem_Click();

    // EngineView
    void setInitEnabled(bool on) override;
    void setStopEnabled(bool on) override;
    void setResetEnabled(bool on) override;
    void setSettingsEnabled(bool on) override;
    bool stopEnabled() const override;
    void setCaption(const std::string& caption) override;
    void setPanel(int panel, const std::string& text) override;
    void showStatusText(const std::string& text) override;
    void showCounters(const std::string& out, const std::string& in, const std::string& failed) override;
    void setTimerInterval(int ms) override;
    void setTimerEnabled(bool on) override;
    bool timerEnabled() const override { return timerOn_; }
    int timerInterval() const override { return Timer1.interval(); }
    void setBusyPointer(bool on) override;
    bool busyPointer() const override { return busy_; }
    std::string portText() override;
    bool allRoutes() override;

    // EngineWindowDisplay
    void ShowOperator(const std::string& simNumber) override;
    void ShowProductLine(const std::string& simNumber) override;

    QLabel* lblProductName;
    QLabel* lblTelco;
    QLabel* ImgMaxis;
    QLabel* ImgCelcom;
    QLabel* ImgDigi;
    QLabel* ImgTMtouch;
    QLabel* ImgHotlink;
    QPushButton* cmdInit;
    QPushButton* cmdStop;
    QPushButton* cmdReset;
    QGroupBox* fraSMSStatus;
    QLabel* lblOut;
    QLabel* lblIn;
    QLabel* lblFailed;
    QGroupBox* fraRTStatus;
    QPlainTextEdit* txtStatus;
    QLabel* Panels[4];
    QTimer Timer1;
    QMenu* mnuSet;
    QAction* mnuModem;
    QMenu* mnuSysTray;
    QAction* mnuRestore;
    QAction* mnuExit;
    ui::TrayIcon* Tray;

protected:
    void closeEvent(QCloseEvent* event) override;
    void changeEvent(QEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    void UpdateTimer();
    void UpdateTrayTip();

    std::unique_ptr<Engine> engine_;
    frmModem* modem_ = nullptr;
    bool timerOn_ = false;
    bool busy_ = false;
};

}  // namespace parlix::engine
