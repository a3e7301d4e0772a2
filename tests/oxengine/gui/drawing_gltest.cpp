// The toolkit drawn for real and read back: a dialog, the editing controls, scrolled content, menus at the edges.
#include "guitest.h"
#include "oxengine/graphics/glcheck.h"

#include "oxengine/gui/checkbox.h"
#include "oxengine/gui/dialogs.h"
#include "oxengine/gui/guimenu.h"
#include "oxengine/gui/line.h"
#include "oxengine/gui/list.h"
#include "oxengine/gui/progressbar.h"
#include "oxengine/platform/messagebox.h"

#include <algorithm>

namespace {

constexpr int W = 800, H = 480;

// Each widget gets a colour of its own, so its ink can be told apart.
const PixelTest RED = [](int r, int g, int b) { return r > 40 && g < 25 && b < 25; };
const PixelTest GREEN = [](int r, int g, int b) { return g > 40 && r < 25 && b < 25; };
const PixelTest BLUE = [](int r, int g, int b) { return b > 40 && r < 25 && g < 25; };
const PixelTest MAGENTA = [](int r, int g, int b) { return r > 40 && b > 40 && g < 25; };

PixelRect windowRect(const oxGuiElement& e)
{
    const oxGuiPointD p = toWindowPoint(e, e.getPosition());
    const oxGuiSizeD s = toWindowSize(e, e.getSize());
    return {int(p.x), int(p.y), int(s.width), int(s.height)};
}

// Text sizes are truncated to whole pixels: the last glyph may reach `slack` columns past the rectangle.
void expectInside(const PixelBox& ink, const PixelRect& r, const char* what, int slack = 0)
{
    ASSERT_FALSE(ink.empty()) << what << " drew nothing";
    EXPECT_GE(ink.left, r.x) << what;
    EXPECT_GE(ink.top, r.y) << what;
    EXPECT_LT(ink.right, r.x + r.w + slack) << what;
    EXPECT_LT(ink.bottom, r.y + r.h) << what;
}

class Drawing : public testing::Test {
protected:
    void SetUp() override
    {
        if (!glTestContext(W, H))
            GTEST_SKIP() << "no X display";
        app.windowWidth = W, app.windowHeight = H;
        clear(0);
    }
    void TearDown() override { GLFontManager::releaseAll(); }
    static void clear(float grey)
    {
        glClearColor(grey, grey, grey, 1);
        glClear(GL_COLOR_BUFFER_BIT);
    }
    GuiTestApp app; // the window size for layout; nothing runs
};

class DialogDrawing : public Drawing, public testing::WithParamInterface<int> {};

} // namespace

