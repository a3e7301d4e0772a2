// The oximage tool over every format: a conversion chain that keeps the
// pixels as far as each format can, and the transforms by rewriting.
#include "oxengine/image/exr/exrlibrary.h"
#include "oxengine/image/handler.h"
#include "oxengine/image/sampleconv.h"
#include "testsupport.h"

#include <gtest/gtest.h>

namespace {

int oximage(const std::string& arguments, std::string* out = nullptr)
{
    return runCommand(OX_BINARY_DIR "/tools/oximage " + arguments + " 2>&1", out);
}

// A file's pixels converted to T (exactly those when T is the file's type).
template <class T> std::vector<T> pixels(const std::string& file, oxSampleType stored)
{
    const auto image = oxImageRegistry::instance().loadImage(file, oxSize());
    EXPECT_EQ(image->sampleType(), stored) << file;
    std::vector<T> out(size_t(image->width()) * image->height());
    oxConvertPixels(image->data(), image->sampleType(), out.data(), oxSampleTraits<T>::type, out.size());
    return out;
}

} // namespace

TEST(OxImageFormats, ConversionChainKeepsWhatEachFormatCanHold)
{
    TempDir dir;
    auto picture = oxImageUInt8::create(96, 64);
    for (uint32_t i = 0; i < 96 * 64; ++i)
        picture->pixels()[i] = oxColour(uint8_t(i % 96 * 2), uint8_t(i / 96 * 3), uint8_t(i * 5 % 256));
    const std::string jpg = dir.file("a.jpg"), png = dir.file("b.png"), tga = dir.file("c.tga"),
                      exr = dir.file("d.exr"), last = dir.file("e.png");
    oxImageRegistry::instance().saveImage(*picture, jpg, oxToneMapping::neutral());
    const auto decoded = pixels<oxColour>(jpg, ST_UINT8); // what JPEG kept

    ASSERT_EQ(oximage("convert " + jpg + " " + png), 0);
    EXPECT_EQ(pixels<oxColour>(png, ST_UINT8), decoded);
    ASSERT_EQ(oximage("convert " + png + " " + tga), 0);
    EXPECT_EQ(pixels<oxColour>(tga, ST_UINT8), decoded);
    if (!oxExrLibrary::process())
        GTEST_SKIP() << "the OpenEXR library is not installed";
    // 8-bit values become exact halves; halves are written as 16-bit PNG.
    ASSERT_EQ(oximage("convert " + tga + " " + exr), 0);
    std::vector<oxColourHalf> halves(decoded.size());
    oxConvertPixels(decoded.data(), ST_UINT8, halves.data(), ST_HALF, halves.size());
    EXPECT_EQ(pixels<oxColourHalf>(exr, ST_HALF), halves);
    ASSERT_EQ(oximage("convert " + exr + " " + last), 0);
    const auto sixteen = pixels<oxColourUInt16>(last, ST_UINT16);
    for (size_t i = 0; i < sixteen.size(); ++i)
        ASSERT_EQ(sixteen[i], oxConvertPixel<oxColourUInt16>(halves[i])) << i;
    std::string out;
    ASSERT_EQ(oximage("info " + jpg + " " + tga + " " + exr + " " + last, &out), 0);
    EXPECT_EQ(out, jpg + "\tok\t96x64\tuint8\t3\t0\n" + tga + "\tok\t96x64\tuint8\t4\t0\n" + exr +
                       "\tok\t96x64\thalf\t4\t0\n" + last + "\tok\t96x64\tuint16\t4\t0\n");
}

TEST(OxImageFormats, TransformsRewriteTgaAndExrAndPngComments)
{
    TempDir dir;
    auto picture = oxImageUInt8::create(40, 30);
    for (uint32_t i = 0; i < 40 * 30; ++i)
        picture->pixels()[i] = oxColour(uint8_t(i), uint8_t(i / 40), 9);
    std::vector<std::string> files{dir.file("t.tga"), dir.file("t.png")};
    if (oxExrLibrary::process())
        files.push_back(dir.file("t.exr"));
    std::string out;
    for (const std::string& file : files) {
        oxImageRegistry::instance().saveImage(*picture, file, oxToneMapping::neutral());
        const std::string before = readFile(file);
        const bool png = file.ends_with(".png");
        EXPECT_EQ(oximage("transform " + file + " --rotate 1", &out), png ? 1 : 0) << out;
        ASSERT_EQ(oximage("info " + file, &out), 0);
        EXPECT_NE(out.find(png ? "\t40x30\t" : "\t30x40\t"), std::string::npos) << out;
        if (png) {
            EXPECT_EQ(readFile(file), before);
        }
    }
    ASSERT_EQ(oximage("transform " + files[1] + " --comment 'new words'"), 0);
    ASSERT_EQ(oximage("info " + files[1], &out), 0);
    EXPECT_EQ(out, files[1] + "\tok\t40x30\tuint8\t4\t9\n");
    EXPECT_EQ(oximage("convert " + files[1] + " " + dir.file("t.gif"), &out), 1);
    EXPECT_EQ(out, "oximage: " + dir.file("t.gif") + ": unsupported image file type\n");
}
