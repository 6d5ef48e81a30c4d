// Window Status ("Quentra Parlix"): Start, Stop, Exit, the Settings menu and the
// activity box of the gateway; its timer runs the two passes once a minute.
#pragma once

#include "mailgateway/StatusCore.h"

#include <QMainWindow>
#include <QPointer>

#include <vector>

class QAction;
class QMenu;
class QPlainTextEdit;
class QPushButton;
class QTimer;

namespace parlix::gateway {

class Status : public QMainWindow, private StatusView {
    Q_OBJECT
public:
    explicit Status(QWidget* parent = nullptr);
    ~Status() override;

    StatusCore& core() { return core_; }

    void Form_Load();
    void Form_Unload();
    void btnStart_Click() { core_.btnStart_Click(); }
    void btnStop_Click() { core_.btnStop_Click(); }
    void cmdExit_Click();
    void mnuModem_Click();
    void mnuemail_Click();
    void mnuSMTP_Click();
    void Timer_Timer() { core_.Timer_Timer(); }

    QPushButton* btnStart;
    QPushButton* btnStop;
    QPushButton* cmdExit;
    QPlainTextEdit* txtLog;
    QTimer* Timer;
    QMenu* mnuSettings;
    QAction* mnuModem;
    QAction* mnuemail;
    QAction* mnuSMTP;

    // The settings windows still open, in the order they were opened.
    std::vector<QWidget*> OpenSettingWindows() const;

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void ShowLog(const std::string& text) override;
    void SetTimer(bool enabled, int intervalMs) override;
    void SetControls(bool start, bool stop, bool exit, bool settingsMenu) override;
    void SetBusyPointer(bool busy) override;
    void CloseNow() override;
    template <class Window>
    void ShowSettingWindow();

    StatusCore core_;
    std::vector<QPointer<QWidget>> opened_;
    bool busyCursor_ = false;
    bool unloaded_ = false;
};

}  // namespace parlix::gateway
