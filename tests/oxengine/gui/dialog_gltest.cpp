// The toolkit drawn for real: a small dialog read back from the GL window.
#include "gltest.h"

#include "oxengine/graphics/fontmanager.h"
#include "oxengine/gui/checkbox.h"
#include "oxengine/gui/host.h"
#include "oxengine/gui/line.h"
#include "oxengine/gui/modal.h"
#include "oxengine/gui/scrollpanel.h"
#include "oxengine/gui/sizers.h"

#include <GL/gl.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <functional>

namespace {

constexpr int W = 800, H = 480;

struct Box {
    int left = W, top = H, right = -1, bottom = -1; // inclusive pixel bounds
    bool empty() const { return right < left; }
};

struct Rect {
    int x, y, w, h;
};

Rect windowRect(const oxGuiElement& e)
{
    const oxGuiPointD p = toWindowPoint(e, e.getPosition());
    const oxGuiSizeD s = toWindowSize(e, e.getSize());
    return {int(p.x), int(p.y), int(s.width), int(s.height)};
}

using Pixel = std::function<bool(int r, int g, int b)>;

// Each widget gets a colour of its own, so its ink can be told apart.
const Pixel RED = [](int r, int g, int b) { return r > 40 && g < 25 && b < 25; };
const Pixel GREEN = [](int r, int g, int b) { return g > 40 && r < 25 && b < 25; };
const Pixel BLUE = [](int r, int g, int b) { return b > 40 && r < 25 && g < 25; };
const Pixel MAGENTA = [](int r, int g, int b) { return r > 40 && b > 40 && g < 25; };

class Frame {
public:
    Frame() : m_pixels(glReadBack(0, 0, W, H)) {}
    const uint8_t* at(int x, int y) const { return &m_pixels[(size_t(y) * W + x) * 4]; }
    bool is(const Pixel& p, int x, int y) const
    {
        const uint8_t* c = at(x, y);
        return p(c[0], c[1], c[2]);
    }
    Box find(const Pixel& p) const
    {
        Box box;
        for (int y = 0; y < H; ++y)
            for (int x = 0; x < W; ++x)
                if (is(p, x, y)) {
                    box.left = std::min(box.left, x), box.right = std::max(box.right, x);
                    box.top = std::min(box.top, y), box.bottom = std::max(box.bottom, y);
                }
        return box;
    }
    // Share of the pixels of a row segment that match.
    double rowShare(const Pixel& p, int y, int x0, int x1) const
    {
        int n = 0;
        for (int x = x0; x < x1; ++x)
            n += is(p, x, y);
        return x1 > x0 ? double(n) / (x1 - x0) : 0;
    }

private:
    std::vector<uint8_t> m_pixels;
};

// Sizes are the measured text truncated to whole pixels, so the last glyph
// may reach into the pixel column just right of the rectangle.
void expectInside(const Box& ink, const Rect& r, const char* what)
{
    ASSERT_FALSE(ink.empty()) << what << " drew nothing";
    EXPECT_GE(ink.left, r.x) << what;
    EXPECT_GE(ink.top, r.y) << what;
    EXPECT_LE(ink.right, r.x + r.w) << what;
    EXPECT_LT(ink.bottom, r.y + r.h) << what;
}

// Label, line, a row of OK and Cancel between flexis, a checkbox.
struct Dialog {
    oxGuiModalPanel panel{std::make_unique<oxGuiVSizer>()};
    oxGuiLabel* label;
    oxGuiButton* ok;
    oxGuiButton* cancel;
    oxGuiCheckbox* check;

    explicit Dialog(int textHeight)
    {
        auto* column = static_cast<oxGuiVSizer*>(panel.content());
        label = column->addChild(std::make_unique<oxGuiLabel>("Convert the picture?"));
        column->addChild(std::make_unique<oxGuiHLine>());
        auto* row = column->addChild(std::make_unique<oxGuiHSizer>());
        row->addChild(std::make_unique<oxGuiFlexi>(1, 0));
        ok = row->addChild(std::make_unique<oxGuiModalButton>(&panel, GUI_CMD_OK, "OK"));
        cancel = row->addChild(std::make_unique<oxGuiModalButton>(&panel, GUI_CMD_CANCEL, "Cancel"));
        row->addChild(std::make_unique<oxGuiFlexi>(1, 0));
        check = column->addChild(std::make_unique<oxGuiCheckbox>(0, "Keep aspect ratio"));
        oxGuiStyle style;
        style.textHeight = textHeight;
        panel.applyStyle(style);
        panel.setPosition({40, 30});
        label->setFgColour({255, 0, 0});
        ok->setFgColour({0, 255, 0});
        cancel->setFgColour({0, 0, 255});
        check->setFgColour({255, 0, 255});
    }
};

class GuiDrawing : public testing::TestWithParam<int> {
protected:
    void SetUp() override
    {
        if (!glTestContext(W, H))
            GTEST_SKIP() << "no X display";
        glClearColor(0.5f, 0.5f, 0.5f, 1); // so the panel and its frame show
        glClear(GL_COLOR_BUFFER_BIT);
    }
    void TearDown() override { GLFontManager::releaseAll(); }
};

} // namespace

