// The single-picture view on a real window with the background loader and the real preparation; high dynamic
// range through the exposure shader, and transparency.
#include "../viewapp.h"
#include "../viewtest.h"

#include "app/shell/commands.h"
#include "app/shell/configkeys.h"
#include "app/prepare/headstart.h"
#include "app/prepare/prepare.h"
#include "app/views/exposureshader.h"
#include "app/views/image/firstframe.h"
#include "app/views/picturedraw.h"

#include "oxengine/graphics/shader.h"
#include "oxengine/graphics/texsupport.h"
#include "oxengine/gui/slider.h"
#include "oxengine/image/half.h"
#include "support/switches.h"

#include <cmath>
#include <random>
#include <tuple>

namespace {

class ImageDisplayGL : public testing::Test {
protected:
    void SetUp() override
    {
        if (!std::getenv("DISPLAY"))
            GTEST_SKIP() << "no X display";
    }
    TextureDriver m_driver; // the size limits put back
    TempDir dir;
};

const oxColour RED(255, 0, 0), GREEN(0, 255, 0), BLUE(0, 0, 255), WHITE(255, 255, 255);

// x / (w - 1) in red, y / (h - 1) in green, 0.25 in blue, scaled by gain.
std::string writeExr(const TempDir& dir, const std::string& name, uint32_t w, uint32_t h, float gain)
{
    auto image = imageOf<oxColourHalf>(w, h, [&](uint32_t x, uint32_t y) {
        return oxColourHalf(gain * float(x) / float(w - 1), gain * float(y) / float(h - 1), gain * 0.25f);
    });
    try {
        oxImageRegistry::instance().saveImage(*image, dir.file(name), oxToneMapping::neutral());
    } catch (const std::exception&) {
        return {};
    }
    return dir.file(name);
}

} // namespace

