// Lists, sliders, progress bars and splitters without a display.
#include "dialogtest.h"

#include "oxengine/catalogue.h"
#include "oxengine/gui/button.h"
#include "oxengine/gui/edit.h"
#include "oxengine/gui/keys.h"
#include "oxengine/gui/list.h"
#include "oxengine/gui/progressbar.h"
#include "oxengine/gui/scrollpanel.h"
#include "oxengine/gui/sizers.h"
#include "oxengine/gui/splitter.h"

#include <gtest/gtest.h>

#include <cmath>

namespace {

class Controls : public testing::Test {
protected:
    void SetUp() override { app.addGUIEventListener(&behind); }
    Log commands()
    {
        app.deliverAll();
        Log out = log;
        log.clear();
        return out;
    }
    ScriptedApp app;
    Log log;
    Behind behind{log};
};

// Three rows at (0, 0), text height 20: rows at inner y 0, 20, 40.
std::unique_ptr<oxGuiList> threeRows()
{
    auto list = std::make_unique<oxGuiList>(std::vector<std::string>{"JPEG", "PNG", "TGA"});
    list->setTextHeight(20);
    list->setPosition({0, 0});
    list->setSelectCommand(40);
    return list;
}

} // namespace

TEST_F(Controls, ListSizeAndSelectionLimits)
{
    auto list = threeRows();
    EXPECT_EQ(list->getSize(), (oxGuiSize{6 + int(textWidth("JPEG", 20)), 66}));
    EXPECT_EQ(list->getSelected(), -1);
    list->setSelected(99);
    EXPECT_EQ(list->getSelected(), 2);
    list->setSelected(-5);
    EXPECT_EQ(list->getSelected(), -1);
    list->setSelected(2);
    // Fewer rows: the selection moves onto the last one that is left.
    list->setItems({"JPEG"});
    EXPECT_EQ(list->getSelected(), 0);
    list->setItems({});
    EXPECT_EQ(list->getSelected(), -1);
    EXPECT_FALSE(list->acceptsFocus());
    EXPECT_TRUE(commands().empty()); // the owner's changes post nothing
}

TEST_F(Controls, ListRowsAreChosenByClick)
{
    auto list = threeRows();
    EXPECT_TRUE(list->onClick(0, 10, 3 + 25)); // second row
    EXPECT_EQ(list->getSelected(), 1);
    EXPECT_TRUE(list->hasFocus());
    EXPECT_TRUE(list->onClick(0, 10, 3 + 39)); // again the second row: nothing posted
    EXPECT_TRUE(list->onClick(0, 10, 3 + 40));
    EXPECT_EQ(list->getSelected(), 2);
    EXPECT_FALSE(list->onClick(0, 10, 1));      // in the top margin
    EXPECT_FALSE(list->onClick(0, 10, 3 + 60)); // in the bottom margin
    EXPECT_FALSE(list->onClick(1, 10, 10));     // another button
    // Stretched to 30 per row, the rows follow.
    list->setSize({100, 96});
    EXPECT_TRUE(list->onClick(0, 10, 3 + 31));
    EXPECT_EQ(list->getSelected(), 1);
    list->setEnabled(false);
    EXPECT_FALSE(list->onClick(0, 10, 3 + 70));
    EXPECT_EQ(commands(), (Log{"cmd40", "cmd40", "cmd40"}));
}

TEST_F(Controls, ListRowsAreChosenByKeysAndWheel)
{
    auto list = threeRows();
    EXPECT_FALSE(list->onKeyDown(GUI_SPECIAL_DOWN, true)); // no focus yet
    setFocus(list.get());
    EXPECT_TRUE(list->onKeyDown(GUI_SPECIAL_DOWN, true));
    EXPECT_EQ(list->getSelected(), 0);
    list->onKeyDown(GUI_SPECIAL_DOWN, true);
    list->onKeyDown(GUI_SPECIAL_DOWN, true);
    list->onKeyDown(GUI_SPECIAL_DOWN, true); // stays on the last row
    EXPECT_EQ(list->getSelected(), 2);
    list->onKeyDown(GUI_SPECIAL_HOME, true);
    EXPECT_EQ(list->getSelected(), 0);
    list->onKeyDown(GUI_SPECIAL_UP, true);
    EXPECT_EQ(list->getSelected(), 0);
    EXPECT_FALSE(list->onKeyDown('x', false));
    EXPECT_EQ(commands(), (Log{"cmd40", "cmd40", "cmd40", "cmd40"}));
    // The wheel over the list: towards the user is down the list.
    EXPECT_TRUE(list->onMouseWheel(-1, 10, 10));
    EXPECT_EQ(list->getSelected(), 1);
    EXPECT_TRUE(list->onMouseWheel(1, 10, 10));
    EXPECT_TRUE(list->onMouseWheel(1, 10, 10));
    EXPECT_EQ(list->getSelected(), 0);
    EXPECT_FALSE(list->onMouseWheel(-1, 500, 10)); // not over it
    EXPECT_EQ(commands(), (Log{"cmd40", "cmd40"}));
}

