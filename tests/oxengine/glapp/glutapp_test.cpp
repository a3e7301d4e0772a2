#include "glapp_fixtures.h"

#include <gtest/gtest.h>

#include <thread>

TEST(GlutApplication, ReshapeToHeightZeroKeepsAPositiveHeight)
{
    EventLog log;
    WindowlessApp app;
    RecordingListener a("a", log);
    app.addGUIEventListener(&a);
    app.handleReshape(800, 0);
    EXPECT_EQ(app.width(), 800);
    EXPECT_EQ(app.height(), 1);
    EXPECT_FLOAT_EQ(app.aspect(), 800.0f);
    EXPECT_EQ(log, (EventLog{"a:reshape(800,1)"}));
    app.handleReshape(300, 200);
    EXPECT_FLOAT_EQ(app.aspect(), 1.5f);
}

TEST(GlutApplication, ClickNeedsTheSameButtonWithinFivePixels)
{
    EventLog log;
    WindowlessApp app;
    RecordingListener a("a", log);
    app.addGUIEventListener(&a);

    app.handleMouseButton(0, true, 10, 10);
    app.handleMouseButton(0, false, 13, 12); // Manhattan distance 5
    EXPECT_EQ(log, (EventLog{"a:button0down(10,10)", "a:button0up(13,12)", "a:click0(13,12)"}));

    log.clear();
    app.handleMouseButton(0, true, 10, 10);
    app.handleMouseButton(0, false, 13, 13); // 6: a small drag, not a click
    EXPECT_EQ(log, (EventLog{"a:button0down(10,10)", "a:button0up(13,13)"}));

    log.clear();
    app.handleMouseButton(0, true, 10, 10);
    app.handleMouseButton(2, true, 10, 10);
    app.handleMouseButton(0, false, 10, 10); // not the last pressed button
    EXPECT_EQ(log, (EventLog{"a:button0down(10,10)", "a:button2down(10,10)", "a:button0up(10,10)"}));
    log.clear();
    app.handleMouseButton(2, false, 9, 6);
    EXPECT_EQ(log, (EventLog{"a:button2up(9,6)", "a:click2(9,6)"}));
}

TEST(GlutApplication, HandledButtonEventStillOffersTheClickToEveryone)
{
    EventLog log;
    WindowlessApp app;
    RecordingListener first("first", log, true), second("second", log);
    app.addGUIEventListener(&first, true);
    app.addGUIEventListener(&second);
    app.handleMouseButton(1, true, 5, 5);
    app.handleMouseButton(1, false, 5, 5);
    // The button events stop at the first listener; the click starts again
    // from the front and stops there too.
    EXPECT_EQ(log, (EventLog{"first:button1down(5,5)", "first:button1up(5,5)", "first:click1(5,5)"}));
    log.clear();
    first.handles = false;
    app.handleMouseButton(1, true, 5, 5);
    app.handleMouseButton(1, false, 5, 5);
    EXPECT_EQ(log, (EventLog{"first:button1down(5,5)", "second:button1down(5,5)", "first:button1up(5,5)",
                             "second:button1up(5,5)", "first:click1(5,5)", "second:click1(5,5)"}));
}

TEST(GlutApplication, DragReportsDeltasAndTheHeldButton)
{
    EventLog log;
    WindowlessApp app;
    RecordingListener a("a", log);
    app.addGUIEventListener(&a);
    app.handleMouseButton(2, true, 10, 10);
    app.handleMouseButton(1, true, 10, 10);
    log.clear();
    app.handleMotion(15, 7);
    app.handleMotion(16, 7);
    // Button 2 wins over button 1.
    EXPECT_EQ(log, (EventLog{"a:drag(5,-3)", "a:move2(15,7)", "a:drag(1,0)", "a:move2(16,7)"}));
    app.handleMouseButton(2, false, 16, 7);
    app.handleMouseButton(1, false, 16, 7);
    log.clear();
    app.handlePassiveMotion(20, 21);
    EXPECT_EQ(log, (EventLog{"a:move-1(20,21)"}));
}

TEST(GlutApplication, ExtraMouseButtonsAreDeliveredWithoutBeingTracked)
{
    EventLog log;
    WindowlessApp app;
    RecordingListener a("a", log);
    app.addGUIEventListener(&a);
    // GLUT reports side buttons as 7, 8, ...; they must not land in the
    // four-button state.
    app.handleMouseButton(8, true, 1, 1);
    app.handleMouseButton(8, false, 1, 1);
    app.handleMouseButton(-1, true, 1, 1);
    log.clear();
    app.handlePassiveMotion(2, 2);
    EXPECT_EQ(log, (EventLog{"a:move-1(2,2)"}));
}

