// The single-picture view without a display: what it asks of the loader
// and the application, the fade's life, the texts of its lines and menu,
// the exposure panel's values and the geometry of tiles and navigator.
#include "viewtest.h"

#include "app/configkeys.h"
#include "app/crossfade.h"
#include "app/exposurepanel.h"
#include "app/exposureshader.h"
#include "app/imagedisplay.h"
#include "app/imagemenu.h"
#include "app/navigator.h"
#include "app/picturedraw.h"

#include "oxengine/config.h"
#include "oxengine/files.h"
#include "oxengine/format.h"
#include "oxengine/graphics/shader.h"
#include "oxengine/gui/container.h"
#include "oxengine/gui/guimenu.h"
#include "oxengine/gui/slider.h"
#include "support/testsupport.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>

namespace {

class ImageView : public ::testing::Test {
protected:
    void SetUp() override
    {
        setenv("XDG_CONFIG_HOME", m_home.path().c_str(), 1);
        oxConfig::initialize("Quorvel Software", "Pictavo");
        if (!oxFilename::isInitialized())
            oxFilename::initialize("imagedisplay_test");
        app.transform = &transform;
        transform.setView(&view);
    }
    TempDir m_home;
    FakeFramework framework{800, 600};
    FakeViewApp app{&framework};
    FakeLoader loader;
    ImageDisplay view{&app, &loader};
    FotoTransform transform{nullptr, &framework};
};

} // namespace

TEST_F(ImageView, QuickSuccessionReleasesTheFadingPictureAndRestartsTheFade)
{
    view.showPicture("/p/a.jpg");
    EXPECT_EQ(view.currentPicture(), loader.record("/p/a.jpg"));
    EXPECT_FALSE(view.isFading()); // nothing to fade from
    transform.scrollTo(0, 0);

    view.showPicture("/p/b.jpg");
    EXPECT_EQ(view.crossFade().previous(), loader.record("/p/a.jpg"));
    EXPECT_DOUBLE_EQ(view.crossFade().fade(), 1.0);
    EXPECT_TRUE(framework.hasIdle(&view));
    view.idle(100000);
    EXPECT_NEAR(view.crossFade().fade(), 0.8, 1e-12);

    view.showPicture("/p/c.jpg");
    EXPECT_EQ(loader.usesOf("/p/a.jpg"), 0); // released at once
    EXPECT_EQ(view.crossFade().previous(), loader.record("/p/b.jpg"));
    EXPECT_DOUBLE_EQ(view.crossFade().fade(), 1.0);
    EXPECT_EQ(loader.inUse(), 2);

    // The fade runs its length in wall time, then lets go of the old one.
    for (int i = 0; i < 4; ++i)
        view.idle(100000);
    EXPECT_EQ(view.crossFade().previous(), loader.record("/p/b.jpg"));
    view.idle(100001);
    EXPECT_EQ(view.crossFade().previous(), nullptr);
    EXPECT_EQ(loader.usesOf("/p/b.jpg"), 0);
    EXPECT_FALSE(framework.hasIdle(&view));
    EXPECT_DOUBLE_EQ(view.crossFade().previousScale(), 1.0);
}

TEST_F(ImageView, ShowingTheSamePictureAgainHoldsItTwice)
{
    view.showPicture("/p/a.jpg");
    view.showPicture("/p/a.jpg");
    EXPECT_EQ(loader.usesOf("/p/a.jpg"), 2);
    view.shutDown();
    EXPECT_EQ(loader.inUse(), 0);
    EXPECT_FALSE(framework.hasIdle(&view));
}

TEST_F(ImageView, ZeroAnimationLengthEndsTheFadeOnTheNextIdleCall)
{
    writeConfigInt(ConfigKey::AnimLengthUs, 0);
    view.showPicture("/p/a.jpg");
    view.showPicture("/p/b.jpg");
    EXPECT_EQ(view.crossFade().length(), 1);
    view.idle(0);
    EXPECT_EQ(view.crossFade().previous(), nullptr);
    EXPECT_FALSE(framework.hasIdle(&view));
    EXPECT_EQ(loader.inUse(), 1);
}