TEST_F(Controls, ListRowsInsideAScrolledPanelAreHitWhereTheyAreDrawn)
{
    auto column = std::make_unique<oxGuiVSizer>();
    auto* list = column->addChild(threeRows());
    oxGuiScrollablePanel panel(std::move(column));
    panel.setTextHeight(20);
    panel.setMargins(0, 0, 0, 0);
    panel.setSize({100, 40});
    panel.setPosition({0, 0});
    panel.setScroll({0, 20});
    EXPECT_TRUE(list->onClick(0, 10, 3 + 5)); // drawn there: the second row
    EXPECT_EQ(list->getSelected(), 1);
}

namespace {

// A slider from 0 to 10 at (0, 0), text height 20, so 24 x 360; its bar
// is known without drawing.
std::unique_ptr<oxGuiSlider> slider(double value = 0)
{
    auto s = std::make_unique<oxGuiSlider>("Gamma", 0.0, 10.0, value);
    s->setTextHeight(20);
    s->setPosition({0, 0});
    return s;
}

} // namespace

TEST_F(Controls, SliderBarSitsBetweenNameAndValue)
{
    auto s = slider(2.5);
    EXPECT_EQ(s->getSize(), (oxGuiSize{360, 24}));
    const oxGuiSlider::Track t = s->track();
    EXPECT_EQ(t.position, (oxGuiPoint{int(4 + textWidth("Gamma", 20)), 2}));
    EXPECT_EQ(t.position.x + t.size.width, int(360 - 2 - textWidth("000000", 20) - 2));
    EXPECT_EQ(t.size.height, 20);
    EXPECT_EQ(s->valueText(), "2.5");
    oxGuiSlider unnamed;
    EXPECT_EQ(unnamed.getName(), oxGetTranslation(std::string("Slider")));
    EXPECT_EQ(unnamed.getMaximum(), 1.0);
}

TEST_F(Controls, SliderValueFromClicksDragsWheelAndKeys)
{
    auto s = slider();
    const oxGuiSlider::Track t = s->track();
    EXPECT_TRUE(s->onClick(0, t.position.x + t.size.width / 2, 10));
    EXPECT_NEAR(s->getValue(), 10.0 * (t.size.width / 2) / t.size.width, 1e-9);
    // A drag follows the pointer and stops at the ends.
    oxGuiElement* dragged = nullptr;
    int axes = 0;
    ASSERT_TRUE(s->beginDrag(t.position.x, 10, dragged, axes));
    EXPECT_EQ(dragged, s.get());
    EXPECT_EQ(axes, 1);
    EXPECT_EQ(s->getValue(), 0);
    s->dragBy(t.size.width / 4, 0);
    EXPECT_NEAR(s->getValue(), 10.0 * (t.size.width / 4) / t.size.width, 1e-9);
    s->dragBy(10 * t.size.width, 0);
    EXPECT_EQ(s->getValue(), 10);
    s->dragBy(-20 * t.size.width, 0);
    EXPECT_EQ(s->getValue(), 0);
    s->endDrag();
    // The wheel moves by a twentieth of the range and stops at the maximum.
    for (int i = 0; i < 3; ++i)
        EXPECT_TRUE(s->onMouseWheel(1, t.position.x + 5, 10));
    EXPECT_NEAR(s->getValue(), 1.5, 1e-9);
    for (int i = 0; i < 30; ++i)
        s->onMouseWheel(1, t.position.x + 5, 10);
    EXPECT_EQ(s->getValue(), 10);
    EXPECT_FALSE(s->onMouseWheel(-1, 1, 10)); // on the name
    // Keys with the focus (the click gave it).
    ASSERT_TRUE(s->hasFocus());
    EXPECT_TRUE(s->onKeyDown(GUI_SPECIAL_LEFT, true));
    EXPECT_NEAR(s->getValue(), 9.5, 1e-9);
    EXPECT_TRUE(s->onKeyDown(GUI_SPECIAL_HOME, true));
    EXPECT_EQ(s->getValue(), 0);
    s->onKeyDown(GUI_SPECIAL_DOWN, true);
    EXPECT_EQ(s->getValue(), 0);
    EXPECT_TRUE(s->onKeyDown(GUI_SPECIAL_END, true));
    EXPECT_EQ(s->getValue(), 10);
    EXPECT_FALSE(s->onKeyDown('5', false));
    // Inactive: nothing takes effect.
    s->setEnabled(false);
    EXPECT_FALSE(s->onClick(0, t.position.x + 2, 10));
    EXPECT_FALSE(s->onMouseWheel(-1, t.position.x + 5, 10));
    EXPECT_FALSE(s->beginDrag(t.position.x, 10, dragged, axes));
    EXPECT_EQ(s->getValue(), 10);
    EXPECT_TRUE(commands().empty()); // the owner reads the value
}

