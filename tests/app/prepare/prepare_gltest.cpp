// Picture preparation on a real driver, with the texture limit forced so that results do not depend on it.
#include "app/loader/textureloader.h"
#include "app/prepare/prepare.h"
#include "app/prepare/preparesteps.h"
#include "app/shell/configkeys.h"

#include "support/gltest.h"
#include "support/switches.h"
#include "tests/app/apptest.h"

#include <GL/gl.h>
#include <GL/glext.h>
#include <gtest/gtest.h>

#include <memory>

namespace {

// Photo-like: smooth shapes with a little noise (cheap to encode).
oxColour smoothPixel(uint32_t x, uint32_t y)
{
    const uint32_t n = (x * 2654435761u) ^ (y * 40503u);
    return oxColour(uint8_t(x / 24 + (n & 7)), uint8_t(y / 16 + (n >> 5 & 7)), uint8_t((x + y) / 40), 255);
}

// Neighbours differ strongly, so a tile placed one texel off shows.
oxColour noisyPixel(uint32_t x, uint32_t y)
{
    uint32_t h = x * 73856093u ^ y * 19349663u;
    h ^= h >> 13, h *= 0x5bd1e995u, h ^= h >> 15;
    return oxColour(uint8_t(h), uint8_t(h >> 8), uint8_t(h >> 16), 255);
}

class Prepare : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        s_files = std::make_unique<TempDir>();
        ImageOption quality("Quality", 95);
        writePicture(file("big.jpg"), 6000, 4000, smoothPixel);
        writePicture(file("small.jpg"), 300, 200, noisyPixel);
        writePicture(file("wide.png"), 600, 400, noisyPixel);
        writePicture(file("dot.jpg"), 1, 1, noisyPixel);
    }
    static void TearDownTestSuite() { s_files.reset(); }

    static std::string file(const std::string& name) { return s_files->file(name); }

    void SetUp() override
    {
        if (!glTestContext(640, 480))
            GTEST_SKIP() << "no X display with GLX";
    }
    void TearDown() override { m_picture.releaseTiles(); }

    // Forces the driver's texture limit and, optionally, power-of-two sides.
    static void driver(int maxTexture, bool powerOfTwoOnly)
    {
        setTextureSizeLimit(maxTexture);
        setNPOTTexturesDisabled(powerOfTwoOnly);
    }

    // A full picture (the record asks for no size), or its first look covering the cover.
    bool prepare(const std::string& name, oxSize cover = oxSize())
    {
        m_picture.releaseTiles();
        m_picture.imageWidth = m_picture.imageHeight = 0;
        m_picture.coverWidth = cover.width;
        m_picture.coverHeight = cover.height;
        return preparePicture(file(name), m_picture);
    }

    static std::unique_ptr<TempDir> s_files;
    TextureDriver m_driver; // the real limits back after each test
    TestSettings m_settings;
    LoadedPicture m_picture;
};
std::unique_ptr<TempDir> Prepare::s_files;

} // namespace

