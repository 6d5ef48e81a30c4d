// Start, Stop, the tick and EngineStatus against the real database and the simulated
// modem on a pseudo-terminal.
#include "engine/EngineText.h"
#include "engine/tests/EngineRig.h"
#include "engine/headless/HeadlessView.h"
#include "platform/clock/Clock.h"

#include <cstdlib>
#include <functional>

using namespace parlix;
using namespace parlix::engine;
using namespace parlix::engine::testing;

namespace {

// The window-less view, starting as a window that was just running.
class RecordingView : public HeadlessView {
public:
    RecordingView() {
        stop = true;
        interval = 5000;
    }
};

// Work steps that record their calls and answer as told.
class TestEngine : public Engine {
public:
    using Engine::Engine;
    std::vector<std::string> steps;
    bool sendResult = true, readResult = true;
    std::function<void()> duringSend;

    bool SendSMS0() override {
        steps.push_back("send");
        if (duringSend) duringSend();
        return sendResult;
    }
    bool ReadSMS() override {
        steps.push_back("read");
        return readResult;
    }
    void GetDeliveryStatusReport() override { steps.push_back("report"); }
};

class EngineControl : public EngineRig {
protected:
    RecordingView view;
    TestEngine engine{view};

    bool has(const std::string& entry) const { return engine.StatusText().find(" Status : " + entry) != std::string::npos; }
    // How often the modem got this command line.
    int sent(const std::string& command) const {
        const std::string log = sim->dialogue(), line = "<< " + command + "\n";
        int n = 0;
        for (auto at = log.find(line); at != std::string::npos; at = log.find(line, at + 1)) ++n;
        return n;
    }
    void expectStoppedButtons() {
        EXPECT_TRUE(view.init);
        EXPECT_FALSE(view.stop);
        EXPECT_TRUE(view.reset);
        EXPECT_TRUE(view.settings);
    }
};

}  // namespace

TEST_F(EngineControl, StartBringsTheModemUpAndRuns) {
    setModem("Poll = 5, DSR = 1, Direction = 0, \"016\" = 1, \"012\" = 1");
    engine.ProductName = "Parlix";
    startModem();
    engine.cmdInit_Click();

    EXPECT_FALSE(view.init);
    EXPECT_TRUE(view.stop);
    EXPECT_FALSE(view.reset);
    EXPECT_FALSE(view.settings);
    EXPECT_EQ(view.caption, "Parlix 1 - 0123456789");
    EXPECT_EQ(view.panels[1], "Running");
    EXPECT_EQ(view.panels[2], "Port:3");
    EXPECT_EQ(view.panels[3], "Direction: 2 ways - read and send");
    EXPECT_EQ(view.panels[4], "Routing: 012,016");
    EXPECT_EQ(engine.EngineState, "Running");
    EXPECT_EQ(modemColumn("Status"), "Running");
    EXPECT_TRUE(view.timerOn);
    EXPECT_EQ(view.interval, 5000);
    EXPECT_TRUE(engine.DeliveryReportActive);
    EXPECT_EQ(engine.RoutePrefixes[0], "012");
    EXPECT_EQ(engine.RoutePrefixes[1], "016");
    EXPECT_EQ(engine.RoutePrefixes[2], "");
    EXPECT_EQ(engine.ModemPort, 3);
    // Newest entry on top.
    const std::string& s = engine.StatusText();
    ASSERT_TRUE(has("Connecting to modem. Please wait..."));
    EXPECT_LT(s.find("Delivery Status Report is turned on."), s.find("SMS engine is running."));
    EXPECT_LT(s.find("SMS engine is running."), s.find("Connecting to modem."));
    EXPECT_EQ(errorLog(), "");

    // Stop is taken by the next tick.
    engine.cmdStop_Click();
    EXPECT_TRUE(engine.bStop);
    EXPECT_EQ(view.panels[1], "Stopping");
    EXPECT_EQ(view.interval, 1000);
    EXPECT_TRUE(view.busy);
    EXPECT_TRUE(has("SMS engine is stopping. Please wait..."));
    engine.Timer1_Timer();
    EXPECT_TRUE(engine.steps.empty());
    EXPECT_FALSE(view.timerOn);
    expectStoppedButtons();
    EXPECT_FALSE(view.busy);
    EXPECT_EQ(engine.EngineState, "Stop");
    EXPECT_EQ(view.panels[1], "Stop");
    EXPECT_EQ(modemColumn("Status"), "Stop");
    EXPECT_TRUE(has("SMS engine is stopped."));
    EXPECT_EQ(engine.objSMS, nullptr);
}

