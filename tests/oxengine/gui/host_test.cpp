#include "guitest.h"

#include "oxengine/gui/button.h"
#include "oxengine/gui/modal.h"
#include "oxengine/gui/scrollpanel.h"
#include "oxengine/gui/sizers.h"

#include <GL/freeglut_std.h>
#include <gtest/gtest.h>

namespace {

// A host registered with an application, with a draggable probe "d" at
// (0, 0) and a probe "other" at (100, 0), both 50 x 50.
class HostInput : public testing::Test {
protected:
    void SetUp() override
    {
        app.addGUIEventListener(&host);
        app.addGUIEventListener(&behind);
        d = host.addElement(probe("d", &log, {50, 50}));
        d->dragAxes = 3;
        other = host.addElement(probe("other", &log, {50, 50}));
        other->setPosition({100, 0});
        d->logMoves = other->logMoves = false;
    }
    GuiTestApp app;
    oxGuiHost host;
    Log log, behindLog;
    Behind behind{behindLog};
    CursorLog cursor;
    Probe* d = nullptr;
    Probe* other = nullptr;
};

} // namespace

TEST_F(HostInput, DragIsCapturedUntilTheLeftReleaseWhereverThePointerIs)
{
    app.handleMouseButton(0, true, 10, 10);
    app.handleMotion(13, 10);  // 3 pixels: below the threshold
    EXPECT_TRUE(CursorLog::shapes().empty());
    app.handleMotion(113, 12); // far over "other"
    EXPECT_EQ(CursorLog::shapes(), (std::vector<int>{GLUT_CURSOR_CYCLE}));
    app.handleMouseButton(2, false, 113, 12); // a right release ends nothing
    EXPECT_EQ(dragState().element, d);
    app.handleMouseButton(0, false, 113, 12);
    EXPECT_EQ(log, (Log{"d:begin", "d:drag(3,0)", "d:drag(100,2)", "d:end"}));
    EXPECT_EQ(CursorLog::shapes(), (std::vector<int>{GLUT_CURSOR_CYCLE, GLUT_CURSOR_INHERIT}));
    EXPECT_EQ(dragState().element, nullptr);
    // The press and release were handled by the host; the right release went on.
    EXPECT_EQ(behindLog, (Log{"button2up"}));
}

TEST_F(HostInput, RightButtonNeverStartsADragAndSmallDragsKeepTheCursor)
{
    app.handleMouseButton(2, true, 10, 10);
    app.handleMotion(40, 40);
    EXPECT_EQ(dragState().element, nullptr);
    EXPECT_TRUE(log.empty());

    app.handleMouseButton(0, true, 10, 10);
    app.handleMotion(11, 11);
    app.handleMotion(12, 12);
    app.handleMotion(13, 12); // 5 in all: not more than the threshold
    app.handleMouseButton(0, false, 13, 12);
    EXPECT_TRUE(CursorLog::shapes().empty()); // never changed, never restored
    EXPECT_EQ(d->moved, (oxGuiPoint{3, 2}));  // motion below the threshold still moves
}

TEST_F(HostInput, DragAlongOneAxisIgnoresTheOther)
{
    d->dragAxes = 1;
    app.handleMouseButton(0, true, 10, 10);
    app.handleMotion(10, 60); // vertical only: no distance
    EXPECT_FALSE(dragState().moved);
    app.handleMotion(17, 90);
    EXPECT_EQ(CursorLog::shapes(), (std::vector<int>{GLUT_CURSOR_LEFT_RIGHT}));
    EXPECT_EQ(d->moved, (oxGuiPoint{7, 0}));
    EXPECT_EQ(dragState().distance, 7);
}

TEST_F(HostInput, EveryMotionMovesTheDragOnceHoweverManyHostsListen)
{
    oxGuiHost second;
    app.addGUIEventListener(&second);
    second.addElement(probe("s", &log, {50, 50}))->setPosition({0, 200});
    app.handleMouseButton(0, true, 10, 10);
    app.handleMotion(30, 10);
    EXPECT_EQ(d->moved, (oxGuiPoint{20, 0}));
}

TEST_F(HostInput, DestroyingTheDraggedElementEndsTheDragSafely)
{
    app.handleMouseButton(0, true, 10, 10);
    app.handleMotion(30, 10);
    EXPECT_TRUE(host.removeElement(d));
    EXPECT_EQ(dragState().element, nullptr);
    EXPECT_EQ(CursorLog::shapes().back(), GLUT_CURSOR_INHERIT);
    app.handleMotion(40, 10);
    app.handleMouseButton(0, false, 40, 10); // nothing left to end: goes on
    EXPECT_EQ(behindLog, (Log{"button0up"}));
}

TEST_F(HostInput, MouseMovesReachEveryElementAndClicksStopAtTheFirstTaker)
{
    other->setPosition({0, 0});
    d->logMoves = other->logMoves = true;
    app.handlePassiveMotion(5, 5);
    EXPECT_EQ(log, (Log{"d:move", "other:move"}));
    log.clear();
    app.handleMouseButton(1, true, 5, 5);
    app.handleMouseButton(1, false, 5, 5);
    app.handleMouseButton(0, true, 5, 5);
    app.handleMouseButton(0, false, 5, 5);
    EXPECT_EQ(log, (Log{"d:begin", "d:end", "d:click"}));
    EXPECT_EQ(behindLog, (Log{"button1down", "button1up", "click1"}));
}

