// Textures on a real driver (Mesa under Xvfb): drawn and read back.
#include "oxengine/graphics/texture.h"

#include "oxengine/errors.h"
#include "support/gltest.h"
#include "texturetest.h"

#include <GL/gl.h>
#include <GL/glext.h>
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <functional>

namespace {

#define REQUIRE_DISPLAY()                                                                                              \
    if (!glTestContext(256, 256))                                                                                      \
    GTEST_SKIP() << "no X display with GLX"

// Clears to the background and draws the texture as a w x h quad at the
// origin in GL_REPLACE mode, blended by its alpha when asked.
void draw(oxTexture2D& texture, int w, int h, bool blend = false, oxColour background = {0, 0, 0})
{
    glClearColor(background.r / 255.f, background.g / 255.f, background.b / 255.f, 1);
    glClear(GL_COLOR_BUFFER_BIT);
    texture.bind();
    glEnable(GL_TEXTURE_2D);
    glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_REPLACE);
    if (blend) {
        glEnable(GL_BLEND);
        glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    }
    glBegin(GL_QUADS);
    glTexCoord2f(0, 0), glVertex2f(0, 0);
    glTexCoord2f(1, 0), glVertex2f(float(w), 0);
    glTexCoord2f(1, 1), glVertex2f(float(w), float(h));
    glTexCoord2f(0, 1), glVertex2f(0, float(h));
    glEnd();
    glDisable(GL_BLEND);
    glDisable(GL_TEXTURE_2D);
}

// The window pixel is within tolerance of want in red, green and blue.
testing::AssertionResult pixelIs(int x, int y, oxColour want, int tolerance = 0)
{
    const std::vector<uint8_t> p = glReadBack(x, y, 1, 1);
    const int got[3] = {p[0], p[1], p[2]}, w[3] = {want.r, want.g, want.b};
    for (int i = 0; i < 3; ++i)
        if (std::abs(got[i] - w[i]) > tolerance)
            return testing::AssertionFailure() << "pixel " << x << "," << y << " is (" << got[0] << "," << got[1]
                                               << "," << got[2] << "), not (" << w[0] << "," << w[1] << "," << w[2]
                                               << ")";
    return testing::AssertionSuccess();
}

// Each texel of a cols x rows texture drawn 16 pixels wide shows want(x, y).
void expectTexels(uint32_t cols, uint32_t rows, const std::function<oxColour(uint32_t, uint32_t)>& want, int tolerance)
{
    for (uint32_t y = 0; y < rows; ++y)
        for (uint32_t x = 0; x < cols; ++x)
            EXPECT_TRUE(pixelIs(int(x) * 16 + 8, int(y) * 16 + 8, want(x, y), tolerance));
}

GLint texParameter(oxTexture2D& t, GLenum name, int level = -1)
{
    t.bind();
    GLint v = 0;
    if (level < 0)
        glGetTexParameteriv(GL_TEXTURE_2D, name, &v);
    else
        glGetTexLevelParameteriv(GL_TEXTURE_2D, level, name, &v);
    return v;
}

// One 8-bit step is what half and 16-bit texels may lose on the way to the window.
template <class T> constexpr int TOLERANCE = std::is_same_v<T, oxColour> ? 0 : 1;

const oxTextureParams NEAREST = oxTextureParams().setFilterQuality(0);
const oxColour PURPLE(128, 0, 128);

} // namespace

// ---- each sample type ------------------------------------------------------------

template <class T> class TextureUpload : public testing::Test {};
TYPED_TEST_SUITE(TextureUpload, TextureSampleTypes);

TYPED_TEST(TextureUpload, DrawsThePicturesColours)
{
    REQUIRE_DISPLAY();
    auto image = imageOf<TypeParam>(4, 4, palette);
    auto texture = createTexture(*image, MIPMAP_NONE, NEAREST);
    EXPECT_EQ(texture->width(), 4);
    EXPECT_FALSE(texture->hasMipmaps());
    draw(*texture, 64, 64);
    expectTexels(4, 4, palette, TOLERANCE<TypeParam>);
}

TYPED_TEST(TextureUpload, AlphaOnlyWithFourComponents)
{
    REQUIRE_DISPLAY();
    using T = TypeParam;
    auto image = imageOf<T>(512, 256, [](uint32_t, uint32_t) { return oxColour(0, 255, 0, 0); });
    auto transparent = createTexture(*image, MIPMAP_NONE, NEAREST);
    EXPECT_EQ(texParameter(*transparent, GL_TEXTURE_INTERNAL_FORMAT, 0),
              uploadFormat(oxSampleTraits<T>::type, 4).internalFormat);
    draw(*transparent, 64, 64, true, {255, 0, 0});
    EXPECT_TRUE(pixelIs(32, 32, {255, 0, 0}));

    image->setComponents(3);
    auto opaque = createTexture(*image, MIPMAP_NONE, NEAREST);
    EXPECT_EQ(texParameter(*opaque, GL_TEXTURE_INTERNAL_FORMAT, 0),
              uploadFormat(oxSampleTraits<T>::type, 3).internalFormat);
    draw(*opaque, 64, 64, true, {255, 0, 0});
    EXPECT_TRUE(pixelIs(32, 32, {0, 255, 0}));
}