// The smallest decode covering the cover at fit zoom, laid out at the full size; none where it gains nothing.
TEST_F(Prepare, FirstLookAndSmallPictures)
{
    struct Case {
        const char* file;
        int maxTexture;
        oxSize cover;
        bool firstLook;
        int decodedWidth, shownWidth;
        const char* note;
    };
    const Case cases[] = {
        {"big.jpg", 8192, {1920, 1080}, true, 3000, 6000, ""}, // fitted at 0.27: 1/2 covers, 1/4 would not
        {"big.jpg", 8192, {200, 200}, true, 375, 6000, ""},    // 1/8 by the decoder, then halved
        {"big.jpg", 8192, {1080, 1920}, true, 1500, 6000, ""}, // a tall screen: fitted by the width, 1/4 covers
        {"big.jpg", 8192, {4000, 3000}, false, 6000, 6000, ""},
        {"big.jpg", 1024, {1920, 1080}, false, 3000, 3000, "[Picture scaled to 1/2.]"}, // the full load is as small
        {"wide.png", 8192, {100, 100}, false, 600, 600, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.file << " M " << c.maxTexture << " cover " << c.cover.width);
        driver(c.maxTexture, c.maxTexture < 2048);
        ASSERT_TRUE(prepare(c.file, c.cover));
        const LoadedPicture& p = m_picture;
        EXPECT_EQ(std::tuple(p.firstLook, p.imageWidth, p.shownWidth(), p.shownHeight() * 3, p.note),
                  std::tuple(c.firstLook, c.decodedWidth, c.shownWidth, c.shownWidth * 2, std::string(c.note)));
    }

    // Transparent black beyond the picture; the levels built by the driver (but not a software one) or the engine.
    // The plan's one-pixel case too: a 1 x 1 tile holds the pixel.
    struct Small {
        const char* file;
        int width, height, potWidth, potHeight;
    };
    for (const Small& c : {Small{"small.jpg", 300, 200, 512, 256}, Small{"dot.jpg", 1, 1, 1, 1}}) {
        const auto decoded = oxImageRegistry::instance().loadImage(file(c.file), oxSize());
        for (bool powerOfTwoOnly : {true, false})
            for (bool useDriver : {true, false}) {
                SCOPED_TRACE(testing::Message() << c.file << (powerOfTwoOnly ? ", power of two" : ", any size")
                                                << ", UseGLMipmap " << useDriver);
                driver(2048, powerOfTwoOnly);
                writeConfigBool(ConfigKey::UseGLMipmap, useDriver);
                ASSERT_TRUE(prepare(c.file));
                const int tw = powerOfTwoOnly ? c.potWidth : c.width, th = powerOfTwoOnly ? c.potHeight : c.height;
                EXPECT_EQ(std::pair(m_picture.tileWidth, m_picture.tileHeight), std::pair(tw, th));
                // One tile of the tile size: the read-back below fills exactly its texels.
                for (int i = 1; i < kMaxTiles * kMaxTiles; ++i)
                    EXPECT_FALSE(m_picture.tiles[i / kMaxTiles][i % kMaxTiles]) << "tile " << i;
                const oxTextureRef& tile = m_picture.tiles[0][0];
                ASSERT_TRUE(tile);
                ASSERT_EQ(std::pair(tile->width(), tile->height()), std::pair(tw, th));
                std::vector<uint8_t> texels(size_t(tw) * th * 4); // level 0 of the tile
                tile->bind();
                glPixelStorei(GL_PACK_ALIGNMENT, 1);
                glGetTexImage(GL_TEXTURE_2D, 0, GL_RGBA, GL_UNSIGNED_BYTE, texels.data());
                int wrong = 0;
                for (int y = 0; y < th; ++y)
                    for (int x = 0; x < tw; ++x) {
                        const uint8_t* p = &texels[(size_t(y) * tw + x) * 4];
                        const oxColour want = x < c.width && y < c.height
                                                  ? static_cast<const oxImageUInt8&>(*decoded).at(x, y)
                                                  : oxColour(0, 0, 0, 0);
                        wrong += p[0] != want.r || p[1] != want.g || p[2] != want.b || p[3] != want.a;
                    }
                EXPECT_EQ(wrong, 0) << "texels that are not the picture or transparent black";
                GLint generate = -1, minFilter = 0, level1Width = 0; // of the texture bound to read it
                glGetTexParameteriv(GL_TEXTURE_2D, GL_GENERATE_MIPMAP, &generate);
                glGetTexParameteriv(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, &minFilter);
                glGetTexLevelParameteriv(GL_TEXTURE_2D, 1, GL_TEXTURE_WIDTH, &level1Width);
                EXPECT_EQ(generate, useDriver && !textureCapabilities().softwareRenderer ? GL_TRUE : GL_FALSE);
                EXPECT_EQ(minFilter, GL_LINEAR_MIPMAP_LINEAR);
                EXPECT_EQ(level1Width, tw / 2);
            }
    }
}

