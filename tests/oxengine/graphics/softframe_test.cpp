// Frames drawn without OpenGL follow GL's rules where they show.
#include "fontbytes.h"

#include "oxengine/graphics/softframe.h"
#include "oxengine/image/image.h"

#include <gtest/gtest.h>

#include <sstream>

namespace {

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

TEST(SoftFrame, PictureCoversThePixelsWhoseCentresLieInsideAndFiltersLikeMipmaps)
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
}

TEST(SoftFrame, RefusesWhatOnlyGLCanDraw)
{
    oxSoftFrame frame(4, 4, oxColour(0, 0, 0));
    std::unique_ptr<oxImageUInt8> transparent = greyRow({1, 2});
    transparent->setComponents(4);
    EXPECT_FALSE(frame.drawPicture(*transparent, 0, 0, 4, 4));
    EXPECT_EQ(frame.pixel(0, 0), 0u);
}

TEST(SoftFrame, TextIsItsBackgroundThenItsGlyphsInItsColour)
{
    // "X" is the left half of a 4 x 2 texture, fully opaque; the right half is empty.
    oxGLFontData data;
    data.texWidth = 4, data.texHeight = 2, data.startChar = 'X', data.endChar = 'X';
    data.glyphs = {GLFontChar{0.5f, 1.0f, 0, 0, 0.5f, 1.0f}};
    data.alpha = {255, 255, 0, 0, 255, 255, 0, 0};
    std::stringstream bytes;
    oxWriteGLFont(bytes, data, false);
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

