// The thumbnail sheet without a display; its first frame drawn on several threads (ThreadSanitizer runs this).
#include "../viewtest.h"
#include "fakethumbnails.h"

#include "app/shell/commands.h"
#include "app/shell/configkeys.h"
#include "app/views/thumbnails/folderpanel.h"
#include "app/views/thumbnails/sheetgrid.h"
#include "app/views/thumbnails/thumbnaildisplay.h"
#include "app/views/thumbnails/thumbnailmenu.h"

#include "oxengine/graphics/softframe.h"
#include "oxengine/gui/folderselector.h"
#include "oxengine/platform/sound.h"
#include "support/switches.h"
#include "tests/app/apptest.h"

#include <gtest/gtest.h>

#include <atomic>
#include <optional>
#include <random>

namespace {

const SheetMetrics METRICS{100, 20, 128, 2}; // pitch 130

// The centre of cell index in ten columns.
oxGuiPoint at(int index)
{
    const oxGuiPointD o = cellOrigin(METRICS, {10, 3}, index);
    return {int(o.x) + 64, int(o.y) + 64};
}

} // namespace

TEST(SheetGrid, LayoutHitsAndVisibleRowsFollowTheWindowAndTheCount)
{
    const struct {
        int window, count, columns, rows;
    } cases[] = {
        {1920, 300, 11, 28}, // (1920 - 400) / 128
        {1000, 0, 4, 1},     // an empty list still has a row
        {1000, 4, 4, 1},     {1000, 5, 4, 2},
        {500, 7, 3, 3},      // narrower than the margin and 1.5 items: still 3 columns
        {100, 1, 3, 1},
    };
    const SheetMetrics m{400, 50, 256, 5};
    for (const auto& c : cases) {
        const SheetGrid g = sheetGrid(m, c.window, c.count);
        EXPECT_EQ(g.columns, c.columns) << c.window << " " << c.count;
        EXPECT_EQ(g.rows, c.rows) << c.window << " " << c.count;
    }
    const SheetGrid g{11, 28};
    // 28 rows are taller than a window of that aspect (a lower sheet: the view's tests).
    EXPECT_EQ(sheetContentSize(m, g, {1920, 1200}), (oxGuiSize{3271, 28 * 261 + 50}));

    // The hit test finds pictures and nothing else.
    const SheetGrid grid = sheetGrid(METRICS, 800, 25); // 10 columns, 3 rows
    ASSERT_EQ(grid.columns, 10);
    const struct {
        SheetView view;
        int x, y, count, index;
        bool searchLine;
    } hits[] = {
        {{1, 0, 0}, 99, 50, 25, -1, false},   // folder panel
        {{1, 0, 0}, 150, 19, 25, -1, false},  // title strip
        {{1, 0, 0}, 100, 20, 25, 0, false},   // first cell's corner
        {{1, 0, 0}, 229, 149, 25, 0, false},  // its borders belong to it
        {{1, 0, 0}, 230, 20, 25, 1, false},
        {{1, 0, 0}, 100, 150, 25, 10, false},
        {{1, 0, 0}, 100 + 5 * 130, 280, 25, -1, false}, // row 2 holds only 5 pictures
        {{1, 0, 0}, 100 + 10 * 130, 20, 25, -1, false}, // right of the last column
        {{1, 0, 0}, 100 + 4 * 130, 280, 25, 24, false},
        {{0.5, 0, 0}, 50 + 65, 10, 25, 1, false},       // scaled
        {{1, 130, 130}, 100, 20, 25, 11, false},         // scrolled by one cell
        {{1, 0, 0}, 700, 100, 0, -1, true},              // empty list, first row: the search line
    };
    for (const auto& c : hits) {
        const SheetHit hit = sheetHitTest(METRICS, grid, c.count, c.view, c.x, c.y);
        EXPECT_EQ(hit.index, c.index) << c.x << "," << c.y;
        EXPECT_EQ(hit.searchLine, c.searchLine) << c.x << "," << c.y;
    }

    // Visible rows are exactly those that overlap the window.
    std::mt19937 random(7);
    std::uniform_real_distribution<double> scale(0.05, 4.0), offset(-500.0, 20000.0);
    const oxGuiSize window{800, 600};
    const SheetGrid tall = sheetGrid(METRICS, window.width, 2000);
    for (int i = 0; i < 300; ++i) {
        const SheetView v{scale(random), 0, offset(random)};
        RowRange expected{tall.rows, -1};
        for (int row = 0; row < tall.rows; ++row)
            if (cellVisible(cellWindowRect(METRICS, tall, v, row * tall.columns), window))
                expected.first = std::min(expected.first, row), expected.last = row;
        const RowRange rows = visibleRows(METRICS, tall, v, window);
        if (expected.last < 0) {
            EXPECT_GT(rows.first, rows.last) << "scale " << v.scale << " offset " << v.offsetY;
        } else {
            EXPECT_EQ(rows.first, expected.first) << "scale " << v.scale << " offset " << v.offsetY;
            EXPECT_EQ(rows.last, expected.last) << "scale " << v.scale << " offset " << v.offsetY;
        }
    }
}

