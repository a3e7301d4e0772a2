// Characters the built-in font lacks are drawn with a system font's glyphs
// (fontconfig's choice), not as "?", on the same baseline.
#include "gltest.h"
#include "testsupport.h"

#include "oxengine/graphics/fontmanager.h"
#include "oxengine/graphics/textoutput.h"

#include <GL/gl.h>
#include <gtest/gtest.h>

namespace {

constexpr int W = 640, H = 120;

// Whether fontconfig knows an installed font with the character.
bool installed(const char* hex)
{
    std::string out;
    return runCommand(std::string("fc-list ':charset=") + hex + "' file", &out) == 0 && !out.empty();
}

} // namespace

TEST(GlyphFallbackGL, ScriptsAreDrawnWithSystemFontsOnTheBaseline)
{
    if (!glTestContext(W, H))
        GTEST_SKIP() << "no X display";
    TempDir folder;
    GLFontManager manager(folder.path());
    GLFont* font = manager.font("arial");
    ASSERT_NE(font, nullptr);
    oxTextOutput out;
    out.setFont(font);
    out.setTextHeight(40);
    out.setPosition(20, 80);
    const auto drawn = [&](const std::string& text) {
        glClearColor(0, 0, 0, 1);
        glClear(GL_COLOR_BUFFER_BIT);
        out.setText(text);
        out.draw();
        return glReadBack(0, 0, W, H);
    };
    const std::vector<uint8_t> question = drawn("?");
    struct Case {
        const char* text;
        const char* hex; // the character fontconfig must know
    };
    for (const Case c : {Case{"\xce\xa9", "3a9"}, Case{"\xd0\x96", "416"}, Case{"\xe6\x97\xa5", "65e5"}}) {
        SCOPED_TRACE(c.hex);
        if (!installed(c.hex))
            continue; // "?" is right on a system without such a font
        const std::vector<uint8_t> pixels = drawn(c.text);
        EXPECT_NE(pixels, question);
        // Ink within the line (its cell ends at 80; the baseline lies about
        // a fifth of the line higher), reaching down near the baseline
        // (glReadBack rows run bottom up).
        int top = H, bottom = -1;
        for (int y = 0; y < H; ++y)
            for (int x = 0; x < W; ++x)
                if (pixels[(size_t(H - 1 - y) * W + size_t(x)) * 4] > 100)
                    top = std::min(top, y), bottom = std::max(bottom, y);
        EXPECT_GE(top, 80 - 41);
        EXPECT_LE(bottom, 80);
        EXPECT_GT(bottom, 80 - 14);
    }
    drawn("Gr\xc3\xbc\xc3\x9f" "e aus K\xc3\xb6ln \xe2\x80\x93 \xe6\x97\xa5\xe6\x9c\xac \xce\xa9\xce\xbc\xce\xad\xce\xb3\xce\xb1");
    glSaveArtifact("glyph_fallback", W, H);
    manager.clear(); // while the context exists
}
