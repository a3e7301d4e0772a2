// High dynamic range through the exposure shader, and transparency, on a real window.
#include "viewapp.h"

#include "app/views/exposureshader.h"
#include "app/views/picturedraw.h"

#include "oxengine/graphics/shader.h"
#include "oxengine/gui/slider.h"
#include "oxengine/image/half.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>

namespace {

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

// How many pixels of the square at (x, y) are near each grey of the board.
std::pair<int, int> boardGreys(const GLFrame& f, int x0, int y0)
{
    int dark = 0, light = 0;
    for (int y = y0; y < y0 + 16; ++y)
        for (int x = x0; x < x0 + 16; ++x) {
            dark += f.near(x, y, oxColour(77, 77, 77), 4);
            light += f.near(x, y, oxColour(102, 102, 102), 4);
        }
    return {dark, light};
}

} // namespace

TEST(ExposureShaderGL, HdrPictureFollowsTheSlidersAndIdentityReproducesTheTexture)
{
    TempDir dir;
    const std::string exr = writeExr(dir, "ramp.exr", 320, 240, 1.0f);
    if (!std::getenv("DISPLAY") || exr.empty())
        GTEST_SKIP() << "no X display or no EXR support";
    const auto flat = [](uint32_t, uint32_t) { return oxColour(90, 90, 90); };
    runView({exr, writePicture(dir.file("plain.png"), 320, 240, flat)}, [&](ViewTestApp& a) {
        a.infoLevel = 1;
        ASSERT_TRUE(a.view->hasPicture());
        LoadedPicture& p = *a.view->currentPicture();
        ASSERT_TRUE(p.hdr);
        ExposurePanel& panel = a.view->exposurePanel();
        EXPECT_TRUE(panel.isVisible());
        EXPECT_DOUBLE_EQ(panel.blackPoint().getValue(), 0.0);
        EXPECT_NEAR(panel.whitePoint().getValue(), std::min(2.0 * p.midValue, double(p.maxValue)), 1e-6);
        const GLFrame start = a.frame();
        start.save("view_exposure_panel");
        EXPECT_TRUE(a.view->exposureShader().exists());

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
    });
}

TEST(ExposureShaderGL, WithoutShaderSupportHdrPicturesShowTheirValuesAsTheyAre)
{
    TempDir dir;
    const std::string exr = writeExr(dir, "bright.exr", 641, 120, 4.0f); // red 4 x / 640
    if (!std::getenv("DISPLAY") || exr.empty())
        GTEST_SKIP() << "no X display or no EXR support";
    runView({exr}, [&](ViewTestApp& a) {
        ASSERT_TRUE(a.view->hasPicture());
        LoadedPicture& p = *a.view->currentPicture();
        MessageCapture boxes;
        oxOverrideShaderDriver(oxShaderDriverHooks{[](const char*) { return false; }, nullptr});
        ExposureShader unsupported;
        const Exposure automatic = automaticExposure(p);
        glClearColor(0, 0, 0, 1);
        glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
        glLoadIdentity();
        glTranslated(0.5, 0.5, 0);
        drawPicture(p, 1.0, 1.0, 0.0, &unsupported, &automatic);
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

TEST(TransparencyGL, TransparentPartsShowTheCheckerboard)
{
    if (!std::getenv("DISPLAY"))
        GTEST_SKIP() << "no X display";
    TempDir dir;
    // Left half opaque black, right half fully transparent.
    const auto halves = [](uint32_t x, uint32_t) { return x < 160 ? oxColour(0, 0, 0, 255) : oxColour(0, 0, 0, 0); };
    runView({writePicture(dir.file("half.png"), 320, 240, halves)}, [&](ViewTestApp& a) {
        ASSERT_TRUE(a.view->hasPicture());
        EXPECT_TRUE(a.view->currentPicture()->transparent);
        const GLFrame f = a.frame();
        f.save("view_transparency");
        // The board's two greys in equal parts where the picture is transparent; the black half stays black.
        const auto [dark, light] = boardGreys(f, 480, 232);
        EXPECT_EQ(dark, 128);
        EXPECT_EQ(light, 128);
        EXPECT_TRUE(f.near(160, 240, oxColour(0, 0, 0), 2)) << f.text(160, 240);
    });
}