TEST(SheetSelection, ModifierClicksAndTheMenu)
{
    const struct {
        std::set<int> before;
        int index;
        bool shift;
        std::set<int> after;
    } cases[] = {
        {{}, 4, false, {4}},
        {{4}, 4, false, {}},
        {{2, 9}, 5, true, {2, 3, 4, 5, 9}},   // anchor: greatest below
        {{2, 9}, 12, true, {2, 9, 10, 11, 12}},
        {{2, 9}, 0, true, {0, 1, 2, 9}},      // none below: the smallest
        {{}, 3, true, {3}},                   // an empty selection toggles
        {{2, 9}, -1, false, {}},              // no picture clears
        {{2, 9}, -1, true, {}},
    };
    for (const auto& c : cases) {
        SheetSelection s;
        for (int i : c.before)
            s.ctrlClick(i, false);
        s.ctrlClick(c.index, c.shift);
        EXPECT_EQ(s.indexes(), c.after) << c.index << (c.shift ? " with shift" : "");
    }
    SheetSelection s;
    s.ctrlClick(1, false), s.ctrlClick(3, false);
    s.rightClick(3);
    EXPECT_EQ(s.indexes(), (std::set<int>{1, 3})) << "a selected picture keeps the selection";
    s.rightClick(5);
    EXPECT_EQ(s.indexes(), (std::set<int>{5})) << "an unselected one replaces it";
    s.rightClick(-1);
    EXPECT_EQ(s.indexes(), (std::set<int>{5}));
    EXPECT_EQ(s.within(5), std::vector<int>{}) << "indexes past a shrunk list are left out";

    // The context menu's entries for no, one and several selected pictures.
    ThumbnailMenuState state;
    auto none = buildThumbnailMenu(state, nullptr);
    EXPECT_EQ(menuEntries(*none), (std::vector<std::string>{"Show size=215", "Show date=216", "Show comments=214",
                                                        "Single picture=212", "Sort by>"}));
    state.selected = 1;
    state.showSizes = state.showDate = state.showComments = true;
    auto one = buildThumbnailMenu(state, nullptr);
    EXPECT_EQ(menuEntries(*one),
              (std::vector<std::string>{"Rotate clockwise=204", "Rotate counter-clockwise=205",
                                        "Rotate by 180 degrees=206", "Change comment=207", "-", "Move to...=209",
                                        "Copy to...=210", "Save as...=208", "-", "Hide size=215", "Hide date=216",
                                        "Show file names=214", "Single picture=212", "Sort by>"}));
    state.selected = 2;
    auto two = buildThumbnailMenu(state, nullptr);
    EXPECT_EQ(menuEntries(*two)[7], "Batch conversion...=208");
}

