#include "fontbytes.h"
#include "testsupport.h"

#include "oxengine/embedded.h"
#include "oxengine/graphics/fontmanager.h"

#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>

namespace {

// A one-glyph font ("X") whose texture width tells the files apart.
std::string fontFile(int texWidth, bool compressed)
{
    FontBytes f = FontBytes().header(texWidth, 1, 'X', 'X').glyph(1, 1);
    if (compressed)
        return f.raw(std::string(size_t(texWidth), '\x0f')).bytes;
    return f.raw(std::string(size_t(texWidth) * 2, '\xff')).bytes;
}

const oxEmbeddedFile* noEmbeddedFiles(const char*) { return nullptr; }

const unsigned char BROKEN_FONT[] = {1, 2, 3};
oxEmbeddedFile g_broken("broken.glfc", BROKEN_FONT, sizeof BROKEN_FONT);
const oxEmbeddedFile* brokenArial(const char* name)
{
    return std::string(name) == "arial.glfc" ? &g_broken : nullptr;
}

} // namespace

TEST(GLFontManager, PlainFileIsPreferredOverCompressed)
{
    TempDir dir;
    ASSERT_TRUE(writeFile(dir.file("both.glf"), fontFile(3, false)));
    ASSERT_TRUE(writeFile(dir.file("both.glfc"), fontFile(5, true)));
    ASSERT_TRUE(writeFile(dir.file("packed.glfc"), fontFile(7, true)));
    std::filesystem::create_directory(dir.file("folder.glf")); // not a file: skipped
    ASSERT_TRUE(writeFile(dir.file("folder.glfc"), fontFile(9, true)));
    MessageCapture boxes;
    GLFontManager manager(dir.path());
    ASSERT_NE(manager.font("both"), nullptr);
    EXPECT_EQ(manager.font("both")->texWidth(), 3);
    EXPECT_EQ(manager.font("packed")->texWidth(), 7);
    EXPECT_EQ(manager.font("folder")->texWidth(), 9);
    EXPECT_EQ(boxes.count(), 0u);
}

TEST(GLFontManager, UnknownNameGetsTheBuiltInFontCachedUnderThatName)
{
    TempDir dir;
    MessageCapture boxes;
    GLFontManager manager(dir.path());
    GLFont* font = manager.font("no such font");
    ASSERT_NE(font, nullptr);
    EXPECT_GE(font->endChar(), 383);
    EXPECT_TRUE(manager.isCached("no such font"));
    EXPECT_FALSE(manager.isCached("No Such Font")); // names are compared exactly
    EXPECT_EQ(manager.font("no such font"), font);
    // Other names falling back share the one built-in font.
    EXPECT_EQ(manager.font("arial"), font);
    EXPECT_EQ(manager.cachedCount(), 2u);
    EXPECT_EQ(boxes.count(), 0u);
    manager.clear();
    EXPECT_EQ(manager.cachedCount(), 0u);
    EXPECT_FALSE(manager.isCached("arial"));
}

TEST(GLFontManager, BrokenFileIsReportedOnceAndReplacedByTheBuiltInFont)
{
    TempDir dir;
    const std::string bytes = fontFile(16, true);
    ASSERT_TRUE(writeFile(dir.file("cut.glfc"), bytes.substr(0, bytes.size() - 3)));
    MessageCapture boxes;
    GLFontManager manager(dir.path());
    GLFont* font = manager.font("cut");
    ASSERT_NE(font, nullptr);
    EXPECT_GE(font->endChar(), 383);
    ASSERT_EQ(boxes.count(), 1u);
    EXPECT_EQ(boxes.messages()[0].title, "Error creating GLFont");
    EXPECT_EQ(boxes.messages()[0].text, "GLFont: Unexpected end of file while reading data");
    EXPECT_EQ(boxes.messages()[0].buttons, MB_OK);
    EXPECT_EQ(boxes.messages()[0].icon, MI_NONE);
    EXPECT_EQ(manager.font("cut"), font);
    EXPECT_EQ(boxes.count(), 1u);
}

TEST(GLFontManager, NoFontAtAllIsReportedOnce)
{
    TempDir dir;
    MessageCapture boxes;
    GLFontManager manager(dir.path(), noEmbeddedFiles);
    EXPECT_EQ(manager.font("arial"), nullptr);
    ASSERT_EQ(boxes.count(), 1u);
    EXPECT_EQ(boxes.messages()[0].title, "GLFontManager Error");
    EXPECT_EQ(boxes.messages()[0].text, "No fonts found at all.");
    EXPECT_EQ(manager.font("arial"), nullptr);
    EXPECT_EQ(boxes.count(), 1u);
    // A font file still works without any embedded one.
    ASSERT_TRUE(writeFile(dir.file("mine.glf"), fontFile(2, false)));
    ASSERT_NE(manager.font("mine"), nullptr);
}

TEST(GLFontManager, BrokenEmbeddedFontIsReportedOnce)
{
    TempDir dir;
    MessageCapture boxes;
    GLFontManager manager(dir.path(), brokenArial);
    EXPECT_EQ(manager.font("a"), nullptr);
    EXPECT_EQ(manager.font("b"), nullptr);
    ASSERT_EQ(boxes.count(), 1u);
    EXPECT_EQ(boxes.messages()[0].title, "Error creating GLFont");
}

// The compiled-in font: Latin-1 and Latin Extended-A, antialiased, "X" about
// 46 texels high, compressed well.
TEST(BuiltInFont, CoversLatinTextAndIsCompact)
{
    const oxEmbeddedFile* file = findEmbeddedFile("arial.glfc");
    ASSERT_NE(file, nullptr);
    std::istringstream in(std::string(reinterpret_cast<const char*>(file->data()), file->size()));
    const oxGLFontData data = oxReadGLFont(in, true);
    EXPECT_LE(data.startChar, 32);
    EXPECT_GE(data.endChar, 383);
    EXPECT_GE(data.texWidth, 512);
    EXPECT_GE(data.texHeight, 512);
    EXPECT_LT(file->size() * 10, data.alpha.size() * 2);

    std::istringstream again(std::string(reinterpret_cast<const char*>(file->data()), file->size()));
    GLFont font;
    font.loadFont(again, true);
    EXPECT_NEAR(font.charHeight('X'), 46, 2);
    for (char32_t c = 32; c <= 383; ++c) {
        if (oxIsInvisibleCharacter(c))
            continue;
        EXPECT_GT(font.charWidth(c), 0) << unsigned(c);
        EXPECT_EQ(font.charHeight(c), font.charHeight('X')) << unsigned(c); // one baseline for all
    }
    EXPECT_GT(font.charWidth('W'), font.charWidth('i'));

    // Ink of "X" within its cell: antialiased edges and a cap height of
    // about three fifths of the cell.
    const GLFontChar* x = font.record('X');
    const int x0 = int(std::lround(x->tx1 * data.texWidth)), y0 = int(std::lround(x->ty1 * data.texHeight));
    int inkRows = 0;
    bool partial = false;
    for (int r = 0; r < font.charHeight('X'); ++r) {
        bool ink = false;
        for (int c = 0; c < font.charWidth('X'); ++c) {
            const uint8_t a = data.alpha[size_t(y0 + r) * data.texWidth + x0 + c];
            ink = ink || a > 127;
            partial = partial || (a > 0 && a < 255);
        }
        inkRows += ink;
    }
    EXPECT_TRUE(partial);
    EXPECT_GT(inkRows, 23);
    EXPECT_LT(inkRows, 33);
}
