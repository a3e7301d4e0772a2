#include "pngtest.h"

using namespace pngtest;

TEST(PngSave, DepthColourTypeAndTheTitleChunkFollowTheImage)
{
    TempDir dir;
    const std::string f = dir.file("s.png");
    const oxPngHandler png;
    const auto saved = [&](const oxImage& image) {
        png.saveImage(image, f, oxToneMapping::neutral());
        return chunks(readFile(f));
    };
    auto rgb = patternImage<oxColour>(5, 4);
    rgb->setComponents(3);
    rgb->setComment("hello");
    std::vector<Chunk> c = saved(*rgb);
    EXPECT_EQ(c[0], ihdr(5, 4, 8, 2));
    EXPECT_EQ(c[1], text("Title", "hello")); // before the pixels, for readers that stop there
    EXPECT_EQ(c[2].type, "IDAT");
    const oxColour p = rgb->at(3, 2);
    EXPECT_EQ(loadAs<oxColour>(png, f)->at(3, 2), oxColour(p.r, p.g, p.b, 255)); // alpha is not written

    // Half and 16-bit images become 16-bit files; alpha with 4 components.
    EXPECT_EQ(saved(*patternImage<oxColourHalf>(5, 4))[0], ihdr(5, 4, 16, 6));
    c = saved(*patternImage<oxColourUInt16>(5, 4));
    EXPECT_EQ(c[0], ihdr(5, 4, 16, 6));
    ASSERT_EQ(c.size(), 3u); // no comment, no text chunk
    EXPECT_TRUE(samePixels(*load(f), *patternImage<oxColourUInt16>(5, 4)));

    // tEXt holds Latin-1 only, so other UTF-8 goes into iTXt; NUL cannot be
    // in a text chunk at all.
    rgb->setComment("\xce\xa9mega");
    EXPECT_EQ(saved(*rgb)[1], itext("Title", "\xce\xa9mega"));
    EXPECT_EQ(load(f)->comment(), "\xce\xa9mega");
    rgb->setComment(std::string("a\0b", 3));
    EXPECT_EQ(saved(*rgb)[1], text("Title", "a b"));

    ASSERT_TRUE(writeFile(f, "old"));
    EXPECT_EQ(imageError([&] { png.saveImage(oxImageUInt8(), f, oxToneMapping::neutral()); }), "compression failed.");
    EXPECT_EQ(readFile(f), "old");
}

TEST(PngSave, HighRangePicturesAreToneMappedWhenAsked)
{
    TempDir dir;
    const std::string f = dir.file("hdr.png");
    auto image = oxImageHalf::create(1, 1);
    image->at(0, 0) = oxColourHalf(2.0f, 1.0f, 0.5f, 1.0f);
    oxToneMapping mapping;
    mapping.mode = TM_HDR_ONLY;
    mapping.whitePoint = 4.0f;
    oxPngHandler().saveImage(*image, f, mapping);
    const oxColourUInt16 mapped = loadAs<oxColourUInt16>(oxPngHandler(), f)->at(0, 0);
    EXPECT_NEAR(mapped.r, 32768, 1); // within a step: the saturation step may round
    EXPECT_NEAR(mapped.b, 8192, 1);
    oxPngHandler().saveImage(*image, f, oxToneMapping::neutral()); // clamped
    EXPECT_EQ(loadAs<oxColourUInt16>(oxPngHandler(), f)->at(0, 0), oxColourUInt16(65535, 65535, 32768, 65535));
}