TEST(TextureUpload, FloatPixelsFromMemoryWithRowPadding)
{
    REQUIRE_DISPLAY();
    if (!floatTexturesSupported())
        GTEST_SKIP() << "driver without float textures";
    // Rows three pixels apart; the third pixel of each must not show.
    const oxColourFloat junk(9, 9, 9, 1);
    const oxColourFloat pixels[] = {{1, 0, 0, 1}, {0, 0.5f, 0, 1}, junk, {0.2f, 0.2f, 4, 1}, {0, 0, 0, 1}, junk};
    oxPixelRect rect;
    rect.type = ST_FLOAT, rect.data = pixels, rect.width = 2, rect.height = 2, rect.rowPixels = 3;
    auto texture = createTexture(rect, MIPMAP_NONE, NEAREST);
    draw(*texture, 32, 32);
    const oxColour want[] = {{255, 0, 0}, {0, 128, 0}, {51, 51, 255}, {0, 0, 0}}; // above 1 clamps
    expectTexels(2, 2, [&](uint32_t x, uint32_t y) { return want[y * 2 + x]; }, 1);
}

TEST(TextureRefs, DeletedExactlyWhenTheLastHolderLetsGo)
{
    REQUIRE_DISPLAY();
    const size_t live = oxLiveTextureCount();
    oxTextureRef first(createTexture(*imageOf<oxColour>(4, 4, palette), MIPMAP_NONE));
    const GLuint name = first->textureName();
    EXPECT_EQ(oxFindTexture(name), first.get());
    oxTextureRef second = first, third;
    third = second;
    oxTextureRef moved = std::move(third);
    second = second;
    EXPECT_EQ(first->references(), 3);
    first.reset();
    second.reset();
    EXPECT_TRUE(glIsTexture(name));
    EXPECT_EQ(moved->references(), 1);
    moved = oxTextureRef(); // the last holder
    EXPECT_FALSE(glIsTexture(name));
    EXPECT_EQ(oxFindTexture(name), nullptr);
    EXPECT_EQ(oxLiveTextureCount(), live);
}

// ---- sizes ---------------------------------------------------------------------------

TEST(TextureSizes, PowerOfTwoSidesWhereTheDriverNeedsThem)
{
    REQUIRE_DISPLAY();
    DriverEmulation emulation;
    setNPOTTexturesDisabled(true);
    const size_t live = oxLiveTextureCount();
    auto wide = imageOf<oxColour>(500, 256, checker);
    auto tall = imageOf<oxColour>(256, 300, checker);
    for (MipmapGen mode : {MIPMAP_NONE, MIPMAP_ENGINE, MIPMAP_AUTO}) {
        EXPECT_EQ(textureError([&] { createTexture(*wide, mode); }), "image width must be a power of two.") << mode;
        EXPECT_EQ(textureError([&] { createTexture(*tall, mode); }), "image height must be a power of two.") << mode;
    }
    EXPECT_EQ(oxLiveTextureCount(), live); // refused textures leave nothing behind
    // GLU scales to powers of two itself.
    auto scaled = createTexture(*wide, MIPMAP_GLU);
    EXPECT_TRUE(oxIsPowerOfTwo(uint32_t(scaled->width()))) << scaled->width();

    setNPOTTexturesDisabled(false);
    if (npotTexturesSupported()) {
        EXPECT_EQ(createTexture(*wide, MIPMAP_AUTO)->width(), 500);
    }
}

TEST(TextureSizes, LoweredLimitRefusesLargerPictures)
{
    REQUIRE_DISPLAY();
    DriverEmulation emulation;
    const int driverLimit = maxTextureSize();
    setTextureSizeLimit(64);
    EXPECT_EQ(maxTextureSize(), 64);
    auto big = imageOf<oxColour>(64, 128, palette);
    for (MipmapGen mode : {MIPMAP_NONE, MIPMAP_GLU, MIPMAP_ENGINE, MIPMAP_AUTO})
        EXPECT_EQ(textureError([&] { createTexture(*big, mode); }),
                  "The picture (64 × 128 pixels) is larger than the graphics hardware's texture limit of 64 pixels.")
            << mode;
    EXPECT_NO_THROW(createTexture(*big, 0, 64, 64, 64, MIPMAP_NONE));
    setTextureSizeLimit(0);
    EXPECT_EQ(maxTextureSize(), driverLimit);
    EXPECT_NO_THROW(createTexture(*big, MIPMAP_NONE));
}

