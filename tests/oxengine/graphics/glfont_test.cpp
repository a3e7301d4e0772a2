#include "fontbytes.h"
#include "testsupport.h"

#include "oxengine/errors.h"
#include "oxengine/graphics/glfont.h"

#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <limits>

namespace {

oxGLFontData read(const std::string& bytes, bool compressed, std::istringstream* keep = nullptr)
{
    std::istringstream local(bytes);
    std::istringstream& in = keep ? *keep : local;
    if (keep)
        in.str(bytes);
    return oxReadGLFont(in, compressed);
}

// The message of the format error reading bytes gives, or "" when it loads.
std::string formatError(const std::string& bytes, bool compressed)
{
    try {
        read(bytes, compressed);
    } catch (const oxFormatException& e) {
        return e.getMessage();
    }
    return "";
}

const std::string RUN_ERROR = "GLFont: Run length exceeds target texture size";
const std::string EOF_ERROR = "GLFont: Unexpected end of file while reading data";

// A 4 x 2 texture with codes 65..66.
FontBytes smallFont() { return FontBytes().header(4, 2, 65, 66).glyph(0.5f, 1).glyph(0.25f, 0.5f, 0.5f, 0, 0.75f, 0.5f); }

} // namespace

TEST(GLFontFile, ReadsPlainFontAndIgnoresLuminance)
{
    FontBytes f = smallFont();
    for (int i = 0; i < 8; ++i)
        f.byte(i * 3).byte(i * 30); // luminance, alpha
    const oxGLFontData font = read(f.bytes, false);
    EXPECT_EQ(font.texWidth, 4);
    EXPECT_EQ(font.texHeight, 2);
    EXPECT_EQ(font.startChar, 65);
    EXPECT_EQ(font.endChar, 66);
    ASSERT_EQ(font.glyphs.size(), 2u);
    EXPECT_FLOAT_EQ(font.glyphs[1].dx, 0.25f);
    EXPECT_FLOAT_EQ(font.glyphs[1].tx1, 0.5f);
    EXPECT_FLOAT_EQ(font.glyphs[1].tx2, 0.75f);
    EXPECT_FLOAT_EQ(font.glyphs[1].ty2, 0.5f);
    EXPECT_EQ(font.alpha, (std::vector<uint8_t>{0, 30, 60, 90, 120, 150, 180, 210}));
}

TEST(GLFontFile, CompressedRunsFillTextureExactlyAndStopThere)
{
    // 3 texels of alpha 17*15, then 5 of alpha 17*2: exactly 8 texels.
    FontBytes f = smallFont();
    f.byte(0x2F).byte(0x42).raw("trailing bytes");
    std::istringstream in;
    const oxGLFontData font = read(f.bytes, true, &in);
    EXPECT_EQ(font.alpha, (std::vector<uint8_t>{255, 255, 255, 34, 34, 34, 34, 34}));
    // Nothing after the filling run was consumed.
    std::string rest;
    std::getline(in, rest);
    EXPECT_EQ(rest, "trailing bytes");
}

TEST(GLFontFile, RunPastTheTextureIsRefused)
{
    FontBytes f = smallFont();
    f.byte(0x60).byte(0x1F); // 7 texels, then a run of 2 where 1 is missing
    EXPECT_EQ(formatError(f.bytes, true), RUN_ERROR);
    EXPECT_EQ(formatError(smallFont().byte(0xF0).bytes, true), RUN_ERROR); // one run of 16 into 8
}

TEST(GLFontFile, EarlyEndIsRefusedInEverySection)
{
    const std::string full = smallFont().byte(0x7F).bytes; // 8 texels in one run
    EXPECT_EQ(formatError(full, true), "");
    EXPECT_EQ(formatError(full.substr(0, 10), true), EOF_ERROR);           // inside the header
    EXPECT_EQ(formatError(full.substr(0, 24 + 30), true), EOF_ERROR);      // inside the glyph table
    EXPECT_EQ(formatError(smallFont().byte(0x30).bytes, true), EOF_ERROR); // 4 of 8 texels
    EXPECT_EQ(formatError(smallFont().raw(std::string(15, '\x7f')).bytes, false), EOF_ERROR);
    EXPECT_EQ(formatError(smallFont().raw(std::string(16, '\x7f')).bytes, false), "");
}

