// Parlix-Email: turns e-mail into SMS and SMS into e-mail through one modem. Its
// settings, daily logs and lists live beside the program.
#include "mailgateway/Gateway.h"
#include "mailgateway/Modem.h"
#include "mailgateway/Status.h"
#include "mailgateway/StatusReport.h"
#include "platform/clock/Clock.h"
#include "platform/ui/SingleInstance.h"
#include "platform/ui/StopSignals.h"

#include <QApplication>
#include <QCryptographicHash>
#include <QTimer>

using namespace parlix;

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QApplication::setApplicationName("Parlix-Email");
    QApplication::setQuitOnLastWindowClosed(false);

    gateway::ProgramFolder = QCoreApplication::applicationDirPath().toStdString();
    // While the modem or the mail server answers, the window keeps handling its events.
    clock::setYieldHook([] { QCoreApplication::processEvents(QEventLoop::AllEvents, 20); });

    // Two copies on one folder would read the same mailbox and send every e-mail twice:
    // a second copy brings the first one forward and ends.
    const QByteArray folder = QCryptographicHash::hash(QCoreApplication::applicationDirPath().toUtf8(),
                                                       QCryptographicHash::Sha1).toHex().left(12);
    // A stop signal no longer kills the program from here; it is acted on below.
    ui::StopSignals stops;
    ui::SingleInstance guard(QStringLiteral("Parlix-Email-") + QString::fromLatin1(folder));
    if (guard.activatePrevious()) return 0;
    guard.listen();

    int rc = 0;
    {
        gateway::Status window;
        QObject::connect(&guard, &ui::SingleInstance::activateRequested, &window, [&window] {
            if (window.isHidden()) return;  // a settings window is open; it stays in front
            window.showNormal();
            window.raise();
            window.activateWindow();
        });
        // SIGTERM, SIGINT, SIGHUP: closed as by Exit (once a pass under way has ended). A
        // message box open is closed first, and the window only once that box's caller is
        // back at the event loop: the settings window behind the box goes with the close.
        QTimer closeWhenFree;
        closeWhenFree.setInterval(100);
        QObject::connect(&closeWhenFree, &QTimer::timeout, &window, [&window, &closeWhenFree] {
            if (QApplication::activeModalWidget()) return;
            closeWhenFree.stop();
            window.close();
        });
        QObject::connect(&stops, &ui::StopSignals::received, &window, [&closeWhenFree] {
            if (QWidget* box = QApplication::activeModalWidget()) box->close();
            closeWhenFree.start();
        });
        window.Form_Load();
        window.show();
        rc = QApplication::exec();
    }
    clock::setYieldHook({});
    gateway::StatusReport::Release();
    gateway::ReleaseModem();
    return rc;
}
