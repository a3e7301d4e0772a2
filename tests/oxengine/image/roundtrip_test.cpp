// Save, then load, through the registry, for every writable format and
// sample type: lossless where the format holds the type (PNG and TGA at
// their depths, EXR's half values exactly), within a stated tolerance for
// JPEG.
#include "imagetest.h"

#include "oxengine/image/exr/exrlibrary.h"
#include "oxengine/image/handler.h"
#include "testsupport.h"

#include <cmath>

namespace {

// Smooth content (JPEG's tolerance depends on it) with distinct values.
template <class T> std::unique_ptr<oxImageImpl<T>> smoothImage(uint32_t w, uint32_t h)
{
    auto image = oxImageImpl<T>::create(w, h);
    for (uint32_t y = 0; y < h; ++y)
        for (uint32_t x = 0; x < w; ++x)
            image->at(x, y) = oxConvertPixel<T>(
                oxColourFloat{float(x) / float(w), float(y) / float(h), 0.5f + 0.4f * std::sin(float(x + y) * 0.1f),
                              float((x * 7 + y * 3) % 256) / 255.0f});
    return image;
}

// The image as the file format stores it: converted to the file's sample
// type, alpha dropped (opaque) when only colour is written.
template <class File> std::unique_ptr<oxImageImpl<File>> asStored(const oxImage& image, bool alpha)
{
    auto stored = std::make_unique<oxImageImpl<File>>();
    stored->convertFrom(image, oxToneMapping::neutral());
    if (!alpha)
        for (uint32_t i = 0; i < stored->width() * stored->height(); ++i)
            stored->pixels()[i].a = oxConvertPixel<File>(oxColour(0, 0, 0, 255)).a;
    return stored;
}

template <class T> class RoundTrip : public testing::Test {
protected:
    std::unique_ptr<oxImage> saveAndLoad(const oxImage& image, const std::string& name)
    {
        const std::string path = m_dir.file(name);
        image.saveToFile(path, oxToneMapping::neutral());
        return oxImageRegistry::instance().loadImage(path, oxSize());
    }

    TempDir m_dir;
};

TYPED_TEST_SUITE(RoundTrip, ImageTypes);

} // namespace

TYPED_TEST(RoundTrip, PngKeepsEverySampleAtItsDepth)
{
    auto image = smoothImage<TypeParam>(67, 45);
    image->setComment("round trip");
    for (int components : {4, 3}) {
        image->setComponents(components);
        auto back = this->saveAndLoad(*image, "r.png");
        EXPECT_EQ(back->comment(), "round trip");
        EXPECT_EQ(back->components(), 4);
        // uint8 stays 8-bit; half and uint16 are written as 16-bit.
        if (image->sampleType() == ST_UINT8)
            EXPECT_TRUE(samePixels(*back, *asStored<oxColour>(*image, components == 4)));
        else
            EXPECT_TRUE(samePixels(*back, *asStored<oxColourUInt16>(*image, components == 4)));
    }
}

TYPED_TEST(RoundTrip, TgaKeepsEightBitSamples)
{
    auto image = smoothImage<TypeParam>(67, 45);
    for (int components : {4, 3}) {
        image->setComponents(components);
        EXPECT_TRUE(samePixels(*this->saveAndLoad(*image, "r.tga"), *asStored<oxColour>(*image, components == 4)));
    }
}

TYPED_TEST(RoundTrip, ExrKeepsHalfValuesExactly)
{
    if (!oxExrLibrary::process())
        GTEST_SKIP() << "the OpenEXR library is not installed";
    auto image = smoothImage<TypeParam>(67, 45);
    if constexpr (std::is_same_v<TypeParam, oxColourHalf>) {
        // Beyond the displayable range: large, negative, tiny, infinite.
        image->at(0, 0) = oxColourHalf(65504.0f, -2.5f, 6.0e-8f, 1.0f);
        image->at(1, 0) = oxColourHalf(INFINITY, -INFINITY, 0.0f, -0.0f);
    }
    image->setComment("high range");
    for (int components : {4, 3}) {
        image->setComponents(components);
        auto back = this->saveAndLoad(*image, "r.exr");
        EXPECT_EQ(back->comment(), "high range");
        EXPECT_TRUE(samePixels(*back, *asStored<oxColourHalf>(*image, components == 4)));
    }
}

TYPED_TEST(RoundTrip, JpegStaysCloseToTheColours)
{
    auto image = smoothImage<TypeParam>(67, 45);
    auto back = this->saveAndLoad(*image, "r.jpg");
    const auto expected = asStored<oxColour>(*image, false);
    ASSERT_EQ(back->size(), expected->size());
    const auto& got = static_cast<const oxImageUInt8&>(*back);
    int worst = 0;
    double sum = 0;
    for (uint32_t i = 0; i < got.width() * got.height(); ++i) {
        const oxColour a = got.pixels()[i], b = expected->pixels()[i];
        for (int d : {a.r - b.r, a.g - b.g, a.b - b.b}) {
            worst = std::max(worst, std::abs(d));
            sum += std::abs(d);
        }
        EXPECT_EQ(a.a, 255);
    }
    // Quality 98 on smooth content.
    EXPECT_LE(worst, 8);
    EXPECT_LE(sum / (3.0 * got.width() * got.height()), 1.0);
}
