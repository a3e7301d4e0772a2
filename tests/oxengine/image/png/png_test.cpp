// PNG files put together chunk by chunk: every colour type, depth and chunk is exactly what a test says.
#include "../imagetest.h"
#include "childprocess.h"

#include "oxengine/image/png/pnghandler.h"

#include <sys/resource.h>
#include <zlib.h>

#include <functional>

namespace {

struct Chunk {
    std::string type, data;
    friend bool operator==(const Chunk&, const Chunk&) = default;
};
using Chunks = std::vector<Chunk>;

std::string be32(uint32_t v)
{
    return {char(v >> 24), char(v >> 16), char(v >> 8), char(v)};
}

std::string deflated(const std::string& raw)
{
    uLongf size = compressBound(uLong(raw.size()));
    std::string packed(size, '\0');
    compress(reinterpret_cast<Bytef*>(packed.data()), &size, reinterpret_cast<const Bytef*>(raw.data()), uLong(raw.size()));
    packed.resize(size);
    return packed;
}

std::string file(const Chunks& chunks)
{
    std::string bytes("\x89PNG\r\n\x1a\n", 8);
    for (const Chunk& c : chunks) {
        const std::string typed = c.type + c.data;
        bytes += be32(uint32_t(c.data.size())) + typed +
                 be32(uint32_t(crc32(0, reinterpret_cast<const Bytef*>(typed.data()), uInt(typed.size()))));
    }
    return bytes;
}

// The chunks of a PNG file in order.
Chunks chunks(const std::string& png)
{
    Chunks found;
    for (size_t at = 8, length; at + 12 <= png.size(); at += 12 + length) {
        length = size_t(uint8_t(png[at])) << 24 | uint8_t(png[at + 1]) << 16 | uint8_t(png[at + 2]) << 8 |
                 uint8_t(png[at + 3]);
        found.push_back({png.substr(at + 4, 4), png.substr(at + 8, length)});
    }
    return found;
}

Chunk ihdr(uint32_t w, uint32_t h, int depth, int colour)
{
    return {"IHDR", be32(w) + be32(h) + std::string{char(depth), char(colour), 0, 0, 0}};
}

// Image data: sample(x, y, channel) for every pixel, packed at the bit depth, each row with filter type 0.
Chunk idat(uint32_t w, uint32_t h, int depth, int colour, const std::function<uint16_t(uint32_t, uint32_t, int)>& sample)
{
    const int channels = colour == 0 || colour == 3 ? 1 : colour == 4 ? 2 : colour == 2 ? 3 : 4;
    std::string raw;
    for (uint32_t y = 0; y < h; ++y) {
        raw += '\0';
        uint32_t bits = 0, nbits = 0;
        for (uint32_t x = 0; x < w; ++x)
            for (int c = 0; c < channels; ++c) {
                const uint16_t v = sample(x, y, c);
                if (depth == 16) {
                    raw += {char(v >> 8), char(v)};
                    continue;
                }
                bits = bits << depth | (v & ((1u << depth) - 1));
                if ((nbits += uint32_t(depth)) == 8) {
                    raw += char(bits);
                    bits = nbits = 0;
                }
            }
        if (nbits)
            raw += char(bits << (8 - nbits));
    }
    return {"IDAT", deflated(raw)};
}

// Text chunks: plain, compressed, and international (uncompressed, no language).
Chunk text(const std::string& key, const std::string& value) { return {"tEXt", key + '\0' + value}; }
Chunk ztext(const std::string& key, const std::string& value) { return {"zTXt", key + std::string(2, '\0') + deflated(value)}; }
Chunk itext(const std::string& key, const std::string& value) { return {"iTXt", key + std::string(5, '\0') + value}; }
const Chunk IEND{"IEND", ""};

std::unique_ptr<oxImage> load(const std::string& path) { return oxPngHandler().loadImage(path, oxSize()); }

struct Png : testing::Test {
    TempDir dir;
    const std::string f = dir.file("p.png");
    std::unique_ptr<oxImage> loaded(const Chunks& c) { return writeFile(f, file(c)) ? load(f) : nullptr; }
    // The handler's error for a file of these bytes ("" when it loads).
    std::string error(const std::string& bytes) { return loadError(f, bytes, load); }
};

} // namespace