TEST_P(GuiDrawing, EachWidgetDrawsInsideItsRectangleAndTheFocusIsFramed)
{
    const int th = GetParam();
    Dialog d(th);
    d.check->setChecked(true);
    setFocus(d.cancel);
    d.panel.render();
    glSaveArtifact("gui_dialog_" + std::to_string(th), W, H);

    const Frame frame;
    expectInside(frame.find(RED), windowRect(*d.label), "label");
    expectInside(frame.find(GREEN), windowRect(*d.ok), "OK");
    expectInside(frame.find(BLUE), windowRect(*d.cancel), "Cancel");
    expectInside(frame.find(MAGENTA), windowRect(*d.check), "checkbox");
    EXPECT_EQ(windowRect(*d.ok).h, th);
    EXPECT_EQ(windowRect(*d.ok).w, 3 * th);

    // The focused button is framed along its whole edge, the other is not.
    const Rect c = windowRect(*d.cancel), o = windowRect(*d.ok);
    EXPECT_GT(frame.rowShare(BLUE, c.y, c.x, c.x + c.w), 0.95);
    EXPECT_GT(frame.rowShare(BLUE, c.y + c.h - 1, c.x, c.x + c.w), 0.95);
    EXPECT_EQ(frame.rowShare(GREEN, o.y, o.x, o.x + o.w), 0.0);

    // The checked box shows its cross over the ring: more ink at the left.
    const Rect k = windowRect(*d.check);
    int ink = 0;
    for (int y = k.y; y < k.y + k.h; ++y)
        for (int x = k.x; x < k.x + th; ++x)
            ink += frame.is(MAGENTA, x, y);
    d.check->setChecked(false);
    glClear(GL_COLOR_BUFFER_BIT);
    d.panel.render();
    const Frame unchecked;
    int inkUnchecked = 0;
    for (int y = k.y; y < k.y + k.h; ++y)
        for (int x = k.x; x < k.x + th; ++x)
            inkUnchecked += unchecked.is(MAGENTA, x, y);
    EXPECT_GT(ink, inkUnchecked + th);
}

TEST_P(GuiDrawing, HoverAndInactiveStatesChangeTheColours)
{
    const int th = GetParam();
    Dialog d(th);
    const Rect o = windowRect(*d.ok);
    d.ok->onMouseMove(-1, o.x + 2, o.y + 2);
    d.cancel->setEnabled(false);
    d.panel.render();
    glSaveArtifact("gui_dialog_states_" + std::to_string(th), W, H);
    const Frame frame;
    // Hovered: the button is filled with its text colour, the text cut out.
    EXPECT_GT(frame.rowShare(GREEN, o.y + 1, o.x, o.x + o.w), 0.95);
    const Box fill = frame.find(GREEN);
    EXPECT_EQ(fill.left, o.x);
    EXPECT_EQ(fill.right, o.x + o.w - 1);
    // Inactive: blended 30 % towards the panel's black, so no full blue.
    const Rect c = windowRect(*d.cancel);
    int brightest = 0;
    for (int y = c.y; y < c.y + c.h; ++y)
        for (int x = c.x; x < c.x + c.w; ++x)
            brightest = std::max(brightest, int(frame.at(x, y)[2]));
    EXPECT_GT(brightest, 120);
    EXPECT_LT(brightest, 200);
}

INSTANTIATE_TEST_SUITE_P(TextHeights, GuiDrawing, testing::Values(20, 40));

TEST(GuiDrawingState, RenderRestoresTheStateAndMatricesItFound)
{
    if (!glTestContext(W, H))
        GTEST_SKIP() << "no X display";
    Dialog d(20);
    GLdouble projection[16], modelview[16], after[16];
    glGetDoublev(GL_PROJECTION_MATRIX, projection);
    glMatrixMode(GL_MODELVIEW);
    glTranslated(5, 7, 0);
    glGetDoublev(GL_MODELVIEW_MATRIX, modelview);
    d.panel.render();
    EXPECT_FALSE(glIsEnabled(GL_CULL_FACE));
    EXPECT_FALSE(glIsEnabled(GL_BLEND));
    EXPECT_FALSE(glIsEnabled(GL_TEXTURE_2D));
    EXPECT_FALSE(glIsEnabled(GL_SCISSOR_TEST));
    glGetDoublev(GL_PROJECTION_MATRIX, after);
    EXPECT_TRUE(std::equal(projection, projection + 16, after));
    glGetDoublev(GL_MODELVIEW_MATRIX, after);
    EXPECT_TRUE(std::equal(modelview, modelview + 16, after));
    EXPECT_EQ(glGetError(), GLenum(GL_NO_ERROR));
    GLFontManager::releaseAll();
}

TEST(GuiDrawingState, ScrolledContentIsClippedToTheViewport)
{
    if (!glTestContext(W, H))
        GTEST_SKIP() << "no X display";
    glClearColor(0.5f, 0.5f, 0.5f, 1); // so the panel and its frame show
    glClear(GL_COLOR_BUFFER_BIT);
    auto column = std::make_unique<oxGuiVSizer>();
    for (int i = 0; i < 20; ++i)
        column->addChild(std::make_unique<oxGuiLabel>("Row " + std::to_string(i)));
    oxGuiScrollablePanel panel(std::move(column));
    panel.applyStyle(oxGuiStyle{});
    panel.setFgColour({255, 0, 0});
    panel.setSize({200, 106});
    panel.setPosition({100, 100});
    panel.setScroll({0, 50});
    panel.onMouseMove(-1, 150, 150); // hovered: the bar shows
    panel.render();
    glSaveArtifact("gui_scrolled", W, H);
    const Frame frame;
    const Box ink = frame.find(RED);
    expectInside(ink, {100, 100, 200, 106}, "scrolled rows");
    // The thumb: 10 wide at the right edge, 106 * 106 / 406 high, 50 * 106 / 406 down.
    EXPECT_EQ(ink.right, 299);
    EXPECT_TRUE(frame.is(RED, 295, 100 + 50 * 106 / 406 + 2));
    EXPECT_FALSE(frame.is(RED, 295, 100 + 50 * 106 / 406 + 106 * 106 / 406 + 2));
    GLFontManager::releaseAll();
}
