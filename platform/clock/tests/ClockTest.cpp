#include "platform/clock/Clock.h"

#include <gtest/gtest.h>

using namespace parlix::clock;
using namespace std::chrono_literals;

TEST(FakeClock, SleepAdvancesTimeAndTellsListeners)
{
    FakeClock fake;
    const TimePoint t0 = fake.now();
    std::vector<TimePoint> seen;
    const int id = fake.addListener([&](TimePoint t) { seen.push_back(t); });

    fake.sleep(50);
    fake.sleep(-5);  // a negative sleep is no sleep
    fake.advance(2s);
    fake.removeListener(id);
    fake.sleep(10);

    EXPECT_EQ(fake.now() - t0, 2060ms);
    EXPECT_EQ(fake.slept(), 60ms);  // advance() is not sleeping
    EXPECT_EQ(fake.elapsed(), 2060ms);
    ASSERT_EQ(seen.size(), 3u);
    EXPECT_EQ(seen[0], t0 + 50ms);
    EXPECT_EQ(seen[2], t0 + 2050ms);
}

TEST(FakeClock, ListenerMayRemoveItselfWhileRunning)
{
    FakeClock fake;
    int calls = 0;
    int id = 0;
    id = fake.addListener([&](TimePoint) {
        ++calls;
        fake.removeListener(id);
    });
    fake.sleep(1);
    fake.sleep(1);
    EXPECT_EQ(calls, 1);
}

TEST(Clock, ScopedClockReplacesAndRestoresTheProcessClock)
{
    const TimePoint before = now();
    {
        FakeClock fake(TimePoint{} + 100s);
        ScopedClock use(fake);
        EXPECT_EQ(now(), TimePoint{} + 100s);
        sleep(7000);  // costs no real time
        EXPECT_EQ(now(), TimePoint{} + 107s);
        {
            FakeClock inner(TimePoint{} + 5s);
            ScopedClock useInner(inner);
            EXPECT_EQ(now(), TimePoint{} + 5s);
        }
        EXPECT_EQ(now(), TimePoint{} + 107s);
    }
    EXPECT_GE(now(), before);
    EXPECT_LT(now() - before, 5s);
}

TEST(Clock, YieldRunsTheHookWhenOneIsSet)
{
    yield();  // no hook: nothing happens
    int calls = 0;
    setYieldHook([&] { ++calls; });
    yield();
    yield();
    setYieldHook(nullptr);
    yield();
    EXPECT_EQ(calls, 2);
}

TEST(Clock, SecondBoundariesCountsWholeSecondsCrossed)
{
    const TimePoint start = TimePoint{} + 10s + 900ms;
    EXPECT_EQ(secondBoundaries(start, start), 0);
    EXPECT_EQ(secondBoundaries(start, start + 99ms), 0);
    EXPECT_EQ(secondBoundaries(start, start + 100ms), 1);   // 11.000: one boundary after 0.1 s
    EXPECT_EQ(secondBoundaries(start, start + 1099ms), 1);
    EXPECT_EQ(secondBoundaries(start, start + 1100ms), 2);
    EXPECT_EQ(secondBoundaries(start, start - 1s), -1);
    // Before the epoch the count still follows the calendar seconds.
    const TimePoint early = TimePoint{} - 1500ms;
    EXPECT_EQ(secondBoundaries(early, early + 600ms), 1);
}

TEST(FakeClock, TicksIgnoreTheWallClockBeingSet)
{
    FakeClock fake(TimePoint{} + 50s + 250ms);
    const Ticks t0 = fake.ticks();
    fake.sleep(1000);
    fake.setWallClock(TimePoint{} + 10s);  // set back, as a user or time service may
    EXPECT_EQ(fake.now(), TimePoint{} + 10s);
    EXPECT_EQ(fake.ticks() - t0, 1000ms);
    fake.advance(500ms);
    EXPECT_EQ(fake.ticks() - t0, 1500ms);
    EXPECT_EQ(fake.now(), TimePoint{} + 10s + 500ms);
    // Ticks count whole seconds in step with the wall clock's start.
    EXPECT_EQ(secondBoundaries(t0, t0 + 750ms), 1);
    fake.set(TimePoint{} + 7s);  // a restart moves both
    EXPECT_EQ(secondBoundaries(fake.ticks(), fake.ticks() + 999ms), 0);
}
