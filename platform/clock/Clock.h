// Clock and waiting (namespace parlix::clock, target parlix_clock).
//
// What it offers:
//   now()            wall-clock time of the current clock (system_clock::time_point)
//   ticks()          monotonic time of the current clock (steady_clock::time_point): what
//                    waits and time-outs measure, so that a clock set back or forward
//                    never stretches or cuts a wait
//   sleep(ms)        sleeps on the current clock (a FakeClock advances instead)
//   yield()          runs the hook set by setYieldHook(); the Qt programs set it to
//                    process their window events so the windows stay responsive while
//                    a modem command waits. Without a hook it does nothing.
//   setClock(c)      replaces the current clock for the whole process; nullptr puts the
//                    system clock back. ScopedClock does this for one scope (tests).
//   FakeClock        time that moves only when someone sleeps on it or advances it,
//                    so a 7-second time-out costs no real time. Fakes (the fake serial
//                    port) register listeners that run whenever its time moves.
//                    setWallClock() changes the wall clock alone, as a user or a time
//                    service does; its ticks go on undisturbed.
//
// The programs are single-threaded; the clock and the hook are process-wide and are
// meant to be set up once at start (or per test), not switched while others wait.
#pragma once

#include <chrono>
#include <functional>
#include <mutex>
#include <vector>

namespace parlix::clock {

using TimePoint = std::chrono::system_clock::time_point;
using Ticks = std::chrono::steady_clock::time_point;
using Milliseconds = std::chrono::milliseconds;

class Clock {
public:
    virtual ~Clock() = default;
    virtual TimePoint now() = 0;
    virtual void sleep(int ms) = 0;
    // Monotonic time; a clock that keeps real time need not override it.
    virtual Ticks ticks() { return std::chrono::steady_clock::now(); }
};

class SystemClock final : public Clock {
public:
    TimePoint now() override;
    void sleep(int ms) override;
};

class FakeClock final : public Clock {
public:
    using Listener = std::function<void(TimePoint)>;

    // The default start lies 300 ms past a whole second, so that tests notice code
    // that counts elapsed milliseconds where whole-second boundaries are meant.
    FakeClock();
    explicit FakeClock(TimePoint start);

    TimePoint now() override;
    // Moves with now() except across setWallClock(); its sub-second phase follows the
    // wall clock's start, so whole-second counting behaves the same on both.
    Ticks ticks() override;
    // Advances fake time by ms (negative counts as 0) and runs the listeners.
    void sleep(int ms) override;
    void advance(Milliseconds d);
    // Restarts the fake at t (wall clock and ticks alike).
    void set(TimePoint t);
    // The wall clock jumps to t; ticks do not move.
    void setWallClock(TimePoint t);

    // Total of all sleeps so far (what a real clock would have waited).
    Milliseconds slept() const;
    // Time since construction (or the last set()).
    Milliseconds elapsed() const;

    // Returns an id for removeListener. Listeners run after each move of time.
    int addListener(Listener l);
    void removeListener(int id);

private:
    void moved();

    mutable std::mutex mutex_;
    TimePoint start_;
    TimePoint now_;
    Ticks ticks_;
    Milliseconds slept_{0};
    int nextId_ = 1;
    std::vector<std::pair<int, Listener>> listeners_;
};

TimePoint now();
Ticks ticks();
void sleep(int ms);
void yield();

void setYieldHook(std::function<void()> hook);
void setClock(Clock* c);
Clock& current();

// Installs a clock for one scope and restores the previous one.
class ScopedClock {
public:
    explicit ScopedClock(Clock& c);
    ~ScopedClock();
    ScopedClock(const ScopedClock&) = delete;
    ScopedClock& operator=(const ScopedClock&) = delete;

private:
    Clock* previous_;
};

// Whole-second boundaries of the clock that lie between start and end
// (end earlier than start gives a negative count).
long long secondBoundaries(TimePoint start, TimePoint end);
long long secondBoundaries(Ticks start, Ticks end);

}  // namespace parlix::clock
