#include "platform/ui/Dialogs.h"
#include "platform/ui/SingleInstance.h"
#include "platform/ui/TrayIcon.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QLocalServer>
#include <QSignalSpy>

#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

using namespace parlix::ui;

namespace {
QApplication& app() {
    static int argc = 1;
    static char name[] = "parlix_ui_tests";
    static char* argv[] = {name, nullptr};
    // Never destroyed: tearing Qt down from a static destructor crashes at exit.
    static QApplication* instance = new QApplication(argc, argv);
    return *instance;
}
}  // namespace

TEST(ScriptedDialogs, AnswersInOrderThenFirstButtonAndRecordsCalls) {
    ScriptedDialogs script;
    script.answer(vbNo);
    script.answerText("typed");
    EXPECT_EQ(msgBox("Delete?", vbYesNo + vbQuestion, "Manager - Delete"), vbNo);
    EXPECT_EQ(inputBox("Name", "Group", "dflt"), "typed");
    EXPECT_EQ(msgBox("Again?", vbYesNo + vbQuestion, "t"), vbYes);
    EXPECT_EQ(msgBox("Retry?", vbRetryCancel, "t"), vbRetry);
    EXPECT_EQ(msgBox("Done", vbInformation, "t"), vbOK);
    EXPECT_EQ(inputBox("Name", "Group", "dflt"), "dflt");
    ASSERT_EQ(script.calls.size(), 6u);
    EXPECT_EQ(script.calls[0].buttons, vbYesNo + vbQuestion);
    EXPECT_EQ(script.calls[0].title, "Manager - Delete");
    EXPECT_EQ(script.prompts(), (std::vector<std::string>{"Delete?", "Again?", "Retry?", "Done"}));
}

TEST(ScriptedDialogs, NestedScriptsRestoreThePreviousService) {
    ScriptedDialogs outer;
    {
        ScriptedDialogs inner;
        msgBox("inner");
        EXPECT_EQ(&dialogs(), &inner);
    }
    EXPECT_EQ(&dialogs(), &outer);
    msgBox("outer");
    EXPECT_EQ(outer.prompts(), std::vector<std::string>{"outer"});
}

TEST(SingleInstance, LaterCopyActivatesEarlierOneAndKeysAreSeparate) {
    app();
    SingleInstance first("ParlixEngine-test-1");
    ASSERT_FALSE(first.activatePrevious(200));  // nobody there yet
    ASSERT_TRUE(first.listen());
    QSignalSpy spy(&first, &SingleInstance::activateRequested);

    SingleInstance second("ParlixEngine-test-1");
    EXPECT_TRUE(second.activatePrevious());
    EXPECT_TRUE(spy.wait(2000));
    EXPECT_EQ(spy.count(), 1);

    SingleInstance other("ParlixEngine-test-2");
    EXPECT_FALSE(other.activatePrevious(200));
    EXPECT_TRUE(other.listen());
}

TEST(SingleInstance, TakesOverSocketLeftByACrashedCopy) {
    app();
    const QString key = "ParlixEngine-test-stale";
    // A bound but unlistened socket file, as a killed copy leaves behind.
    const QByteArray path = (QDir::tempPath() + "/" + SingleInstance::serverName(key)).toUtf8();
    ::unlink(path.constData());
    int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un addr{};
    addr.sun_family = AF_UNIX;
    std::snprintf(addr.sun_path, sizeof addr.sun_path, "%s", path.constData());
    ASSERT_EQ(::bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr), 0);
    ::close(fd);

    SingleInstance copy(key);
    EXPECT_FALSE(copy.activatePrevious(200));
    EXPECT_TRUE(copy.listen());
    EXPECT_TRUE(copy.isListening());
}

TEST(TrayIcon, WithoutATrayNothingIsShown) {
    app();
    TrayIcon tray;
    tray.setToolTip("SMS Engine 1-Stop");
    EXPECT_EQ(tray.toolTip(), "SMS Engine 1-Stop");
    if (TrayIcon::available()) GTEST_SKIP() << "this desktop has a tray";
    EXPECT_FALSE(tray.add());
    EXPECT_FALSE(tray.isShown());
}

// The desktop's opener (xdg-open) ends at once with an error when no program takes the
// document; one that is still at work after a moment has shown it.
TEST(OpenDocument, AnOpenerThatFailsAtOnceIsNoSuccess) {
    app();
    const QString dir = QDir::tempPath() + "/parlix-opener-" + QString::number(::getpid());
    QDir().mkpath(dir);
    const QByteArray path = qgetenv("PATH");
    qputenv("PATH", dir.toUtf8());
    const struct {
        const char* script;
        bool opened;
    } cases[] = {{"exit 3", false}, {"exit 4", false}, {"exit 0", true}, {"/bin/sleep 5", true}};
    for (const auto& c : cases) {
        QFile f(dir + "/xdg-open");
        ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        f.write(QByteArray("#!/bin/sh\n") + c.script + "\n");
        f.close();
        f.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        EXPECT_EQ(openDocument("/tmp/manual.html"), c.opened) << c.script;
    }
    qputenv("PATH", path);
    QDir(dir).removeRecursively();
}
