#include "viewtest.h"

#include "oxengine/gui/keys.h"

#include <gtest/gtest.h>

#include <cmath>
#include <tuple>

namespace {

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
        while (app.hasIdle(&transform) && steps < 100000)
            transform.idle(stepMicroseconds), ++steps;
        return steps;
    }
    void reshape(int w, int h)
    {
        app.resize(w, h);
        transform.onReshape(w, h);
    }
    // The content point under window point (x, y).
    double contentX(double x) const { return (x + transform.offsetX()) / transform.zoom(); }
    double contentY(double y) const { return (y + transform.offsetY()) / transform.zoom(); }
    bool finite() const
    {
        const FotoTransform& t = transform;
        return std::isfinite(t.zoom()) && std::isfinite(t.offsetX()) && std::isfinite(t.offsetY()) &&
               std::isfinite(t.fitZoom()) && std::isfinite(t.maximumZoom()) && t.zoom() > 0;
    }
    FakeFramework app;
    FakeView view;
    FotoTransform transform;
};

} // namespace

TEST(FotoTransform, FitZoomAnimationsAndReshapes)
{
    const struct {
        oxGuiSize content;
        bool toWidth;
        double fit, min, max;
    } cases[] = {
        {{1600, 1200}, false, 0.5, 0.5, 16.0},    // larger: shrunk to fit
        {{400, 600}, false, 1.0, 1.0, 16.0},      // height decides
        {{100, 50}, false, 8.0, 1.0, 16.0},       // small: enlarged, at most 8 times
        {{10, 10}, false, 8.0, 1.0, 60.0},        // tiny: may zoom to its unclamped fit
        {{800, 6000}, true, 1.0, 1.0, 16.0},      // thumbnail sheet: fitted to the width
        {{800, 6000}, false, 0.1, 0.1, 16.0},
        {{1000000, 10}, false, 0.01, 0.01, 16.0}, // fit below the lowest limit
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.content.width << "x" << c.content.height);
        Rig rig(c.content, 800, 600, c.toWidth);
        EXPECT_DOUBLE_EQ(rig.transform.fitZoom(), c.fit);
        EXPECT_DOUBLE_EQ(rig.transform.minimumZoom(), c.min);
        EXPECT_DOUBLE_EQ(rig.transform.maximumZoom(), c.max);
        EXPECT_DOUBLE_EQ(rig.view.scale, c.fit);
    }

    // Zoom and scroll are clamped; small content is centred.
    Rig clamped({1600, 1200});
    clamped.transform.zoomTo(100.0, true, 0.5, 0.5);
    EXPECT_DOUBLE_EQ(clamped.transform.zoom(), 16.0);
    clamped.transform.zoomTo(0.001, true, 0.5, 0.5);
    EXPECT_DOUBLE_EQ(clamped.transform.zoom(), 0.5);
    clamped.transform.zoomAnimated(1000.0);
    EXPECT_DOUBLE_EQ(clamped.transform.targetZoom(), 16.0);

    // Wider than the window but lower: centred vertically, no vertical scroll.
    Rig wide({1600, 200});
    wide.transform.zoomTo(1.0, true, 0.5, 0.5);
    EXPECT_DOUBLE_EQ(wide.transform.minimumOffsetY(), (200 - 600) * 0.5);
    EXPECT_DOUBLE_EQ(wide.transform.maximumOffsetY(), (200 - 600) * 0.5);
    wide.transform.scrollTo(5000, -5000);
    EXPECT_DOUBLE_EQ(wide.transform.offsetX(), 800);
    EXPECT_DOUBLE_EQ(wide.transform.offsetY(), -200);

    // Zooming about an anchor keeps the content point under it; the wheel, keys and drags step.
    Rig rig({8000, 6000});
    rig.transform.zoomTo(1.0, true, 0.5, 0.5);
    rig.transform.scrollTo(3000, 2000);
    const double x = rig.contentX(800 * 0.9), y = rig.contentY(600 * 0.1); // near the top-right corner
    rig.transform.zoomTo(2.5, true, 0.9, 0.1);
    EXPECT_NEAR(rig.contentX(800 * 0.9), x, 1e-9);
    EXPECT_NEAR(rig.contentY(600 * 0.1), y, 1e-9);
    // The wheel at the window's corner keeps the corner's point too.
    const double corner = rig.contentX(800);
    rig.transform.onMouseWheel(1, 800, 600);
    rig.animate();
    EXPECT_NEAR(rig.transform.zoom(), 2.75, 1e-12);
    EXPECT_NEAR(rig.contentX(800), corner, 1e-9);

    // Wheel steps are symmetric, key steps are not.
    rig.transform.zoomTo(2.0, true, 0.5, 0.5);
    for (int i = 0; i < 5; ++i)
        rig.transform.onMouseWheel(1, 400, 300);
    rig.animate();
    EXPECT_NEAR(rig.transform.zoom(), 2.0 * std::pow(1.1, 5), 1e-12);
    for (int i = 0; i < 5; ++i)
        rig.transform.onMouseWheel(-1, 400, 300);
    rig.animate();
    EXPECT_NEAR(rig.transform.zoom(), 2.0, 1e-12);

    double expected = 2.0;
    for (auto [key, special, factor] : {std::tuple{int('+'), false, 1.1}, {int('-'), false, 0.9},
                                        {GUI_SPECIAL_PAGE_DOWN, true, 1.1}, {GUI_SPECIAL_PAGE_UP, true, 0.9}}) {
        rig.transform.onKeyDown(key, special);
        rig.animate();
        EXPECT_NEAR(rig.transform.zoom(), expected *= factor, 1e-12) << key;
    }
    EXPECT_TRUE(rig.transform.onKeyDown('1', false));
    EXPECT_DOUBLE_EQ(rig.transform.zoom(), 1.0);
    EXPECT_FALSE(rig.transform.onKeyDown('x', false));
    EXPECT_FALSE(rig.transform.onKeyDown(GUI_SPECIAL_HOME, true));

    // Arrow keys scroll by twenty pixels.
    rig.transform.scrollTo(100, 100);
    for (int key : {GUI_SPECIAL_RIGHT, GUI_SPECIAL_DOWN, GUI_SPECIAL_DOWN, GUI_SPECIAL_RIGHT, GUI_SPECIAL_LEFT,
                    GUI_SPECIAL_UP})
        rig.transform.onKeyDown(key, true);
    EXPECT_DOUBLE_EQ(rig.transform.offsetX(), 120);
    EXPECT_DOUBLE_EQ(rig.transform.offsetY(), 120);

    // A drag starts past five pixels and scrolls three times as far.
    FotoTransform& t = rig.transform;
    t.zoomTo(1.0, true, 0.5, 0.5);
    t.scrollTo(1000, 1000);
    EXPECT_TRUE(t.onMouseButton(0, true, 10, 10));
    t.onDrag(3, 0);
    t.onDrag(0, -2); // |3| + |-2| = 5: still a click
    EXPECT_EQ(t.dragState(), FotoTransform::DRAG_PRESSED);
    EXPECT_DOUBLE_EQ(t.offsetX(), 1000);
    t.onDrag(1, 0); // 6: a drag, the held-back movement included
    EXPECT_EQ(t.dragState(), FotoTransform::DRAG_MOVING);
    EXPECT_DOUBLE_EQ(t.offsetX(), 1000 + 3 * 4);
    EXPECT_DOUBLE_EQ(t.offsetY(), 1000 - 3 * 2);
    EXPECT_TRUE(t.onMouseButton(0, false, 0, 0));
    EXPECT_EQ(t.dragState(), FotoTransform::DRAG_IDLE);
    // A press and release without moving far scrolls nothing.
    t.onMouseButton(0, true, 0, 0);
    t.onDrag(2, 2);
    t.onMouseButton(0, false, 0, 0);
    EXPECT_DOUBLE_EQ(t.offsetX(), 1012);
    // The middle button drags at once; a left press during it ends it.
    t.onMouseButton(1, true, 0, 0);
    t.onDrag(1, 0);
    EXPECT_DOUBLE_EQ(t.offsetX(), 1015);
    t.onMouseButton(0, true, 0, 0);
    EXPECT_EQ(t.dragState(), FotoTransform::DRAG_IDLE);
    EXPECT_FALSE(t.onMouseButton(2, true, 0, 0));

    // An animation is registered only while it runs.
    Rig animated({8000, 6000}); // fit 0.1
    animated.transform.zoomAnimated(animated.transform.zoom()); // nothing to do
    EXPECT_FALSE(animated.app.hasIdle(&animated.transform));
    animated.transform.zoomAnimated(16.0);
    EXPECT_TRUE(animated.app.hasIdle(&animated.transform));
    animated.animate();
    EXPECT_DOUBLE_EQ(animated.transform.zoom(), 16.0);
    EXPECT_FALSE(animated.app.hasIdle(&animated.transform));
    // An immediate zoom ends a running animation.
    animated.transform.zoomAnimated(0.2);
    animated.transform.idle(10000);
    animated.transform.zoomTo(3.0, true, 0.5, 0.5);
    EXPECT_FALSE(animated.app.hasIdle(&animated.transform));
    EXPECT_DOUBLE_EQ(animated.transform.targetZoom(), 3.0);

    // A reshape that moves the target out of reach ends the animation instead of running it forever.
    Rig small({100, 100}, 800, 800); // fit 8, maximum 16
    small.transform.zoomTo(1.0, true, 0.5, 0.5);
    small.transform.zoomAnimated(16.0);
    small.reshape(8, 8);       // fit 0.08: minimum 0.08, maximum 16
    small.reshape(2000, 2000); // unclamped fit 20 is the new maximum
    EXPECT_LT(small.animate(), 100000);
    EXPECT_FALSE(small.transform.isAnimating());

    // A reshape keeps the fit; zero sizes give a finite zoom; a content resize moves nothing.
    Rig fitted({1600, 1200}); // fitted: 0.5
    fitted.reshape(400, 300);
    EXPECT_DOUBLE_EQ(fitted.transform.zoom(), 0.25); // was at the minimum: follows it
    fitted.transform.zoomTo(2.0, true, 0.5, 0.5);
    fitted.reshape(800, 600);
    EXPECT_DOUBLE_EQ(fitted.transform.zoom(), 2.0); // zoomed in: kept
    fitted.reshape(800, 0);
    EXPECT_TRUE(fitted.finite());
    EXPECT_DOUBLE_EQ(fitted.transform.fitZoom(), 0.01);

    // One-pixel pictures, rows or columns have content size 0; the window may have none.
    for (auto [content, w, h] : {std::tuple{oxGuiSize{0, 0}, 800, 600}, {oxGuiSize{0, 300}, 800, 600},
                                 {oxGuiSize{300, 0}, 800, 600}, {oxGuiSize{1600, 1200}, 0, 0}}) {
        SCOPED_TRACE(testing::Message() << content.width << "x" << content.height << " in " << w << "x" << h);
        Rig rig(content, w, h);
        EXPECT_TRUE(rig.finite());
        EXPECT_LE(rig.transform.zoom(), 8.0);
        rig.transform.onMouseWheel(1, 100, 100);
        rig.animate();
        rig.transform.zoomTo(1e300, true, 0.2, 0.7);
        rig.transform.onDrag(50, 50);
        EXPECT_TRUE(rig.finite());
    }

    // The full picture replacing a first look resizes the content: nothing on screen may move.
    Rig resized({1999, 1499}); // a first look of 2000 x 1500 laid out too small, fitted
    resized.view.content = {3999, 2999};
    resized.transform.contentResized({1999, 1499});
    EXPECT_DOUBLE_EQ(resized.transform.zoom(), resized.transform.fitZoom()); // stays fitted
    EXPECT_DOUBLE_EQ(resized.transform.zoom(), 800.0 / 3999);

    resized.transform.zoomTo(0.5, true, 0.3, 0.6);
    const double u = resized.contentX(240) / 4000, v = resized.contentY(360) / 3000;
    const double offsetX = resized.transform.offsetX(), offsetY = resized.transform.offsetY();
    resized.view.content = {3998, 2999}; // one pixel narrower than expected
    resized.transform.contentResized({3999, 2999});
    EXPECT_NEAR(resized.transform.zoom(), 0.5 * 4000 / 3999, 1e-12);
    EXPECT_DOUBLE_EQ(resized.view.scale, resized.transform.zoom());
    EXPECT_DOUBLE_EQ(resized.transform.offsetX(), offsetX);
    EXPECT_DOUBLE_EQ(resized.transform.offsetY(), offsetY);
    EXPECT_NEAR(resized.contentX(240) / 3999, u, 1e-9);
    EXPECT_NEAR(resized.contentY(360), v * 3000, 1.0); // one zoom for both sides: within a pixel
}
