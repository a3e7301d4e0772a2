// The GLUT binding's dispatch, listener lists, command queue and timer, without a window.
#include "glapp_fixtures.h"

#include "oxengine/platform/viewingtransform.h"

#include <thread>

using GlutApplication = AppTest;
using CommandQueue = AppTest;
using Listeners = AppTest;

// A click: the last pressed button released within 5 px (Manhattan), offered to all even if the press was taken.
TEST_F(GlutApplication, ClicksButtonsDragsAndReshapes)
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
    app.handleReshape(800, 0); // a zero height stays positive
    EXPECT_EQ(app.height(), 1);
    EXPECT_EQ(take(), (EventLog{"first:reshape(800,1)"}));
}

// One command per idle pass, in order; a post from a handler waits for the next pass.
TEST_F(CommandQueue, DeliversOnePerIdlePassInOrderAndRegistersOnlyOnTheMainThread)
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
    std::vector<EventLog> passes;
    for (int i = 0; i < 4; ++i)
        app.dispatchIdle(), passes.push_back(take());
    EXPECT_EQ(passes, (std::vector<EventLog>{{"a:cmd7"}, {"a:cmd8"}, {"a:cmd9"}, {"a:cmd10"}}));
    EXPECT_FALSE(app.isIdleCallbackInstalled());
    EXPECT_EQ(app.changes, (std::vector<std::pair<int, int>>{{0, 1}, {1, 0}})); // registered once, gone when empty

    // Posts from other threads register the queue's idle listener only on the main thread.
    std::thread poster([&] {
        for (unsigned c = 1; c <= 3; ++c)
            app.postCommand(c);
    });
    poster.join();
    EXPECT_TRUE(app.idleListeners().empty()); // the list belongs to the main thread
    EXPECT_EQ(app.pendingCommands(), 3u);
    app.processCrossThreadRequests();
    for (int i = 0; i < 3; ++i)
        app.dispatchIdle();
    EXPECT_EQ(log, (EventLog{"a:cmd1", "a:cmd2", "a:cmd3"}));
    EXPECT_TRUE(app.idleListeners().empty()); // no busy idle after the cross-thread posts either
}

// Elapsed time and restarts are the idle listeners' test below.
TEST(DriverFacts, TimerUnitsConvertWithoutOverflowAndExtensionNamesMatchWholeTokens)
{
    const int64_t f = oxTimer::frequency();
    ASSERT_GT(f, 0);
    EXPECT_EQ(oxTimer::ticksToUnit(f + f / 2, oxTimer::Microseconds), 1500000);
    // 30 days: ticks * 1000000 would exceed 64 bits at nanosecond resolution.
    const int64_t days = 30LL * 24 * 3600;
    EXPECT_EQ(oxTimer::ticksToUnit(days * f + 1, oxTimer::Microseconds), days * 1000000);

    // Extension names match whole tokens only.
    const char* list = "GL_ARB_multitexture  GL_EXT_texture GL_EXT_texture_filter_anisotropic";
    for (const char* name : {"GL_EXT_texture", "GL_EXT_texture_filter_anisotropic", "GL_ARB_multitexture"})
        EXPECT_TRUE(oxHasExtensionToken(list, name)) << name;
    for (const char* name : {"GL_EXT_tex", "GL_ARB_MULTITEXTURE", "multitexture", ""})
        EXPECT_FALSE(oxHasExtensionToken(list, name)) << name;
    EXPECT_FALSE(oxHasExtensionToken(nullptr, "GL_EXT_texture") || oxHasExtensionToken("", "GL_EXT_texture"));
}

namespace {

class Transform : public oxViewingTransform {
public:
    explicit Transform(bool& destroyed) : m_destroyed(destroyed) {}
    ~Transform() override { m_destroyed = true; }
    void apply() override {}
    void setEnabled(bool) override {}

private:
    bool& m_destroyed;
};

struct Render : oxRenderListener {
    void detach() override { ++detaches, oxRenderListener::detach(); }
    int detaches = 0;
};

} // namespace

