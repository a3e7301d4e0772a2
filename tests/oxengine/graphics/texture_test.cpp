// Texture and shader rules that need no display: filters, driver facts, refused input, the engine's mipmap levels
// and shader support against emulated drivers.
#include "oxengine/graphics/shader.h"
#include "oxengine/graphics/texture.h"

#include "texturetest.h"

#include <GL/glext.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <set>

TEST(TextureCreation, RefusesBadInputBeforeTouchingGL)
{
    int major = -1, minor = -1;
    EXPECT_FALSE(oxParseGLVersion(nullptr, major, minor)); // no context: no version string
    oxTextureCapabilities old; // no float textures
    old.glMajor = 4, old.maxTextureSize = 4096;
    TextureDriver driver(old);
    EXPECT_EQ(textureError([] { uploadFormat(ST_HALF, 4); }),
              "Floating-point texture (16 bits) is not supported by your hardware");
    EXPECT_NO_THROW(uploadFormat(ST_UINT16, 4));

    oxImageUInt8 none;
    EXPECT_EQ(textureError([&] { createTexture(none, MIPMAP_NONE); }), "An empty picture can't become a texture.");
    auto image = oxImageUInt8::create(9, 7);
    for (const std::array<int, 4> r :
         {std::array{-1, 0, 4, 4}, {0, -1, 4, 4}, {9, 0, 1, 1}, {0, 7, 1, 1}, {2, 2, 0, 3}, {2, 2, 3, -1}})
        EXPECT_EQ(textureError([&] { createTexture(*image, r[0], r[1], r[2], r[3], MIPMAP_NONE); }),
                  "The texture's rectangle lies outside the picture.")
            << r[0] << "," << r[1] << " " << r[2] << "x" << r[3];
}

// ---- the engine's mipmap levels, per pixel type ---------------------------------

namespace {

std::vector<std::unique_ptr<oxImage>> smallerLevels(const oxImage& image)
{
    oxPixelRect rect;
    rect.type = image.sampleType();
    rect.components = image.components();
    rect.data = image.data();
    rect.width = image.width(), rect.height = image.height(), rect.rowPixels = image.width();
    return oxBuildSmallerMipmapLevels(rect);
}

} // namespace

template <class T> class MipmapLevels : public testing::Test {};
TYPED_TEST_SUITE(MipmapLevels, TextureSampleTypes);

TYPED_TEST(MipmapLevels, HalveDownToOnePixelAveragingBlocks)
{
    using T = TypeParam;
    // 5 x 2 halves to 2 x 1 (means of blocks; the odd last column is dropped), then to 1 x 1 (of a pair).
    auto image = imageOf<T>(5, 2, [](uint32_t x, uint32_t y) {
        const uint8_t v[] = {0, 102, 204, 255, 9};
        return oxColour(v[x], uint8_t(255 - v[x]), 51, y ? 255 : 0);
    });
    const auto levels = smallerLevels(*image);
    ASSERT_EQ(levels.size(), 2u);
    EXPECT_EQ(levels[0]->size(), oxSize(2, 1));
    EXPECT_EQ(levels[1]->size(), oxSize(1, 1));
    EXPECT_EQ(levels[1]->sampleType(), oxSampleTraits<T>::type);
    image->setComponents(3);
    EXPECT_EQ(smallerLevels(*image)[1]->components(), 3);
    const auto near = [&](size_t level, uint32_t x, oxColourFloat w) { // within one 8-bit step
        const auto g = oxConvertPixel<oxColourFloat>(static_cast<const oxImageImpl<T>&>(*levels[level]).at(x, 0));
        return std::max({std::abs(g.r - w.r), std::abs(g.g - w.g), std::abs(g.b - w.b), std::abs(g.a - w.a)}) < 1.f / 255;
    };
    EXPECT_TRUE(near(0, 0, {51 / 255.f, 204 / 255.f, 0.2f, 0.5f}));
    EXPECT_TRUE(near(0, 1, {229.5f / 255, 25.5f / 255, 0.2f, 0.5f}));
    EXPECT_TRUE(near(1, 0, {140.25f / 255, 114.75f / 255, 0.2f, 0.5f}));
    EXPECT_TRUE(smallerLevels(*imageOf<T>(1, 1, palette)).empty());
}

