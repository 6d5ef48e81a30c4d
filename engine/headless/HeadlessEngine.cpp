// parlix-engine-headless: the engine's control loop and work steps without windows,
// for the multi-engine test and demonstration. It lives in an engine folder one
// level below the folder that holds Database/, like ParlixEngine, presses Start,
// runs the tick and stops on SIGTERM / Ctrl-C (or when the queue is empty).
//
//   parlix-engine-headless --folder DIR [--engine N] [--interval MS] [--fast]
//                          [--until-idle] [--quiet]
#include "engine/Engine.h"
#include "engine/EngineGlobals.h"
#include "engine/RWini.h"
#include "engine/headless/FastPollClock.h"
#include "engine/headless/HeadlessView.h"
#include "platform/clock/Clock.h"
#include "platform/db/Connection.h"
#include "platform/serial/SerialPort.h"

#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <iostream>
#include <thread>

using namespace parlix;

namespace {

volatile std::sig_atomic_t gStopRequested = 0;
void OnSignal(int) { gStopRequested = 1; }

int Usage() {
    std::cerr << "usage: parlix-engine-headless --folder DIR [--engine N] [--interval MS] [--fast] [--until-idle] "
                 "[--quiet]\n";
    return 64;
}

bool QueueEmpty(engine::Engine& e) {
    try {
        if (!e.DbConnection.isOpen()) return false;
        auto left = e.DbConnection.scalar("SELECT count(*) FROM Outbox WHERE SentStatus IN ('P','R')");
        return left && left->asInt() == 0;
    } catch (...) {
        return false;
    }
}

}  // namespace

int main(int argc, char** argv) {
    std::string folder;
    int engineNumber = 0;
    int interval = -1;
    bool fast = false, untilIdle = false, quiet = false;
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        const bool hasValue = i + 1 < argc;
        if (a == "--folder" && hasValue) folder = argv[++i];
        else if (a == "--engine" && hasValue) engineNumber = std::atoi(argv[++i]);
        else if (a == "--interval" && hasValue) interval = std::atoi(argv[++i]);
        else if (a == "--fast") fast = true;
        else if (a == "--until-idle") untilIdle = true;
        else if (a == "--quiet") quiet = true;
        else return Usage();
    }
    if (folder.empty()) return Usage();

    engine::EngineFolder = std::filesystem::absolute(folder).string();
    engine::EngineModemID =
        engineNumber > 0 ? engineNumber : engine::ReadEngineModemID(engine::EnginePath(engine::kSettingFile));
    serial::setPortsFolder(std::filesystem::path(engine::EngineFolder) / "ports");
    engine::FastPollClock fastClock;
    if (fast) clock::setClock(&fastClock);
    std::signal(SIGTERM, OnSignal);
    std::signal(SIGINT, OnSignal);

    engine::HeadlessView view(quiet ? nullptr : &std::cout);
    engine::Engine e(view);
    e.cmdInit_Click();
    if (e.EngineState != "Running") {
        if (quiet) std::cerr << view.status;
        std::cerr << "engine " << engine::EngineModemID << " did not start\n";
        clock::setClock(nullptr);
        return 2;
    }
    bool routed = false;
    for (const auto& prefix : e.RoutePrefixes) routed = routed || !prefix.empty();
    view.all = !routed;  // frmModem ticks "All" when no route flag is set

    bool stopping = false;
    while (e.EngineState != "Stop") {
        if (!stopping && (gStopRequested || (untilIdle && QueueEmpty(e)))) {
            e.cmdStop_Click();
            stopping = true;
        }
        e.Timer1_Timer();
        const int pause = interval >= 0 ? interval : view.timerInterval();
        if (e.EngineState != "Stop" && pause > 0) std::this_thread::sleep_for(std::chrono::milliseconds(pause));
    }
    if (!quiet) std::cout << view.sent << "  " << view.in << "  " << view.failed << "\n";
    clock::setClock(nullptr);
    return 0;
}