TEST_F(ImageView, FadeRemembersTheOldScaleAndOffset)
{
    view.showPicture("/p/a.jpg");
    view.setDisplayScale(2.0);
    transform.zoomTo(3.0, true, 0.5, 0.5);
    transform.scrollTo(123, 45);
    const double x = transform.offsetX(), y = transform.offsetY();
    view.showPicture("/p/b.jpg");
    EXPECT_DOUBLE_EQ(view.crossFade().previousScale(), 3.0);
    EXPECT_DOUBLE_EQ(view.crossFade().previousOffsetX(), x);
    EXPECT_DOUBLE_EQ(view.crossFade().previousOffsetY(), y);
}

TEST_F(ImageView, FailedLoadsSayWhy)
{
    view.showPicture("/p/missing.jpg");
    EXPECT_EQ(view.currentPicture(), nullptr);
    EXPECT_EQ(view.overlays().pictureTextLine().text(), "[Error loading image.]");
    EXPECT_EQ(view.overlays().fileNameLine().text(), "/p/missing.jpg");
    EXPECT_EQ(view.contentSize(), (oxGuiSize{256, 256}));

    // A record without tiles: its note, no details, no picture to measure.
    view.showPicture("/p/broken.jpg");
    EXPECT_FALSE(view.hasPicture());
    EXPECT_EQ(view.overlays().pictureTextLine().text(), "[Error while loading: damaged]");
    EXPECT_EQ(view.overlays().detailLine().text(), "");
    EXPECT_EQ(view.contentSize(), (oxGuiSize{256, 256}));
    EXPECT_FALSE(view.exposurePanel().isVisible());
}

TEST_F(ImageView, CommandsGoToTheApplication)
{
    for (unsigned c : {200u, 201u, 203u, 208u, 211u})
        EXPECT_TRUE(view.onCommand(c)) << c;
    // Save and delete need a picture: nothing was shown.
    EXPECT_EQ(app.calls, (std::vector<std::string>{"step -1", "step 1", "folder"}));
    for (unsigned c : {199u, 204u, 209u, 212u, 213u})
        EXPECT_FALSE(view.onCommand(c)) << c;

    view.showPicture("/p/a.jpg");
    app.calls.clear();
    EXPECT_TRUE(view.onCommand(CMD_VIEW_DELETE));
    EXPECT_TRUE(view.onCommand(CMD_VIEW_SAVE_AS)); // no tiles: nothing to save
    EXPECT_EQ(app.calls, (std::vector<std::string>{"delete /p/a.jpg"}));

    transform.zoomTo(0.5, true, 0.5, 0.5);
    EXPECT_TRUE(view.onCommand(CMD_VIEW_ORIGINAL_SIZE));
    EXPECT_DOUBLE_EQ(transform.zoom(), 1.0);

    app.calls.clear();
    EXPECT_TRUE(view.onClick(0, 10, 10));
    EXPECT_FALSE(view.onClick(1, 10, 10));
    EXPECT_EQ(app.calls, (std::vector<std::string>{"step 1"}));
}

TEST_F(ImageView, StyleSetsOverlayHeightsAndColours)
{
    oxGuiStyle style;
    style.textHeight = 24;
    style.fgColour = oxColour(200, 100, 0, 255);
    style.bgColour = oxColour(0, 0, 100, 170);
    view.applyStyle(style);
    const ViewOverlays& o = view.overlays();
    for (const oxGLUTOverlay* line : {&o.zoomLabel(), &o.fileNameLine(), &o.pictureTextLine(), &o.detailLine()}) {
        EXPECT_DOUBLE_EQ(line->textHeight(), 26.0); // (24 x 11 + 5) / 10
        EXPECT_EQ(line->backgroundColour(), style.bgColour);
    }
    EXPECT_EQ(o.zoomLabel().colour(), style.fgColour);
    EXPECT_EQ(o.fileNameLine().colour(), style.fgColour);
    EXPECT_EQ(o.detailLine().colour(), style.fgColour.blend(style.bgColour, 0.14f));
    EXPECT_EQ(o.pictureTextLine().colour(), oxColour(171, 85, 14, 255));
    EXPECT_EQ(view.exposurePanel().getBgColour(), oxColour(35, 17, 82, 170));
}

