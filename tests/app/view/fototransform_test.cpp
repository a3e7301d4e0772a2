#include "viewtest.h"

#include "oxengine/gui/draw.h"
#include "oxengine/gui/keys.h"

#include <GL/freeglut_std.h>
#include <gtest/gtest.h>

#include <cmath>

namespace {

std::vector<int> g_cursors;
void recordCursor(int c)
{
    g_cursors.push_back(c);
}

struct Rig {
    explicit Rig(oxGuiSize content, int w = 800, int h = 600, bool toWidth = false)
        : app(w, h), view(content, toWidth), transform(&view, &app)
    {
        transform.refit();
    }
    // Runs the zoom animation to its end in steps of the given length.
    int animate(int64_t stepMicroseconds = 16000)
    {
        int steps = 0;
        while (app.hasIdle(&transform) && steps < 100000) {
            transform.idle(stepMicroseconds);
            ++steps;
        }
        return steps;
    }
    FakeFramework app;
    FakeView view;
    FotoTransform transform;
};

bool finite(const FotoTransform& t)
{
    return std::isfinite(t.zoom()) && std::isfinite(t.offsetX()) && std::isfinite(t.offsetY()) &&
           std::isfinite(t.fitZoom()) && std::isfinite(t.maximumZoom()) && t.zoom() > 0;
}

} // namespace

TEST(FotoTransform, FitZoomAndLimitsFollowTheContent)
{
    struct Case {
        oxGuiSize content;
        bool toWidth;
        double fit, min, max;
    } cases[] = {
        {{1600, 1200}, false, 0.5, 0.5, 16.0},  // larger: shrunk to fit
        {{400, 600}, false, 1.0, 1.0, 16.0},    // height decides
        {{100, 50}, false, 8.0, 1.0, 16.0},     // small: enlarged, at most 8 times
        {{10, 10}, false, 8.0, 1.0, 60.0},      // tiny: may zoom to its unclamped fit
        {{800, 6000}, true, 1.0, 1.0, 16.0},    // thumbnail sheet: fitted to the width
        {{800, 6000}, false, 0.1, 0.1, 16.0},
        {{1000000, 10}, false, 0.01, 0.01, 16.0}, // fit below the lowest limit
    };
    for (const Case& c : cases) {
        Rig rig(c.content, 800, 600, c.toWidth);
        SCOPED_TRACE(testing::Message() << c.content.width << "x" << c.content.height);
        EXPECT_DOUBLE_EQ(rig.transform.fitZoom(), c.fit);
        EXPECT_DOUBLE_EQ(rig.transform.zoom(), c.fit);
        EXPECT_DOUBLE_EQ(rig.transform.minimumZoom(), c.min);
        EXPECT_DOUBLE_EQ(rig.transform.maximumZoom(), c.max);
        EXPECT_DOUBLE_EQ(rig.view.scale, c.fit);
    }
}

TEST(FotoTransform, ZoomIsClampedToTheLimitsAndSmallContentIsCentred)
{
    Rig rig({1600, 1200});
    rig.transform.zoomTo(100.0, true, 0.5, 0.5);
    EXPECT_DOUBLE_EQ(rig.transform.zoom(), 16.0);
    rig.transform.zoomTo(0.001, true, 0.5, 0.5);
    EXPECT_DOUBLE_EQ(rig.transform.zoom(), 0.5);
    rig.transform.zoomAnimated(1000.0);
    EXPECT_DOUBLE_EQ(rig.transform.targetZoom(), 16.0);

    // Wider than the window but lower: centred vertically, no vertical scroll.
    Rig wide({1600, 200});
    wide.transform.zoomTo(1.0, true, 0.5, 0.5);
    EXPECT_DOUBLE_EQ(wide.transform.minimumOffsetY(), (200 - 600) * 0.5);
    EXPECT_DOUBLE_EQ(wide.transform.maximumOffsetY(), (200 - 600) * 0.5);
    EXPECT_DOUBLE_EQ(wide.transform.maximumOffsetX(), 800);
    wide.transform.scrollTo(300, 50);
    EXPECT_DOUBLE_EQ(wide.transform.offsetX(), 300);
    EXPECT_DOUBLE_EQ(wide.transform.offsetY(), -200);
    wide.transform.scrollTo(5000, -5000);
    EXPECT_DOUBLE_EQ(wide.transform.offsetX(), 800);
    const int redraws = wide.app.redraws;
    wide.transform.scrollTo(6000, 0); // clamped to where it is: nothing to redraw
    EXPECT_EQ(wide.app.redraws, redraws);
}

