// Font files, fonts and the font manager: what is read, refused, measured and found.
#include "fontbytes.h"
#include "testsupport.h"

#include "oxengine/core/embedded.h"
#include "oxengine/core/errors.h"
#include "oxengine/graphics/fontmanager.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <limits>
#include <tuple>

namespace {

// The message of the format error reading bytes gives, or "" when it loads.
std::string formatError(const std::string& bytes, bool compressed)
{
    std::istringstream in(bytes);
    return thrownMessage<oxFormatException>([&] { oxReadGLFont(in, compressed); });
}

// A 4 x 2 texture with codes 65..66.
FontBytes smallFont()
{
    return FontBytes().header(4, 2, 65, 66).glyph(0.5f, 1).glyph(0.25f, 0.5f, 0.5f, 0, 0.75f, 0.5f);
}

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

TEST(GLFontFile, ReadsFontsAndRefusesBrokenOnes)
{
    FontBytes plain = smallFont();
    for (int i = 0; i < 8; ++i)
        plain.byte(i * 3).byte(i * 30); // luminance (ignored), alpha
    std::istringstream in(plain.bytes);
    const oxGLFontData font = oxReadGLFont(in, false);
    EXPECT_EQ(font.alpha, (std::vector<uint8_t>{0, 30, 60, 90, 120, 150, 180, 210}));

    // Runs of 3 x 255 and 5 x 34 fill the texture exactly; nothing after them is consumed.
    std::istringstream packed(smallFont().byte(0x2F).byte(0x42).raw("trailing bytes").bytes);
    EXPECT_EQ(oxReadGLFont(packed, true).alpha, (std::vector<uint8_t>{255, 255, 255, 34, 34, 34, 34, 34}));
    std::string rest;
    std::getline(packed, rest);
    EXPECT_EQ(rest, "trailing bytes");

    const std::string RUN = "GLFont: Run length exceeds target texture size";
    const std::string END = "GLFont: Unexpected end of file while reading data";
    const std::string full = smallFont().byte(0x7F).bytes; // 8 texels in one run
    auto header = [](int w, int h, int s, int e) { return FontBytes().header(w, h, s, e).glyph(0.5f, 0.5f).bytes; };
    FontBytes largest = FontBytes().header(1, 1, -100, 65435); // 65536 glyphs: the most allowed
    for (int i = 0; i < 65536; ++i)
        largest.glyph(1, 1);
    const struct {
        const char* what;
        std::string bytes;
        bool compressed;
        std::string error; // a part of the message; "" loads
    } cases[] = {
        {"largest glyph range", largest.byte(0x0F).bytes, true, ""},
        {"run of 2 where 1 is left", smallFont().byte(0x60).byte(0x1F).bytes, true, RUN},
        {"end in the header", full.substr(0, 10), true, END},
        {"end in the glyph table", full.substr(0, 24 + 30), true, END},
        {"end after 4 of 8 texels", smallFont().byte(0x30).bytes, true, END},
        {"plain, one byte short", smallFont().raw(std::string(15, '\x7f')).bytes, false, END},
        {"texture width 0", header(0, 16, 32, 32), true, "texture size 0 x 16"},
        {"negative height", header(16, -4, 32, 32), true, "texture size"},
        {"texture too wide", header(16385, 1, 32, 32), true, "texture size"},
        {"reversed range", header(16, 16, 40, 39), true, "reversed"},
        {"65537 glyphs", header(16, 16, 0, 65536), true, "more than 65536"},
        {"count overflows 32 bits",
         header(16, 16, std::numeric_limits<int>::min(), std::numeric_limits<int>::max()), true, "more than"},
        // The largest texture passes the header check; only what was read is allocated.
        {"largest texture, no data", FontBytes().header(16384, 16384, 32, 32).glyph(0, 0).byte(0xF0).bytes, true, END},
        {"largest texture, plain", FontBytes().header(16384, 16384, 32, 32).glyph(0, 0).bytes, false, END},
    };
    for (const auto& c : cases) {
        const std::string error = formatError(c.bytes, c.compressed);
        if (c.error.empty())
            EXPECT_EQ(error, "") << c.what;
        else
            EXPECT_NE(error.find(c.error), std::string::npos) << c.what << ": " << error;
    }
    // Metrics that would break the layout.
    const float nan = std::numeric_limits<float>::quiet_NaN(), inf = std::numeric_limits<float>::infinity();
    for (GLFontChar g : {GLFontChar{nan, 0.5f}, GLFontChar{0.5f, inf}, GLFontChar{1e30f, 0.5f},
                         GLFontChar{-0.25f, 0.5f}, GLFontChar{0.5f, 0.5f, 0, nan}}) {
        FontBytes f = FontBytes().header(4, 2, 65, 65).glyph(g.dx, g.dy, g.tx1, g.ty1, g.tx2, g.ty2).byte(0x7F);
        EXPECT_NE(formatError(f.bytes, true).find("glyph 65 has invalid metrics"), std::string::npos);
    }
}

TEST(GLFont, LoadsLookupAndTheManager)
{
    TempDir dir;
    FontBytes plain = smallFont();
    for (int i = 0; i < 8; ++i)
        plain.byte(0xFF).byte(0x11);
    // A plain file named as compressed: read as runs, one is too long.
    ASSERT_TRUE(writeFile(dir.file("b.glfc"), plain.bytes));
    GLFont font;
    loadLayoutFont(font);
    EXPECT_THROW(font.loadFontFile(dir.file("b.glfc")), oxFormatException);
    EXPECT_TRUE(font.empty());
    EXPECT_EQ(font.charWidth('A'), 0);
    EXPECT_EQ(font.referenceHeight(), 0);
    try {
        font.loadFontFile(dir.file("missing.glf"));
        FAIL() << "no exception";
    } catch (const oxIOException& e) {
        EXPECT_EQ(e.getFilename(), dir.file("missing.glf"));
    }

    // Invisible characters' records are skipped, widths truncated; the reference height without an "X".
    loadLayoutFont(font, {{'?', 7}, {U'\u00e9', 12.9}}, 32, 255);
    EXPECT_EQ(font.charWidth(U'\u00e9'), 12);
    for (char32_t c : {char32_t(0x7F), char32_t(0x85)}) {
        EXPECT_NE(font.record(c), nullptr) << unsigned(c);
        EXPECT_EQ(font.glyphFor(c), nullptr) << unsigned(c);
    }
    EXPECT_EQ(font.glyphFor(U'\u03a9'), font.record('?'));
    loadLayoutFont(font, {}, 'a', 'z', 24); // no "X", no "?"
    EXPECT_EQ(font.glyphFor('X'), nullptr);
    EXPECT_EQ(font.referenceHeight(), 24);

    // The manager prefers a plain file to a compressed one; unknown fonts get the built-in one, whose lack is
    // reported once.
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
    // A font without a file gets the built-in one (a broken file's: the start-up's test).
    EXPECT_NE(manager.font("no such font"), nullptr);
    EXPECT_TRUE(manager.takeProblems().empty());

    // A missing built-in font is reported once per name, a broken one parsed and reported once for all names.
    using Lookup = const oxEmbeddedFile* (*)(const char*);
    const Lookup none = [](const char*) -> const oxEmbeddedFile* { return nullptr; };
    const Lookup broken = [](const char* n) -> const oxEmbeddedFile* { return std::string(n) == "arial.glfc" ? &g_broken : nullptr; };
    for (auto [lookup, title, second] :
         {std::tuple{none, "GLFontManager Error", "a"}, std::tuple{broken, "Error creating GLFont", "b"}}) {
        SCOPED_TRACE(title);
        TempDir empty;
        GLFontManager lacking(empty.path(), lookup);
        EXPECT_EQ(lacking.font("a"), nullptr);
        EXPECT_EQ(lacking.font(second), nullptr);
        const std::vector<oxFontProblem> problems = lacking.takeProblems();
        ASSERT_EQ(problems.size(), 1u);
        EXPECT_EQ(problems[0].title, title);
        // A font file still works without the embedded one.
        ASSERT_TRUE(writeFile(empty.file("mine.glf"), fontFile(2, false)));
        EXPECT_NE(lacking.font("mine"), nullptr);
    }
}
