#include "guitest.h"

#include "oxengine/catalogue.h"
#include "oxengine/graphics/fontmanager.h"
#include "oxengine/gui/checkbox.h"
#include "oxengine/gui/line.h"
#include "oxengine/gui/modal.h"
#include "oxengine/gui/scrollpanel.h"
#include "oxengine/gui/sizers.h"

#include <gtest/gtest.h>

namespace {

// The width of text in the toolkit's font at height h, as the text output
// measures it.
int measured(const std::string& text, double h)
{
    oxTextOutput out;
    out.setFont(GLFontManager::getFont(defaultGuiStyle.fontName));
    out.setMultiLine(true);
    out.setText(text);
    out.setTextHeight(h);
    return int(out.measure().width);
}

class Widgets : public testing::Test {
protected:
    void SetUp() override { app.addGUIEventListener(&listener); }
    GuiTestApp app;
    Log log;
    Behind listener{log};
};

} // namespace

TEST(GuiLabel, SizeIsTheMeasuredTextLineByLine)
{
    oxGuiLabel label("Short\nA longer line");
    label.setTextHeight(20);
    EXPECT_EQ(label.getSize(), (oxGuiSize{measured("A longer line", 20), 40}));
    label.setText("One line"); // stored only
    EXPECT_EQ(label.getSize().height, 40);
    label.setTextHeight(40);
    EXPECT_EQ(label.getSize(), (oxGuiSize{measured("One line", 40), 40}));
    EXPECT_GT(label.getSize().width, 0);
    // UTF-8 texts are measured by characters.
    oxGuiLabel umlaut("\xc3\x9c" "bersicht");
    umlaut.setTextHeight(20);
    EXPECT_EQ(umlaut.getSize().width, measured("\xc3\x9c" "bersicht", 20));
    EXPECT_EQ(oxGuiLabel().getText(), oxGetTranslation(std::string("Label")));
}

TEST(GuiButton, IsAtLeastThreeTextHeightsWideAndCentred)
{
    oxGuiButton ok(GUI_CMD_OK, "OK");
    ok.setTextHeight(20);
    EXPECT_EQ(ok.getSize(), (oxGuiSize{60, 20}));
    EXPECT_EQ(ok.getAlignment(), TA_CENTRE);
    oxGuiButton wide(3, "A rather long caption");
    wide.setTextHeight(20);
    EXPECT_EQ(wide.getSize().width, measured("A rather long caption", 20));
}

TEST_F(Widgets, EnterAndEscapeBelongToTheConfirmingAndCancellingButtons)
{
    oxGuiButton ok(GUI_CMD_OK, "OK"), cancel(GUI_CMD_CANCEL, "Cancel"), other(5, "Other");
    EXPECT_TRUE(ok.onKeyDown(13, false));
    EXPECT_FALSE(ok.onKeyDown(27, false));
    EXPECT_FALSE(ok.onKeyDown(13, true)); // a special key of that number
    EXPECT_TRUE(cancel.onKeyDown(27, false));
    EXPECT_FALSE(cancel.onKeyDown(13, false));
    EXPECT_FALSE(other.onKeyDown(13, false));
    EXPECT_FALSE(other.onKeyDown(32, false)); // Space only with the focus
    setFocus(&other);
    EXPECT_TRUE(other.onKeyDown(32, false));
    app.deliverAll();
    EXPECT_EQ(log, (Log{"cmd1", "cmd8", "cmd5"}));
}

TEST_F(Widgets, InactiveButtonsIgnoreClicksAndKeys)
{
    oxGuiButton ok(GUI_CMD_OK, "OK");
    ok.setTextHeight(20);
    EXPECT_FALSE(ok.onClick(0, 60, 5)); // on its right edge (half-open)
    EXPECT_FALSE(ok.onClick(2, 5, 5));  // not the left button
    EXPECT_TRUE(ok.onClick(0, 59, 19));
    ok.setEnabled(false);
    EXPECT_FALSE(ok.onClick(0, 5, 5));
    EXPECT_FALSE(ok.onKeyDown(13, false));
    ok.click();
    ok.setEnabled(true);
    ok.setVisible(false);
    EXPECT_FALSE(ok.onClick(0, 5, 5));
    app.deliverAll();
    EXPECT_EQ(log, (Log{"cmd1"}));
}

