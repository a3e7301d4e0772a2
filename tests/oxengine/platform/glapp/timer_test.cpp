#include "oxengine/platform/glapp.h"

#include <gtest/gtest.h>

#include <thread>

TEST(Timer, UnitConversionWithoutOverflow)
{
    const int64_t f = oxTimer::frequency();
    ASSERT_GT(f, 0);
    const int64_t t = f + f / 2; // 1.5 s
    EXPECT_EQ(oxTimer::ticksToUnit(t, oxTimer::Seconds), 1);
    EXPECT_EQ(oxTimer::ticksToUnit(t, oxTimer::Milliseconds), 1500);
    EXPECT_EQ(oxTimer::ticksToUnit(t, oxTimer::Ticks), t);
    EXPECT_EQ(oxTimer::ticksToUnit(t, 4), 0); // no such unit
    EXPECT_EQ(oxTimer::ticksToUnit(t, -1), 0);
    // 30 days: ticks * 1000000 would exceed 64 bits at nanosecond resolution.
    const int64_t days = 30LL * 24 * 3600;
    EXPECT_EQ(oxTimer::ticksToUnit(days * f + 1, oxTimer::Microseconds), days * 1000000);
}

TEST(Timer, StoppedTimerKeepsItsSpan)
{
    oxTimer timer;
    EXPECT_FALSE(timer.isRunning());
    EXPECT_EQ(timer.stop(), 0); // never started: nothing elapsed
    timer.restart();
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
    EXPECT_GE(timer.elapsed(oxTimer::Microseconds), 2000);
    const int64_t span = timer.stop();
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
    EXPECT_EQ(timer.elapsed(oxTimer::Ticks), span);
    EXPECT_EQ(timer.stop(), span);
}
