// Text layout, and frames drawn without OpenGL following GL's rules where they show.
#include "fontbytes.h"

#include "oxengine/graphics/glfont.h"
#include "oxengine/graphics/softframe.h"
#include "oxengine/graphics/textoutput.h"
#include "oxengine/image/image.h"

#include <gtest/gtest.h>

#include <limits>
#include <sstream>

namespace {

// Cells 32 font pixels high ("X" too), so a text height of 16 halves every width. Default glyph width 10.
class TextLayout : public testing::Test {
protected:
    void SetUp() override
    {
        loadLayoutFont(font, {{'X', 20}, {'i', 4}, {'a', 3.6 * 32}, {'h', 10.5}, {'?', 6}, {U'\u00fc', 14},
                              {U'\u00e9', 8}});
        out.setFont(&font);
        out.setTextHeight(16);
        out.setPosition(100, 50);
    }
    double width(const std::string& text)
    {
        out.setText(text);
        return out.measureLine(0).width;
    }
    GLFont font;
    oxTextOutput out;
};

uint32_t rgb(int r, int g, int b)
{
    return uint32_t(r) << 16 | uint32_t(g) << 8 | uint32_t(b);
}

// A grey picture of the given levels, one row.
std::unique_ptr<oxImageUInt8> greyRow(std::initializer_list<uint8_t> levels)
{
    std::unique_ptr<oxImageUInt8> image = oxImageUInt8::create(uint32_t(levels.size()), 1);
    image->setComponents(3);
    uint32_t x = 0;
    for (uint8_t v : levels)
        image->pixels()[x++] = oxColour(v, v, v);
    return image;
}

} // namespace

TEST_F(TextLayout, ScaleTabsAndCharacters)
{
    EXPECT_DOUBLE_EQ(width("X"), 10);
    EXPECT_DOUBLE_EQ(out.measureLine(0).height, 16);
    EXPECT_DOUBLE_EQ(width("XiX"), 22);
    // The sum is truncated to whole font pixels once, not per glyph.
    EXPECT_DOUBLE_EQ(width("hh"), 21 * 0.5);
    // Tab stops at 128, 256, ... font pixels, at least half an X height ahead.
    EXPECT_DOUBLE_EQ(width("\t"), 128 * 0.5);
    EXPECT_DOUBLE_EQ(width("a\t"), 256 * 0.5); // pen at 3.6 X heights
    EXPECT_DOUBLE_EQ(width("XXXXX\t"), 128 * 0.5); // pen 100 + 16 = 116 < 128
    EXPECT_DOUBLE_EQ(width("XXXXX\ti"), 132 * 0.5);
    // UTF-8 characters are measured, not bytes.
    EXPECT_DOUBLE_EQ(width("\xc3\xbc"), 7); // ü, two bytes, one glyph of 14
    EXPECT_GT(width("\xce\xa9"), 3); // Ω is not in the font: drawn from a system font, not as "?"
    EXPECT_DOUBLE_EQ(width("\xf4\x8f\xbf\xbd"), 3); // U+10FFFD: no font has it, shown as "?"
    EXPECT_DOUBLE_EQ(width("\xe9"), 4);           // an invalid byte is taken as Latin-1 é
    EXPECT_DOUBLE_EQ(width("\xc2\x85X"), 10);     // U+0085 is a control: invisible
    EXPECT_DOUBLE_EQ(width("\xe2\x80\x8bX"), 10); // zero-width space
}

TEST_F(TextLayout, LinesMakeABlockAndTabRunsEndColumnsThatLineUpAcrossIt)
{
    // A run of tabs is one column break; a block's columns start at the first stop clear of the widest cell
    // before them ("a" is 3.6 X heights: the second column starts at 8 on every line).
    out.setMultiLine(true);
    out.setText("X\t\tX\na\tXX\nXX\t\t\tXi");
    // The caret lands behind the character drawn under the point.
    EXPECT_EQ(out.hitTest(100 + 130, 50 - 8), (oxTextPosition{4, 0}));
    EXPECT_EQ(out.hitTest(100 + 130, 50 + 8), (oxTextPosition{3, 1}));
    // A third column starts clear of every line's second one.
    out.setText("X\tXXXXXX\tX\n\tX\tX");
    EXPECT_DOUBLE_EQ(out.measureLine(1).width, (384 + 20) * 0.5);
    // A single line: a run breaks once, single tabs keep their stops.
    out.setMultiLine(false);
    EXPECT_DOUBLE_EQ(width("X\t\tX"), (128 + 20) * 0.5);

    // Lines and the block: newline and CR are invisible and have no width.
    out.setText("Xi\nXXXX\n\rX");
    EXPECT_EQ(out.lineCount(), 1);
    EXPECT_DOUBLE_EQ(out.measure().width, 12 + 40 + 10);
    out.setMultiLine(true);
    EXPECT_EQ(out.lineCount(), 3);
    EXPECT_EQ(out.lineText(1), "XXXX");
    EXPECT_EQ(out.lineText(2), "\rX");
    EXPECT_EQ(out.lineText(3), "");
    EXPECT_DOUBLE_EQ(out.measureLine(2).width, 10);
    EXPECT_DOUBLE_EQ(out.measure().width, 40);
    EXPECT_DOUBLE_EQ(out.measure().height, 48);
    out.setText("a\n");
    EXPECT_EQ(out.lineCount(), 2);
}

