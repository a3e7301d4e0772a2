#include "guitest.h"

#include <GL/freeglut_std.h>

namespace {

std::vector<int> g_cursors;

// A registered host with a draggable 50 x 50 probe "d" at (0, 0) and a probe "other" at (100, 0).
class HostInput : public GuiTest {
protected:
    void SetUp() override
    {
        g_cursors.clear();
        app.addGUIEventListener(&host);
        GuiTest::SetUp();
        d = host.addElement(probe("d", &events, {50, 50}));
        d->dragAxes = 3;
        other = host.addElement(probe("other", &events, {50, 50}));
        other->setPosition({100, 0});
        d->logMoves = other->logMoves = false;
    }
    oxGuiHost host;
    Log events;
    Probe* d = nullptr;
    Probe* other = nullptr;
    Seam<oxGuiCursorSetter> m_cursor{oxSetGuiCursorSetter, [](int shape) { g_cursors.push_back(shape); }};
};

} // namespace

TEST_F(HostInput, DragIsCapturedUntilTheLeftReleaseWhereverThePointerIs)
{
    oxGuiHost second; // every host forwards motion: the drag still moves once
    app.addGUIEventListener(&second);
    second.addElement(probe("s", &events, {50, 50}))->setPosition({0, 200});
    app.handleMouseButton(0, true, 10, 10);
    app.handleMotion(13, 10); // 3 pixels: below the threshold
    EXPECT_TRUE(g_cursors.empty());
    app.handleMotion(113, 12); // far over "other"
    EXPECT_EQ(g_cursors, (std::vector<int>{GLUT_CURSOR_CYCLE}));
    app.handleMouseButton(2, false, 113, 12); // a right release ends nothing
    app.handleMouseButton(0, false, 113, 12);
    EXPECT_EQ(events, (Log{"d:begin", "d:drag(3,0)", "d:drag(100,2)", "d:end"}));
    EXPECT_EQ(g_cursors, (std::vector<int>{GLUT_CURSOR_CYCLE, GLUT_CURSOR_INHERIT}));
    EXPECT_EQ(dragState().element, nullptr);
    // The press and release were the host's; the right release went on.
    EXPECT_EQ(log, (Log{"button2up"}));
}

TEST_F(HostInput, DragThresholdAxesButtonsAndTheDraggedElementDestroyed)
{
    app.handleMouseButton(2, true, 10, 10); // the right button never drags
    app.handleMotion(40, 40);
    app.handleMouseButton(2, false, 40, 40);
    EXPECT_EQ(dragState().element, nullptr);
    EXPECT_TRUE(events.empty());

    app.handleMouseButton(0, true, 10, 10);
    app.handleMotion(11, 11);
    app.handleMotion(13, 12); // 5 in all: not more than the threshold
    app.handleMouseButton(0, false, 13, 12);
    EXPECT_TRUE(g_cursors.empty()); // never changed, never restored
    EXPECT_EQ(d->moved, (oxGuiPoint{3, 2}));  // motion below the threshold still moves

    d->dragAxes = 1, d->moved = {};
    app.handleMouseButton(0, true, 10, 10);
    app.handleMotion(10, 60); // across the axis: no distance
    EXPECT_FALSE(dragState().moved);
    app.handleMotion(17, 90);
    EXPECT_EQ(g_cursors, (std::vector<int>{GLUT_CURSOR_LEFT_RIGHT}));
    EXPECT_EQ(d->moved, (oxGuiPoint{7, 0}));
    EXPECT_EQ(dragState().distance, 7);

    // Destroying the dragged element ends the drag safely.
    log.clear();
    EXPECT_TRUE(host.removeElement(d));
    EXPECT_EQ(dragState().element, nullptr);
    EXPECT_EQ(g_cursors.back(), GLUT_CURSOR_INHERIT);
    app.handleMotion(40, 10);
    app.handleMouseButton(0, false, 40, 10); // nothing left to end: goes on
    EXPECT_EQ(log, (Log{"button0up"}));
}

TEST(GuiFocus, MovesWithNoticesAndKeysGoToItFirst)
{
    Log log;
    oxGuiHost host;
    host.addElement(probe("p1", &log));
    Probe* p2 = host.addElement(probe("p2", &log));
    host.addElement(probe("p0", &log), true);
    p2->handlesKeys = true;
    auto a = probe("a", &log), f = probe("f", &log); // in no host
    setFocus(a.get());
    setFocus(f.get());
    setFocus(f.get());
    setFocus(nullptr); // never clears
    EXPECT_TRUE(f->hasFocus());
    EXPECT_FALSE(a->hasFocus());
    EXPECT_TRUE(host.onKeyDown('a', false));
    EXPECT_EQ(log, (Log{"a:focus", "a:blur", "f:focus", "f:key97", "p0:key97", "p1:key97", "p2:key97"}));
    log.clear();
    f->handlesKeys = true;
    EXPECT_TRUE(host.onKeyDown('b', false));
    EXPECT_EQ(log, (Log{"f:key98"}));
    f.reset(); // a destroyed element loses the focus
    EXPECT_EQ(focusedElement(), nullptr);
}

TEST(GuiFocus, TabVisitsTheActiveFocusableElementsInTreeOrder)
{
    oxGuiModalPanel panel(std::make_unique<oxGuiVSizer>());
    auto* column = static_cast<oxGuiVSizer*>(panel.content());
    Probe* a = column->addChild(probe("a"));
    column->addChild(probe("plain"));
    auto* row = column->addChild(std::make_unique<oxGuiHSizer>());
    Probe* c = row->addChild(probe("c"));
    Probe* disabled = row->addChild(probe("disabled"));
    Probe* hidden = row->addChild(probe("hidden"));
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
    row->setEnabled(false); // a disabled subtree is skipped as a whole
    EXPECT_TRUE(focusNext(panel));
    EXPECT_EQ(focusedElement(), a);
    a->setEnabled(false);
    EXPECT_FALSE(focusNext(panel));
}

TEST(GuiTransforms, ClicksHitWhatIsDrawnThroughNestedScrolledPanels)
{
    Log log;
    // An outer scrolled panel holding a 200 high filler and an inner scrolled panel with ten 40 high rows.
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
    // Scrolled back, the same window point is over the filler's place.
    outer.setScroll({0, 0});
    EXPECT_TRUE(outer.onClick(0, 10, 60));
    // Outside the outer viewport nothing inside is hit, though rows lie there in content space.
    EXPECT_FALSE(outer.onClick(0, 10, 300));
    EXPECT_EQ(log, (Log{"q1:click", "filler:click"}));
}