TEST(TextureSizes, DriverRefusalIsReportedNotPassedAsSuccess)
{
    REQUIRE_DISPLAY();
    // Claim twice the real limit, so that the driver itself refuses.
    oxTextureCapabilities caps = textureCapabilities();
    const uint32_t real = uint32_t(caps.maxTextureSize);
    caps.maxTextureSize *= 2;
    DriverEmulation emulation(caps);
    const size_t live = oxLiveTextureCount();
    auto wide = imageOf<oxColour>(real + 1, 1, palette);
    EXPECT_THAT(textureError([&] { createTexture(*wide, MIPMAP_NONE); }),
                testing::StartsWith("The graphics driver could not store the texture (OpenGL error 0x"));
    EXPECT_EQ(oxLiveTextureCount(), live);
    EXPECT_EQ(glGetError(), GLenum(GL_NO_ERROR));
}

// ---- mipmaps -------------------------------------------------------------------------

template <class T> class TextureMipmaps : public testing::Test {};
TYPED_TEST_SUITE(TextureMipmaps, TextureSampleTypes);

TYPED_TEST(TextureMipmaps, EveryModeGivesCompleteLevels)
{
    REQUIRE_DISPLAY();
    // A checkerboard shown at 1/8 is purple only with a complete chain of
    // levels; an incomplete texture draws untextured white.
    auto image = imageOf<TypeParam>(64, 64, checker);
    for (MipmapGen mode : {MIPMAP_GLU, MIPMAP_ENGINE, MIPMAP_AUTO}) {
        SCOPED_TRACE(mode);
        auto texture = createTexture(*image, mode, oxTextureParams().setFilterQuality(2));
        EXPECT_TRUE(texture->hasMipmaps());
        EXPECT_EQ(texParameter(*texture, GL_TEXTURE_MIN_FILTER), GL_LINEAR_MIPMAP_LINEAR);
        EXPECT_EQ(texParameter(*texture, GL_TEXTURE_WIDTH, 6), 1);
        draw(*texture, 8, 8);
        EXPECT_TRUE(pixelIs(4, 4, PURPLE, 4));
    }
}

TEST(TextureMipmaps, DriverGenerationOnlyFromGL14)
{
    REQUIRE_DISPLAY();
    auto automatic = createTexture(*imageOf<oxColour>(64, 64, checker), MIPMAP_AUTO);
    EXPECT_EQ(texParameter(*automatic, GL_GENERATE_MIPMAP), GL_TRUE);

    oxTextureCapabilities old = textureCapabilities();
    old.glMajor = 1, old.glMinor = 3, old.npotTextures = false;
    DriverEmulation emulation(old);
    // As GLU: any size accepted, the flag stays off.
    auto viaGlu = createTexture(*imageOf<oxColour>(500, 256, checker), MIPMAP_AUTO, oxTextureParams().setFilterQuality(2));
    EXPECT_EQ(texParameter(*viaGlu, GL_GENERATE_MIPMAP), GL_FALSE);
    draw(*viaGlu, 8, 4);
    EXPECT_TRUE(pixelIs(4, 2, PURPLE, 4));
}

TEST(TextureMipmaps, IncompleteChainsCannotHappen)
{
    REQUIRE_DISPLAY();
    // GL's default minification filter wants mipmaps: a one-level texture
    // made without parameters must still draw when shown smaller.
    auto green = createTexture(*imageOf<oxColour>(4, 4, [](uint32_t, uint32_t) { return oxColour(10, 200, 30); }),
                               MIPMAP_NONE);
    draw(*green, 2, 2);
    EXPECT_TRUE(pixelIs(1, 1, {10, 200, 30}));
    // A level list shorter than the full chain.
    const auto levels = oxBuildMipmapLevels(*imageOf<oxColour>(8, 8, checker));
    auto firstTwo = createTextureFromLevels({levels[0].get(), levels[1].get()}, oxTextureParams().setFilterQuality(2));
    draw(*firstTwo, 2, 2);
    EXPECT_TRUE(pixelIs(1, 1, PURPLE, 4));
}

// ---- filters and wrapping ----------------------------------------------------------------