TEST(GLFontFile, ImplausibleHeadersAreRefusedBeforeAllocating)
{
    auto header = [](int w, int h, int s, int e) { return FontBytes().header(w, h, s, e).glyph(0.5f, 0.5f).bytes; };
    EXPECT_NE(formatError(header(0, 16, 32, 32), true).find("texture size 0 x 16"), std::string::npos);
    EXPECT_NE(formatError(header(16, -4, 32, 32), true).find("texture size"), std::string::npos);
    EXPECT_NE(formatError(header(16385, 1, 32, 32), true).find("texture size"), std::string::npos);
    EXPECT_NE(formatError(header(16, 16, 40, 39), true).find("reversed"), std::string::npos);
    EXPECT_NE(formatError(header(16, 16, 0, 65536), true).find("more than 65536"), std::string::npos);
    // Extremes whose glyph count overflows 32 bits.
    EXPECT_NE(formatError(header(16, 16, std::numeric_limits<int>::min(), std::numeric_limits<int>::max()), true)
                  .find("more than"),
              std::string::npos);
    // The largest texture passes the header check; its data is missing, and
    // only what was actually read has been allocated.
    EXPECT_EQ(formatError(FontBytes().header(16384, 16384, 32, 32).glyph(0, 0).byte(0xF0).bytes, true), EOF_ERROR);
    EXPECT_EQ(formatError(FontBytes().header(16384, 16384, 32, 32).glyph(0, 0).bytes, false), EOF_ERROR);
}

TEST(GLFontFile, LargestGlyphRangeIsAccepted)
{
    FontBytes f = FontBytes().header(1, 1, -100, 65435);
    for (int i = 0; i < 65536; ++i)
        f.glyph(1, 1);
    EXPECT_EQ(read(f.byte(0x0F).bytes, true).glyphs.size(), 65536u);
}

TEST(GLFontFile, GlyphMetricsThatBreakLayoutAreRefused)
{
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const float inf = std::numeric_limits<float>::infinity();
    for (GLFontChar g : {GLFontChar{nan, 0.5f}, GLFontChar{0.5f, inf}, GLFontChar{1e30f, 0.5f},
                         GLFontChar{-0.25f, 0.5f}, GLFontChar{0.5f, 0.5f, 0, nan}}) {
        FontBytes f = FontBytes().header(4, 2, 65, 65).glyph(g.dx, g.dy, g.tx1, g.ty1, g.tx2, g.ty2).byte(0x7F);
        EXPECT_NE(formatError(f.bytes, true).find("glyph 65 has invalid metrics"), std::string::npos);
    }
}

TEST(GLFontFile, UnreadableStreamIsAnIOError)
{
    std::istringstream in("");
    in.setstate(std::ios::failbit);
    try {
        oxReadGLFont(in, true);
        FAIL() << "no exception";
    } catch (const oxIOException& e) {
        EXPECT_EQ(e.getFilename(), "");
        EXPECT_NE(e.getMessage().find("GLFont: input could not be opened"), std::string::npos);
    }
}

TEST(GLFontFile, WriterRoundTrips)
{
    oxGLFontData font;
    font.texWidth = 40;
    font.texHeight = 3;
    font.startChar = 200;
    font.endChar = 202;
    font.glyphs = {GLFontChar{0.1f, 0.2f, 0.3f, 0.4f, 0.5f, 0.6f}, GLFontChar{}, GLFontChar{1, 1, 2, 3, 4, 5}};
    for (int i = 0; i < 120; ++i)
        font.alpha.push_back(uint8_t(i < 37 ? 0 : i < 60 ? 255 : (i * 7) & 0xFF));
    for (bool compressed : {false, true}) {
        std::stringstream bytes;
        oxWriteGLFont(bytes, font, compressed);
        const oxGLFontData back = oxReadGLFont(bytes, compressed);
        EXPECT_EQ(back.glyphs.size(), 3u);
        EXPECT_FLOAT_EQ(back.glyphs[2].ty2, 5);
        ASSERT_EQ(back.alpha.size(), font.alpha.size());
        for (size_t i = 0; i < font.alpha.size(); ++i) {
            // Compressed alpha has 16 levels: rounded to the nearest multiple of 17.
            const int expected = compressed ? int(std::lround(font.alpha[i] / 17.0)) * 17 : font.alpha[i];
            ASSERT_EQ(back.alpha[i], expected) << "texel " << i << (compressed ? " compressed" : " plain");
        }
    }
    // Runs never exceed 16 texels; 37 zeros take three bytes.
    EXPECT_EQ(oxEncodeGLFontRuns(std::vector<uint8_t>(37, 0)), std::string("\xf0\xf0\x40", 3));
}

