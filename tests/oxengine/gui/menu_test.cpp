// Popup menus without a display: placing, choosing, dismissing, submenus by pointer and by keys.
#include "guitest.h"

#include "oxengine/gui/guimenu.h"

namespace {

// "Open" (210), a separator, "Sort" with "By name" (213) and "By date" (214), "Quit" (0) in a 1000 x 800 window.
class Menus : public GuiTest {
protected:
    void SetUp() override
    {
        GuiTest::SetUp();
        app.windowWidth = 1000, app.windowHeight = 800;
        menu.addItem("Open", 210);
        menu.addSeparator();
        sort = menu.addSubMenu("Sort");
        sort->popupMenu()->addItem("By name", 213);
        sort->popupMenu()->addItem("By date", 214);
        menu.addItem("Quit", 0);
    }
    static oxGuiElement* entry(oxGuiPopupMenu& m, size_t i) { return static_cast<oxGuiContainer*>(m.content())->child(i); }
    oxGuiElement* entry(size_t i) { return entry(menu, i); }
    // Through the framework while the menu runs, else to the menu itself.
    void moveOnto(oxGuiElement* e)
    {
        const int x = e->getPosition().x + 5, y = e->getPosition().y + e->getSize().height / 2;
        if (menu.isRunning())
            app.handlePassiveMotion(x, y);
        else
            menu.onMouseMove(-1, x, y);
    }
    oxGuiPopupMenu menu;
    oxGuiSubMenu* sort = nullptr;
};

} // namespace

TEST_F(Menus, ChoosingPostsTheCommandAndOtherClicksDismissOrAreSwallowed)
{
    SoundRecorder sounds;
    app.script.push_back([&] { app.click(*entry(0)); });
    EXPECT_EQ(menu.popup(100, 100), 210);
    EXPECT_EQ(only(take(), "cmd"), (Log{"cmd210"}));
    app.script.push_back([&] { app.click(*entry(3)); }); // no command: closes, nothing chosen
    EXPECT_EQ(menu.popup(100, 100), 0);
    app.script.push_back([&] {
        app.click(*entry(1)); // the separator: nothing happens
        EXPECT_EQ(menu.result(), 0);
        app.handleMouseButton(0, true, 900, 700); // outside: dismissed without a warning
        app.handleMouseButton(0, false, 900, 700);
    });
    EXPECT_EQ(menu.popup(100, 100), 0);
    EXPECT_EQ(take(), (Log{"button0up", "button0up", "button0up"})); // only the releases went on
    EXPECT_TRUE(sounds.played().empty());
}

TEST_F(Menus, SubmenusOpenBesideTheirEntryAlongThePointersPath)
{
    menu.placeAt(100, 100);
    moveOnto(sort);
    ASSERT_TRUE(sort->isOpen());
    EXPECT_TRUE(sort->isHovered());
    oxGuiPopupMenu* sub = sort->popupMenu();
    // Over the parent's frame, beside its inside.
    EXPECT_EQ(sub->getPosition(), (oxGuiPoint{menu.getPosition().x + menu.getSize().width - 3, sort->getPosition().y}));
    // Into the nested menu: it stays open and its entry lights up.
    moveOnto(entry(*sub, 1));
    EXPECT_TRUE(sort->isOpen());
    EXPECT_TRUE(sort->isHovered());
    EXPECT_TRUE(static_cast<oxGuiButton*>(entry(*sub, 1))->isHovered());
    moveOnto(entry(0)); // off both: closed
    EXPECT_FALSE(sort->isOpen());
    EXPECT_FALSE(sort->isHovered());
    // An entry of the nested menu ends the outermost run.
    app.script.push_back([&] {
        moveOnto(sort);
        app.click(*entry(*sub, 1));
    });
    EXPECT_EQ(menu.popup(100, 100), 214);
    EXPECT_EQ(only(take(), "cmd"), (Log{"cmd214"}));
    EXPECT_FALSE(sort->isOpen()); // the next popup starts closed

    // With a submenu open, a click on a parent's entry below it reaches that entry.
    menu.addItem("Close", 300);
    app.script.push_back([&] {
        moveOnto(sort);
        ASSERT_TRUE(sort->isOpen());
        app.click(*entry(4));
    });
    EXPECT_EQ(menu.popup(100, 100), 300);
    // Placing at the window edges is read back under GL; here a menu wider than the window.
    app.windowWidth = 20;
    menu.placeAt(10, 10);
    EXPECT_EQ(menu.getPosition().x, 0);
}

TEST_F(Menus, KeyboardMovesOpensChoosesAndCloses)
{
    // The highlighted entry, and after ">" the open submenu's.
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
    // Down past the separator, Right opens the submenu, Up wraps around, Left
    // closes it; Enter on a submenu opens it, Escape closes only the submenu.
    app.script.push_back([&] {
        EXPECT_EQ(press({"<Down>", "<Down>", "<Right>", "<Up>", "<Left>", "\r", "\x1b", "<Up>"}),
                  (std::vector<std::string>{"0", "2", "2>0", "2>1", "2", "2>0", "2", "0"}));
        EXPECT_EQ(menu.result(), 0);
        app.type(" ");
    });
    EXPECT_EQ(menu.popup(100, 100), 210);
    EXPECT_EQ(only(take(), "cmd"), (Log{"cmd210"}));
    app.script.push_back([&] {
        EXPECT_EQ(press({"<Up>"}), std::vector<std::string>{"3"}); // from none: the last entry
        app.type("<Up><Right><Down>\r");
    });
    EXPECT_EQ(menu.popup(100, 100), 214);
    // Inactive entries are skipped and not chosen; Escape in the outermost menu closes it without a command.
    entry(0)->setEnabled(false);
    app.script.push_back([&] {
        EXPECT_EQ(press({"<Down>"}), std::vector<std::string>{"2"});
        app.click(*entry(0)); // swallowed
        EXPECT_EQ(menu.result(), 0);
        app.type("\x1b");
    });
    EXPECT_EQ(menu.popup(100, 100), 0);
    // No key got past the menu: only the command and the swallowed click's release went on.
    EXPECT_EQ(take(), (Log{"button0up", "cmd214"}));
}