TEST_F(Controls, SliderRangesThatChangeWhileShown)
{
    auto s = slider(8);
    s->setRange(0, 5);
    EXPECT_EQ(s->getValue(), 5);
    s->setRange(7, 3); // either order
    EXPECT_EQ(s->getMinimum(), 3);
    EXPECT_EQ(s->getMaximum(), 7);
    EXPECT_EQ(s->getValue(), 5);
    s->setRange(NAN, 1);
    EXPECT_EQ(s->getMaximum(), 7);
    s->setValue(NAN);
    EXPECT_EQ(s->getValue(), 5);
    // An empty range: the bar shows nothing instead of dividing by zero.
    s->setRange(2, 2);
    EXPECT_EQ(s->getValue(), 2);
    EXPECT_EQ(s->fraction(), 0);
    const oxGuiSlider::Track t = s->track();
    s->onMouseWheel(1, t.position.x + 5, 10);
    EXPECT_EQ(s->getValue(), 2);
    // A drag reads the range of the moment it moves.
    s->setRange(0, 10);
    oxGuiElement* dragged = nullptr;
    int axes = 0;
    ASSERT_TRUE(s->beginDrag(t.position.x + t.size.width / 2, 10, dragged, axes));
    s->setRange(0, 100);
    s->dragBy(0, 0);
    EXPECT_NEAR(s->getValue(), 100.0 * (t.size.width / 2) / t.size.width, 1e-9);
    s->setRange(0, 1);
    s->dragBy(0, 0);
    EXPECT_LE(s->getValue(), 1);
    s->endDrag();
}

TEST_F(Controls, SliderTakesTypedValuesWithinItsRange)
{
    auto s = slider(4);
    auto answer = [&](const std::string& typed) {
        app.script.push_back([&, typed] {
            app.type("\x01"); // the old value is selected anyway
            app.type(typed);
            app.type("\r");
        });
    };
    answer("25");
    EXPECT_TRUE(s->onClick(0, 2, 10)); // on the name
    EXPECT_EQ(app.runs, 1);
    EXPECT_EQ(s->getValue(), 10);
    answer("-3");
    s->onClick(0, 359, 10); // on the value
    EXPECT_EQ(s->getValue(), 0);
    answer("7.25");
    s->onClick(0, 2, 10);
    EXPECT_EQ(s->getValue(), 7.25);
    // Not a number: the value stays and a warning says so.
    answer("many");
    bool warned = false;
    app.script.push_back([&] {
        auto* ok = dynamic_cast<oxGuiButton*>(focusedElement());
        warned = ok && ok->getCommand() == GUI_CMD_OK && !dynamic_cast<oxGuiEdit*>(focusedElement());
        app.type("\r");
    });
    s->onClick(0, 2, 10);
    EXPECT_TRUE(warned);
    EXPECT_EQ(s->getValue(), 7.25);
    // Cancelled: nothing changes.
    app.script.push_back([&] {
        app.type("3");
        app.type("\x1b");
    });
    s->onClick(0, 2, 10);
    EXPECT_EQ(s->getValue(), 7.25);
    EXPECT_EQ(app.runs, 6);
}