TEST_F(TextLayout, HitTestsAndEliding)
{
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const struct {
        const char* text;
        bool multiLine;
        int alignment;
        double minWidth, x, y;
        oxTextPosition expected;
    } cases[] = {
        // "XiX": characters span 100-110, 110-112, 112-122; the caret goes behind the one hit.
        {"XiX", false, TA_LEFT, 0, 50, 45, {0, 0}},   // left of the text
        {"XiX", false, TA_LEFT, 0, 111, 45, {2, 0}},
        {"XiX", false, TA_LEFT, 0, 500, 45, {3, 0}},  // right of it: the length
        {"XiX", false, TA_LEFT, 0, 105, 500, {1, 0}}, // below: the last line
        {"XiX", false, TA_LEFT, 0, nan, nan, {0, 0}},
        // Lines end at y 50, 66, 82; indices count characters, not bytes (the second ü spans 107-114).
        {"X\nXiX\n\xc3\xbc\xc3\xbcX", true, TA_LEFT, 0, 500, 20, {1, 0}}, // above: the first line
        {"X\nXiX\n\xc3\xbc\xc3\xbcX", true, TA_LEFT, 0, 500, 60, {3, 1}},
        {"X\nXiX\n\xc3\xbc\xc3\xbcX", true, TA_LEFT, 0, 500, 1000, {3, 2}},
        {"X\nXiX\n\xc3\xbc\xc3\xbcX", true, TA_LEFT, 0, 108, 80, {2, 2}},
        {"\tX", false, TA_LEFT, 0, 150, 45, {1, 0}}, // the tab ends at 164
        // "XX" is 20 wide: right-aligned in 100 at 180-200, centred at 140-160.
        {"XX", false, TA_RIGHT, 100, 185, 45, {1, 0}},
        {"XX", false, TA_CENTRE, 100, 141, 45, {1, 0}},
        {"XX", false, TA_RIGHT, 0, 101, 45, {1, 0}}, // a single line is its own block: no offset
        {"XXXX\nX", true, TA_RIGHT, 0, 125, 60, {0, 1}}, // lines align within the widest: 130-140
    };
    for (const auto& c : cases) {
        out.setMultiLine(c.multiLine);
        out.setAlignment(c.alignment);
        out.setMinimumSize(c.minWidth, 0);
        out.setText(c.text);
        EXPECT_EQ(out.hitTest(c.x, c.y), c.expected) << c.text << " at " << c.x << "," << c.y;
    }

    // Eliding cuts whole characters before an ellipsis; widths at text height 16: X 10, space 5, "\u2026" 15, ü 7.
    GLFont ellipsisFont;
    loadLayoutFont(ellipsisFont, {{'X', 20}, {U'\u00fc', 14}, {U'\u2026', 30}}, 32, 0x2026);
    out.setFont(&ellipsisFont);
    const struct {
        const char* text;
        double width;
        const char* shown;
    } elided[] = {
        {"XXXX", 40, "XXXX"}, // fits exactly
        {"XXXXXX", 39, "XX\u2026"},
        {"XXX XXXX", 50, "XXX\u2026"}, // no space before the ellipsis
        {"XXXX", 14, ""},            // not even the ellipsis fits
        {"\xc3\xbc\xc3\xbc\xc3\xbc\xc3\xbc", 25, "\xc3\xbc\u2026"}, // whole characters
    };
    for (const auto& c : elided)
        EXPECT_EQ(out.elided(c.text, c.width), c.shown) << c.text << " in " << c.width;

    // No font, or one whose glyphs have no height: nothing to measure, no division by zero.
    GLFont flat;
    loadLayoutFont(flat, {}, 'a', 'z', 0);
    for (GLFont* none : {static_cast<GLFont*>(nullptr), &flat}) {
        out.setFont(none);
        out.setText("abc");
        EXPECT_DOUBLE_EQ(out.measure().width, 0);
        EXPECT_EQ(out.hitTest(1000, 1000), (oxTextPosition{0, 0}));
    }
}