TEST_F(Widgets, HoverFollowsThePointer)
{
    oxGuiButton b(2, "Hover");
    b.setTextHeight(20);
    b.setPosition({100, 100});
    b.onMouseMove(-1, 110, 110);
    EXPECT_TRUE(b.isHovered());
    b.onMouseMove(-1, 100 + b.getSize().width, 110);
    EXPECT_FALSE(b.isHovered());
}

TEST_F(Widgets, CheckboxTogglesByClickAndKeyboard)
{
    oxGuiCheckbox quiet(0, "Quiet");
    quiet.setTextHeight(20);
    EXPECT_EQ(quiet.getSize().width, 60 + measured("O ", 20));
    EXPECT_EQ(quiet.getAlignment(), TA_LEFT);
    EXPECT_TRUE(quiet.onClick(0, 5, 5));
    EXPECT_TRUE(quiet.isChecked());
    setFocus(&quiet);
    EXPECT_TRUE(quiet.onKeyDown(32, false));
    EXPECT_FALSE(quiet.isChecked());
    app.deliverAll();
    EXPECT_TRUE(log.empty()); // command 0 posts nothing

    oxGuiCheckbox resize(301, "Resize image:");
    resize.click();
    resize.setChecked(false); // posts nothing
    resize.setEnabled(false);
    resize.click();
    EXPECT_FALSE(resize.isChecked());
    app.deliverAll();
    EXPECT_EQ(log, (Log{"cmd301"}));
}

TEST(GuiLine, IsHalfATextHighWithABlendedColour)
{
    oxGuiHLine line;
    EXPECT_EQ(line.getSize(), (oxGuiSize{100, 10}));
    EXPECT_EQ(line.getFgColour(), defaultGuiStyle.bgColour.blend(defaultGuiStyle.fgColour, 0.3f));
    line.setTextHeight(25);
    EXPECT_EQ(line.getSize(), (oxGuiSize{100, 12}));
}

TEST(GuiPanel, ContentSitsInsideTheMarginsOnATransparentBackground)
{
    oxGuiPanel panel(probe("content", nullptr, {40, 30}));
    panel.setBgColour({10, 20, 30, 170});
    EXPECT_EQ(panel.content()->getBgColour(), (oxColour{10, 20, 30, 0}));
    panel.setSize({100, 50});
    panel.setPosition({7, 9});
    EXPECT_EQ(panel.content()->getSize(), (oxGuiSize{94, 44}));
    EXPECT_EQ(panel.content()->getPosition(), (oxGuiPoint{10, 12}));
    panel.setTextHeight(20);
    EXPECT_EQ(panel.getSize(), (oxGuiSize{46, 36}));
    panel.setMargins(1, 20, 1, 1);
    panel.setSize({100, 50});
    EXPECT_EQ(panel.content()->getSize(), (oxGuiSize{98, 29}));
    panel.setSize({1, 1}); // smaller than its margins
    EXPECT_EQ(panel.content()->getSize(), (oxGuiSize{0, 0}));
}

TEST(GuiPanel, CentresInTheWindowAndShrinksToFit)
{
    GuiTestApp app;
    app.windowWidth = 800, app.windowHeight = 600;
    oxGuiPanel panel(probe("content", nullptr));
    panel.setSize({200, 100});
    panel.centreInWindow();
    EXPECT_EQ(panel.getPosition(), (oxGuiPoint{300, 250}));
    panel.setSize({1600, 600});
    panel.centreInWindow();
    EXPECT_EQ(panel.getSize(), (oxGuiSize{800, 300}));
    EXPECT_EQ(panel.getPosition(), (oxGuiPoint{0, 150}));
}

namespace {

// A scrollable panel over a 100 x 400 content, with a 100 x 100 viewport
// at (0, 0), text height 20.
class Scrolling : public testing::Test {
protected:
    void SetUp() override
    {
        panel.setTextHeight(20);
        panel.setSize({106, 106});
        panel.setPosition({0, 0});
    }
    GuiTestApp app;
    oxGuiScrollablePanel panel{probe("content", nullptr, {100, 400})};
};

} // namespace

