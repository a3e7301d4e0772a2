// The oximage tool over every format: a conversion chain that keeps the
// pixels as far as each format can, and the rewriting transforms.
#include "oxengine/image/exr/exrlibrary.h"
#include "oxengine/image/handler.h"
#include "oxengine/image/sampleconv.h"
#include "testsupport.h"

#include <gtest/gtest.h>

#include <cstring>

namespace {

int oximage(const std::string& arguments, std::string* out = nullptr)
{
    return runCommand(OX_BINARY_DIR "/tools/oximage " + arguments + " 2>&1", out);
}

std::unique_ptr<oxImage> load(const std::string& file)
{
    return oxImageRegistry::instance().loadImage(file, oxSize());
}

// The pixels of an image converted to sample type T, pixel by pixel.
template <class T> std::vector<T> pixelsAs(const oxImage& image)
{
    std::vector<T> out(size_t(image.width()) * image.height());
    oxConvertPixels(image.data(), image.sampleType(), out.data(), oxSampleTraits<T>::type, out.size());
    return out;
}

template <class T> std::vector<T> pixelsOf(const oxImage& image)
{
    EXPECT_EQ(image.sampleType(), oxSampleTraits<T>::type);
    std::vector<T> out(size_t(image.width()) * image.height());
    std::memcpy(out.data(), image.data(), image.byteSize());
    return out;
}

} // namespace

TEST(OxImageFormats, ConversionChainKeepsThePixelsEachFormatCanHold)
{
    TempDir dir;
    auto picture = oxImageUInt8::create(96, 64);
    for (uint32_t y = 0; y < 64; ++y)
        for (uint32_t x = 0; x < 96; ++x)
            picture->at(x, y) = oxColour(uint8_t(x * 2), uint8_t(y * 3), uint8_t((x + y) * 5 % 256));
    const std::string jpg = dir.file("a.jpg"), png = dir.file("b.png"), tga = dir.file("c.tga"),
                      exr = dir.file("d.exr"), last = dir.file("e.png");
    oxImageRegistry::instance().saveImage(*picture, jpg, oxToneMapping::neutral());
    const auto decoded = load(jpg); // what JPEG kept

    ASSERT_EQ(oximage("convert " + jpg + " " + png), 0);
    EXPECT_EQ(pixelsOf<oxColour>(*load(png)), pixelsOf<oxColour>(*decoded));
    ASSERT_EQ(oximage("convert " + png + " " + tga), 0);
    EXPECT_EQ(pixelsOf<oxColour>(*load(tga)), pixelsOf<oxColour>(*decoded));
    std::string out;
    ASSERT_EQ(oximage("info " + jpg + " " + png + " " + tga, &out), 0);
    EXPECT_EQ(out, jpg + "\tok\t96x64\tuint8\t3\t0\n" + png + "\tok\t96x64\tuint8\t4\t0\n" + tga +
                       "\tok\t96x64\tuint8\t4\t0\n");
    if (!oxExrLibrary::process())
        GTEST_SKIP() << "the OpenEXR library is not installed";

    // 8-bit values become exact halves; a half picture is written as 16-bit PNG.
    ASSERT_EQ(oximage("convert " + tga + " " + exr), 0);
    const auto halves = load(exr);
    EXPECT_EQ(pixelsOf<oxColourHalf>(*halves), pixelsAs<oxColourHalf>(*decoded));
    ASSERT_EQ(oximage("convert " + exr + " " + last), 0);
    EXPECT_EQ(pixelsOf<oxColourUInt16>(*load(last)), pixelsAs<oxColourUInt16>(*halves));
    const auto eight = pixelsAs<oxColour>(*load(last));
    const auto original = pixelsOf<oxColour>(*decoded);
    for (size_t i = 0; i < eight.size(); ++i) // the high byte of 16 bits made from c / 255
        ASSERT_LE(std::abs(eight[i].g - original[i].g), 1) << i;
    ASSERT_EQ(oximage("info " + exr + " " + last, &out), 0);
    EXPECT_EQ(out, exr + "\tok\t96x64\thalf\t4\t0\n" + last + "\tok\t96x64\tuint16\t4\t0\n");
}

TEST(OxImageFormats, TransformsRewriteTgaAndExrAndPngComments)
{
    TempDir dir;
    auto picture = oxImageUInt8::create(40, 30);
    for (uint32_t i = 0; i < 40 * 30; ++i)
        picture->pixels()[i] = oxColour(uint8_t(i), uint8_t(i / 40), 9);
    std::vector<std::string> rotated{dir.file("t.tga")};
    if (oxExrLibrary::process())
        rotated.push_back(dir.file("t.exr"));
    for (const std::string& file : rotated) {
        oxImageRegistry::instance().saveImage(*picture, file, oxToneMapping::neutral());
        ASSERT_EQ(oximage("transform " + file + " --rotate 1"), 0) << file;
        auto turned = load(file);
        EXPECT_EQ(turned->size(), oxSize(30, 40)) << file;
        // Compared in the file's own sample type (8-bit values are exact halves).
        if (turned->sampleType() == ST_HALF)
            EXPECT_EQ(pixelsOf<oxColourHalf>(*turned), pixelsAs<oxColourHalf>(*picture->rotatedCopy(1))) << file;
        else
            EXPECT_EQ(pixelsOf<oxColour>(*turned), pixelsOf<oxColour>(*picture->rotatedCopy(1))) << file;
    }
    const std::string png = dir.file("t.png");
    oxImageRegistry::instance().saveImage(*picture, png, oxToneMapping::neutral());
    ASSERT_EQ(oximage("transform " + png + " --comment 'new words'"), 0);
    std::string out;
    ASSERT_EQ(oximage("info " + png, &out), 0);
    EXPECT_EQ(out, png + "\tok\t40x30\tuint8\t4\t9\n");
    const std::string before = readFile(png);
    EXPECT_EQ(oximage("transform " + png + " --rotate 1", &out), 1);
    EXPECT_EQ(out, "oximage: " + png + ": rotation is currently not supported for PNG images\n");
    EXPECT_EQ(readFile(png), before);
    const std::string gif = dir.file("t.gif");
    EXPECT_EQ(oximage("convert " + png + " " + gif, &out), 1);
    EXPECT_EQ(out, "oximage: " + gif + ": unsupported image file type\n");
}
