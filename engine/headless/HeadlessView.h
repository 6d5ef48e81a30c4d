// An engine window without a window: keeps what the control loop shows and, when
// given a stream, writes each new activity entry to it. Used by the headless engine
// and by the tests of the work steps.
#pragma once

#include "engine/Engine.h"

#include <ostream>
#include <string>

namespace parlix::engine {

class HeadlessView : public EngineView {
public:
    explicit HeadlessView(std::ostream* out = nullptr) : out_(out) {}

    bool init = true, stop = false, reset = true, settings = true;
    bool timerOn = false, busy = false, all = true;
    int interval = 0;
    std::string caption, panels[5], status, sent, in, failed, port = "3";

    void setInitEnabled(bool on) override { init = on; }
    void setStopEnabled(bool on) override { stop = on; }
    void setResetEnabled(bool on) override { reset = on; }
    void setSettingsEnabled(bool on) override { settings = on; }
    bool stopEnabled() const override { return stop; }
    void setCaption(const std::string& c) override { caption = c; }
    void setPanel(int p, const std::string& t) override {
        if (p >= 1 && p <= 4) panels[p] = t;
    }
    void showStatusText(const std::string& t) override {
        if (out_) {
            // New entries come in front of the old text; a trim drops old ones at the end.
            const bool grew = t.size() >= status.size() && t.compare(t.size() - status.size(), status.size(), status) == 0;
            const bool trimmed = t.size() < status.size() && status.compare(0, t.size(), t) == 0;
            if (grew) *out_ << t.substr(0, t.size() - status.size());
            else if (!trimmed) *out_ << t << (t.empty() || t.back() == '\n' ? "" : "\n");
            *out_ << std::flush;
        }
        status = t;
    }
    void showCounters(const std::string& o, const std::string& i, const std::string& f) override {
        sent = o, in = i, failed = f;
    }
    void setTimerInterval(int ms) override { interval = ms; }
    void setTimerEnabled(bool on) override { timerOn = on; }
    bool timerEnabled() const override { return timerOn; }
    int timerInterval() const override { return interval; }
    void setBusyPointer(bool on) override { busy = on; }
    bool busyPointer() const override { return busy; }
    std::string portText() override { return port; }
    bool allRoutes() override { return all; }

private:
    std::ostream* out_;
};

}  // namespace parlix::engine