TEST_P(DialogDrawing, EachWidgetDrawsInsideItsRectangleWithFocusHoverAndInactiveStates)
{
    const int th = GetParam();
    clear(0.5f); // so the panel and its frame show
    // Label, line, a row of OK and Cancel between flexis, a checkbox.
    oxGuiModalPanel panel(std::make_unique<oxGuiVSizer>());
    auto* column = static_cast<oxGuiVSizer*>(panel.content());
    auto* label = column->addChild(std::make_unique<oxGuiLabel>("Convert the picture?"));
    column->addChild(std::make_unique<oxGuiHLine>());
    auto* row = column->addChild(std::make_unique<oxGuiHSizer>());
    row->addChild(std::make_unique<oxGuiFlexi>(1, 0));
    auto* ok = row->addChild(std::make_unique<oxGuiModalButton>(&panel, GUI_CMD_OK, "OK"));
    auto* cancel = row->addChild(std::make_unique<oxGuiModalButton>(&panel, GUI_CMD_CANCEL, "Cancel"));
    row->addChild(std::make_unique<oxGuiFlexi>(1, 0));
    auto* check = column->addChild(std::make_unique<oxGuiCheckbox>(0, "Keep aspect ratio"));
    panel.applyStyle(oxGuiStyle{th});
    panel.setPosition({40, 30});
    label->setFgColour({255, 0, 0});
    ok->setFgColour({0, 255, 0});
    cancel->setFgColour({0, 0, 255});
    check->setFgColour({255, 0, 255});
    check->setChecked(true);
    setFocus(cancel);
    // The caller's matrices and state come back as they were, and its modelview moves nothing.
    glMatrixMode(GL_MODELVIEW);
    glTranslated(5, 7, 0);
    const std::vector<GLdouble> matrices = glMatrices();
    panel.render();
    for (GLenum cap : {GL_CULL_FACE, GL_BLEND, GL_TEXTURE_2D, GL_SCISSOR_TEST})
        EXPECT_FALSE(glIsEnabled(cap)) << cap;
    EXPECT_EQ(glMatrices(), matrices);
    EXPECT_EQ(glGetError(), GLenum(GL_NO_ERROR));
    glSaveArtifact("gui_dialog_" + std::to_string(th), W, H);
    const GLFrame frame(W, H);
    expectInside(frame.find(RED), windowRect(*label), "label", 1);
    expectInside(frame.find(GREEN), windowRect(*ok), "OK", 1);
    expectInside(frame.find(BLUE), windowRect(*cancel), "Cancel", 1);
    expectInside(frame.find(MAGENTA), windowRect(*check), "checkbox", 1);
    const PixelRect c = windowRect(*cancel), o = windowRect(*ok), k = windowRect(*check);
    // The focused button is framed along its whole edge, the other is not.
    EXPECT_GT(frame.rowShare(BLUE, c.y, c.x, c.x + c.w), 0.95);
    EXPECT_GT(frame.rowShare(BLUE, c.y + c.h - 1, c.x, c.x + c.w), 0.95);
    EXPECT_EQ(frame.rowShare(GREEN, o.y, o.x, o.x + o.w), 0.0);
    // The checked box shows its cross over the ring: more ink at the left.
    check->setChecked(false);
    clear(0.5f);
    panel.render();
    EXPECT_GT(frame.count(MAGENTA, {k.x, k.y, th, k.h}), GLFrame(W, H).count(MAGENTA, {k.x, k.y, th, k.h}) + th);

    // Hovered: the button is filled with its text colour, the text cut out.
    // Inactive: blended 30 % towards the panel's black, so no full blue.
    setFocus(check);
    ok->onMouseMove(-1, o.x + 2, o.y + 2);
    cancel->setEnabled(false);
    clear(0.5f);
    panel.render();
    glSaveArtifact("gui_dialog_states_" + std::to_string(th), W, H);
    const GLFrame states(W, H);
    EXPECT_GT(states.rowShare(GREEN, o.y + 1, o.x, o.x + o.w), 0.95);
    EXPECT_GT(states.count([](int, int, int b) { return b > 120; }, c), 0);
    EXPECT_EQ(states.count([](int, int, int b) { return b >= 200; }, c), 0);
}

INSTANTIATE_TEST_SUITE_P(TextHeights, DialogDrawing, testing::Values(20, 40));