TEST_F(EngineControl, SimFailuresLeaveOnlyStopAndStopRecovers) {
    struct Case {
        std::vector<std::string> args;
        std::string pin;
        std::string entry;
    } cases[] = {
        {{"--sim=pin"}, "", "PIN Required!"},
        {{"--sim=pin", "--pin=1234"}, "4321", "Wrong PIN entered!"},
        {{"--sim=puk"}, "", "SIM is blocked by Network! Call your network operator for PUK code to unblock it!"},
        {{"--sim=error"}, "", "SIM card has unknown error!"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.entry);
        setModem("PIN = '" + c.pin + "'");
        startModem(c.args);
        engine.SetStatusText("");
        engine.cmdInit_Click();
        EXPECT_TRUE(has(c.entry)) << engine.StatusText();
        EXPECT_FALSE(has("SMS engine is running."));
        EXPECT_FALSE(view.init);
        EXPECT_TRUE(view.stop);
        EXPECT_TRUE(view.reset);  // the engine does not run: the counters may be reset
        EXPECT_FALSE(view.timerOn);
        EXPECT_EQ(engine.EngineState, "Stop");

        // Stop while not running: the next tick (1 s) stops and restores the buttons.
        engine.cmdStop_Click();
        EXPECT_TRUE(view.timerOn);
        EXPECT_EQ(view.interval, 1000);
        engine.Timer1_Timer();
        expectStoppedButtons();
        EXPECT_FALSE(view.timerOn);
    }
}

TEST_F(EngineControl, ARefusedPinIsNotSentAgainUntilTheSettingChanges) {
    setModem("PIN = '4321'");
    startModem({"--sim=pin", "--pin=1234"});
    for (int start = 1; start <= 3; ++start) {
        SCOPED_TRACE(start);
        engine.SetStatusText("");
        engine.cmdInit_Click();
        EXPECT_TRUE(has("Wrong PIN entered!")) << engine.StatusText();
        EXPECT_NE(engine.StatusText().find("correct"), std::string::npos) << engine.StatusText();
        EXPECT_NE(engine.StatusText().find("Settings > \"SMS Modem Setting\""), std::string::npos);
        engine.cmdStop_Click();
        engine.Timer1_Timer();
    }
    EXPECT_EQ(sent("AT+CPIN=4321"), 1);
    EXPECT_NE(sim->control("status").find("\"sim\":\"pin\""), std::string::npos) << "the SIM is not locked";

    // A corrected PIN goes, and the engine runs.
    setModem("PIN = '1234'");
    engine.cmdInit_Click();
    EXPECT_TRUE(has("SMS engine is running.")) << engine.StatusText();
}

TEST_F(EngineControl, NoPinIsSentWithTheSimsLastAttempt) {
    setModem("PIN = '4321'");
    startModem({"--sim=pin", "--pin=1234", "--cpinr=1", "--pin-tries=2"});
    engine.cmdInit_Click();
    EXPECT_TRUE(has("Wrong PIN entered!"));
    EXPECT_NE(engine.StatusText().find("PIN attempts left: 1."), std::string::npos) << engine.StatusText();
    engine.cmdStop_Click();
    engine.Timer1_Timer();

    // Another PIN in the settings, but one more refusal would lock the SIM.
    setModem("PIN = '5555'");
    engine.SetStatusText("");
    engine.cmdInit_Click();
    EXPECT_TRUE(has("PIN Required!")) << engine.StatusText();
    EXPECT_NE(engine.StatusText().find("only one PIN attempt is left"), std::string::npos) << engine.StatusText();
    EXPECT_EQ(sent("AT+CPIN=5555"), 0);
    EXPECT_NE(sim->control("status").find("\"pin-tries\":1"), std::string::npos);
    EXPECT_TRUE(view.stop);
    EXPECT_FALSE(view.timerOn);
}

TEST_F(EngineControl, CorrectPinStarts) {
    setModem("PIN = '1234'");
    startModem({"--sim=pin", "--pin=1234"});
    engine.cmdInit_Click();
    EXPECT_TRUE(has("SMS engine is running.")) << engine.StatusText();
}

