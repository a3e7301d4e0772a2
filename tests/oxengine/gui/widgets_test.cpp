#include "guitest.h"

#include "oxengine/gui/checkbox.h"

TEST(GuiLabel, SizeIsTheMeasuredTextLineByLine)
{
    oxGuiLabel label("Short\nA longer line");
    label.setTextHeight(20);
    const oxGuiSize twoLines = label.getSize();
    label.setText("One line"); // measured at the next setTextHeight
    const oxGuiSize stored = label.getSize();
    label.setTextHeight(40);
    EXPECT_EQ(std::vector({twoLines, stored, label.getSize()}),
              (std::vector<oxGuiSize>{{int(textWidth("A longer line", 20)), 40}, twoLines, {int(textWidth("One line", 40)), 40}}));
}

using GuiButtons = GuiTest;

TEST_F(GuiButtons, ClicksAndKeysPostTheCommandOnlyWhileActiveAndToggleCheckboxes)
{
    oxGuiButton ok(GUI_CMD_OK, "OK"), cancel(GUI_CMD_CANCEL, "Cancel"), other(5, "Other"), none(0, "Nothing");
    ok.setTextHeight(20); // 60 x 20: at least three text heights
    EXPECT_FALSE(ok.onClick(0, 60, 5) || ok.onClick(2, 5, 5)); // on its right edge (half-open), not the left button
    EXPECT_TRUE(ok.onClick(0, 59, 19));
    // Enter and Escape belong to the confirming and cancelling buttons.
    EXPECT_TRUE(ok.onKeyDown(13, false));
    EXPECT_FALSE(ok.onKeyDown(27, false) || ok.onKeyDown(13, true)); // 13 special is another key
    EXPECT_TRUE(cancel.onKeyDown(27, false));
    EXPECT_FALSE(cancel.onKeyDown(13, false) || other.onKeyDown(13, false));
    EXPECT_FALSE(other.onKeyDown(32, false)); // Space only with the focus
    setFocus(&other);
    EXPECT_TRUE(other.onKeyDown(32, false));
    none.click(); // command 0 posts nothing
    EXPECT_EQ(take(), (Log{"cmd1", "cmd1", "cmd8", "cmd5"}));

    ok.setEnabled(false);
    EXPECT_FALSE(ok.onClick(0, 5, 5) || ok.onKeyDown(13, false));
    ok.click();
    ok.setEnabled(true), ok.setVisible(false);
    EXPECT_FALSE(ok.onClick(0, 5, 5));
    // A modal button ends its panel with its code instead of posting it.
    oxGuiModalPanel panel;
    oxGuiModalButton(&panel, GUI_CMD_CANCEL, "Cancel").click();
    EXPECT_EQ(panel.result(), GUI_CMD_CANCEL);
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
}

TEST(GuiPanel, ContentSitsInsideTheMarginsAndCentresInTheWindow)
{
    GuiTestApp app;
    oxGuiPanel panel(probe("content", nullptr, {40, 30}));
    panel.setBgColour({10, 20, 30, 170});
    EXPECT_EQ(panel.content()->getBgColour(), (oxColour{10, 20, 30, 0})); // drawn on the panel's background
    panel.setSize({100, 50});
    panel.setPosition({7, 9});
    EXPECT_EQ(std::pair(panel.content()->getSize(), panel.content()->getPosition()),
              std::pair(oxGuiSize{94, 44}, oxGuiPoint{10, 12}));
    panel.setTextHeight(20);
    EXPECT_EQ(panel.getSize(), (oxGuiSize{46, 36}));
    panel.setSize({1, 1}); // smaller than its margins
    EXPECT_EQ(panel.content()->getSize(), (oxGuiSize{0, 0}));
    app.windowWidth = 800, app.windowHeight = 600;
    panel.setSize({200, 100});
    panel.centreInWindow();
    EXPECT_EQ(panel.getPosition(), (oxGuiPoint{300, 250}));
    panel.setSize({1600, 600});
    panel.centreInWindow(); // shrunk to fit
    EXPECT_EQ(std::pair(panel.getSize(), panel.getPosition()), std::pair(oxGuiSize{800, 300}, oxGuiPoint{0, 150}));
}