TEST_F(Drawing, DialogsAndControls)
{
    clear(1.0f); // the brightest picture there is
    oxGuiModalMessageDialog d("A question\nover a bright picture", "Title", MB_YES | MB_NO, MI_NONE);
    d.label()->setFgColour({255, 0, 0});
    d.render();
    glSaveArtifact("gui_dialog_backdrop", W, H);
    const GLFrame dimmed(W, H);
    const PixelRect r = windowRect(d);
    // Outside: the scene at half its brightness.
    for (const auto& [x, y] : {std::pair{2, 2}, {W - 3, H - 3}, {r.x - 2, r.y + r.h / 2}})
        EXPECT_NEAR(dimmed.at(x, y)[1], 128, 12) << x << "," << y;
    // Inside, between the frame and the text: nearly the style's black.
    const int pad = d.padding();
    EXPECT_LT(dimmed.at(r.x + 3 + pad / 2, r.y + r.h / 2)[1], 20);
    EXPECT_LT(dimmed.at(r.x + r.w / 2, r.y + r.h - 3 - pad / 2)[1], 20);
    expectInside(dimmed.find(RED), windowRect(*d.label()), "message", 1);

    // The editing controls, on black.
    clear(0);
    oxGuiModalPanel panel(std::make_unique<oxGuiVSizer>());
    auto* column = static_cast<oxGuiVSizer*>(panel.content());
    auto* edit = column->addChild(std::make_unique<oxGuiEdit>(20, ""));
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
    // Longer than the field: the rest is clipped at its right edge.
    edit->setText("Gr\xc3\xbc\xc3\x9f" "e aus dem \xce\xbb\xcf\x8c\xce\xb3\xce\xbf\xcf\x82-Land, wo die Texte lang sind");
    list->setSelected(1);
    setFocus(edit);
    edit->setCaret(6);
    edit->setCaret(0, true); // "Grüße " selected
    panel.render();
    glSaveArtifact("gui_controls_dialog", W, H);
    const GLFrame frame(W, H);
    const PixelRect e = windowRect(*edit), l = windowRect(*list);
    expectInside(frame.find(RED), e, "edit");
    expectInside(frame.find(GREEN), l, "list");
    expectInside(frame.find(BLUE), windowRect(*slider), "slider");
    expectInside(frame.find(MAGENTA), windowRect(*progress), "progress bar");
    // The edit's text reaches its right edge; the selection is a filled block behind the caret mark.
    EXPECT_GE(frame.find(RED, {e.x + e.w / 2, e.y + 4, e.w / 2 - 4, e.h - 8}).right, e.x + e.w - 8);
    const int from = e.x + 3 + int(textWidth("|", 20)) + 1, to = e.x + 3 + int(textWidth("|Gr\xc3\xbc\xc3\x9f" "e ", 20)) - 1;
    EXPECT_GT(frame.rowShare(RED, e.y + 4, from, to), 0.9);
    EXPECT_LT(frame.rowShare(RED, e.y + 4, to + 3, e.x + e.w - 4), 0.5);
    // The selected row of the list is filled, the others are not.
    const int row = (l.h - 6) / 3;
    EXPECT_GT(frame.rowShare(GREEN, l.y + 3 + row + 1, l.x + 4, l.x + l.w - 4), 0.9);
    EXPECT_LT(frame.rowShare(GREEN, l.y + 3 + 1, l.x + 4, l.x + l.w - 4), 0.5);
    // The bars are filled by their share: 1 of 4 and 3 of 10.
    auto filled = [&](oxGuiSlider& s, const PixelTest& p) {
        const oxGuiSlider::Track t = s.track();
        const int y = t.position.y + t.size.height / 2;
        int n = 0;
        for (int x = t.position.x; x < t.position.x + t.size.width; ++x)
            n += frame.is(p, x, y) && std::max({frame.at(x, y)[0], frame.at(x, y)[1], frame.at(x, y)[2]}) > 200;
        return double(n) / t.size.width;
    };
    EXPECT_NEAR(filled(*slider, BLUE), 0.25, 0.02);
    EXPECT_NEAR(filled(*progress, MAGENTA), 0.30, 0.02);
    EXPECT_EQ(glGetError(), GLenum(GL_NO_ERROR));

    // Scrolled content is clipped to the viewport.
    clear(0.5f);
    auto rows = std::make_unique<oxGuiVSizer>();
    for (int i = 0; i < 20; ++i)
        rows->addChild(std::make_unique<oxGuiLabel>("Row " + std::to_string(i)));
    oxGuiScrollablePanel scroller(std::move(rows));
    scroller.applyStyle(oxGuiStyle{});
    scroller.setFgColour({255, 0, 0});
    scroller.setSize({200, 106});
    scroller.setPosition({100, 100});
    scroller.setScroll({0, 50});
    scroller.onMouseMove(-1, 150, 150); // hovered: the bar shows
    scroller.render();
    glSaveArtifact("gui_scrolled", W, H);
    const GLFrame scrolled(W, H);
    const PixelBox ink = scrolled.find(RED);
    expectInside(ink, {100, 100, 200, 106}, "scrolled rows");
    // The thumb: 10 wide at the right edge, 106 * 106 / 406 high, 50 * 106 / 406 down.
    EXPECT_EQ(ink.right, 299);
    EXPECT_TRUE(scrolled.is(RED, 295, 100 + 50 * 106 / 406 + 2));
    EXPECT_FALSE(scrolled.is(RED, 295, 100 + 50 * 106 / 406 + 106 * 106 / 406 + 2));
}

