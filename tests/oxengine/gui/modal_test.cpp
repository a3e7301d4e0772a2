#include "guitest.h"

#include "oxengine/gui/button.h"
#include "oxengine/gui/modal.h"
#include "oxengine/gui/sizers.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace {

// A modal panel whose command handler is the test's script. Its content is
// a column of modal buttons OK (1), "No" (4) and Cancel (8), laid out at
// (0, 0) with the default style.
class ScriptPanel : public oxGuiModalPanel {
public:
    ScriptPanel() : oxGuiModalPanel(std::make_unique<oxGuiVSizer>())
    {
        auto* column = static_cast<oxGuiVSizer*>(content());
        ok = column->addChild(std::make_unique<oxGuiModalButton>(this, GUI_CMD_OK, "OK"));
        no = column->addChild(std::make_unique<oxGuiModalButton>(this, 4, "No"));
        cancel = column->addChild(std::make_unique<oxGuiModalButton>(this, GUI_CMD_CANCEL, "Cancel"));
        applyStyle(oxGuiStyle{});
        setPosition({0, 0});
    }
    bool onCommand(unsigned c) override { return script ? script(c) : false; }
    // A left press and release at the centre of e, through the framework.
    static void clickOn(GuiTestApp& app, const oxGuiElement& e)
    {
        const int x = e.getPosition().x + e.getSize().width / 2, y = e.getPosition().y + e.getSize().height / 2;
        app.handleMouseButton(0, true, x, y);
        app.handleMouseButton(0, false, x, y);
    }
    std::function<bool(unsigned)> script;
    oxGuiModalButton* ok = nullptr;
    oxGuiModalButton* no = nullptr;
    oxGuiModalButton* cancel = nullptr;
};

Log commands(const Log& log)
{
    Log out;
    std::copy_if(log.begin(), log.end(), std::back_inserter(out), [](const std::string& s) { return s.rfind("cmd", 0) == 0; });
    return out;
}

class ModalRun : public testing::Test {
protected:
    void SetUp() override { app.addGUIEventListener(&behind); }
    size_t listenerCount() const { return app.guiEventListeners().size(); }
    GuiTestApp app;
    Log behindLog;
    Behind behind{behindLog};
};

} // namespace

TEST_F(ModalRun, TheHelperSwallowsAllInputButReleases)
{
    SoundLog sounds;
    ScriptPanel panel;
    Log panelLog;
    auto* column = static_cast<oxGuiVSizer*>(panel.content());
    Probe* drag = column->addChild(probe("drag", &panelLog, {50, 50}));
    drag->dragAxes = 3;
    panel.applyStyle(oxGuiStyle{});
    panel.setPosition({0, 0});
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
    }
    EXPECT_EQ(behindLog, (Log{"button0up", "button0up"}));
    EXPECT_EQ(under->moved, (oxGuiPoint{0, 0})); // nothing started behind the panel
    EXPECT_EQ(sounds.played(), (std::vector<std::string>{"dialog-warning", "dialog-warning"}));
    EXPECT_EQ(panel.result(), 0);
    // The kept command was posted again when the helper went.
    app.deliverAll();
    EXPECT_EQ(behindLog.back(), "cmd4711");
}

TEST_F(ModalRun, DragsInsideTheModalPanelMoveOncePerMotion)
{
    ScriptPanel panel;
    Log panelLog;
    auto* column = static_cast<oxGuiVSizer*>(panel.content());
    Probe* drag = column->addChild(probe("drag", &panelLog, {50, 50}));
    drag->dragAxes = 3;
    panel.applyStyle(oxGuiStyle{});
    panel.setPosition({0, 0});
    oxGuiHost view; // forwards every motion to dispatchDrag as well
    app.addGUIEventListener(&view);
    oxGuiModalHelper helper(panel);
    app.addGUIEventListener(&helper, true);
    const oxGuiPoint at = drag->getPosition();
    app.handleMouseButton(0, true, at.x + 5, at.y + 5);
    app.handleMotion(at.x + 25, at.y + 15);
    app.handleMouseButton(0, false, at.x + 25, at.y + 15);
    EXPECT_EQ(drag->moved, (oxGuiPoint{20, 10}));
    EXPECT_TRUE(behindLog.empty());
}

TEST_F(ModalRun, RunEndsWithTheCodeOfTheModalButtonAndPostsNothing)
{
    ScriptPanel dlg;
    const size_t before = listenerCount();
    dlg.script = [&](unsigned c) {
        if (c != 500)
            return false;
        EXPECT_EQ(listenerCount(), before + 1);
        EXPECT_TRUE(dlg.isRunning());
        app.dispatchKeyDown(27, false); // Escape: the Cancel button
        return true;
    };
    app.postCommand(500);
    EXPECT_EQ(dlg.runModal(), GUI_CMD_CANCEL);
    EXPECT_FALSE(dlg.isRunning());
    EXPECT_EQ(listenerCount(), before);
    EXPECT_EQ(app.renderListeners().size(), 0u);
    EXPECT_EQ(app.pendingCommands(), 0u);
    EXPECT_TRUE(behindLog.empty());

    dlg.script = [&](unsigned) {
        ScriptPanel::clickOn(app, *dlg.no);
        return true;
    };
    app.postCommand(501);
    EXPECT_EQ(dlg.runModal(), 4);
}