TEST(CommandQueue, DeliversOneCommandPerIdlePassInOrderThenLeaves)
{
    EventLog log;
    WindowlessApp app;
    RecordingListener a("a", log, true), b("b", log);
    app.addGUIEventListener(&a);
    app.addGUIEventListener(&b);
    app.postCommand(7);
    app.postCommand(8);
    app.postCommand(9);
    EXPECT_EQ(app.pendingCommands(), 3u);
    ASSERT_EQ(app.idleListeners().size(), 1u); // registered once
    EXPECT_TRUE(app.isIdleCallbackInstalled());

    app.dispatchIdle();
    EXPECT_EQ(log, (EventLog{"a:cmd7"}));
    app.dispatchIdle();
    app.dispatchIdle();
    EXPECT_EQ(log, (EventLog{"a:cmd7", "a:cmd8", "a:cmd9"}));
    EXPECT_TRUE(app.idleListeners().empty());
    EXPECT_FALSE(app.isIdleCallbackInstalled());
    EXPECT_EQ(app.changes, (std::vector<std::pair<int, int>>{{0, 1}, {1, 0}}));
}

TEST(CommandQueue, UnhandledCommandsAreDroppedAndPostsFromHandlersWait)
{
    EventLog log;
    WindowlessApp app;
    RecordingListener a("a", log);
    a.onCommandHook = [&](unsigned c) {
        if (c == 1)
            app.postCommand(2);
    };
    app.addGUIEventListener(&a);
    app.postCommand(1);
    app.dispatchIdle();
    EXPECT_EQ(log, (EventLog{"a:cmd1"}));
    EXPECT_EQ(app.pendingCommands(), 1u);
    EXPECT_TRUE(app.isIdleCallbackInstalled());
    app.dispatchIdle();
    EXPECT_EQ(log, (EventLog{"a:cmd1", "a:cmd2"}));
    EXPECT_FALSE(app.isIdleCallbackInstalled());
}

TEST(CommandQueue, PostsFromOtherThreadsRegisterOnlyOnTheMainThread)
{
    EventLog log;
    WindowlessApp app;
    RecordingListener a("a", log, true);
    app.addGUIEventListener(&a);
    std::thread poster([&] {
        for (unsigned c = 1; c <= 3; ++c)
            app.postCommand(c);
    });
    poster.join();
    // The listener list belongs to the main thread: nothing registered yet.
    EXPECT_TRUE(app.idleListeners().empty());
    EXPECT_EQ(app.pendingCommands(), 3u);
    app.processCrossThreadRequests();
    ASSERT_EQ(app.idleListeners().size(), 1u);
    for (int i = 0; i < 3; ++i)
        app.dispatchIdle();
    EXPECT_EQ(log, (EventLog{"a:cmd1", "a:cmd2", "a:cmd3"}));
    EXPECT_TRUE(app.idleListeners().empty());
}

TEST(CommandQueue, QueuedCommandsAreDiscardedWithTheApplication)
{
    CountingIdle other;
    {
        WindowlessApp app;
        app.addIdleListener(&other);
        app.postCommand(5);
        EXPECT_EQ(app.idleListeners().size(), 2u);
    }
    EXPECT_EQ(other.owner(), nullptr);
}

TEST(GlutApplication, SettingsBeforeRunNeedNoWindow)
{
    WindowlessApp app;
    EXPECT_EQ(app.title(), "OpenGL Application");
    app.setInitialWindowSize(320, 200);
    EXPECT_EQ(app.width(), 320);
    EXPECT_EQ(app.height(), 200);
    app.setFullScreen(true);
    EXPECT_TRUE(app.isFullScreen());
    EXPECT_FALSE(app.isGameModeActive());
    EXPECT_FALSE(app.setSwapInterval(true));
    EXPECT_EQ(app.nativeHandles().window, 0u);
    app.postRedisplay();
    app.postRedisplayFromAnyThread();
    app.processPendingEvents();
    app.waitForEvents(); // must not block without a loop
    app.setPerspective(60.0f, 0.5f, 10.0f);
}