TEST(FotoTransform, ZoomAboutAnAnchorKeepsTheContentPointUnderIt)
{
    Rig rig({8000, 6000});
    rig.transform.zoomTo(1.0, true, 0.5, 0.5);
    rig.transform.scrollTo(3000, 2000);
    const double ax = 0.9, ay = 0.1; // near the top-right corner
    const double px = 800 * ax, py = 600 * ay;
    const double before = (px + rig.transform.offsetX()) / rig.transform.zoom();
    const double beforeY = (py + rig.transform.offsetY()) / rig.transform.zoom();
    rig.transform.zoomTo(2.5, true, ax, ay);
    EXPECT_NEAR((px + rig.transform.offsetX()) / rig.transform.zoom(), before, 1e-9);
    EXPECT_NEAR((py + rig.transform.offsetY()) / rig.transform.zoom(), beforeY, 1e-9);

    // The wheel at the window's corner keeps the corner's point too.
    const double cornerX = (800 + rig.transform.offsetX()) / rig.transform.zoom();
    rig.transform.onMouseWheel(1, 800, 600);
    rig.animate();
    EXPECT_NEAR(rig.transform.zoom(), 2.75, 1e-12);
    EXPECT_NEAR((800 + rig.transform.offsetX()) / rig.transform.zoom(), cornerX, 1e-9);
}

TEST(FotoTransform, WheelStepsAreSymmetricKeyStepsAreNot)
{
    Rig rig({8000, 6000});
    rig.transform.zoomTo(2.0, true, 0.5, 0.5);
    const double start = rig.transform.zoom();
    for (int i = 0; i < 5; ++i)
        rig.transform.onMouseWheel(1, 400, 300);
    rig.animate();
    EXPECT_NEAR(rig.transform.zoom(), start * std::pow(1.1, 5), 1e-12);
    for (int i = 0; i < 5; ++i)
        rig.transform.onMouseWheel(-1, 400, 300);
    rig.animate();
    EXPECT_NEAR(rig.transform.zoom(), start, 1e-12);

    rig.transform.onKeyDown('+', false);
    rig.transform.onKeyDown('-', false);
    rig.animate();
    EXPECT_NEAR(rig.transform.zoom(), start * 1.1 * 0.9, 1e-12);
    rig.transform.onKeyDown(GUI_SPECIAL_PAGE_DOWN, true);
    rig.animate();
    EXPECT_NEAR(rig.transform.zoom(), start * 0.99 * 1.1, 1e-12);
    rig.transform.onKeyDown(GUI_SPECIAL_PAGE_UP, true);
    rig.animate();
    EXPECT_NEAR(rig.transform.zoom(), start * 0.99 * 0.99, 1e-12);
    EXPECT_TRUE(rig.transform.onKeyDown('1', false));
    EXPECT_DOUBLE_EQ(rig.transform.zoom(), 1.0);
    EXPECT_FALSE(rig.transform.onKeyDown('x', false));
    EXPECT_FALSE(rig.transform.onKeyDown(GUI_SPECIAL_HOME, true));
}

