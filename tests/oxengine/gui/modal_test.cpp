#include "guitest.h"
#include "oxengine/platform/glapp/glapp_fixtures.h"

namespace {

class ModalRun : public GuiTest {
protected:
    size_t listenerCount() const { return app.guiEventListeners().size(); }
};

} // namespace

TEST_F(ModalRun, TheHelperSwallowsAllInputButReleases)
{
    SoundRecorder sounds;
    Log panelLog;
    ScriptPanel panel(&panelLog);
    // A host behind the panel with a draggable element of its own.
    oxGuiHost view;
    Probe* under = view.addElement(probe("under", &panelLog, {2000, 2000}));
    under->dragAxes = 3;
    under->logMoves = false;
    app.addGUIEventListener(&view);
    {
        oxGuiModalHelper helper(panel);
        app.addGUIEventListener(&helper, true);
        app.handleMouseButton(0, true, 1500, 900); // outside the panel
        app.handleMotion(1600, 900);
        app.handleMouseButton(0, false, 1600, 900);
        app.handleMouseButton(0, true, 1500, 900);
        app.handleMouseButton(0, false, 1500, 900); // a click outside: warning
        app.dispatchKeyDown('x', false);             // used by nothing in the panel
        app.dispatchKeyDown(27, true);
        app.dispatchKeyUp('x', false);
        app.dispatchMouseWheel(1, 1500, 900);
        EXPECT_TRUE(app.dispatchCommand(4711));
        EXPECT_EQ(helper.keptCommands(), (std::vector<unsigned>{4711}));
        // A drag inside the panel moves once per motion, though the view behind forwards every motion as well.
        const oxGuiPoint at = panel.drag->getPosition();
        app.handleMouseButton(0, true, at.x + 5, at.y + 5);
        app.handleMotion(at.x + 25, at.y + 15);
        app.handleMouseButton(0, false, at.x + 25, at.y + 15);
        EXPECT_EQ(panel.drag->moved, (oxGuiPoint{20, 10}));
    }
    EXPECT_EQ(log, (Log{"button0up", "button0up"}));
    EXPECT_EQ(under->moved, (oxGuiPoint{0, 0})); // nothing started behind the panel
    EXPECT_EQ(sounds.played(), (std::vector<std::string>{"dialog-warning", "dialog-warning"}));
    EXPECT_EQ(panel.result(), 0);
    // The kept command was posted again when the helper went.
    EXPECT_EQ(only(take(), "cmd"), (Log{"cmd4711"}));
}

TEST_F(ModalRun, RunEndsWithTheModalButtonsCodeAndPostsNothing)
{
    CountingIdle idle; // asked for by nobody: not run while the commands arrive
    app.addIdleListener(&idle);
    ScriptPanel dlg;
    const size_t before = listenerCount();
    dlg.script = [&](unsigned c) {
        EXPECT_EQ(listenerCount(), before + 1);
        EXPECT_TRUE(dlg.isRunning());
        if (c == 500)
            app.dispatchKeyDown(27, false); // Escape: the Cancel button
        else if (c == 501)
            app.click(*dlg.no);
        else
            dlg.setResult(-3);
        return true;
    };
    app.postCommand(500);
    EXPECT_EQ(dlg.runModal(), GUI_CMD_CANCEL);
    EXPECT_FALSE(dlg.isRunning());
    EXPECT_EQ(idle.calls, 0);
    app.removeIdleListener(&idle);
    EXPECT_EQ(listenerCount(), before);
    EXPECT_EQ(app.renderListeners().size(), 0u);
    EXPECT_EQ(app.pendingCommands(), 0u);
    EXPECT_TRUE(take().empty());
    app.postCommand(501);
    EXPECT_EQ(dlg.runModal(), 4);
    // A negative result ends the run, which reports 0.
    app.postCommand(502);
    EXPECT_EQ(dlg.runModal(), 0);
    EXPECT_EQ(dlg.result(), -3);
    EXPECT_EQ(take(), (Log{"button0up"})); // the release of the click on "No" goes on
    // Runs that could never end return at once: no window and nothing queued, or the application shutting down.
    dlg.script = [&](unsigned) { return app.leaveMainLoop(), true; };
    EXPECT_EQ(dlg.runModal(), 0);
    app.postCommand(500);
    EXPECT_EQ(dlg.runModal(), 0);
    EXPECT_EQ(listenerCount(), before);
}

TEST_F(ModalRun, RunsNestTwoDeepAndKeepCommandsNobodyHandled)
{
    ScriptPanel outer, inner;
    const size_t base = listenerCount();
    int innerResult = -1;
    outer.script = [&](unsigned c) {
        if (c == 500) {
            EXPECT_EQ(listenerCount(), base + 1);
            app.postCommand(600);
            innerResult = inner.runModal();
            EXPECT_EQ(listenerCount(), base + 1);
            app.postCommand(502);
            return true;
        }
        if (c == 502)
            outer.setResult(7);
        return c == 502; // 223 is not the dialog's
    };
    inner.script = [&](unsigned c) {
        if (c == 600) {
            EXPECT_EQ(listenerCount(), base + 2);
            app.dispatchKeyDown(27, false); // the inner Cancel, not the outer one
            EXPECT_EQ(inner.result(), GUI_CMD_CANCEL);
            inner.setResult(0); // carry on
            app.postCommand(223); // e.g. a rescan posted by background work
            app.postCommand(601);
        } else if (c == 601) {
            app.click(*inner.ok);
        }
        return c == 600 || c == 601;
    };
    app.postCommand(500);
    EXPECT_EQ(outer.runModal(), 7);
    EXPECT_EQ(innerResult, GUI_CMD_OK);
    EXPECT_TRUE(only(log, "cmd").empty());
    // Passed on by both runs, it reaches the application once, after them.
    EXPECT_EQ(only(take(), "cmd"), (Log{"cmd223"}));
}

TEST(GuiModal, WithoutAnApplicationNothingRuns)
{
    ASSERT_EQ(theApplication, nullptr);
    EXPECT_EQ(oxGuiModalPanel().runModal(), 0);
}