TEST_F(EngineControl, SilentModemIsNotConnected) {
    clock::FakeClock fake;
    clock::ScopedClock scoped(fake);
    startModem({"--mute=1"});
    view.timerOn = true;  // Start leaves the timer as it found it on failure
    engine.cmdInit_Click();
    EXPECT_TRUE(has("Modem not connected!")) << engine.StatusText();
    EXPECT_TRUE(view.init);
    EXPECT_FALSE(view.stop);
    EXPECT_TRUE(view.settings);
    EXPECT_TRUE(view.reset);  // not running: Reset is there at once
    EXPECT_TRUE(view.timerOn);
    EXPECT_EQ(engine.EngineState, "Stop");
    EXPECT_EQ(modemColumn("Status"), "Stop");
}

TEST_F(EngineControl, MissingModemRowIsLoggedAndStopRecovers) {
    EngineModemID = 9;
    startModem();
    engine.cmdInit_Click();
    EXPECT_TRUE(view.stop);
    EXPECT_FALSE(view.init);
    EXPECT_NE(errorLog().find("Error Location: frmSMSEngine-cmdInit_Click: 9"), std::string::npos);
    EXPECT_FALSE(engine.EngineStatus("Running"));
    engine.cmdStop_Click();
    engine.Timer1_Timer();
    expectStoppedButtons();
}

TEST_F(EngineControl, MissingDatabaseIsLogged) {
    fs::remove(schema::databasePath(root.string()));
    startModem();
    engine.cmdInit_Click();
    EXPECT_NE(errorLog().find("Error Location: ConnectDB-ConnectADODB"), std::string::npos);
    EXPECT_TRUE(view.stop);  // Stop still brings the engine back
    engine.cmdStop_Click();
    engine.Timer1_Timer();
    expectStoppedButtons();
}

TEST_F(EngineControl, TickWorksByDirection) {
    struct Case {
        int direction;
        bool reports;
        std::vector<std::string> steps;
    } cases[] = {
        {0, true, {"send", "read", "report"}},
        {0, false, {"send", "read"}},
        {1, true, {"read"}},
        {2, true, {"send", "report"}},
        {2, false, {"send"}},
        {7, true, {}},
    };
    for (const auto& c : cases) {
        engine.steps.clear();
        engine.EngineDirection = static_cast<std::int16_t>(c.direction);
        engine.DeliveryReportActive = c.reports;
        engine.Timer1_Timer();
        EXPECT_EQ(engine.steps, c.steps) << "direction " << c.direction;
    }
}

TEST_F(EngineControl, TickKeepsTheActivityBoxTo300CharactersByDroppingOldEntries) {
    setModem("DSR = 1");
    startModem();
    // What an earlier run left in the box.
    std::string earlier;
    for (int i = 0; i < 6; ++i) earlier += "01/01/2026 10:00:0" + std::to_string(i) + " Status : Earlier entry\r\n\r\n";
    engine.SetStatusText(earlier);
    engine.cmdInit_Click();
    ASSERT_TRUE(has("SMS engine is running.")) << engine.StatusText();
    ASSERT_GT(TextLength(engine.StatusText()), 300u);
    engine.EngineDirection = 7;  // the ticks do no work: only the trim
    for (int tick = 0; tick < 3; ++tick) engine.Timer1_Timer();
    EXPECT_LE(TextLength(engine.StatusText()), 300u);
    EXPECT_EQ(view.status, engine.StatusText());
    // The Start's own entries stay; the oldest earlier ones made room.
    EXPECT_TRUE(has("SMS engine is running.")) << engine.StatusText();
    EXPECT_TRUE(has("Delivery Status Report is turned on."));
    EXPECT_EQ(engine.StatusText().find("10:00:05"), std::string::npos) << engine.StatusText();
}

TEST_F(EngineControl, StopDuringASendIsTakenAtTheEndOfThatTick) {
    engine.EngineDirection = 0;
    engine.duringSend = [&] { engine.cmdStop_Click(); };
    engine.Timer1_Timer();
    EXPECT_EQ(engine.steps, (std::vector<std::string>{"send", "read"}));
    EXPECT_EQ(engine.EngineState, "Stop");
    expectStoppedButtons();
}

TEST_F(EngineControl, TimerFiringInsideATickDoesNotStartAnother) {
    engine.EngineDirection = 2;
    int nested = 0;
    engine.duringSend = [&] {
        if (nested++ == 0) engine.Timer1_Timer();  // the wait let the timer in
    };
    engine.Timer1_Timer();
    EXPECT_EQ(engine.steps, std::vector<std::string>{"send"});
    EXPECT_EQ(nested, 1);
}

