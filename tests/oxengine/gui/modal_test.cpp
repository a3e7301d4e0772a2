// Modal runs and popup menus without a display: placing, choosing, dismissing, submenus by pointer and by keys.
#include "guitest.h"
#include "oxengine/gui/guimenu.h"
#include "oxengine/platform/glapp/glapp_fixtures.h"

using ModalRun = GuiTest;

TEST_F(ModalRun, MenusAndModalRuns)
{
    // "Open" (210), a separator, "Sort" with "By name" (213) and "By date" (214), "Quit" (0) in a 1000 x 800 window.
    app.windowWidth = 1000, app.windowHeight = 800;
    oxGuiPopupMenu menu;
    menu.addItem("Open", 210);
    menu.addSeparator();
    oxGuiSubMenu* sort = menu.addSubMenu("Sort");
    sort->popupMenu()->addItem("By name", 213);
    sort->popupMenu()->addItem("By date", 214);
    menu.addItem("Quit", 0);
    const auto entry = [](oxGuiPopupMenu& m, size_t i) { return static_cast<oxGuiContainer*>(m.content())->child(i); };
    // Through the framework while the menu runs, else to the menu itself.
    const auto moveOnto = [&](oxGuiElement* e) {
        const int x = e->getPosition().x + 5, y = e->getPosition().y + e->getSize().height / 2;
        if (menu.isRunning())
            app.handlePassiveMotion(x, y);
        else
            menu.onMouseMove(-1, x, y);
    };
    SoundRecorder sounds;
    app.script.push_back([&] { app.click(*entry(menu, 0)); });
    EXPECT_EQ(menu.popup(100, 100), 210);
    EXPECT_EQ(take(), (Log{"button0up", "cmd210"}));
    app.script.push_back([&] { app.click(*entry(menu, 3)); }); // no command: closes, nothing chosen
    EXPECT_EQ(menu.popup(100, 100), 0);
    app.script.push_back([&] {
        app.click(*entry(menu, 1)); // the separator: nothing happens
        EXPECT_EQ(menu.result(), 0);
        app.handleMouseButton(0, true, 900, 700); // outside: dismissed without a warning
        app.handleMouseButton(0, false, 900, 700);
    });
    EXPECT_EQ(menu.popup(100, 100), 0);
    EXPECT_EQ(take(), (Log{"button0up", "button0up", "button0up"})); // only the releases went on
    EXPECT_TRUE(sounds.played().empty());

    // By keys; the highlighted entry, and after ">" the open submenu's.
    const auto at = [&] {
        const oxGuiPopupMenu& sub = *sort->popupMenu();
        return std::to_string(menu.highlighted()) + (sort->isOpen() ? ">" + std::to_string(sub.highlighted()) : "");
    };
    const auto press = [&](std::vector<std::string> keys) {
        std::vector<std::string> seen;
        for (const std::string& k : keys)
            app.type(k), seen.push_back(at());
        return seen;
    };
    // Down skips the separator, Right opens the submenu, Up wraps, Left closes it; Enter opens it, Escape
    // closes only the submenu.
    app.script.push_back([&] {
        EXPECT_EQ(press({"<Down>", "<Down>", "<Right>", "<Up>", "<Left>", "\r", "\x1b", "<Up>"}),
                  (std::vector<std::string>{"0", "2", "2>0", "2>1", "2", "2>0", "2", "0"}));
        app.type(" ");
    });
    EXPECT_EQ(menu.popup(100, 100), 210);
    EXPECT_EQ(take(), (Log{"cmd210"}));
    app.script.push_back([&] {
        EXPECT_EQ(press({"<Up>"}), std::vector<std::string>{"3"}); // from none: the last entry
        app.type("<Up><Right><Down>\r");
    });
    EXPECT_EQ(menu.popup(100, 100), 214);
    // Inactive entries are skipped and not chosen; Escape in the outermost menu closes it without a command.
    entry(menu, 0)->setEnabled(false);
    app.script.push_back([&] {
        EXPECT_EQ(press({"<Down>"}), std::vector<std::string>{"2"});
        app.click(*entry(menu, 0)); // swallowed
        EXPECT_EQ(menu.result(), 0);
        app.type("\x1b");
    });
    EXPECT_EQ(menu.popup(100, 100), 0);
    // No key got past the menu: only the command and the swallowed click's release went on.
    EXPECT_EQ(take(), (Log{"button0up", "cmd214"}));

    // Submenus open and close along the pointer's path.
    menu.placeAt(100, 100);
    moveOnto(sort);
    ASSERT_TRUE(sort->isOpen());
    oxGuiPopupMenu* sub = sort->popupMenu();
    // Into the nested menu it stays open; off both it closes.
    moveOnto(entry(*sub, 1));
    EXPECT_TRUE(sort->isOpen());
    moveOnto(entry(menu, 0));
    EXPECT_FALSE(sort->isOpen());
    // An entry of the nested menu ends the outermost run.
    app.script.push_back([&] {
        moveOnto(sort);
        app.click(*entry(*sub, 1));
    });
    EXPECT_EQ(menu.popup(100, 100), 214);
    EXPECT_EQ(take(), (Log{"button0up", "cmd214"}));
    EXPECT_FALSE(sort->isOpen()); // the next popup starts closed

    // With a submenu open, a click on a parent's entry below it reaches that entry.
    menu.addItem("Close", 300);
    app.script.push_back([&] {
        moveOnto(sort);
        ASSERT_TRUE(sort->isOpen());
        app.click(*entry(menu, 4));
    });
    EXPECT_EQ(menu.popup(100, 100), 300);
    EXPECT_EQ(take(), (Log{"button0up", "cmd300"}));
    // Placing at the window edges is read back under GL; here a menu wider than the window.
    app.windowWidth = 20;
    menu.placeAt(10, 10);
    EXPECT_EQ(menu.getPosition().x, 0);

    // The modal helper swallows all input but releases; a run ends with its button's code; runs nest.
    SoundRecorder warnings;
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
        EXPECT_TRUE(app.dispatchCommand(4711)); // kept: see below
        // A drag inside the panel moves once per motion, though the view behind forwards every motion as well.
        const oxGuiPoint at = panel.drag->getPosition();
        app.handleMouseButton(0, true, at.x + 5, at.y + 5);
        app.handleMotion(at.x + 25, at.y + 15);
        app.handleMouseButton(0, false, at.x + 25, at.y + 15);
        EXPECT_EQ(panel.drag->moved, (oxGuiPoint{20, 10}));
    }
    EXPECT_EQ(under->moved, (oxGuiPoint{0, 0})); // nothing started behind the panel
    EXPECT_EQ(warnings.played(), (std::vector<std::string>{"dialog-warning", "dialog-warning"}));
    EXPECT_EQ(panel.result(), 0);
    // Only the releases went on; the kept command was posted again when the helper went.
    EXPECT_EQ(take(), (Log{"button0up", "button0up", "cmd4711"}));

    // A run ends with its modal button's code and posts nothing.
    CountingIdle idle; // asked for by nobody: not run while the commands arrive
    app.addIdleListener(&idle);
    ScriptPanel dlg;
    const size_t before = app.guiEventListeners().size();
    dlg.script = [&](unsigned c) {
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
    EXPECT_EQ(idle.calls, 0);
    app.removeIdleListener(&idle);
    EXPECT_EQ(app.renderListeners().size(), 0u);
    EXPECT_TRUE(take().empty()); // nothing left queued
    app.postCommand(501);
    EXPECT_EQ(dlg.runModal(), 4);
    // A negative result ends the run, which reports 0.
    app.postCommand(502);
    EXPECT_EQ(dlg.runModal(), 0);
    EXPECT_EQ(dlg.result(), -3);
    EXPECT_EQ(take(), (Log{"button0up"})); // the release of the click on "No" goes on

    // Two runs nested: Escape is the inner run's, and a command neither handles waits for both.
    ScriptPanel outer, inner;
    int innerResult = -1;
    outer.script = [&](unsigned c) {
        if (c == 500) {
            EXPECT_EQ(app.guiEventListeners().size(), before + 1);
            app.postCommand(600);
            innerResult = inner.runModal();
            EXPECT_EQ(app.guiEventListeners().size(), before + 1);
            app.postCommand(502);
            return true;
        }
        if (c == 502)
            outer.setResult(7);
        return c == 502; // 223 is not the dialog's
    };
    inner.script = [&](unsigned c) {
        if (c == 600) {
            EXPECT_EQ(app.guiEventListeners().size(), before + 2);
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
    EXPECT_EQ(log, (Log{"button0up"})); // the release of the click on OK
    // Passed on by both runs, it reaches the application once, after them.
    EXPECT_EQ(take(), (Log{"button0up", "cmd223"}));
    // Runs that could never end return at once: no window and nothing queued, or the application shutting down.
    dlg.script = [&](unsigned) { return app.leaveMainLoop(), true; };
    EXPECT_EQ(dlg.runModal(), 0);
    app.postCommand(500);
    EXPECT_EQ(dlg.runModal(), 0);
    EXPECT_EQ(app.guiEventListeners().size(), before);
}

