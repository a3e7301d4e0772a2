// Texture rules that need no display: the quality table, the size rules, the
// driver facts and the engine's mipmap levels.
#include "oxengine/graphics/texture.h"

#include "oxengine/errors.h"
#include "oxengine/messagebox.h"
#include "texturetest.h"

#include <GL/glext.h>
#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <cstdio>
#include <cstring>

TEST(TextureFilters, QualityChoosesMinAndMagFilters)
{
    struct Row {
        int quality;
        GLenum withMipmaps, without, mag;
    };
    // Unknown qualities (5, 7, -1) filter like 0 but magnify smoothly.
    const Row rows[] = {{0, GL_NEAREST_MIPMAP_NEAREST, GL_NEAREST, GL_NEAREST},
                        {1, GL_LINEAR_MIPMAP_NEAREST, GL_LINEAR, GL_LINEAR},
                        {2, GL_LINEAR_MIPMAP_LINEAR, GL_LINEAR, GL_LINEAR},
                        {4, GL_LINEAR_MIPMAP_LINEAR, GL_LINEAR, GL_LINEAR},
                        {7, GL_NEAREST_MIPMAP_NEAREST, GL_NEAREST, GL_LINEAR},
                        {-1, GL_NEAREST_MIPMAP_NEAREST, GL_NEAREST, GL_LINEAR}};
    for (const Row& r : rows) {
        SCOPED_TRACE(r.quality);
        EXPECT_EQ(oxMinFilterForQuality(r.quality, true), r.withMipmaps);
        EXPECT_EQ(oxMinFilterForQuality(r.quality, false), r.without);
        EXPECT_EQ(oxMagFilterForQuality(r.quality), r.mag);
    }
}

TEST(TextureFilters, AnisotropyFollowsQualityAndDriverMaximum)
{
    EXPECT_EQ(oxAnisotropyForQuality(3, 16), 8);
    EXPECT_EQ(oxAnisotropyForQuality(3, 4), 2);
    // Half of a small maximum would be no anisotropy at all.
    EXPECT_EQ(oxAnisotropyForQuality(3, 2), 2);
    EXPECT_EQ(oxAnisotropyForQuality(3, 0), 2);
    EXPECT_EQ(oxAnisotropyForQuality(4, 16), 16);
    for (int q : {0, 1, 2, 5, -3})
        EXPECT_EQ(oxAnisotropyForQuality(q, 16), 1) << q;
}

TEST(TextureSizes, PowerOfTwo)
{
    for (uint32_t n : {1u, 2u, 512u, 0x80000000u})
        EXPECT_TRUE(oxIsPowerOfTwo(n)) << n;
    for (uint32_t n : {0u, 3u, 500u, 0x80000001u, 0xffffffffu})
        EXPECT_FALSE(oxIsPowerOfTwo(n)) << n;
}

TEST(TextureSupport, ReadsTheLeadingVersionNumber)
{
    const auto parse = [](const char* text) {
        int major = -1, minor = -1;
        const bool ok = oxParseGLVersion(text, major, minor);
        return std::to_string(ok) + ":" + std::to_string(major) + "." + std::to_string(minor);
    };
    EXPECT_EQ(parse("4.5 (Compatibility Profile) Mesa 22.3.6"), "1:4.5");
    EXPECT_EQ(parse("3"), "1:3.0");
    EXPECT_EQ(parse("1.10"), "1:1.10"); // minor versions are numbers, not decimals
    EXPECT_EQ(parse("OpenGL ES 3.2"), "0:0.0");
    EXPECT_EQ(parse(nullptr), "0:0.0");
    oxTextureCapabilities c;
    c.glMajor = 1, c.glMinor = 10;
    EXPECT_TRUE(c.versionAtLeast(1, 4));
    EXPECT_FALSE(c.versionAtLeast(2, 0));
}

TEST(TextureSupport, LimitsOnlyLowerTheDriversValues)
{
    DriverEmulation driver(modernDriver());
    EXPECT_EQ(maxTextureSize(), 4096);
    setTextureSizeLimit(64);
    EXPECT_EQ(maxTextureSize(), 64);
    setTextureSizeLimit(8192);
    EXPECT_EQ(maxTextureSize(), 4096);
    setTextureSizeLimit(-5);
    EXPECT_EQ(maxTextureSize(), 4096);
    EXPECT_TRUE(npotTexturesSupported());
    setNPOTTexturesDisabled(true);
    EXPECT_FALSE(npotTexturesSupported());
    EXPECT_EQ(maxAnisotropy(), 16);
}