// Quick work never flashes the bar; work that lasts shows it until it is done.
TEST(ProgressShowing, OnlyWorkThatLastsShowsTheBarUntilItIsDone)
{
    struct Step {
        int done, queued;
        double now;
        bool shown;
    };
    const std::vector<std::vector<Step>> runs{
        // 300 from the cache in 0.3 s: never.
        {{0, 300, 0, false}, {100, 300, 0.1, false}, {200, 300, 0.2, false}, {300, 300, 0.3, false}},
        // 300 made at 40 a second: once the rate is known, until the end.
        {{0, 300, 0, false}, {4, 300, 0.1, false}, {10, 300, 0.25, true}, {200, 300, 5, true}, {300, 300, 7.5, false}},
        // One slow picture: after the delay.
        {{0, 1, 0, false}, {0, 1, 0.4, false}, {0, 1, 0.6, true}, {1, 1, 2, false}},
        // New work after the end starts the clock again.
        {{0, 5, 0, false}, {0, 5, 1, true}, {0, 0, 2, false}, {0, 5, 3, false}, {4, 5, 3.1, false}},
    };
    for (size_t r = 0; r < runs.size(); ++r) {
        ProgressShowing showing;
        for (size_t i = 0; i < runs[r].size(); ++i)
            EXPECT_EQ(showing.update(runs[r][i].done, runs[r][i].queued, runs[r][i].now), runs[r][i].shown)
                << "run " << r << " step " << i;
    }
}

// The sheet's first frame drawn without GL: what it leaves to the GL frame.
TEST(SheetFirstFrame, AsksOnlyForTheCellsOnScreenAndRefusesWhatGLWouldDrawOtherwise)
{
    TestSettings settings;
    const int W = 1280, H = 720;
    FakeFramework framework{W, H};
    FakeViewApp app{&framework};
    FakeThumbnails thumbnails;
    std::vector<std::string> pictures;
    for (int i = 0; i < 200; ++i)
        pictures.push_back("/p/sheet/" + std::to_string(i) + ".jpg");
    const auto opaque = oxImageUInt8::create(64, 48), transparent = oxImageUInt8::create(64, 48);
    opaque->setComponents(3);
    using Thumbnail = std::optional<ThumbnailDisplay::FirstFrameThumbnail>;
    ThumbnailDisplay view(&app, pictures, thumbnails, thumbnails, {});
    view.applyGlobalStyle();
    oxSoftFrame frame(W, H, oxColour(0, 0, 0));
    auto drawn = [&](const ThumbnailDisplay::FirstFrameThumbnails& thumbnail, std::vector<int>* missing = nullptr) {
        frame = oxSoftFrame(W, H, oxColour(0, 0, 0));
        return view.drawFirstFrame(frame, pictures, "/p/sheet", thumbnail, missing);
    };
    std::atomic<int> highest{-1}, asked{0};
    EXPECT_TRUE(drawn([&](int index) {
        ++asked;
        for (int seen = highest; index > seen && !highest.compare_exchange_weak(seen, index);) {
        }
        return Thumbnail({opaque->clone(), 0});
    }));
    EXPECT_GT(asked, 0);
    EXPECT_EQ(asked, highest + 1) << "the cells on screen, each once";
    EXPECT_LT(highest, 60);

    const std::vector<uint32_t> whole = frame.pixels();
    const auto lacking3 = [&](int index) { return index == 3 ? std::nullopt : Thumbnail({opaque->clone(), 0}); };
    EXPECT_FALSE(drawn(lacking3)) << "a thumbnail the cache lacks";
    // With a list for them, such cells are drawn empty, and filled in later to the same pixels.
    std::vector<int> missing;
    EXPECT_TRUE(drawn(lacking3, &missing));
    EXPECT_EQ(missing, std::vector<int>{3});
    EXPECT_NE(frame.pixels(), whole);
    const oxGuiRect cell = view.drawFirstFrameCell(frame, pictures, 3, {opaque->clone(), 0});
    EXPECT_FALSE(cell.empty());
    EXPECT_EQ(frame.pixels(), whole);
    EXPECT_FALSE(drawn([&](int) { return Thumbnail({transparent->clone(), 0}); })) << "transparency";
    writeConfigBool(ConfigKey::ShowSizes, true);
    ThumbnailDisplay sizes(&app, pictures, thumbnails, thumbnails, {});
    sizes.applyGlobalStyle();
    EXPECT_FALSE(sizes.drawFirstFrame(frame, pictures, "/p/sheet", [&](int) { return Thumbnail({opaque->clone(), 0}); }))
        << "caption lines beyond the name";
}

// ---- the view ----------------------------------------------------------------------------------