TEST(ViewOverlays, TextsOfTheZoomAndDetailLines)
{
    EXPECT_EQ(ViewOverlays::zoomText(1.0), "100 %");
    EXPECT_EQ(ViewOverlays::zoomText(0.12345), "12 %");
    EXPECT_EQ(ViewOverlays::zoomText(0.125), "13 %");
    EXPECT_EQ(ViewOverlays::zoomText(16.0), "1600 %");
    EXPECT_EQ(ViewOverlays::zoomText(std::nan("")), "0 %");
    const std::string detail = ViewOverlays::detailText(86400.0 * 365, 1536000, 4000, 3000);
    EXPECT_EQ(detail, formatDateTime(86400.0 * 365, true, "%c") + "  -  1.536 MB  -  4000 x 3000 pixels");
}

TEST(ImageMenu, EntriesInOrderWithTheInfoEntryFollowingTheLevel)
{
    const char* info[] = {"Show image information", "Show more image information", "Hide image information"};
    for (int level = 0; level < 3; ++level) {
        std::unique_ptr<oxGuiPopupMenu> menu = buildImageMenu(level, nullptr);
        auto* column = dynamic_cast<oxGuiContainer*>(menu->content());
        ASSERT_NE(column, nullptr);
        std::vector<std::pair<std::string, int>> entries;
        for (size_t i = 0; i < column->childCount(); ++i) {
            if (auto* item = dynamic_cast<oxGuiMenuItem*>(column->child(i)))
                entries.emplace_back(item->getText(), item->getCommand());
            else
                entries.emplace_back("-", 0);
        }
        const std::vector<std::pair<std::string, int>> expected = {
            {"Back", 200}, {"Next", 201}, {"Original size", 202}, {"-", 0},        {"Save as...", 208},
            {"Delete", 211}, {"-", 0},    {info[level], 213},    {"Select folder...", 203}, {"Thumbnails", 212}};
        EXPECT_EQ(entries, expected) << level;
    }
}

TEST(ExposurePanel, StartValuesFollowTheSamples)
{
    ExposurePanel panel;
    panel.startFor({0.25, 0.4, 5.0});
    EXPECT_DOUBLE_EQ(panel.blackPoint().getValue(), 0.0); // samples all >= 0
    EXPECT_DOUBLE_EQ(panel.blackPoint().getMaximum(), 5.0);
    EXPECT_DOUBLE_EQ(panel.whitePoint().getValue(), 0.8); // twice the middle
    EXPECT_DOUBLE_EQ(panel.whitePoint().getMaximum(), 5.5);
    EXPECT_DOUBLE_EQ(panel.gamma().getValue(), 1.0);
    EXPECT_DOUBLE_EQ(panel.gamma().getMinimum(), 0.3);
    EXPECT_DOUBLE_EQ(panel.gamma().getMaximum(), 3.0);
    EXPECT_DOUBLE_EQ(panel.saturation().getValue(), 1.0);
    EXPECT_DOUBLE_EQ(panel.saturation().getMinimum(), 0.4);
    EXPECT_DOUBLE_EQ(panel.saturation().getMaximum(), 2.5);

    panel.startFor({-2.0, 3.0, 4.0});
    EXPECT_DOUBLE_EQ(panel.blackPoint().getValue(), -2.0); // at the negative minimum
    EXPECT_DOUBLE_EQ(panel.whitePoint().getValue(), 4.0);  // never above the maximum
    // The ranges while drawn keep both start values.
    panel.updateRanges({-2.0, 3.0, 4.0});
    EXPECT_DOUBLE_EQ(panel.blackPoint().getValue(), -2.0);
    EXPECT_DOUBLE_EQ(panel.whitePoint().getValue(), 4.0);
    EXPECT_DOUBLE_EQ(panel.whitePoint().getMaximum(), 8.0);
    EXPECT_DOUBLE_EQ(panel.whitePoint().getMinimum(), -2.0);
    panel.gamma().setValue(2.0);
    panel.updateRanges({-2.0, 3.0, 4.0});
    const Exposure e = panel.exposure();
    EXPECT_DOUBLE_EQ(e.blackPoint, -2.0);
    EXPECT_DOUBLE_EQ(e.whitePoint, 4.0);
    EXPECT_DOUBLE_EQ(e.gamma, 2.0);
    EXPECT_DOUBLE_EQ(e.saturation, 1.0);
}