// The frame shown before GL is up gives way to the view's first frame: nothing may visibly change. Compared
// as a screen probe does (the mean colour of small cells) and pixel by pixel for gross faults. The first look
// is laid out at the file's size, so nothing moves when the full picture (asked for only once zoomed in past
// its texels) replaces it.
TEST_F(ImageDisplayGL, FirstFrameWithoutGLFirstLookAndFullPictureLookTheSame)
{
    const std::string small = writePicture(dir.file("a.png"), 8, 8, [](uint32_t, uint32_t) { return GREEN; });
    const std::string photo = writePicture(dir.file("photo.jpg"), 1600, 1200, [](uint32_t x, uint32_t y) {
        const bool stripe = (x / 37 + y / 29) % 2 == 0;
        return oxColour(uint8_t(x * 255 / 1599), uint8_t(y * 255 / 1199), stripe ? 220 : 40);
    });
    const std::string large = writePicture(dir.file("b.jpg"), 3999, 2000, [](uint32_t x, uint32_t y) {
        return y < 1000 ? (x < 2000 ? RED : GREEN) : (x < 2000 ? BLUE : WHITE);
    });
    // The photo is no neighbour of the first picture, read ahead before the cover is set.
    runView({small, small, photo, large}, [&](ViewTestApp& a) {
        a.loader->setFirstLookCover(a.width(), a.height());
        DecodeHeadStart decode;
        startFirstLookDecode(decode, photo, a.width(), a.height());
        const oxImage* picture = decode.wait(std::chrono::seconds(60));
        ASSERT_TRUE(picture);
        oxSoftFrame soft(a.width(), a.height(), oxColour(0, 0, 0));
        ASSERT_TRUE(drawFirstFrame(soft, *picture, photo, 1, a.guiStyle()));

        a.show(2);
        a.view->idle(int64_t(100) * 1000000); // past the cross-fade
        ASSERT_TRUE(a.view->currentPicture()->firstLook);
        a.infoLevel = 1;
        const GLFrame gl = a.frame();
        const GLFrame::Distance d = gl.distanceTo(soft.pixels(), 16);
        EXPECT_LE(d.worstBlock, 4);
        EXPECT_LE(d.farPixels, gl.width() * gl.height() / 500);

        a.infoLevel = 0;
        a.show(3);
        a.view->idle(int64_t(100) * 1000000);
        const double zoom = 640.0 / 3998; // laid out 3999 wide
        const int top = int(std::lround(-a.transform->offsetY())), bottom = int(std::lround(top + 1999 * zoom));
        const auto expectQuadrants = [&](const GLFrame& f) {
            const oxColour bg = a.guiStyle().bgColour;
            for (const auto& [x, y, colour] : std::initializer_list<std::tuple<int, int, oxColour>>{
                     {320, top - 2, bg}, {320, bottom + 2, bg}, {1, top + 1, RED}, {317, top + 1, RED},
                     {323, top + 1, GREEN}, {638, top + 1, GREEN}, {1, bottom - 1, BLUE},
                     {638, bottom - 1, WHITE}, {317, bottom - 1, BLUE}, {323, bottom - 1, WHITE}})
                EXPECT_TRUE(f.near(x, y, colour, 40)) << x << "," << y << " " << f.text(x, y);
        };
        ASSERT_TRUE(a.view->hasPicture());
        EXPECT_EQ(a.view->contentSize(), (oxGuiSize{3998, 1999}));
        EXPECT_DOUBLE_EQ(a.transform->zoom(), zoom);
        const GLFrame first = a.frame();
        first.save("view_first_look");
        expectQuadrants(first);
        ASSERT_TRUE(a.loaderIdle());
        EXPECT_TRUE(a.view->currentPicture()->firstLook);
        a.transform->zoomTo(2 * zoom, true, 0.5, 0.5);
        a.frame();
        ASSERT_TRUE(a.loaderIdle());
        a.transform->zoomTo(zoom, true, 0.5, 0.5);
        EXPECT_FALSE(a.view->currentPicture()->firstLook);
        EXPECT_EQ(a.view->currentPicture()->imageWidth, 3999);
        const GLFrame full = a.frame();
        expectQuadrants(full);
        EXPECT_NE(a.view->overlays().detailLine().text().find("3999 x 2000"), std::string::npos)
            << a.view->overlays().detailLine().text();
        EXPECT_DOUBLE_EQ(a.transform->zoom(), 640.0 / 3998); // still fitted
    });
}

