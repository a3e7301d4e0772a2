// The single-picture view on a real window with the background loader and
// the real preparation: where the picture lands, texel for pixel at the
// original size, seams, overlay lines, navigator, cross-fade release,
// exposure shader, and no drawing while nothing moves.
#include "viewapp.h"

#include "app/configkeys.h"
#include "app/exposureshader.h"
#include "app/imagemenu.h"

#include "oxengine/graphics/texsupport.h"
#include "oxengine/gui/slider.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <random>
#include <sys/resource.h>

namespace {

ViewTestHome g_home;

#define REQUIRE_DISPLAY()                                                                                              \
    if (!std::getenv("DISPLAY"))                                                                                       \
    GTEST_SKIP() << "no X display"

bool near(const Frame& f, int x, int y, oxColour c, int tolerance = 12)
{
    return std::abs(f.r(x, y) - c.r) <= tolerance && std::abs(f.g(x, y) - c.g) <= tolerance &&
           std::abs(f.b(x, y) - c.b) <= tolerance;
}

std::string at(const Frame& f, int x, int y)
{
    return "(" + std::to_string(f.r(x, y)) + "," + std::to_string(f.g(x, y)) + "," + std::to_string(f.b(x, y)) + ")";
}

double cpuSeconds()
{
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return double(u.ru_utime.tv_sec + u.ru_stime.tv_sec) + double(u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

const oxColour RED(255, 0, 0), GREEN(0, 255, 0), BLUE(0, 0, 255), WHITE(255, 255, 255), YELLOW(255, 255, 0);

// Quadrants red, green / blue, white with a yellow square in the middle.
oxColour quadrants(uint32_t x, uint32_t y, uint32_t w, uint32_t h)
{
    if (x >= w / 2 - 20 && x < w / 2 + 20 && y >= h / 2 - 20 && y < h / 2 + 20)
        return YELLOW;
    if (y < h / 2)
        return x < w / 2 ? RED : GREEN;
    return x < w / 2 ? BLUE : WHITE;
}

class TextureLimit {
public:
    explicit TextureLimit(int size) { setTextureSizeLimit(size); }
    ~TextureLimit() { setTextureSizeLimit(0); }
};

} // namespace

TEST(ImageDisplayGL, FittedPictureIsDrawnWhereTheTransformSays)
{
    REQUIRE_DISPLAY();
    TempDir dir;
    const std::string file =
        writePicture(dir, "quad.png", 800, 400, [](uint32_t x, uint32_t y) { return quadrants(x, y, 800, 400); });
    ViewTestApp app({file});
    bool ran = false;
    app.script = [&](ViewTestApp& a) {
        ran = true;
        ASSERT_TRUE(a.view->hasPicture());
        EXPECT_EQ(a.view->contentSize(), (oxGuiSize{799, 399}));
        const double zoom = 640.0 / 799;
        EXPECT_DOUBLE_EQ(a.transform->zoom(), zoom);
        const int top = int(std::lround(-a.transform->offsetY())), bottom = int(std::lround(top + 399 * zoom));
        EXPECT_EQ(top, 80);
        const Frame f = a.frame();
        a.save(f, "view_fitted");
        const oxColour bg = a.guiStyle().bgColour;
        EXPECT_TRUE(near(f, 320, top - 5, bg, 2)) << at(f, 320, top - 5);
        EXPECT_TRUE(near(f, 320, bottom + 5, bg, 2)) << at(f, 320, bottom + 5);
        EXPECT_TRUE(near(f, 1, top + 1, RED)) << at(f, 1, top + 1);
        EXPECT_TRUE(near(f, 638, top + 1, GREEN)) << at(f, 638, top + 1);
        EXPECT_TRUE(near(f, 1, bottom - 1, BLUE)) << at(f, 1, bottom - 1);
        EXPECT_TRUE(near(f, 638, bottom - 1, WHITE)) << at(f, 638, bottom - 1);
        EXPECT_TRUE(near(f, 320, 240, YELLOW)) << at(f, 320, 240);
        // The yellow square is 40 x 0.8 = 32 pixels wide around the centre.
        EXPECT_TRUE(near(f, 320 - 14, 240, YELLOW));
        EXPECT_FALSE(near(f, 320 - 18, 240, YELLOW));
    };
    EXPECT_EQ(app.runOnce(), 0);
    EXPECT_TRUE(ran);
}

TEST(ImageDisplayGL, OriginalSizeShowsTexelForPixelAcrossTileSeams)
{
    REQUIRE_DISPLAY();
    TextureLimit limit(256); // 700 x 500 in 3 x 2 tiles
    TempDir dir;
    std::mt19937 random(7);
    std::vector<oxColour> noise(700 * 500);
    for (oxColour& c : noise)
        c = oxColour(uint8_t(random()), uint8_t(random()), uint8_t(random()));
    const std::string file =
        writePicture(dir, "noise.png", 700, 500, [&](uint32_t x, uint32_t y) { return noise[y * 700 + x]; });
    ViewTestApp app({file});
    app.script = [&](ViewTestApp& a) {
        ASSERT_TRUE(a.view->hasPicture());
        {
            oxLock lock(a.view->currentPicture()->lock);
            EXPECT_LE(a.view->currentPicture()->tileWidth, 256);
            EXPECT_TRUE(a.view->currentPicture()->tiles[1][2]);
        }
        EXPECT_TRUE(a.view->onCommand(CMD_VIEW_ORIGINAL_SIZE));
        EXPECT_DOUBLE_EQ(a.transform->zoom(), 1.0);
        for (double scrollX : {0.0, 37.0, 59.5}) {
            a.transform->scrollTo(scrollX, 10.25);
            const Frame f = a.frame();
            // The picture sits with texel centres on pixel centres, its origin at
            // the pixel centre nearest to -offset.
            const int dx = -int(std::floor(-a.transform->offsetX())), dy = -int(std::floor(-a.transform->offsetY()));
            int wrong = 0;
            for (int y = 0; y < f.height; ++y)
                for (int x = 0; x < f.width; ++x) {
                    const int px = x + dx, py = y + dy;
                    if (px < 0 || py < 0 || px >= 700 || py >= 500)
                        continue;
                    if (!near(f, x, y, noise[size_t(py) * 700 + px], 1) && ++wrong < 5) {
                        const oxColour e = noise[size_t(py) * 700 + px];
                        ADD_FAILURE() << "pixel " << x << "," << y << " " << at(f, x, y) << " want " << int(e.r) << ","
                                      << int(e.g) << "," << int(e.b) << " scroll " << scrollX << " dy " << dy;
                    }
                }
            EXPECT_EQ(wrong, 0);
        }
    };
    EXPECT_EQ(app.runOnce(), 0);
}

TEST(ImageDisplayGL, TilesMeetWithoutSeamsAtEveryZoom)
{
    REQUIRE_DISPLAY();
    TextureLimit limit(128);
    TempDir dir;
    // A smooth diagonal ramp: any seam shows as a step between neighbours.
    const std::string file = writePicture(dir, "ramp.png", 600, 450, [](uint32_t x, uint32_t y) {
        return oxColour(uint8_t(x * 255 / 599), uint8_t(y * 255 / 449), 128);
    });
    ViewTestApp app({file});
    app.script = [&](ViewTestApp& a) {
        ASSERT_TRUE(a.view->hasPicture());
        for (double zoom : {a.transform->fitZoom(), 0.37, 1.0, 2.3, 7.9}) {
            a.transform->zoomTo(zoom, true, 0.5, 0.5);
            a.transform->scrollTo(a.transform->maximumOffsetX() / 3, a.transform->maximumOffsetY() / 3);
            const Frame f = a.frame();
            // Inside the picture, neighbours differ by at most one ramp step
            // per pixel plus rounding.
            const double step = std::max(1.0, 255.0 / 599 / zoom * 1.0) + 2.5;
            int worst = 0;
            const int y = f.height / 2;
            for (int x = 1; x < f.width - 1; ++x) {
                const double cx = (x + a.transform->offsetX()) / zoom;
                if (cx < 2 || cx > 596)
                    continue;
                worst = std::max(worst, std::abs(f.r(x, y) - f.r(x - 1, y)));
            }
            EXPECT_LE(worst, step) << "zoom " << zoom;
            if (zoom == 2.3)
                a.save(f, "view_ramp_zoomed");
        }
    };
    EXPECT_EQ(app.runOnce(), 0);
}

TEST(ImageDisplayGL, OverlayLinesAndNavigatorFollowTheInfoLevel)
{
    REQUIRE_DISPLAY();
    TempDir dir;
    const std::string file = writePicture(dir, "grey.png", 1600, 1200, [](uint32_t, uint32_t) {
        return oxColour(100, 100, 100);
    });
    ViewTestApp app({file});
    app.script = [&](ViewTestApp& a) {
        ASSERT_TRUE(a.view->hasPicture());
        auto inkInTopLeft = [](const Frame& f) {
            int n = 0;
            for (int y = 0; y < 90; ++y)
                for (int x = 0; x < 300; ++x)
                    n += f.r(x, y) > 200;
            return n;
        };
        auto redInNavigator = [](const Frame& f) {
            int n = 0;
            for (int y = f.height - 256; y < f.height; ++y)
                for (int x = f.width - 256; x < f.width; ++x)
                    n += f.r(x, y) > f.g(x, y) + 30;
            return n;
        };
        a.infoLevel = 0;
        Frame f = a.frame();
        EXPECT_EQ(inkInTopLeft(f), 0);
        a.infoLevel = 1;
        f = a.frame();
        EXPECT_GT(inkInTopLeft(f), 20);
        EXPECT_EQ(a.view->overlays().zoomLabel().text(), "40 %");
        EXPECT_EQ(a.view->overlays().fileNameLine().text(), file);

        a.infoLevel = 2;
        f = a.frame();
        EXPECT_EQ(redInNavigator(f), 0); // fits the window
        const std::string detail = a.view->overlays().detailLine().text();
        EXPECT_NE(detail.find("  -  "), std::string::npos);
        EXPECT_NE(detail.find("1600 x 1200 pixels"), std::string::npos) << detail;

        a.transform->zoomTo(1.0, true, 0.5, 0.5);
        f = a.frame();
        a.save(f, "view_overlays_level2_navigator");
        EXPECT_GT(redInNavigator(f), 1000);
        EXPECT_EQ(a.view->overlays().zoomLabel().text(), "100 %");
        a.infoLevel = 1;
        EXPECT_EQ(redInNavigator(a.frame()), 0);
    };
    EXPECT_EQ(app.runOnce(), 0);
}

TEST(ImageDisplayGL, QuickSuccessionReleasesTheFadingPictureAndTheFadeEnds)
{
    REQUIRE_DISPLAY();
    TempDir dir;
    std::vector<std::string> files;
    for (int i = 0; i < 4; ++i)
        files.push_back(writePicture(dir, "p" + std::to_string(i) + ".png", 200, 150, [i](uint32_t, uint32_t) {
            return oxColour(uint8_t(60 * i), 0, 0);
        }));
    ViewTestApp app(files);
    app.script = [&](ViewTestApp& a) {
        LoadedPicture* first = a.view->currentPicture();
        ASSERT_NE(first, nullptr);
        a.show(1);
        LoadedPicture* second = a.view->currentPicture();
        a.show(2);
        EXPECT_EQ(a.view->crossFade().previous(), second);
        EXPECT_DOUBLE_EQ(a.view->crossFade().fade(), 1.0);
        {
            oxLock lock(a.loader->threadLock());
            EXPECT_EQ(first->useCount, 0);
            EXPECT_EQ(second->useCount, 1);
        }
        // Half way through the default fade both pictures show: the old
        // one under the veil, the new one half opaque.
        EXPECT_EQ(a.view->crossFade().length(), 500000);
        a.view->idle(250000);
        const Frame mid = a.frame();
        a.save(mid, "view_crossfade_half");
        EXPECT_NEAR(mid.r(320, 240), 60 + 30, 6) << at(mid, 320, 240);

        writeConfigInt(ConfigKey::AnimLengthUs, 0);
        a.show(3);
        EXPECT_EQ(a.view->crossFade().length(), 1);
        EXPECT_TRUE(a.isIdleCallbackInstalled() || !a.idleListeners().empty());
        a.dispatchIdle();
        EXPECT_EQ(a.view->crossFade().previous(), nullptr);
        EXPECT_NEAR(a.frame().r(320, 240), 180, 3);
        writeConfigInt(ConfigKey::AnimLengthUs, 500000);
    };
    EXPECT_EQ(app.runOnce(), 0);
}

TEST(ImageDisplayGL, NothingIsDrawnWhileNothingMoves)
{
    REQUIRE_DISPLAY();
    TempDir dir;
    std::vector<std::string> files;
    for (int i = 0; i < 3; ++i)
        files.push_back(writePicture(dir, "q" + std::to_string(i) + ".png", 300, 200, [i](uint32_t x, uint32_t) {
            return oxColour(uint8_t(x), uint8_t(80 * i), 0);
        }));
    ViewTestApp app(files);
    app.keepRunning = true;
    app.infoLevel = 2;
    std::atomic<int> framesDuringFade{0}, framesIdle{-1};
    std::atomic<double> cpuIdle{-1};
    std::thread driver;
    app.script = [&](ViewTestApp& a) {
        a.show(1); // a fade and a zoom animation start
        a.transform->zoomAnimated(a.transform->zoom() * 1.5);
        driver = std::thread([&] {
            std::this_thread::sleep_for(std::chrono::milliseconds(1500));
            framesDuringFade = a.frames.load();
            a.loaderIdle();
            std::this_thread::sleep_for(std::chrono::milliseconds(300));
            const int frames = a.frames.load();
            const double cpu = cpuSeconds();
            std::this_thread::sleep_for(std::chrono::seconds(3));
            framesIdle = a.frames.load() - frames;
            cpuIdle = cpuSeconds() - cpu;
            a.postCommand(9999);
        });
    };
    struct Quit : oxGUIEventListener {
        ViewTestApp* app;
        bool onCommand(unsigned c) override
        {
            if (c != 9999)
                return false;
            app->finish();
            return true;
        }
    } quit;
    quit.app = &app;
    app.addGUIEventListener(&quit);
    EXPECT_EQ(app.runOnce(), 0);
    if (driver.joinable())
        driver.join();
    app.removeGUIEventListener(&quit);
    EXPECT_GT(framesDuringFade.load(), 3);
    EXPECT_EQ(framesIdle.load(), 0);
    EXPECT_LT(cpuIdle.load(), 0.15);
}
