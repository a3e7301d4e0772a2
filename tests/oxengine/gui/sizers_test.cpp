#include "guitest.h"

#include "oxengine/gui/sizers.h"
#include "oxengine/gui/transforms.h"

#include <gtest/gtest.h>

namespace {

struct Row {
    std::unique_ptr<oxGuiSizer> sizer;
    std::vector<Probe*> items;
};

// A sizer of probes with the given natural sizes (and stretch factors).
template <typename S>
Row make(const std::vector<oxGuiSize>& sizes, const std::vector<oxGuiSize>& stretch = {})
{
    Row r{std::make_unique<S>(), {}};
    for (size_t i = 0; i < sizes.size(); ++i) {
        Probe* p = r.sizer->addChild(probe("p" + std::to_string(i), nullptr, sizes[i]));
        if (i < stretch.size())
            p->setStretch(stretch[i]);
        r.items.push_back(p);
    }
    return r;
}

std::vector<int> heights(const Row& r)
{
    std::vector<int> out;
    for (Probe* p : r.items)
        out.push_back(p->getSize().height);
    return out;
}

std::vector<int> widths(const Row& r)
{
    std::vector<int> out;
    for (Probe* p : r.items)
        out.push_back(p->getSize().width);
    return out;
}

} // namespace

TEST(GuiSizers, VerticalScalesFixedChildrenToFillAndTheLastTakesTheRest)
{
    Row r = make<oxGuiVSizer>({{5, 20}, {7, 30}, {9, 50}});
    r.sizer->setSize({40, 50});
    EXPECT_EQ(heights(r), (std::vector<int>{10, 15, 25}));
    EXPECT_EQ(widths(r), (std::vector<int>{40, 40, 40})); // always the full width

    // Rounding leftovers go to the last child, so the column is filled exactly.
    r = make<oxGuiVSizer>({{5, 10}, {5, 10}, {5, 10}});
    r.sizer->setSize({5, 20});
    EXPECT_EQ(heights(r), (std::vector<int>{6, 6, 8}));
    // Growth is proportional too, from the current heights.
    r.sizer->setSize({5, 60});
    EXPECT_EQ(heights(r), (std::vector<int>{18, 18, 24}));
}

TEST(GuiSizers, StretchableChildrenShareTheFreeRoomByTheirFactors)
{
    Row r = make<oxGuiVSizer>({{30, 20}, {0, 0}}, {{0, 0}, {0, 1}});
    r.sizer->setSize({30, 100});
    EXPECT_EQ(heights(r), (std::vector<int>{20, 80}));

    // 10 free pixels among factors 1 and 2: 3 and 6, one pixel stays unused.
    r = make<oxGuiHSizer>({{0, 0}, {20, 10}, {0, 0}}, {{1, 0}, {0, 0}, {2, 0}});
    r.sizer->setSize({30, 10});
    EXPECT_EQ(widths(r), (std::vector<int>{3, 20, 6}));
    r.sizer->setPosition({100, 0});
    EXPECT_EQ(r.items[1]->getPosition().x, 103);
    EXPECT_EQ(r.items[2]->getPosition().x, 123);

    // Squeezed below the fixed children: stretchable ones get nothing.
    r = make<oxGuiHSizer>({{40, 10}, {0, 0}, {60, 10}}, {{0, 0}, {1, 0}, {0, 0}});
    r.sizer->setSize({50, 10});
    EXPECT_EQ(widths(r), (std::vector<int>{20, 0, 30}));
}

TEST(GuiSizers, HorizontalCrossAxisClampsStretchesAndCentres)
{
    Row r = make<oxGuiHSizer>({{10, 50}, {10, 10}, {10, 10}}, {{0, 0}, {0, 1}, {0, 0}});
    r.sizer->setSize({30, 30});
    r.sizer->setPosition({5, 100});
    EXPECT_EQ(heights(r), (std::vector<int>{30, 30, 10})); // shrunk, grown, kept
    EXPECT_EQ(r.items[0]->getPosition(), (oxGuiPoint{5, 100}));
    EXPECT_EQ(r.items[2]->getPosition(), (oxGuiPoint{25, 110})); // (30 - 10) / 2 below the top

    // A child taller than the row is never placed above it.
    Row tall = make<oxGuiHSizer>({{10, 50}});
    tall.sizer->setPosition({0, 7});
    EXPECT_EQ(tall.items[0]->getPosition().y, 7 + 0);
}

TEST(GuiSizers, VerticalStacksWithoutSpacing)
{
    Row r = make<oxGuiVSizer>({{10, 20}, {10, 30}, {10, 5}});
    r.sizer->setTextHeight(20);
    r.sizer->setSize(r.sizer->getSize());
    r.sizer->setPosition({8, 9});
    EXPECT_EQ(r.items[0]->getPosition(), (oxGuiPoint{8, 9}));
    EXPECT_EQ(r.items[1]->getPosition(), (oxGuiPoint{8, 29}));
    EXPECT_EQ(r.items[2]->getPosition(), (oxGuiPoint{8, 59}));
}

