// Animated GIFs: every frame as shown, with the file's delays (at least
// 20 ms) and play count; thumbnails and still pictures carry no frames.
#include "../imagetest.h"

#include "oxengine/image/pixbuf/giftiming.h"

TEST(GifAnimation, FramesCarryTheFilesTiming)
{
    if (runCommand("command -v convert >/dev/null") != 0)
        GTEST_SKIP() << "ImageMagick makes the GIF files";
    TempDir dir;
    const std::string path = dir.file("anim.gif");
    // 50 ms, 50 ms, then 0 (shown 20 ms); three plays.
    ASSERT_EQ(runCommand("convert -size 6x4 -delay 5 xc:red xc:lime -delay 0 xc:blue -loop 3 '" + path + "'"), 0);
    const auto image = oxImageRegistry::instance().loadImage(path, oxSize());
    ASSERT_TRUE(image->animation());
    const oxAnimation& a = *image->animation();
    ASSERT_EQ(a.frames.size(), 3u);
    EXPECT_EQ(a.delays, (std::vector<int>{50, 50, 20}));
    EXPECT_EQ(a.plays, 3);
    const oxColour expected[3] = {{255, 0, 0, 255}, {0, 255, 0, 255}, {0, 0, 255, 255}};
    for (size_t k = 0; k < 3; ++k)
        EXPECT_EQ(static_cast<const oxColour*>(a.frames[k]->data())[5], expected[k]) << k;
    // A thumbnail-sized request gets the first frame alone.
    EXPECT_FALSE(oxImageRegistry::instance().loadImage(path, oxSize(3, 2))->animation());
}

TEST(GifAnimation, TimingReaderStopsAtDamage)
{
    // Header, no colour table, a control extension (30 hundredths), a frame whose data runs past the end.
    std::string gif("GIF89a\x02\0\x02\0\0\0\0", 13);
    gif += std::string("\x21\xF9\x04\x00\x1E\x00\x00\x00", 8);
    gif += std::string("\x2C\0\0\0\0\x02\0\x02\0\0\x02\x05\x01", 13);
    const auto timing = oxReadGifTiming(reinterpret_cast<const unsigned char*>(gif.data()), gif.size());
    EXPECT_EQ(timing.delays, std::vector<int>{300});
    EXPECT_EQ(timing.plays, 1);
    EXPECT_TRUE(oxReadGifTiming(nullptr, 0).delays.empty());
}

TEST(GifAnimation, AFrameOutsideTheScreenLeavesTheFirstFrameStill)
{
    // A fuzzer finding: the second frame starts at x 255 of a 38 pixel wide
    // screen, and the library's composition of it wrote out of bounds.
    const std::string path = OX_TEST_DATA_DIR "/regressions/gif-frame-outside-screen.gif";
    const std::string bytes = readFile(path);
    EXPECT_FALSE(oxReadGifTiming(reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size()).framesInside);
    const auto image = oxImageRegistry::instance().loadImage(path, oxSize());
    EXPECT_EQ(image->size(), oxSize(38, 32));
    EXPECT_FALSE(image->animation());
}