TEST(FotoTransform, AnimationIsGeometricInTimeAndRegisteredOnlyWhileItRuns)
{
    Rig rig({8000, 6000}); // fit 0.1
    EXPECT_FALSE(rig.app.hasIdle(&rig.transform));
    rig.transform.zoomAnimated(rig.transform.zoom()); // nothing to do
    EXPECT_FALSE(rig.app.hasIdle(&rig.transform));
    rig.transform.zoomAnimated(16.0);
    EXPECT_TRUE(rig.transform.isAnimating());
    // One second in small steps multiplies the zoom by about e^2.
    for (int i = 0; i < 1000; ++i)
        rig.transform.idle(1000);
    EXPECT_NEAR(rig.transform.zoom() / 0.1, std::exp(2.0), 0.05);
    EXPECT_TRUE(rig.transform.isAnimating());
    rig.animate();
    EXPECT_DOUBLE_EQ(rig.transform.zoom(), 16.0);
    EXPECT_FALSE(rig.app.hasIdle(&rig.transform));

    // Out again; an immediate zoom ends a running animation.
    rig.transform.zoomAnimated(0.2);
    rig.transform.idle(10000);
    EXPECT_LT(rig.transform.zoom(), 16.0);
    rig.transform.zoomTo(3.0, true, 0.5, 0.5);
    EXPECT_FALSE(rig.app.hasIdle(&rig.transform));
    EXPECT_DOUBLE_EQ(rig.transform.targetZoom(), 3.0);
}

TEST(FotoTransform, AnimationEndsWhenAReshapeMovesItsTargetOutOfReach)
{
    Rig rig({100, 100}, 800, 800); // fit 8, maximum 16
    rig.transform.zoomTo(1.0, true, 0.5, 0.5);
    rig.transform.zoomAnimated(0.05); // clamped to the minimum 1.0: nothing runs
    EXPECT_FALSE(rig.transform.isAnimating());
    rig.transform.zoomAnimated(16.0);
    rig.app.resize(8, 8); // fit 0.08: minimum 0.08, maximum 16
    rig.transform.onReshape(8, 8);
    rig.app.resize(2000, 2000); // unclamped fit 20 is the new maximum
    rig.transform.onReshape(2000, 2000);
    EXPECT_LT(rig.animate(), 100000);
    EXPECT_FALSE(rig.transform.isAnimating());
}

TEST(FotoTransform, DragStartsPastFivePixelsAndScrollsThreeTimesAsFar)
{
    g_cursors.clear();
    const oxGuiCursorSetter previous = oxSetGuiCursorSetter(recordCursor);
    Rig rig({8000, 6000});
    rig.transform.zoomTo(1.0, true, 0.5, 0.5);
    rig.transform.scrollTo(1000, 1000);
    EXPECT_TRUE(rig.transform.onMouseButton(0, true, 10, 10));
    EXPECT_EQ(rig.transform.dragState(), FotoTransform::DRAG_PRESSED);
    rig.transform.onDrag(3, 0);
    rig.transform.onDrag(0, -2); // |3| + |-2| = 5: still a click
    EXPECT_EQ(rig.transform.dragState(), FotoTransform::DRAG_PRESSED);
    EXPECT_DOUBLE_EQ(rig.transform.offsetX(), 1000);
    rig.transform.onDrag(1, 0); // 6: a drag, the held-back movement included
    EXPECT_EQ(rig.transform.dragState(), FotoTransform::DRAG_MOVING);
    EXPECT_DOUBLE_EQ(rig.transform.offsetX(), 1000 + 3 * 4);
    EXPECT_DOUBLE_EQ(rig.transform.offsetY(), 1000 - 3 * 2);
    rig.transform.onDrag(-10, 5);
    EXPECT_DOUBLE_EQ(rig.transform.offsetX(), 1012 - 30);
    EXPECT_DOUBLE_EQ(rig.transform.offsetY(), 994 + 15);
    EXPECT_TRUE(rig.transform.onMouseButton(0, false, 0, 0));
    EXPECT_EQ(rig.transform.dragState(), FotoTransform::DRAG_IDLE);
    EXPECT_EQ(g_cursors, (std::vector<int>{GLUT_CURSOR_CYCLE, GLUT_CURSOR_INHERIT}));

    // A press and release without moving far scrolls nothing.
    rig.transform.onMouseButton(0, true, 0, 0);
    rig.transform.onDrag(2, 2);
    rig.transform.onMouseButton(0, false, 0, 0);
    EXPECT_DOUBLE_EQ(rig.transform.offsetX(), 982);

    // The middle button drags at once; a left press during it ends it.
    rig.transform.onMouseButton(1, true, 0, 0);
    EXPECT_EQ(rig.transform.dragState(), FotoTransform::DRAG_MOVING);
    rig.transform.onDrag(1, 0);
    EXPECT_DOUBLE_EQ(rig.transform.offsetX(), 985);
    rig.transform.onMouseButton(0, true, 0, 0);
    EXPECT_EQ(rig.transform.dragState(), FotoTransform::DRAG_IDLE);
    EXPECT_FALSE(rig.transform.onMouseButton(2, true, 0, 0));
    oxSetGuiCursorSetter(previous);
}