// A tile uploaded or placed one texel off shows in the noise; a seam at any zoom as a step in a smooth ramp.
TEST_F(ImageDisplayGL, OriginalSizeShowsTexelForPixelTilesMeetWithoutSeamsAtEveryZoom)
{
    setTextureSizeLimit(256); // 700 x 500 in 3 x 2 tiles, the ramp in 3 x 2
    std::mt19937 random(7);
    std::vector<oxColour> noise(700 * 500);
    for (oxColour& c : noise)
        c = oxColour(uint8_t(random()), uint8_t(random()), uint8_t(random()));
    const std::string file =
        writePicture(dir.file("noise.png"), 700, 500, [&](uint32_t x, uint32_t y) { return noise[y * 700 + x]; });
    const std::string ramp = writePicture(dir.file("ramp.png"), 600, 450, [](uint32_t x, uint32_t y) {
        return oxColour(uint8_t(x * 255 / 599), uint8_t(y * 255 / 449), 128);
    });
    for (bool powerOfTwoOnly : {false, true}) {
        setNPOTTexturesDisabled(powerOfTwoOnly);
        runView({file, ramp}, [&](ViewTestApp& a) {
            ASSERT_TRUE(a.view->hasPicture());
            {
                oxLock lock(a.view->currentPicture()->lock); // the seams are there to be tested
                EXPECT_EQ(a.view->currentPicture()->tileWidth == 256, powerOfTwoOnly);
                EXPECT_TRUE(a.view->currentPicture()->tiles[1][2]);
            }
            EXPECT_TRUE(a.view->onCommand(CMD_ORIGINAL_SIZE));
            for (double scrollX : {0.0, 37.0, 59.5}) {
                a.transform->scrollTo(scrollX, 10.25);
                const GLFrame f = a.frame();
                // Texel centres on pixel centres, the origin at the pixel centre nearest to -offset.
                const int dx = -int(std::floor(-a.transform->offsetX())), dy = -int(std::floor(-a.transform->offsetY()));
                int wrong = 0;
                for (int y = 0; y < f.height(); ++y)
                    for (int x = 0; x < f.width(); ++x) {
                        const int px = x + dx, py = y + dy;
                        if (px < 0 || py < 0 || px >= 700 || py >= 500)
                            continue;
                        if (!f.near(x, y, noise[size_t(py) * 700 + px], 1) && ++wrong < 4)
                            ADD_FAILURE() << "pixel " << x << "," << y << " " << f.text(x, y) << " scroll " << scrollX
                                          << (powerOfTwoOnly ? ", power-of-two tiles" : "");
                    }
                EXPECT_EQ(wrong, 0);
            }

            a.show(1);
            a.view->idle(int64_t(100) * 1000000); // past the cross-fade
            ASSERT_TRUE(a.view->hasPicture());
            for (double zoom : {a.transform->fitZoom(), 0.37, 1.0, 2.3, 7.9}) {
                a.transform->zoomTo(zoom, true, 0.5, 0.5);
                a.transform->scrollTo(a.transform->maximumOffsetX() / 3, a.transform->maximumOffsetY() / 3);
                const GLFrame f = a.frame();
                if (zoom == 2.3 && !powerOfTwoOnly)
                    f.save("view_ramp_zoomed");
                // Neighbours inside the picture differ by at most one ramp step per pixel plus rounding.
                int worst = 0;
                for (int x = 1, y = f.height() / 2; x < f.width() - 1; ++x) {
                    const double cx = (x + a.transform->offsetX()) / zoom;
                    if (cx >= 2 && cx <= 596)
                        worst = std::max(worst, std::abs(f.r(x, y) - f.r(x - 1, y)));
                }
                EXPECT_LE(worst, std::max(1.0, 255.0 / 599 / zoom) + 2.5) << "zoom " << zoom;
            }
        });
    }
}

