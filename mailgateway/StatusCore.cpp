#include "mailgateway/StatusCore.h"

#include "mailgateway/Log.h"
#include "mailgateway/Modem.h"
#include "mailgateway/Passes.h"
#include "mailgateway/Setting.h"
#include "mailgateway/StatusReport.h"

namespace parlix::gateway {

namespace {
StatusCore*& Current() {
    static StatusCore* current = nullptr;
    return current;
}
}  // namespace

StatusCore& StatusForm() {
    if (!Current()) {
        // Modules used without a window (headless tools) still have an activity box.
        static StatusCore windowless;
        return windowless;
    }
    return *Current();
}

StatusCore::StatusCore(StatusView* view) : view_(view), previous_(Current()) { Current() = this; }

StatusCore::~StatusCore() {
    if (Current() == this) Current() = previous_;
}

void StatusCore::Controls(bool start, bool stop, bool exit, bool menu) {
    start_ = start;
    stopButton_ = stop;
    exit_ = exit;
    menu_ = menu;
    if (view_) view_->SetControls(start, stop, exit, menu);
}

void StatusCore::Pointer(bool busy) {
    busy_ = busy;
    if (view_) view_->SetBusyPointer(busy);
}

void StatusCore::SetTimerEnabled(bool enabled) {
    timerEnabled_ = enabled;
    if (view_) view_->SetTimer(enabled, timerInterval_);
}

void StatusCore::SetLog(std::string text) {
    txtLog_ = std::move(text);
    if (view_) view_->ShowLog(txtLog_);
}

bool StatusCore::PassRunning() const { return EmailtoSMS::Busy || SMStoEmail::Busy; }

void StatusCore::Form_Load() {
    SetTimerEnabled(false);
    Controls(true, false, exit_, menu_);
}

void StatusCore::btnStart_Click() {
    stop_ = false;
    Controls(false, true, false, false);
    timerInterval_ = kInterval;
    SetTimerEnabled(true);
    StatusReport::DisplayActivity("Service is started.");
    Setting::GetSettingFromIniFile();
}

void StatusCore::btnStop_Click() {
    stop_ = true;
    Pointer(true);
    StatusReport::DisplayActivity("begin shut down process, please wait ...");
    // A running pass ends first; the tick stops the service after it.
    if (!PassRunning()) StopService();
}

void StatusCore::StopService() {
    try {
        SMSObject().ModemClose();
    } catch (...) {
        LogCurrentException("Status.StopService() ");
    }
    StatusReport::DisplayActivity("Connection with modem is closed.");
    Controls(true, false, true, true);
    SetTimerEnabled(false);
    StatusReport::DisplayActivity("Service is stopped.");
    Pointer(false);
}

void StatusCore::Timer_Timer() {
    // The passes let window events through while they wait; a tick that comes
    // meanwhile leaves the running pass alone.
    if (PassRunning()) return;
    if (stop_) {
        StopService();
    } else {
        EmailtoSMS::ConnectMailServer();
        if (stop_) {
            StopService();
        } else {
            SMStoEmail::PollIncomingSMS();
            if (stop_) StopService();
        }
    }
    if (closePending_ && !PassRunning()) {
        closePending_ = false;
        if (view_) view_->CloseNow();
    }
}

bool StatusCore::RequestClose() {
    if (!PassRunning()) return true;
    // The pass is on the stack below this event: stop after it, then close.
    if (!stop_) btnStop_Click();
    closePending_ = true;
    return false;
}

}  // namespace parlix::gateway
