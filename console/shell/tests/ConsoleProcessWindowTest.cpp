// The console as real processes: a second copy, and the console watching a real
// engine send over the simulated modem.
#include <gtest/gtest.h>
#include <signal.h>
#include <unistd.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QGroupBox>
#include <QLabel>
#include <QLocalSocket>
#include <QProcess>
#include <QTableView>
#include <QThread>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <functional>

#include "console/shell/General.h"
#include "console/shell/core/ConnectDB.h"
#include "console/shell/tests/TestRoot.h"
#include "database/Schema.h"
#include "platform/db/Value.h"
#include "platform/db/qt/RecordsetModel.h"
#include "platform/ui/Dialogs.h"
#include "platform/ui/SingleInstance.h"

namespace parlix::console {
namespace {

namespace fs = std::filesystem;

// Programs built beside this test (build/console/..).
fs::path built(const std::string& relative) {
    return fs::path(QCoreApplication::applicationDirPath().toStdString()) / relative;
}

bool waitFor(const std::function<bool()>& done, int ms) {
    QElapsedTimer t;
    t.start();
    while (t.elapsed() < ms) {
        if (done()) return true;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
        QThread::msleep(50);
    }
    return done();
}

class ConsoleProcessTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { test::ensureApplication(); }
    void SetUp() override {
        root = test::makeTestRoot("process");
        ASSERT_TRUE(schema::createDatabase(schema::databasePath(root.string())));
        c.open(schema::databasePath(root.string()), schema::kDatabaseKey);
    }
    void TearDown() override {
        for (QProcess* p : processes) {
            p->terminate();
            if (!p->waitForFinished(5000)) p->kill();
            p->waitForFinished(2000);
            delete p;
        }
        w.reset();
        c.close();
        DbConnection.close();
        if (!HasFailure()) fs::remove_all(root);
    }
    QProcess* start(const fs::path& program, const QStringList& args) {
        auto* p = new QProcess;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("QT_QPA_PLATFORM", "offscreen");
        p->setProcessEnvironment(env);
        p->setWorkingDirectory(QString::fromStdString(root.string()));
        p->setStandardOutputFile(QString::fromStdString((root / (program.filename().string() + ".out")).string()),
                                 QIODevice::Append);
        p->setStandardErrorFile(QString::fromStdString((root / (program.filename().string() + ".err")).string()),
                                QIODevice::Append);
        p->start(QString::fromStdString(program.string()), args);
        processes.push_back(p);
        return p;
    }

