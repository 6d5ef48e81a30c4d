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
#include <string>
#include <thread>

namespace parlix::console::testing {

class Engine {
public:
    explicit Engine(const std::filesystem::path& folder) {
        pid_ = ::fork();
        if (pid_ == 0) {
            const std::string out = (folder / "engine-output.txt").string();
            FILE* f = std::freopen(out.c_str(), "a", stdout);
            (void)f;
            ::execl(PARLIX_ENGINE_HEADLESS, PARLIX_ENGINE_HEADLESS, "--folder", folder.c_str(), "--fast",
                    "--interval", "0", "--quiet", static_cast<char*>(nullptr));
            std::_Exit(127);
        }
    }
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

}  // namespace parlix::console::testing
