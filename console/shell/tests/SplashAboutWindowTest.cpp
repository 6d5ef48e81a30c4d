#include <QApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <QTest>
#include <QThread>
#include <QTimer>
#include <QElapsedTimer>
#include <filesystem>
#include <fstream>

#include "console/dialogs/tests/TestEnv.h"
#include "console/shell/frmAbout.h"
#include "console/shell/Windows.h"
#include "console/shell/frmSplash.h"
#include "platform/launch/Launch.h"
#include "platform/registry/Registry.h"
#include "platform/ui/Dialogs.h"

using namespace parlix;
using namespace parlix::console;

namespace {
QApplication& app = parlix::console::testing::TestApp();

const char* kMsInfo = "SOFTWARE\\Microsoft\\Shared Tools\\MSINFO";
const char* kLocation = "SOFTWARE\\Microsoft\\Shared Tools Location";
const char* kUnavailable = "System Information Is Unavailable At This Time";
}  // namespace

TEST(frmSplash, LabelsAndTimer) {
    frmSplash s;
    EXPECT_EQ(s.lblCompanyProduct->text(), "Parlix Basic Edition");
    EXPECT_EQ(s.lblVersion->text(), "Version 4.0.1");
    EXPECT_EQ(s.lblCopyright->text().count('\n'), 1);
    EXPECT_EQ(s.TmrCount->interval(), 7000);
}

// Each closing event ends the modal show at once (no 7 s wait) and stops the timer.
TEST(frmSplash, EachEventClosesTheModalShow) {
    const std::vector<std::pair<const char*, std::function<void(frmSplash&)>>> events = {
        {"timer", [](frmSplash& s) { s.TmrCount_Timer(); }},
        {"frame click", [](frmSplash& s) { QTest::mouseClick(s.Frame1, Qt::LeftButton); }},
        {"form click", [](frmSplash& s) { QTest::mouseClick(&s, Qt::LeftButton, {}, QPoint(1, 1)); }},
        {"key", [](frmSplash& s) { QTest::keyClick(&s, Qt::Key_Z); }},
    };
    for (const auto& [name, fire] : events) {
        frmSplash s;
        // The event comes once the show's own event loop runs: a timer that fell due
        // while show() was still at work would close the window before exec() waits,
        // and nothing would end that wait.
        std::function<void()> fireOnceWaiting = [&] {
            if (QThread::currentThread()->loopLevel() < 1 || !s.isVisible()) {
                QTimer::singleShot(10, &s, fireOnceWaiting);
                return;
            }
            EXPECT_TRUE(s.TmrCount->isActive());
            fire(s);
        };
        QTimer::singleShot(50, &s, fireOnceWaiting);
        QElapsedTimer t;
        t.start();
        s.exec();
        EXPECT_LT(t.elapsed(), 5000) << name;
        EXPECT_FALSE(s.isVisible()) << name;
        EXPECT_FALSE(s.TmrCount->isActive()) << name;
    }
}

TEST(frmAbout, LabelsAndOK) {
    frmAbout a;
    EXPECT_EQ(a.windowTitle(), "Parlix Basic Edition");
    EXPECT_EQ(a.lblTitle->text(), "Parlix Basic Edition");
    EXPECT_EQ(a.lblVersion->text(), "Version no. 4.0.1");
    EXPECT_EQ(a.lblDescription->text(), "A business tool for broadcasting SMS");
    EXPECT_EQ(a.cmdSysInfo->text(), "&System Info...");
    EXPECT_FALSE(a.isModal());
    a.show();
    a.cmdOK->click();
    EXPECT_FALSE(a.isVisible());
}

TEST(frmAbout, StartSysInfoLookUps) {
    const auto folder = std::filesystem::temp_directory_path() / ("parlix-msinfo-" + std::to_string(::getpid()));
    std::filesystem::create_directories(folder);
    const std::string program = (folder / "MSINFO32.EXE").string();

    struct Case {
        const char* name;
        bool first, second, file, startFails;
        std::string started;  // "" = nothing started, message shown
    } cases[] = {
        {"first only", true, false, false, false, "/usr/bin/hardinfo"},
        {"first wins over second", true, true, true, false, "/usr/bin/hardinfo"},
        {"second with its file", false, true, true, false, program},
        {"second without its file", false, true, false, false, ""},
        {"neither", false, false, false, false, ""},
        {"program will not start", true, false, false, true, ""},
    };
    for (const auto& c : cases) {
        registry::FakeRegistry reg;
        launch::RecordingLauncher launcher;
        ui::ScriptedDialogs boxes;
        launcher.succeed = !c.startFails;
        if (c.first) reg.setText(registry::HKEY_LOCAL_MACHINE, kMsInfo, "PATH", "/usr/bin/hardinfo");
        if (c.second) reg.setText(registry::HKEY_LOCAL_MACHINE, kLocation, "MSINFO", folder.string());
        std::filesystem::remove(program);
        if (c.file) std::ofstream(program) << "x";

        frmAbout a;
        a.show();
        a.cmdSysInfo->click();
        if (c.started.empty()) {
            ASSERT_EQ(boxes.calls.size(), 1u) << c.name;
            EXPECT_EQ(boxes.calls[0].prompt, kUnavailable);
            EXPECT_EQ(boxes.calls[0].buttons, ui::vbOKOnly);
            EXPECT_EQ(boxes.calls[0].title, "");
        } else {
            EXPECT_TRUE(boxes.calls.empty()) << c.name;
            EXPECT_EQ(launcher.started.back(), c.started) << c.name;
        }
        EXPECT_EQ(launcher.started.size(), c.started.empty() && !c.startFails ? 0u : 1u) << c.name;
        EXPECT_TRUE(a.isVisible()) << c.name;  // the window stays
        for (auto access : reg.accessAsked) EXPECT_EQ(access, registry::KEY_READ);
    }
    std::filesystem::remove_all(folder);
}

TEST(frmAbout, ShowAboutRaisesTheOneWindow) {
    ShowAbout();
    frmAbout* first = frmAbout::instance();
    EXPECT_TRUE(first->isVisible());
    ShowAbout();
    EXPECT_EQ(frmAbout::instance(), first);
    first->close();
}
