#include "../imagetest.h"

#include "oxengine/errors.h"
#include "oxengine/files.h"
#include "oxengine/image/handler.h"
#include "oxengine/image/tga/tgahandler.h"
#include "testsupport.h"

#include <filesystem>

namespace {

// An 18-byte header; the ID field, colour map and pixels follow as given.
std::string header(int type, uint16_t w, uint16_t h, int depth, int descriptor, int idLength = 0, int mapType = 0,
                   uint16_t mapLength = 0, int mapBits = 0)
{
    return {char(idLength), char(mapType), char(type), 0, 0, char(mapLength), char(mapLength >> 8), char(mapBits),
            0, 0, 0, 0, char(w), char(w >> 8), char(h), char(h >> 8), char(depth), char(descriptor)};
}

// The colour of file pixel i (in file order), and its bytes.
oxColour filePixel(size_t i, bool alpha)
{
    return oxColour(uint8_t(i * 3 + 1), uint8_t(i * 5 + 2), uint8_t(i * 7 + 3), alpha ? uint8_t(i * 11 + 4) : 255);
}

std::string bytesOf(const oxColour& c, int depth)
{
    std::string b{char(c.b), char(c.g), char(c.r)};
    if (depth == 32)
        b += char(c.a);
    return b;
}

std::string rawPixels(size_t n, int depth)
{
    std::string b;
    for (size_t i = 0; i < n; ++i)
        b += bytesOf(filePixel(i, depth == 32), depth);
    return b;
}

std::unique_ptr<oxImageUInt8> load(const std::string& path)
{
    auto image = oxTgaHandler().loadImage(path, oxSize());
    return std::unique_ptr<oxImageUInt8>(static_cast<oxImageUInt8*>(image.release()));
}

template <class Fn> std::string imageError(Fn&& fn)
{
    try {
        fn();
    } catch (const oxImageException& e) {
        return e.oxException::getMessage();
    }
    return std::string();
}

std::string corpus(const std::string& name)
{
    return std::string(OX_SHARED_DIR) + "/corpus/tga/" + name;
}

} // namespace

TEST(TgaLoad, EveryOriginLoadsUpright)
{
    TempDir dir;
    const std::string f = dir.file("o.tga");
    const uint16_t w = 3, h = 2;
    for (int depth : {24, 32}) {
        // The same picture in the four storage orders: file pixel i of row r
        // and column c belongs at (c', r') of the picture.
        for (int descriptor : {0x00, 0x20, 0x10, 0x30}) {
            SCOPED_TRACE(testing::Message() << "depth " << depth << ", descriptor " << descriptor);
            const bool topFirst = descriptor & 0x20, rightFirst = descriptor & 0x10;
            ASSERT_TRUE(writeFile(f, header(2, w, h, depth, descriptor | (depth == 32 ? 8 : 0)) + rawPixels(w * h, depth)));
            auto image = load(f);
            ASSERT_EQ(image->size(), oxSize(w, h));
            EXPECT_EQ(image->components(), 4);
            for (uint32_t r = 0; r < h; ++r)
                for (uint32_t c = 0; c < w; ++c) {
                    const uint32_t x = rightFirst ? w - 1 - c : c, y = topFirst ? r : h - 1 - r;
                    EXPECT_EQ(image->at(x, y), filePixel(r * w + c, depth == 32));
                }
        }
    }
    // The origin files of the conformance suites hold one raster under the
    // four origins (they differ in the descriptor only), so they load as
    // mirror images of each other.
    const auto flipped = [](const oxImageUInt8& image, bool horizontal, bool vertical) {
        auto copy = image.clone();
        if (horizontal)
            copy->flipHorizontal();
        if (vertical)
            copy->flipVertical();
        return copy;
    };
    auto topLeft = load(corpus("truevision/top_left.tga"));
    EXPECT_TRUE(samePixels(*load(corpus("more/truevision/top_right.tga")), *flipped(*topLeft, true, false)));
    EXPECT_TRUE(samePixels(*load(corpus("more/truevision/bottom_left.tga")), *flipped(*topLeft, false, true)));
    EXPECT_TRUE(samePixels(*load(corpus("truevision/bottom_right.tga")), *flipped(*topLeft, true, true)));
    auto bottomLeft = load(corpus("more/pillow/rgb32rle.tga"));
    EXPECT_TRUE(samePixels(*load(corpus("more/pillow/rgb32rle_top_right.tga")), *flipped(*bottomLeft, true, true)));
    EXPECT_TRUE(samePixels(*load(corpus("more/pillow/rgb32rle_bottom_right.tga")), *flipped(*bottomLeft, true, false)));
}

