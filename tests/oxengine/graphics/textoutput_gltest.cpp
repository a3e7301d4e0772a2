#include "glcheck.h"
#include "testsupport.h"

#include "oxengine/graphics/fontmanager.h"
#include "oxengine/graphics/overlay.h"
#include "oxengine/graphics/textoutput.h"

#include <gtest/gtest.h>

namespace {

constexpr int W = 640, H = 240;

class TextDrawing : public testing::Test {
protected:
    void SetUp() override
    {
        if (!glTestContext(W, H))
            GTEST_SKIP() << "no X display";
        manager = std::make_unique<GLFontManager>(folder.path());
        font = manager->font("arial");
        ASSERT_NE(font, nullptr);
        out.setFont(font);
        out.setText("Pictavo");
        out.setPosition(50, 100);
        glClearColor(0, 0, 0, 1);
        glClear(GL_COLOR_BUFFER_BIT);
    }
    void TearDown() override
    {
        if (manager)
            manager->clear(); // while the context exists
    }
    static PixelBox find(const PixelTest& p) { return GLFrame(W, H).find(p); }
    static PixelBox ink() { return find([](int r, int, int) { return r > 8; }); }
    static PixelBox blue() { return find([](int r, int, int b) { return b > 200 && r < 100; }); }

    TempDir folder;
    std::unique_ptr<GLFontManager> manager;
    GLFont* font = nullptr;
    oxTextOutput out;
};

} // namespace

TEST_F(TextDrawing, InkStaysInsideTheMeasuredBoxTheBackgroundSurroundsItAndTabColumnsLineUp)
{
    for (int size : {20, 40})
        for (bool boxed : {false, true}) {
            SCOPED_TRACE(testing::Message() << size << (boxed ? " boxed" : " plain"));
            glClear(GL_COLOR_BUFFER_BIT);
            out.setTextHeight(size);
            out.setBackgroundColour(boxed ? oxColour(0, 0, 255, 255) : oxColour(0, 0, 0, 0));
            out.draw();
            glSaveArtifact("textoutput_pictavo_" + std::to_string(size) + (boxed ? "_boxed" : ""), W, H);
            const double width = out.measure().width;
            const PixelBox box = ink();
            // Ink within [50, 50 + width] and the text height above the baseline at 100, give or take a pixel.
            EXPECT_GE(box.left, 50 - 1);
            EXPECT_LE(box.right + 1, 50 + width + 1);
            EXPECT_GE(box.top, 100 - size - 1);
            EXPECT_LE(box.bottom + 1, 100 + 1);
            // And it fills the box: "P" starts near the left, "o" ends near the right.
            EXPECT_LE(box.left, 50 + 0.15 * size);
            EXPECT_GE(box.right, 50 + width - 0.2 * size);
            EXPECT_LT(box.top, 100 - 0.5 * size); // cap height well above the baseline
            // The box reaches a tenth of the height left and right of the text, exactly the line's height.
            const PixelBox background = blue();
            if (!boxed) {
                EXPECT_TRUE(background.empty());
                continue;
            }
            EXPECT_NEAR(background.left, 50 - 0.1 * size, 1);
            EXPECT_NEAR(background.right + 1, 50 + width + 0.1 * size, 1);
            EXPECT_NEAR(background.top, 100 - size, 1);
            EXPECT_NEAR(background.bottom + 1, 100, 1);
        }
    // A multi-line box covers every line.
    glClear(GL_COLOR_BUFFER_BIT);
    out.setMultiLine(true);
    out.setText("Pi\nPictavo");
    out.setTextHeight(30);
    out.setPosition(50, 60);
    out.draw();
    EXPECT_NEAR(blue().top, 30, 1);
    EXPECT_NEAR(blue().bottom + 1, 90, 1);

    // Key names of different widths, one or two tabs after them: the descriptions start in one column.
    glClear(GL_COLOR_BUFFER_BIT);
    out.setBackgroundColour(oxColour(0, 0, 0, 0));
    out.setTextHeight(20);
    out.setPosition(20, 40);
    out.setText("[F2], [Tab]"); // the widest key
    const int keyEnd = 20 + int(out.measure().width) + 1;
    out.setText("[F1]\t\tHelp\n[F2], [Tab]\tSelect folder\n[Q], [Esc]\t\tQuit\n[Space]\t\tNext image");
    out.draw();
    glSaveArtifact("textoutput_tab_columns", W, H);
    // Where the column starts is the layout test's; here the drawn lines follow it.
    const GLFrame frame(W, H);
    std::vector<int> starts; // of the ink right of the widest key, per line
    for (int line = 0; line < 4; ++line)
        starts.push_back(frame.find([](int r, int, int) { return r > 8; }, {keyEnd, 21 + line * 20, W, 20}).left);
    for (int start : starts)
        EXPECT_NEAR(start, starts[0], 2) << "descriptions out of line";
}