TEST(ExposurePanel, WidthIsClampedAndThePanelSitsBottomLeft)
{
    ExposurePanel panel;
    for (auto [window, width] : {std::pair{500, 300}, std::pair{556, 300}, std::pair{700, 444}, std::pair{856, 600},
                                 std::pair{1920, 600}}) {
        panel.layoutFor({window, 700}, 20);
        EXPECT_EQ(panel.getSize().width, width) << window;
        EXPECT_EQ(panel.getPosition().x, 0);
        EXPECT_EQ(panel.getPosition().y + panel.getSize().height, 700);
        EXPECT_EQ(panel.getSize().height, 4 * 24); // four sliders of h + 4
    }
}

TEST(CrossFade, RunsItsLengthLinearlyAndAtLeastAMicrosecondPerStep)
{
    LoadedPicture old;
    CrossFade fade;
    EXPECT_FALSE(fade.advance(1000)); // none runs
    fade.start(&old, 2.0, 10, 20, 1000);
    EXPECT_DOUBLE_EQ(fade.opacity(), 0.0);
    EXPECT_FALSE(fade.advance(250));
    EXPECT_DOUBLE_EQ(fade.fade(), 0.75);
    EXPECT_DOUBLE_EQ(fade.opacity(), 0.25);
    EXPECT_FALSE(fade.advance(0));
    EXPECT_DOUBLE_EQ(fade.fade(), 0.749);
    EXPECT_TRUE(fade.advance(749));
    EXPECT_EQ(fade.take(), &old);
    EXPECT_EQ(fade.previous(), nullptr);
    EXPECT_DOUBLE_EQ(fade.previousScale(), 1.0);
    fade.start(&old, 1.0, 0, 0, 1000000000);
    EXPECT_EQ(fade.length(), 10000000);
}

TEST(PictureTiles, NeighboursMeetOnTheSharedTexelAndTheMarginIsNotDrawn)
{
    // 1000 x 300 in tiles of 256 x 256: columns start at 0, 255, 510, 765.
    LoadedPicture p;
    p.imageWidth = 1000, p.imageHeight = 300;
    p.tileWidth = p.tileHeight = 256;
    for (double scale : {0.07, 1.0, 3.3}) {
        SCOPED_TRACE(scale);
        std::vector<TileQuad> row;
        for (int c = 0; c < kMaxTiles; ++c) {
            TileQuad q;
            if (tileQuad(p, c, 0, scale, q))
                row.push_back(q);
        }
        ASSERT_EQ(row.size(), 4u);
        EXPECT_DOUBLE_EQ(row[0].x0, -0.5 * scale);
        EXPECT_FLOAT_EQ(row[0].u0, 0.0f);
        for (size_t c = 0; c + 1 < row.size(); ++c) {
            EXPECT_DOUBLE_EQ(row[c].x1, row[c + 1].x0);
            EXPECT_DOUBLE_EQ(row[c].x1, 255.0 * (c + 1) * scale);
            // Both sides sample the centre of the shared texel.
            EXPECT_FLOAT_EQ(row[c].u1, 255.5f / 256);
            EXPECT_FLOAT_EQ(row[c + 1].u0, 0.5f / 256);
        }
        // The last tile ends at the picture's edge, not at the tile's.
        EXPECT_DOUBLE_EQ(row[3].x1, 999.5 * scale);
        EXPECT_FLOAT_EQ(row[3].u1, (1000.0f - 765) / 256);
        TileQuad q;
        EXPECT_TRUE(tileQuad(p, 0, 1, scale, q));
        EXPECT_DOUBLE_EQ(q.y1, 299.5 * scale);
        EXPECT_FALSE(tileQuad(p, 0, 2, scale, q));
    }
    // A one-pixel picture is one texel wide around its centre.
    LoadedPicture dot;
    dot.imageWidth = dot.imageHeight = dot.tileWidth = dot.tileHeight = 1;
    TileQuad q;
    ASSERT_TRUE(tileQuad(dot, 0, 0, 8.0, q));
    EXPECT_DOUBLE_EQ(q.x0, -4.0);
    EXPECT_DOUBLE_EQ(q.x1, 4.0);
    EXPECT_FLOAT_EQ(q.u1, 1.0f);
    EXPECT_DOUBLE_EQ(pixelCentreOrigin(-10.3), 10.5);
    EXPECT_DOUBLE_EQ(pixelCentreOrigin(-10.7), 10.5);
    EXPECT_DOUBLE_EQ(pixelCentreOrigin(3.0), -2.5);
}