TEST(TgaLoad, MatchesTheReferencePictures)
{
    auto rgb = oxImageRegistry::instance().loadImage(corpus("pillow/200x32_rgb.png"), oxSize());
    auto rgba = oxImageRegistry::instance().loadImage(corpus("pillow/200x32_rgba.png"), oxSize());
    for (const char* name : {"pillow/200x32_rgb_bl_raw.tga", "pillow/200x32_rgb_tl_rle.tga", "more/pillow/200x32_rgb_bl_rle.tga"})
        EXPECT_TRUE(samePixels(*load(corpus(name)), *rgb)) << name;
    for (const char* name : {"pillow/200x32_rgba_bl_rle.tga", "pillow/200x32_rgba_tl_raw.tga",
                             "more/pillow/200x32_rgba_bl_raw.tga", "more/pillow/200x32_rgba_tl_rle.tga"})
        EXPECT_TRUE(samePixels(*load(corpus(name)), *rgba)) << name;
}

TEST(TgaLoad, IdFieldAndColourMapAreSkipped)
{
    TempDir dir;
    const std::string f = dir.file("id.tga");
    // A 5-byte ID and a colour map of 3 entries of 24 bits before the pixels.
    ASSERT_TRUE(writeFile(f, header(2, 2, 2, 24, 0x20, 5, 1, 3, 24) + "ident" + std::string(9, '\x55') + rawPixels(4, 24)));
    auto image = load(f);
    EXPECT_EQ(image->at(0, 0), filePixel(0, false));
    EXPECT_EQ(image->at(1, 1), filePixel(3, false));
    // Without a colour map (type 0) the map fields mean nothing.
    ASSERT_TRUE(writeFile(f, header(10, 2, 1, 24, 0x20, 0, 0, 500, 24) + "\x81" + bytesOf(filePixel(7, false), 24)));
    EXPECT_EQ(load(f)->at(1, 0), filePixel(7, false));
}

TEST(TgaLoad, RunLengthPacketsFillThePictureAndStopAtItsEnd)
{
    TempDir dir;
    const std::string f = dir.file("rle.tga");
    const oxColour a = filePixel(1, true), b = filePixel(2, true), c = filePixel(3, true);
    // A run of 3 across the row end, 2 literal pixels, then a run that
    // announces 128 pixels where one is left.
    const std::string data = std::string("\x82") + bytesOf(a, 32) + "\x01" + bytesOf(b, 32) + bytesOf(c, 32) + "\xff" +
                             bytesOf(b, 32) + "\x81" + bytesOf(c, 32);
    ASSERT_TRUE(writeFile(f, header(10, 2, 3, 32, 0x28) + data));
    auto image = load(f);
    const std::vector<oxColour> expected{a, a, a, b, c, b};
    EXPECT_EQ(std::vector<oxColour>(image->pixels(), image->pixels() + 6), expected);

    // A file that ends early keeps what it holds; the rest is black and opaque.
    ASSERT_TRUE(writeFile(f, header(10, 2, 3, 32, 0x28) + data.substr(0, 1 + 4 + 1 + 4 + 2)));
    image = load(f);
    const oxColour black(0, 0, 0, 255);
    EXPECT_EQ(std::vector<oxColour>(image->pixels(), image->pixels() + 6),
              (std::vector<oxColour>{a, a, a, b, black, black}));
    ASSERT_TRUE(writeFile(f, header(10, 4, 4, 24, 0x20)));
    image = load(f);
    EXPECT_TRUE(std::all_of(image->pixels(), image->pixels() + 16, [&](const oxColour& p) { return p == black; }));
}

TEST(TgaLoad, RefusesWhatItCannotShowWithAMessage)
{
    TempDir dir;
    const std::string f = dir.file("bad.tga");
    const auto error = [&](const std::string& bytes) {
        EXPECT_TRUE(writeFile(f, bytes));
        return imageError([&] { load(f); });
    };
    EXPECT_EQ(error(header(2, 2, 2, 16, 0) + std::string(8, 0)), "unsupported pixel size: 16 bits");
    EXPECT_EQ(error(header(3, 2, 2, 8, 0) + std::string(4, 0)), "unsupported pixel size: 8 bits");
    EXPECT_EQ(error(header(1, 2, 2, 24, 0, 0, 1, 2, 24) + std::string(18, 0)), "unsupported TGA image type: 1");
    EXPECT_EQ(error(header(9, 2, 2, 24, 0)), "unsupported TGA image type: 9");
    EXPECT_EQ(error(header(2, 0, 5, 24, 0)), "the TGA file declares no pixels (0 × 5).");
    EXPECT_EQ(error(header(10, 7, 0, 32, 0)), "the TGA file declares no pixels (7 × 0).");
    // An uncompressed file shorter than its pixels would show whatever the
    // memory held.
    EXPECT_EQ(error(header(2, 3, 3, 24, 0) + rawPixels(8, 24) + "\x01\x02"), "the TGA file ends before its last pixel.");
    EXPECT_EQ(error(header(2, 3, 3, 24, 0, 40)), "the TGA file ends before its last pixel.");
    EXPECT_EQ(error(std::string("\0\0\x02", 3)), "cannot read from file.");
    EXPECT_EQ(imageError([&] { load(dir.file("missing.tga")); }), "cannot read from file.");
    {
        PixelLimit limit(100);
        EXPECT_EQ(error(header(10, 11, 10, 24, 0)), "the picture is too large: 11 × 10 pixels");
    }
    EXPECT_EQ(error(header(10, 65535, 65535, 32, 0)), "the picture is too large: 65535 × 65535 pixels");
}

