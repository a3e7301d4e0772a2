#include "../imagetest.h"

#include "oxengine/image/tga/tgahandler.h"

namespace {

// An 18-byte header; the ID field, colour map and pixels follow as given.
std::string header(int type, uint16_t w, uint16_t h, int depth, int descriptor, int idLength = 0, int mapType = 0,
                   uint16_t mapLength = 0)
{
    return {char(idLength), char(mapType), char(type), 0, 0, char(mapLength), char(mapLength >> 8), char(mapLength ? 24 : 0), 0, 0, 0, 0,
            char(w), char(w >> 8), char(h), char(h >> 8), char(depth), char(descriptor)};
}

// File pixel i (in file order) and its bytes.
oxColour filePixel(size_t i, bool alpha)
{
    return oxColour(uint8_t(i * 3 + 1), uint8_t(i * 5 + 2), uint8_t(i * 7 + 3), alpha ? uint8_t(i * 11 + 4) : 255);
}

std::string bytesOf(const oxColour& c, int depth)
{
    return depth == 32 ? std::string{char(c.b), char(c.g), char(c.r), char(c.a)} : std::string{char(c.b), char(c.g), char(c.r)};
}

std::string rawPixels(size_t n, int depth)
{
    std::string b;
    for (size_t i = 0; i < n; ++i)
        b += bytesOf(filePixel(i, depth == 32), depth);
    return b;
}

std::unique_ptr<oxImageUInt8> load(const std::string& path) { return loadAs<oxColour>(oxTgaHandler(), path); }

struct Tga : testing::Test {
    TempDir dir;
    const std::string f = dir.file("t.tga");
};

} // namespace