TEST(SoftFrame, PicturesFiltersAndText)
{
    struct Row {
        const char* what;
        std::initializer_list<uint8_t> levels;
        double from, to;
        std::vector<int> expected; // pixels 0..5 along the axis, -1: untouched (blue)
        bool rows = false;         // along a column of the frame
    };
    const Row rows[] = {
        // Only centres inside count: 0.5 and 2.5 lie outside [0.6, 2.4).
        {"centres", {50}, 0.6, 2.4, {-1, 50, -1, -1, -1, -1}},
        // Texel centres on pixel centres: a copy.
        {"1:1", {10, 20, 30}, 1, 4, {-1, 10, 20, 30, -1, -1}},
        // Halved: each pixel the mean of its two texels.
        {"shrunk", {0, 200, 100, 100}, 0, 2, {100, 100, -1, -1, -1, -1}},
        // Doubled: linear between texel centres, the edge texels repeated.
        {"enlarged", {0, 200}, 0, 4, {0, 50, 150, 200, -1, -1}},
        // Nothing for an empty or inverted rectangle.
        {"empty", {50}, 3, 3, {-1, -1, -1, -1, -1, -1}},
        // GL counts rows from the bottom: a centre on the lower edge is in, one on the upper edge out.
        {"rows", {50}, 0.5, 2.5, {-1, 50, 50, -1, -1, -1}, true},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.what);
        oxSoftFrame frame(r.rows ? 1 : 6, r.rows ? 6 : 1, oxColour(0, 0, 255));
        EXPECT_TRUE(r.rows ? frame.drawPicture(*greyRow(r.levels), 0, r.from, 1, r.to)
                           : frame.drawPicture(*greyRow(r.levels), r.from, 0, r.to, 1));
        for (int i = 0; i < 6; ++i) {
            const int v = r.expected[size_t(i)];
            EXPECT_EQ(r.rows ? frame.pixel(0, i) : frame.pixel(i, 0), v < 0 ? rgb(0, 0, 255) : rgb(v, v, v))
                << "pixel " << i;
        }
    }
    // What only GL can draw is refused.
    oxSoftFrame black(4, 4, oxColour(0, 0, 0));
    std::unique_ptr<oxImageUInt8> transparent = greyRow({1, 2});
    transparent->setComponents(4);
    EXPECT_FALSE(black.drawPicture(*transparent, 0, 0, 4, 4));
    EXPECT_EQ(black.pixel(0, 0), 0u);

    // Text is its background, then its glyphs in its colour.
    // "X" is the left half of a 4 x 2 texture, fully opaque; the right half is empty.
    const std::string texels("\xff\xff\xff\xff\0\0\0\0", 8); // luminance and alpha
    std::istringstream bytes(
        FontBytes().header(4, 2, 'X', 'X').glyph(0.5f, 1, 0, 0, 0.5f, 1).raw(texels + texels).bytes);
    GLFont font;
    font.loadFont(bytes, false);
    oxTextOutput text;
    text.setFont(&font);
    text.setTextHeight(10); // "X" 2 font pixels high: 5 x 10 window pixels
    text.setPosition(2, 12);
    text.setText("X");
    text.setColour(oxColour(255, 255, 255));
    text.setBackgroundColour(oxColour(0, 0, 200, 128));

    // The glyph covers [2, 12) x [2, 12), its background [1, 13) x [2, 12).
    oxSoftFrame frame(16, 14, oxColour(0, 0, 0));
    ASSERT_TRUE(frame.drawText(text));
    EXPECT_EQ(frame.pixel(4, 6), rgb(255, 255, 255));
    EXPECT_EQ(frame.pixel(1, 6), rgb(0, 0, 100));
    EXPECT_EQ(frame.pixel(13, 6), rgb(0, 0, 0));
    EXPECT_EQ(frame.pixel(4, 12), rgb(0, 0, 0));
    // Sampled at a pixel centre, the last column reaches into the empty texel beside the cell, as GL's
    // linear filter does.
    EXPECT_EQ(frame.pixel(11, 6), rgb(153, 153, 153 + 40));
}