TEST_F(ModalRun, NegativeResultsEndTheRunWithZero)
{
    ScriptPanel dlg;
    dlg.script = [&](unsigned) {
        dlg.setResult(-3);
        return true;
    };
    app.postCommand(500);
    EXPECT_EQ(dlg.runModal(), 0);
    EXPECT_EQ(dlg.result(), -3);
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
        if (c == 502) {
            outer.setResult(7);
            return true;
        }
        return false; // 223 is not the dialog's
    };
    inner.script = [&](unsigned c) {
        if (c == 600) {
            EXPECT_EQ(listenerCount(), base + 2);
            app.dispatchKeyDown(27, false);       // the inner Cancel, not the outer one
            EXPECT_EQ(inner.result(), GUI_CMD_CANCEL);
            inner.setResult(0);                   // carry on
            app.postCommand(223);                 // e.g. a rescan posted by background work
            app.postCommand(601);
            return true;
        }
        if (c == 601) {
            ScriptPanel::clickOn(app, *inner.ok);
            return true;
        }
        return false;
    };
    app.postCommand(500);
    EXPECT_EQ(outer.runModal(), 7);
    EXPECT_EQ(innerResult, GUI_CMD_OK);
    EXPECT_TRUE(commands(behindLog).empty());
    // Passed on by both runs, it reaches the application once, after them.
    app.deliverAll();
    EXPECT_EQ(commands(behindLog), (Log{"cmd223"}));
}

TEST_F(ModalRun, IdleListenersRunOnlyWhenAsked)
{
    CountingIdle idle;
    app.addIdleListener(&idle);
    ScriptPanel dlg;
    dlg.script = [&](unsigned c) {
        if (c == 500)
            app.postCommand(501);
        else
            dlg.setResult(1);
        return true;
    };
    app.postCommand(500);
    EXPECT_EQ(dlg.runModal(), 1);
    EXPECT_EQ(idle.calls, 0); // the commands still arrived

    dlg.setProcessIdle(true);
    app.postCommand(500);
    EXPECT_EQ(dlg.runModal(), 1);
    EXPECT_GT(idle.calls, 0);
    app.removeIdleListener(&idle);
}

TEST_F(ModalRun, RunsThatCanNeverEndReturnAtOnce)
{
    ScriptPanel dlg;
    // No window and nothing queued: no event could ever end it.
    EXPECT_EQ(dlg.runModal(), 0);
    // The application is shutting down.
    dlg.script = [&](unsigned) {
        app.leaveMainLoop();
        return true;
    };
    app.postCommand(500);
    EXPECT_EQ(dlg.runModal(), 0);
    EXPECT_EQ(listenerCount(), 2u);
}

TEST(GuiModal, WithoutAnApplicationNothingRuns)
{
    ASSERT_EQ(theApplication, nullptr);
    oxGuiModalPanel panel;
    EXPECT_EQ(panel.runModal(), 0);
}

TEST(GuiModal, ModalButtonsEndTheirPanelAndPlainButtonsPostTheirCommand)
{
    GuiTestApp app;
    oxGuiModalPanel panel;
    oxGuiModalButton cancel(&panel, GUI_CMD_CANCEL, "Cancel");
    cancel.click();
    EXPECT_EQ(panel.result(), GUI_CMD_CANCEL);
    EXPECT_EQ(app.pendingCommands(), 0u);

    Log log;
    Behind listener(log);
    app.addGUIEventListener(&listener);
    oxGuiButton button(300, "Go");
    button.click();
    oxGuiButton none(0, "Nothing");
    none.click();
    app.deliverAll();
    EXPECT_EQ(log, (Log{"cmd300"}));
}

TEST_F(ModalRun, APlainModalPanelKeepsCommandsForAfterItsRun)
{
    oxGuiModalPanel panel;
    panel.setProcessIdle(true);
    app.postCommand(223); // e.g. the rescan code of a background operation
    app.postCommand(500);
    // The idle pass that delivers 500 ends the run from a listener behind
    // the panel: only commands the panel passes on can get there.
    CountingIdle stopper;
    app.addIdleListener(&stopper);
    int passes = 0;
    stopper.hook = [&] {
        if (++passes == 3)
            panel.setResult(1);
    };
    EXPECT_EQ(panel.runModal(), 1);
    app.removeIdleListener(&stopper);
    EXPECT_TRUE(commands(behindLog).empty());
    app.deliverAll();
    EXPECT_EQ(commands(behindLog), (Log{"cmd223", "cmd500"}));
}