TEST(TgaSave, HeaderAndPixelsFollowTheComponents)
{
    TempDir dir;
    const std::string f = dir.file("s.tga");
    auto image = patternImage<oxColour>(3, 2);
    oxTgaHandler().saveImage(*image, f, oxToneMapping::neutral());
    std::string bytes = readFile(f);
    EXPECT_EQ(bytes.substr(0, 18), header(2, 3, 2, 32, 0x28));
    ASSERT_EQ(bytes.size(), 18u + 3 * 2 * 4);
    EXPECT_EQ(bytes.substr(18 + 4 * 4, 4), bytesOf(image->at(1, 1), 32)); // memory order, top row first
    EXPECT_TRUE(samePixels(*load(f), *image));

    image->setComponents(3);
    oxTgaHandler().saveImage(*image, f, oxToneMapping::neutral());
    bytes = readFile(f);
    EXPECT_EQ(bytes.substr(0, 18), header(2, 3, 2, 24, 0x20));
    ASSERT_EQ(bytes.size(), 18u + 3 * 2 * 3);
    auto back = load(f);
    const oxColour p = image->at(2, 1);
    EXPECT_EQ(back->at(2, 1), oxColour(p.r, p.g, p.b, 255));

    // Other sample types are converted, or tone-mapped when asked.
    auto half = oxImageHalf::create(1, 1);
    half->at(0, 0) = oxColourHalf(2.0f, 1.0f, 0.5f, 1.0f);
    oxTgaHandler().saveImage(*half, f, oxToneMapping::neutral());
    EXPECT_EQ(load(f)->at(0, 0), oxColour(255, 255, 128, 255));
    oxToneMapping mapping;
    mapping.mode = TM_HDR_ONLY;
    mapping.whitePoint = 2.0f;
    oxTgaHandler().saveImage(*half, f, mapping);
    const oxColour mapped = load(f)->at(0, 0);
    EXPECT_NEAR(mapped.r, 255, 1);
    EXPECT_NEAR(mapped.g, 128, 1);
    EXPECT_NEAR(mapped.b, 64, 1);
}

TEST(TgaSave, SizesTheHeaderCannotHoldAreRefused)
{
    TempDir dir;
    const std::string f = dir.file("wide.tga");
    EXPECT_EQ(imageError([&] { oxTgaHandler().saveImage(*oxImageUInt8::create(65536, 1), f, oxToneMapping::neutral()); }),
              "a TGA file holds pictures from 1 × 1 to 65535 × 65535 pixels, not 65536 × 1.");
    EXPECT_NE(imageError([&] { oxTgaHandler().saveImage(oxImageUInt8(), f, oxToneMapping::neutral()); }), "");
    EXPECT_FALSE(std::filesystem::exists(f));
    EXPECT_EQ(imageError([&] { oxTgaHandler().saveImage(*patternImage<oxColour>(2, 2), dir.file("no/x.tga"),
                                                        oxToneMapping::neutral()); })
                  .rfind("cannot write to file. (", 0),
              0u);
}

TEST(TgaTransform, TheRegistryRotatesByRewritingAndKeepsTheDate)
{
    oxFilename::initialize("test");
    TempDir dir;
    const std::string f = dir.file("turn.TGA");
    auto image = patternImage<oxColour>(4, 3);
    oxTgaHandler().saveImage(*image, f, oxToneMapping::neutral());
    ASSERT_TRUE(oxFilename(f).setModificationDate(1e9));
    EXPECT_EQ(imageError([&] { oxTgaHandler().transformFile(f, oxImageTransform()); }), "transform not supported");
    oxImageTransform turn;
    turn.rotation = 1;
    turn.setComment = true;
    turn.comment = "ignored by TGA";
    oxImageRegistry::instance().transformFile(f, turn);
    EXPECT_TRUE(samePixels(*load(f), *image->rotatedCopy(1)));
    EXPECT_DOUBLE_EQ(oxFilename(f).modificationDate(), 1e9);
}
