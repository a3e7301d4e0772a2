#include "fontbytes.h"

#include "oxengine/graphics/glfont.h"
#include "oxengine/graphics/textoutput.h"

#include <gtest/gtest.h>

#include <limits>

namespace {

// Cells 32 font pixels high ("X" too), so a text height of 16 halves every
// width. Default glyph width 10.
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

} // namespace

TEST_F(TextLayout, ScaleMakesTheXCellTextHeightHigh)
{
    EXPECT_DOUBLE_EQ(width("X"), 10);
    EXPECT_DOUBLE_EQ(out.measureLine(0).height, 16);
    EXPECT_DOUBLE_EQ(width("XiX"), 22);
    // The sum is truncated to whole font pixels once, not per glyph.
    EXPECT_DOUBLE_EQ(width("hh"), 21 * 0.5);
    EXPECT_DOUBLE_EQ(width("hhh"), 31 * 0.5);
    out.setTextHeight(64);
    EXPECT_DOUBLE_EQ(width("X"), 40);
}

TEST_F(TextLayout, TabsStopEveryFourXHeights)
{
    // X height 32 font pixels: stops at 128, 256, ...; half an X height ahead at least.
    EXPECT_DOUBLE_EQ(width("\t"), 128 * 0.5);
    EXPECT_DOUBLE_EQ(width("a\t"), 256 * 0.5);     // pen at 3.6 X heights
    EXPECT_DOUBLE_EQ(width("\tX\t"), 256 * 0.5);
    EXPECT_DOUBLE_EQ(width("XXXXX\t"), 128 * 0.5); // pen 100 + 16 = 116 < 128
    EXPECT_DOUBLE_EQ(width("XXXXX\ti"), 132 * 0.5);
}

TEST_F(TextLayout, LinesAndTheBlock)
{
    out.setText("Xi\nXXXX\n\rX");
    EXPECT_EQ(out.lineCount(), 1);
    EXPECT_EQ(out.lineText(0), "Xi\nXXXX\n\rX");
    EXPECT_DOUBLE_EQ(out.measure().width, 12 + 40 + 10); // newline and CR invisible, no width
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
    EXPECT_EQ(out.lineText(1), "");
    out.setText("no break");
    EXPECT_EQ(out.lineCount(), 1);

    oxTextOutput empty;
    empty.setText("X");
    EXPECT_DOUBLE_EQ(empty.measure().width, 0);
    EXPECT_DOUBLE_EQ(empty.measure().height, 0);
    EXPECT_EQ(empty.hitTest(1000, 1000), (oxTextPosition{0, 0}));
}

TEST_F(TextLayout, Utf8CharactersAreMeasuredNotBytes)
{
    EXPECT_DOUBLE_EQ(width("\xc3\xbc"), 7);      // ü, two bytes, one glyph of 14
    EXPECT_DOUBLE_EQ(width("\xce\xa9"), 3);      // Ω is not in the font: shown as "?"
    EXPECT_DOUBLE_EQ(width("\xf0\x9f\x98\x80"), 3);
    EXPECT_DOUBLE_EQ(width("\xe9"), 4);          // an invalid byte is taken as Latin-1 é
    EXPECT_DOUBLE_EQ(width("\xc2\x85X"), 10);    // U+0085 is a control: invisible
    EXPECT_DOUBLE_EQ(width("\xe2\x80\x8bX"), 10); // zero-width space
}

TEST_F(TextLayout, HitTestFindsTheCharacterUnderThePoint)
{
    out.setText("XiX"); // characters span 100-110, 110-112, 112-122
    EXPECT_EQ(out.hitTest(50, 45), (oxTextPosition{0, 0}));   // left of the text
    EXPECT_EQ(out.hitTest(100, 45), (oxTextPosition{1, 0}));  // caret behind the character hit
    EXPECT_EQ(out.hitTest(109.9, 45), (oxTextPosition{1, 0}));
    EXPECT_EQ(out.hitTest(111, 45), (oxTextPosition{2, 0}));
    EXPECT_EQ(out.hitTest(500, 45), (oxTextPosition{3, 0}));  // right of it: the length
    EXPECT_EQ(out.hitTest(105, 500), (oxTextPosition{1, 0})); // below: the last line
    const double nan = std::numeric_limits<double>::quiet_NaN();
    EXPECT_EQ(out.hitTest(nan, nan), (oxTextPosition{0, 0}));

    out.setMultiLine(true);
    out.setText("X\nXiX\n\xc3\xbc\xc3\xbcX"); // lines end at y 50, 66, 82
    EXPECT_EQ(out.hitTest(500, 20), (oxTextPosition{1, 0})); // above: the first line
    EXPECT_EQ(out.hitTest(500, 60), (oxTextPosition{3, 1}));
    EXPECT_EQ(out.hitTest(500, 1000), (oxTextPosition{3, 2}));
    // Character indices, not byte offsets: the second ü spans 107-114.
    EXPECT_EQ(out.hitTest(108, 80), (oxTextPosition{2, 2}));
}

TEST_F(TextLayout, HitTestCountsTabsAsDrawn)
{
    out.setText("\tX"); // the tab ends at 164, the X spans 164-174
    EXPECT_EQ(out.hitTest(150, 45), (oxTextPosition{1, 0}));
    EXPECT_EQ(out.hitTest(170, 45), (oxTextPosition{2, 0}));
}

TEST_F(TextLayout, HitTestFollowsTheDrawnAlignment)
{
    out.setText("XX"); // 20 wide
    out.setAlignment(TA_RIGHT);
    out.setMinimumSize(100, 0); // text at 180-200
    EXPECT_EQ(out.hitTest(150, 45), (oxTextPosition{0, 0}));
    EXPECT_EQ(out.hitTest(185, 45), (oxTextPosition{1, 0}));
    EXPECT_EQ(out.hitTest(199, 45), (oxTextPosition{2, 0}));
    out.setAlignment(TA_CENTRE); // 140-160
    EXPECT_EQ(out.hitTest(139, 45), (oxTextPosition{0, 0}));
    EXPECT_EQ(out.hitTest(141, 45), (oxTextPosition{1, 0}));
    // Without a minimum width a single line is its own block: no offset.
    out.setMinimumSize(0, 0);
    out.setAlignment(TA_RIGHT);
    EXPECT_EQ(out.hitTest(101, 45), (oxTextPosition{1, 0}));
    // Lines of a block are aligned within its widest line.
    out.setMultiLine(true);
    out.setText("XXXX\nX"); // second line drawn at 130-140
    EXPECT_EQ(out.hitTest(125, 60), (oxTextPosition{0, 1}));
    EXPECT_EQ(out.hitTest(131, 60), (oxTextPosition{1, 1}));
}

TEST(TextOutput, FontWithoutVisibleGlyphsMeasuresNothing)
{
    GLFont font;
    loadLayoutFont(font, {}, 'a', 'z', 0);
    oxTextOutput out;
    out.setFont(&font);
    out.setText("abc");
    EXPECT_DOUBLE_EQ(out.measure().width, 0);
    EXPECT_EQ(out.hitTest(1000, 100), (oxTextPosition{0, 0}));
}