TEST_F(Png, LoadsEveryColourTypeAndRefusesBadFiles)
{
    const Chunk palette{"PLTE", std::string("\xff\x00\x00\x00\xff\x00\x00\x00\xff", 9)};
    const auto index = [](uint32_t x, uint32_t, int) { return uint16_t(x % 3); };
    // Entry 0 transparent, 1 half, 2 (beyond the tRNS entries) opaque.
    auto image = loaded({ihdr(3, 1, 2, 3), palette, {"tRNS", std::string("\x00\x80", 2)}, idat(3, 1, 2, 3, index), IEND});
    EXPECT_TRUE(samePixels(*image, *imageOf<oxColour>(3, 1, [](uint32_t x, uint32_t) {
        return std::vector<oxColour>{{255, 0, 0, 0}, {0, 255, 0, 128}, {0, 0, 255, 255}}[x];
    })));
    // Grey below 8 bits is scaled to the full range, not shifted.
    for (int depth : {1, 2, 4}) {
        const uint16_t max = uint16_t((1 << depth) - 1);
        const uint8_t mid = uint8_t(255 / max * (max / 2));
        image = loaded({ihdr(2, 1, depth, 0), idat(2, 1, depth, 0, [&](uint32_t x, uint32_t, int) { return x ? max / 2 : max; }), IEND});
        EXPECT_TRUE(samePixels(*image, *imageOf<oxColour>(2, 1, [&](uint32_t x, uint32_t) {
            return x ? oxColour(mid, mid, mid, 255) : oxColour(255, 255, 255, 255);
        }))) << depth;
    }
    // 16 bits: every sample kept, in the machine's byte order.
    const auto wide = [](uint32_t x, uint32_t, int c) { return uint16_t(0x0102 * (c + 1) + x); };
    image = loaded({ihdr(2, 1, 16, 6), idat(2, 1, 16, 6, wide), IEND});
    EXPECT_EQ(static_cast<oxImageUInt16&>(*image).at(1, 0), oxColourUInt16(0x0103, 0x0205, 0x0307, 0x0409));
    image = loaded({ihdr(2, 1, 16, 0), idat(2, 1, 16, 0, wide), IEND});
    EXPECT_EQ(static_cast<oxImageUInt16&>(*image).at(1, 0), oxColourUInt16(0x0103, 0x0103, 0x0103, 65535));
    // Interlaced files equal their progressive twins of the conformance suite.
    for (std::string name : {"basn0g01", "basn3p04", "basn4a16", "basn6a08"}) {
        const auto plain = load(corpusFile("png/pngsuite/" + name + ".png"));
        name[3] = 'i';
        EXPECT_TRUE(samePixels(*plain, *load(corpusFile("png/pngsuite/" + name + ".png")))) << name;
    }

    // The comment is the text of the best key.
    const auto commentOf = [&](const Chunks& before, const Chunks& after = {}) {
        Chunks all{ihdr(1, 1, 8, 2)};
        all.insert(all.end(), before.begin(), before.end());
        all.push_back(idat(1, 1, 8, 2, [](uint32_t, uint32_t, int) { return uint16_t(9); }));
        all.insert(all.end(), after.begin(), after.end());
        all.push_back(IEND);
        return loaded(all)->comment();
    };
    EXPECT_EQ(commentOf({text("comment", "c"), text("Title", "t")}), "t");
    EXPECT_EQ(commentOf({text("Description", "d"), text("Author", "a")}), "d");
    EXPECT_EQ(commentOf({text("TITLE", "first"), ztext("title", "second")}), "first");
    EXPECT_EQ(commentOf({text("Author", "a"), text("Copyright", "c")}), "");
    EXPECT_EQ(commentOf({text("Comment", "before")}, {ztext("Title", "after the pixels")}), "after the pixels");
    // UTF-8 comes out: iTXt as it is, Latin-1 tEXt converted, and tEXt that
    // already is UTF-8 (a common misuse) left alone.
    EXPECT_EQ(commentOf({itext("Title", "\xce\xa9mega")}), "\xce\xa9mega");
    EXPECT_EQ(commentOf({text("Title", "Gr\xfc\xdf")}), "Gr\xc3\xbc\xc3\x9f");
    EXPECT_EQ(commentOf({text("Title", "Gr\xc3\xbc\xc3\x9f")}), "Gr\xc3\xbc\xc3\x9f");

    // Damaged and huge files are refused before allocation.
    const auto pixel = [](uint32_t x, uint32_t y, int c) { return uint16_t((x * 3 + y * 5 + c * 7) & 255); };
    const std::string good = file({ihdr(64, 64, 8, 2), idat(64, 64, 8, 2, pixel), IEND});
    std::string badCrc = good;
    badCrc[30] ^= 1; // inside IHDR
    // With the library's reason (our reader's for a short file).
    for (const auto& [bad, reason] : std::initializer_list<std::pair<std::string, std::string>>{
             {good.substr(0, good.size() / 2), "chunk runs past the end of the file"},
             {badCrc, "IHDR: CRC error"},
             {"", "Read Error"}})
        EXPECT_EQ(error(bad), "decompression failed. (" + reason + ")");
    // 40 GB in a tiny file.
    EXPECT_EQ(error(file({ihdr(100000, 100000, 8, 6), {"IDAT", "x"}, IEND})), "the picture is too large: 100000 × 100000 pixels");
    // A text chunk declaring 1.7 GB in a file of a few hundred bytes (found
    // by the fuzzer: the library would allocate and clear it all first).
    const Chunk title{"tEXt", std::string("Title\0harbour", 13)};
    const std::string runsPast = file({ihdr(64, 64, 8, 2), title}) + be32(0x6a000000) + "tEXtAuthor";
    EXPECT_EQ(runInChild([&] {
                  const bool refused = error(runsPast).rfind("decompression failed. (", 0) == 0;
                  rusage usage{};
                  getrusage(RUSAGE_SELF, &usage);
                  return refused && usage.ru_maxrss < 300 * 1024 ? 0 : 1; // kB
              }),
              0);
}

