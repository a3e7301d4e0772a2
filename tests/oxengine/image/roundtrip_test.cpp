// Save and load every lossless format and sample type: what the format holds comes back;
// a truncated JPEG or PNG shows what decoded, with the reason.
#include "imagetest.h"

#include "oxengine/image/exr/exrlibrary.h"

#include <cmath>

namespace {

template <class T> class RoundTrip : public testing::Test {};
TYPED_TEST_SUITE(RoundTrip, ImageTypes);

} // namespace

TYPED_TEST(RoundTrip, LosslessFormatsKeepWhatTheyCanHold)
{
    using T = TypeParam;
    TempDir dir;
    // Distinct values and, for half images, values beyond the displayable range.
    auto image = imageOf<T>(67, 45, [](uint32_t x, uint32_t y) {
        return oxColourFloat{float(x) / 67.0f, float(y) / 45.0f, 0.5f + 0.4f * std::sin(float(x + y) * 0.1f),
                             float((x * 7 + y * 3) % 256) / 255.0f};
    });
    if constexpr (std::is_same_v<T, oxColourHalf>) {
        image->at(0, 0) = oxColourHalf(65504.0f, -2.5f, 6.0e-8f, 1.0f);
        image->at(1, 0) = oxColourHalf(INFINITY, -INFINITY, 0.0f, -0.0f);
    }
    image->setComment("round trip");
    const oxSampleType type = image->sampleType();
    const std::pair<const char*, oxSampleType> formats[] = {
        {"r.png", type == ST_UINT8 ? ST_UINT8 : ST_UINT16}, {"r.tga", ST_UINT8}, {"r.exr", ST_HALF}};
    for (const auto& [name, stored] : formats) {
        if (!oxExrLibrary::process() && std::string(name) == "r.exr")
            continue;
        for (int components : {4, 3}) {
            SCOPED_TRACE(std::string(name) + ", components " + std::to_string(components));
            image->setComponents(components);
            image->saveToFile(dir.file(name), oxToneMapping::neutral());
            auto back = oxImageRegistry::instance().loadImage(dir.file(name), oxSize());
            // What the file holds: converted, and opaque when only colour is written.
            oxImageImpl<T> source(*image);
            for (uint32_t i = 0; components == 3 && i < source.width() * source.height(); ++i)
                source.pixels()[i].a = oxConvertPixel<T>(oxColourFloat{0, 0, 0, 1}).a;
            auto expected = oxCreateImage(stored);
            expected->convertFrom(source, oxToneMapping::neutral());
            EXPECT_TRUE(samePixels(*back, *expected));
            EXPECT_EQ(back->comment(), "round trip");
            EXPECT_EQ(back->damage(), "") << "a whole file";
        }
    }
}

TEST(DamagedFile, TruncatedPicturesShowTheirTopPartWithTheReason)
{
    TempDir dir;
    // Top half red, bottom half blue, noisy so the data is most of the file.
    auto image = oxImageUInt8::create(96, 192);
    uint32_t noise = 1;
    for (uint32_t y = 0; y < 192; ++y)
        for (uint32_t x = 0; x < 96; ++x) {
            const int n = int((noise = noise * 1664525u + 1013904223u) >> 27);
            image->at(x, y) = y < 96 ? oxColour(uint8_t(225 + n), uint8_t(n), uint8_t(n), 255)
                                     : oxColour(uint8_t(n), uint8_t(n), uint8_t(225 + n), 255);
        }
    image->setComponents(3);
    for (const char* name : {"cut.jpg", "cut.png"}) {
        SCOPED_TRACE(name);
        const std::string path = dir.file(name);
        oxImageRegistry::instance().saveImage(*image, path, oxToneMapping::neutral());
        const std::string whole = readFile(path);
        ASSERT_TRUE(writeFile(path, whole.substr(0, whole.size() * 2 / 5)));
        const auto cut = oxImageRegistry::instance().loadImage(path, oxSize());
        ASSERT_EQ(cut->size(), oxSize(96, 192));
        EXPECT_EQ(cut->damage(), "the file ends early");
        const auto* top = static_cast<const oxColour*>(cut->data());
        EXPECT_GT(top[10].r, 200);
        EXPECT_LT(top[10].b, 60);
    }
}
