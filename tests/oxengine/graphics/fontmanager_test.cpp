#include "fontbytes.h"
#include "testsupport.h"

#include "oxengine/core/embedded.h"
#include "oxengine/graphics/fontmanager.h"

#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <tuple>

namespace {

// A one-glyph font ("X") whose texture width tells the files apart.
std::string fontFile(int texWidth, bool compressed)
{
    FontBytes f = FontBytes().header(texWidth, 1, 'X', 'X').glyph(1, 1);
    return compressed ? f.raw(std::string(size_t(texWidth), '\x0f')).bytes
                      : f.raw(std::string(size_t(texWidth) * 2, '\xff')).bytes;
}

const unsigned char BROKEN_FONT[] = {1, 2, 3};
oxEmbeddedFile g_broken("broken.glfc", BROKEN_FONT, sizeof BROKEN_FONT);

} // namespace

TEST(GLFontManager, PlainFileIsPreferredOverCompressed)
{
    TempDir dir;
    ASSERT_TRUE(writeFile(dir.file("both.glf"), fontFile(3, false)));
    ASSERT_TRUE(writeFile(dir.file("both.glfc"), fontFile(5, true)));
    ASSERT_TRUE(writeFile(dir.file("packed.glfc"), fontFile(7, true)));
    std::filesystem::create_directory(dir.file("folder.glf")); // not a file: skipped
    ASSERT_TRUE(writeFile(dir.file("folder.glfc"), fontFile(9, true)));
    GLFontManager manager(dir.path());
    ASSERT_NE(manager.font("both"), nullptr);
    EXPECT_EQ(manager.font("both")->texWidth(), 3);
    EXPECT_EQ(manager.font("packed")->texWidth(), 7);
    EXPECT_EQ(manager.font("folder")->texWidth(), 9);
    EXPECT_TRUE(manager.takeProblems().empty());
}

// A broken file's font is met once and stands in as the built-in one: the start-up's test.
TEST(GLFontManager, UnknownFontsGetTheBuiltInFontCachedUnderTheirName)
{
    TempDir dir;
    GLFontManager manager(dir.path());
    GLFont* font = manager.font("no such font");
    ASSERT_NE(font, nullptr);
    EXPECT_TRUE(manager.isCached("no such font"));
    EXPECT_EQ(manager.font("arial"), font); // every fallback shares the one built-in font
    EXPECT_TRUE(manager.takeProblems().empty());
}

TEST(GLFontManager, MissingOrBrokenBuiltInFontIsReportedOnce)
{
    using Lookup = const oxEmbeddedFile* (*)(const char*);
    const Lookup none = [](const char*) -> const oxEmbeddedFile* { return nullptr; };
    const Lookup broken = [](const char* n) -> const oxEmbeddedFile* { return std::string(n) == "arial.glfc" ? &g_broken : nullptr; };
    // A broken one is parsed once for all names, a missing one reported once per name.
    for (auto [lookup, title, second] :
         {std::tuple{none, "GLFontManager Error", "a"}, std::tuple{broken, "Error creating GLFont", "b"}}) {
        SCOPED_TRACE(title);
        TempDir dir;
        GLFontManager manager(dir.path(), lookup);
        EXPECT_EQ(manager.font("a"), nullptr);
        EXPECT_EQ(manager.font(second), nullptr);
        const std::vector<oxFontProblem> problems = manager.takeProblems();
        ASSERT_EQ(problems.size(), 1u);
        EXPECT_EQ(problems[0].title, title);
        // A font file still works without the embedded one.
        ASSERT_TRUE(writeFile(dir.file("mine.glf"), fontFile(2, false)));
        EXPECT_NE(manager.font("mine"), nullptr);
    }
}

// The compiled-in font: Latin-1 and Latin Extended-A, antialiased, "X" about 46 texels high.
TEST(BuiltInFont, CoversLatinTextAntialiased)
{
    const oxEmbeddedFile* file = findEmbeddedFile("arial.glfc");
    ASSERT_NE(file, nullptr);
    const std::string bytes(reinterpret_cast<const char*>(file->data()), file->size());
    std::istringstream in(bytes), again(bytes);
    const oxGLFontData data = oxReadGLFont(in, true);
    EXPECT_LE(data.startChar, 32);
    EXPECT_GE(data.endChar, 383);
    GLFont font;
    font.loadFont(again, true);
    EXPECT_NEAR(font.charHeight('X'), 46, 2);
    for (char32_t c = 32; c <= 383; ++c) {
        if (oxIsInvisibleCharacter(c))
            continue;
        EXPECT_GT(font.charWidth(c), 0) << unsigned(c);
        EXPECT_EQ(font.charHeight(c), font.charHeight('X')) << unsigned(c); // one baseline for all
    }
    // Antialiased: the "X" cell has partly covered texels.
    const GLFontChar* x = font.record('X');
    const size_t x0 = size_t(std::lround(x->tx1 * data.texWidth)), y0 = size_t(std::lround(x->ty1 * data.texHeight));
    int partial = 0;
    for (int r = 0; r < font.charHeight('X'); ++r)
        for (int c = 0; c < font.charWidth('X'); ++c)
            partial += data.alpha[(y0 + size_t(r)) * size_t(data.texWidth) + x0 + size_t(c)] % 255 != 0;
    EXPECT_GT(partial, 20);
}
