#include "pngtest.h"

using namespace pngtest;

TEST(PngLoad, EveryColourTypeBecomesRgbaOfItsDepth)
{
    TempDir dir;
    const std::string f = dir.file("p.png");
    const Chunk palette{"PLTE", std::string("\xff\x00\x00\x00\xff\x00\x00\x00\xff", 9)};
    const auto index = [](uint32_t x, uint32_t, int) { return uint16_t(x % 3); };
    // Entry 0 transparent, 1 half, 2 (beyond the tRNS entries) opaque.
    ASSERT_TRUE(writeFile(f, file({ihdr(3, 1, 2, 3), palette, {"tRNS", std::string("\x00\x80", 2)},
                                   idat(3, 1, 2, 3, index), IEND})));
    auto image = loadAs<oxColour>(oxPngHandler(), f);
    EXPECT_EQ(std::vector<oxColour>(image->pixels(), image->pixels() + 3),
              (std::vector<oxColour>{{255, 0, 0, 0}, {0, 255, 0, 128}, {0, 0, 255, 255}}));
    EXPECT_EQ(image->components(), 4);
    ASSERT_TRUE(writeFile(f, file({ihdr(3, 1, 8, 3), palette, idat(3, 1, 8, 3, index), IEND})));
    EXPECT_EQ(loadAs<oxColour>(oxPngHandler(), f)->at(0, 0), oxColour(255, 0, 0, 255));

    // Grey below 8 bits is scaled to the full range, not shifted.
    for (int depth : {1, 2, 4}) {
        const uint16_t max = uint16_t((1 << depth) - 1);
        ASSERT_TRUE(writeFile(f, file({ihdr(2, 1, depth, 0), idat(2, 1, depth, 0, [&](uint32_t x, uint32_t, int) {
                                           return uint16_t(x == 0 ? max : max / 2);
                                       }),
                                       IEND})));
        image = loadAs<oxColour>(oxPngHandler(), f);
        const uint8_t mid = uint8_t(255 / max * (max / 2));
        EXPECT_EQ(image->at(0, 0), oxColour(255, 255, 255, 255)) << depth;
        EXPECT_EQ(image->at(1, 0), oxColour(mid, mid, mid, 255)) << depth;
    }
    // 16 bits: every sample kept, in the machine's byte order.
    ASSERT_TRUE(writeFile(f, file({ihdr(2, 1, 16, 0), idat(2, 1, 16, 0, [](uint32_t x, uint32_t, int) {
                                       return uint16_t(0x1234 + x);
                                   }),
                                   IEND})));
    EXPECT_EQ(loadAs<oxColourUInt16>(oxPngHandler(), f)->at(1, 0), oxColourUInt16(0x1235, 0x1235, 0x1235, 65535));
    ASSERT_TRUE(writeFile(f, file({ihdr(2, 1, 16, 6), idat(2, 1, 16, 6, [](uint32_t x, uint32_t, int c) {
                                       return uint16_t(0x0102 * (c + 1) + x);
                                   }),
                                   IEND})));
    EXPECT_EQ(loadAs<oxColourUInt16>(oxPngHandler(), f)->at(1, 0), oxColourUInt16(0x0103, 0x0205, 0x0307, 0x0409));

    // Interlaced files equal their progressive twins of the conformance suite.
    for (const char* name : {"basn0g01", "basn3p04", "basn4a16", "basn6a08"}) {
        std::string interlaced = name;
        interlaced[3] = 'i';
        EXPECT_TRUE(samePixels(*load(corpusFile("png/pngsuite/" + std::string(name) + ".png")),
                               *load(corpusFile("png/pngsuite/" + interlaced + ".png"))))
            << name;
    }
}

TEST(PngLoad, TheCommentIsTheTextOfTheBestKey)
{
    TempDir dir;
    const std::string f = dir.file("t.png");
    const auto commentOf = [&](std::vector<Chunk> before, std::vector<Chunk> after = {}) {
        std::vector<Chunk> all{ihdr(1, 1, 8, 2)};
        all.insert(all.end(), before.begin(), before.end());
        all.push_back(idat(1, 1, 8, 2, [](uint32_t, uint32_t, int) { return uint16_t(9); }));
        all.insert(all.end(), after.begin(), after.end());
        all.push_back(IEND);
        EXPECT_TRUE(writeFile(f, file(all)));
        return load(f)->comment();
    };
    EXPECT_EQ(commentOf({text("comment", "c"), text("Title", "t")}), "t");
    EXPECT_EQ(commentOf({text("Description", "d"), text("Author", "a")}), "d");
    EXPECT_EQ(commentOf({text("TITLE", "first"), ztext("title", "second")}), "first");
    EXPECT_EQ(commentOf({text("Author", "a"), text("Copyright", "c")}), "");
    EXPECT_EQ(commentOf({text("Comment", "before")}, {ztext("Title", "after the pixels")}), "after the pixels");
    // UTF-8 comes out: iTXt as it is, Latin-1 tEXt converted, and tEXt that
    // already is UTF-8 (a common misuse) left alone.
    EXPECT_EQ(commentOf({itext("Title", "\xce\xa9mega")}), "\xce\xa9mega");
    EXPECT_EQ(commentOf({text("Title", "Gr\xfc\xdf")}), "Gr\xc3\xbc\xc3\x9f");
    EXPECT_EQ(commentOf({text("Title", "Gr\xc3\xbc\xc3\x9f")}), "Gr\xc3\xbc\xc3\x9f");
}

TEST(PngLoad, DamagedAndHugeFilesAreRefusedBeforeAllocation)
{
    TempDir dir;
    const std::string f = dir.file("d.png");
    const std::string good = file({ihdr(64, 64, 8, 2), idat(64, 64, 8, 2, [](uint32_t x, uint32_t y, int c) {
                                       return uint16_t((x * 3 + y * 5 + c * 7) & 255);
                                   }),
                                   IEND});
    std::string badCrc = good;
    badCrc[30] ^= 1; // inside IHDR
    for (const std::string& bad : {good.substr(0, good.size() / 2), badCrc, std::string()}) {
        ASSERT_TRUE(writeFile(f, bad));
        EXPECT_EQ(imageError([&] { load(f); }), "decompression failed.");
    }
    EXPECT_EQ(imageError([&] { load(dir.file("missing.png")); }), "decompression failed.");

    // 40 GB and the largest size a header can declare, in tiny files.
    ASSERT_TRUE(writeFile(f, file({ihdr(100000, 100000, 8, 6), {"IDAT", "x"}, IEND})));
    EXPECT_EQ(imageError([&] { load(f); }), "the picture is too large: 100000 × 100000 pixels");
    ASSERT_TRUE(writeFile(f, file({ihdr(0x7fffffff, 0x7fffffff, 16, 6), {"IDAT", "x"}, IEND})));
    EXPECT_EQ(imageError([&] { load(f); }), "the picture is too large: 2147483647 × 2147483647 pixels");
    ASSERT_TRUE(writeFile(f, good));
    PixelLimit limit(4095);
    EXPECT_EQ(imageError([&] { load(f); }), "the picture is too large: 64 × 64 pixels");
    oxImage::setPixelLimit(4096);
    EXPECT_EQ(load(f)->size(), oxSize(64, 64));
}
