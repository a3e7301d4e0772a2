// The single-picture view and its parts without a display.
#include "../viewtest.h"

#include "app/shell/commands.h"
#include "app/shell/configkeys.h"
#include "app/views/crossfade.h"
#include "app/views/exposureshader.h"
#include "app/views/image/exposurepanel.h"
#include "app/views/image/frameplayer.h"
#include "app/views/image/imagedisplay.h"
#include "app/views/image/navigator.h"
#include "app/views/picturedraw.h"

#include "oxengine/core/format.h"
#include "oxengine/graphics/shader.h"
#include "oxengine/gui/slider.h"
#include "tests/app/apptest.h"

#include <gtest/gtest.h>

#include <cmath>
#include <optional>

TEST(ImageView, PicturesShownInQuickSuccession)
{
    TestSettings settings;
    FakeFramework framework{800, 600};
    FakeViewApp app{&framework};
    FakeLoader loader;
    ImageDisplay view{&app, loader};
    FotoTransform transform{nullptr, &framework};
    app.transform = &transform;
    transform.setView(&view);
    view.showPicture("/p/a.jpg");
    EXPECT_EQ(view.currentPicture(), loader.record("/p/a.jpg"));
    EXPECT_FALSE(view.isFading() || loader.heldAtRequest); // nothing to fade from, no read-ahead held
    // A step holds the read-ahead from before the request until a frame was drawn or the fade ran out.
    view.showPicture("/p/b.jpg");
    EXPECT_TRUE(loader.heldAtRequest);
    EXPECT_EQ(view.crossFade().previous(), loader.record("/p/a.jpg"));
    EXPECT_TRUE(framework.hasIdle(&view));
    view.idle(100000); // begun a quarter in: the GL cross-fade test
    EXPECT_TRUE(loader.readAheadHeld); // no frame yet

    // The fade keeps the old picture's scale and offset.
    view.setDisplayScale(2.0);
    transform.zoomTo(3.0, true, 0.5, 0.5);
    transform.scrollTo(123, 45);
    const double x = transform.offsetX(), y = transform.offsetY();
    view.showPicture("/p/c.jpg");
    EXPECT_EQ(loader.usesOf("/p/a.jpg"), 0); // released at once
    EXPECT_EQ(view.crossFade().previous(), loader.record("/p/b.jpg"));
    EXPECT_DOUBLE_EQ(view.crossFade().fade(), 0.75);
    EXPECT_EQ(std::tuple(view.crossFade().previousScale(), view.crossFade().previousOffsetX(),
                         view.crossFade().previousOffsetY()), std::tuple(3.0, x, y));
    EXPECT_EQ(loader.inUse(), 2);

    // Once the rest of the fade has run in wall time, and not before, the old picture goes.
    view.idle(275000);
    EXPECT_NE(view.crossFade().previous(), nullptr);
    view.idle(100001);
    EXPECT_EQ(view.crossFade().previous(), nullptr);
    EXPECT_EQ(loader.usesOf("/p/b.jpg"), 0);
    EXPECT_FALSE(framework.hasIdle(&view) || loader.readAheadHeld);

    // The same picture again is held twice; an emptied list gives all back and has nothing to delete.
    writeConfigInt(ConfigKey::AnimLengthUs, 2000);
    view.showPicture("/p/c.jpg");
    EXPECT_EQ(view.crossFade().length(), 2000);
    EXPECT_EQ(loader.usesOf("/p/c.jpg"), 2);
    view.showNothing();
    EXPECT_EQ(loader.inUse(), 0);
    EXPECT_FALSE(framework.hasIdle(&view));
    EXPECT_TRUE(view.onCommand(CMD_DELETE));
    EXPECT_EQ(app.calls.size(), 0u); // nothing to delete

    // While a picture is prepared the view keeps the old one; the hint comes after its delay; the last asked wins.
    int64_t now = 0;
    view.setClock([&] { return now; });
    view.showPicture("/p/a.jpg");
    loader.pending = {"/p/d.jpg", "/p/e.jpg"};
    view.showPicture("/p/d.jpg");
    view.showPicture("/p/e.jpg");
    EXPECT_EQ(view.currentPicture(), loader.record("/p/a.jpg"));
    EXPECT_EQ(view.waitingFor(), "/p/e.jpg");
    now = ImageDisplay::kLoadingHintDelayUs - 1;
    EXPECT_FALSE(view.loadingHintShown());
    now += 1;
    EXPECT_TRUE(view.loadingHintShown());
    EXPECT_FALSE(view.pickUpPicture()); // still pending
    loader.pending.clear();
    EXPECT_TRUE(view.pickUpPicture());
    EXPECT_EQ(view.currentPicture(), loader.record("/p/e.jpg"));
    EXPECT_EQ(loader.usesOf("/p/d.jpg"), 0); // never taken
    EXPECT_FALSE(view.isWaiting() || view.loadingHintShown());
    view.showPicture("/p/b.jpg");
    view.shutDown();
    EXPECT_FALSE(loader.readAheadHeld);

    // A fade of its own runs its length linearly, at least a microsecond per step.
    LoadedPicture old;
    CrossFade fade;
    EXPECT_FALSE(fade.advance(1000)); // none runs
    fade.start(&old, 2.0, 10, 20, 1000);
    EXPECT_DOUBLE_EQ(fade.opacity(), 0.0);
    EXPECT_FALSE(fade.advance(250));
    EXPECT_DOUBLE_EQ(fade.opacity(), 0.25);
    EXPECT_FALSE(fade.advance(0));
    EXPECT_DOUBLE_EQ(fade.fade(), 0.749);
    EXPECT_TRUE(fade.advance(749));
    EXPECT_EQ(fade.take(), &old);
    EXPECT_EQ(fade.previous(), nullptr);
    fade.start(&old, 1.0, 0, 0, 1000000000);
    EXPECT_EQ(fade.length(), 10000000); // at most ten seconds
    fade.start(&old, 1.0, 0, 0, 0);
    EXPECT_EQ(fade.length(), 1); // none: over at the next step

    // What the new picture leaves uncovered: the bands around it.
    const WindowRect outer{0, 0, 100, 80};
    struct Case {
        const char* name;
        std::optional<WindowRect> inner;
        size_t bands;
        double area;
    } cases[] = {
        {"none", std::nullopt, 1, 8000},
        {"the same", WindowRect{0, 0, 100, 80}, 0, 0},
        {"larger", WindowRect{-10, -10, 200, 200}, 0, 0},
        {"narrower", WindowRect{20, 0, 80, 80}, 2, 3200},
        {"lower", WindowRect{0, 10, 100, 70}, 2, 2000},
        {"inside", WindowRect{10, 10, 90, 70}, 4, 3200},
        {"beside", WindowRect{100, 0, 200, 80}, 1, 8000},
        {"empty", WindowRect{50, 50, 50, 60}, 1, 8000},
    };
    for (const Case& c : cases) {
        const std::vector<WindowRect> parts = uncoveredParts(outer, c.inner ? &*c.inner : nullptr);
        double area = 0;
        for (const WindowRect& r : parts) {
            EXPECT_FALSE(r.empty()) << c.name;
            EXPECT_TRUE(r.x0 >= outer.x0 && r.x1 <= outer.x1 && r.y0 >= outer.y0 && r.y1 <= outer.y1) << c.name;
            area += (r.x1 - r.x0) * (r.y1 - r.y0);
        }
        EXPECT_EQ(parts.size(), c.bands) << c.name;
        EXPECT_DOUBLE_EQ(area, c.area) << c.name;
    }

    // Shut down, the view shows nothing: its commands go to the application.
    for (unsigned c : {200u, 201u, 203u, 208u, 211u})
        EXPECT_TRUE(view.onCommand(c)) << c;
    // Save and delete need a picture: nothing was shown.
    EXPECT_EQ(app.calls, (std::vector<std::string>{"step -1", "step 1", "folder"}));
    for (unsigned c : {199u, 204u, 209u, 212u, 213u})
        EXPECT_FALSE(view.onCommand(c)) << c;
    view.showPicture("/p/a.jpg");
    app.calls.clear();
    EXPECT_TRUE(view.onCommand(CMD_DELETE));
    EXPECT_TRUE(view.onCommand(CMD_SAVE_AS)); // no tiles: nothing to save
    EXPECT_TRUE(view.onClick(0, 10, 10));
    EXPECT_FALSE(view.onClick(1, 10, 10));
    EXPECT_EQ(app.calls, (std::vector<std::string>{"delete /p/a.jpg", "step 1"})); // original size: the GL test

    view.showPicture("/p/missing.jpg");
    EXPECT_EQ(view.currentPicture(), nullptr);
    EXPECT_EQ(view.overlays().pictureTextLine().text(), "[Error loading image.]");
    EXPECT_EQ(view.overlays().fileNameLine().text(), "/p/missing.jpg");
    EXPECT_EQ(view.contentSize(), (oxGuiSize{256, 256}));
    // A record without tiles: its note, no details, no picture to measure.
    view.showPicture("/p/broken.jpg");
    EXPECT_FALSE(view.hasPicture());
    EXPECT_EQ(view.overlays().pictureTextLine().text(), "[Error while loading: damaged]");
    EXPECT_EQ(view.overlays().detailLine().text(), "");
    EXPECT_EQ(view.contentSize(), (oxGuiSize{256, 256}));
    EXPECT_FALSE(view.exposurePanel().isVisible());

    // Whole percentages as the GL view test reads them; the rounding, the largest and no zoom at all here.
    EXPECT_EQ(ViewOverlays::zoomText(0.125), "13 %");
    EXPECT_EQ(ViewOverlays::zoomText(16.0), "1600 %");
    EXPECT_EQ(ViewOverlays::zoomText(std::nan("")), "0 %");
    EXPECT_EQ(ViewOverlays::detailText(86400.0 * 365, 1536000, 4000, 3000),
              formatDateTime(86400.0 * 365, true, "%c") + "  -  1.536 MB  -  4000 x 3000 pixels");

    // The exposure panel follows the samples: a negative minimum; white never above the maximum; the ranges while
    // drawn keep both values.
    ExposurePanel& panel = view.exposurePanel();
    panel.startFor({-2.0, 3.0, 4.0});
    panel.gamma().setValue(2.0);
    panel.updateRanges({-2.0, 3.0, 4.0});
    EXPECT_DOUBLE_EQ(panel.whitePoint().getMinimum(), -2.0);
    EXPECT_DOUBLE_EQ(panel.whitePoint().getMaximum(), 8.0);
    const Exposure e = panel.exposure();
    EXPECT_EQ(std::tuple(e.blackPoint, e.whitePoint, e.gamma, e.saturation), std::tuple(-2.0, 4.0, 2.0, 1.0));

    // Shaders announced but not delivered are told once, not per frame (without the announcement there is no
    // box at all: the exposure GL test).
    MessageCapture boxes;
    oxOverrideShaderDriver(
        oxShaderDriverHooks{[](const char*) { return true; }, [](const char*) -> void* { return nullptr; }});
    ExposureShader shader;
    EXPECT_FALSE(shader.bind());
    EXPECT_FALSE(shader.bind());
    shader.setExposure(0, 1, 1, 1); // no program: nothing happens
    ASSERT_EQ(boxes.count(), 1u);
    EXPECT_EQ(boxes.messages()[0].title, "expshader create error");
    EXPECT_TRUE(shader.hasFailed());
    oxOverrideShaderDriver(std::nullopt);
}

