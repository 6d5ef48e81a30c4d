// The engine program's ties to the system around it: the name that its single-instance
// guard goes by, and stopping on a signal the way the Stop button does.
#pragma once

#include "platform/ui/StopSignals.h"

#include <QObject>
#include <QString>
#include <QTimer>

#include <functional>
#include <string>

namespace parlix::engine {

class frmSMSEngine;

// One running engine per installation and engine number: the key names the installed
// folder (the one that holds the engine's folder and Database) and the number, so
// engine 1 of another installation runs beside this one, and a copy of the engine
// folder with the same number does not.
QString EngineInstanceKey(const std::string& engineFolder, int engineNumber);

// On SIGTERM, SIGINT or SIGHUP: a running engine is stopped as by Stop (the tick under
// way finishes, its claim is settled, "Stop" is written), then the window is unloaded
// and `quit` is called; a stopped engine quits at once.
class StopOnSignal : public QObject {
public:
    // Takes the signals over at once; one that comes before Watch() is held.
    StopOnSignal(frmSMSEngine& window, std::function<void()> quit);
    // The window is loaded: signals are acted on from now (a held one from the event loop).
    void Watch();

private:
    void Received();
    void QuitWhenStopped();

    frmSMSEngine& window_;
    std::function<void()> quit_;
    ui::StopSignals signals_;
    QTimer poll_;
    bool watching_ = false;
    bool held_ = false;
};

}  // namespace parlix::engine
