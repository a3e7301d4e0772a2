// The thumbnail sheet drawn into a real GL context and read back.
#include "../viewtest.h"
#include "fakethumbnails.h"

#include "app/prepare/preparesteps.h"
#include "app/views/thumbnails/sheetdraw.h"
#include "app/views/thumbnails/thumbnaildisplay.h"

#include "oxengine/core/format.h"
#include "oxengine/core/strings.h"
#include "oxengine/graphics/fontmanager.h"
#include "oxengine/graphics/softframe.h"
#include "oxengine/graphics/texsupport.h"
#include "oxengine/gui/progressbar.h"
#include "support/gltest.h"
#include "tests/app/apptest.h"
#include "tests/oxengine/gui/guitest.h"

#include <GL/gl.h>
#include <gtest/gtest.h>

#include <optional>

#include <sys/stat.h>

namespace {

const oxColour RED(255, 0, 0), GREEN(0, 255, 0), BLUE(0, 0, 255), YELLOW(255, 255, 0);
const int W = 640, H = 480;

class SheetGL : public testing::Test {
protected:
    void SetUp() override
    {
        if (!glTestContext(W, H))
            GTEST_SKIP() << "no X display with GLX";
        // As the application sets it up.
        glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
        glClearColor(0, 0, 0, 1);
        glClear(GL_COLOR_BUFFER_BIT);
        m_text.setFont(GLFontManager::getFont("arial"));
    }
    void TearDown() override
    {
        for (auto& r : m_records)
            r->releaseTiles();
        GLFontManager::releaseAll();
    }
    // A record with tiles of width x height; full: the width of the picture it stands for.
    LoadedPicture* record(int width, int height, const std::function<oxColour(int x, int y)>& pixel, int full = 0)
    {
        m_records.push_back(std::make_unique<LoadedPicture>());
        fill(*m_records.back(), *picture(width, height, pixel), full);
        return m_records.back().get();
    }
    static std::unique_ptr<oxImage> picture(int width, int height, const std::function<oxColour(int x, int y)>& pixel)
    {
        return imageOf<oxColour>(uint32_t(width), uint32_t(height),
                                 [&](uint32_t x, uint32_t y) { return pixel(int(x), int(y)); });
    }
    static void fill(LoadedPicture& r, oxImage& image, int full = 0)
    {
        const int width = int(image.width()), height = int(image.height());
        r.imageWidth = r.fullWidth = width;
        r.imageHeight = r.fullHeight = height;
        if (full > 0)
            r.fullWidth = full, r.fullHeight = full * height / width;
        const oxTextureCapabilities caps = textureCapabilities();
        uploadTiles(image, planTiles(width, height, caps.maxTextureSize, caps.npotTextures), MIPMAP_ENGINE, r);
    }
    void cell(LoadedPicture* r, double x, double y, bool selected = false, std::vector<std::string> caption = {})
    {
        CellDrawing c;
        c.position = {x, y};
        c.itemSize = 128;
        c.captionHeight = 17;
        c.selected = selected;
        drawCell(c, r, caption, colours, m_text, nullptr);
    }

    TestSettings m_settings;
    oxTextOutput m_text;
    std::vector<std::unique_ptr<LoadedPicture>> m_records;
    const SheetColours colours{oxColour(255, 255, 255, 255), oxColour(0, 0, 0, 170)};
    // For the whole sheet.
    FakeFramework framework{W, H};
    FakeViewApp app{&framework};
    FakeThumbnails thumbnails;
};

} // namespace

