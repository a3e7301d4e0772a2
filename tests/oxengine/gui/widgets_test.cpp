// Labels, buttons, panels, lists, sliders, progress bars and splitters without a display.
#include "guitest.h"

#include "oxengine/gui/checkbox.h"
#include "oxengine/gui/list.h"
#include "oxengine/gui/progressbar.h"
#include "oxengine/gui/splitter.h"

#include <cmath>

using Widgets = GuiTest;

TEST_F(Widgets, InputWithinTheirLimits)
{
    oxGuiButton ok(GUI_CMD_OK, "OK"), cancel(GUI_CMD_CANCEL, "Cancel"), other(5, "Other"), none(0, "Nothing");
    ok.setTextHeight(20); // 60 x 20: at least three text heights
    EXPECT_FALSE(ok.onClick(0, 60, 5) || ok.onClick(2, 5, 5)); // on its right edge (half-open), not the left button
    EXPECT_TRUE(ok.onClick(0, 59, 19));
    // Enter and Escape belong to the confirming and cancelling buttons (which they press: the modal runs).
    EXPECT_FALSE(ok.onKeyDown(27, false) || cancel.onKeyDown(13, false) || other.onKeyDown(13, false));
    EXPECT_FALSE(other.onKeyDown(32, false)); // Space only with the focus
    setFocus(&other);
    EXPECT_TRUE(other.onKeyDown(32, false));
    none.click(); // command 0 posts nothing
    EXPECT_EQ(take(), (Log{"cmd1", "cmd5"}));

    ok.setEnabled(false);
    EXPECT_FALSE(ok.onClick(0, 5, 5) || ok.onKeyDown(13, false));
    ok.click();
    ok.setEnabled(true), ok.setVisible(false);
    EXPECT_FALSE(ok.onClick(0, 5, 5));
    EXPECT_TRUE(take().empty());

    // A checkbox toggles by click and keyboard; the owner's change posts nothing.
    oxGuiCheckbox quiet(0, "Quiet"), resize(301, "Resize image:");
    quiet.setTextHeight(20);
    EXPECT_TRUE(quiet.onClick(0, 5, 5) && quiet.isChecked());
    setFocus(&quiet);
    EXPECT_TRUE(quiet.onKeyDown(32, false) && !quiet.isChecked());
    resize.click();
    resize.setChecked(false);
    resize.setEnabled(false);
    resize.click();
    EXPECT_FALSE(resize.isChecked());
    EXPECT_EQ(take(), (Log{"cmd301"}));

    // A label is its measured text, line by line.
    oxGuiLabel label("Short\nA longer line");
    label.setTextHeight(20);
    EXPECT_EQ(label.getSize(), (oxGuiSize{int(textWidth("A longer line", 20)), 40}));
    // A panel's content sits inside its margins; the panel shrinks to fit the window.
    oxGuiPanel panel(probe("content", nullptr, {40, 30}));
    panel.setSize({100, 50});
    panel.setPosition({7, 9});
    EXPECT_EQ(std::pair(panel.content()->getSize(), panel.content()->getPosition()),
              std::pair(oxGuiSize{94, 44}, oxGuiPoint{10, 12}));
    panel.setTextHeight(20);
    EXPECT_EQ(panel.getSize(), (oxGuiSize{46, 36}));
    panel.setSize({1, 1}); // smaller than its margins
    EXPECT_EQ(panel.content()->getSize(), (oxGuiSize{0, 0}));
    app.windowWidth = 800, app.windowHeight = 600;
    panel.setSize({1600, 600});
    panel.centreInWindow(); // shrunk to fit (centring alone: the dialog tests)
    EXPECT_EQ(std::pair(panel.getSize(), panel.getPosition()), std::pair(oxGuiSize{800, 300}, oxGuiPoint{0, 150}));

    // A scrollable panel over a 100 x 400 content, with a 100 x 100 viewport at (0, 0), text height 20.
    oxGuiScrollablePanel scroller(probe("content", &log, {100, 400}));
    scroller.setTextHeight(20);
    scroller.setSize({106, 106});
    scroller.setPosition({0, 0});
    EXPECT_TRUE(scroller.onMouseWheel(-1, 50, 50)); // no hover yet: the content takes it
    scroller.onMouseMove(-1, 50, 50);
    std::vector<int> offsets;
    for (int d : {-1, -1, -1, -1, -1, -1, 1, 1, 1, 1, 1, 1}) {
        EXPECT_TRUE(scroller.onMouseWheel(d, 50, 50));
        offsets.push_back(scroller.scroll().y);
    }
    EXPECT_EQ(offsets, (std::vector<int>{60, 120, 180, 240, 300, 300, 240, 180, 120, 60, 0, 0}));
    EXPECT_TRUE(scroller.onClick(0, 10, 10));
    scroller.setVisible(false); // hidden, nothing reaches the content
    EXPECT_FALSE(scroller.onClick(0, 10, 10) || scroller.onMouseWheel(1, 10, 10));
    EXPECT_EQ(take(), (Log{"content:wheel", "content:move", "content:click"}));

    // Dragging the bar or the content moves through the whole content.
    scroller.setVisible(true);
    scroller.setMargins(0, 0, 0, 0);
    scroller.setSize({100, 100}); // a 100 high viewport over 400 rows
    EXPECT_EQ(dragAt(scroller, 97, 50), Drag(&scroller, 2)); // the bar: the rightmost 10 pixels
    offsets.clear();
    for (int dy : {10, 1000, -2000}) {
        scroller.dragBy(0, dy);
        offsets.push_back(scroller.scroll().y);
    }
    EXPECT_EQ(offsets, (std::vector<int>{40, 300, 0}));
    scroller.endDrag();
    EXPECT_FALSE(scroller.isDragging());
    EXPECT_EQ(dragAt(scroller, 20, 20), Drag(&scroller, 2)); // the content, along the long axis
    scroller.setVisible(false);
    EXPECT_EQ(dragAt(scroller, 97, 50), NO_DRAG);

    // Back in its frame: the bottom of a row at content y (the content starts at 3), and the offset after.
    const int rows[][2] = {{250, 250 - 103}, {200, 147}, {60, 57}, {5000, 300}};
    scroller.setMargins(3, 3, 3, 3);
    scroller.setSize({106, 106});
    for (const auto& r : rows) {
        scroller.ensureVisible({3, r[0]});
        EXPECT_EQ(scroller.scroll().y, r[1]) << r[0];
    }
    scroller.setSize({106, 306}); // a larger viewport pulls an offset past the end back
    EXPECT_EQ(scroller.scroll().y, 100);
    scroller.setSize({506, 506}); // the content never shrinks below the viewport
    EXPECT_EQ(scroller.content()->getSize(), (oxGuiSize{500, 500}));

    // Three rows at (0, 0), text height 20: rows at inner y 0, 20, 40.
    auto list = std::make_unique<oxGuiList>(std::vector<std::string>{"JPEG", "PNG", "TGA"});
    list->setTextHeight(20);
    list->setPosition({0, 0});
    list->setSelectCommand(40);
    EXPECT_FALSE(list->onKeyDown(GUI_SPECIAL_DOWN, true)); // no focus yet
    std::vector<int> chosen; // -9: not taken
    // Rows, margins (no row) and another button; a click on the chosen row posts nothing.
    for (const auto& [button, y] : {std::pair{0, 3 + 25}, {0, 3 + 39}, {0, 3 + 40}, {0, 1}, {0, 3 + 60}, {1, 10}})
        chosen.push_back(list->onClick(button, 10, y) ? list->getSelected() : -9);
    EXPECT_FALSE(list->onKeyDown('x', false));
    for (int key : {GUI_SPECIAL_DOWN, GUI_SPECIAL_HOME, GUI_SPECIAL_UP, GUI_SPECIAL_DOWN})
        chosen.push_back(list->onKeyDown(key, true) ? list->getSelected() : -9);
    // The wheel over the list: towards the user is down the list.
    for (int d : {1, -1, -1})
        chosen.push_back(list->onMouseWheel(d, 10, 10) ? list->getSelected() : -9);
    EXPECT_FALSE(list->onMouseWheel(-1, 500, 10)); // not over it
    EXPECT_EQ(chosen, (std::vector<int>{1, 1, 2, -9, -9, -9, 2, 0, 0, 1, 0, 1, 2}));
    list->setSize({100, 96}); // stretched to 30 per row, the rows follow
    EXPECT_TRUE(list->onClick(0, 10, 3 + 31));
    list->setEnabled(false);
    EXPECT_FALSE(list->onClick(0, 10, 3 + 70));
    EXPECT_EQ(take(), Log(8, "cmd40")); // only changes post
    EXPECT_FALSE(oxGuiList(std::vector<std::string>{}).acceptsFocus()); // an empty list is skipped by Tab

    // A slider.
    // From 0 to 10 at (0, 0), text height 20, so 360 x 24.
    auto s = std::make_unique<oxGuiSlider>("Gamma", 0.0, 10.0, 2.5);
    s->setTextHeight(20);
    s->setPosition({0, 0});
    EXPECT_EQ(s->valueText(), "2.5");
    const oxGuiSlider::Track t = s->track();
    const int w = t.size.width, x0 = t.position.x;
    EXPECT_TRUE(s->onClick(0, x0 + w / 2, 10));
    EXPECT_NEAR(s->getValue(), 10.0 * (w / 2) / w, 1e-9);
    // A drag follows the pointer and stops at the ends.
    ASSERT_EQ(dragAt(*s, x0, 10), Drag(s.get(), 1));
    std::vector<double> values{s->getValue()};
    for (int dx : {w / 4, 10 * w, -20 * w}) {
        s->dragBy(dx, 0);
        values.push_back(s->getValue());
    }
    s->endDrag();
    EXPECT_EQ(values, (std::vector<double>{0, 10.0 * (w / 4) / w, 10, 0}));
    // The wheel moves by a twentieth of the range and stops at the maximum.
    for (int i = 0; i < 3; ++i)
        EXPECT_TRUE(s->onMouseWheel(1, x0 + 5, 10));
    EXPECT_NEAR(s->getValue(), 1.5, 1e-9);
    for (int i = 0; i < 30; ++i)
        s->onMouseWheel(1, x0 + 5, 10);
    EXPECT_EQ(s->getValue(), 10);
    EXPECT_FALSE(s->onMouseWheel(-1, 1, 10)); // on the name
    // Keys with the focus (the click gave it).
    values.clear();
    for (int key : {GUI_SPECIAL_LEFT, GUI_SPECIAL_HOME, GUI_SPECIAL_DOWN, GUI_SPECIAL_END})
        values.push_back(s->onKeyDown(key, true) ? s->getValue() : -1);
    EXPECT_EQ(values, (std::vector<double>{9.5, 0, 0, 10}));
    EXPECT_FALSE(s->onKeyDown('5', false));
    s->setEnabled(false); // inactive: nothing takes effect
    EXPECT_FALSE(s->onClick(0, x0 + 2, 10) || s->onMouseWheel(-1, x0 + 5, 10));
    EXPECT_EQ(dragAt(*s, x0, 10), NO_DRAG);
    EXPECT_EQ(s->getValue(), 10);
    EXPECT_TRUE(take().empty()); // the owner reads the value

    // Ranges that change while it is shown.
    s->setEnabled(true);
    s->setValue(8);
    s->setRange(0, 5);
    EXPECT_EQ(s->getValue(), 5);
    s->setRange(7, 3); // either order
    s->setRange(NAN, 1);
    s->setValue(NAN);
    EXPECT_EQ(std::vector({s->getMinimum(), s->getMaximum(), s->getValue()}), (std::vector<double>{3, 7, 5}));
    // An empty range: the bar shows nothing instead of dividing by zero.
    s->setRange(2, 2);
    s->onMouseWheel(1, x0 + 5, 10);
    EXPECT_EQ(std::pair(s->getValue(), s->fraction()), std::pair(2.0, 0.0));
    // A drag reads the range of the moment it moves.
    s->setRange(0, 10);
    ASSERT_EQ(dragAt(*s, x0 + w / 2, 10), Drag(s.get(), 1));
    s->setRange(0, 100);
    s->dragBy(0, 0);
    EXPECT_NEAR(s->getValue(), 100.0 * (w / 2) / w, 1e-9);
    s->setRange(0, 1);
    s->dragBy(0, 0);
    EXPECT_LE(s->getValue(), 1);
    s->endDrag();

    // Clicks on the name or the value ask for a number (the old one selected), kept within the range.
    s->setRange(0, 10);
    s->setValue(4);
    const struct {
        const char* typed;
        int x;
        double value;
    } answers[] = {{"25\r", 2, 10}, {"-3\r", 359, 0}, {"7.25\r", 2, 7.25}, {"3\x1b", 2, 7.25}};
    for (const auto& a : answers) {
        app.script.push_back([&] { app.type(a.typed); });
        EXPECT_TRUE(s->onClick(0, a.x, 10));
        EXPECT_EQ(s->getValue(), a.value) << a.typed;
    }
    // Not a number: the value stays and a warning says so.
    bool warned = false;
    app.script.push_back([&] { app.type("many\r"); });
    app.script.push_back([&] {
        auto* ok = dynamic_cast<oxGuiButton*>(focusedElement());
        warned = ok && ok->getCommand() == GUI_CMD_OK && !dynamic_cast<oxGuiEdit*>(focusedElement());
        app.type("\r");
    });
    s->onClick(0, 2, 10);
    EXPECT_TRUE(warned);
    EXPECT_EQ(s->getValue(), 7.25);
    EXPECT_EQ(app.runs, 6);

    // A progress bar shows its rounded value of the maximum and takes no input.
    oxGuiProgressBar bar;
    bar.setRange(0, 10);
    bar.setValue(2.6);
    const std::string rounded = bar.valueText();
    bar.setRange(0, 99.5);
    bar.setValue(500);
    EXPECT_EQ(std::pair(rounded, bar.valueText()), (std::pair<std::string, std::string>("3/10", "100/100")));
    bar.setTextHeight(20);
    bar.setPosition({0, 0});
    EXPECT_FALSE(bar.onClick(0, bar.track().position.x + 3, 10) || bar.acceptsFocus());

    // A splitter keeps its target within the limits.
    class Split : public oxGuiHSplitter {
    public:
        using oxGuiHSplitter::oxGuiHSplitter;
        void onSplitMoved(int oldWidth, int newWidth) override { moves.emplace_back(oldWidth, newWidth); }
        std::vector<std::pair<int, int>> moves;
    };
    app.windowWidth = 800;
    oxGuiHSizer row;
    Probe* target = row.addChild(probe("tree", nullptr, {200, 100}));
    Split* split = row.addChild(std::make_unique<Split>(target));
    row.addChild(std::make_unique<oxGuiFlexi>(1, 0));
    row.setTextHeight(20);
    row.setSize({800, 100});
    row.setPosition({0, 0});
    EXPECT_EQ(dragAt(*split, 100, 50), NO_DRAG); // on the target
    ASSERT_EQ(dragAt(*split, 202, 50), Drag(split, 1));
    // At least 50 wide and 50 of the (shrinking) window left; back from a limit the split is under the pointer.
    const auto drag = [&](std::vector<std::pair<int, int>> steps) {
        std::vector<int> widths;
        for (const auto& [dx, window] : steps) {
            app.windowWidth = window;
            split->dragBy(dx, 7);
            widths.push_back(target->getSize().width);
        }
        split->endDrag();
        return widths;
    };
    EXPECT_EQ(drag({{-100, 800}, {-500, 800}, {550, 800}, {5000, 800}}), (std::vector<int>{100, 50, 150, 750}));
    split->endDrag(); // no drag runs: nothing reported
    EXPECT_EQ(split->moves, (std::vector<std::pair<int, int>>{{200, 750}}));
    ASSERT_EQ(dragAt(*split, split->getPosition().x + 2, 50), Drag(split, 1));
    EXPECT_EQ(drag({{0, 100}, {0, 50}}), (std::vector<int>{50, 0})); // a shrunk window wins; never negative
}