// The vector path against the plain mean, in place in a wider buffer, tails of 0-3 pixels.
TEST(MipmapLevels, EightBitLevelsReadInPlaceEqualThePlainMeanAndWideOnesRoundWithoutOverflow)
{
    for (uint32_t width : {8u, 9u, 13u, 75u}) {
        SCOPED_TRACE(width);
        const uint32_t height = 7, rowPixels = width + 5;
        std::vector<oxColour> buffer(size_t(rowPixels) * height);
        uint32_t seed = 12345;
        for (oxColour& c : buffer) {
            seed = seed * 1103515245u + 12345u;
            c = oxColour(uint8_t(seed >> 24), uint8_t(seed >> 16), uint8_t(seed >> 8), uint8_t(seed >> 3));
        }
        oxPixelRect rect;
        rect.data = buffer.data();
        rect.width = width, rect.height = height, rect.rowPixels = rowPixels;
        const auto levels = oxBuildSmallerMipmapLevels(rect);
        ASSERT_FALSE(levels.empty());
        const auto& half = static_cast<const oxImageUInt8&>(*levels[0]);
        ASSERT_EQ(half.size(), oxSize(width / 2, height / 2));
        int wrong = 0;
        for (uint32_t y = 0; y < half.height(); ++y)
            for (uint32_t x = 0; x < half.width(); ++x) {
                const oxColour* p[4] = {&buffer[2 * y * rowPixels + 2 * x], &buffer[2 * y * rowPixels + 2 * x + 1],
                                        &buffer[(2 * y + 1) * rowPixels + 2 * x],
                                        &buffer[(2 * y + 1) * rowPixels + 2 * x + 1]};
                const auto mean = [&](auto member) {
                    return uint8_t((p[0]->*member + p[1]->*member + p[2]->*member + p[3]->*member + 2) / 4);
                };
                wrong += half.at(x, y) != oxColour(mean(&oxColour::r), mean(&oxColour::g), mean(&oxColour::b),
                                                   mean(&oxColour::a));
            }
        EXPECT_EQ(wrong, 0);
    }
    // Wider types round half up too, without overflow, and keep their high range.
    const auto mean = [](const auto& image) {
        using T = typename std::remove_reference_t<decltype(*image)>::Pixel;
        return static_cast<const oxImageImpl<T>&>(*smallerLevels(*image).at(0)).at(0, 0);
    };
    const oxColourUInt16 words[] = {{65535, 0, 1, 65535}, {65534, 0, 2, 65535}};
    EXPECT_EQ(mean(imageOf<oxColourUInt16>(2, 1, [&](uint32_t x, uint32_t) { return words[x]; })),
              oxColourUInt16(65535, 0, 2, 65535));
    const oxColourHalf p = mean(imageOf<oxColourHalf>(2, 2, [](uint32_t x, uint32_t y) {
        return x + y ? oxColourHalf(0.0f, 0.0f, 0.0f, 1.0f) : oxColourHalf(8.0f, 1000.0f, 0.25f, 1.0f);
    }));
    EXPECT_EQ(std::vector({p.r.toFloat(), p.g.toFloat(), p.b.toFloat()}), std::vector({2.0f, 250.0f, 0.0625f}));
}

// ---- shader support ------------------------------------------------------------------

namespace {

std::set<std::string> g_extensions, g_withheld;
int g_lookups = 0;

void notCalled() {}

// A driver with all three extensions and every function (never called) until a test takes some away.
struct EmulatedDriver {
    EmulatedDriver()
    {
        g_extensions = {"GL_ARB_shader_objects", "GL_ARB_shading_language_100", "GL_ARB_fragment_shader"};
        g_withheld.clear();
        g_lookups = 0;
        oxOverrideShaderDriver(oxShaderDriverHooks{[](const char* name) { return g_extensions.count(name) != 0; },
                                                   [](const char* name) {
                                                       ++g_lookups;
                                                       return g_withheld.count(name) ? nullptr
                                                                                     : reinterpret_cast<void*>(&notCalled);
                                                   }});
    }
    ~EmulatedDriver() { oxOverrideShaderDriver(std::nullopt); }
};

std::string supportError(const std::function<void()>& call)
{
    return thrownMessage<oxShaderSupportException>(call);
}

const std::string NO_OBJECTS = "shader objects are not supported by your graphics hardware.";
const std::string NO_FUNCTION = "extension supported, but required function couldn't be found.";

} // namespace

TEST(ShaderSupport, EachMissingExtensionHasItsMessageAndOnlyFragmentShaderEntryPointsAreNeeded)
{
    for (const char* missing : {"GL_ARB_shader_objects", "GL_ARB_shading_language_100"}) {
        SCOPED_TRACE(missing);
        EmulatedDriver driver;
        g_extensions.erase(missing);
        EXPECT_EQ(supportError(loadShaderExtensions), NO_OBJECTS);
        EXPECT_EQ(supportError([] { oxShaderProgram program; }), NO_OBJECTS);
        EXPECT_EQ(g_lookups, 0);
        EXPECT_TRUE(fragmentShadersSupported());
    }
    EmulatedDriver driver;
    g_extensions = {"GL_ARB_shading_language_100"};
    // The fragment-shader test comes first, so its message wins.
    EXPECT_EQ(supportError([] { createFragmentShader("void main() {}"); }),
              "fragment shaders are not supported by your graphics hardware.");
    EXPECT_FALSE(fragmentShadersSupported());
    oxShaderProgram::unbind(); // callers unbind after drawing whether or not a shader could be made
    EXPECT_EQ(g_lookups, 0);

    // Vertex-shader functions are not needed for fragment shaders; a failed load is not remembered.
    EmulatedDriver full;
    g_withheld = {"glGetAttribLocationARB", "glVertexAttrib4NubARB", "glGetHandleARB"};
    EXPECT_EQ(supportError(loadShaderExtensions), NO_FUNCTION);
    g_withheld.erase("glGetHandleARB");
    EXPECT_EQ(supportError(loadShaderExtensions), "");
}
