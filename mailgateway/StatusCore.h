// What window Status does, without the window: Start, Stop, Exit, the timer tick, the
// activity box and the state of the buttons and the Settings menu. The window (or a
// test) shows that state through a StatusView.
#pragma once

#include <string>

namespace parlix::gateway {

// The controls of window Status.
class StatusView {
public:
    virtual ~StatusView() = default;
    // txtLog's whole text, with the caret put at its end.
    virtual void ShowLog(const std::string& text) = 0;
    virtual void SetTimer(bool enabled, int intervalMs) = 0;
    virtual void SetControls(bool start, bool stop, bool exit, bool settingsMenu) = 0;
    virtual void SetBusyPointer(bool busy) = 0;
    // A close that waited for a running pass may now go ahead.
    virtual void CloseNow() {}
};

class StatusCore {
public:
    static constexpr int kInterval = 60000;

    // The newest StatusCore is the one the modules report to (StatusForm()).
    explicit StatusCore(StatusView* view = nullptr);
    ~StatusCore();
    StatusCore(const StatusCore&) = delete;
    StatusCore& operator=(const StatusCore&) = delete;

    void Form_Load();
    void btnStart_Click();
    void btnStop_Click();
    void StopService();
    void Timer_Timer();

    // The timer as the passes switch it (the interval stays).
    void SetTimerEnabled(bool enabled);
    // True while a pass runs: the tick's work, Stop and closing wait for it.
    bool PassRunning() const;
    // Closing the window: true when it may close now; while a pass runs the service is
    // asked to stop and the view's CloseNow follows once the pass has ended.
    bool RequestClose();

    // Replaces txtLog's text and shows it.
    void SetLog(std::string text);
    const std::string& txtLog() const { return txtLog_; }

    bool StopFlag() const { return stop_; }
    bool TimerEnabled() const { return timerEnabled_; }
    int TimerInterval() const { return timerInterval_; }
    bool StartEnabled() const { return start_; }
    bool StopEnabled() const { return stopButton_; }
    bool ExitEnabled() const { return exit_; }
    bool SettingsEnabled() const { return menu_; }
    bool BusyPointer() const { return busy_; }

private:
    void Controls(bool start, bool stop, bool exit, bool menu);
    void Pointer(bool busy);

    StatusView* view_;
    StatusCore* previous_;
    std::string txtLog_;
    bool stop_ = false;
    bool timerEnabled_ = false;
    int timerInterval_ = 0;
    bool start_ = true, stopButton_ = false, exit_ = true, menu_ = true, busy_ = false;
    bool closePending_ = false;
};

// The window the modules show their activity on and switch the timer of.
StatusCore& StatusForm();

}  // namespace parlix::gateway
