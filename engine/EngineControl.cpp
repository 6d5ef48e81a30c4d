#include "engine/ConnectDB.h"
#include "engine/Engine.h"
#include "engine/EngineGlobals.h"
#include "engine/EngineText.h"
#include "engine/ErrorLog.h"
#include "platform/clock/Clock.h"
#include "platform/db/Recordset.h"

namespace parlix::engine {
namespace {

// Marks the engine busy for one handler; a handler that finds it busy does nothing.
class BusyScope {
public:
    explicit BusyScope(bool& flag) : flag_(flag) { flag_ = true; }
    ~BusyScope() { flag_ = false; }
    BusyScope(const BusyScope&) = delete;
    BusyScope& operator=(const BusyScope&) = delete;

private:
    bool& flag_;
};

std::string Id() { return std::to_string(EngineModemID); }

db::Recordset OpenModemRow(const db::Connection& connection) {
    return db::Recordset(connection, "SELECT * FROM Modem WHERE [ModemID] = ?", {EngineModemID},
                         {db::Cursor::Live, db::Lock::Optimistic, 0});
}

}  // namespace

Engine::Engine(EngineView& v) : view(v) {}

Engine::~Engine() = default;

QuentraSMSAPI6::SMS& Engine::Modem() {
    if (!objSMS) objSMS = std::make_unique<QuentraSMSAPI6::SMS>();
    return *objSMS;
}

void Engine::AddStatus(const std::string& message, const std::vector<std::string>& details, bool extraBreak) {
    SetStatusText(StatusEntry(clock::now(), message, details, extraBreak) + status_);
}

void Engine::SetStatusText(const std::string& text) {
    status_ = text;
    view.showStatusText(status_);
}

void Engine::ShowCounters() { view.showCounters(SentLabel(SentCount), InLabel(InCount), FailLabel(FailCount)); }

void Engine::cmdInit_Click() {
    if (busy_) return;
    BusyScope scope(busy_);
    Start();
}

void Engine::cmdStop_Click() {
    try {
        Stop();
    } catch (...) {
        LogCurrentException("frmSMSEngine-cmdStop_Click Modem " + Id());
    }
}

void Engine::cmdReset_Click() {
    try {
        Reset();
    } catch (...) {
        LogCurrentException("SMSEngine cmdReset_Click");
    }
}

void Engine::Timer1_Timer() {
    // The modem waits yield to the event loop, so the timer can fire again inside a
    // tick or a Start; that tick is skipped and the next one comes as usual.
    if (busy_) return;
    BusyScope scope(busy_);
    try {
        Tick();
    } catch (...) {
        LogCurrentException("SMSEngine Timer1" + Id());
    }
}

void Engine::Start() {
    try {
        view.setInitEnabled(false);
        view.setSettingsEnabled(false);
        view.setResetEnabled(false);
        view.setStopEnabled(true);

        EnsureConnected(DbConnection);
        bStop = false;

        db::Recordset row = OpenModemRow(DbConnection);
        // Without a row the next line fails like a read of a missing field; that error
        // is logged and leaves only Stop enabled.
        view.setCaption(ProductName + " " + Id() + " - " + row.text("ModemNumber"));

        EngineDirection = static_cast<std::int16_t>(row.integer("Direction"));
        if (const std::string text = DirectionText(EngineDirection); !text.empty()) view.setPanel(3, text);
        view.setPanel(2, "Port:" + view.portText());

        RouteFlags flags{};
        if (!row.eof()) {
            ModemPort = static_cast<std::int16_t>(row.integer("PortNumber"));
            for (std::size_t slot = 0; slot < kRouteSlots.size(); ++slot) {
                flags[slot] = row.boolean(kRouteSlots[slot]);
                RoutePrefixes[slot] = flags[slot] ? kRouteSlots[slot] : "";
            }
            view.setPanel(4, "Routing: " + RoutingText(flags));
        }

        AddStatus("Connecting to modem. Please wait...");
        const std::string pin = row.text("PIN");
        const auto result = pin.empty() ? Modem().InitModem(ModemPort) : Modem().InitModem(ModemPort, pin);
        switch (static_cast<int>(result)) {
        case 1:
            AddStatus("SMS engine is running.");
            EngineState = "Running";
            view.setPanel(1, EngineState);
            EngineStatus(EngineState);
            view.setTimerInterval(static_cast<int>(row.integer("Poll")) * 1000);
            view.setTimerEnabled(true);
            break;
        case 2: AddStatus("PIN Required!"); break;
        case 3: AddStatus("Wrong PIN entered!"); break;
        case 4:
            AddStatus("SIM is blocked by Network! Call your network operator for PUK code to unblock it!");
            break;
        case 5: AddStatus("SIM card has unknown error!"); break;
        case 0:
            AddStatus("Modem not connected!");
            Modem().CloseModem();
            view.setInitEnabled(true);
            view.setStopEnabled(false);
            view.setSettingsEnabled(true);
            break;
        default: break;
        }

        if (row.boolean("DSR")) {
            if (Modem().DeliveryReportOn()) {
                AddStatus("Delivery Status Report is turned on.");
                DeliveryReportActive = true;
            } else {
                AddStatus("Delivery Status Report is unable to turned on.");
                DeliveryReportActive = false;
            }
        } else {
            Modem().DeliveryReportOff();
            DeliveryReportActive = false;
        }
    } catch (...) {
        LogCurrentException("frmSMSEngine-cmdInit_Click: " + Id());
    }
}

void Engine::Stop() {
    bStop = true;
    AddStatus("SMS engine is stopping. Please wait...");
    EngineState = "Stopping";
    view.setPanel(1, EngineState);
    view.setTimerInterval(1000);
    view.setTimerEnabled(true);
    view.setBusyPointer(true);
}

void Engine::StopEngine() {
    try {
        view.setTimerEnabled(false);
        view.setInitEnabled(true);
        view.setStopEnabled(false);
        view.setSettingsEnabled(true);
        view.setResetEnabled(true);
        AddStatus("SMS engine is stopped.");
        EngineState = "Stop";
        view.setPanel(1, EngineState);
        EngineStatus(EngineState);
        Modem().CloseModem();
        objSMS.reset();
        if (view.busyPointer()) view.setBusyPointer(false);
    } catch (...) {
        LogCurrentException("SMSEngine-StopEngine");
    }
}

void Engine::Reset() {
    InCount = 0;
    SentCount = 0;
    FailCount = 0;
    ShowCounters();
}

void Engine::Tick() {
    if (bStop) {
        StopEngine();
        return;
    }
    if (TextLength(status_) > 300) SetStatusText("Running ...");

    const bool send = EngineDirection == 0 || EngineDirection == 2;
    const bool read = EngineDirection == 0 || EngineDirection == 1;
    if (send && !SendSMS0() && !Reconnect("Send")) return;
    if (read && !ReadSMS() && !Reconnect("Read")) return;
    if (send && DeliveryReportActive) GetDeliveryStatusReport();

    if (bStop) StopEngine();
}

bool Engine::Reconnect(const std::string& word) {
    AddStatus(word + " fail! Reconnecting to modem ...");
    Modem().CloseModem();
    if (Modem().InitModem(ModemPort) == QuentraSMSAPI6::ModemStatus::OK) {
        AddStatus("Modem connected!");
        return true;
    }
    AddStatus(word + " fail! Unable to connect to modem!");
    Start();
    return false;
}

bool Engine::EngineStatus(const std::string& state) {
    try {
        EnsureConnected(DbConnection);
        db::Recordset row(DbConnection, "SELECT * FROM Modem WHERE ModemID = ?", {EngineModemID},
                          {db::Cursor::Live, db::Lock::Optimistic, 0});
        if (row.eof()) return false;
        row.setField("Status", state);
        row.update();
        return true;
    } catch (...) {
        LogCurrentException("EG-EngineStatus Modem no.: " + Id());
        return false;
    }
}

}  // namespace parlix::engine
