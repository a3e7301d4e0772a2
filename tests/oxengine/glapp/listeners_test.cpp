#include "glapp_fixtures.h"

#include "oxengine/viewingtransform.h"
#include "support/testsupport.h"

#include <gtest/gtest.h>

#include <cstdio>

namespace {

// Writes every box to stderr so a death test can match the fatal message.
class StderrMessages {
public:
    StderrMessages()
        : m_previous(oxSetMessageHandler([](const oxMessageRequest& r) {
              std::fprintf(stderr, "%s|%s\n", r.title.c_str(), r.text.c_str());
              return oxMessageAnswer{};
          }))
    {
    }
    ~StderrMessages() { oxSetMessageHandler(m_previous); }

private:
    oxMessageHandler m_previous;
};

class Transform : public oxViewingTransform {
public:
    explicit Transform(bool* destroyed = nullptr) : m_destroyed(destroyed) {}
    ~Transform() override
    {
        if (m_destroyed)
            *m_destroyed = true;
    }
    void apply() override {}
    void setEnabled(bool) override {}

private:
    bool* m_destroyed;
};

} // namespace

TEST(ApplicationListeners, ApplicationIsItsOwnFirstListener)
{
    WindowlessApp app;
    ASSERT_EQ(app.guiEventListeners().size(), 1u);
    EXPECT_EQ(app.guiEventListeners()[0], &app);
    EXPECT_EQ(app.owner(), &app);
}

TEST(ApplicationListeners, KeysStopAtTheFirstListenerThatHandlesThem)
{
    EventLog log;
    WindowlessApp app;
    RecordingListener a("a", log), b("b", log, true), c("c", log), front("front", log);
    app.addGUIEventListener(&a);
    app.addGUIEventListener(&b);
    app.addGUIEventListener(&c);
    app.addGUIEventListener(&front, true);

    EXPECT_TRUE(app.dispatchKeyDown(65, false));
    EXPECT_EQ(log, (EventLog{"front:key65", "a:key65", "b:key65"}));

    log.clear();
    b.handles = false;
    EXPECT_FALSE(app.dispatchKeyDown(1, true));
    EXPECT_EQ(log, (EventLog{"front:key1s", "a:key1s", "b:key1s", "c:key1s"}));
}

TEST(ApplicationListeners, DragMoveAndReshapeReachEveryListener)
{
    EventLog log;
    WindowlessApp app;
    RecordingListener a("a", log, true), b("b", log, true);
    app.addGUIEventListener(&a);
    app.addGUIEventListener(&b);
    app.dispatchDrag(3, -4);
    app.dispatchMouseMove(-1, 7, 8);
    app.dispatchReshape(100, 50);
    EXPECT_EQ(log, (EventLog{"a:drag(3,-4)", "b:drag(3,-4)", "a:move-1(7,8)", "b:move-1(7,8)", "a:reshape(100,50)",
                             "b:reshape(100,50)"}));
}

TEST(ApplicationListeners, GuiListenerAddedTwiceIsRemovedCompletely)
{
    EventLog log;
    WindowlessApp app;
    RecordingListener a("a", log);
    app.addGUIEventListener(&a);
    app.addGUIEventListener(&a);
    app.dispatchKeyDown(1, false);
    EXPECT_EQ(log.size(), 2u); // registered twice, called twice
    app.removeGUIEventListener(&a);
    EXPECT_EQ(app.guiEventListeners().size(), 1u);
    EXPECT_EQ(a.detaches, 2);
    EXPECT_EQ(a.owner(), nullptr);
    // Removing it again, or a listener never added, changes nothing.
    RecordingListener stranger("s", log);
    app.removeGUIEventListener(&a);
    app.removeGUIEventListener(&stranger);
    EXPECT_EQ(stranger.detaches, 0);
    EXPECT_EQ(app.guiEventListeners().size(), 1u);
}