TEST_F(Tga, LoadSaveAndTransform)
{
    const uint32_t w = 3, h = 2;
    for (int depth : {24, 32})
        for (int descriptor : {0x00, 0x20, 0x10, 0x30}) {
            const bool topFirst = descriptor & 0x20, rightFirst = descriptor & 0x10;
            ASSERT_TRUE(writeFile(f, header(2, w, h, depth, descriptor) + rawPixels(w * h, depth)));
            EXPECT_TRUE(samePixels(*load(f), *imageOf<oxColour>(w, h, [&](uint32_t x, uint32_t y) {
                return filePixel((topFirst ? y : h - 1 - y) * w + (rightFirst ? w - 1 - x : x), depth == 32);
            }))) << "depth " << depth << ", descriptor " << descriptor;
        }
    // Raw and run-length files equal the suite's reference pictures.
    auto rgba = oxImageRegistry::instance().loadImage(corpusFile("tga/pillow/200x32_rgba.png"), oxSize());
    for (const char* name : {"pillow/200x32_rgba_bl_rle.tga", "pillow/200x32_rgba_tl_raw.tga"})
        EXPECT_TRUE(samePixels(*load(corpusFile(std::string("tga/") + name)), *rgba)) << name;
    // A 5-byte ID and a colour map of 3 entries of 24 bits before the pixels.
    ASSERT_TRUE(writeFile(f, header(2, 2, 2, 24, 0x20, 5, 1, 3) + "ident" + std::string(9, '\x55') + rawPixels(4, 24)));
    EXPECT_EQ(load(f)->at(1, 1), filePixel(3, false));
    // Without a colour map (type 0) the map fields mean nothing.
    ASSERT_TRUE(writeFile(f, header(10, 2, 1, 24, 0x20, 0, 0, 500) + "\x81" + bytesOf(filePixel(7, false), 24)));
    EXPECT_EQ(load(f)->at(1, 0), filePixel(7, false));

    // Run-length packets fill the picture and stop at its end.
    const oxColour a = filePixel(1, true), b = filePixel(2, true), c = filePixel(3, true), black(0, 0, 0, 255);
    // A run of 3 across the row end, 2 literal pixels, then a run that
    // announces 128 pixels where one is left, and a packet too many.
    const std::string data = "\x82" + bytesOf(a, 32) + "\x01" + bytesOf(b, 32) + bytesOf(c, 32) + "\xff" +
                             bytesOf(b, 32) + "\x81" + bytesOf(c, 32);
    std::string damage;
    const auto pixels = [&](const std::string& bytes) {
        EXPECT_TRUE(writeFile(f, header(10, 2, 3, 32, 0x28) + bytes));
        auto image = load(f);
        damage = image->damage();
        return std::vector<oxColour>(image->pixels(), image->pixels() + 6);
    };
    EXPECT_EQ(pixels(data), (std::vector<oxColour>{a, a, a, b, c, b}));
    EXPECT_EQ(damage, "");
    // A file that ends early keeps what it holds; the rest is black, opaque,
    // and the picture is damaged, so no rotation writes that black into the file.
    EXPECT_EQ(pixels(data.substr(0, 12)), (std::vector<oxColour>{a, a, a, b, black, black}));
    EXPECT_EQ(damage, "the file ends early");
    EXPECT_EQ(pixels(""), std::vector<oxColour>(6, black));
    const std::string cut = readFile(f);
    EXPECT_EQ(imageError([&] { oxImageRegistry::instance().transformFile(f, transformOf(1)); }),
              "The file is damaged (the file ends early) and is not rewritten.");
    EXPECT_EQ(readFile(f), cut);

    // What cannot be shown is refused with a message.
    const std::string endsEarly = "the TGA file ends before its last pixel.";
    // An uncompressed file shorter than its pixels would show whatever the memory held.
    for (const auto& [bytes, message] : std::initializer_list<std::pair<std::string, std::string>>{
             {header(2, 2, 2, 16, 0) + std::string(8, 0), "unsupported pixel size: 16 bits"},
             {header(1, 2, 2, 24, 0, 0, 1, 2) + std::string(18, 0), "unsupported TGA image type: 1"},
             {header(10, 7, 0, 32, 0), "the TGA file declares no pixels (7 × 0)."},
             {header(2, 3, 3, 24, 0) + rawPixels(8, 24) + "\x01\x02", endsEarly},
             {header(2, 3, 3, 24, 0, 40), endsEarly},
             {std::string("\0\0\x02", 3), "cannot read from file."},
             {header(10, 65535, 65535, 32, 0), "the picture is too large: 65535 × 65535 pixels"}})
        EXPECT_EQ(loadError(f, bytes, load), message);

    // Saved: header, pixels and the ID field follow the components and the comment.
    auto image = patternImage<oxColour>(3, 2);
    oxTgaHandler().saveImage(*image, f, oxToneMapping::neutral());
    std::string stored; // memory order, top row first
    for (uint32_t i = 0; i < 6; ++i)
        stored += bytesOf(image->pixels()[i], 32);
    EXPECT_EQ(readFile(f), header(2, 3, 2, 32, 0x28) + stored);
    // A size the 16-bit header cannot hold is refused, not written wrong.
    EXPECT_EQ(imageError([&] { oxTgaHandler().saveImage(*oxImageUInt8::create(65536, 1), f, oxToneMapping::neutral()); }),
              "a TGA file holds pictures from 1 × 1 to 65535 × 65535 pixels, not 65536 × 1.");

    // The comment lives in the ID field.
    image = patternImage<oxColour>(1, 1);
    image->setComponents(3);
    image->setComment("Ωmega sky");
    oxTgaHandler().saveImage(*image, f, oxToneMapping::neutral());
    EXPECT_EQ(readFile(f).substr(0, 18 + 10), header(2, 1, 1, 24, 0x20, 10) + "Ωmega sky");
    // Longer than the field: cut at a whole character.
    std::string accents;
    for (int i = 0; i < 300; ++i)
        accents += "é";
    image->setComment(accents);
    oxTgaHandler().saveImage(*image, f, oxToneMapping::neutral());
    EXPECT_EQ(load(f)->comment(), accents.substr(0, 254));
    // Other writers' ID fields: NUL-ended text, Latin-1, binary data (no comment).
    const std::string pixel = "\x10\x20\x30";
    for (const auto& [id, comment] : {std::pair<std::string, std::string>{std::string("Camera 1\0\0", 10), "Camera 1"},
                                      {"caf\xe9", "café"},
                                      {std::string("\x01\x02\xff\x00", 4), ""}}) {
        ASSERT_TRUE(writeFile(f, header(2, 1, 1, 24, 0x20, int(id.size())) + id + pixel));
        EXPECT_EQ(load(f)->comment(), comment);
    }

    // TGA has no transformation of its own: the registry's generic one (load, change, save) keeps the date.
    oxFilename::initialize();
    ASSERT_TRUE(writeFile(f, header(2, 2, 1, 24, 0x20) + rawPixels(2, 24)));
    ASSERT_TRUE(oxFilename(f).setModificationDate(1e9));
    oxImageRegistry::instance().transformFile(f, transformOf(1, "T"));
    auto turned = load(f);
    EXPECT_EQ(std::tuple(turned->size(), turned->comment()), std::tuple(oxSize(1, 2), "T"));
    EXPECT_EQ(turned->at(0, 1), filePixel(1, false)); // clockwise: the right end now at the bottom
    EXPECT_DOUBLE_EQ(oxFilename(f).modificationDate(), 1e9);
    const std::string before = readFile(f);
    EXPECT_EQ(imageError([&] { oxImageRegistry::instance().transformFile(f, transformOf(0, std::string(256, 'x'))); }),
              "a TGA file holds a comment of at most 255 bytes, not 256.");
    EXPECT_EQ(readFile(f), before);
    ASSERT_TRUE(writeFile(f, "not a picture"));
    EXPECT_NE(imageError([&] { oxImageRegistry::instance().transformFile(f, transformOf(1)); }), "");
    EXPECT_EQ(readFile(f), "not a picture");
}