TEST(GLFont, LoadFailureLeavesTheFontEmpty)
{
    GLFont font;
    loadLayoutFont(font);
    ASSERT_FALSE(font.empty());
    std::istringstream broken(smallFont().byte(0x30).bytes);
    EXPECT_THROW(font.loadFont(broken, true), oxFormatException);
    EXPECT_TRUE(font.empty());
    EXPECT_EQ(font.charWidth('A'), 0);
    EXPECT_EQ(font.referenceHeight(), 0);
}

TEST(GLFont, FileVariantFollowsTheLastLetterOfThePath)
{
    TempDir dir;
    FontBytes plainBytes = smallFont();
    for (int i = 0; i < 8; ++i)
        plainBytes.byte(0xFF).byte(0x11);
    const std::string plain = plainBytes.bytes;
    const std::string packed = smallFont().byte(0x7F).bytes;
    ASSERT_TRUE(writeFile(dir.file("a.glf"), plain));
    ASSERT_TRUE(writeFile(dir.file("a.glfc"), packed));
    GLFont font;
    font.loadFontFile(dir.file("a.glf"));
    EXPECT_EQ(font.pendingAlpha().front(), 0x11);
    font.loadFontFile(dir.file("a.glfc"));
    EXPECT_EQ(font.pendingAlpha().front(), 255);
    // Read the other way round, the plain data is a run too long.
    ASSERT_TRUE(writeFile(dir.file("b.glfc"), plain));
    EXPECT_THROW(font.loadFontFile(dir.file("b.glfc")), oxFormatException);
    try {
        font.loadFontFile(dir.file("missing.glf"));
        FAIL() << "no exception";
    } catch (const oxIOException& e) {
        EXPECT_EQ(e.getFilename(), dir.file("missing.glf"));
    }
}

TEST(GLFont, GlyphLookupFollowsTheTextRules)
{
    GLFont font;
    loadLayoutFont(font, {{'?', 7}, {'X', 20}, {U'\u00e9', 12.9}}, 32, 255);
    EXPECT_EQ(font.charWidth('X'), 20);
    EXPECT_EQ(font.charHeight('X'), 32);
    EXPECT_EQ(font.charWidth(U'\u00e9'), 12); // truncated
    // Control characters are invisible even where the table has records.
    for (char32_t c : {U'\r', U'\n', U'\t', char32_t(0x7F), char32_t(0x85), char32_t(0x200B), char32_t(0xFEFF)}) {
        EXPECT_EQ(font.glyphFor(c), nullptr) << unsigned(c);
        EXPECT_EQ(font.charWidth(c), 0) << unsigned(c);
    }
    EXPECT_NE(font.record(0x85), nullptr);
    // Printable characters the font lacks show as "?".
    EXPECT_EQ(font.record(U'\u03a9'), nullptr);
    EXPECT_EQ(font.glyphFor(U'\u03a9'), font.record('?'));
    EXPECT_EQ(font.charWidth(char32_t(0x1F600)), 7);
    EXPECT_EQ(font.referenceHeight(), 32);
}

TEST(GLFont, ReferenceHeightWithoutAnX)
{
    GLFont font;
    loadLayoutFont(font, {}, 'a', 'z', 24); // no "X", no "?"
    EXPECT_EQ(font.charHeight('X'), 0);
    EXPECT_EQ(font.referenceHeight(), 24);
    EXPECT_EQ(font.glyphFor('X'), nullptr);
    loadLayoutFont(font, {}, 'a', 'z', 0); // nothing visible at all
    EXPECT_EQ(font.referenceHeight(), 0);
}

// Inputs kept from fuzzing and the seeds: each loads or is refused cleanly.
TEST(GLFontFile, StoredInputsLoadOrFailCleanly)
{
    int loaded = 0;
    for (const auto& e : std::filesystem::directory_iterator(OX_TEST_DATA_DIR "/glfont")) {
        for (bool compressed : {false, true}) {
            std::ifstream in(e.path(), std::ios::binary);
            try {
                GLFont font;
                font.loadFont(in, compressed);
                loaded += 1;
            } catch (const oxException&) {
            }
        }
    }
    EXPECT_GE(loaded, 2); // the two seed fonts
}
