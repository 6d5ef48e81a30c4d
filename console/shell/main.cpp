// Parlix, the operator console: the splash window, then the main window. A copy started
// while another runs (in the same folder) brings that one forward and ends.
#include <QApplication>
#include <QTimer>
#include <cstdlib>

#include "console/shell/General.h"
#include "console/shell/Windows.h"
#include "console/shell/core/ConnectDB.h"
#include "platform/ui/SingleInstance.h"

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QApplication::setApplicationName("Parlix");
    parlix::console::SetAppPath(QCoreApplication::applicationDirPath().toStdString());

    parlix::console::ShowSplash();
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
    return app.exec();
}
