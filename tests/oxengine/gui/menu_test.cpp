// Popup menus without a display: placing, choosing, dismissing, submenus
// by pointer and by keys.
#include "dialogtest.h"

#include "oxengine/gui/guimenu.h"
#include "oxengine/gui/keys.h"
#include "oxengine/gui/line.h"
#include "oxengine/gui/sizers.h"

#include <gtest/gtest.h>

namespace {

// "Open" (210), a separator, "Sort" with "By name" (213) and "By date"
// (214), "Quit" (0) in a 1000 x 800 window.
class Menus : public testing::Test {
protected:
    void SetUp() override
    {
        app.windowWidth = 1000;
        app.windowHeight = 800;
        app.addGUIEventListener(&behind);
        menu.addItem("Open", 210);
        menu.addSeparator();
        sort = menu.addSubMenu("Sort");
        sort->popupMenu()->addItem("By name", 213);
        sort->popupMenu()->addItem("By date", 214);
        menu.addItem("Quit", 0);
    }
    oxGuiElement* entry(size_t i) { return static_cast<oxGuiContainer*>(menu.content())->child(i); }
    oxGuiElement* nested(size_t i) { return static_cast<oxGuiContainer*>(sort->popupMenu()->content())->child(i); }
    // Through the framework while the menu runs, else to the menu itself.
    void moveTo(int x, int y)
    {
        if (menu.isRunning())
            app.handlePassiveMotion(x, y);
        else
            menu.onMouseMove(-1, x, y);
    }
    void moveOnto(oxGuiElement* e) { moveTo(e->getPosition().x + 5, e->getPosition().y + e->getSize().height / 2); }
    Log commands()
    {
        app.deliverAll();
        Log out;
        for (const std::string& s : log)
            if (s.rfind("cmd", 0) == 0)
                out.push_back(s);
        log.clear();
        return out;
    }
    ScriptedApp app;
    Log log;
    Behind behind{log};
    oxGuiPopupMenu menu;
    oxGuiSubMenu* sort = nullptr;
};

} // namespace

TEST_F(Menus, OpenAtThePointerAndStayInsideTheWindow)
{
    menu.placeAt(100, 50);
    EXPECT_EQ(menu.getPosition(), (oxGuiPoint{100, 50}));
    const oxGuiSize size = menu.getSize();
    EXPECT_GT(size.width, 0);
    // Entries are laid out in the column, each as wide as the menu's inside.
    EXPECT_EQ(entry(0)->getPosition(), (oxGuiPoint{103, 53}));
    EXPECT_EQ(entry(0)->getSize().width, size.width - 6);
    menu.placeAt(-10, 5);
    EXPECT_EQ(menu.getPosition(), (oxGuiPoint{0, 5}));
    menu.placeAt(1000 - 50, 790);
    EXPECT_EQ(menu.getPosition(), (oxGuiPoint{1000 - size.width, 800 - size.height}));
    menu.placeAt(-5, -5);
    EXPECT_EQ(menu.getPosition(), (oxGuiPoint{0, 0}));
    // Larger than the window: the top left corner stays in view.
    app.windowWidth = 20;
    menu.placeAt(10, 10);
    EXPECT_EQ(menu.getPosition().x, 0);
}

TEST_F(Menus, ChoosingAnEntryEndsTheRunAndPostsItsCommand)
{
    app.script.push_back([&] { clickCentre(app, *entry(0)); });
    EXPECT_EQ(menu.popup(100, 100), 210);
    EXPECT_EQ(commands(), (Log{"cmd210"}));
    // An entry without a command closes the menu with nothing chosen.
    app.script.push_back([&] { clickCentre(app, *entry(3)); });
    EXPECT_EQ(menu.popup(100, 100), 0);
    EXPECT_TRUE(commands().empty());
    EXPECT_EQ(app.runs, 2);
}

TEST_F(Menus, ClicksOutsideDismissAndClicksOnTheMenuAreSwallowed)
{
    SoundLog sounds;
    app.script.push_back([&] {
        clickCentre(app, *entry(1)); // the separator: nothing happens
        EXPECT_EQ(menu.result(), 0);
        app.handleMouseButton(0, true, 900, 700);
        app.handleMouseButton(0, false, 900, 700);
    });
    EXPECT_EQ(menu.popup(100, 100), 0);
    EXPECT_EQ(log, (Log{"button0up", "button0up"})); // only the releases go on
    EXPECT_TRUE(commands().empty());
    EXPECT_TRUE(sounds.played().empty());
}

TEST_F(Menus, SubmenusOpenBesideTheirEntryWhileThePointerRests)
{
    menu.placeAt(100, 100);
    moveOnto(sort);
    ASSERT_TRUE(sort->isOpen());
    EXPECT_TRUE(sort->isHovered());
    oxGuiPopupMenu* sub = sort->popupMenu();
    EXPECT_EQ(sub->getPosition(), (oxGuiPoint{sort->getPosition().x + sort->getSize().width, sort->getPosition().y}));
    EXPECT_EQ(sub->rootMenu(), &menu);
    // Into the nested menu: it stays open and its entry lights up.
    moveOnto(nested(1));
    EXPECT_TRUE(sort->isOpen());
    EXPECT_TRUE(sort->isHovered());
    EXPECT_TRUE(static_cast<oxGuiButton*>(nested(1))->isHovered());
    // Off both: closed.
    moveOnto(entry(0));
    EXPECT_FALSE(sort->isOpen());
    EXPECT_FALSE(sort->isHovered());
    // An entry of the nested menu ends the outermost run.
    app.script.push_back([&] {
        moveOnto(sort);
        clickCentre(app, *nested(1));
    });
    EXPECT_EQ(menu.popup(100, 100), 214);
    EXPECT_EQ(commands(), (Log{"cmd214"}));
    EXPECT_FALSE(sort->isOpen()); // the next popup starts closed
}

