// An animated GIF in the single view: its frames are drawn as their delays
// pass (a fake clock), and the animation stops when the view changes.
#include "../viewapp.h"

#include <gtest/gtest.h>

#include <cstdlib>

TEST(AnimationGL, FramesAdvanceByTheirDelaysAndStopWithTheNextPicture)
{
    if (!std::getenv("DISPLAY") || runCommand("command -v convert >/dev/null") != 0)
        GTEST_SKIP() << "no X display or no ImageMagick";
    TempDir dir;
    const std::string gif = dir.file("anim.gif");
    ASSERT_EQ(runCommand("convert -size 64x48 -delay 5 xc:red xc:lime -delay 10 xc:blue -loop 0 '" + gif + "'"), 0);
    const auto grey = [](uint32_t, uint32_t) { return oxColour(90, 90, 90); };
    ViewTestApp app({gif, writePicture(dir.file("still.png"), 64, 48, grey)});
    int64_t now = 0;
    app.script = [&](ViewTestApp& a) {
        a.view->setClock([&] { return now; });
        a.show(0);
        ASSERT_TRUE(a.view->hasPicture());
        const auto centre = [&] {
            const GLFrame f = a.frame();
            return oxColour(uint8_t(f.r(320, 240)), uint8_t(f.g(320, 240)), uint8_t(f.b(320, 240)));
        };
        while (a.view->isFading())
            a.view->idle(1000000);
        EXPECT_TRUE(centre() == oxColour(255, 0, 0)) << a.frame().text(320, 240);
        ASSERT_TRUE(a.view->framePlayer().active());
        now = 49000;
        EXPECT_TRUE(centre() == oxColour(255, 0, 0));
        now = 50000;
        EXPECT_TRUE(centre() == oxColour(0, 255, 0));
        now = 100000;
        EXPECT_TRUE(centre() == oxColour(0, 0, 255));
        // P pauses: the frame stays however long.
        EXPECT_TRUE(a.view->onKeyDown('p', false));
        now = 1000000;
        EXPECT_TRUE(centre() == oxColour(0, 0, 255));
        EXPECT_TRUE(a.view->onKeyDown('.', false));
        EXPECT_TRUE(centre() == oxColour(255, 0, 0));
        a.show(1);
        EXPECT_FALSE(a.view->framePlayer().active());
        EXPECT_FALSE(a.view->onKeyDown('p', false)); // a still picture leaves the key alone
    };
    EXPECT_EQ(app.runOnce(), 0);
}