TEST(ThumbnailView, ClicksCommandsFoldersAndSplitter)
{
    TestSettings settings;
    const TempDir& home = settings.dir;
    oxConfig::setInt("ThnListMargin", METRICS.listMargin);
    oxConfig::setInt("ThnTitleMargin", METRICS.titleMargin);
    oxConfig::setInt("ThnItemSize", METRICS.itemSize);
    oxConfig::setInt("ThnBorderWidth", METRICS.borderWidth);
    FakeFramework framework{800, 600};
    FakeViewApp app{&framework};
    FakeThumbnails thumbnails;
    FotoTransform transform{nullptr, &framework};
    app.transform = &transform;
    std::vector<std::string> pictures;
    std::unique_ptr<ThumbnailDisplay> shown;
    // The view over /p/0.jpg ... /p/24.jpg at zoom 1: window points are content units.
    const auto view = [&]() -> ThumbnailDisplay& {
        for (int i = 0; i < 25; ++i)
            pictures.push_back("/p/" + std::to_string(i) + ".jpg");
        shown = std::make_unique<ThumbnailDisplay>(&app, pictures, thumbnails, thumbnails,
                                                   std::vector<oxFilename>{oxFilename(home.path())});
        transform.setView(shown.get());
        transform.zoomTo(1.0, true, 0.0, 0.0);
        transform.scrollTo(0, 0);
        return *shown;
    };
    ThumbnailDisplay& v = view();
    EXPECT_TRUE(v.click(0, at(12).x, at(12).y, KM_CTRL));
    EXPECT_TRUE(v.click(0, at(15).x, at(15).y, KM_CTRL | KM_SHIFT));
    EXPECT_EQ(v.selection().indexes(), (std::set<int>{12, 13, 14, 15}));
    v.click(0, 50, 300, 0); // over the folder panel's place, below its rows
    EXPECT_TRUE(v.selection().empty());
    EXPECT_TRUE(v.click(0, at(24).x, at(24).y, 0));
    EXPECT_EQ(app.calls, std::vector<std::string>{"show 24"});
    EXPECT_FALSE(v.click(1, at(3).x, at(3).y, 0)) << "middle button";

    app.calls.clear();
    SoundRecorder sounds;
    MessageCapture boxes;
    const unsigned commands[] = {CMD_ROTATE_CLOCKWISE, CMD_ROTATE_COUNTER_CLOCKWISE, CMD_ROTATE_HALF,
                                 CMD_CHANGE_COMMENT,   CMD_SAVE_AS,                  CMD_MOVE_TO,
                                 CMD_COPY_TO};
    size_t warnings = 0;
    for (unsigned c : commands) {
        EXPECT_TRUE(v.onCommand(c)) << c;
        // One at a time: the sound layer cuts a burst short.
        const std::vector<std::string> played = sounds.played();
        EXPECT_EQ(played.size(), ++warnings) << c;
        EXPECT_EQ(played.back(), oxSoundEventId(2)) << c;
    }
    EXPECT_TRUE(thumbnails.operations.empty());
    EXPECT_TRUE(app.calls.empty());
    EXPECT_EQ(boxes.count(), 0u);
    EXPECT_FALSE(v.onCommand(CMD_TOGGLE_VIEW)) << "the application's";
    EXPECT_FALSE(v.onCommand(CMD_RESCAN));
    // With a selection: to the loader or the dialogs, in list order.
    v.selection().ctrlClick(7, false);
    v.selection().ctrlClick(2, false);
    thumbnails.add("/p/2.jpg").text = "old words";
    thumbnails.add("/p/7.jpg").hdr = true;
    for (unsigned c : {CMD_SAVE_AS, CMD_MOVE_TO, CMD_COPY_TO})
        v.onCommand(c);
    EXPECT_EQ(app.calls, (std::vector<std::string>{"convert /p/2.jpg mode 0", "convert /p/7.jpg mode 2",
                                                   "move /p/2.jpg", "move /p/7.jpg", "copy /p/2.jpg",
                                                   "copy /p/7.jpg"}));
    for (unsigned c : {CMD_ROTATE_CLOCKWISE, CMD_ROTATE_COUNTER_CLOCKWISE, CMD_ROTATE_HALF})
        v.onCommand(c);
    MessageCapture asked({oxMessageAnswer{MB_OK, "new words"}, oxMessageAnswer{MB_CANCEL, ""}});
    v.onCommand(CMD_CHANGE_COMMENT);
    v.onCommand(CMD_CHANGE_COMMENT); // cancelled: nothing sent
    EXPECT_EQ(thumbnails.operations,
              (std::vector<std::string>{"transform /p/2.jpg rotation 1", "transform /p/7.jpg rotation 1",
                                        "transform /p/2.jpg rotation 3", "transform /p/7.jpg rotation 3",
                                        "transform /p/2.jpg rotation 2", "transform /p/7.jpg rotation 2",
                                        "transform /p/2.jpg rotation 0 comment new words",
                                        "transform /p/7.jpg rotation 0 comment new words"}));
    ASSERT_EQ(asked.count(), 2u);
    EXPECT_TRUE(asked.messages()[0].input);
    EXPECT_EQ(asked.messages()[0].text, "New comment for all selected images:");
    EXPECT_EQ(asked.messages()[0].inputText, "old words") << "the first selected picture's comment";

    // A folder shown clears the selection; an empty one offers the search.
    pictures.clear(); // the application's list, as the new folder leaves it
    app.calls.clear();
    v.setFolder(home.path());
    EXPECT_EQ(thumbnails.updates, 1);
    EXPECT_TRUE(v.selection().empty());
    EXPECT_EQ(v.folderPanel().selector().getSelectedPath(), home.path());
    v.click(0, at(1).x, at(1).y + 130, 0); // second row
    v.click(0, at(1).x, at(1).y, KM_CTRL); // quiet
    EXPECT_TRUE(app.calls.empty());
    v.click(0, at(5).x, at(5).y, 0);
    EXPECT_TRUE(v.onCommand(CMD_FOLDER_CHOSEN));
    EXPECT_EQ(app.calls, (std::vector<std::string>{"search " + home.path(), "open " + home.path()}));

    // A new list: the splitter's drag leaves the panel where it ended; settings are kept and clamped.
    ThumbnailDisplay& sheet = view();
    // Any start width, 0 included: the margin follows the width at the end.
    for (const auto& [began, now] : {std::pair{120, 150}, {0, 200}, {200, 333}, {333, 90}, {90, 420}}) {
        sheet.splitMoved(began, now);
        sheet.contentSize(); // lays the panel out
        EXPECT_NEAR(sheet.folderPanel().getSize().width, now, 0.05 * now) << began << " -> " << now;
        EXPECT_DOUBLE_EQ(transform.minimumZoom(),
                         std::min(1.0, 800.0 / sheetContentSize(sheet.metrics(), sheet.grid(), {800, 600}).width))
            << "limits recomputed";
    }
    sheet.splitMoved(420, 790);
    EXPECT_EQ(sheet.metrics().listMargin, 1000) << "kept in the setting's range";

    // The panel's width and the caption switches are stored.
    for (unsigned c : {CMD_TOGGLE_COMMENTS, CMD_TOGGLE_SIZES, CMD_TOGGLE_DATE})
        EXPECT_TRUE(sheet.onCommand(c));
    sheet.splitMoved(100, 150);
    sheet.saveSettings();
    for (const char* key : {"ShowComments", "ShowSizes", "ShowDate"})
        EXPECT_EQ(oxConfig::getInt(key, 0), 1) << key;
    EXPECT_EQ(oxConfig::getInt("ThnListMargin", 0), 240); // 150 pixels of 800 beside 8 columns
    ThumbnailDisplay again(&app, pictures, thumbnails, thumbnails, {});
    EXPECT_TRUE(again.captions().comments && again.captions().sizes && again.captions().date);

    // The stored item size is clamped, then rounded up to a power of two.
    const std::pair<const char*, int> cases[] = {{"300", 512}, {"256", 256}, {"1", 2}, {"3", 4}, {"5000", 1024}};
    for (const auto& [stored, size] : cases) {
        oxConfig::setString("ThnItemSize", stored);
        oxConfig::setString("ThnMaxCount", "20");
        ThumbnailDisplay sized(&app, pictures, thumbnails, thumbnails, {});
        EXPECT_EQ(sized.metrics().itemSize, size) << stored;
        EXPECT_EQ(thumbnails.thumbnailSize, size) << "the loader makes thumbnails of that size";
        EXPECT_EQ(thumbnails.thumbnailCount, 50) << "ThnMaxCount clamped";
    }
}