TEST(TextureFormats, FloatTypesNeedDriverSupport)
{
    oxTextureCapabilities old = modernDriver();
    old.floatTextures = false;
    DriverEmulation driver(old);
    EXPECT_EQ(textureError([] { uploadFormat(ST_HALF, 4); }),
              "Floating-point texture (16 bits) is not supported by your hardware");
    EXPECT_EQ(textureError([] { uploadFormat(ST_FLOAT, 3); }),
              "Floating-point texture (32 bits) is not supported by your hardware");
    EXPECT_NO_THROW(uploadFormat(ST_UINT16, 4));
}

TEST(TextureCreation, RefusesBadInputBeforeTouchingGL)
{
    // None of these reach the driver, so they need no display.
    const std::string empty = "An empty picture can't become a texture.";
    const std::string outside = "The texture's rectangle lies outside the picture.";
    oxImageUInt8 none;
    EXPECT_EQ(textureError([&] { createTexture(none, MIPMAP_NONE); }), empty);
    auto image = oxImageUInt8::create(9, 7);
    for (const std::array<int, 4> r :
         {std::array{-1, 0, 4, 4}, {0, -1, 4, 4}, {9, 0, 1, 1}, {0, 7, 1, 1}, {2, 2, 0, 3}, {2, 2, 3, -1}})
        EXPECT_EQ(textureError([&] { createTexture(*image, r[0], r[1], r[2], r[3], MIPMAP_NONE); }), outside)
            << r[0] << "," << r[1] << " " << r[2] << "x" << r[3];
    oxPixelRect rect;
    EXPECT_EQ(textureError([&] { createTexture(rect, MIPMAP_NONE); }), empty);
    oxColour pixels[4];
    rect.data = pixels, rect.width = 2, rect.height = 2, rect.rowPixels = 1; // rows would overlap
    EXPECT_EQ(textureError([&] { createTexture(rect, MIPMAP_NONE); }), "This kind of picture can't become a texture.");
}

TEST(TextureCreationDeathTest, UnknownMipmapModeIsFatal)
{
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    auto image = oxImageUInt8::create(4, 4);
    for (int mode : {4, -1})
        EXPECT_EXIT(
            {
                oxSetMessageHandler([](const oxMessageRequest& r) {
                    std::fprintf(stderr, "%s\n", r.text.c_str());
                    return oxMessageAnswer{};
                });
                createTexture(*image, MipmapGen(mode));
            },
            testing::ExitedWithCode(3), "invalid MipmapGen mode\nCondition: !\\(false\\)");
}

// ---- the engine's mipmap levels, per pixel type ---------------------------------

template <class T> class MipmapLevels : public testing::Test {};
TYPED_TEST_SUITE(MipmapLevels, TextureSampleTypes);

TYPED_TEST(MipmapLevels, HalveDownToOnePixel)
{
    using T = TypeParam;
    auto image = imageOf<T>(8, 2, [](uint32_t x, uint32_t y) { return oxColour(uint8_t(x * 30), uint8_t(y * 90), 7); });
    image->setComponents(3);
    const auto levels = oxBuildMipmapLevels(*image);
    const uint32_t sizes[][2] = {{8, 2}, {4, 1}, {2, 1}, {1, 1}};
    ASSERT_EQ(levels.size(), 4u);
    for (size_t i = 0; i < levels.size(); ++i) {
        EXPECT_EQ(levels[i]->width(), sizes[i][0]);
        EXPECT_EQ(levels[i]->height(), sizes[i][1]);
        EXPECT_EQ(levels[i]->sampleType(), oxSampleTraits<T>::type);
        EXPECT_EQ(levels[i]->components(), 3);
    }
    EXPECT_EQ(std::memcmp(levels[0]->data(), image->data(), image->byteSize()), 0);
    EXPECT_NE(levels[0]->data(), image->data());

    // Odd sides drop their last column or row; 1 x 1 and empty pictures.
    auto odd = imageOf<T>(5, 3, [](uint32_t, uint32_t) { return oxColour(10, 20, 30, 40); });
    const auto oddLevels = oxBuildMipmapLevels(*odd);
    ASSERT_EQ(oddLevels.size(), 3u);
    EXPECT_EQ(oddLevels[1]->size(), oxSize(2, 1));
    EXPECT_EQ(std::memcmp(oddLevels[2]->data(), odd->data(), sizeof(T)), 0);
    EXPECT_EQ(oxBuildMipmapLevels(*imageOf<T>(1, 1, palette)).size(), 1u);
    EXPECT_TRUE(oxBuildMipmapLevels(oxImageImpl<T>()).empty());
}

