#include "engine/ConnectDB.h"
#include "engine/Engine.h"
#include "engine/EngineGlobals.h"
#include "engine/EngineText.h"
#include "engine/ErrorLog.h"
#include "platform/clock/Clock.h"
#include "platform/db/Recordset.h"
#include "platform/serial/SerialPort.h"

#include <filesystem>

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

// Characters the activity box keeps; older entries make room for newer ones at the tick.
constexpr std::size_t kStatusLimit = 300;

db::Recordset OpenModemRow(const db::Connection& connection) {
    return db::Recordset(connection, "SELECT * FROM Modem WHERE [ModemID] = ?", {EngineModemID},
                         {db::Cursor::Live, db::Lock::Optimistic, 0});
}

// A modem on the machine's own serial port (no ports/comN link) answers "AT" at once at
// one of the two speeds of the bring-up; an empty port would keep the bring-up probing
// for half a minute, at every tick while the engine waits for its modem.
bool AnswersAT(int port) {
    try {
        auto line = serial::makePort();
        line->setCommPort(port);
        for (const char* settings : {"115200,N,8,1", "9600,N,8,1"}) {
            line->setSettings(settings);
            line->setPortOpen(true);
            line->output("AT\r");
            std::string answer;
            for (int wait = 0; wait < 30 && answer.find("OK") == std::string::npos; ++wait) {
                clock::yield();
                clock::sleep(50);
                answer += line->input();
            }
            line->setPortOpen(false);
            if (answer.find("OK") != std::string::npos) return true;
        }
    } catch (const std::exception&) {
    }
    return false;
}

// Why port `port` cannot hold a modem, without a bring-up: the device it names is not
// there, or (without a link) nothing answers on the machine's own port. "" otherwise.
std::string PortProblem(int port) {
    namespace fs = std::filesystem;
    const std::string name = "COM" + std::to_string(port);
    const std::string device = serial::devicePath(port);
    std::error_code ec;
    const bool linked = fs::is_symlink(fs::symlink_status(device, ec)) || device.rfind("/dev/", 0) != 0;
    const std::string link = (serial::portsFolder() / ("com" + std::to_string(port))).string();
    if (!fs::exists(device, ec)) {
        if (linked) return name + ": no serial device at " + device + " -> " + fs::read_symlink(device, ec).string();
        return name + ": no serial device at " + device + " (and no link " + link + ")";
    }
    if (!linked && !AnswersAT(port))
        return name + ": no modem answers on " + device + " (no link " + link + "; link the modem's device there)";
    return "";
}

const char* SimProblem(QuentraSMSAPI6::ModemStatus result) {
    switch (static_cast<int>(result)) {
    case 2: return "PIN Required!";
    case 3: return "Wrong PIN entered!";
    case 4: return "SIM is blocked by Network! Call your network operator for PUK code to unblock it!";
    case 5: return "SIM card has unknown error!";
    default: return nullptr;
    }
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

void Engine::Counted(Count which) {
    switch (which) {
    case Count::Sent: Increment(SentCount); break;
    case Count::In: Increment(InCount); break;
    case Count::Failed: Increment(FailCount); break;
    }
}

void Engine::DatabaseFailed(const std::string& line) { DatabaseFailure = line; }

bool Engine::SendSMS0() { return work_.SendSMS0(view.allRoutes()); }

bool Engine::ReadSMS() { return work_.ReadSMS(); }

void Engine::GetDeliveryStatusReport() { work_.GetDeliveryStatusReport(); }

bool Engine::ApplyHeldReports() { return work_.ApplyHeldReports(); }

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
    // Reset only sets the counters back: it is there whenever the engine does not run,
    // after a failed Start too.
    if (!StartEngine()) view.setResetEnabled(true);
}

bool Engine::StartEngine() {
    const std::string label = "frmSMSEngine-cmdInit_Click: " + Id();
    try {
        view.setInitEnabled(false);
        view.setSettingsEnabled(false);
        view.setResetEnabled(false);
        view.setStopEnabled(true);

        EnsureConnected(DbConnection);
        bStop = false;
        // Each failure says its reason in one line and leaves only Stop, which brings the
        // engine back to "Stop".
        if (!DbConnection.isOpen()) {
            AddStatus(LastConnectFailure());
            return false;
        }

        db::Recordset row = OpenModemRow(DbConnection);
        if (row.eof()) {
            WriteErrorLog(label, 0, NoModemRowText());
            AddStatus(NoModemRowText());
            return false;
        }
        view.setCaption(ProductName + " " + Id() + " - " + row.text("ModemNumber"));

        EngineDirection = static_cast<std::int16_t>(row.integer("Direction"));
        if (const std::string text = DirectionText(EngineDirection); !text.empty()) view.setPanel(3, text);
        view.setPanel(2, "Port:" + view.portText());

        RouteFlags flags{};
        ModemPort = static_cast<std::int16_t>(row.integer("PortNumber"));
        for (std::size_t slot = 0; slot < kRouteSlots.size(); ++slot) {
            flags[slot] = row.boolean(kRouteSlots[slot]);
            RoutePrefixes[slot] = flags[slot] ? kRouteSlots[slot] : "";
        }
        view.setPanel(4, "Routing: " + RoutingText(flags));
        ModemPIN = row.text("PIN");
        ReportsWanted = row.boolean("DSR");
        const int poll = static_cast<int>(row.integer("Poll"));
        row.close();

        std::string reason;
        const auto result = BringModemUp(reason);
        ModemLost = result != QuentraSMSAPI6::ModemStatus::OK;
        if (result == QuentraSMSAPI6::ModemStatus::OK) {
            AddStatus("SMS engine is running.");
            EngineState = "Running";
            view.setPanel(1, EngineState);
            EngineStatus(EngineState);
            view.setTimerInterval(poll * 1000);
            view.setTimerEnabled(true);
        } else if (const char* problem = SimProblem(result)) {
            AddStatus(problem, reason.empty() ? std::vector<std::string>{} : std::vector{reason});
        } else if (result == QuentraSMSAPI6::ModemStatus::Fail) {
            AddStatus("Modem not connected!", reason.empty() ? std::vector<std::string>{} : std::vector{reason});
            Modem().CloseModem();
            view.setInitEnabled(true);
            view.setStopEnabled(false);
            view.setSettingsEnabled(true);
        }
        SwitchDeliveryReports();
        return result == QuentraSMSAPI6::ModemStatus::OK;
    } catch (const std::exception& failure) {
        LogCurrentException(label);
        AddStatus(DatabaseProblem(failure));
    } catch (...) {
        LogCurrentException(label);
    }
    return false;
}