namespace {

// A scrollable panel over a 100 x 400 content, with a 100 x 100 viewport at (0, 0), text height 20.
class Scrolling : public testing::Test {
protected:
    void SetUp() override
    {
        panel.setTextHeight(20);
        panel.setSize({106, 106});
        panel.setPosition({0, 0});
    }
    GuiTestApp app;
    Log log;
    oxGuiScrollablePanel panel{probe("content", &log, {100, 400})};
};

} // namespace

TEST_F(Scrolling, WheelStepsAreThreeLinesWithinTheContent)
{
    EXPECT_TRUE(panel.onMouseWheel(-1, 50, 50)); // no hover yet: the content takes it
    panel.onMouseMove(-1, 50, 50);
    std::vector<int> offsets;
    for (int d : {-1, -1, -1, -1, -1, -1, 1, 1, 1, 1, 1, 1}) {
        EXPECT_TRUE(panel.onMouseWheel(d, 50, 50));
        offsets.push_back(panel.scroll().y);
    }
    EXPECT_EQ(offsets, (std::vector<int>{60, 120, 180, 240, 300, 300, 240, 180, 120, 60, 0, 0}));
    EXPECT_TRUE(panel.onClick(0, 10, 10));
    panel.setVisible(false); // hidden, nothing reaches the content
    EXPECT_FALSE(panel.onClick(0, 10, 10) || panel.onMouseWheel(1, 10, 10));
    EXPECT_EQ(log, (Log{"content:wheel", "content:move", "content:click"}));
}

TEST_F(Scrolling, DraggingTheBarOrTheContentMovesThroughTheWholeContent)
{
    panel.setMargins(0, 0, 0, 0);
    panel.setSize({100, 100}); // a 100 high viewport over 400 rows
    EXPECT_EQ(dragAt(panel, 97, 50), Drag(&panel, 2)); // the bar: the rightmost 10 pixels
    std::vector<int> offsets;
    for (int dy : {10, 1000, -2000}) {
        panel.dragBy(0, dy);
        offsets.push_back(panel.scroll().y);
    }
    EXPECT_EQ(offsets, (std::vector<int>{40, 300, 0}));
    panel.endDrag();
    EXPECT_FALSE(panel.isDragging());
    EXPECT_EQ(dragAt(panel, 20, 20), Drag(&panel, 2)); // the content, along the long axis
    panel.setVisible(false);
    EXPECT_EQ(dragAt(panel, 97, 50), NO_DRAG);
}

TEST_F(Scrolling, SizeStaysWithinAThirdOfTheWindowAndEnsureVisibleScrollsAsLittleAsNeeded)
{
    // The bottom of a row at content y (the content starts at 3), and the offset after.
    const int rows[][2] = {{250, 250 - 103}, {200, 147}, {60, 57}, {5000, 300}};
    for (const auto& r : rows) {
        panel.ensureVisible({3, r[0]});
        EXPECT_EQ(panel.scroll().y, r[1]) << r[0];
    }
    panel.setSize({106, 306}); // a larger viewport pulls an offset past the end back
    EXPECT_EQ(panel.scroll().y, 100);
    std::vector<oxGuiSize> sizes;
    for (const auto& [w, h] : {std::pair{300, 900}, {3000, 900}}) {
        app.windowWidth = w, app.windowHeight = h;
        panel.setTextHeight(20);
        sizes.push_back(panel.getSize());
    }
    EXPECT_EQ(sizes, (std::vector<oxGuiSize>{{99, 297}, {106, 297}}));
    panel.setSize({506, 506}); // the content never shrinks below the viewport
    EXPECT_EQ(panel.content()->getSize(), (oxGuiSize{500, 500}));
}