TEST_F(Scrolling, NeverAsksForMoreThanAThirdOfTheWindow)
{
    EXPECT_EQ(panel.getStretch(), (oxGuiSize{1, 1}));
    app.windowWidth = 300, app.windowHeight = 900;
    panel.setTextHeight(20);
    EXPECT_EQ(panel.getSize(), (oxGuiSize{99, 297}));
    app.windowWidth = 3000;
    panel.setTextHeight(20);
    EXPECT_EQ(panel.getSize(), (oxGuiSize{106, 297}));
    // The content never shrinks below the viewport.
    panel.setSize({506, 506});
    EXPECT_EQ(panel.content()->getSize(), (oxGuiSize{500, 500}));
}

TEST_F(Scrolling, WheelStepsAreThreeLinesWithinTheContent)
{
    EXPECT_TRUE(panel.onMouseWheel(-1, 50, 50)); // no hover yet: the content takes it
    EXPECT_EQ(panel.scroll().y, 0);
    panel.onMouseMove(-1, 50, 50);
    ASSERT_TRUE(panel.isHovered());
    EXPECT_TRUE(panel.onMouseWheel(-1, 50, 50));
    EXPECT_EQ(panel.scroll().y, 60);
    for (int i = 0; i < 10; ++i)
        panel.onMouseWheel(-1, 50, 50);
    EXPECT_EQ(panel.scroll().y, 300);
    for (int i = 0; i < 10; ++i)
        panel.onMouseWheel(1, 50, 50);
    EXPECT_EQ(panel.scroll().y, 0);
    panel.onMouseMove(-1, 500, 50);
    EXPECT_FALSE(panel.isHovered());
}

TEST_F(Scrolling, DraggingTheBarMovesThroughTheWholeContent)
{
    // Without margins: a 100 high viewport over 400 rows.
    panel.setMargins(0, 0, 0, 0);
    panel.setSize({100, 100});
    oxGuiElement* dragged = nullptr;
    int axes = 0;
    // The vertical bar is the rightmost 10 pixels.
    EXPECT_TRUE(panel.beginDrag(97, 50, dragged, axes));
    EXPECT_EQ(dragged, &panel);
    EXPECT_EQ(axes, 2);
    EXPECT_TRUE(panel.isDragging());
    panel.dragBy(0, 10);
    EXPECT_EQ(panel.scroll().y, 40);
    panel.dragBy(0, 1000);
    EXPECT_EQ(panel.scroll().y, 300);
    panel.dragBy(0, -2000);
    EXPECT_EQ(panel.scroll().y, 0);
    panel.endDrag();
    EXPECT_FALSE(panel.isDragging());
    // Elsewhere on the panel, the content is dragged along the long axis.
    EXPECT_TRUE(panel.beginDrag(20, 20, dragged, axes));
    EXPECT_EQ(axes, 2);
    panel.setVisible(false);
    EXPECT_FALSE(panel.beginDrag(97, 50, dragged, axes));
}

TEST_F(Scrolling, HiddenPanelsPassNothingToTheirContent)
{
    Log log;
    oxGuiScrollablePanel hidden(probe("inside", &log, {100, 100}));
    hidden.setSize({106, 106});
    hidden.setPosition({0, 0});
    hidden.onMouseMove(-1, 10, 10);
    EXPECT_TRUE(hidden.onClick(0, 10, 10));
    hidden.setVisible(false);
    EXPECT_FALSE(hidden.onClick(0, 10, 10));
    EXPECT_FALSE(hidden.onMouseWheel(1, 10, 10));
    EXPECT_EQ(log, (Log{"inside:move", "inside:click"}));
}

TEST_F(Scrolling, EnsureVisibleScrollsAsLittleAsNeeded)
{
    // The bottom of a row at content y 250 (the content starts at 3).
    panel.ensureVisible({3, 250});
    EXPECT_EQ(panel.scroll().y, 250 - 103);
    panel.ensureVisible({3, 200}); // visible already
    EXPECT_EQ(panel.scroll().y, 147);
    panel.ensureVisible({3, 60}); // above: scrolled up to put it at the top
    EXPECT_EQ(panel.scroll().y, 57);
    panel.ensureVisible({3, 5000});
    EXPECT_EQ(panel.scroll().y, 300); // never past the end
    // A larger viewport pulls an offset past the end back.
    panel.setSize({106, 306});
    EXPECT_EQ(panel.scroll().y, 100);
}