// Pixels, depth, clamping and colour type of every image type come back as the round trip test shows; here
// the text chunks. A comment edit keeps every byte but the comment chunks; a rotation or damage leave the
// file as it was.
TEST_F(Png, CommentsSavedAndEditedInPlace)
{
    const auto saved = [&](const oxImage& image) {
        oxPngHandler().saveImage(image, f, oxToneMapping::neutral());
        return chunks(readFile(f));
    };
    auto rgb = patternImage<oxColour>(5, 4);
    rgb->setComponents(3), rgb->setComment("hello");
    Chunks c = saved(*rgb);
    // The title before the pixels, for readers that stop there.
    EXPECT_EQ(Chunks(c.begin(), c.begin() + 2), (Chunks{ihdr(5, 4, 8, 2), text("Title", "hello")}));
    // tEXt holds Latin-1 only, so other UTF-8 goes into iTXt; NUL cannot be in a text chunk.
    rgb->setComment("\xce\xa9mega");
    EXPECT_EQ(saved(*rgb)[1], itext("Title", "\xce\xa9mega"));
    rgb->setComment(std::string("a\0b", 3));
    EXPECT_EQ(saved(*rgb)[1], text("Title", "a b"));
    ASSERT_TRUE(writeFile(f, "old"));
    EXPECT_EQ(imageError([&] { oxPngHandler().saveImage(oxImageUInt8(), f, oxToneMapping::neutral()); }), "compression failed.");
    EXPECT_EQ(readFile(f), "old");

    oxFilename::initialize();
    // Every kind of chunk a comment edit must keep (colour, ICC, Exif, unknown, text, split IDAT), three comments.
    const Chunk pixels = idat(16, 8, 8, 3, [](uint32_t x, uint32_t y, int) { return uint16_t((x + y) % 4); });
    const size_t half = pixels.data.size() / 2;
    const Chunks original{ihdr(16, 8, 8, 3),
                          {"gAMA", be32(45455)},
                          {"iCCP", std::string("icc\0\0", 5) + deflated(std::string(300, 'p'))},
                          {"cICP", std::string("\x01\x0d\x00\x01", 4)},
                          text("Author", "Ana"),
                          text("Comment", "old comment"),
                          {"PLTE", std::string("\x10\x20\x30\x40\x50\x60\x70\x80\x90\xa0\xb0\xc0", 12)},
                          {"tRNS", std::string("\x00\x80", 2)},
                          {"pHYs", be32(2835) + be32(2835) + "\x01"},
                          {"eXIf", std::string("MM\0*\0\0\0\x08\0\0", 10) + std::string(40, '\x07')},
                          itext("XML:com.adobe.xmp", "<x:xmpmeta/>"),
                          ztext("Copyright", "(c) Ana"),
                          {"prVt", "private data"},
                          {"IDAT", pixels.data.substr(0, half)},
                          {"IDAT", pixels.data.substr(half)},
                          itext("TITLE", "old title"),
                          ztext("description", "old description"),
                          IEND};
    const std::string bytes = file(original);
    ASSERT_TRUE(writeFile(f, bytes + "appended data"));
    ASSERT_TRUE(oxFilename(f).setModificationDate(1234567890.0));
    EXPECT_EQ(imageError([&] { oxImageRegistry::instance().transformFile(f, transformOf(1)); }),
              "rotation is currently not supported for PNG images");
    EXPECT_EQ(readFile(f), bytes + "appended data");
    EXPECT_DOUBLE_EQ(oxFilename(f).modificationDate(), 1234567890.0);
    oxPngHandler().transformFile(f, transformOf(0, "a new title"));
    // Everything but the three comment chunks, in order and byte for byte,
    // the new Title before the pixels, and what followed the file's end.
    Chunks expected = original;
    std::erase(expected, text("Comment", "old comment"));
    std::erase(expected, itext("TITLE", "old title"));
    std::erase(expected, ztext("description", "old description"));
    auto firstIdat = std::find_if(expected.begin(), expected.end(), [](const Chunk& c) { return c.type == "IDAT"; });
    firstIdat = expected.insert(firstIdat, text("Title", "a new title"));
    EXPECT_EQ(readFile(f), file(expected) + "appended data");
    EXPECT_DOUBLE_EQ(oxFilename(f).modificationDate(), 1234567890.0);
    // Through the registry, with a comment only UTF-8 can hold; an empty comment writes no chunk.
    oxImageRegistry::instance().transformFile(f, transformOf(0, "\xce\xa9 caf\xc3\xa9"));
    *firstIdat = itext("Title", "\xce\xa9 caf\xc3\xa9");
    EXPECT_EQ(readFile(f), file(expected) + "appended data");
    oxPngHandler().transformFile(f, transformOf(0, ""));
    expected.erase(firstIdat);
    EXPECT_EQ(readFile(f), file(expected) + "appended data");
    // Image data cut short, a chunk running past the end, not a PNG.
    for (const std::string& damaged : {bytes.substr(0, bytes.find("IDAT") + 30), bytes.substr(0, bytes.size() - 5),
                                       std::string("GIF89a not a png")}) {
        ASSERT_TRUE(writeFile(f, damaged));
        const std::string error = imageError([&] { oxPngHandler().transformFile(f, transformOf(0, "x")); });
        EXPECT_EQ(error, damaged.starts_with("GIF") ? "decompression failed. (Not a PNG file)"
                                                    : "The file is damaged (the file ends early) and is not rewritten.");
        EXPECT_EQ(readFile(f), damaged);
    }
    EXPECT_EQ(folderEntries(dir.path()), std::vector<std::string>{"p.png"}); // no temporary file left
}
