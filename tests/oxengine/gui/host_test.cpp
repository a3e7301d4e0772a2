// Layout by sizers and containers, and input through hosts, focus and transforms, without a display.
#include "guitest.h"

#include "oxengine/gui/transforms.h"

#include <GL/freeglut_std.h>

using HostInput = GuiTest;

// A registered host with a draggable 50 x 50 probe "d" at (0, 0) and a probe "other" at (100, 0).
TEST_F(HostInput, DragsAndFocus)
{
    static std::vector<int> cursors;
    Seam<oxGuiCursorSetter> cursor(oxSetGuiCursorSetter, [](int shape) { cursors.push_back(shape); });
    oxGuiHost host;
    app.addGUIEventListener(&host, true);
    Log events;
    Probe* d = host.addElement(probe("d", &events, {50, 50}));
    d->dragAxes = 3;
    Probe* other = host.addElement(probe("other", &events, {50, 50}));
    other->setPosition({100, 0});
    d->logMoves = other->logMoves = false;
    app.handleMouseButton(0, true, 10, 10);
    app.handleMotion(13, 10); // 3 pixels: below the threshold
    app.handleMotion(113, 12); // far over "other"
    EXPECT_EQ(cursors, (std::vector<int>{GLUT_CURSOR_CYCLE}));
    app.handleMouseButton(2, false, 113, 12); // a right release ends nothing
    app.handleMouseButton(0, false, 113, 12);
    EXPECT_EQ(events, (Log{"d:begin", "d:drag(3,0)", "d:drag(100,2)", "d:end"}));
    EXPECT_EQ(cursors, (std::vector<int>{GLUT_CURSOR_CYCLE, GLUT_CURSOR_INHERIT}));
    EXPECT_EQ(dragState().element, nullptr);
    // The press and release were the host's; the right release went on.
    EXPECT_EQ(log, (Log{"button2up"}));

    // The right button never drags; below the threshold the element still moves; across its axis nothing moves.
    log.clear(), events.clear(), cursors.clear(), d->moved = {};
    app.handleMouseButton(2, true, 10, 10);
    app.handleMotion(40, 40);
    app.handleMouseButton(2, false, 40, 40);
    EXPECT_TRUE(events.empty());

    app.handleMouseButton(0, true, 10, 10);
    app.handleMotion(11, 11);
    app.handleMotion(13, 12); // 5 in all: not more than the threshold
    app.handleMouseButton(0, false, 13, 12);
    EXPECT_EQ(d->moved, (oxGuiPoint{3, 2}));  // motion below the threshold still moves

    d->dragAxes = 1, d->moved = {};
    app.handleMouseButton(0, true, 10, 10);
    app.handleMotion(10, 60); // across the axis: not passed on
    app.handleMotion(17, 90);
    EXPECT_EQ(cursors, (std::vector<int>{GLUT_CURSOR_LEFT_RIGHT}));
    EXPECT_EQ(d->moved, (oxGuiPoint{7, 0}));

    // Destroying the dragged element ends the drag safely.
    log.clear();
    EXPECT_TRUE(host.removeElement(d));
    EXPECT_EQ(dragState().element, nullptr);
    EXPECT_EQ(cursors.back(), GLUT_CURSOR_INHERIT);
    app.handleMotion(40, 10);
    app.handleMouseButton(0, false, 40, 10); // nothing left to end: goes on
    EXPECT_EQ(log, (Log{"button0up"}));

    // The focus moves with notices; keys go to it first; Tab visits the active focusable elements in tree order.
    log.clear();
    oxGuiHost focusHost;
    focusHost.addElement(probe("p1", &log));
    Probe* p2 = focusHost.addElement(probe("p2", &log));
    focusHost.addElement(probe("p0", &log), true);
    p2->handlesKeys = true;
    auto a = probe("a", &log), f = probe("f", &log); // in no host
    setFocus(a.get());
    setFocus(f.get());
    setFocus(f.get());
    setFocus(nullptr); // never clears
    EXPECT_TRUE(focusHost.onKeyDown('a', false));
    EXPECT_EQ(log, (Log{"a:focus", "a:blur", "f:focus", "f:key97", "p0:key97", "p1:key97", "p2:key97"}));
    log.clear();
    f->handlesKeys = true;
    EXPECT_TRUE(focusHost.onKeyDown('b', false));
    EXPECT_EQ(log, (Log{"f:key98"}));
    f.reset(); // a destroyed element loses the focus
    EXPECT_EQ(focusedElement(), nullptr);

    // Tab visits the active focusable elements in tree order.
    oxGuiModalPanel panel(std::make_unique<oxGuiVSizer>());
    auto* column = static_cast<oxGuiVSizer*>(panel.content());
    Probe* first = column->addChild(probe("a"));
    column->addChild(probe("plain"));
    auto* row = column->addChild(std::make_unique<oxGuiHSizer>());
    Probe* c = row->addChild(probe("c"));
    Probe* disabled = row->addChild(probe("disabled"));
    Probe* hidden = row->addChild(probe("hidden"));
    for (Probe* p : {first, c, disabled, hidden})
        p->focusable = true;
    disabled->setEnabled(false);
    hidden->setVisible(false);
    std::vector<oxGuiElement*> seen;
    for (int i = 0; i < 4; ++i) {
        EXPECT_TRUE(panel.onKeyDown(9, false));
        seen.push_back(focusedElement());
    }
    EXPECT_EQ(seen, (std::vector<oxGuiElement*>{first, c, first, c}));
    EXPECT_TRUE(focusNext(panel, false));
    EXPECT_EQ(focusedElement(), first);
    row->setEnabled(false); // a disabled subtree is skipped as a whole
    EXPECT_TRUE(focusNext(panel));
    EXPECT_EQ(focusedElement(), first);
    first->setEnabled(false);
    EXPECT_FALSE(focusNext(panel));
}