TEST_F(EngineControl, FailedStepReconnectsAndGoesOn) {
    startModem();
    engine.cmdInit_Click();
    ASSERT_TRUE(has("SMS engine is running."));
    engine.sendResult = false;
    engine.steps.clear();
    engine.Timer1_Timer();
    EXPECT_TRUE(has("Send fail! Reconnecting to modem ..."));
    EXPECT_TRUE(has("Modem connected!"));
    EXPECT_EQ(engine.steps, (std::vector<std::string>{"send", "read"}));
    EXPECT_EQ(engine.EngineState, "Running");
}

TEST_F(EngineControl, FailedReconnectWaitsForTheModemAndTouchesNoRow) {
    auto fake = std::make_unique<clock::FakeClock>();  // the silent modem's waits cost nothing
    auto scoped = std::make_unique<clock::ScopedClock>(*fake);
    startModem();
    engine.EngineDirection = 0;
    engine.ModemPort = 3;
    engine.EngineState = "Running";  // as after a Start
    view.stop = true;
    view.init = false;
    view.timerOn = true;
    sim->set("mute=1");
    engine.readResult = false;
    engine.Timer1_Timer();
    EXPECT_EQ(engine.steps, (std::vector<std::string>{"send", "read"}));
    EXPECT_TRUE(has("Read fail! Reconnecting to modem ..."));
    EXPECT_TRUE(has("Read fail! Unable to connect to modem!"));
    // The bring-up ran again at once, with its entries, and failed.
    EXPECT_TRUE(has("Connecting to modem. Please wait..."));
    EXPECT_TRUE(has("Modem not connected!"));
    // The engine is still running and says so: Stop stays, Start and Settings stay off.
    EXPECT_FALSE(view.init);
    EXPECT_TRUE(view.stop);
    EXPECT_FALSE(view.settings);
    EXPECT_TRUE(view.timerOn);
    EXPECT_EQ(view.panels[1], "Waiting for modem");

    // While the modem is away a tick only tries to bring it up: no step runs.
    engine.steps.clear();
    engine.SetStatusText("");
    engine.Timer1_Timer();
    EXPECT_TRUE(engine.steps.empty());
    EXPECT_TRUE(has("Connecting to modem. Please wait..."));
    EXPECT_TRUE(has("Modem not connected!"));

    // Back: the next tick brings it up, the one after works again.
    scoped.reset();  // real time again: a real answer takes a moment
    sim->set("mute=0");
    engine.Timer1_Timer();
    EXPECT_TRUE(has("Modem connected!"));
    EXPECT_TRUE(engine.steps.empty());
    EXPECT_EQ(view.panels[1], "Running");
    engine.readResult = true;
    engine.Timer1_Timer();
    EXPECT_EQ(engine.steps, (std::vector<std::string>{"send", "read"}));
}

// The modem unplugged for ten minutes with a poll of one second: the bring-up fails at
// every tick, and the error log gets that record about once a minute, with its count.
TEST_F(EngineControl, AModemAwayForTenMinutesLeavesAFewCountedRecordsInTheErrorLog) {
    clock::FakeClock fake;
    clock::ScopedClock scoped(fake);
    fs::create_directories(root / "Engine" / "ports");
    fs::create_symlink(root / "unplugged", root / "Engine" / "ports" / "com3");
    engine.EngineDirection = 2;
    engine.ModemPort = 3;
    engine.EngineState = "Running";
    engine.ModemLost = true;
    view.stop = true;
    view.init = false;
    view.timerOn = true;
    const int ticks = 600;
    for (int tick = 0; tick < ticks; ++tick) {
        engine.Timer1_Timer();
        fake.advance(std::chrono::seconds(1));
    }
    ASSERT_TRUE(engine.ModemLost);
    const std::string log = errorLog();
    std::size_t written = 0, counted = 0;
    for (auto at = log.find("Error Location: frmSMSEngine-InitModem"); at != std::string::npos;
         at = log.find("Error Location: frmSMSEngine-InitModem", at + 1))
        ++written;
    for (auto at = log.find("... repeated "); at != std::string::npos; at = log.find("... repeated ", at + 1))
        counted += std::stoul(log.substr(at + 13));
    EXPECT_LE(written, 11u) << log.size() << " bytes";
    EXPECT_GE(written + counted, static_cast<std::size_t>(ticks) - 60);  // the last minute's count still held
}