TEST_F(Controls, ProgressBarShowsRoundedValueOfMaximumAndTakesNoInput)
{
    oxGuiProgressBar bar;
    bar.setRange(0, 10);
    bar.setValue(2.6);
    EXPECT_EQ(bar.valueText(), "3/10");
    bar.setValue(2.4);
    EXPECT_EQ(bar.valueText(), "2/10");
    bar.setRange(0, 99.5);
    bar.setValue(500);
    EXPECT_EQ(bar.valueText(), "100/100");
    bar.setTextHeight(20);
    bar.setPosition({0, 0});
    const oxGuiSlider::Track t = bar.track();
    EXPECT_FALSE(bar.onClick(0, t.position.x + 3, 10));
    EXPECT_FALSE(bar.onMouseWheel(1, t.position.x + 3, 10));
    oxGuiElement* dragged = nullptr;
    int axes = 0;
    EXPECT_FALSE(bar.beginDrag(t.position.x + 3, 10, dragged, axes));
    EXPECT_FALSE(bar.acceptsFocus());
    EXPECT_EQ(bar.getValue(), 99.5);
    EXPECT_EQ(app.runs, 0);
}

namespace {

class Split : public oxGuiHSplitter {
public:
    using oxGuiHSplitter::oxGuiHSplitter;
    void onSplitMoved(int oldWidth, int newWidth) override { moves.emplace_back(oldWidth, newWidth); }
    std::vector<std::pair<int, int>> moves;
};

} // namespace

TEST_F(Controls, SplitterKeepsItsTargetWithinTheLimits)
{
    app.windowWidth = 800;
    oxGuiHSizer row;
    Probe* target = row.addChild(probe("tree", nullptr, {200, 100}));
    Split* bar = row.addChild(std::make_unique<Split>(target));
    row.addChild(std::make_unique<oxGuiFlexi>(1, 0));
    EXPECT_EQ(bar->getSize(), (oxGuiSize{5, defaultGuiStyle.textHeight}));
    EXPECT_EQ(bar->getStretch(), (oxGuiSize{0, 1}));
    row.setTextHeight(20);
    row.setSize({800, 100});
    row.setPosition({0, 0});
    oxGuiElement* dragged = nullptr;
    int axes = 0;
    EXPECT_FALSE(bar->beginDrag(100, 50, dragged, axes)); // on the target
    ASSERT_TRUE(bar->beginDrag(202, 50, dragged, axes));
    EXPECT_EQ(dragged, bar);
    EXPECT_EQ(axes, 1);
    bar->dragBy(-100, 7);
    EXPECT_EQ(target->getSize(), (oxGuiSize{100, 100}));
    bar->dragBy(-500, 0);
    EXPECT_EQ(target->getSize().width, 50); // the smallest width
    // Back from the limit: the bar is where the pointer is again.
    bar->dragBy(550, 0);
    EXPECT_EQ(target->getSize().width, 150);
    bar->dragBy(5000, 0);
    EXPECT_EQ(target->getSize().width, 750); // 50 of the window stay
    bar->endDrag();
    EXPECT_EQ(bar->moves, (std::vector<std::pair<int, int>>{{200, 750}}));
    bar->endDrag(); // no drag runs: nothing reported
    EXPECT_EQ(bar->moves.size(), 1u);
    // Own limits, and a window too narrow for both.
    bar->setLimits(80, 300);
    ASSERT_TRUE(bar->beginDrag(bar->getPosition().x + 2, 50, dragged, axes));
    bar->dragBy(1000, 0);
    EXPECT_EQ(target->getSize().width, 300);
    app.windowWidth = 100;
    bar->dragBy(0, 0);
    EXPECT_EQ(target->getSize().width, 20);
    app.windowWidth = 50;
    bar->dragBy(0, 0);
    EXPECT_EQ(target->getSize().width, 0); // never negative
    bar->endDrag();
}
