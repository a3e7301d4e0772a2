#include "../imagetest.h"

#include "oxengine/image/pixbuf/giftiming.h"
#include "oxengine/image/pixbuf/pixbufhandler.h"

namespace {

oxColour pixel(uint32_t x, uint32_t y)
{
    return oxColour(uint8_t(x * 40 + 5), uint8_t(y * 60 + 7), uint8_t(x * y + 9), 255);
}

// A 24-bit BMP stored bottom row first, rows padded to four bytes.
std::string bmp(uint32_t w, uint32_t h)
{
    std::string data;
    for (uint32_t row = 0; row < h; ++row) {
        std::string line;
        for (uint32_t x = 0; x < w; ++x) {
            const oxColour c = pixel(x, h - 1 - row);
            line += {char(c.b), char(c.g), char(c.r)};
        }
        line.resize((line.size() + 3) / 4 * 4, '\0');
        data += line;
    }
    const std::string info = le32(40) + le32(w) + le32(h) + std::string("\x01\0\x18\0", 4) + le32(0) +
                             le32(uint32_t(data.size())) + le32(2835) + le32(2835) + le32(0) + le32(0);
    return "BM" + le32(uint32_t(14 + info.size() + data.size())) + le32(0) + le32(14 + 40) + info + data;
}

std::unique_ptr<oxImageUInt8> load(const std::string& path)
{
    return loadAs<oxColour>(oxOLEImageHandler(), path);
}

} // namespace

// Failures say which step failed, and nothing is transformed (the save dialogs offer no GIF or BMP).
TEST(PixbufLoad, RowsFailuresAndAnimations)
{
    TempDir dir;
    const std::string f = dir.file("p.BMP");
    ASSERT_TRUE(writeFile(f, bmp(5, 3)));
    EXPECT_TRUE(samePixels(*load(f), *imageOf<oxColour>(5, 3, pixel)));

    const std::string bad = dir.file("bad.gif");
    std::string huge = bmp(1, 1);
    huge.replace(18, 8, le32(100000) + le32(100000));
    // Other formats reach no other decoder; sizes beyond the pixel limit are refused before the decoder allocates.
    for (const auto& [bytes, message] : std::initializer_list<std::pair<std::string, std::string>>{
             {"", "Can't load image."},
             {"GIF89a\x05\x00\x05\x00\xf7\x00\x00 corrupt", // with the decoder's reason
              "Can't load image. (GIF image was truncated or incomplete.)"},
             {bmp(4, 4).substr(0, 40), "Can't load image."},
             {"P6\n2 2\n255\n012345678901", "Can't load image."},
             {huge, "the picture is too large: 100000 × 100000 pixels"}})
        EXPECT_EQ(loadError(bad, bytes, load), "OLE image loading: " + message);
    ASSERT_TRUE(writeFile(bad, bmp(2, 2)));
    EXPECT_EQ(imageError([&] { oxImageRegistry::instance().transformFile(bad, {}); }),
              "cannot transform this image");

    // The timing reader stops at damage. Header, no colour table, a control extension (30 hundredths), a frame
    // whose data runs past the end.
    std::string gif("GIF89a\x02\0\x02\0\0\0\0", 13);
    gif += std::string("\x21\xF9\x04\x00\x1E\x00\x00\x00", 8);
    gif += std::string("\x2C\0\0\0\0\x02\0\x02\0\0\x02\x05\x01", 13);
    const auto timing = oxReadGifTiming(reinterpret_cast<const unsigned char*>(gif.data()), gif.size());
    EXPECT_EQ(timing.delays, std::vector<int>{300});
    EXPECT_EQ(timing.plays, 1);
    EXPECT_TRUE(oxReadGifTiming(nullptr, 0).delays.empty());
    // A fuzzer finding, shown as its first frame still: the second frame starts at x 255 of a 38 pixel wide
    // screen, and the library's composition of it wrote out of bounds.
    const std::string finding = OX_TEST_DATA_DIR "/regressions/gif-frame-outside-screen.gif";
    const std::string bytes = readFile(finding);
    EXPECT_FALSE(oxReadGifTiming(reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size()).framesInside);
    const auto still = oxImageRegistry::instance().loadImage(finding, oxSize());
    EXPECT_EQ(still->size(), oxSize(38, 32));
    EXPECT_FALSE(still->animation());

    if (runCommand("command -v convert >/dev/null") != 0)
        GTEST_SKIP() << "ImageMagick makes the GIF files";
    const std::string animated = dir.file("anim.gif"), transparent = dir.file("t.gif");
    // 50 ms, 50 ms, then 0 (shown 20 ms); three plays.
    ASSERT_EQ(runCommand("convert -size 6x4 -delay 5 xc:red xc:lime -delay 0 xc:blue -loop 3 '" + animated + "'"), 0);
    EXPECT_EQ(load(animated)->at(5, 3), oxColour(255, 0, 0, 255));
    ASSERT_EQ(runCommand("convert -size 4x4 xc:none -fill '#00ff00' -draw 'point 1,1' '" + transparent + "'"), 0);
    auto image = load(transparent);
    EXPECT_EQ(image->at(1, 1), oxColour(0, 255, 0, 255));
    EXPECT_EQ(std::count_if(image->pixels(), image->pixels() + 16, [](const oxColour& c) { return c.a == 0; }), 15);

    // Through the registry the frames come with the file's timing; a thumbnail-sized request gets the first alone.
    const auto moving = oxImageRegistry::instance().loadImage(animated, oxSize());
    ASSERT_TRUE(moving->animation());
    const oxAnimation& a = *moving->animation();
    ASSERT_EQ(a.frames.size(), 3u);
    EXPECT_EQ(a.delays, (std::vector<int>{50, 50, 20}));
    EXPECT_EQ(a.plays, 3);
    const oxColour expected[3] = {{255, 0, 0, 255}, {0, 255, 0, 255}, {0, 0, 255, 255}};
    for (size_t k = 0; k < 3; ++k)
        EXPECT_EQ(static_cast<const oxColour*>(a.frames[k]->data())[5], expected[k]) << k;
    EXPECT_FALSE(oxImageRegistry::instance().loadImage(animated, oxSize(3, 2))->animation());
}