    fs::path root;
    db::Connection c;
    std::vector<QProcess*> processes;
    std::unique_ptr<General> w;
};

TEST_F(ConsoleProcessTest, SecondCopyBringsFirstForwardSignalEndsIt) {
    const fs::path program = built("Parlix");
    ASSERT_TRUE(fs::exists(program)) << program;
    // The program's folder is where it finds Database/: a copy in the test's folder.
    fs::copy_file(program, root / "Parlix");
    const QString server = ui::SingleInstance::serverName(QString::fromStdString("Parlix:" + root.string()));

    QProcess* first = start(root / "Parlix", {});
    ASSERT_TRUE(first->waitForStarted(10000));
    // A copy that finds no earlier one keeps running and becomes the one later copies find.
    ASSERT_TRUE(waitFor(
        [&] {
            QLocalSocket probe;
            probe.connectToServer(server);
            return probe.waitForConnected(200);
        },
        30000))
        << "the first copy never listened";

    QProcess* second = start(root / "Parlix", {});
    ASSERT_TRUE(second->waitForFinished(30000)) << "the second copy kept running";
    EXPECT_EQ(second->exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(second->exitCode(), 0);
    EXPECT_EQ(first->state(), QProcess::Running);

    // A stop signal ends it as Yes to the exit question does, not as a kill.
    ::kill(static_cast<pid_t>(first->processId()), SIGTERM);
    ASSERT_TRUE(first->waitForFinished(30000));
    EXPECT_EQ(first->exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(first->exitCode(), 0);
}

// Queued as the composer queues, sent by a real engine over the simulated modem.
TEST_F(ConsoleProcessTest, SentItemsFollowTheEngineAndTheInboxNamesTheSender) {
    const fs::path engine = built("../engine/headless/parlix-engine-headless");
    const fs::path modem = built("../tools/modemsim/modemsim");
    if (!fs::exists(engine) || !fs::exists(modem)) GTEST_SKIP() << "engine or modemsim not built";

    c.execute("INSERT INTO AddressBook (Name, Mobile, CompanyName) VALUES ('Alice', '+60123456789', 'Co'), "
              "('Bob', '+60129876543', 'Co')");
    const fs::path folder = root / "Engine1";
    fs::create_directories(folder / "ports");
    std::ofstream(folder / "Setting.INI") << "[Engine_Setting]\r\nEngineModemID=1\r\n";
    c.execute("UPDATE Modem SET PortNumber = 3, Direction = 0, DSR = 1, Poll = 1 WHERE ModemID = 1");
    const std::string queued = db::formatDateTime(std::chrono::system_clock::now() - std::chrono::minutes(1));
    // One broadcast: one subject, one row per recipient.
    for (auto [name, mobile] : {std::pair{"Alice", "+60123456789"}, std::pair{"Bob", "+60129876543"}})
        c.execute("INSERT INTO Outbox (MsgType, Subject, Message, Mobile, Name, DateTimeQueue, SentStatus) "
                  "VALUES (1, 'Staff notice', 'Meeting at ten', ?, ?, ?, 'P')",
                  {std::string(mobile), std::string(name), queued});

    ui::ScriptedDialogs boxes;
    SetAppPath(root.string());
    w = std::make_unique<General>();
    EXPECT_EQ(w->lblStatusOutbox->text().toStdString(), "2 SMS queued into outbox");

    // The status report comes only once the console has seen the rows sent.
    QProcess* sim = start(modem, {"--link", QString::fromStdString((folder / "ports" / "com3").string()),
                                  "--control", QString::fromStdString((root / "modem.sock").string()),
                                  "--report", "none", "--inject", "+60123456789=Hello console"});
    ASSERT_TRUE(waitFor([&] { return fs::exists(folder / "ports" / "com3"); }, 10000));
    start(engine, {"--folder", QString::fromStdString(folder.string()), "--interval", "200", "--quiet"});

    auto cell = [&](int row, int column) {
        return w->DataGridModel->data(w->DataGridModel->index(row, column)).toString().toStdString();
    };
    auto sentRows = [&](const std::string& delivery) {
        w->tvwMessage_NodeClick(w->node(NodeKind::SentItems));
        if (w->DataGridModel->rowCount() != 2) return false;
        for (int r = 0; r < 2; ++r)
            if (cell(r, 9) != "S" || cell(r, 11) != delivery) return false;
        return true;
    };
    ASSERT_TRUE(waitFor([&] { return sentRows(""); }, 60000)) << "Sent Items never showed both rows sent";
    EXPECT_EQ(w->frmContent->title().toStdString(), "Sent Items (2 records)");

    // Now the network confirms delivery of the next sends; resend both rows to get reports.
    (void)sim;
    QLocalSocket control;
    control.connectToServer(QString::fromStdString((root / "modem.sock").string()));
    ASSERT_TRUE(control.waitForConnected(5000));
    control.write("set report=delivered\n");
    ASSERT_TRUE(control.waitForReadyRead(5000));
    EXPECT_EQ(control.readLine().trimmed().toStdString(), "OK");
    c.execute("UPDATE Outbox SET SentStatus = 'R', DateTimeQueue = ? WHERE SentStatus = 'S'", {queued});
    ASSERT_TRUE(waitFor([&] { return sentRows("D"); }, 60000)) << "Sent Items never showed the deliveries";

    w->Status();
    EXPECT_EQ(w->lblStatusSentOK->text().toStdString(), "2 Total SMS sent successfully");
    EXPECT_EQ(w->lblStatusSent_Delivered->text().toStdString(), "2 SMS sent and delivered successfully");
    EXPECT_EQ(w->lblStatusOutbox->text().toStdString(), "0 SMS queued into outbox");

    // The message the modem held was read into the Inbox and carries the contact's name.
    ASSERT_TRUE(waitFor(
        [&] {
            w->tvwMessage_NodeClick(w->node(NodeKind::Inbox));
            return w->DataGridModel->rowCount() == 1;
        },
        60000));
    EXPECT_EQ(cell(0, 1), "Hello console");
    EXPECT_EQ(cell(0, 2), "Alice");
}

}  // namespace
}  // namespace parlix::console