TEST_F(Menus, AClickOnTheParentWhileASubmenuIsOpenReachesTheParentsEntry)
{
    // "Quit" lies below the open submenu's entry in the parent.
    menu.addItem("Close", 300);
    app.script.push_back([&] {
        moveOnto(sort);
        ASSERT_TRUE(sort->isOpen());
        clickCentre(app, *entry(4));
    });
    EXPECT_EQ(menu.popup(100, 100), 300);
}

TEST_F(Menus, ThreeLevelsStayOpenAlongThePointersPath)
{
    oxGuiSubMenu* more = sort->popupMenu()->addSubMenu("More");
    more->popupMenu()->addItem("By size", 215);
    app.script.push_back([&] {
        moveOnto(sort);
        moveOnto(more);
        ASSERT_TRUE(more->isOpen());
        auto* bySize = static_cast<oxGuiContainer*>(more->popupMenu()->content())->child(0);
        moveOnto(bySize);
        EXPECT_TRUE(sort->isOpen());
        EXPECT_TRUE(more->isOpen());
        clickCentre(app, *bySize);
    });
    EXPECT_EQ(menu.popup(100, 100), 215);
}

TEST_F(Menus, NearTheRightEdgeSubmenusOpenOnTheLeft)
{
    menu.placeAt(990, 100);
    const oxGuiPoint at = menu.getPosition();
    moveOnto(sort);
    ASSERT_TRUE(sort->isOpen());
    const oxGuiPopupMenu* sub = sort->popupMenu();
    EXPECT_EQ(sub->getPosition().x + sub->getSize().width, at.x);
    EXPECT_GE(sub->getPosition().x, 0);
    // At the bottom edge it is pushed up into the window.
    menu.placeAt(100, 790);
    moveTo(0, 0);
    moveOnto(sort);
    EXPECT_LE(sub->getPosition().y + sub->getSize().height, 800);
}

TEST_F(Menus, KeyboardMovesOpensChoosesAndCloses)
{
    app.script.push_back([&] {
        app.special(GUI_SPECIAL_DOWN);
        EXPECT_EQ(menu.highlighted(), 0);
        app.special(GUI_SPECIAL_DOWN); // past the separator
        EXPECT_EQ(menu.highlighted(), 2);
        app.special(GUI_SPECIAL_RIGHT);
        ASSERT_TRUE(sort->isOpen());
        EXPECT_EQ(sort->popupMenu()->highlighted(), 0);
        app.special(GUI_SPECIAL_UP); // wraps around
        EXPECT_EQ(sort->popupMenu()->highlighted(), 1);
        app.special(GUI_SPECIAL_LEFT);
        EXPECT_FALSE(sort->isOpen());
        EXPECT_EQ(menu.highlighted(), 2);
        app.type("\r"); // Enter on a submenu opens it
        ASSERT_TRUE(sort->isOpen());
        app.type("\x1b"); // Escape closes only the submenu
        EXPECT_FALSE(sort->isOpen());
        EXPECT_EQ(menu.result(), 0);
        app.special(GUI_SPECIAL_UP);
        EXPECT_EQ(menu.highlighted(), 0);
        app.type(" ");
    });
    EXPECT_EQ(menu.popup(100, 100), 210);
    EXPECT_EQ(commands(), (Log{"cmd210"}));
    // Escape in the outermost menu closes it without a command.
    app.script.push_back([&] {
        app.special(GUI_SPECIAL_DOWN);
        app.type("\x1b");
    });
    EXPECT_EQ(menu.popup(100, 100), 0);
    // Keys never reach the application behind the menu.
    for (const std::string& s : log)
        EXPECT_NE(s.rfind("key", 0), 0u) << s;
}

TEST_F(Menus, KeysChooseInTheNestedMenu)
{
    app.script.push_back([&] {
        app.special(GUI_SPECIAL_UP); // from none: the last entry
        EXPECT_EQ(menu.highlighted(), 3);
        app.special(GUI_SPECIAL_UP);
        app.special(GUI_SPECIAL_RIGHT);
        app.special(GUI_SPECIAL_DOWN);
        app.type("\r");
    });
    EXPECT_EQ(menu.popup(100, 100), 214);
}

TEST_F(Menus, InactiveEntriesAreSkippedAndNotChosen)
{
    entry(0)->setEnabled(false);
    app.script.push_back([&] {
        app.special(GUI_SPECIAL_DOWN);
        EXPECT_EQ(menu.highlighted(), 2);
        clickCentre(app, *entry(0)); // swallowed
        EXPECT_EQ(menu.result(), 0);
        app.type("\x1b");
    });
    EXPECT_EQ(menu.popup(100, 100), 0);
    EXPECT_TRUE(commands().empty());
}

TEST(GuiMenuDeath, ASubmenuNeedsAContainer)
{
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(
        {
            oxGuiPopupMenu menu;
            menu.setContent(std::make_unique<oxGuiHLine>());
            menu.addItem("ignored", 5);
            menu.addSeparator();
            menu.addSubMenu("Sub");
        },
        testing::ExitedWithCode(3), "missing child container in popup menu");
}
