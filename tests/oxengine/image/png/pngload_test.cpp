#include "../imagetest.h"
#include "pngtest.h"

#include <cmath>

using namespace pngtest;

namespace {

const oxImageUInt8& u8(const std::unique_ptr<oxImage>& image)
{
    EXPECT_EQ(image->sampleType(), ST_UINT8);
    return static_cast<const oxImageUInt8&>(*image);
}

const oxImageUInt16& u16(const std::unique_ptr<oxImage>& image)
{
    EXPECT_EQ(image->sampleType(), ST_UINT16);
    return static_cast<const oxImageUInt16&>(*image);
}

std::string corpus(const std::string& name)
{
    return std::string(OX_SHARED_DIR) + "/corpus/png/" + name;
}

} // namespace

TEST(PngLoad, PaletteTransparencyAndGreyDepthsBecomeRgba)
{
    TempDir dir;
    const std::string f = dir.file("p.png");
    const Chunk palette{"PLTE", std::string("\xff\x00\x00\x00\xff\x00\x00\x00\xff", 9)};
    const auto index = [](uint32_t x, uint32_t, int) { return uint16_t(x % 3); };
    // Entry 1 half transparent, entry 2 (beyond the tRNS entries) opaque.
    ASSERT_TRUE(writeFile(f, file({ihdr(3, 1, 2, 3), palette, {"tRNS", std::string("\x00\x80", 2)},
                                   idat(3, 1, 2, 3, index), iend()})));
    auto image = load(f);
    EXPECT_EQ(u8(image).at(0, 0), oxColour(255, 0, 0, 0));
    EXPECT_EQ(u8(image).at(1, 0), oxColour(0, 255, 0, 128));
    EXPECT_EQ(u8(image).at(2, 0), oxColour(0, 0, 255, 255));
    EXPECT_EQ(image->components(), 4);
    ASSERT_TRUE(writeFile(f, file({ihdr(3, 1, 8, 3), palette, idat(3, 1, 8, 3, index), iend()})));
    EXPECT_EQ(u8(load(f)).at(0, 0), oxColour(255, 0, 0, 255));

    // Grey below 8 bits is scaled to the full range, not shifted.
    for (int depth : {1, 2, 4}) {
        const uint16_t max = uint16_t((1 << depth) - 1);
        ASSERT_TRUE(writeFile(f, file({ihdr(2, 1, depth, 0), idat(2, 1, depth, 0, [&](uint32_t x, uint32_t, int) {
                                           return uint16_t(x == 0 ? max : max / 2);
                                       }),
                                       iend()})));
        image = load(f);
        EXPECT_EQ(u8(image).at(0, 0), oxColour(255, 255, 255, 255)) << depth;
        const uint8_t mid = uint8_t(255 / max * (max / 2));
        EXPECT_EQ(u8(image).at(1, 0), oxColour(mid, mid, mid, 255)) << depth;
    }
    // Grey with a tRNS grey value: only that value is transparent.
    ASSERT_TRUE(writeFile(f, file({ihdr(2, 1, 8, 0), {"tRNS", std::string("\x00\x07", 2)},
                                   idat(2, 1, 8, 0, [](uint32_t x, uint32_t, int) { return uint16_t(x ? 7 : 8); }),
                                   iend()})));
    image = load(f);
    EXPECT_EQ(u8(image).at(0, 0), oxColour(8, 8, 8, 255));
    EXPECT_EQ(u8(image).at(1, 0), oxColour(7, 7, 7, 0));
}

TEST(PngLoad, SixteenBitFilesKeepEverySample)
{
    TempDir dir;
    const std::string f = dir.file("16.png");
    ASSERT_TRUE(writeFile(f, file({ihdr(2, 2, 16, 0), idat(2, 2, 16, 0, [](uint32_t x, uint32_t y, int) {
                                       return uint16_t(0x1234 + x * 0x100 + y);
                                   }),
                                   iend()})));
    auto image = load(f);
    EXPECT_EQ(u16(image).at(1, 1), oxColourUInt16(0x1335, 0x1335, 0x1335, 65535));
    EXPECT_EQ(image->components(), 4);

    ASSERT_TRUE(writeFile(f, file({ihdr(2, 1, 16, 6), idat(2, 1, 16, 6, [](uint32_t x, uint32_t, int c) {
                                       return uint16_t(0x0102 * (c + 1) + x);
                                   }),
                                   iend()})));
    EXPECT_EQ(u16(load(f)).at(1, 0), oxColourUInt16(0x0103, 0x0205, 0x0307, 0x0409));
    // Grey with alpha and RGB at 16 bits.
    ASSERT_TRUE(writeFile(f, file({ihdr(1, 1, 16, 4), idat(1, 1, 16, 4, [](uint32_t, uint32_t, int c) {
                                       return uint16_t(c ? 0x8001 : 0xfffe);
                                   }),
                                   iend()})));
    EXPECT_EQ(u16(load(f)).at(0, 0), oxColourUInt16(0xfffe, 0xfffe, 0xfffe, 0x8001));
}