TYPED_TEST(MipmapLevels, AverageBlocksAndPairs)
{
    using T = TypeParam;
    // 4 x 1: only the width halves, so each pixel is the mean of two.
    auto row = imageOf<T>(4, 1, [](uint32_t x, uint32_t) {
        const uint8_t v[] = {0, 102, 204, 255};
        return oxColour(v[x], uint8_t(255 - v[x]), 51, 255);
    });
    const auto levels = oxBuildMipmapLevels(*row);
    ASSERT_EQ(levels.size(), 3u);
    const auto& l1 = static_cast<const oxImageImpl<T>&>(*levels[1]);
    const auto& l2 = static_cast<const oxImageImpl<T>&>(*levels[2]);
    const auto near = [](const T& got, oxColourFloat want) {
        const oxColourFloat g = oxConvertPixel<oxColourFloat>(got);
        const float step = 1.0f / 255;
        return std::abs(g.r - want.r) < step && std::abs(g.g - want.g) < step && std::abs(g.b - want.b) < step &&
               std::abs(g.a - want.a) < step;
    };
    EXPECT_TRUE(near(l1.at(0, 0), {51 / 255.f, 204 / 255.f, 0.2f, 1}));
    EXPECT_TRUE(near(l1.at(1, 0), {229.5f / 255, 25.5f / 255, 0.2f, 1}));
    EXPECT_TRUE(near(l2.at(0, 0), {140.25f / 255, 114.75f / 255, 0.2f, 1}));

    // 2 x 2 blocks of a 1-pixel checkerboard average to the middle.
    auto checker = imageOf<T>(4, 4, [](uint32_t x, uint32_t y) {
        return (x + y) % 2 ? oxColour(255, 0, 0, 255) : oxColour(0, 0, 255, 0);
    });
    const auto mid = oxBuildMipmapLevels(*checker);
    ASSERT_EQ(mid.size(), 3u);
    const auto& c1 = static_cast<const oxImageImpl<T>&>(*mid[1]);
    for (uint32_t y = 0; y < 2; ++y)
        for (uint32_t x = 0; x < 2; ++x)
            EXPECT_TRUE(near(c1.at(x, y), {0.5f, 0, 0.5f, 0.5f})) << x << "," << y;
}

TEST(MipmapLevels, IntegerMeansRoundHalfUp)
{
    auto image = oxImageUInt8::create(2, 2);
    image->at(0, 0) = {1, 0, 255, 3};
    image->at(1, 0) = {2, 0, 255, 3};
    image->at(0, 1) = {2, 1, 254, 3};
    image->at(1, 1) = {2, 0, 255, 4};
    const auto levels = oxBuildMipmapLevels(*image);
    ASSERT_EQ(levels.size(), 2u);
    // (7 + 2) / 4 = 2, (1 + 2) / 4 = 0, (1019 + 2) / 4 = 255, (13 + 2) / 4 = 3
    EXPECT_EQ(static_cast<const oxImageUInt8&>(*levels[1]).at(0, 0), oxColour(2, 0, 255, 3));

    auto wide = oxImageUInt16::create(2, 1);
    wide->at(0, 0) = {65535, 0, 1, 65535};
    wide->at(1, 0) = {65534, 0, 2, 65535};
    const auto w = oxBuildMipmapLevels(*wide);
    ASSERT_EQ(w.size(), 2u);
    // No overflow of the 16-bit sums; (3 + 1) / 2 = 2.
    EXPECT_EQ(static_cast<const oxImageUInt16&>(*w[1]).at(0, 0), oxColourUInt16(65535, 0, 2, 65535));
}

TEST(MipmapLevels, HalfKeepsHighDynamicRange)
{
    auto image = oxImageHalf::create(2, 2);
    image->fill(oxColourHalf(0.0f, 0.0f, 0.0f, 1.0f));
    image->at(0, 0) = oxColourHalf(8.0f, 1000.0f, 0.25f, 1.0f);
    const auto levels = oxBuildMipmapLevels(*image);
    ASSERT_EQ(levels.size(), 2u);
    const oxColourHalf p = static_cast<const oxImageHalf&>(*levels[1]).at(0, 0);
    EXPECT_EQ(p.r.toFloat(), 2.0f);
    EXPECT_EQ(p.g.toFloat(), 250.0f);
    EXPECT_EQ(p.b.toFloat(), 0.0625f);
    EXPECT_EQ(p.a.toFloat(), 1.0f);
}
