#include "pngtest.h"

#include "oxengine/files.h"

#include <filesystem>

using namespace pngtest;

namespace {

oxImageTransform comment(const std::string& text)
{
    oxImageTransform t;
    t.setComment = true;
    t.comment = text;
    return t;
}

// A picture with every kind of chunk a comment edit must keep: colour
// information, an ICC profile, Exif, a chunk libpng does not know, text that
// is not a comment, two IDAT chunks; and three comment chunks.
std::vector<Chunk> richFile()
{
    const Chunk pixels = idat(16, 8, 8, 3, [](uint32_t x, uint32_t y, int) { return uint16_t((x + y) % 4); });
    const size_t half = pixels.data.size() / 2;
    return {ihdr(16, 8, 8, 3),
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
}

} // namespace

TEST(PngComment, ReplacesOnlyTheCommentChunksAndKeepsEveryOtherByte)
{
    oxFilename::initialize("test");
    TempDir dir;
    const std::string f = dir.file("rich.png");
    const std::vector<Chunk> original = richFile();
    ASSERT_TRUE(writeFile(f, file(original) + "appended data"));
    ASSERT_TRUE(oxFilename(f).setModificationDate(1234567890.0));
    const auto before = load(f);
    EXPECT_EQ(before->comment(), "old title");

    oxPngHandler().transformFile(f, comment("a new title"));
    // Everything but the three comment chunks, in order and byte for byte,
    // the new Title before the pixels, and what followed the file's end.
    std::vector<Chunk> expected = original;
    std::erase(expected, text("Comment", "old comment"));
    std::erase(expected, itext("TITLE", "old title"));
    std::erase(expected, ztext("description", "old description"));
    auto firstIdat = std::find_if(expected.begin(), expected.end(), [](const Chunk& c) { return c.type == "IDAT"; });
    firstIdat = expected.insert(firstIdat, text("Title", "a new title"));
    EXPECT_EQ(readFile(f), file(expected) + "appended data");
    EXPECT_DOUBLE_EQ(oxFilename(f).modificationDate(), 1234567890.0);
    const auto after = load(f);
    EXPECT_EQ(after->comment(), "a new title");
    EXPECT_TRUE(samePixels(*after, *before));

    // Through the registry, with a comment only UTF-8 can hold; an empty
    // comment writes no chunk.
    oxImageRegistry::instance().transformFile(f, comment("\xce\xa9 caf\xc3\xa9"));
    *firstIdat = itext("Title", "\xce\xa9 caf\xc3\xa9");
    EXPECT_EQ(readFile(f), file(expected) + "appended data");
    oxPngHandler().transformFile(f, comment(""));
    expected.erase(firstIdat);
    EXPECT_EQ(readFile(f), file(expected) + "appended data");
}

TEST(PngComment, RotationAndDamagedFilesLeaveTheFileUntouched)
{
    oxFilename::initialize("test");
    TempDir dir;
    const std::string f = dir.file("r.png");
    const std::string original = file(richFile());
    ASSERT_TRUE(writeFile(f, original));
    ASSERT_TRUE(oxFilename(f).setModificationDate(1e9));
    oxImageTransform turn = comment("x");
    turn.rotation = 1;
    EXPECT_EQ(imageError([&] { oxImageRegistry::instance().transformFile(f, turn); }),
              "rotation is currently not supported for PNG images");
    // Nothing to change: nothing is rewritten, and no comment lost.
    oxPngHandler().transformFile(f, oxImageTransform());
    EXPECT_EQ(readFile(f), original);
    EXPECT_DOUBLE_EQ(oxFilename(f).modificationDate(), 1e9);

    // Image data cut short, a chunk running past the end, not a PNG.
    const size_t idat = original.find("IDAT");
    for (const std::string& damaged : {original.substr(0, idat + 30), original.substr(0, original.size() - 5),
                                       std::string("GIF89a not a png")}) {
        ASSERT_TRUE(writeFile(f, damaged));
        EXPECT_EQ(imageError([&] { oxPngHandler().transformFile(f, comment("x")); }), "decompression failed.");
        EXPECT_EQ(readFile(f), damaged);
    }
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()), {}), 1); // no temporary file left
}
