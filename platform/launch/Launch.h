// Starting another program (the shell's run-a-program call), detached from ours.
// Tests install a RecordingLauncher, which starts nothing and records the paths.
#pragma once

#include <string>
#include <vector>

namespace parlix::launch {

class Launcher {
public:
    virtual ~Launcher() = default;
    // Starts the program at `path` in its own process; false when it could not start.
    virtual bool start(const std::string& path) = 0;
};

// The launcher in use: QProcess::startDetached unless a test installed another.
Launcher& launcher();
// Installs `l` (nullptr: the real launcher again); returns the one it replaces.
Launcher* setLauncher(Launcher* l);

inline bool startProgram(const std::string& path) { return launcher().start(path); }

// Test double: installs itself while it lives; records every path; answers `succeed`.
class RecordingLauncher : public Launcher {
public:
    RecordingLauncher();
    ~RecordingLauncher() override;
    RecordingLauncher(const RecordingLauncher&) = delete;
    RecordingLauncher& operator=(const RecordingLauncher&) = delete;

    bool start(const std::string& path) override;

    std::vector<std::string> started;
    bool succeed = true;

private:
    Launcher* previous_;
};

}  // namespace parlix::launch