TEST(PngLoad, InterlacedFilesEqualTheirProgressiveTwins)
{
    for (const char* name : {"basn0g01", "basn2c08", "basn3p04", "basn4a16", "basn6a08", "basn0g16"}) {
        std::string interlaced = name;
        interlaced[3] = 'i';
        EXPECT_TRUE(samePixels(*load(corpus("pngsuite/" + std::string(name) + ".png")),
                               *load(corpus("pngsuite/" + interlaced + ".png"))))
            << name;
    }
}

TEST(PngLoad, TheCommentIsTheTextOfTheBestKey)
{
    TempDir dir;
    const std::string f = dir.file("t.png");
    const Chunk pixels = idat(1, 1, 8, 2, [](uint32_t, uint32_t, int) { return uint16_t(9); });
    const auto commentOf = [&](std::vector<Chunk> before, std::vector<Chunk> after = {}) {
        std::vector<Chunk> all{ihdr(1, 1, 8, 2)};
        all.insert(all.end(), before.begin(), before.end());
        all.push_back(pixels);
        all.insert(all.end(), after.begin(), after.end());
        all.push_back(iend());
        EXPECT_TRUE(writeFile(f, file(all)));
        return load(f)->comment();
    };
    EXPECT_EQ(commentOf({text("comment", "c"), text("Title", "t")}), "t");
    EXPECT_EQ(commentOf({text("Description", "d"), text("Author", "a")}), "d");
    EXPECT_EQ(commentOf({text("TITLE", "first"), ztext("title", "second")}), "first");
    EXPECT_EQ(commentOf({text("Author", "a"), text("Copyright", "c")}), "");
    // Chunks after the image data count too.
    EXPECT_EQ(commentOf({text("Comment", "before")}, {ztext("Title", "after, compressed")}), "after, compressed");
    // Text comes out as UTF-8: iTXt as it is, Latin-1 tEXt converted, and
    // tEXt that already is UTF-8 (a common misuse) left alone.
    EXPECT_EQ(commentOf({itext("Title", "\xce\xa9mega")}), "\xce\xa9mega");
    EXPECT_EQ(commentOf({text("Title", "Gr\xfc\xdf")}), "Gr\xc3\xbc\xc3\x9f");
    EXPECT_EQ(commentOf({text("Title", "Gr\xc3\xbc\xc3\x9f")}), "Gr\xc3\xbc\xc3\x9f");
}

TEST(PngLoad, DamagedOrMissingFilesFailCleanly)
{
    TempDir dir;
    const std::string f = dir.file("d.png");
    const std::string good = file({ihdr(64, 64, 8, 2), idat(64, 64, 8, 2, [](uint32_t x, uint32_t y, int c) {
                                       return uint16_t((x * 3 + y * 5 + c * 7) & 255);
                                   }),
                                   iend()});
    ASSERT_TRUE(writeFile(f, good));
    ASSERT_EQ(load(f)->size(), oxSize(64, 64));
    const std::string decompressionFailed = "decompression failed.";
    // Image data cut short, a damaged critical chunk, no picture at all.
    const size_t idatEnd = good.size() - 12;
    ASSERT_TRUE(writeFile(f, good.substr(0, idatEnd / 2 + 20)));
    EXPECT_EQ(imageError([&] { load(f); }), decompressionFailed);
    std::string badCrc = good;
    badCrc[30] ^= 1; // inside IHDR
    ASSERT_TRUE(writeFile(f, badCrc));
    EXPECT_EQ(imageError([&] { load(f); }), decompressionFailed);
    ASSERT_TRUE(writeFile(f, ""));
    EXPECT_EQ(imageError([&] { load(f); }), decompressionFailed);
    EXPECT_EQ(imageError([&] { load(dir.file("missing.png")); }), decompressionFailed);
    EXPECT_EQ(imageError([&] { load(dir.path()); }), decompressionFailed);
}

TEST(PngLoad, SizesBeyondThePixelLimitAreRefusedBeforeAllocation)
{
    TempDir dir;
    const std::string f = dir.file("big.png");
    // 100000 x 100000 RGBA would be 40 GB; the file itself is tiny.
    ASSERT_TRUE(writeFile(f, file({ihdr(100000, 100000, 8, 6), {"IDAT", "x"}, iend()})));
    EXPECT_EQ(imageError([&] { load(f); }), "the picture is too large: 100000 × 100000 pixels");
    // The largest size a PNG can declare.
    ASSERT_TRUE(writeFile(f, file({ihdr(0x7fffffff, 0x7fffffff, 16, 6), {"IDAT", "x"}, iend()})));
    EXPECT_EQ(imageError([&] { load(f); }), "the picture is too large: 2147483647 × 2147483647 pixels");

    ASSERT_TRUE(writeFile(f, file({ihdr(40, 30, 8, 2),
                                   idat(40, 30, 8, 2, [](uint32_t, uint32_t, int) { return uint16_t(1); }), iend()})));
    PixelLimit limit(1000);
    EXPECT_EQ(imageError([&] { load(f); }), "the picture is too large: 40 × 30 pixels");
    oxImage::setPixelLimit(1200);
    EXPECT_EQ(load(f)->size(), oxSize(40, 30));
}