// The overlay lines and the navigator follow the info level. Transparent parts show the checkerboard; the frames
// before the first picture meet its drawing ahead of time and show none of it.
TEST_F(ImageDisplayGL, OverlaysTransparencyAndCrossFade)
{
    const std::string file = writePicture(dir.file("grey.png"), 1600, 1200, [](uint32_t, uint32_t) {
        return oxColour(100, 100, 100);
    });
    // Left half opaque black, right half fully transparent.
    const auto halves = [](uint32_t x, uint32_t) { return x < 160 ? oxColour(0, 0, 0, 255) : oxColour(0, 0, 0, 0); };
    const oxColour oldColour(200, 0, 0), newColour(0, 200, 0);
    // 4:3 fills the 640 x 480 window; 8:3 fits as a band from y 120 to 360.
    const std::string full =
        writePicture(dir.file("full.png"), 200, 150, [&](uint32_t, uint32_t) { return oldColour; });
    const std::string band =
        writePicture(dir.file("band.png"), 400, 150, [&](uint32_t, uint32_t) { return newColour; });
    // Bright text pixels in the top left; red navigator frame pixels in the bottom right.
    const auto ink = [](const GLFrame& f) { return f.count([](int r, int, int) { return r > 200; }, {0, 0, 300, 90}); };
    const auto navigator = [](const GLFrame& f) {
        return f.count([](int r, int g, int) { return r > g + 30; }, {f.width() - 256, f.height() - 256, 256, 256});
    };
    runView({file, writePicture(dir.file("half.png"), 320, 240, halves), full, band, full}, [&](ViewTestApp& a) {
        ASSERT_TRUE(a.view->hasPicture());
        EXPECT_EQ(ink(a.frame()), 0); // level 0: no lines
        a.infoLevel = 1;
        EXPECT_GT(ink(a.frame()), 20);
        EXPECT_EQ(a.view->overlays().zoomLabel().text(), "40 %");
        a.infoLevel = 2;
        EXPECT_EQ(navigator(a.frame()), 0); // fits the window

        a.transform->zoomTo(1.0, true, 0.5, 0.5);
        const GLFrame f = a.frame();
        f.save("view_overlays_level2_navigator");
        EXPECT_GT(navigator(f), 1000);
        EXPECT_EQ(a.view->overlays().zoomLabel().text(), "100 %");
        a.infoLevel = 1;
        EXPECT_EQ(navigator(a.frame()), 0);

        a.infoLevel = 0;
        a.show(1);
        a.view->idle(int64_t(100) * 1000000); // past the cross-fade
        ASSERT_TRUE(a.view->hasPicture());
        const GLFrame board = a.frame();
        board.save("view_transparency");
        // The board's two greys in equal parts where the picture is transparent; the black half stays black.
        EXPECT_EQ(board.count(nearColour(oxColour(77, 77, 77), 4), {480, 232, 16, 16}), 128);
        EXPECT_EQ(board.count(nearColour(oxColour(102, 102, 102), 4), {480, 232, 16, 16}), 128);
        EXPECT_TRUE(board.near(160, 240, oxColour(0, 0, 0), 2)) << board.text(160, 240);

        FakeLoader loader;
        loader.pending = {"/p/awaited.jpg"};
        ImageDisplay waiting(&a, loader);
        waiting.applyGlobalStyle();
        waiting.showPicture("/p/awaited.jpg");
        glClear(GL_COLOR_BUFFER_BIT);
        waiting.drawView(1);
        const GLFrame frame = a.readBack();
        const oxColour bg = a.guiStyle().bgColour;
        EXPECT_EQ(frame.count([&](int r, int g, int b) { return r != bg.r || g != bg.g || b != bg.b; },
                              {0, 0, frame.width(), frame.height()}),
                  0);

        // Half way through a fade between shapes: both mix, and the uncovered parts fade to the background.
        auto mix = [](oxColour x, oxColour y) {
            return oxColour(uint8_t((x.r + y.r) / 2), uint8_t((x.g + y.g) / 2), uint8_t((x.b + y.b) / 2));
        };
        a.show(2);
        a.view->idle(int64_t(100) * 1000000);
        a.show(3);
        a.view->idle(125000); // half way: it began a quarter in
        const GLFrame in = a.frame();
        in.save("view_crossfade_veil");
        EXPECT_TRUE(in.near(320, 240, mix(oldColour, newColour), 6)) << in.text(320, 240); // both
        EXPECT_TRUE(in.near(320, 40, mix(oldColour, bg), 6)) << in.text(320, 40);           // old only
        a.show(4);
        a.view->idle(125000);
        const GLFrame out = a.frame();
        EXPECT_TRUE(out.near(320, 240, mix(newColour, oldColour), 6)) << out.text(320, 240);
        EXPECT_TRUE(out.near(320, 40, mix(oldColour, bg), 6)) << out.text(320, 40); // new only
    });
}

// A fade that starts from a frame at rest puts that frame back instead of drawing the leaving picture again,
// or finds it put back into the back buffer right after the frame at rest.
TEST_F(ImageDisplayGL, CrossFadeFromAFrameAtRestLooksAsDrawnAnew)
{
    // Detail in both directions: a copy turned, mirrored or shifted shows.
    const auto detail = [](uint32_t x, uint32_t y) { return oxColour(uint8_t(x), uint8_t(y * 3 / 2), uint8_t((x * y) % 251)); };
    const std::string full = writePicture(dir.file("full.png"), 200, 150, detail);
    const std::string band = writePicture(dir.file("band.png"), 400, 150, detail);
    enum Start { Anew, FromCopy, FromBackBuffer };
    std::vector<GLFrame> fades;
    for (Start start : {Anew, FromCopy, FromBackBuffer})
        runView({full, band, full}, [&](ViewTestApp& a) {
            a.show(1);
            a.view->idle(1000000); // the first fade ends: copies are made from now on
            if (start != Anew)
                a.frame();
            if (start == FromBackBuffer) {
                glClearColor(1, 0, 1, 1); // what the copy must replace
                glClear(GL_COLOR_BUFFER_BIT);
                EXPECT_TRUE(a.view->primeBackBuffer());
            }
            a.show(2);
            a.view->idle(125000);
            a.view->setBackBufferHoldsCopy(start == FromBackBuffer);
            a.setClearMask(start == FromBackBuffer ? 0 : GL_COLOR_BUFFER_BIT);
            fades.push_back(a.frame());
        });
    ASSERT_EQ(fades.size(), 3u);
    fades[1].save("view_crossfade_from_rest");
    EXPECT_LE(fades[0].maxDifference(fades[1]), 2);
    EXPECT_LE(fades[0].maxDifference(fades[2]), 2);
}

