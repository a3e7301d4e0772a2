// Save and load every writable format and sample type: lossless where the format holds it, JPEG within tolerance.
#include "imagetest.h"

#include "oxengine/image/exr/exrlibrary.h"

#include <cmath>

namespace {

// Smooth content (JPEG's tolerance depends on it) with distinct values and,
// for half images, values beyond the displayable range.
template <class T> std::unique_ptr<oxImageImpl<T>> smoothImage(bool extremes)
{
    auto image = imageOf<T>(67, 45, [](uint32_t x, uint32_t y) {
        return oxColourFloat{float(x) / 67.0f, float(y) / 45.0f, 0.5f + 0.4f * std::sin(float(x + y) * 0.1f),
                             float((x * 7 + y * 3) % 256) / 255.0f};
    });
    if constexpr (std::is_same_v<T, oxColourHalf>) {
        if (extremes) {
            image->at(0, 0) = oxColourHalf(65504.0f, -2.5f, 6.0e-8f, 1.0f);
            image->at(1, 0) = oxColourHalf(INFINITY, -INFINITY, 0.0f, -0.0f);
        }
    }
    image->setComment("round trip");
    return image;
}

// The image as a file of sample type `stored` holds it: converted, and opaque when only colour is written.
template <class T> std::unique_ptr<oxImage> asStored(const oxImageImpl<T>& image, oxSampleType stored, bool alpha)
{
    oxImageImpl<T> source(image);
    if (!alpha)
        for (uint32_t i = 0; i < source.width() * source.height(); ++i)
            source.pixels()[i].a = oxConvertPixel<T>(oxColourFloat{0, 0, 0, 1}).a;
    auto file = oxCreateImage(stored);
    file->convertFrom(source, oxToneMapping::neutral());
    return file;
}

template <class T> class RoundTrip : public testing::Test {};
TYPED_TEST_SUITE(RoundTrip, ImageTypes);

} // namespace

TYPED_TEST(RoundTrip, LosslessFormatsKeepWhatTheyCanHold)
{
    TempDir dir;
    const bool exr = oxExrLibrary::process() != nullptr;
    auto image = smoothImage<TypeParam>(true);
    const oxSampleType type = image->sampleType();
    struct Format {
        const char* name;
        oxSampleType stored;
    };
    const Format formats[] = {
        {"r.png", type == ST_UINT8 ? ST_UINT8 : ST_UINT16}, {"r.tga", ST_UINT8}, {"r.exr", ST_HALF}};
    for (const Format& format : formats) {
        if (!exr && std::string(format.name) == "r.exr")
            continue;
        for (int components : {4, 3}) {
            SCOPED_TRACE(std::string(format.name) + ", components " + std::to_string(components));
            image->setComponents(components);
            image->saveToFile(dir.file(format.name), oxToneMapping::neutral());
            auto back = oxImageRegistry::instance().loadImage(dir.file(format.name), oxSize());
            EXPECT_TRUE(samePixels(*back, *asStored(*image, format.stored, components == 4)));
            EXPECT_EQ(back->comment(), "round trip");
        }
    }
}

TYPED_TEST(RoundTrip, JpegStaysCloseToTheColours)
{
    TempDir dir;
    auto image = smoothImage<TypeParam>(false);
    image->saveToFile(dir.file("r.jpg"), oxToneMapping::neutral());
    auto loaded = oxImageRegistry::instance().loadImage(dir.file("r.jpg"), oxSize());
    ASSERT_EQ(loaded->sampleType(), ST_UINT8);
    const auto& back = static_cast<const oxImageUInt8&>(*loaded);
    const auto expected = asStored(*image, ST_UINT8, false);
    int worst = 0;
    double sum = 0;
    for (uint32_t i = 0; i < back.width() * back.height(); ++i) {
        const oxColour a = back.pixels()[i], b = static_cast<const oxColour*>(expected->data())[i];
        for (int d : {a.r - b.r, a.g - b.g, a.b - b.b}) {
            worst = std::max(worst, std::abs(d));
            sum += std::abs(d);
        }
        EXPECT_EQ(a.a, 255);
    }
    // Quality 98 on smooth content.
    EXPECT_LE(worst, 8);
    EXPECT_LE(sum / (3.0 * back.width() * back.height()), 1.0);
}
