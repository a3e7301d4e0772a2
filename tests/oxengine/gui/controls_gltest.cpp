// Edit fields, lists, sliders, progress bars and menus drawn for real and
// read back from the GL window.
#include "gltest.h"
#include "guitest.h"

#include "oxengine/graphics/fontmanager.h"
#include "oxengine/gui/edit.h"
#include "oxengine/gui/guimenu.h"
#include "oxengine/gui/list.h"
#include "oxengine/gui/progressbar.h"
#include "oxengine/gui/sizers.h"

#include <GL/gl.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>

namespace {

constexpr int W = 800, H = 480;

using Pixel = std::function<bool(int r, int g, int b)>;
const Pixel RED = [](int r, int g, int b) { return r > 40 && g < 25 && b < 25; };
const Pixel GREEN = [](int r, int g, int b) { return g > 40 && r < 25 && b < 25; };
const Pixel BLUE = [](int r, int g, int b) { return b > 40 && r < 25 && g < 25; };
const Pixel MAGENTA = [](int r, int g, int b) { return r > 40 && b > 40 && g < 25; };

struct Rect {
    int x, y, w, h;
};

double textWidth(const std::string& text, double h)
{
    oxTextOutput out;
    out.setFont(GLFontManager::getFont(defaultGuiStyle.fontName));
    out.setText(text);
    out.setTextHeight(h);
    return out.measure().width;
}

Rect rectOf(const oxGuiElement& e)
{
    return {e.getPosition().x, e.getPosition().y, e.getSize().width, e.getSize().height};
}

struct Box {
    int left = W, top = H, right = -1, bottom = -1;
    bool empty() const { return right < left; }
};

class Frame {
public:
    Frame() : m_pixels(glReadBack(0, 0, W, H)) {}
    bool is(const Pixel& p, int x, int y) const
    {
        const uint8_t* c = &m_pixels[(size_t(y) * W + x) * 4];
        return p(c[0], c[1], c[2]);
    }
    Box find(const Pixel& p, Rect in = {0, 0, W, H}) const
    {
        Box box;
        for (int y = std::max(0, in.y); y < std::min(H, in.y + in.h); ++y)
            for (int x = std::max(0, in.x); x < std::min(W, in.x + in.w); ++x)
                if (is(p, x, y)) {
                    box.left = std::min(box.left, x), box.right = std::max(box.right, x);
                    box.top = std::min(box.top, y), box.bottom = std::max(box.bottom, y);
                }
        return box;
    }
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

void expectInside(const Box& ink, const Rect& r, const char* what)
{
    ASSERT_FALSE(ink.empty()) << what << " drew nothing";
    EXPECT_GE(ink.left, r.x) << what;
    EXPECT_GE(ink.top, r.y) << what;
    EXPECT_LT(ink.right, r.x + r.w) << what;
    EXPECT_LT(ink.bottom, r.y + r.h) << what;
}

class ControlsDrawing : public testing::Test {
protected:
    void SetUp() override
    {
        if (!glTestContext(W, H))
            GTEST_SKIP() << "no X display";
        app.windowWidth = W;
        app.windowHeight = H;
        glClearColor(0, 0, 0, 1);
        glClear(GL_COLOR_BUFFER_BIT);
    }
    void TearDown() override { GLFontManager::releaseAll(); }
    GuiTestApp app; // the window size for layout; nothing runs
};

} // namespace

TEST_F(ControlsDrawing, ADialogWithEditListSliderAndProgressBar)
{
    oxGuiModalPanel panel(std::make_unique<oxGuiVSizer>());
    auto* column = static_cast<oxGuiVSizer*>(panel.content());
    auto* edit = column->addChild(std::make_unique<oxGuiEdit>(20, "Gr\xc3\xbc\xc3\x9f" "e"));
    auto* list = column->addChild(std::make_unique<oxGuiList>(std::vector<std::string>{"JPEG", "PNG", "TGA"}));
    auto* slider = column->addChild(std::make_unique<oxGuiSlider>("Gamma", 0.0, 4.0, 1.0));
    auto* progress = column->addChild(std::make_unique<oxGuiProgressBar>());
    panel.applyStyle(oxGuiStyle{});
    panel.setPosition({40, 30});
    edit->setFgColour({255, 0, 0});
    list->setFgColour({0, 255, 0});
    slider->setFgColour({0, 0, 255});
    progress->setFgColour({255, 0, 255});
    progress->setName("Loading");
    progress->setRange(0, 10);
    progress->setValue(3);
    // Longer than the field now: the rest is clipped at its right edge.
    edit->setText("Gr\xc3\xbc\xc3\x9f" "e aus dem \xce\xbb\xcf\x8c\xce\xb3\xce\xbf\xcf\x82-Land, wo die Texte lang sind");
    list->setSelected(1);
    setFocus(edit);
    edit->setCaret(6);
    edit->setCaret(0, true); // "Grüße " selected
    panel.render();
    glSaveArtifact("gui_controls_dialog", W, H);
    const Frame frame;

    // Each widget's ink stays in its rectangle; the long text is clipped.
    expectInside(frame.find(RED), rectOf(*edit), "edit");
    expectInside(frame.find(GREEN), rectOf(*list), "list");
    expectInside(frame.find(BLUE), rectOf(*slider), "slider");
    expectInside(frame.find(MAGENTA), rectOf(*progress), "progress bar");
    // The edit's text reaches its right edge (it is too long to fit).
    const Rect e = rectOf(*edit);
    EXPECT_GE(frame.find(RED, {e.x + e.w / 2, e.y + 4, e.w / 2 - 4, e.h - 8}).right, e.x + e.w - 8);
    // The selection is a filled block behind the caret mark.
    const int from = e.x + 3 + int(textWidth("|", 20)) + 1, to = e.x + 3 + int(textWidth("|Gr\xc3\xbc\xc3\x9f" "e ", 20)) - 1;
    EXPECT_GT(frame.rowShare(RED, e.y + 4, from, to), 0.9);
    EXPECT_LT(frame.rowShare(RED, e.y + 4, to + 3, e.x + e.w - 4), 0.5);

    // The selected row of the list is filled, the others are not.
    const Rect l = rectOf(*list);
    const int row = (l.h - 6) / 3;
    EXPECT_GT(frame.rowShare(GREEN, l.y + 3 + row + 1, l.x + 4, l.x + l.w - 4), 0.9);
    EXPECT_LT(frame.rowShare(GREEN, l.y + 3 + 1, l.x + 4, l.x + l.w - 4), 0.5);

    // The bars are filled by their share: 1 of 4 and 3 of 10.
    auto filled = [&](oxGuiSlider& s, const Pixel& p) {
        const oxGuiSlider::Track t = s.track();
        const int y = t.position.y + t.size.height / 2;
        int n = 0;
        for (int x = t.position.x; x < t.position.x + t.size.width; ++x)
            n += frame.is(p, x, y) && frame.is([](int r, int g, int b) { return std::max({r, g, b}) > 200; }, x, y);
        return double(n) / t.size.width;
    };
    EXPECT_NEAR(filled(*slider, BLUE), 0.25, 0.02);
    EXPECT_NEAR(filled(*progress, MAGENTA), 0.30, 0.02);
    EXPECT_EQ(glGetError(), GLenum(GL_NO_ERROR));
}

namespace {

// A menu with red entries and a submenu with green ones, opened at the
// pointer with the submenu open.
struct EdgeCase {
    const char* name;
    int x, y;
};

class MenuAtEdges : public ControlsDrawing, public testing::WithParamInterface<EdgeCase> {};

} // namespace

TEST_P(MenuAtEdges, MenuAndSubmenuStayInsideTheWindow)
{
    const EdgeCase c = GetParam();
    oxGuiPopupMenu menu;
    menu.addItem("Open folder", 210);
    menu.addSeparator();
    oxGuiSubMenu* sort = menu.addSubMenu("Sort by");
    sort->popupMenu()->addItem("Name", 213);
    sort->popupMenu()->addItem("Date", 214);
    sort->popupMenu()->addItem("Size", 215);
    menu.addItem("Thumbnails", 216);
    menu.applyStyle(oxGuiStyle{});
    menu.setFgColour({255, 0, 0});
    sort->popupMenu()->setFgColour({0, 255, 0});
    menu.placeAt(c.x, c.y);
    // The pointer rests on the submenu entry.
    menu.onMouseMove(-1, sort->getPosition().x + 4, sort->getPosition().y + sort->getSize().height / 2);
    ASSERT_TRUE(sort->isOpen());
    menu.render();
    glSaveArtifact(std::string("gui_menu_") + c.name, W, H);

    const Rect outer = rectOf(menu), inner = rectOf(*sort->popupMenu());
    for (const Rect& r : {outer, inner}) {
        EXPECT_GE(r.x, 0) << c.name;
        EXPECT_GE(r.y, 0) << c.name;
        EXPECT_LE(r.x + r.w, W) << c.name;
        EXPECT_LE(r.y + r.h, H) << c.name;
    }
    // Neither hides the other's entries.
    EXPECT_TRUE(inner.x >= outer.x + outer.w - 3 || inner.x + inner.w <= outer.x) << c.name;
    // What is drawn is where the menus are: the frames are their edges.
    const Frame frame;
    const Box red = frame.find(RED), green = frame.find(GREEN);
    expectInside(green, inner, "submenu");
    EXPECT_EQ(green.left, inner.x) << c.name;
    EXPECT_EQ(green.right, inner.x + inner.w - 1) << c.name;
    EXPECT_EQ(green.top, inner.y) << c.name;
    EXPECT_EQ(green.bottom, inner.y + inner.h - 1) << c.name;
    expectInside(red, outer, "menu");
    EXPECT_EQ(red.left, outer.x) << c.name;
    EXPECT_EQ(red.top, outer.y) << c.name;
    EXPECT_EQ(red.bottom, outer.y + outer.h - 1) << c.name;
}

INSTANTIATE_TEST_SUITE_P(Edges, MenuAtEdges,
                         testing::Values(EdgeCase{"left", -20, H / 2}, EdgeCase{"right", W - 5, H / 2},
                                         EdgeCase{"top", W / 2, -3}, EdgeCase{"bottom", W / 2, H - 5},
                                         EdgeCase{"bottom_right", W - 1, H - 1}, EdgeCase{"top_left", 0, 0}),
                         [](const testing::TestParamInfo<EdgeCase>& info) { return std::string(info.param.name); });
