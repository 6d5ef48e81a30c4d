// The engine program in its surroundings: which copies its guard keeps apart, and a
// signal that stops it the way the Stop button does.
#include "engine/Program.h"
#include "engine/frmSMSEngine.h"
#include "engine/tests/EngineRig.h"
#include "engine/tests/TestApp.h"
#include "platform/clock/Clock.h"
#include "platform/ui/SingleInstance.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QLocalSocket>
#include <QProcess>
#include <QThread>

#include <signal.h>

#include <csignal>
#include <fstream>
#include <memory>
#include <vector>

using namespace parlix;
using namespace parlix::engine;
using namespace parlix::engine::testing;

namespace {

class Program : public EngineRig {
protected:
    void SetUp() override {
        app();
        EngineRig::SetUp();
    }
    void TearDown() override {
        clock::setYieldHook({});
        EngineRig::TearDown();
    }
    static bool pumpUntil(const bool& done) {
        QElapsedTimer t;
        t.start();
        while (!done && t.elapsed() < 5000) QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        return done;
    }
};

TEST_F(Program, TheGuardKeyNamesTheInstallationAndTheEngineNumber) {
    const std::string here = (root / "Engine").string();
    EXPECT_EQ(EngineInstanceKey(here, 1), EngineInstanceKey((root / "Engine2").string(), 1));  // same database
    EXPECT_EQ(EngineInstanceKey(here, 1), EngineInstanceKey(here + "/", 1));
    EXPECT_NE(EngineInstanceKey(here, 1), EngineInstanceKey(here, 2));
    EXPECT_NE(EngineInstanceKey(here, 1), EngineInstanceKey((root / "other" / "Engine").string(), 1));
}

// The real program: engine 1 of two installations side by side, a second engine 1 of
// one of them, and each running copy ended by a signal.
TEST_F(Program, EngineOneOfTwoInstallationsRunsSideBySideAndEndsOnASignal) {
    const fs::path program = fs::path(QCoreApplication::applicationDirPath().toStdString()) / ".." / "ParlixEngine";
    ASSERT_TRUE(fs::exists(program)) << program;
    const fs::path other = root / "other";
    fs::create_directories(other / "Database");
    ASSERT_TRUE(schema::createDatabase(schema::databasePath(other.string())));
    auto install = [&](const fs::path& folder) {
        fs::create_directories(folder);
        fs::copy_file(program, folder / "ParlixEngine", fs::copy_options::overwrite_existing);
        std::ofstream(folder / "Setting.INI") << "[Engine_Setting]\r\nEngineModemID=1\r\n";
        return QString::fromStdString((folder / "ParlixEngine").string());
    };
    auto listening = [](const fs::path& folder) {
        QLocalSocket probe;
        probe.connectToServer(ui::SingleInstance::serverName(EngineInstanceKey(folder.string(), 1)));
        return probe.waitForConnected(200);
    };
    std::vector<std::unique_ptr<QProcess>> copies;
    auto start = [&](const QString& path) {
        copies.push_back(std::make_unique<QProcess>());
        copies.back()->setProcessChannelMode(QProcess::ForwardedChannels);
        copies.back()->start(path, {});
        return copies.back().get();
    };
    QProcess* first = start(install(root / "Engine"));
    QProcess* second = start(install(other / "Engine"));
    for (const fs::path& folder : {root / "Engine", other / "Engine"}) {
        QElapsedTimer t;
        t.start();
        while (!listening(folder) && t.elapsed() < 30000) QThread::msleep(100);
        EXPECT_TRUE(listening(folder)) << folder << " never came up";
    }
    // Engine 1 of the same installation from another folder finds the running one.
    QProcess* again = start(install(root / "Engine2"));
    EXPECT_TRUE(again->waitForFinished(30000));
    EXPECT_EQ(again->exitStatus(), QProcess::NormalExit);

    ::kill(static_cast<pid_t>(first->processId()), SIGTERM);
    ::kill(static_cast<pid_t>(second->processId()), SIGINT);
    for (QProcess* p : {first, second}) {
        EXPECT_TRUE(p->waitForFinished(30000));
        EXPECT_EQ(p->exitStatus(), QProcess::NormalExit);
        EXPECT_EQ(p->exitCode(), 0);
    }
    for (auto& p : copies)
        if (p->state() != QProcess::NotRunning) {
            p->kill();
            p->waitForFinished(5000);
        }
}

// A signal that comes while a message is being sent: the send finishes and is recorded
// once, the engine stops as by Stop, and the program ends.
TEST_F(Program, SignalDuringASendStopsTheEngineAfterTheSend) {
    setModem("Direction = 2, DSR = 0, Poll = 1");
    startModem();
    frmSMSEngine w;
    ASSERT_TRUE(w.Form_Load());
    bool quit = false;
    StopOnSignal stop(w, [&] { quit = true; });
    stop.Watch();
    w.cmdInit_Click();
    ASSERT_EQ(w.engine().EngineState, "Running");
    ASSERT_EQ(modemColumn("Status"), "Running");
    db.execute("INSERT INTO Outbox (Subject, Name, Mobile, Message, DateTimeQueue, SentStatus, MsgType) "
               "VALUES ('s', 'Unknown', '0123456789', 'in flight', '2000-01-01 00:00:00', 'P', 1)");

    bool raised = false;
    clock::setYieldHook([&] {
        if (!raised) {
            raised = true;
            std::raise(SIGTERM);  // while the modem is answering the send
        }
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    });
    w.Timer1_Timer();
    ASSERT_TRUE(raised);
    EXPECT_TRUE(pumpUntil(quit));
    EXPECT_EQ(w.engine().EngineState, "Stop");
    EXPECT_EQ(modemColumn("Status"), "Stop");
    const auto rows = db.query("SELECT SentStatus, Lock FROM Outbox");
    ASSERT_EQ(rows.size(), 1u);
    EXPECT_EQ(rows[0][0].asText(), "S");
    EXPECT_FALSE(rows[0][1].asBool());
    EXPECT_EQ(sim->sent().size(), 1u);
}

TEST_F(Program, EverySignalEndsAStoppedEngineAtOnce) {
    for (int signalNumber : {SIGTERM, SIGINT, SIGHUP}) {
        frmSMSEngine w;
        ASSERT_TRUE(w.Form_Load());
        bool quit = false;
        StopOnSignal stop(w, [&] { quit = true; });
        std::raise(signalNumber);  // while the window loads: held
        QCoreApplication::processEvents();
        EXPECT_FALSE(quit);
        stop.Watch();
        EXPECT_TRUE(pumpUntil(quit)) << signalNumber;
    }
}

}  // namespace
