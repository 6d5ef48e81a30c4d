// The engine's control loop and the state that its work steps share: Start, Stop,
// Reset, the tick, StopEngine and EngineStatus. The window (frmSMSEngine) shows what
// this class decides through EngineView; tests put a recording view in its place.
#pragma once

#include "modemapi/v6/SMS.h"
#include "platform/db/Connection.h"

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace parlix::engine {

// What the control loop needs of the engine window and of the hidden settings window.
class EngineView {
public:
    virtual ~EngineView() = default;
    virtual void setInitEnabled(bool on) = 0;      // cmdInit "Start"
    virtual void setStopEnabled(bool on) = 0;      // cmdStop "Stop"
    virtual void setResetEnabled(bool on) = 0;     // cmdReset "Reset"
    virtual void setSettingsEnabled(bool on) = 0;  // mnuSet "Settings"
    virtual bool stopEnabled() const = 0;
    virtual void setCaption(const std::string& caption) = 0;
    virtual void setPanel(int panel, const std::string& text) = 0;  // StatusBar1, panels 1 to 4
    virtual void showStatusText(const std::string& text) = 0;      // txtStatus
    virtual void showCounters(const std::string& out, const std::string& in, const std::string& failed) = 0;
    virtual void setTimerInterval(int ms) = 0;  // Timer1
    virtual void setTimerEnabled(bool on) = 0;
    virtual bool timerEnabled() const = 0;
    virtual int timerInterval() const = 0;
    virtual void setBusyPointer(bool on) = 0;
    virtual bool busyPointer() const = 0;
    virtual std::string portText() = 0;  // frmModem.txtPort
    virtual bool allRoutes() = 0;        // frmModem.chkAll ticked
};

class Engine {
public:
    explicit Engine(EngineView& view);
    virtual ~Engine();
    Engine(const Engine&) = delete;
    Engine& operator=(const Engine&) = delete;

    // Button and timer handlers: they trap and log every error, and a tick never
    // begins while a Start or another tick is still waiting for the modem.
    void cmdInit_Click();
    void cmdStop_Click();
    void cmdReset_Click();
    void Timer1_Timer();
    // True while a Start or a tick runs (their waits let other events in).
    bool Busy() const { return busy_; }

    // Puts an entry on top of the activity box.
    void AddStatus(const std::string& message, const std::vector<std::string>& details = {},
                   bool extraBreak = false);
    const std::string& StatusText() const { return status_; }
    void SetStatusText(const std::string& text);
    // Rewrites lblOut, lblIn and lblFailed from the counters.
    void ShowCounters();
    // Writes the state into Status of this engine's Modem row; true when written.
    bool EngineStatus(const std::string& state);
    // The modem object, created on first use.
    QuentraSMSAPI6::SMS& Modem();

    // Work steps of the tick (EngineWork.cpp). SendSMS0 and ReadSMS return false only
    // when an error ended them, which makes the tick reconnect the modem.
    virtual bool SendSMS0();
    virtual bool ReadSMS();
    virtual void GetDeliveryStatusReport();
    // One pass of the dispatcher over every due row, or over the rows of the routed
    // prefixes; SendSMS0 picks one by frmModem's "All" box (EngineWork.cpp).
    bool SendSMSAll();
    bool SendSMSSel();

    // State shared with the window and the work steps.
    bool bStop = false;
    std::string EngineState = "Stop";
    std::int16_t ModemPort = 0;
    std::int16_t EngineDirection = 0;
    bool DeliveryReportActive = false;
    std::int16_t InCount = 0;
    std::int16_t SentCount = 0;
    std::int16_t FailCount = 0;
    std::unique_ptr<QuentraSMSAPI6::SMS> objSMS;
    // Slots 0..5: "012", "016", "019", "013", "017", "014" when routed, else empty; slot 6 stays empty.
    std::array<std::string, 7> RoutePrefixes;
    db::Connection DbConnection;
    // Claims of this engine that an ended run or a failed step left behind are put back
    // in the queue by the next send or read step (EngineWork.cpp).
    bool ClaimsToRecover = true;
    std::string ProductName;
    EngineView& view;

protected:
    // The procedures behind the handlers; they let errors pass to the handler.
    void Start();
    void Stop();
    void Reset();
    void Tick();
    void StopEngine();

private:
    // Reconnects after a failed step; false when the reconnect failed and Start ran again
    // (the tick then ends).
    bool Reconnect(const std::string& word);
    void CloseModemQuietly();

    std::string status_;
    bool busy_ = false;
};

}  // namespace parlix::engine
