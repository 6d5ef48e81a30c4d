// ParlixEngine: one SMS engine for one modem. The engine number comes from
// Setting.INI beside the program, so engines 1, 2 and 3 can run from three folders.
#include "engine/EngineGlobals.h"
#include "engine/ErrorLog.h"
#include "engine/RWini.h"
#include "engine/Program.h"
#include "engine/frmSMSEngine.h"
#include "platform/clock/Clock.h"
#include "platform/ui/SingleInstance.h"

#include <QApplication>

using namespace parlix;

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QApplication::setApplicationName("ParlixEngine");
    // The window closes the program itself, after its refusal while running.
    QApplication::setQuitOnLastWindowClosed(false);

    engine::EngineFolder = QCoreApplication::applicationDirPath().toStdString();
    engine::EngineModemID = engine::ReadEngineModemID(engine::EnginePath(engine::kSettingFile));
    // While the modem answers, the window keeps handling its events.
    clock::setYieldHook([] { QCoreApplication::processEvents(QEventLoop::AllEvents, 20); });

    ui::SingleInstance guard(engine::EngineInstanceKey(engine::EngineFolder, engine::EngineModemID));
    engine::frmSMSEngine window;
    // From here a stop signal no longer kills the program. Once unloaded, exit() ends the
    // loop without closing the window once more.
    engine::StopOnSignal stop(window, [] { QCoreApplication::exit(0); });
    if (!window.Form_Load(&guard)) return 0;
    stop.Watch();
    window.show();
    const int rc = QApplication::exec();
    clock::setYieldHook({});
    return rc;
}
