#include "glapp_fixtures.h"

#include <thread>

using GlutApplication = AppTest;
using CommandQueue = AppTest;

TEST_F(GlutApplication, ReshapeToHeightZeroKeepsAPositiveHeight)
{
    RecordingListener a("a", log);
    app.addGUIEventListener(&a);
    app.handleReshape(800, 0);
    EXPECT_EQ(app.height(), 1);
    EXPECT_EQ(log, (EventLog{"a:reshape(800,1)"}));
}

// A click: the last pressed button released within 5 px (Manhattan), offered to all even if the press was taken.
TEST_F(GlutApplication, ClicksButtonsAndDrags)
{
    RecordingListener first("first", log, true), second("second", log);
    app.addGUIEventListener(&first);
    app.handleMouseButton(0, true, 10, 10);
    app.handleMouseButton(0, false, 13, 12);
    app.handleMouseButton(0, true, 10, 10);
    app.handleMouseButton(0, false, 13, 13); // 6 away: a small drag
    EXPECT_EQ(take(), (EventLog{"first:button0down(10,10)", "first:button0up(13,12)", "first:click0(13,12)",
                                "first:button0down(10,10)", "first:button0up(13,13)"}));
    app.addGUIEventListener(&second);
    app.handleMouseButton(0, true, 10, 10);
    app.handleMouseButton(2, true, 10, 10);
    app.handleMouseButton(0, false, 10, 10); // not the last pressed button
    first.handles = false;
    app.handleMouseButton(2, false, 9, 6);
    EXPECT_EQ(take(), (EventLog{"first:button0down(10,10)", "first:button2down(10,10)", "first:button0up(10,10)",
                                "first:button2up(9,6)", "second:button2up(9,6)", "first:click2(9,6)",
                                "second:click2(9,6)"}));
    app.removeGUIEventListener(&second);
    // A drag reports deltas with the held button; 2 wins over 1. Side buttons
    // (7, 8, ...) and bad numbers are delivered but never tracked as held.
    app.handleMouseButton(2, true, 10, 10);
    app.handleMouseButton(1, true, 10, 10);
    take();
    app.handleMotion(15, 7);
    app.handleMotion(16, 7);
    EXPECT_EQ(take(), (EventLog{"first:drag(5,-3)", "first:move2(15,7)", "first:drag(1,0)", "first:move2(16,7)"}));
    app.handleMouseButton(2, false, 16, 7);
    app.handleMouseButton(1, false, 16, 7);
    app.handleMouseButton(8, true, 1, 1);
    app.handleMouseButton(-1, true, 1, 1);
    log.clear();
    app.handlePassiveMotion(20, 21);
    EXPECT_EQ(take(), (EventLog{"first:move-1(20,21)"}));
}

TEST_F(GlutApplication, WithoutAWindowNothingBlocksOrCrashes)
{
    EXPECT_FALSE(app.setSwapInterval(true));
    app.waitForEvents(); // must not block without a loop
}

// One command per idle pass, in order; a post from a handler waits for the next pass.
TEST_F(CommandQueue, DeliversOnePerIdlePassInOrder)
{
    RecordingListener a("a", log, true), b("b", log);
    a.hook = [&](unsigned c) {
        if (c == 8)
            app.postCommand(10);
    };
    app.addGUIEventListener(&a);
    app.addGUIEventListener(&b);
    for (unsigned c : {7u, 8u, 9u})
        app.postCommand(c);
    EXPECT_EQ(app.idleListeners().size(), 1u); // registered once
    std::vector<EventLog> passes;
    for (int i = 0; i < 4; ++i)
        app.dispatchIdle(), passes.push_back(take());
    EXPECT_EQ(passes, (std::vector<EventLog>{{"a:cmd7"}, {"a:cmd8"}, {"a:cmd9"}, {"a:cmd10"}}));
    EXPECT_FALSE(app.isIdleCallbackInstalled());
    EXPECT_EQ(app.changes, (std::vector<std::pair<int, int>>{{0, 1}, {1, 0}}));
}

TEST_F(CommandQueue, PostsFromOtherThreadsRegisterOnlyOnTheMainThread)
{
    RecordingListener a("a", log, true);
    app.addGUIEventListener(&a);
    std::thread poster([&] {
        for (unsigned c = 1; c <= 3; ++c)
            app.postCommand(c);
    });
    poster.join();
    EXPECT_TRUE(app.idleListeners().empty()); // the list belongs to the main thread
    EXPECT_EQ(app.pendingCommands(), 3u);
    app.processCrossThreadRequests();
    ASSERT_EQ(app.idleListeners().size(), 1u);
    for (int i = 0; i < 3; ++i)
        app.dispatchIdle();
    EXPECT_EQ(log, (EventLog{"a:cmd1", "a:cmd2", "a:cmd3"}));
    EXPECT_TRUE(app.idleListeners().empty());
}

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
    EXPECT_EQ(timer.stop(), 0); // never started: nothing elapsed
    timer.restart();
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
    EXPECT_GE(timer.elapsed(oxTimer::Microseconds), 2000);
    const int64_t span = timer.stop();
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
    EXPECT_EQ(timer.elapsed(oxTimer::Ticks), span);
    EXPECT_EQ(timer.stop(), span);
}
