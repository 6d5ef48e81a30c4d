// Parlix-Email: turns e-mail into SMS and SMS into e-mail through one modem. Its
// settings, daily logs and lists live beside the program.
#include "mailgateway/Gateway.h"
#include "mailgateway/Modem.h"
#include "mailgateway/Status.h"
#include "mailgateway/StatusReport.h"
#include "platform/clock/Clock.h"

#include <QApplication>

using namespace parlix;

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QApplication::setApplicationName("Parlix-Email");
    QApplication::setQuitOnLastWindowClosed(false);

    gateway::ProgramFolder = QCoreApplication::applicationDirPath().toStdString();
    // While the modem or the mail server answers, the window keeps handling its events.
    clock::setYieldHook([] { QCoreApplication::processEvents(QEventLoop::AllEvents, 20); });

    int rc = 0;
    {
        gateway::Status window;
        window.Form_Load();
        window.show();
        rc = QApplication::exec();
    }
    clock::setYieldHook({});
    gateway::StatusReport::Release();
    gateway::ReleaseModem();
    return rc;
}
