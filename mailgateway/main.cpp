// Parlix-Email: turns e-mail into SMS and SMS into e-mail through one modem. Its
// settings, daily logs and lists live beside the program.
#include "mailgateway/Gateway.h"
#include "mailgateway/Modem.h"
#include "mailgateway/Status.h"
#include "mailgateway/StatusReport.h"
#include "platform/clock/Clock.h"
#include "platform/ui/SingleInstance.h"

#include <QApplication>
#include <QCryptographicHash>

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
        window.Form_Load();
        window.show();
        rc = QApplication::exec();
    }
    clock::setYieldHook({});
    gateway::StatusReport::Release();
    gateway::ReleaseModem();
    return rc;
}
