// Save and load every lossless format and sample type: what the format holds comes back.
#include "imagetest.h"

#include "oxengine/image/exr/exrlibrary.h"

#include <cmath>

namespace {

// Distinct values and, for half images, values beyond the displayable range.
template <class T> std::unique_ptr<oxImageImpl<T>> smoothImage()
{
    auto image = imageOf<T>(67, 45, [](uint32_t x, uint32_t y) {
        return oxColourFloat{float(x) / 67.0f, float(y) / 45.0f, 0.5f + 0.4f * std::sin(float(x + y) * 0.1f),
                             float((x * 7 + y * 3) % 256) / 255.0f};
    });
    if constexpr (std::is_same_v<T, oxColourHalf>) {
        image->at(0, 0) = oxColourHalf(65504.0f, -2.5f, 6.0e-8f, 1.0f);
        image->at(1, 0) = oxColourHalf(INFINITY, -INFINITY, 0.0f, -0.0f);
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
    auto image = smoothImage<TypeParam>();
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