// Pictures upright, undistorted and never enlarged; a broken thumbnail's mark, the selection's veil, and a long
// caption stopping at the cell's edge.
TEST_F(SheetGL, CellsCaptionsAndProgress)
{
    const oxColour cellColour = colours.cell();
    // Tall, wide, small, and a 64 x 48 thumbnail of a 1600 x 1200 picture.
    cell(record(64, 128, [](int, int y) { return y < 64 ? RED : BLUE; }), 0, 0);
    cell(record(128, 32, [](int x, int) { return x < 64 ? RED : GREEN; }), 150, 0);
    cell(record(40, 20, [](int, int) { return YELLOW; }), 300, 0);
    cell(record(64, 48, [](int, int) { return GREEN; }, 1600), 450, 0);
    LoadedPicture broken; // made, but without tiles
    broken.note = "[Error while loading: damaged]";
    cell(&broken, 0, 150);
    cell(nullptr, 150, 150, true); // not made yet, selected
    cell(nullptr, 0, 300, false, {"a_very_long_file_name_that_goes_on_and_on_and_on.jpg"});
    const GLFrame p(W, H);
    glSaveArtifact("thumbnails_cells", W, H);
    struct Probe {
        int x, y;
        oxColour colour;
    } probes[] = {
        {64, 10, RED},   {64, 118, BLUE},        {20, 64, cellColour}, {108, 64, cellColour}, // 64 wide, centred
        {35, 80, BLUE},  {92, 80, BLUE},                                                       // ... to its edges
        {160, 64, RED},  {270, 64, GREEN},       {214, 40, cellColour}, {214, 88, cellColour}, // 32 high
        {364, 64, YELLOW}, {345, 55, YELLOW},    {340, 64, cellColour}, {388, 64, cellColour}, // 40 x 20, 1:1
        {364, 50, cellColour},
        {452, 64, GREEN}, {575, 64, GREEN},      {514, 10, cellColour},                        // fills the width
    };
    for (const Probe& probe : probes)
        EXPECT_TRUE(p.near(probe.x, probe.y, probe.colour, 10))
            << probe.x << "," << probe.y << " is " << p.text(probe.x, probe.y);

    EXPECT_GT(p.count(nearColour(colours.broken(), 2), {0, 150, 128, 128}), 200) << "the mark is plainly visible";
    // Red at alpha 80 over the square's colour.
    const oxColour c = colours.cell();
    auto veiled = [](int under, int red) { return uint8_t((red * 80 + under * (255 - 80)) / 255); };
    EXPECT_TRUE(p.near(214, 214, oxColour(veiled(c.r, 255), veiled(c.g, 0), veiled(c.b, 0)), 3)) << p.text(214, 214);
    const PixelRect caption{0, 300 + 128 - 17, 128, 17}, beside{128, 300 + 128 - 17, 172, 17};
    EXPECT_GT(p.count([](int r, int, int) { return r > 120; }, caption), 50) << "glyph pixels, white on dark";
    EXPECT_EQ(p.count([](int r, int g, int b) { return r + g + b > 0; }, beside), 0);

    // Captions name the file or its comment and tell date and sizes.
    LoadedPicture* r = record(8, 8, [](int, int) { return RED; });
    r->name = "/p/dir/a.jpg";
    r->text = "A comment";
    r->fullWidth = 4000, r->fullHeight = 3000;
    r->fileSize = 2500000;
    EXPECT_EQ(captionLines("/p/dir/a.jpg", nullptr, {true, true, true}), std::vector<std::string>{"a.jpg"})
        << "no thumbnail yet: the name only";
    EXPECT_EQ(captionLines("/p/dir/a.jpg", r, {true, false, false}), std::vector<std::string>{"A comment"});
    EXPECT_EQ(captionLines("/p/dir/b.jpg", r, {true, false, false}), std::vector<std::string>{"b.jpg"})
        << "another file's record";
    EXPECT_EQ(captionLines("/p/dir/a.jpg", r, {false, true, true}),
              (std::vector<std::string>{"a.jpg", formatDateTime(0, true, "%c"), "4000 x 3000", "2.5 MB"}));
    LoadedPicture unmade;
    unmade.name = "/p/dir/a.jpg";
    EXPECT_EQ(captionLines("/p/dir/a.jpg", &unmade, {false, true, true}), std::vector<std::string>{"a.jpg"})
        << "a thumbnail that could not be made has no date or sizes";

    // The sheet's first frame waits on the cells on screen having their thumbnails, the progress bar on nothing queued.
    std::vector<std::string> pictures;
    for (int i = 0; i < 200; ++i)
        pictures.push_back("/p/" + std::to_string(i) + ".jpg");
    ThumbnailDisplay view(&app, pictures, thumbnails, thumbnails, {});
    view.applyGlobalStyle();
    view.progressShowing().delay = 0;
    thumbnails.progressNow = {3, 10};
    glClear(GL_COLOR_BUFFER_BIT);
    view.drawView(1);
    const GLFrame progress(W, H);
    glSaveArtifact("thumbnails_progress", W, H);
    oxGuiProgressBar& bar = view.progressBar();
    ASSERT_TRUE(bar.isVisible()); // 3 of 10: read back below
    const oxGuiSlider::Track track = bar.track();
    const int y = track.position.y + track.size.height / 2;
    const int filled = track.position.x + int(0.3 * track.size.width);
    const oxColour white(255, 255, 255);
    EXPECT_TRUE(progress.near(track.position.x + 2, y, white, 10)) << progress.text(track.position.x + 2, y);
    EXPECT_TRUE(progress.near(filled - 3, y, white, 10));
    EXPECT_FALSE(progress.near(filled + 3, y, white, 10)) << "70 % of the track still to go";
    {
        GuiTestApp running; // the bar's widgets ask the running application for frames
        thumbnails.progressNow = {4, 10};
        view.drawView(1);
        view.drawView(1);
        EXPECT_EQ(bar.getValue(), 4);
        EXPECT_EQ(running.redisplays, 0) << "a frame showing new progress asks for no other: it would never rest";
    }

    thumbnails.progressNow = {};
    glClear(GL_COLOR_BUFFER_BIT);
    view.drawView(1);
    EXPECT_FALSE(bar.isVisible()) << "nothing queued";
    EXPECT_FALSE(GLFrame(W, H).near(filled - 3, y, white, 10));

    FotoTransform transform{nullptr, &framework};
    app.transform = &transform;
    transform.setView(&view);
    transform.zoomTo(1.0, true, 0.0, 0.0);
    transform.scrollTo(0, 0);
    view.drawView(1);
    EXPECT_FALSE(view.visibleCellsReady());
    for (size_t i = 0; i + 1 < pictures.size(); ++i) // the last one is far below the screen
        thumbnails.add(pictures[i]).note = "[Error while loading: damaged]";
    EXPECT_TRUE(view.visibleCellsReady());
    thumbnails.records.erase(pictures[0]);
    EXPECT_FALSE(view.visibleCellsReady());
}