// The program adds a listener once; removals come again and for strangers.
TEST_F(Listeners, ChangesDuringEventsLifetimesAndIdleTime)
{
    RecordingListener a("a", log), stranger("s", log);
    app.addGUIEventListener(&a);
    app.removeGUIEventListener(&a);
    app.removeGUIEventListener(&a);        // again: nothing
    app.removeGUIEventListener(&stranger); // never added: nothing
    EXPECT_EQ(app.guiEventListeners().size(), 1u);
    EXPECT_EQ(std::tuple(a.detaches, stranger.detaches, a.owner()), std::tuple(1, 0, nullptr));
    Render r;
    app.addRenderListener(&r);
    app.removeRenderListener(&r);
    EXPECT_EQ(std::pair(r.detaches, app.renderListeners().size()), std::pair(1, size_t(0)));

    CountingIdle idle, other;
    app.addIdleListener(&idle);
    app.addIdleListener(&other);
    app.removeIdleListener(&idle);
    EXPECT_TRUE(app.isIdleCallbackInstalled());
    app.removeIdleListener(&other);
    app.removeIdleListener(&other); // not registered any more: no change reported
    EXPECT_FALSE(app.isIdleCallbackInstalled());
    EXPECT_EQ(app.changes, (std::vector<std::pair<int, int>>{{0, 1}, {1, 2}, {2, 1}, {1, 0}}));

    // A listener puts another in front (as a modal run does) and destroys the next: nobody is reached twice or dead.
    RecordingListener first("first", log), late("late", log), b("b", log);
    auto gone = std::make_unique<RecordingListener>("gone", log);
    app.addGUIEventListener(&first);
    app.addGUIEventListener(gone.get());
    app.addGUIEventListener(&b);
    first.hook = [&](unsigned) {
        if (!late.owner())
            app.addGUIEventListener(&late, true);
        gone.reset();
    };
    app.dispatchKeyDown(9, false);
    EXPECT_EQ(take(), (EventLog{"first:key9", "b:key9"}));
    app.dispatchKeyDown(9, false);
    EXPECT_EQ(take(), (EventLog{"late:key9", "first:key9", "b:key9"}));

    // Whichever goes first, the registration ends.
    const size_t listeners = app.guiEventListeners().size();
    {
        RecordingListener brief("brief", log);
        CountingIdle briefIdle;
        app.addGUIEventListener(&brief);
        app.addIdleListener(&briefIdle);
        EXPECT_TRUE(app.isIdleCallbackInstalled());
    }
    EXPECT_EQ(app.guiEventListeners().size(), listeners);
    EXPECT_FALSE(!app.idleListeners().empty() || app.isIdleCallbackInstalled());

    // The application detaches its listeners but does not destroy them.
    {
        WindowlessApp other;
        other.addGUIEventListener(&a);
        other.addIdleListener(&idle);
        other.postCommand(5); // the queue's own idle listener goes with it
    }
    EXPECT_EQ(std::tuple(a.owner(), a.detaches, idle.owner()), std::tuple(nullptr, 2, nullptr));

    // Replacing or clearing the transform deletes the old one; the application deletes the last.
    bool firstGone = false, secondGone = false, lastGone = false;
    {
        WindowlessApp owner;
        auto owned = std::make_unique<Transform>(secondGone);
        Transform* second = owned.get();
        owner.setViewingTransform(std::make_unique<Transform>(firstGone));
        owner.setViewingTransform(std::move(owned));
        EXPECT_TRUE(firstGone);
        EXPECT_EQ(owner.guiEventListeners(), (std::vector<oxGUIEventListener*>{&owner, second}));
        owner.setViewingTransform(nullptr);
        EXPECT_TRUE(secondGone);
        EXPECT_EQ(owner.guiEventListeners().size(), 1u);
        owner.setViewingTransform(std::make_unique<Transform>(lastGone));
    }
    EXPECT_TRUE(lastGone);

    // Idle time restarts when accepted, and a pass rereads the listener count.
    CountingIdle timed; // accepts its time, as every idle listener of the program does
    app.addIdleListener(&timed);
    std::vector<int64_t> seen;
    for (int ms : {3, 0}) {
        std::this_thread::sleep_for(std::chrono::milliseconds(ms));
        app.dispatchIdle();
        seen.push_back(timed.lastElapsed);
    }
    EXPECT_GE(seen[0], 3000);
    EXPECT_LT(seen[1], seen[0]); // accepted: the timer started again
    app.removeIdleListener(&timed);

    CountingIdle adder, added, remover, after;
    adder.hook = [&] {
        if (!added.owner())
            app.addIdleListener(&added);
    };
    app.addIdleListener(&adder);
    app.dispatchIdle();
    EXPECT_EQ(added.calls, 1); // appended during the pass, reached in it
    remover.hook = [&] { app.removeIdleListener(&remover); };
    app.addIdleListener(&remover);
    app.addIdleListener(&after);
    app.dispatchIdle();
    // The one behind moved into the leaver's slot and waits for the next pass; nothing is called out of range.
    EXPECT_EQ(after.calls, 0);
    app.dispatchIdle();
    EXPECT_EQ(std::pair(after.calls, remover.calls), std::pair(1, 1));
}