TEST(Navigator, ShownOnlyForPicturesLargerThanTheWindow)
{
    // Fits: no navigator, also just below the window size.
    EXPECT_FALSE(navigatorLayout({800, 600}, 800, 600, 1.0, 1.0, 0, 0, 256).shown);
    EXPECT_FALSE(navigatorLayout({800, 600}, 805, 600, 1.0, 1.0, 0, 0, 256).shown);
    EXPECT_FALSE(navigatorLayout({800, 600}, 0, 0, 1.0, 1.0, 0, 0, 256).shown);

    // Twice the window: f = 0.5, alpha 250; the view's half of it marked.
    const NavigatorLayout n = navigatorLayout({800, 600}, 1600, 1200, 1.0, 1.0, 800, 0, 256);
    ASSERT_TRUE(n.shown);
    EXPECT_EQ(n.alpha, 250);
    EXPECT_EQ(n.square, (oxGuiPointD{544, 344}));
    EXPECT_DOUBLE_EQ(n.fit.scale, 0.16);
    EXPECT_DOUBLE_EQ(n.fit.marginY, (256 - 1200 * 0.16) / 2);
    EXPECT_DOUBLE_EQ(n.markPosition.x, 544 + 128);
    EXPECT_DOUBLE_EQ(n.markPosition.y, 344 + n.fit.marginY);
    EXPECT_DOUBLE_EQ(n.markSize.width, 128);
    EXPECT_DOUBLE_EQ(n.markSize.height, 96);
    // Far larger: alpha saturates.
    EXPECT_EQ(navigatorLayout({800, 600}, 8000, 6000, 1.0, 1.0, 0, 0, 256).alpha, 255);
}

TEST(ExposureShader, WithoutFragmentShadersPicturesAreDrawnPlainlyWithoutAMessage)
{
    MessageCapture boxes;
    oxOverrideShaderDriver(oxShaderDriverHooks{[](const char*) { return false; }, [](const char*) -> void* {
                                                   return nullptr;
                                               }});
    ExposureShader shader;
    EXPECT_FALSE(shader.bind());
    EXPECT_FALSE(shader.exists());
    shader.setExposure(0, 1, 1, 1); // no program: nothing happens
    EXPECT_EQ(boxes.count(), 0u);

    // Announced but not delivered: one box, not one per frame.
    oxOverrideShaderDriver(oxShaderDriverHooks{[](const char*) { return true; }, [](const char*) -> void* {
                                                   return nullptr;
                                               }});
    EXPECT_FALSE(shader.bind());
    EXPECT_FALSE(shader.bind());
    ASSERT_EQ(boxes.count(), 1u);
    EXPECT_EQ(boxes.messages()[0].title, "expshader create error");
    EXPECT_TRUE(shader.hasFailed());
    oxOverrideShaderDriver(std::nullopt);
}
