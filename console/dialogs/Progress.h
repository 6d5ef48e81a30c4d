// Long work of the console's windows: the hourglass, and for the import and export a
// busy window that blocks the other windows meanwhile (they share the one database
// connection).
#pragma once

#include <QApplication>
#include <QCursor>
#include <QProgressDialog>
#include <QThread>
#include <chrono>
#include <future>

namespace parlix::console {

// The hourglass for as long as it lives, on every path out.
class WaitCursor {
public:
    WaitCursor() { QApplication::setOverrideCursor(Qt::WaitCursor); }
    ~WaitCursor() { QApplication::restoreOverrideCursor(); }
    WaitCursor(const WaitCursor&) = delete;
    WaitCursor& operator=(const WaitCursor&) = delete;
};

// A modal progress window; step() keeps the screen painted without taking the user's
// clicks and keys, so no other window can start work meanwhile.
class BusyWindow {
public:
    BusyWindow(QWidget* parent, const QString& text, const QString& title) : box_(text, QString(), 0, 0, parent) {
        box_.setWindowTitle(title);
        box_.setWindowModality(Qt::ApplicationModal);
        box_.setCancelButton(nullptr);
        box_.setMinimumDuration(400);
        box_.setValue(0);
    }
    void step(const QString& text = {}) {
        if (!text.isEmpty()) box_.setLabelText(text);
        QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
    }

private:
    QProgressDialog box_;
};

// Runs `work` on another thread (it must not touch the database or any window) while
// the busy window shows; its result or exception comes back here.
template <class Work>
auto RunBusy(BusyWindow& busy, Work work) -> decltype(work()) {
    auto f = std::async(std::launch::async, std::move(work));
    while (f.wait_for(std::chrono::milliseconds(20)) != std::future_status::ready) busy.step();
    return f.get();
}

}  // namespace parlix::console
