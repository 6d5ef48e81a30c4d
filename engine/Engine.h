// The engine's control loop and the state that its work steps share: Start, Stop,
// Reset, the tick, StopEngine and EngineStatus. The window (frmSMSEngine) shows what
// this class decides through EngineView; tests put a recording view in its place.
// The work steps (EngineWork) are called from here and report back as a WorkSink.
#pragma once

#include "engine/EngineWork.h"
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

class Engine : private WorkSink {
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
                   bool extraBreak = false) override;
    const std::string& StatusText() const { return status_; }
    void SetStatusText(const std::string& text);
    // Rewrites lblOut, lblIn and lblFailed from the counters.
    void ShowCounters() override;
    // Writes the state into Status of this engine's Modem row; true when written.
    bool EngineStatus(const std::string& state);
    // The modem object, created on first use.
    QuentraSMSAPI6::SMS& Modem() override;

    // Work steps of the tick, done by EngineWork (SendSMS0 picks its pass by frmModem's
    // "All" box). SendSMS0 and ReadSMS return false only when an error ended them, which
    // makes the tick reconnect the modem. Tests put their own steps in place.
    virtual bool SendSMS0();
    virtual bool ReadSMS();
    virtual void GetDeliveryStatusReport();
    bool ApplyHeldReports();
    // True until the claims that an ended run or a failed step left behind are put back.
    bool ClaimsToRecover() const { return work_.ClaimsToRecover(); }

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
    RoutePrefixList RoutePrefixes;
    db::Connection DbConnection;
    // The modem is not connected: until it is brought up again a tick does nothing
    // else, so that no row is touched without a modem.
    bool ModemLost = false;
    // A work step that failed on the database, not on the modem, says so here (one line
    // for the activity box); the tick shows it instead of reconnecting the modem.
    std::string DatabaseFailure;
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
    // Start's work; true when the engine runs.
    bool StartEngine();
    // After a failed step: a database failure is shown as such; a modem failure
    // reconnects the modem. False when the modem could not be reconnected (the tick
    // then ends and the engine waits for the modem).
    bool AfterFailedStep(const std::string& word);
    bool Reconnect(const std::string& word);
    // Brings the modem up on ModemPort with ModemPIN; a port without a device is named
    // in `reason` (and the error log) without a probe, and a PIN that was not sent or
    // was refused is explained there.
    QuentraSMSAPI6::ModemStatus BringModemUp(std::string& reason);
    // A tick while the modem is lost: one more bring-up, nothing else.
    void RetryModem();
    void WaitForModem();
    void SwitchDeliveryReports();

    std::string ModemPIN;       // Modem.PIN read at the last Start
    // The last PIN the SIM refused: it is not sent again, since each try uses up one of
    // the SIM's few attempts. A different PIN in the settings is tried.
    std::string RefusedPIN;
    bool ReportsWanted = false;  // Modem.DSR read at the last Start

    // WorkSink: what the work steps report besides AddStatus and ShowCounters.
    void Counted(Count which) override;
    void DatabaseFailed(const std::string& line) override;

    std::string status_;
    bool busy_ = false;
    // After RoutePrefixes and DbConnection, which it borrows.
    EngineWork work_{DbConnection, RoutePrefixes, *this};
};

}  // namespace parlix::engine