TEST(TextureFilters, QualityWrapAndAnisotropyReachTheDriver)
{
    REQUIRE_DISPLAY();
    auto image = imageOf<oxColour>(8, 8, checker);
    auto odd = createTexture(*image, MIPMAP_AUTO, oxTextureParams().setFilterQuality(7).setWrap(GL_CLAMP_TO_EDGE));
    EXPECT_EQ(texParameter(*odd, GL_TEXTURE_MIN_FILTER), GL_NEAREST_MIPMAP_NEAREST);
    EXPECT_EQ(texParameter(*odd, GL_TEXTURE_MAG_FILTER), GL_LINEAR);
    EXPECT_EQ(texParameter(*odd, GL_TEXTURE_WRAP_T), GL_CLAMP_TO_EDGE);

    oxTextureCapabilities caps = textureCapabilities();
    if (!caps.anisotropic || caps.maxAnisotropy < 8)
        GTEST_SKIP() << "driver without 8x anisotropic filtering";
    const auto anisotropy = [](oxTexture2D& t) {
        t.bind();
        GLfloat v = 0;
        glGetTexParameterfv(GL_TEXTURE_2D, GL_TEXTURE_MAX_ANISOTROPY_EXT, &v);
        return v;
    };
    caps.maxAnisotropy = 16;
    DriverEmulation emulation(caps);
    EXPECT_EQ(anisotropy(*createTexture(*image, MIPMAP_AUTO, oxTextureParams().setFilterQuality(3))), 8.0f);
    // An explicit anisotropy comes after the quality's; requests out of range
    // are clamped instead of raising GL errors.
    auto t = createTexture(*image, MIPMAP_AUTO, oxTextureParams().setFilterQuality(4).setAnisotropy(3));
    EXPECT_EQ(anisotropy(*t), 3.0f);
    t->setAnisotropy(0);
    EXPECT_EQ(anisotropy(*t), 1.0f);
    caps.maxAnisotropy = 4;
    overrideTextureCapabilities(caps);
    t->setFilterQuality(3);
    EXPECT_EQ(anisotropy(*t), 2.0f);
    t->setAnisotropy(64);
    EXPECT_EQ(anisotropy(*t), 4.0f);
    EXPECT_EQ(glGetError(), GLenum(GL_NO_ERROR));

    caps.glMajor = 1, caps.glMinor = 1;
    overrideTextureCapabilities(caps);
    t->setWrap(GL_CLAMP_TO_EDGE);
    EXPECT_EQ(texParameter(*t, GL_TEXTURE_WRAP_S), GL_CLAMP);
}

TEST(TextureSupport, ProbedFromTheCurrentContext)
{
    REQUIRE_DISPLAY();
    const oxTextureCapabilities caps = textureCapabilities();
    GLint size = 0;
    glGetIntegerv(GL_MAX_TEXTURE_SIZE, &size);
    EXPECT_EQ(caps.maxTextureSize, size);
    if (caps.multitexture) {
        // The fetched entry point really switches units.
        oxActiveTexture(GL_TEXTURE1_ARB);
        GLint active = 0;
        glGetIntegerv(GL_ACTIVE_TEXTURE_ARB, &active);
        EXPECT_EQ(active, GL_TEXTURE1_ARB);
        oxActiveTexture(GL_TEXTURE0_ARB);
    }
}

// ---- rectangles of a picture ----------------------------------------------------------------

template <class T> class TextureRect : public testing::Test {};
TYPED_TEST_SUITE(TextureRect, TextureSampleTypes);

TYPED_TEST(TextureRect, ReadsInPlaceAndPadsPastTheEdge)
{
    REQUIRE_DISPLAY();
    auto image = imageOf<TypeParam>(9, 7, palette);
    const oxColour white(255, 255, 255);
    // The caller's unpack state is left as it was.
    glPixelStorei(GL_UNPACK_ALIGNMENT, 8);
    for (MipmapGen mode : {MIPMAP_NONE, MIPMAP_GLU, MIPMAP_ENGINE, MIPMAP_AUTO}) {
        SCOPED_TRACE(mode);
        auto inside = createTexture(*image, 2, 1, 4, 4, mode, NEAREST);
        draw(*inside, 64, 64);
        expectTexels(4, 4, [](uint32_t x, uint32_t y) { return palette(x + 2, y + 1); }, TOLERANCE<TypeParam>);
        // Only the 2 x 2 corner at (7, 5) lies inside; the rest is transparent.
        auto corner = createTexture(*image, 7, 5, 4, 4, mode, NEAREST);
        draw(*corner, 64, 64, true, white);
        expectTexels(4, 4, [&](uint32_t x, uint32_t y) { return x < 2 && y < 2 ? palette(x + 7, y + 5) : white; },
                     TOLERANCE<TypeParam>);
    }
    GLint alignment = 0, rowLength = -1, skip = -1;
    glGetIntegerv(GL_UNPACK_ALIGNMENT, &alignment);
    glGetIntegerv(GL_UNPACK_ROW_LENGTH, &rowLength);
    glGetIntegerv(GL_UNPACK_SKIP_ROWS, &skip);
    EXPECT_EQ(alignment * 100 + rowLength * 10 + skip, 800);
    glPixelStorei(GL_UNPACK_ALIGNMENT, 4);
}