// A first look's outer texel edges lie on the full picture's edges; the navigator shows only for pictures larger
// than the window.
TEST(PictureDrawing, FirstLookNavigatorAndAnimationFrames)
{
    LoadedPicture p;
    p.imageWidth = 1001, p.imageHeight = 301;
    p.tileWidth = 1024, p.tileHeight = 512;
    p.firstLook = true;
    p.expectedWidth = 2002, p.expectedHeight = 602;
    TileQuad q;
    ASSERT_TRUE(tileQuad(p, 0, 0, 0.5, q));
    EXPECT_DOUBLE_EQ(q.x0, -0.25);
    EXPECT_DOUBLE_EQ(q.x1, 2001.5 * 0.5);
    EXPECT_DOUBLE_EQ(q.y1, 601.5 * 0.5);
    EXPECT_FLOAT_EQ(q.u1, 1001.0f / 1024);
    EXPECT_FLOAT_EQ(q.v1, 301.0f / 512);
    p.firstLook = false; // the texels themselves
    ASSERT_TRUE(tileQuad(p, 0, 0, 0.5, q));
    EXPECT_DOUBLE_EQ(q.x1, 1000.5 * 0.5);

    // Fits, also just below the window size, or nothing to show: no navigator.
    for (auto [w, h] : {std::pair{800, 600}, {805, 600}, {0, 0}})
        EXPECT_FALSE(navigatorLayout({800, 600}, w, h, 1.0, 1.0, 0, 0, 256).shown) << w;
    // Twice the window: the view's half of it marked.
    const NavigatorLayout n = navigatorLayout({800, 600}, 1600, 1200, 1.0, 1.0, 800, 0, 256);
    ASSERT_TRUE(n.shown);
    EXPECT_EQ(n.square, (oxGuiPointD{544, 344}));
    EXPECT_DOUBLE_EQ(n.fit.scale, 0.16);
    EXPECT_DOUBLE_EQ(n.fit.marginY, (256 - 1200 * 0.16) / 2);
    EXPECT_EQ(std::tuple(n.markPosition.x, n.markPosition.y, n.markSize.width, n.markSize.height),
              std::tuple(544.0 + 128, 344 + n.fit.marginY, 128.0, 96.0));
    EXPECT_EQ(navigatorLayout({800, 600}, 8000, 6000, 1.0, 1.0, 0, 0, 256).alpha, 255); // far larger: saturates

    // An animation's frames on a fake clock.
    constexpr int64_t MS = 1000;
    FramePlayer player;
    player.start({50, 20, 100}, 2, 0);
    const struct {
        int64_t at;
        int frame;
        int64_t untilNext;
    } steps[] = {
        {0, 0, 50 * MS},   {49 * MS, 0, 1 * MS}, {50 * MS, 1, 20 * MS},  {70 * MS, 2, 100 * MS},
        {170 * MS, 0, 50 * MS}, // the second play
        {339 * MS, 2, 1 * MS},  {340 * MS, 2, -1},   {10000 * MS, 2, -1}, // the last frame stays
    };
    for (const auto& s : steps) {
        EXPECT_EQ(player.frame(s.at), s.frame) << s.at;
        EXPECT_EQ(player.untilNext(s.at), s.untilNext) << s.at;
    }
    EXPECT_TRUE(player.finished());
    // Forever skips whole plays after a long absence.
    player.start({30, 30}, 0, 0);
    EXPECT_EQ(player.frame(6000000 * MS + 45 * MS), 1);
    EXPECT_EQ(player.untilNext(6000000 * MS + 45 * MS), 15 * MS);

    // Pause holds the frame, step moves one.
    player.start({40, 40, 40}, 0, 0);
    player.togglePause(30 * MS);
    EXPECT_EQ(player.untilNext(500 * MS), -1); // no timed redraw while paused
    EXPECT_EQ(player.frame(500 * MS), 0);
    player.togglePause(500 * MS); // goes on with the 10 ms the frame had left
    EXPECT_EQ(player.untilNext(500 * MS), 10 * MS);
    player.step(505 * MS);
    EXPECT_TRUE(player.paused());
    EXPECT_EQ(player.frame(900 * MS), 1);
    player.step(900 * MS);
    player.step(900 * MS);
    EXPECT_EQ(player.frame(900 * MS), 0); // after the last, the first
    FramePlayer still;
    still.start({100}, 0, 0);
    EXPECT_FALSE(still.active());
    EXPECT_EQ(still.untilNext(0), -1);
}