TEST_F(EngineControl, StopEndsAnEngineThatWaitsForItsModem) {
    clock::FakeClock fake;
    clock::ScopedClock scoped(fake);
    startModem();
    engine.EngineDirection = 2;
    engine.ModemPort = 3;
    sim->set("mute=1");
    engine.sendResult = false;
    engine.Timer1_Timer();
    ASSERT_EQ(view.panels[1], "Waiting for modem");
    engine.cmdStop_Click();
    engine.Timer1_Timer();
    expectStoppedButtons();
    EXPECT_FALSE(view.timerOn);
    EXPECT_EQ(engine.EngineState, "Stop");
}

TEST_F(EngineControl, EveryStartUpFailureSaysItsReasonOnScreen) {
    const std::string database = schema::databasePath(root.string());
    struct Case {
        std::string name;
        std::function<void()> setUp;
        std::string entry;   // start of the activity line
        std::string logged;  // in the error log
    } cases[] = {
        {"missing database", [&] { fs::remove(database); }, "Database not found: " + database, "Error Location: ConnectDB-ConnectADODB"},
        {"engine folder misplaced",
         [&] {
             fs::create_directories(root / "Parlix" / "Engine");
             EngineFolder = (root / "Parlix" / "Engine").string();
         },
         "Engine folder misplaced: there is no " + (root / "Parlix" / "Database").string(),
         "Error Location: ConnectDB-ConnectADODB"},
        {"no Modem row", [&] { EngineModemID = 9; }, "No settings for engine 9: table Modem has no row with ModemID 9",
         "No settings for engine 9"},
        {"wrong key",
         [&] {
             fs::remove(database);
             schema::createDatabase(database, "another key");
         },
         "Database cannot be opened: wrong database password or not a database: ", "ConnectDB-ConnectADODB"},
        {"empty file",
         [&] {
             fs::remove(database);
             std::ofstream(database).close();
         },
         "Database cannot be opened: not a database (the file is empty)", "ConnectDB-ConnectADODB"},
        {"dangling port link",
         [&] {
             sim.reset();
             fs::create_directories(fs::path(EngineFolder) / "ports");
             fs::create_symlink("/dev/ttyUSB97", fs::path(EngineFolder) / "ports" / "com3");
         },
         "Modem not connected!\r\nCOM3: no serial device at " + (fs::path(EngineFolder) / "ports" / "com3").string() +
             " -> /dev/ttyUSB97",
         "/dev/ttyUSB97"},
        {"no link and no device", [&] { setModem("PortNumber = 40"); },
         "Modem not connected!\r\nCOM40: no serial device at /dev/ttyS39", "/dev/ttyS39"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        TearDown();
        SetUp();
        startModem();
        c.setUp();
        ASSERT_FALSE(HasFatalFailure());
        RecordingView fresh;
        Engine e(fresh);
        const auto began = std::chrono::steady_clock::now();
        e.cmdInit_Click();
        EXPECT_LT(std::chrono::steady_clock::now() - began, std::chrono::seconds(3)) << "no probe of a missing device";
        EXPECT_NE(e.StatusText().find(" Status : " + c.entry), std::string::npos) << e.StatusText();
        EXPECT_NE(errorLog().find(c.logged), std::string::npos) << errorLog();
        EXPECT_NE(e.EngineState, "Running");
        EXPECT_TRUE(fresh.stop || fresh.init) << "a button to go on with";
        EXPECT_TRUE(fresh.reset);
    }
}

TEST_F(EngineControl, ReadOnlyDatabaseSaysSo) {
    // Root may write any file; an immutable one it may not.
    const std::string database = schema::databasePath(root.string());
    db.close();
    if (std::system(("chattr +i '" + database + "' 2>/dev/null").c_str()) != 0)
        GTEST_SKIP() << "chattr +i is not possible here";
    startModem();
    engine.cmdInit_Click();
    std::system(("chattr -i '" + database + "'").c_str());
    EXPECT_NE(engine.StatusText().find(" Status : Database is read-only: " + database), std::string::npos)
        << engine.StatusText();
    EXPECT_NE(engine.EngineState, "Running");
}

TEST_F(EngineControl, ResetZeroesTheCounters) {
    engine.SentCount = 4;
    engine.InCount = 2;
    engine.FailCount = 1;
    engine.cmdReset_Click();
    EXPECT_EQ(engine.SentCount + engine.InCount + engine.FailCount, 0);
    EXPECT_EQ(view.sent, "Sent: 0");
    EXPECT_EQ(view.in, "In: 0");
    EXPECT_EQ(view.failed, "Fail: 0");
}