// Processor time while idle: the main loop's and the loader's own tests; a view left ticking: its unit test.
TEST_F(ImageDisplayGL, NothingIsDrawnWhileNothingMoves)
{
    std::vector<std::string> files;
    for (int i = 0; i < 3; ++i)
        files.push_back(writePicture(dir.file("q" + std::to_string(i) + ".png"), 300, 200, [i](uint32_t x, uint32_t) {
            return oxColour(uint8_t(x), uint8_t(80 * i), 0);
        }));
    ViewTestApp app(files);
    app.keepRunning = true;
    app.infoLevel = 2;
    app.script = [&](ViewTestApp& a) {
        a.show(1); // a fade and a zoom animation start
        a.transform->zoomAnimated(a.transform->zoom() * 1.5);
    };
    std::atomic<int> framesDuringFade{0}, framesIdle{-1};
    EXPECT_EQ(app.runFor(std::chrono::seconds(120), [&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(1500));
        framesDuringFade = app.frames.load();
        app.loaderIdle();
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        const int frames = app.frames.load();
        std::this_thread::sleep_for(std::chrono::seconds(3));
        framesIdle = app.frames.load() - frames;
        app.postCommand(LoopApp::CMD_QUIT);
    }), 0);
    EXPECT_GT(framesDuringFade.load(), 3);
    EXPECT_EQ(framesIdle.load(), 0);
}

// An animated GIF's frames follow their delays on a fake clock and stop with the next picture.
TEST_F(ImageDisplayGL, AnimationFramesAdvanceByTheirDelaysAndStopWithTheNextPicture)
{
    if (runCommand("command -v convert >/dev/null") != 0)
        GTEST_SKIP() << "no ImageMagick";
    const std::string gif = dir.file("anim.gif");
    ASSERT_EQ(runCommand("convert -size 64x48 -delay 5 xc:red xc:lime -delay 10 xc:blue -loop 0 '" + gif + "'"), 0);
    const auto grey = [](uint32_t, uint32_t) { return oxColour(90, 90, 90); };
    int64_t now = 0;
    runView({gif, writePicture(dir.file("still.png"), 64, 48, grey)}, [&](ViewTestApp& a) {
        a.view->setClock([&] { return now; });
        a.show(0);
        ASSERT_TRUE(a.view->hasPicture());
        const auto shows = [&](oxColour c) { return a.frame().near(320, 240, c, 0); };
        while (a.view->isFading())
            a.view->idle(1000000);
        EXPECT_TRUE(shows(RED)) << a.frame().text(320, 240);
        ASSERT_TRUE(a.view->framePlayer().active());
        now = 50000;
        EXPECT_TRUE(shows(GREEN));
        // P pauses: the frame stays however long; the full stop steps one.
        EXPECT_TRUE(a.view->onKeyDown('p', false));
        now = 1000000;
        EXPECT_TRUE(shows(GREEN));
        EXPECT_TRUE(a.view->onKeyDown('.', false));
        EXPECT_TRUE(shows(BLUE));
        a.show(1);
        EXPECT_FALSE(a.view->framePlayer().active());
        EXPECT_FALSE(a.view->onKeyDown('p', false)); // a still picture leaves the key alone
    });
}