TEST(ApplicationListeners, ListenersChangingTheListDuringAnEvent)
{
    EventLog log;
    WindowlessApp app;
    RecordingListener a("a", log), late("late", log), b("b", log);
    auto gone = std::make_unique<RecordingListener>("gone", log);
    app.addGUIEventListener(&a);
    app.addGUIEventListener(gone.get());
    app.addGUIEventListener(&b);
    // a puts a listener in front (as a modal run does) and destroys the next
    // one: the event goes on to b, reaches nobody twice and no dead listener.
    a.onKeyHook = [&] {
        if (!late.owner())
            app.addGUIEventListener(&late, true);
        gone.reset();
    };
    app.dispatchKeyDown(9, false);
    EXPECT_EQ(log, (EventLog{"a:key9", "b:key9"}));
    log.clear();
    app.dispatchKeyDown(9, false);
    EXPECT_EQ(log, (EventLog{"late:key9", "a:key9", "b:key9"}));
}

TEST(ApplicationListeners, DestroyedListenersUnregisterThemselves)
{
    EventLog log;
    WindowlessApp app;
    {
        RecordingListener a("a", log);
        CountingIdle idle;
        app.addGUIEventListener(&a);
        app.addIdleListener(&idle);
        EXPECT_TRUE(app.isIdleCallbackInstalled());
    }
    EXPECT_EQ(app.guiEventListeners().size(), 1u);
    EXPECT_TRUE(app.idleListeners().empty());
    EXPECT_FALSE(app.isIdleCallbackInstalled());
    app.dispatchKeyDown(1, false); // nothing dangling
    EXPECT_TRUE(log.empty());
}

TEST(ApplicationListeners, ApplicationDetachesButDoesNotDestroyListeners)
{
    EventLog log;
    RecordingListener a("a", log);
    CountingIdle idle;
    {
        WindowlessApp app;
        app.addGUIEventListener(&a);
        app.addIdleListener(&idle);
    }
    EXPECT_EQ(a.owner(), nullptr);
    EXPECT_EQ(a.detaches, 1);
    EXPECT_EQ(idle.owner(), nullptr);
}

TEST(ApplicationListeners, RenderListenersLikeGuiListeners)
{
    struct Render : oxRenderListener {
        int detaches = 0;
        void detach() override
        {
            ++detaches;
            oxRenderListener::detach();
        }
    } r1, r2;
    WindowlessApp app;
    app.addRenderListener(&r1);
    app.addRenderListener(&r2, true);
    app.addRenderListener(&r1);
    ASSERT_EQ(app.renderListeners().size(), 3u);
    EXPECT_EQ(app.renderListeners()[0], &r2);
    app.removeRenderListener(&r1);
    EXPECT_EQ(r1.detaches, 2);
    ASSERT_EQ(app.renderListeners().size(), 1u);
    EXPECT_EQ(r1.owner(), nullptr);
}

TEST(ApplicationListeners, IdleListenerAddedTwiceNeedsTwoRemovals)
{
    WindowlessApp app;
    CountingIdle idle;
    app.addIdleListener(&idle);
    app.addIdleListener(&idle);
    EXPECT_EQ(app.idleListeners().size(), 2u);
    app.dispatchIdle();
    EXPECT_EQ(idle.calls, 2);

    app.removeIdleListener(&idle);
    EXPECT_EQ(app.idleListeners().size(), 1u);
    EXPECT_TRUE(app.isIdleCallbackInstalled());
    app.removeIdleListener(&idle);
    app.removeIdleListener(&idle); // not registered any more: no change reported
    EXPECT_FALSE(app.isIdleCallbackInstalled());
    EXPECT_EQ(app.changes, (std::vector<std::pair<int, int>>{{0, 1}, {1, 2}, {2, 1}, {1, 0}}));
}

TEST(ApplicationListeners, IdlePassRereadsTheListenerCount)
{
    WindowlessApp app;
    CountingIdle adder, added, remover, after;
    adder.hook = [&] {
        if (!added.owner())
            app.addIdleListener(&added);
    };
    app.addIdleListener(&adder);
    app.dispatchIdle();
    // Appended during the pass, so reached in the same pass.
    EXPECT_EQ(added.calls, 1);

    remover.hook = [&] { app.removeIdleListener(&remover); };
    app.addIdleListener(&remover);
    app.addIdleListener(&after);
    app.dispatchIdle();
    EXPECT_EQ(remover.calls, 1);
    EXPECT_EQ(remover.owner(), nullptr);
    // The listener behind the one that left moved into its slot and waits
    // for the next pass; nothing is called out of range.
    EXPECT_EQ(after.calls, 0);
    app.dispatchIdle();
    EXPECT_EQ(after.calls, 1);
    EXPECT_EQ(remover.calls, 1);
}

