#include "../imagetest.h"
#include "pngtest.h"

#include "oxengine/files.h"
#include "oxengine/image/handler.h"

#include <sys/stat.h>

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
// information, physical size, ICC profile, Exif, chunks libpng does not
// know, and text that is not a comment. Two IDAT chunks, split on purpose.
std::vector<Chunk> richFile()
{
    const Chunk pixels = idat(16, 8, 8, 3, [](uint32_t x, uint32_t y, int) { return uint16_t((x + y) % 4); });
    const size_t half = pixels.data.size() / 2;
    return {ihdr(16, 8, 8, 3),
            {"gAMA", be32(45455)},
            {"cHRM", std::string(32, '\x01')},
            {"iCCP", std::string("icc\0\0", 5) + ztext("", std::string(300, 'p')).data.substr(2)},
            {"sBIT", "\x08\x08\x08"},
            {"cICP", std::string("\x01\x0d\x00\x01", 4)},
            text("Author", "Ana"),
            text("Comment", "old comment"),
            {"PLTE", std::string("\x10\x20\x30\x40\x50\x60\x70\x80\x90\xa0\xb0\xc0", 12)},
            {"tRNS", std::string("\x00\x80", 2)},
            {"bKGD", std::string("\x01", 1)},
            {"pHYs", be32(2835) + be32(2835) + "\x01"},
            {"eXIf", std::string("MM\0*\0\0\0\x08\0\0", 10) + std::string(40, '\x07')},
            itext("XML:com.adobe.xmp", "<x:xmpmeta/>"),
            ztext("Copyright", "(c) Ana"),
            {"prVt", std::string("private data", 12)},
            {"IDAT", pixels.data.substr(0, half)},
            {"IDAT", pixels.data.substr(half)},
            {"tIME", std::string("\x07\xe8\x01\x02\x03\x04\x05", 7)},
            itext("TITLE", "old title"),
            ztext("description", "old description"),
            iend()};
}

} // namespace

TEST(PngComment, ReplacesOnlyTheCommentChunksAndKeepsEveryOtherByte)
{
    oxFilename::initialize("test");
    TempDir dir;
    const std::string f = dir.file("rich.png");
    const std::vector<Chunk> original = richFile();
    ASSERT_TRUE(writeFile(f, file(original)));
    const auto before = load(f);
    EXPECT_EQ(before->comment(), "old title");

    oxPngHandler().transformFile(f, comment("a new title"));
    const std::vector<Chunk> after = chunks(readFile(f));
    // Everything but the three comment chunks, in the same order, byte for
    // byte; the new Title goes in right before the image data.
    std::vector<Chunk> expected = original;
    std::erase(expected, text("Comment", "old comment"));
    std::erase(expected, itext("TITLE", "old title"));
    std::erase(expected, ztext("description", "old description"));
    const auto firstIdat = std::find_if(expected.begin(), expected.end(), [](const Chunk& c) { return c.type == "IDAT"; });
    expected.insert(firstIdat, text("Title", "a new title"));
    EXPECT_EQ(after, expected);
    const auto again = load(f);
    EXPECT_EQ(again->comment(), "a new title");
    EXPECT_TRUE(samePixels(*again, *before));

    // Through the registry, with a comment only UTF-8 can hold.
    oxImageRegistry::instance().transformFile(f, comment("\xce\xa9 caf\xc3\xa9"));
    EXPECT_EQ(load(f)->comment(), "\xce\xa9 caf\xc3\xa9");
    EXPECT_EQ(chunksOfType(readFile(f), "iTXt"),
              (std::vector<Chunk>{itext("XML:com.adobe.xmp", "<x:xmpmeta/>"), itext("Title", "\xce\xa9 caf\xc3\xa9")}));
    // An empty comment removes the comment chunks and writes none.
    oxPngHandler().transformFile(f, comment(""));
    std::vector<Chunk> noTitle = expected;
    std::erase(noTitle, text("Title", "a new title"));
    EXPECT_EQ(chunks(readFile(f)), noTitle);
    EXPECT_EQ(load(f)->comment(), "");
}

TEST(PngComment, KeepsTheFileDatePermissionsAndTrailingBytes)
{
    oxFilename::initialize("test");
    TempDir dir;
    const std::string f = dir.file("dated.png");
    const std::string trailer = "appended data";
    ASSERT_TRUE(writeFile(f, file(richFile()) + trailer));
    ASSERT_EQ(chmod(f.c_str(), 0640), 0);
    ASSERT_TRUE(oxFilename(f).setModificationDate(1234567890.0));
    oxPngHandler().transformFile(f, comment("dated"));
    EXPECT_DOUBLE_EQ(oxFilename(f).modificationDate(), 1234567890.0);
    struct stat st;
    ASSERT_EQ(stat(f.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0640u);
    const std::string bytes = readFile(f);
    EXPECT_EQ(bytes.substr(bytes.size() - trailer.size()), trailer);
    EXPECT_EQ(load(f)->comment(), "dated");
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
    // No change asked for: nothing is rewritten (and no comment lost).
    oxPngHandler().transformFile(f, oxImageTransform());
    EXPECT_EQ(readFile(f), original);
    EXPECT_DOUBLE_EQ(oxFilename(f).modificationDate(), 1e9);

    // Image data cut short, a chunk running past the end, not a PNG: the
    // rewrite refuses before anything is written.
    const size_t idat = original.find("IDAT");
    for (const std::string& damaged : {original.substr(0, idat + 30), original.substr(0, original.size() - 5),
                                       std::string("GIF89a not a png"), std::string()}) {
        ASSERT_TRUE(writeFile(f, damaged));
        EXPECT_EQ(imageError([&] { oxPngHandler().transformFile(f, comment("x")); }), "decompression failed.");
        EXPECT_EQ(readFile(f), damaged);
    }
    EXPECT_EQ(imageError([&] { oxPngHandler().transformFile(dir.file("missing.png"), comment("x")); }),
              "decompression failed.");
    std::vector<std::string> names;
    for (const auto& e : std::filesystem::directory_iterator(dir.path()))
        names.push_back(e.path().filename().string());
    EXPECT_EQ(names, std::vector<std::string>{"r.png"}); // no temporary file left
}