TEST(FotoTransform, ArrowKeysScrollByTwentyPixels)
{
    Rig rig({8000, 6000});
    rig.transform.zoomTo(1.0, true, 0.5, 0.5);
    rig.transform.scrollTo(100, 100);
    rig.transform.onKeyDown(GUI_SPECIAL_RIGHT, true);
    rig.transform.onKeyDown(GUI_SPECIAL_DOWN, true);
    rig.transform.onKeyDown(GUI_SPECIAL_DOWN, true);
    EXPECT_DOUBLE_EQ(rig.transform.offsetX(), 120);
    EXPECT_DOUBLE_EQ(rig.transform.offsetY(), 140);
    rig.transform.onKeyDown(GUI_SPECIAL_LEFT, true);
    rig.transform.onKeyDown(GUI_SPECIAL_UP, true);
    EXPECT_DOUBLE_EQ(rig.transform.offsetX(), 100);
    EXPECT_DOUBLE_EQ(rig.transform.offsetY(), 120);
}

TEST(FotoTransform, ReshapeKeepsTheFitAndSurvivesAZeroHeight)
{
    Rig rig({1600, 1200}); // fitted: 0.5
    rig.app.resize(400, 300);
    rig.transform.onReshape(400, 300);
    EXPECT_DOUBLE_EQ(rig.transform.zoom(), 0.25); // was at the minimum: follows it

    rig.transform.zoomTo(2.0, true, 0.5, 0.5);
    rig.app.resize(800, 600);
    rig.transform.onReshape(800, 600);
    EXPECT_DOUBLE_EQ(rig.transform.zoom(), 2.0); // zoomed in: kept

    rig.app.resize(800, 0);
    rig.transform.onReshape(800, 0);
    EXPECT_TRUE(finite(rig.transform));
    EXPECT_DOUBLE_EQ(rig.transform.fitZoom(), 0.01);
    rig.app.resize(0, 0);
    rig.transform.refit();
    rig.transform.onMouseWheel(1, 0, 0);
    rig.animate();
    EXPECT_TRUE(finite(rig.transform));
}

TEST(FotoTransform, ContentOfZeroPixelsGivesAFiniteZoom)
{
    // A one-pixel picture has content size 0 in both directions, a one-pixel
    // row or column in one.
    for (const oxGuiSize content : {oxGuiSize{0, 0}, oxGuiSize{0, 300}, oxGuiSize{300, 0}}) {
        SCOPED_TRACE(testing::Message() << content.width << "x" << content.height);
        Rig rig(content);
        EXPECT_TRUE(finite(rig.transform));
        EXPECT_GT(rig.transform.zoom(), 0.0);
        EXPECT_LE(rig.transform.zoom(), 8.0);
        rig.transform.onMouseWheel(1, 100, 100);
        rig.animate();
        rig.transform.zoomTo(1e300, true, 0.2, 0.7);
        EXPECT_TRUE(finite(rig.transform));
        rig.transform.onDrag(50, 50);
        EXPECT_TRUE(finite(rig.transform));
    }
}