QuentraSMSAPI6::ModemStatus Engine::BringModemUp(std::string& reason) {
    AddStatus("Connecting to modem. Please wait...");
    reason = PortProblem(ModemPort);
    if (!reason.empty()) {
        WriteErrorLog("frmSMSEngine-InitModem Modem: " + Id(), serial::InvalidPortNumber, reason);
        return QuentraSMSAPI6::ModemStatus::Fail;
    }
    if (ModemPIN.empty()) return Modem().InitModem(ModemPort);
    if (ModemPIN == RefusedPIN) {
        // Only a SIM that wants no PIN (any more) comes up without it.
        const auto result = Modem().InitModem(ModemPort);
        if (result != QuentraSMSAPI6::ModemStatus::PINRequired) return result;
        reason = "The SIM refused this PIN before, so it was not sent again: correct the PIN in Settings > \"SMS "
                 "Modem Setting\" first.";
        return QuentraSMSAPI6::ModemStatus::PINWrong;
    }
    const auto result = Modem().InitModem(ModemPort, ModemPIN);
    const int left = Modem().PINAttempts();
    const std::string attempts = left >= 0 ? " PIN attempts left: " + std::to_string(left) + "." : "";
    if (result == QuentraSMSAPI6::ModemStatus::PINWrong) {
        RefusedPIN = ModemPIN;
        reason = "The SIM refused the PIN; it will not be sent again: correct it in Settings > \"SMS Modem Setting\" "
                 "first." + attempts;
    } else if (result == QuentraSMSAPI6::ModemStatus::PINRequired) {
        // The library keeps the SIM's last attempt back.
        reason = "The PIN was not sent: only one PIN attempt is left before the SIM locks. Check the PIN and unlock "
                 "the SIM in a phone.";
    }
    return result;
}

void Engine::SwitchDeliveryReports() {
    if (ReportsWanted) {
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
        ModemLost = false;
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
    if (TextLength(status_) > kStatusLimit) SetStatusText(KeepNewestEntries(status_, kStatusLimit));
    if (ModemLost) {
        RetryModem();
        if (bStop) StopEngine();
        return;
    }

    const bool send = EngineDirection == 0 || EngineDirection == 2;
    const bool read = EngineDirection == 0 || EngineDirection == 1;
    if (send && !SendSMS0() && !AfterFailedStep("Send")) return;
    if (read && !ReadSMS() && !AfterFailedStep("Read")) return;
    if (send && DeliveryReportActive) GetDeliveryStatusReport();
    else ApplyHeldReports();

    if (bStop) StopEngine();
}

bool Engine::AfterFailedStep(const std::string& word) {
    if (DatabaseFailure.empty()) return Reconnect(word);
    // The modem did nothing wrong: reconnecting it would not help.
    AddStatus(DatabaseFailure);
    DatabaseFailure.clear();
    return true;
}

bool Engine::Reconnect(const std::string& word) {
    AddStatus(word + " fail! Reconnecting to modem ...");
    Modem().CloseModem();
    // A port without a device (or a modem) is not probed at length twice in a row.
    if (PortProblem(ModemPort).empty() && Modem().InitModem(ModemPort) == QuentraSMSAPI6::ModemStatus::OK) {
        AddStatus("Modem connected!");
        return true;
    }
    AddStatus(word + " fail! Unable to connect to modem!");
    WaitForModem();
    RetryModem();
    return false;
}

void Engine::WaitForModem() {
    // Still running: the timer keeps ticking, Stop stays available.
    ModemLost = true;
    view.setInitEnabled(false);
    view.setSettingsEnabled(false);
    view.setResetEnabled(false);
    view.setStopEnabled(true);
    view.setPanel(1, "Waiting for modem");
}

void Engine::RetryModem() {
    Modem().CloseModem();
    std::string reason;
    const auto result = BringModemUp(reason);
    if (result == QuentraSMSAPI6::ModemStatus::OK) {
        ModemLost = false;
        AddStatus("Modem connected!");
        view.setPanel(1, EngineState);
        SwitchDeliveryReports();
        return;
    }
    std::vector<std::string> details;
    if (!reason.empty()) details.push_back(reason);
    if (const char* problem = SimProblem(result)) {
        // Another try could use up the SIM's PIN attempts: the engine waits for Stop.
        details.push_back("The engine waits; press Stop to end it.");
        AddStatus(problem, details);
        view.setTimerEnabled(false);
    } else {
        details.push_back("Trying again at the next tick; press Stop to end.");
        AddStatus("Modem not connected!", details);
    }
    Modem().CloseModem();
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