TEST(GuiSizers, NestedSizersTakeTheirNaturalSizeAndLayOutFromTheStyle)
{
    // A column: a 60 x 20 caption, then a row of flexi, two 30 x 20 items and
    // a flexi; applying a style makes every sizer as large as its content.
    auto column = std::make_unique<oxGuiVSizer>();
    Probe* caption = column->addChild(probe("caption", nullptr, {60, 20}));
    auto* row = column->addChild(std::make_unique<oxGuiHSizer>());
    auto* left = row->addChild(std::make_unique<oxGuiFlexi>(1, 0));
    Probe* a = row->addChild(probe("a", nullptr, {30, 20}));
    Probe* b = row->addChild(probe("b", nullptr, {30, 20}));
    auto* right = row->addChild(std::make_unique<oxGuiFlexi>(1, 0));
    column->applyStyle(oxGuiStyle{});
    EXPECT_EQ(column->getSize(), (oxGuiSize{60, 40}));
    EXPECT_EQ(row->getSize(), (oxGuiSize{60, 20}));
    EXPECT_EQ(left->getSize().width, 0);

    // Wider: the flexis centre the two items.
    column->setSize({100, 40});
    column->setPosition({10, 10});
    EXPECT_EQ(caption->getSize(), (oxGuiSize{100, 20}));
    EXPECT_EQ(left->getSize().width, 20);
    EXPECT_EQ(right->getSize().width, 20);
    EXPECT_EQ(a->getPosition(), (oxGuiPoint{30, 30}));
    EXPECT_EQ(b->getPosition(), (oxGuiPoint{60, 30}));
}

TEST(GuiSizers, ZeroSizedAndEmptyCasesStayDefined)
{
    // Children without extent cannot be scaled: the last takes it all.
    Row r = make<oxGuiVSizer>({{0, 0}, {0, 0}, {0, 0}});
    r.sizer->setSize({10, 30});
    EXPECT_EQ(heights(r), (std::vector<int>{0, 0, 30}));

    // Sized to nothing, or to less than nothing.
    r = make<oxGuiHSizer>({{10, 10}, {20, 10}});
    r.sizer->setSize({0, 0});
    EXPECT_EQ(widths(r), (std::vector<int>{0, 0}));
    r.sizer->setSize({-40, -5});
    EXPECT_EQ(widths(r), (std::vector<int>{0, 0}));
    EXPECT_EQ(heights(r), (std::vector<int>{0, 0}));

    oxGuiVSizer empty;
    empty.setTextHeight(20);
    EXPECT_EQ(empty.getSize(), (oxGuiSize{0, 0}));
    empty.setSize({50, 50});
    empty.setPosition({1, 1});
    EXPECT_EQ(empty.getSize(), (oxGuiSize{50, 50}));
}

TEST(GuiSizers, OverfullRowIsSqueezedToItsWidth)
{
    Row r = make<oxGuiHSizer>({{300, 10}, {500, 10}, {200, 10}});
    r.sizer->setSize({100, 10});
    r.sizer->setPosition({0, 0});
    EXPECT_EQ(widths(r), (std::vector<int>{30, 50, 20}));
    EXPECT_EQ(r.items[2]->getPosition().x + r.items[2]->getSize().width, 100);
}

TEST(GuiContainers, HiddenContainerHandlesNothingButKeepsItsChildrensFlags)
{
    Log log;
    oxGuiVSizer box;
    Probe* p = box.addChild(probe("p", &log, {50, 50}));
    p->dragAxes = 3;
    box.setVisible(false);
    oxGuiElement* dragged = nullptr;
    int axes = 0;
    EXPECT_FALSE(box.onClick(0, 5, 5));
    EXPECT_FALSE(box.onKeyDown('a', false));
    EXPECT_FALSE(box.onMouseWheel(1, 5, 5));
    EXPECT_FALSE(box.beginDrag(5, 5, dragged, axes));
    box.onMouseMove(-1, 5, 5);
    EXPECT_TRUE(log.empty());
    EXPECT_TRUE(p->isVisible());
    box.setVisible(true);
    EXPECT_TRUE(box.onClick(0, 5, 5));
    EXPECT_EQ(log, (Log{"p:click"}));
}

TEST(GuiContainers, EnablingPassesToEveryChildAndEventsStopAtTheFirstTaker)
{
    Log log;
    oxGuiHSizer box;
    Probe* a = box.addChild(probe("a", &log, {50, 50}));
    Probe* b = box.addChild(probe("b", &log, {50, 50})); // same place as a
    b->setEnabled(false);
    box.setEnabled(false);
    box.setEnabled(true);
    EXPECT_TRUE(a->isActive());
    EXPECT_TRUE(b->isActive()); // enabled again with its container
    EXPECT_TRUE(box.onClick(0, 1, 1));
    EXPECT_EQ(log, (Log{"a:click"}));

    log.clear();
    box.onMouseMove(-1, 1, 1); // reaches every child
    EXPECT_EQ(log, (Log{"a:move", "b:move"}));

    EXPECT_TRUE(box.contains(b));
    EXPECT_TRUE(box.removeChild(b));
    EXPECT_FALSE(box.contains(b));
    EXPECT_FALSE(box.removeChild(b));
    EXPECT_EQ(box.childCount(), 1u);
}

TEST(GuiContainers, ChildrenFollowStyleValuesAndTheContainersTransform)
{
    oxGuiVSizer outer;
    auto* inner = outer.addChild(std::make_unique<oxGuiHSizer>());
    Probe* p = inner->addChild(probe("p", nullptr));
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
    Probe* late = inner->addChild(probe("late", nullptr));
    EXPECT_EQ(p->getTransform(), static_cast<oxGuiTransform*>(&shift));
    EXPECT_EQ(late->getTransform(), static_cast<oxGuiTransform*>(&shift));
    EXPECT_TRUE(late->hits(105, 5));
    EXPECT_FALSE(late->hits(5, 5));
}