TEST(GuiFocus, FocusMovesWithNoticesAndIsClearedWithItsElement)
{
    Log log;
    auto a = probe("a", &log);
    auto b = probe("b", &log);
    setFocus(a.get());
    setFocus(b.get());
    setFocus(b.get());
    setFocus(nullptr); // never clears
    EXPECT_EQ(log, (Log{"a:focus", "a:blur", "b:focus"}));
    EXPECT_TRUE(b->hasFocus());
    EXPECT_FALSE(a->hasFocus());
    b.reset();
    EXPECT_EQ(focusedElement(), nullptr);
}

TEST(GuiFocus, KeysGoToTheFocusFirstThenToTheElementsInOrder)
{
    Log log;
    oxGuiHost host;
    host.addElement(probe("p1", &log));
    Probe* p2 = host.addElement(probe("p2", &log));
    host.addElement(probe("p0", &log), true);
    p2->handlesKeys = true;
    auto outside = probe("f", &log); // in no host
    setFocus(outside.get());
    log.clear();
    EXPECT_TRUE(host.onKeyDown('a', false));
    EXPECT_EQ(log, (Log{"f:key97", "p0:key97", "p1:key97", "p2:key97"}));

    log.clear();
    outside->handlesKeys = true;
    EXPECT_TRUE(host.onKeyDown('b', false));
    EXPECT_EQ(log, (Log{"f:key98"}));
}

TEST(GuiFocus, TabVisitsTheActiveFocusableElementsInTreeOrder)
{
    Log log;
    oxGuiModalPanel panel(std::make_unique<oxGuiVSizer>());
    auto* column = static_cast<oxGuiVSizer*>(panel.content());
    Probe* a = column->addChild(probe("a", nullptr));
    column->addChild(probe("plain", nullptr));
    auto* row = column->addChild(std::make_unique<oxGuiHSizer>());
    Probe* c = row->addChild(probe("c", nullptr));
    Probe* disabled = row->addChild(probe("disabled", nullptr));
    Probe* hidden = row->addChild(probe("hidden", nullptr));
    for (Probe* p : {a, c, disabled, hidden})
        p->focusable = true;
    disabled->setEnabled(false);
    hidden->setVisible(false);

    std::vector<oxGuiElement*> seen;
    for (int i = 0; i < 4; ++i) {
        EXPECT_TRUE(panel.onKeyDown(9, false));
        seen.push_back(focusedElement());
    }
    EXPECT_EQ(seen, (std::vector<oxGuiElement*>{a, c, a, c}));
    EXPECT_TRUE(focusNext(panel, false));
    EXPECT_EQ(focusedElement(), a);

    // A disabled subtree is skipped as a whole.
    row->setEnabled(false);
    EXPECT_TRUE(focusNext(panel));
    EXPECT_EQ(focusedElement(), a);
    a->setEnabled(false);
    EXPECT_FALSE(focusNext(panel));
}

TEST(GuiTransforms, ClicksHitWhatIsDrawnThroughNestedScrolledPanels)
{
    Log log;
    // An outer scrolled panel holding a 200 high filler and an inner
    // scrolled panel with ten 40 high rows.
    auto outerColumn = std::make_unique<oxGuiVSizer>();
    outerColumn->addChild(probe("filler", &log, {100, 200}));
    auto innerColumn = std::make_unique<oxGuiVSizer>();
    std::vector<Probe*> rows;
    for (int i = 0; i < 10; ++i)
        rows.push_back(innerColumn->addChild(probe("q" + std::to_string(i), &log, {80, 40})));
    auto* inner = outerColumn->addChild(std::make_unique<oxGuiScrollablePanel>(std::move(innerColumn)));
    oxGuiScrollablePanel outer(std::move(outerColumn));
    outer.setTextHeight(20);
    outer.setSize({106, 206});
    outer.setPosition({0, 0});
    inner->setSize({100, 106}); // a 100 high viewport on its 400 high rows
    ASSERT_EQ(inner->getPosition(), (oxGuiPoint{3, 203}));
    ASSERT_EQ(rows[1]->getPosition(), (oxGuiPoint{6, 246}));

    outer.setScroll({0, 150});
    inner->setScroll({0, 40});
    EXPECT_EQ(toWindowPoint(*rows[1], rows[1]->getPosition()), (oxGuiPointD{6, 56}));
    EXPECT_EQ(toElementPoint(*rows[1], {10.0, 60.0}), (oxGuiPoint{10, 250}));
    EXPECT_TRUE(outer.onClick(0, 10, 60));
    EXPECT_EQ(log, (Log{"q1:click"}));

    // Scrolled back, the same window point is over the filler's place.
    log.clear();
    outer.setScroll({0, 0});
    EXPECT_TRUE(outer.onClick(0, 10, 60));
    EXPECT_EQ(log, (Log{"filler:click"}));
    // Outside the outer viewport nothing inside is hit, though rows lie there
    // in content space.
    log.clear();
    EXPECT_FALSE(outer.onClick(0, 10, 300));
    EXPECT_TRUE(log.empty());
}

TEST(GuiTransforms, ButtonsInAScrolledPanelAreHitWhereTheyAreDrawn)
{
    GuiTestApp app;
    Log log;
    Behind listener(log);
    app.addGUIEventListener(&listener);
    auto column = std::make_unique<oxGuiVSizer>();
    for (int i = 0; i < 10; ++i)
        column->addChild(std::make_unique<oxGuiButton>(100 + i, "Row " + std::to_string(i)));
    oxGuiScrollablePanel panel(std::move(column));
    panel.applyStyle(oxGuiStyle{});
    panel.setSize({200, 106});
    panel.setPosition({0, 0});
    panel.setScroll({0, 60}); // rows are 20 high: row 3 starts at the top
    EXPECT_TRUE(panel.onClick(0, 50, 10));
    app.deliverAll();
    EXPECT_EQ(log, (Log{"cmd103"}));
}
