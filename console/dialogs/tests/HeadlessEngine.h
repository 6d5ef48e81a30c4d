// A headless engine (parlix-engine-headless) as a child process on a program folder,
// for the console's end-to-end tests. PARLIX_ENGINE_HEADLESS is its path.
#pragma once

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>

#include "engine/integration/SpawnEngine.h"
#include "platform/db/Connection.h"

namespace parlix::console::testing {

class Engine {
public:
    explicit Engine(const std::filesystem::path& folder)
        : pid_(parlix::testing::SpawnHeadlessEngine(folder, false)) {}
    ~Engine() { stop(); }
    Engine(const Engine&) = delete;
    Engine& operator=(const Engine&) = delete;
    void stop() {
        if (pid_ <= 0) return;
        ::kill(pid_, SIGTERM);
        for (int i = 0; i < 100 && ::waitpid(pid_, nullptr, WNOHANG) == 0; ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        ::kill(pid_, SIGKILL);
        ::waitpid(pid_, nullptr, 0);
        pid_ = -1;
    }
    bool running() { return pid_ > 0 && ::waitpid(pid_, nullptr, WNOHANG) == 0; }

private:
    pid_t pid_ = -1;
};

// <root>/Engine with its settings file for engine 1, and engine 1's Modem row on COM3
// (the port the simulated modem is linked to); returns the folder.
inline std::filesystem::path PrepareEngineFolder(const std::filesystem::path& root, parlix::db::Connection& db,
                                                 const std::string& modemNumber, int direction, bool reports) {
    const auto folder = root / "Engine";
    std::filesystem::create_directories(folder);
    std::ofstream(folder / "Setting.INI") << "[Engine_Setting]\r\nEngineModemID=1\r\n";
    db.execute("UPDATE Modem SET PortNumber = 3, ModemNumber = ?, Direction = ?, DSR = ?, Poll = 1 WHERE ModemID = 1",
               {modemNumber, direction, reports ? 1 : 0});
    return folder;
}

}  // namespace parlix::console::testing
