// Transparent pictures are drawn over a subtle checkerboard; opaque ones
// are not.
#include "viewapp.h"

#include <gtest/gtest.h>

#include <cstdlib>

namespace {

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

TEST(TransparencyGL, TransparentPartsShowTheCheckerboard)
{
    if (!std::getenv("DISPLAY"))
        GTEST_SKIP() << "no X display";
    TempDir dir;
    // Left half opaque black, right half fully transparent.
    const auto halves = [](uint32_t x, uint32_t) { return x < 160 ? oxColour(0, 0, 0, 255) : oxColour(0, 0, 0, 0); };
    const auto opaque = [](uint32_t, uint32_t) { return oxColour(0, 0, 0, 255); };
    ViewTestApp app({writePicture(dir.file("half.png"), 320, 240, halves), writePicture(dir.file("opaque.png"), 320, 240, opaque)});
    app.script = [&](ViewTestApp& a) {
        ASSERT_TRUE(a.view->hasPicture());
        EXPECT_TRUE(a.view->currentPicture()->transparent);
        const GLFrame f = a.frame();
        f.save("view_transparency");
        // The board's two greys in equal parts where the picture is
        // transparent; the black half stays black.
        const auto [dark, light] = boardGreys(f, 480, 232);
        EXPECT_EQ(dark, 128);
        EXPECT_EQ(light, 128);
        EXPECT_TRUE(f.near(160, 240, oxColour(0, 0, 0), 2)) << f.text(160, 240);
    };
    EXPECT_EQ(app.runOnce(), 0);
}
