#include "../imagetest.h"
#include "pngtest.h"

#include <filesystem>

using namespace pngtest;

namespace {

// Bit depth and colour type from the IHDR of a file.
std::pair<int, int> depthAndColour(const std::string& png)
{
    const std::vector<Chunk> c = chunks(png);
    if (c.empty() || c[0].type != "IHDR")
        return {0, 0};
    return {uint8_t(c[0].data[8]), uint8_t(c[0].data[9])};
}

} // namespace

TEST(PngSave, DepthAndColourTypeFollowTheImage)
{
    TempDir dir;
    const std::string f = dir.file("s.png");
    const oxPngHandler png;
    auto rgb = patternImage<oxColour>(5, 4);
    rgb->setComponents(3);
    png.saveImage(*rgb, f, oxToneMapping::neutral());
    EXPECT_EQ(depthAndColour(readFile(f)), std::make_pair(8, 2));
    auto back = load(f);
    ASSERT_EQ(back->sampleType(), ST_UINT8);
    const oxColour p = patternPixel<oxColour>(3, 2);
    EXPECT_EQ(static_cast<oxImageUInt8&>(*back).at(3, 2), oxColour(p.r, p.g, p.b, 255)); // alpha not written

    // Half and 16-bit images become 16-bit files, alpha kept with 4 components.
    png.saveImage(*patternImage<oxColourHalf>(5, 4), f, oxToneMapping::neutral());
    EXPECT_EQ(depthAndColour(readFile(f)), std::make_pair(16, 6));
    png.saveImage(*patternImage<oxColourUInt16>(5, 4), f, oxToneMapping::neutral());
    EXPECT_EQ(depthAndColour(readFile(f)), std::make_pair(16, 6));
    EXPECT_TRUE(samePixels(*load(f), *patternImage<oxColourUInt16>(5, 4)));
}

TEST(PngSave, TheCommentIsOneTitleChunk)
{
    TempDir dir;
    const std::string f = dir.file("c.png");
    auto image = patternImage<oxColour>(3, 3);
    const auto titleChunks = [&](const std::string& comment) {
        image->setComment(comment);
        oxPngHandler().saveImage(*image, f, oxToneMapping::neutral());
        std::vector<Chunk> texts;
        for (const Chunk& c : chunks(readFile(f)))
            if (c.type == "tEXt" || c.type == "iTXt" || c.type == "zTXt")
                texts.push_back(c);
        return texts;
    };
    EXPECT_EQ(titleChunks("hello"), (std::vector<Chunk>{text("Title", "hello")}));
    EXPECT_EQ(load(f)->comment(), "hello");
    EXPECT_TRUE(titleChunks("").empty());
    // tEXt holds Latin-1 only, so other UTF-8 goes into iTXt.
    EXPECT_EQ(titleChunks("\xce\xa9mega"), (std::vector<Chunk>{itext("Title", "\xce\xa9mega")}));
    EXPECT_EQ(load(f)->comment(), "\xce\xa9mega");
    // A text chunk cannot hold NUL.
    EXPECT_EQ(titleChunks(std::string("a\0b", 3)), (std::vector<Chunk>{text("Title", "a b")}));
    // Before the image data, so readers that stop there see it.
    const std::vector<Chunk> all = chunks(readFile(f));
    ASSERT_GE(all.size(), 4u);
    EXPECT_EQ(all[1].type, "tEXt");
    EXPECT_EQ(all[2].type, "IDAT");
}

TEST(PngSave, ToneMappingAppliesToHighRangePicturesWhenAsked)
{
    TempDir dir;
    const std::string f = dir.file("hdr.png");
    auto image = oxImageHalf::create(2, 1);
    image->at(0, 0) = oxColourHalf(2.0f, 1.0f, 0.5f, 1.0f);
    image->at(1, 0) = oxColourHalf(0.0f, 4.0f, 0.25f, 1.0f);
    oxToneMapping mapping;
    mapping.mode = TM_HDR_ONLY;
    mapping.whitePoint = 4.0f;
    oxPngHandler().saveImage(*image, f, mapping);
    auto back = load(f);
    const auto& px = static_cast<oxImageUInt16&>(*back);
    // Within one step: the saturation step may round.
    const auto near = [](const oxColourUInt16& a, const oxColourUInt16& b) {
        return std::abs(a.r - b.r) <= 1 && std::abs(a.g - b.g) <= 1 && std::abs(a.b - b.b) <= 1 && a.a == b.a;
    };
    EXPECT_PRED2(near, px.at(0, 0), oxColourUInt16(32768, 16384, 8192, 65535));
    EXPECT_PRED2(near, px.at(1, 0), oxColourUInt16(0, 65535, 4096, 65535));
    // Without tone mapping values above 1 are clamped.
    oxPngHandler().saveImage(*image, f, oxToneMapping::neutral());
    EXPECT_EQ(static_cast<oxImageUInt16&>(*load(f)).at(0, 0), oxColourUInt16(65535, 65535, 32768, 65535));
}

TEST(PngSave, AFailedSaveLeavesNoFileBehind)
{
    TempDir dir;
    auto image = patternImage<oxColour>(3, 3);
    EXPECT_EQ(imageError([&] { oxPngHandler().saveImage(*image, dir.file("no/such/folder.png"), oxToneMapping::neutral()); })
                  .rfind("compression failed. (", 0),
              0u);
    const std::string f = dir.file("old.png");
    ASSERT_TRUE(writeFile(f, "old"));
    auto empty = oxImageUInt8::create(0, 0);
    EXPECT_EQ(imageError([&] { oxPngHandler().saveImage(*empty, f, oxToneMapping::neutral()); }),
              "compression failed.");
    EXPECT_EQ(readFile(f), "old");
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()), {}), 1);
}
