#include "engine/Program.h"

#include "engine/frmSMSEngine.h"

#include <QCryptographicHash>

#include <filesystem>

namespace parlix::engine {

QString EngineInstanceKey(const std::string& engineFolder, int engineNumber) {
    std::error_code ec;
    auto folder = std::filesystem::weakly_canonical(std::filesystem::absolute(engineFolder, ec), ec);
    if (!folder.has_filename()) folder = folder.parent_path();  // a trailing "/"
    const QByteArray root = QByteArray::fromStdString(folder.parent_path().string());
    const QByteArray hash = QCryptographicHash::hash(root, QCryptographicHash::Sha1).toHex().left(12);
    return QStringLiteral("ParlixEngine-%1-%2").arg(QString::fromLatin1(hash)).arg(engineNumber);
}

StopOnSignal::StopOnSignal(frmSMSEngine& window, std::function<void()> quit)
    : window_(window), quit_(std::move(quit)) {
    connect(&signals_, &ui::StopSignals::received, this, [this] { Received(); });
    poll_.setInterval(100);
    connect(&poll_, &QTimer::timeout, this, [this] { QuitWhenStopped(); });
}

void StopOnSignal::Watch() {
    watching_ = true;
    if (held_) QTimer::singleShot(0, this, [this] { Received(); });
}

void StopOnSignal::Received() {
    if (!watching_) {
        held_ = true;  // the window is still loading
        return;
    }
    if (window_.stopEnabled() && !window_.engine().bStop) window_.cmdStop_Click();
    poll_.start();
    QuitWhenStopped();
}

void StopOnSignal::QuitWhenStopped() {
    Engine& engine = window_.engine();
    if (engine.Busy()) return;  // the Start or tick under way ends first
    // Stopping waits for the next tick, which can be a whole Poll away after a Start:
    // the tick is run now, as the timer would run it.
    if (window_.stopEnabled() && engine.bStop) window_.Timer1_Timer();
    // Stopped means Start is available again.
    if (window_.stopEnabled()) return;
    poll_.stop();
    window_.Form_Unload();
    quit_();
}

}  // namespace parlix::engine