using Sizes = std::vector<oxGuiSize>;
using Ints = std::vector<int>;

// Probes of natural sizes and stretches, resized in steps: their extents, stacked without gaps.
TEST(GuiLayout, SizersAndContainers)
{
    const struct {
        const char* what;
        bool vertical;
        Sizes natural, stretch, steps;
        Ints extents, cross;
    } cases[] = {
        {"fixed children scale to fill", true, {{5, 20}, {7, 30}, {9, 50}}, {}, {{40, 50}}, {10, 15, 25}, {40, 40, 40}},
        {"rounding leftovers go to the last", true, {{5, 10}, {5, 10}, {5, 10}}, {}, {{5, 20}}, {6, 6, 8}, {}},
        {"growth is from the current extents", true, {{5, 10}, {5, 10}, {5, 10}}, {}, {{5, 20}, {5, 60}}, {18, 18, 24}, {}},
        {"stretch takes the free room", true, {{30, 20}, {0, 0}}, {{0, 0}, {0, 1}}, {{30, 100}}, {20, 80}, {30, 30}},
        {"free room by factors, remainder unused", false, {{0, 0}, {20, 10}, {0, 0}}, {{1, 0}, {0, 0}, {2, 0}},
         {{30, 10}}, {3, 20, 6}, {}},
        {"squeezed: stretchable children get nothing", false, {{40, 10}, {0, 0}, {60, 10}}, {{0, 0}, {1, 0}, {0, 0}},
         {{50, 10}}, {20, 0, 30}, {}},
        {"zero-sized children: the last takes all", true, {{0, 0}, {0, 0}, {0, 0}}, {}, {{10, 30}}, {0, 0, 30}, {}},
        {"sized below nothing", false, {{10, 10}, {20, 10}}, {}, {{-40, -5}}, {0, 0}, {0, 0}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        std::unique_ptr<oxGuiSizer> sizer;
        if (c.vertical)
            sizer = std::make_unique<oxGuiVSizer>();
        else
            sizer = std::make_unique<oxGuiHSizer>();
        std::vector<Probe*> items;
        for (size_t i = 0; i < c.natural.size(); ++i) {
            items.push_back(sizer->addChild(probe("p", nullptr, c.natural[i])));
            if (i < c.stretch.size())
                items.back()->setStretch(c.stretch[i]);
        }
        for (oxGuiSize s : c.steps)
            sizer->setSize(s);
        sizer->setPosition({100, 7});
        Ints extents, cross;
        int pen = c.vertical ? 7 : 100;
        for (Probe* p : items) {
            const oxGuiSize s = p->getSize();
            const oxGuiPoint at = p->getPosition();
            extents.push_back(c.vertical ? s.height : s.width);
            cross.push_back(c.vertical ? s.width : s.height);
            EXPECT_EQ(at, (c.vertical ? oxGuiPoint{100, pen} : oxGuiPoint{pen, at.y}));
            pen += extents.back();
        }
        EXPECT_EQ(extents, c.extents);
        EXPECT_TRUE(c.cross.empty() || cross == c.cross) << testing::PrintToString(cross);
    }
    oxGuiVSizer empty;
    empty.setTextHeight(20);
    EXPECT_EQ(empty.getSize(), (oxGuiSize{0, 0}));
    empty.setSize({50, 50});
    empty.setPosition({1, 1});
    EXPECT_EQ(empty.getSize(), (oxGuiSize{50, 50}));

    oxGuiHSizer row;
    Probe* tall = row.addChild(probe("tall", nullptr, {10, 50}));
    Probe* grown = row.addChild(probe("grown", nullptr, {10, 10}));
    Probe* kept = row.addChild(probe("kept", nullptr, {10, 10}));
    grown->setStretch({0, 1});
    row.setSize({30, 30});
    row.setPosition({5, 100});
    EXPECT_EQ(tall->getSize().height, 30);
    EXPECT_EQ(grown->getSize().height, 30);
    EXPECT_EQ(kept->getSize().height, 10);
    EXPECT_EQ(tall->getPosition(), (oxGuiPoint{5, 100}));
    EXPECT_EQ(kept->getPosition(), (oxGuiPoint{25, 110})); // (30 - 10) / 2 below the top
    // A child taller than the row is never placed above it.
    oxGuiHSizer thin;
    Probe* big = thin.addChild(probe("big", nullptr, {10, 50}));
    thin.setPosition({0, 7});
    EXPECT_EQ(big->getPosition().y, 7);

    // Nested: a 60 x 20 caption over a row of a flexi, two 30 x 20 items and a flexi; applying a style makes every
    // sizer as large as its content, and the flexis centre.
    auto column = std::make_unique<oxGuiVSizer>();
    Probe* caption = column->addChild(probe("caption", nullptr, {60, 20}));
    auto* buttons = column->addChild(std::make_unique<oxGuiHSizer>());
    auto* left = buttons->addChild(std::make_unique<oxGuiFlexi>(1, 0));
    Probe* a = buttons->addChild(probe("a", nullptr, {30, 20}));
    Probe* b = buttons->addChild(probe("b", nullptr, {30, 20}));
    auto* right = buttons->addChild(std::make_unique<oxGuiFlexi>(1, 0));
    column->applyStyle(oxGuiStyle{});
    EXPECT_EQ(column->getSize(), (oxGuiSize{60, 40}));
    EXPECT_EQ(buttons->getSize(), (oxGuiSize{60, 20}));
    EXPECT_EQ(left->getSize().width, 0);
    column->setSize({100, 40});
    column->setPosition({10, 10});
    EXPECT_EQ(caption->getSize(), (oxGuiSize{100, 20}));
    EXPECT_EQ(left->getSize().width, 20);
    EXPECT_EQ(right->getSize().width, 20);
    EXPECT_EQ(a->getPosition(), (oxGuiPoint{30, 30}));
    EXPECT_EQ(b->getPosition(), (oxGuiPoint{60, 30}));
    // Laid out again, the stretched flexis give their room back and the column shrinks to its content.
    caption->natural = {40, 20};
    column->applyStyle(oxGuiStyle{});
    EXPECT_EQ(column->getSize(), (oxGuiSize{60, 40}));
    EXPECT_EQ(left->getSize().width, 0);

    // A hidden container passes nothing on; shown, a click stops at the first taker and a move reaches all.
    Log log;
    oxGuiHSizer box;
    Probe* first = box.addChild(probe("a", &log, {50, 50}));
    Probe* second = box.addChild(probe("b", &log, {50, 50})); // same place as the first
    first->dragAxes = 3;
    second->setEnabled(false);
    box.setVisible(false);
    EXPECT_FALSE(box.onClick(0, 5, 5) || box.onKeyDown('a', false) || box.onMouseWheel(1, 5, 5));
    EXPECT_EQ(dragAt(box, 5, 5), NO_DRAG);
    box.onMouseMove(-1, 5, 5);
    EXPECT_TRUE(log.empty());
    EXPECT_TRUE(first->isVisible());
    box.setVisible(true);
    box.setEnabled(false);
    box.setEnabled(true);
    EXPECT_TRUE(second->isActive()); // enabled again with its container
    EXPECT_TRUE(box.onClick(0, 1, 1)); // stops at the first taker
    box.onMouseMove(-1, 1, 1);         // reaches every child
    EXPECT_EQ(log, (Log{"a:click", "a:move", "b:move"}));

    // Children follow the style's values and the container's transform.
    oxGuiVSizer outer;
    auto* inner = outer.addChild(std::make_unique<oxGuiHSizer>());
    Probe* p = inner->addChild(probe("p"));
    outer.applyStyle(oxGuiStyle{20, {1, 2, 3, 4}, {5, 6, 7, 8}, "serif"});
    EXPECT_EQ(p->getFgColour(), (oxColour{1, 2, 3, 4}));
    EXPECT_EQ(p->getBgColour(), (oxColour{5, 6, 7, 8}));
    EXPECT_EQ(p->getFontName(), "serif");

    // A child added later to a transformed container maps as its siblings do.
    struct Shift : oxGuiTransform {
        oxGuiPointD toWindowPoint(oxGuiPoint q) const override { return {q.x + 100.0, double(q.y)}; }
        oxGuiSizeD toWindowSize(oxGuiSize s) const override { return {double(s.width), double(s.height)}; }
        oxGuiPoint toElementPoint(oxGuiPointD q) const override { return {int(q.x) - 100, int(q.y)}; }
    } shift;
    outer.setTransform(&shift);
    Probe* late = inner->addChild(probe("late"));
    EXPECT_EQ(p->getTransform(), static_cast<oxGuiTransform*>(&shift));
    EXPECT_TRUE(late->hits(105, 5));
    EXPECT_FALSE(late->hits(5, 5));

    // Through nested scrolled panels (an outer one over a 200 high filler and an inner one over ten 40 high rows)
    // clicks hit what is drawn.
    log.clear();
    auto outerColumn = std::make_unique<oxGuiVSizer>();
    outerColumn->addChild(probe("filler", &log, {100, 200}));
    auto innerColumn = std::make_unique<oxGuiVSizer>();
    std::vector<Probe*> rows;
    for (int i = 0; i < 10; ++i)
        rows.push_back(innerColumn->addChild(probe("q" + std::to_string(i), &log, {80, 40})));
    auto* innerPanel = outerColumn->addChild(std::make_unique<oxGuiScrollablePanel>(std::move(innerColumn)));
    oxGuiScrollablePanel outerPanel(std::move(outerColumn));
    outerPanel.setTextHeight(20);
    outerPanel.setSize({106, 206});
    outerPanel.setPosition({0, 0});
    innerPanel->setSize({100, 106}); // a 100 high viewport on its 400 high rows, at (3, 203): row 1 at (6, 246)

    outerPanel.setScroll({0, 150});
    innerPanel->setScroll({0, 40});
    EXPECT_EQ(toWindowPoint(*rows[1], rows[1]->getPosition()), (oxGuiPointD{6, 56}));
    EXPECT_TRUE(outerPanel.onClick(0, 10, 60));
    // Scrolled back, the same window point is over the filler's place.
    outerPanel.setScroll({0, 0});
    EXPECT_TRUE(outerPanel.onClick(0, 10, 60));
    // Outside the outer viewport nothing inside is hit, though rows lie there in content space.
    EXPECT_FALSE(outerPanel.onClick(0, 10, 300));
    EXPECT_EQ(log, (Log{"q1:click", "filler:click"}));
}

