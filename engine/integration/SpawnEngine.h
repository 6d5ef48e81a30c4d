// Starts the headless engine (parlix-engine-headless, whose path PARLIX_ENGINE_HEADLESS
// names) as a child process on a program folder, fast and quiet, its output appended
// to engine-output.txt there. Shared by the engine's and the console's end-to-end tests.
#pragma once

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

namespace parlix::testing {

// untilIdle: the engine ends by itself once nothing is left to do. Returns the
// child's process id, or -1 when none could be started.
inline pid_t SpawnHeadlessEngine(const std::filesystem::path& folder, bool untilIdle) {
    const pid_t pid = ::fork();
    if (pid == 0) {
        const std::string log = (folder / "engine-output.txt").string();
        FILE* out = std::freopen(log.c_str(), "a", stdout);
        (void)out;
        std::vector<const char*> argv{PARLIX_ENGINE_HEADLESS, "--folder", folder.c_str(), "--fast"};
        if (untilIdle) argv.push_back("--until-idle");
        for (const char* a : {"--interval", "0", "--quiet"}) argv.push_back(a);
        argv.push_back(nullptr);
        ::execv(PARLIX_ENGINE_HEADLESS, const_cast<char* const*>(argv.data()));
        std::_Exit(127);
    }
    return pid;
}

}  // namespace parlix::testing