// Under a projection, modelview and state of the caller's own (plain text output would land elsewhere), the overlay
// draws in window pixels and leaves all of it as it found it.
TEST_F(TextDrawing, OverlayDrawsInWindowPixelsAndRestoresWhatItChanges)
{
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glOrtho(-5, 5, -5, 5, -1, 1);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    glTranslatef(2, 2, 0);
    const std::vector<GLdouble> matrices = glMatrices();
    glDisable(GL_TEXTURE_2D);
    glDisable(GL_BLEND);
    glBlendFunc(GL_ONE, GL_ZERO);

    oxGLUTOverlay overlay; // 18 pixels high
    overlay.setFontName("no such font here"); // the built-in one
    overlay.setText("Pictavo");
    overlay.setPosition(50, 100);
    overlay.setBackgroundColour(oxColour(0, 20, 30, 255)); // no red: not taken for ink
    overlay.draw();
    ASSERT_NE(overlay.font(), nullptr);
    const PixelBox box = ink();
    ASSERT_FALSE(box.empty());
    EXPECT_GE(box.left, 49);
    EXPECT_LE(box.right, 50 + overlay.measure().width + 1);
    EXPECT_GE(box.top, 100 - 18 - 1);
    EXPECT_LE(box.bottom, 100);

    EXPECT_EQ(glMatrices(), matrices);
    GLint mode = 0, src = 0, dst = 0;
    glGetIntegerv(GL_MATRIX_MODE, &mode);
    EXPECT_EQ(mode, GL_MODELVIEW);
    EXPECT_FALSE(glIsEnabled(GL_TEXTURE_2D) || glIsEnabled(GL_BLEND));
    glGetIntegerv(GL_BLEND_SRC, &src);
    glGetIntegerv(GL_BLEND_DST, &dst);
    EXPECT_EQ(src * 10 + dst, GL_ONE * 10 + GL_ZERO);
    EXPECT_EQ(glGetError(), GLenum(GL_NO_ERROR));
    GLFontManager::releaseAll();
}

// Characters the built-in font lacks come from a system font (fontconfig's choice), not as "?", on the same baseline.
TEST_F(TextDrawing, MissingCharactersAreDrawnWithSystemFontsOnTheBaseline)
{
    out.setTextHeight(40);
    const auto drawn = [&](const std::string& text) {
        glClear(GL_COLOR_BUFFER_BIT);
        out.setText(text);
        out.draw();
        return glReadBack(0, 0, W, H);
    };
    const std::vector<uint8_t> question = drawn("?");
    for (const auto& [text, hex] : {std::pair{"\xce\xa9", "3a9"}, {"\xd0\x96", "416"}, {"\xe6\x97\xa5", "65e5"}}) {
        SCOPED_TRACE(hex);
        std::string fonts;
        if (runCommand(std::string("fc-list ':charset=") + hex + "' file", &fonts) != 0 || fonts.empty())
            continue; // "?" is right on a system without such a font
        EXPECT_NE(drawn(text), question);
        // Within the line (its cell ends at the baseline's 100; the glyphs' baseline lies a fifth higher).
        const PixelBox box = find([](int r, int, int) { return r > 100; });
        EXPECT_GE(box.top, 100 - 41);
        EXPECT_LE(box.bottom, 100);
        EXPECT_GT(box.bottom, 100 - 14);
    }
}
