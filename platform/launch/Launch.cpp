#include "platform/launch/Launch.h"

#include <QProcess>
#include <QString>

namespace parlix::launch {
namespace {

class ProcessLauncher : public Launcher {
public:
    bool start(const std::string& path) override {
        return QProcess::startDetached(QString::fromStdString(path), {});
    }
};

Launcher* current = nullptr;

}  // namespace

Launcher& launcher() {
    static ProcessLauncher real;
    return current ? *current : real;
}

Launcher* setLauncher(Launcher* l) {
    Launcher* old = current;
    current = l;
    return old;
}

RecordingLauncher::RecordingLauncher() : previous_(setLauncher(this)) {}
RecordingLauncher::~RecordingLauncher() { setLauncher(previous_); }

bool RecordingLauncher::start(const std::string& path) {
    started.push_back(path);
    return succeed;
}

}  // namespace parlix::launch
