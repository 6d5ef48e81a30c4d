#include "platform/clock/Clock.h"

#include <atomic>
#include <thread>

namespace parlix::clock {

namespace {

SystemClock systemClock;
std::atomic<Clock*> currentClock{nullptr};
std::function<void()> yieldHook;

// 2026-01-05 09:00:00.300 UTC: a fixed, reproducible start off a whole second.
TimePoint defaultFakeStart()
{
    return TimePoint{} + std::chrono::seconds(1767603600) + Milliseconds(300);
}

// Fake ticks share the wall clock's count since its epoch, so both see whole seconds
// at the same moments until the wall clock is set.
Ticks ticksAt(TimePoint t)
{
    return Ticks{} + std::chrono::duration_cast<Ticks::duration>(t.time_since_epoch());
}

}  // namespace

TimePoint SystemClock::now()
{
    return std::chrono::system_clock::now();
}

void SystemClock::sleep(int ms)
{
    if (ms > 0)
        std::this_thread::sleep_for(Milliseconds(ms));
}

FakeClock::FakeClock() : FakeClock(defaultFakeStart()) {}

FakeClock::FakeClock(TimePoint start) : start_(start), now_(start), ticks_(ticksAt(start)) {}

TimePoint FakeClock::now()
{
    std::lock_guard lock(mutex_);
    return now_;
}

Ticks FakeClock::ticks()
{
    std::lock_guard lock(mutex_);
    return ticks_;
}

void FakeClock::sleep(int ms)
{
    const Milliseconds d(ms > 0 ? ms : 0);
    {
        std::lock_guard lock(mutex_);
        slept_ += d;
    }
    advance(d);
}

void FakeClock::advance(Milliseconds d)
{
    {
        std::lock_guard lock(mutex_);
        if (d.count() > 0) {
            now_ += d;
            ticks_ += d;
        }
    }
    moved();
}

void FakeClock::set(TimePoint t)
{
    {
        std::lock_guard lock(mutex_);
        start_ = t;
        now_ = t;
        ticks_ = ticksAt(t);
    }
    moved();
}

void FakeClock::setWallClock(TimePoint t)
{
    {
        std::lock_guard lock(mutex_);
        now_ = t;
    }
    moved();
}

Milliseconds FakeClock::slept() const
{
    std::lock_guard lock(mutex_);
    return slept_;
}

Milliseconds FakeClock::elapsed() const
{
    std::lock_guard lock(mutex_);
    return std::chrono::duration_cast<Milliseconds>(now_ - start_);
}

int FakeClock::addListener(Listener l)
{
    std::lock_guard lock(mutex_);
    const int id = nextId_++;
    listeners_.emplace_back(id, std::move(l));
    return id;
}

void FakeClock::removeListener(int id)
{
    std::lock_guard lock(mutex_);
    std::erase_if(listeners_, [id](const auto& entry) { return entry.first == id; });
}

void FakeClock::moved()
{
    // Copy first: a listener may add or remove listeners while it runs.
    std::vector<std::pair<int, Listener>> listeners;
    TimePoint t;
    {
        std::lock_guard lock(mutex_);
        listeners = listeners_;
        t = now_;
    }
    for (auto& entry : listeners)
        entry.second(t);
}

TimePoint now()
{
    return current().now();
}

Ticks ticks()
{
    return current().ticks();
}

void sleep(int ms)
{
    current().sleep(ms);
}

void yield()
{
    if (yieldHook)
        yieldHook();
}

void setYieldHook(std::function<void()> hook)
{
    yieldHook = std::move(hook);
}

void setClock(Clock* c)
{
    currentClock.store(c);
}

Clock& current()
{
    Clock* c = currentClock.load();
    return c ? *c : systemClock;
}

ScopedClock::ScopedClock(Clock& c) : previous_(currentClock.exchange(&c)) {}

ScopedClock::~ScopedClock()
{
    currentClock.store(previous_);
}

long long secondBoundaries(TimePoint start, TimePoint end)
{
    using std::chrono::floor;
    using std::chrono::seconds;
    return (floor<seconds>(end) - floor<seconds>(start)).count();
}

long long secondBoundaries(Ticks start, Ticks end)
{
    using std::chrono::floor;
    using std::chrono::seconds;
    return (floor<seconds>(end.time_since_epoch()) - floor<seconds>(start.time_since_epoch())).count();
}

}  // namespace parlix::clock
