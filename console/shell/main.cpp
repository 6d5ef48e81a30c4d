// Parlix, the operator console: the splash window, then the main window. A copy started
// while another runs (in the same folder) brings that one forward and ends.
#include <QApplication>
#include <QTimer>
#include <cstdlib>

#include "console/shell/General.h"
#include "console/shell/Windows.h"
#include "console/shell/core/ConnectDB.h"
#include "platform/ui/SingleInstance.h"
#include "platform/ui/StopSignals.h"

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QApplication::setApplicationName("Parlix");
    parlix::console::SetAppPath(QCoreApplication::applicationDirPath().toStdString());

    // SIGTERM, SIGINT, SIGHUP: every event loop ends (an open dialog or message box
    // returns as cancelled), then the program ends as after Yes to the exit question.
    parlix::ui::StopSignals stops;
    bool stopped = false;
    QObject::connect(&stops, &parlix::ui::StopSignals::received, &app, [&stopped] {
        stopped = true;
        QCoreApplication::exit(0);  // not quit(): that would close the window, which asks
    });
    parlix::console::ShowSplash();
    if (stopped) return 0;
    parlix::console::General main;
    main.show();

    // ActivatePrevInstance: once the window is up, ask an earlier copy to come forward;
    // when one answers this copy ends at once (no exit question). Otherwise this copy is
    // the one later copies find.
    parlix::ui::SingleInstance guard(QString::fromStdString("Parlix:" + parlix::console::AppPath()));
    QObject::connect(&guard, &parlix::ui::SingleInstance::activateRequested, &main, [&main] {
        main.setWindowState(main.windowState() & ~Qt::WindowMinimized);
        main.show();
        main.raise();
        main.activateWindow();
    });
    QTimer::singleShot(0, &main, [&guard] {
        if (guard.activatePrevious()) std::_Exit(0);
        guard.listen();
    });
    const int rc = stopped ? 0 : app.exec();
    if (stopped) main.EndWithoutQuestion();
    return rc;
}