namespace {

struct EdgeCase {
    const char* name;
    int x, y;
};

class MenuAtEdges : public Drawing, public testing::WithParamInterface<EdgeCase> {};

} // namespace

// A menu with red entries and a submenu with green ones, opened at the pointer with the submenu open.
TEST_P(MenuAtEdges, MenuAndSubmenuStayInsideTheWindow)
{
    const EdgeCase c = GetParam();
    clear(1.0f);
    oxGuiPopupMenu menu;
    menu.addItem("Open the folder", 210);
    menu.addSeparator();
    oxGuiSubMenu* sort = menu.addSubMenu("Sort by");
    for (const char* item : {"Name", "Date", "Size"})
        sort->popupMenu()->addItem(item, 213);
    menu.addItem("Thumbnails", 216);
    menu.applyStyle(oxGuiStyle{});
    menu.setFgColour({255, 0, 0});
    sort->popupMenu()->setFgColour({0, 255, 0});
    menu.placeAt(c.x, c.y);
    menu.onMouseMove(-1, sort->getPosition().x + 4, sort->getPosition().y + sort->getSize().height / 2);
    ASSERT_TRUE(sort->isOpen());
    menu.render();
    glSaveArtifact(std::string("gui_menu_") + c.name, W, H);
    const PixelRect outer = windowRect(menu), inner = windowRect(*sort->popupMenu());
    for (const PixelRect& r : {outer, inner})
        EXPECT_TRUE(r.x >= 0 && r.y >= 0 && r.x + r.w <= W && r.y + r.h <= H) << r.x << "," << r.y;
    // Neither hides the other's entries.
    EXPECT_TRUE(inner.x >= outer.x + outer.w - 3 || inner.x + inner.w <= outer.x);
    // What is drawn is where the menus are: the frames are their edges (the submenu may cover the menu's right one).
    const GLFrame frame(W, H);
    const PixelBox red = frame.find(RED), green = frame.find(GREEN);
    const auto edges = [](const PixelBox& b) { return std::vector{b.left, b.top, b.right, b.bottom}; };
    EXPECT_EQ(edges(green), (std::vector{inner.x, inner.y, inner.x + inner.w - 1, inner.y + inner.h - 1}));
    expectInside(red, outer, "menu");
    EXPECT_EQ(std::tuple(red.left, red.top, red.bottom), std::tuple(outer.x, outer.y, outer.y + outer.h - 1));
    // A menu dims nothing around it, but its fill covers the (white) scene.
    const PixelRect first = windowRect(*static_cast<oxGuiContainer*>(menu.content())->child(0));
    EXPECT_GT(frame.at(W - 1 - std::clamp(c.x, 0, W - 1), H - 1 - std::clamp(c.y, 0, H - 1))[1], 250);
    EXPECT_LT(frame.at(outer.x + 4, first.y + first.h / 2)[1], 20);
}

INSTANTIATE_TEST_SUITE_P(Edges, MenuAtEdges,
                         testing::Values(EdgeCase{"left", -20, H / 2}, EdgeCase{"right", W - 5, H / 2},
                                         EdgeCase{"top", W / 2, -3}, EdgeCase{"bottom", W / 2, H - 5},
                                         EdgeCase{"bottom_right", W - 1, H - 1}, EdgeCase{"top_left", 0, 0}),
                         [](const testing::TestParamInfo<EdgeCase>& info) { return std::string(info.param.name); });
