#include "glapp_fixtures.h"

#include "oxengine/platform/viewingtransform.h"

#include <thread>

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

using Listeners = AppTest;

} // namespace

TEST_F(Listeners, KeysStopAtTheFirstTakerAndNoticesReachEveryone)
{
    RecordingListener a("a", log), b("b", log, true), c("c", log), front("front", log);
    for (RecordingListener* l : {&a, &b, &c})
        app.addGUIEventListener(l);
    app.addGUIEventListener(&front, true);
    EXPECT_TRUE(app.dispatchKeyDown(65, false));
    EXPECT_EQ(take(), (EventLog{"front:key65", "a:key65", "b:key65"}));
    b.handles = false;
    EXPECT_FALSE(app.dispatchKeyDown(1, true));
    EXPECT_EQ(take(), (EventLog{"front:key1s", "a:key1s", "b:key1s", "c:key1s"}));
    // Drags, moves and reshapes are notices: handling them stops nothing.
    a.handles = b.handles = true;
    app.removeGUIEventListener(&front);
    app.removeGUIEventListener(&c);
    app.dispatchDrag(3, -4);
    app.dispatchMouseMove(-1, 7, 8);
    app.dispatchReshape(100, 50);
    EXPECT_EQ(take(), (EventLog{"a:drag(3,-4)", "b:drag(3,-4)", "a:move-1(7,8)", "b:move-1(7,8)",
                                "a:reshape(100,50)", "b:reshape(100,50)"}));
}

TEST_F(Listeners, ListenersAddedTwiceAreCalledTwiceAndRemovedCompletely)
{
    RecordingListener a("a", log), stranger("s", log);
    app.addGUIEventListener(&a);
    app.addGUIEventListener(&a);
    app.dispatchKeyDown(1, false);
    EXPECT_EQ(take().size(), 2u);
    app.removeGUIEventListener(&a);
    app.removeGUIEventListener(&a);        // again: nothing
    app.removeGUIEventListener(&stranger); // never added: nothing
    EXPECT_EQ(app.guiEventListeners().size(), 1u);
    EXPECT_EQ(std::tuple(a.detaches, stranger.detaches, a.owner()), std::tuple(2, 0, nullptr));

    Render r1, r2;
    app.addRenderListener(&r1);
    app.addRenderListener(&r2, true);
    app.addRenderListener(&r1);
    EXPECT_EQ(app.renderListeners(), (std::vector<oxRenderListener*>{&r2, &r1, &r1}));
    app.removeRenderListener(&r1);
    EXPECT_EQ(std::pair(r1.detaches, app.renderListeners().size()), std::pair(2, size_t(1)));

    // Idle listeners are counted: each registration needs its removal, and the idle callback stays while any is left.
    CountingIdle idle;
    app.addIdleListener(&idle);
    app.addIdleListener(&idle);
    app.dispatchIdle();
    EXPECT_EQ(idle.calls, 2);
    app.removeIdleListener(&idle);
    EXPECT_TRUE(app.isIdleCallbackInstalled());
    app.removeIdleListener(&idle);
    app.removeIdleListener(&idle); // not registered any more: no change reported
    EXPECT_FALSE(app.isIdleCallbackInstalled());
    EXPECT_EQ(app.changes, (std::vector<std::pair<int, int>>{{0, 1}, {1, 2}, {2, 1}, {1, 0}}));
}

// A listener puts another in front (as a modal run does) and destroys the next: nobody is reached twice or dead.
TEST_F(Listeners, ListenersChangingTheListDuringAnEvent)
{
    RecordingListener a("a", log), late("late", log), b("b", log);
    auto gone = std::make_unique<RecordingListener>("gone", log);
    app.addGUIEventListener(&a);
    app.addGUIEventListener(gone.get());
    app.addGUIEventListener(&b);
    a.hook = [&](unsigned) {
        if (!late.owner())
            app.addGUIEventListener(&late, true);
        gone.reset();
    };
    app.dispatchKeyDown(9, false);
    EXPECT_EQ(take(), (EventLog{"a:key9", "b:key9"}));
    app.dispatchKeyDown(9, false);
    EXPECT_EQ(take(), (EventLog{"late:key9", "a:key9", "b:key9"}));
}

TEST_F(Listeners, WhicheverGoesFirstTheRegistrationEnds)
{
    {
        RecordingListener a("a", log);
        CountingIdle idle;
        app.addGUIEventListener(&a);
        app.addIdleListener(&idle);
        EXPECT_TRUE(app.isIdleCallbackInstalled());
    }
    EXPECT_EQ(app.guiEventListeners().size(), 1u);
    EXPECT_FALSE(!app.idleListeners().empty() || app.isIdleCallbackInstalled());

    // The application detaches its listeners but does not destroy them.
    RecordingListener a("a", log);
    CountingIdle idle;
    {
        WindowlessApp other;
        other.addGUIEventListener(&a);
        other.addIdleListener(&idle);
        other.postCommand(5); // the queue's own idle listener goes with it
    }
    EXPECT_EQ(std::tuple(a.owner(), a.detaches, idle.owner()), std::tuple(nullptr, 1, nullptr));
}

TEST_F(Listeners, IdlePassRereadsTheListenerCount)
{
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

TEST_F(Listeners, IdleTimeAccumulatesUntilAccepted)
{
    CountingIdle idle;
    idle.accept = false;
    app.addIdleListener(&idle);
    std::vector<int64_t> seen;
    for (bool accept : {false, false, true, true}) {
        std::this_thread::sleep_for(std::chrono::milliseconds(accept ? 0 : 3));
        idle.accept = accept;
        app.dispatchIdle();
        seen.push_back(idle.lastElapsed);
    }
    EXPECT_GE(seen[0], 3000);
    EXPECT_GE(seen[1], seen[0] + 3000);
    EXPECT_LT(seen[3], seen[0]); // accepted: the timer started again
}

// Replacing or clearing the transform deletes the old one; the application deletes the last.
TEST(ViewingTransform, IsAListenerAndDeletedWhenReplaced)
{
    bool firstGone = false, secondGone = false, lastGone = false;
    {
        WindowlessApp app;
        auto owned = std::make_unique<Transform>(secondGone);
        Transform* second = owned.get();
        app.setViewingTransform(std::make_unique<Transform>(firstGone));
        app.setViewingTransform(std::move(owned));
        EXPECT_TRUE(firstGone);
        EXPECT_EQ(app.guiEventListeners(), (std::vector<oxGUIEventListener*>{&app, second}));
        app.setViewingTransform(nullptr);
        EXPECT_TRUE(secondGone);
        EXPECT_EQ(app.guiEventListeners().size(), 1u);
        app.setViewingTransform(std::make_unique<Transform>(lastGone));
    }
    EXPECT_TRUE(lastGone);
}

TEST(ExtensionTokens, MatchWholeTokensOnly)
{
    const char* list = "GL_ARB_multitexture  GL_EXT_texture GL_EXT_texture_filter_anisotropic";
    for (const char* name : {"GL_EXT_texture", "GL_EXT_texture_filter_anisotropic", "GL_ARB_multitexture"})
        EXPECT_TRUE(oxHasExtensionToken(list, name)) << name;
    for (const char* name : {"GL_EXT_tex", "GL_ARB_MULTITEXTURE", "multitexture", ""})
        EXPECT_FALSE(oxHasExtensionToken(list, name)) << name;
    EXPECT_FALSE(oxHasExtensionToken(nullptr, "GL_EXT_texture") || oxHasExtensionToken("", "GL_EXT_texture"));
}