TEST(ApplicationListeners, IdleTimeAccumulatesUntilAccepted)
{
    WindowlessApp app;
    CountingIdle idle;
    idle.accept = false;
    app.addIdleListener(&idle);
    std::this_thread::sleep_for(std::chrono::milliseconds(3));
    app.dispatchIdle();
    const int64_t first = idle.lastElapsed;
    EXPECT_GE(first, 3000);
    std::this_thread::sleep_for(std::chrono::milliseconds(3));
    app.dispatchIdle();
    EXPECT_GE(idle.lastElapsed, first + 3000);
    idle.accept = true;
    app.dispatchIdle(); // accepted: the timer starts again
    app.dispatchIdle();
    EXPECT_LT(idle.lastElapsed, first);
}

TEST(ApplicationListeners, ViewingTransformIsAListenerAndOwnedOnRequest)
{
    bool firstGone = false, secondGone = false, thirdGone = false;
    auto* first = new Transform(&firstGone);
    auto* second = new Transform(&secondGone);
    Transform third(&thirdGone);
    {
        WindowlessApp app;
        app.setViewingTransform(first, true);
        ASSERT_EQ(app.guiEventListeners().size(), 2u);
        EXPECT_EQ(app.guiEventListeners()[1], first);

        app.setViewingTransform(second, true); // the old one is destroyed
        EXPECT_TRUE(firstGone);
        EXPECT_EQ(app.viewingTransform(), second);
        EXPECT_EQ(app.guiEventListeners().size(), 2u);
        EXPECT_EQ(app.guiEventListeners()[1], second);

        // deleteOld false hands the old transform back to the caller.
        app.setViewingTransform(&third, false);
        EXPECT_FALSE(secondGone);
        EXPECT_EQ(second->owner(), nullptr);
        delete second;
        app.setViewingTransform(nullptr, false);
        EXPECT_EQ(third.owner(), nullptr);
        EXPECT_EQ(app.guiEventListeners().size(), 1u);

        app.setViewingTransform(&third, false);
    }
    // Installed without ownership: the application leaves it alone.
    EXPECT_FALSE(thirdGone);
    EXPECT_EQ(third.owner(), nullptr);

    bool ownedGone = false;
    {
        WindowlessApp app;
        app.setViewingTransform(new Transform(&ownedGone), true);
    }
    EXPECT_TRUE(ownedGone); // owned: destroyed with the application
}

TEST(ApplicationListenersDeathTest, NullListenersEndTheProcessWithCode3)
{
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    StderrMessages messages;
    WindowlessApp app;
    EXPECT_EXIT(app.addGUIEventListener(nullptr), testing::ExitedWithCode(3),
                "GUIEventListener must not be 0\nCondition: !\\(l != 0\\)");
    EXPECT_EXIT(app.removeRenderListener(nullptr), testing::ExitedWithCode(3), "RenderListener must not be 0");
    EXPECT_EXIT(app.addIdleListener(nullptr), testing::ExitedWithCode(3), "IdleListener must not be 0");
    EXPECT_EXIT(app.setInitialWindowSize(0, 10), testing::ExitedWithCode(3), "invalid initial GLUT window size");
}

TEST(ExtensionTokens, MatchWholeTokensOnly)
{
    const char* list = "GL_ARB_multitexture  GL_EXT_texture GL_EXT_texture_filter_anisotropic";
    EXPECT_TRUE(oxHasExtensionToken(list, "GL_EXT_texture"));
    EXPECT_TRUE(oxHasExtensionToken(list, "GL_EXT_texture_filter_anisotropic"));
    EXPECT_TRUE(oxHasExtensionToken(list, "GL_ARB_multitexture"));
    EXPECT_FALSE(oxHasExtensionToken(list, "GL_EXT_tex"));
    EXPECT_FALSE(oxHasExtensionToken(list, "GL_ARB_MULTITEXTURE"));
    EXPECT_FALSE(oxHasExtensionToken(list, "multitexture"));
    EXPECT_FALSE(oxHasExtensionToken(list, ""));
    EXPECT_FALSE(oxHasExtensionToken(nullptr, "GL_EXT_texture"));
    EXPECT_FALSE(oxHasExtensionToken("", "GL_EXT_texture"));
}