TEST_F(ImageDisplayGL, HdrPicturesFollowTheExposureSliders)
{
    const std::string exr = writeExr(dir, "ramp.exr", 320, 240, 1.0f);
    if (exr.empty())
        GTEST_SKIP() << "no EXR support";
    const std::string bright = writeExr(dir, "bright.exr", 641, 120, 4.0f); // red 4 x / 640
    const auto flat = [](uint32_t, uint32_t) { return oxColour(90, 90, 90); };
    runView({exr, writePicture(dir.file("plain.png"), 320, 240, flat), bright}, [&](ViewTestApp& a) {
        a.infoLevel = 1;
        ASSERT_TRUE(a.view->hasPicture());
        LoadedPicture& p = *a.view->currentPicture();
        ASSERT_TRUE(p.hdr);
        ExposurePanel& panel = a.view->exposurePanel();
        EXPECT_TRUE(panel.isVisible());
        const GLFrame start = a.frame();
        start.save("view_exposure_panel");

        // Black 0, white 1, gamma 1, saturation 1: the texture as it is.
        panel.whitePoint().setValue(1.0);
        a.infoLevel = 0;
        const GLFrame identity = a.frame();
        const auto setHdr = [&](bool hdr) {
            oxLock lock(p.lock);
            p.hdr = hdr;
        };
        setHdr(false); // the same tiles without the shader
        const GLFrame plain = a.frame();
        setHdr(true);
        EXPECT_LE(identity.maxDifference(plain), 2);
        const int x = 200, y = 150; // a texel of about (0.31, 0.3, 0.25)
        const int before = identity.r(x, y);

        // A lower white point brightens; saturation 0 gives the weighted grey.
        panel.whitePoint().setValue(0.7);
        const GLFrame brighter = a.frame();
        EXPECT_NEAR(brighter.r(x, y), before / 0.7, 3);
        panel.whitePoint().setValue(1.0);
        panel.saturation().setRange(0.0, 2.5);
        panel.saturation().setValue(0.0);
        const GLFrame grey = a.frame();
        const double expected = 0.39 * identity.r(x, y) + 0.5 * identity.g(x, y) + 0.11 * identity.b(x, y);
        EXPECT_NEAR(grey.r(x, y), expected, 3);
        EXPECT_TRUE(grey.r(x, y) == grey.g(x, y) && grey.g(x, y) == grey.b(x, y)) << grey.text(x, y);
        // Gamma above 1 darkens the middle tones.
        panel.saturation().setValue(1.0);
        panel.gamma().setValue(2.0);
        EXPECT_NEAR(a.frame().r(x, y), 255.0 * std::pow(before / 255.0, 2.0), 3);

        // A picture without high dynamic range hides the panel again.
        a.show(1);
        EXPECT_FALSE(panel.isVisible());

        // Without shader support the values are drawn as they are.
        a.show(2);
        ASSERT_TRUE(a.view->hasPicture());
        LoadedPicture& bright = *a.view->currentPicture();
        MessageCapture boxes;
        oxOverrideShaderDriver(oxShaderDriverHooks{[](const char*) { return false; }, nullptr});
        ExposureShader unsupported;
        const Exposure automatic = automaticExposure(bright);
        glClearColor(0, 0, 0, 1);
        glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
        glLoadIdentity();
        glTranslated(0.5, 0.5, 0);
        drawPicture(bright, 1.0, 1.0, 0.0, &unsupported, &automatic);
        const GLFrame f = a.readBack();
        oxOverrideShaderDriver(std::nullopt);
        EXPECT_FALSE(unsupported.exists());
        EXPECT_EQ(boxes.count(), 0u);
        EXPECT_NEAR(f.r(80, 10), 128, 3);  // 0.5
        EXPECT_NEAR(f.r(40, 10), 64, 3);   // 0.25
        EXPECT_EQ(f.r(400, 10), 255);      // 2.5, clamped
        EXPECT_EQ(f.b(400, 10), 255);      // 1.0
    });
}