// The sheet's first frame is drawn without GL before the window is up, and the view's own first frame takes
// its place: any difference between the two shows as a flicker.
TEST_F(SheetGL, FirstFrameDrawnWithoutGLLooksLikeTheSheetsFirstFrame)
{
    TempDir dir;
    // A tree opened down to the folder, and a name the panel cuts off.
    for (const char* sub : {"holiday", "work", "a folder whose name is longer than the panel is wide"})
        mkdir(dir.file(sub).c_str(), 0755);
    const std::string folder = dir.file("holiday");
    std::vector<std::string> pictures;
    std::vector<std::unique_ptr<oxImage>> images;
    for (int i = 0; i < 14; ++i) {
        pictures.push_back(folder + formatString("/p%02d.jpg", i));
        // Wide, tall and small ones, in stripes that any misplaced texel shows.
        const int w = i % 3 == 0 ? 200 : i % 3 == 1 ? 96 : 40, h = i % 3 == 0 ? 150 : i % 3 == 1 ? 128 : 30;
        images.push_back(picture(w, h, [i](int x, int y) {
            return oxColour(uint8_t(x * 37 + i * 20), uint8_t((x / 3 + y / 5) % 2 ? 220 : 30), uint8_t(y * 11));
        }));
        images.back()->setComponents(3); // opaque, as the cache's are
    }
    const int fullExtent = 1600; // the small ones are thumbnails of large pictures
    ThumbnailDisplay view(&app, pictures, thumbnails, thumbnails, {oxFilename(dir.path())});
    view.applyGlobalStyle();
    oxSoftFrame soft(W, H, oxColour(0, 0, 0));
    ASSERT_TRUE(view.drawFirstFrame(soft, pictures, folder, [&](int i) {
        return std::optional<ThumbnailDisplay::FirstFrameThumbnail>({images[size_t(i)]->clone(), fullExtent});
    }));

    // The view as the application opens it: fitted, at the top, every thumbnail there.
    for (size_t i = 0; i < pictures.size(); ++i)
        fill(thumbnails.add(pictures[i]), *images[i], fullExtent);
    FotoTransform transform{nullptr, &framework};
    app.transform = &transform;
    view.setFolder(folder);
    transform.setView(&view);
    transform.refit();
    transform.scrollTo(transform.minimumOffsetX(), transform.minimumOffsetY());
    glClear(GL_COLOR_BUFFER_BIT);
    view.drawView(1);
    const GLFrame gl(W, H);
    glSaveArtifact("thumbnails_first_frame", W, H);
    const GLFrame::Distance d = gl.distanceTo(soft.pixels(), 16);
    EXPECT_LE(d.worstBlock, 4);
    EXPECT_LE(d.farPixels, W * H / 500);
    for (auto& [name, r] : thumbnails.records)
        r->releaseTiles();
}
