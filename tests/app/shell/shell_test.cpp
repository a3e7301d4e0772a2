// The start-up (command line, stored settings and look, usage, the engine's reports reaching the user) and the
// application object without a display: what the end-to-end tests do not reach.
#include "app/shell/commandline.h"
#include "app/shell/configkeys.h"
#include "app/shell/pictavoapp.h"
#include "app/shell/startup.h"
#include "app/views/fototransform.h"
#include "app/views/image/imagedisplay.h"
#include "app/views/thumbnails/folderpanel.h"
#include "app/views/thumbnails/thumbnaildisplay.h"

#include "oxengine/core/catalogue.h"
#include "oxengine/core/errors.h"
#include "oxengine/graphics/fontmanager.h"
#include "oxengine/gui/keys.h"
#include "oxengine/gui/style.h"
#include "support/childprocess.h"
#include "tests/app/apptest.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <mutex>
#include <optional>
#include <set>
#include <tuple>
#include <sys/stat.h>

namespace fs = std::filesystem;

namespace {

class Startup : public ::testing::Test {
protected:
    void SetUp() override
    {
        setenv("XDG_CONFIG_HOME", m_home.path().c_str(), 1);
        prepareEngine();
        m_savedStyle = defaultGuiStyle;
    }
    void TearDown() override { defaultGuiStyle = m_savedStyle; }
    TempDir m_home;
    oxGuiStyle m_savedStyle;
};

std::string contents(std::FILE* f)
{
    std::string text(static_cast<size_t>(std::ftell(f)), '\0');
    std::rewind(f);
    text.resize(std::fread(text.data(), 1, text.size(), f));
    std::fclose(f);
    return text;
}

struct IsolatedHome {
    IsolatedHome()
    {
        unsetenv("OX_MESSAGE_LOG");
        prepareEngine();
        allowOthersToEnter(home.path());
    }
    TempHome home;
};
IsolatedHome g_home;

class App : public ::testing::Test {
protected:
    void SetUp() override
    {
        fs::remove_all(g_home.home.path() + "/config");
        m_dir = g_home.home.path() + "/pics-" + std::to_string(++s_counter);
        fs::create_directories(m_dir);
    }
    void TearDown() override { m_app.reset(); }
    std::string make(const std::string& name, const std::string& bytes = "x")
    {
        writeFile(m_dir + "/" + name, bytes);
        return m_dir + "/" + name;
    }
    // The application, its loader recording what it loads; with names, over a folder of those files.
    PictavoApp& app(std::initializer_list<const char*> names = {}, bool open = false)
    {
        for (const char* n : names)
            make(n);
        LoaderServices services;
        services.fill = [this](const std::string& name, LoadedPicture&, const oxCancelToken&) {
            std::lock_guard<std::mutex> lock(m_fillMutex);
            m_filled.push_back(name);
            return false;
        };
        services.makeContext = [](int, void*) { return std::make_unique<FakeContext>(true); };
        services.postCommand = [](unsigned) {};
        services.requestRedisplay = [] {};
        m_app = std::make_unique<PictavoApp>(services);
        EXPECT_TRUE(m_app->loader().startLoader());
        if (open || names.size() > 0)
            m_app->pictures().openFolder(m_dir, SUBFOLDERS_NEVER);
        return *m_app;
    }
    std::vector<std::string> filled()
    {
        std::lock_guard<std::mutex> lock(m_fillMutex);
        return m_filled;
    }

    std::string m_dir;
    std::unique_ptr<PictavoApp> m_app;
    std::mutex m_fillMutex;
    std::vector<std::string> m_filled;
    static inline int s_counter = 0;
};

} // namespace

// The settings dialog's new style reaches both views at once, and elements made later.
TEST_F(App, ANewStyleReachesBothViewsAndLaterElements)
{
    PictavoApp& a = app();
    const oxGuiStyle old = defaultGuiStyle;
    oxGuiStyle style = old;
    style.bgColour = oxColour(0x20, 0x40, 0x80, 255);
    style.fontName = "style-test-font";
    a.applyGuiStyle(style);
    EXPECT_EQ(defaultGuiStyle.bgColour, style.bgColour);
    EXPECT_EQ(a.thumbnailDisplay()->folderPanel().getBgColour(), style.bgColour);
    EXPECT_EQ(a.imageDisplay()->overlays().fileNameLine().fontName(), style.fontName);
    defaultGuiStyle = old;
}

TEST_F(App, TheSheetComesBackAtItsZoomAndScroll)
{
    std::vector<std::string> names;
    for (int i = 0; i < 40; ++i)
        names.push_back(make("p" + std::to_string(100 + i) + ".jpg"));
    PictavoApp& a = app({}, true);
    FotoTransform* t = a.fotoTransform();
    EXPECT_TRUE(a.onKeyDown('t', false));
    ASSERT_TRUE(a.thumbnailsActive());
    EXPECT_EQ(t->view(), a.thumbnailDisplay());
    // A sheet longer than the window starts at its top (its title showing).
    ASSERT_GT(t->maximumOffsetY(), 0);
    EXPECT_DOUBLE_EQ(t->offsetY(), 0);
    t->zoomTo(t->fitZoom() * 1.5, true, 0.5, 0.5);
    t->scrollTo(40, 900);
    const double zoom = t->zoom(), x = t->offsetX(), y = t->offsetY();
    ASSERT_GT(y, 0);
    // Delete is not acted on in the sheet; the file stays.
    EXPECT_FALSE(a.onKeyDown(GUI_KEY_DELETE, false));
    // Keys and commands the application does not handle go on to the views.
    EXPECT_FALSE(a.onKeyDown('+', false));
    for (unsigned c : {0u, unsigned(CMD_DELETE), 224u})
        EXPECT_FALSE(a.onCommand(c)) << c;
    EXPECT_TRUE(fs::exists(names[0]));

    EXPECT_TRUE(a.onCommand(CMD_TOGGLE_VIEW));
    EXPECT_EQ(a.activeView(), a.imageDisplay());
    EXPECT_EQ(t->view(), a.imageDisplay());
    EXPECT_TRUE(a.onKeyDown('T', false));
    EXPECT_TRUE(a.thumbnailsActive());
    EXPECT_DOUBLE_EQ(t->zoom(), zoom);
    EXPECT_DOUBLE_EQ(t->offsetX(), x);
    EXPECT_DOUBLE_EQ(t->offsetY(), y);
    // A rescan keeps the place; sorting is stored and clears the selection, whose indexes named the old order.
    a.thumbnailDisplay()->selection().ctrlClick(3, false);
    EXPECT_TRUE(a.onCommand(CMD_RESCAN));
    EXPECT_DOUBLE_EQ(t->offsetY(), y);
    a.thumbnailDisplay()->selection().ctrlClick(3, false);
    EXPECT_TRUE(a.onCommand(CMD_SORT_BY_DATE));
    EXPECT_EQ(readConfigInt(ConfigKey::SortMode), CMD_SORT_BY_DATE);
    EXPECT_TRUE(a.thumbnailDisplay()->selection().empty());
    // Another folder is shown from its top.
    t->scrollTo(0, 600);
    const std::string other = m_dir + "-other";
    fs::create_directories(other);
    for (int i = 0; i < 40; ++i)
        writeFile(other + "/q" + std::to_string(i) + ".jpg", "x");
    a.openFolder(other, false);
    EXPECT_DOUBLE_EQ(t->offsetY(), 0);
    // and stays there when the window goes full-screen.
    a.handleReshape(1024, 768);
    a.handleReshape(1280, 1024);
    EXPECT_DOUBLE_EQ(t->zoom(), t->fitZoom());
    ASSERT_GT(t->maximumOffsetY(), 0);
    EXPECT_DOUBLE_EQ(t->offsetY(), 0);
}

// Removed by someone else, not removable, or gone from an emptied list (whose lines go).
TEST_F(App, VanishedFailedAndEmptiedListDeletes)
{
    const std::string gone = make("gone.jpg"), locked = make("locked.jpg");
    PictavoApp& a = app({}, true);
    // Removed by someone else: the list forgets it all the same.
    fs::remove(gone);
    EXPECT_TRUE(a.deletePicture(gone, false));
    EXPECT_EQ(a.pictures().count(), 1);
    // A file the user may not remove: reported, kept, still listed.
    allowOthersToEnter(m_dir);
    ASSERT_EQ(chmod(m_dir.c_str(), 0555), 0);
    MessageCapture boxes;
    const int code = runInChild(
        [&] {
            const bool result = a.deletePicture(locked, false);
            const bool told = boxes.count() == 1 &&
                              boxes.messages()[0].text.rfind("Error deleting file '" + locked + "'.", 0) == 0;
            return (!result && told && fs::exists(locked) && a.pictures().count() == 1) ? 0 : 1;
        },
        true);
    chmod(m_dir.c_str(), 0755);
    EXPECT_EQ(code, 0);

    // An empty folder lets go of the last picture; a delete of it does nothing.
    ASSERT_TRUE(pickedUp(*a.imageDisplay()));
    ASSERT_NE(a.imageDisplay()->currentPicture(), nullptr);
    fs::create_directories(m_dir + "/empty");
    a.pictures().openFolder(m_dir + "/empty", SUBFOLDERS_NEVER);
    EXPECT_EQ(a.imageDisplay()->currentPicture(), nullptr);
    const ViewOverlays& lines = a.imageDisplay()->overlays();
    EXPECT_EQ(lines.fileNameLine().text() + lines.pictureTextLine().text(), "");
    EXPECT_FALSE(a.onKeyDown(GUI_KEY_DELETE, false));
    static_cast<ViewApplication&>(a).deletePicture(locked); // as a view holding it would ask
    EXPECT_TRUE(fs::exists(locked));
    EXPECT_EQ(boxes.count(), 0u);
}

// Failed file operations reach the user from the main thread, also those finished while stopping.
TEST_F(App, FileOperationFailuresAreShownOnTheMainThread)
{
    PictavoApp& a = app();
    const std::string damaged = make("damaged.jpg", "\xFF\xD8\xFF\xDB broken");
    oxImageTransform quarter;
    quarter.rotation = 1;
    MessageCapture boxes;
    a.loader().transformPicture(damaged, quarter);
    a.loader().copyMovePicture(damaged, m_dir + "/missing/x.jpg", false, 0, false);
    ASSERT_TRUE(waitUntil([&] { return a.loader().progress() == LoaderProgress{}; }));
    EXPECT_EQ(boxes.count(), 0u); // none from the loader thread
    EXPECT_TRUE(a.onCommand(CMD_SHOW_FAILURES));
    ASSERT_EQ(boxes.count(), 2u);
    EXPECT_EQ(boxes.messages()[0].text.rfind("Error editing picture:\n", 0), 0u) << boxes.messages()[0].text;
    EXPECT_EQ(boxes.messages()[1].text.rfind("Error processing image file:\n" + damaged + "\n\n", 0), 0u)
        << boxes.messages()[1].text;
    EXPECT_TRUE(a.onCommand(CMD_SHOW_FAILURES)); // each shown once
    EXPECT_EQ(boxes.count(), 2u);
    a.loader().transformPicture(damaged, quarter);
    a.shutDown();
    EXPECT_EQ(boxes.count(), 3u);

    // A batch's failures in one message, one below the other.
    FileOperationFailure copy, convert;
    copy.operation = FileOperationFailure::COPY, copy.name = "/a.jpg";
    convert.operation = FileOperationFailure::CONVERT, convert.reason = "disk full";
    EXPECT_EQ(fileOperationFailureText({copy, convert}),
              "Error processing image file:\n/a.jpg\n\nError editing picture:\ndisk full");
}

// The start path: a folder, a file, missing paths and relative ones; then the folder and picture shown first.
TEST_F(App, StartFolderFromTheCommandLine)
{
    TempDir dir;
    oxFilename::initialize();
    const std::string folder = dir.file("with blank");
    std::filesystem::create_directories(folder + "/sub");
    writeFile(folder + "/a.jpg", "x");
    const struct {
        std::string arg, folder, file;
    } cases[] = {
        {folder, folder + "/", ""},
        {folder + "/", folder + "/", ""},
        {folder + "/a.jpg", folder + "/", folder + "/a.jpg"},
        // Missing: a picture's folder is opened; anything else is a (missing) folder.
        {folder + "/gone/b.jpg", folder + "/gone/", folder + "/gone/b.jpg"},
        {folder + "/gone/", folder + "/gone/", ""},
        {folder + "/gone", folder + "/gone/", ""},
    };
    for (const auto& c : cases) {
        const StartLocation s = resolveStartPath(c.arg);
        EXPECT_EQ(s.folder, c.folder) << c.arg;
        EXPECT_EQ(s.file, c.file) << c.arg;
    }
    // Relative paths start at the working folder.
    const auto before = std::filesystem::current_path();
    std::filesystem::current_path(dir.path());
    oxFilename::initialize();
    const StartLocation file = resolveStartPath("with blank/a.jpg"), sub = resolveStartPath("with blank/sub");
    std::filesystem::current_path(before);
    oxFilename::initialize();
    const std::string real = std::filesystem::canonical(dir.path()).string();
    EXPECT_EQ(file.file, real + "/with blank/a.jpg");
    EXPECT_EQ(sub.folder, real + "/with blank/sub/");

    for (const char* n : {"a.jpg", "b.jpg", "c.jpg"})
        make(n);
    writeConfigInt(ConfigKey::LastFile, 2);
    // The last folder again: at "LastFile"; another folder: at its first picture.
    for (const auto& [last, index] : {std::pair{m_dir + "/", 2}, std::pair{g_home.home.path() + "/", 0}}) {
        writeConfigText(ConfigKey::LastFolder, last);
        PictavoApp& a = app();
        a.setStartLocation(resolveStartPath(m_dir));
        a.loadStartFolder();
        EXPECT_EQ(a.pictures().currentIndex(), index) << last;
        EXPECT_EQ(readConfigText(ConfigKey::LastFolder), m_dir + "/");
    }
    // A file: its folder, that picture asked for first (the last loader may fill until it is replaced).
    PictavoApp& a = app();
    {
        std::lock_guard<std::mutex> lock(m_fillMutex);
        m_filled.clear();
    }
    a.setStartLocation(resolveStartPath(m_dir + "/b.jpg"));
    a.loadStartFolder();
    EXPECT_EQ(a.pictures().currentPath(), m_dir + "/b.jpg");
    ASSERT_TRUE(pickedUp(*a.imageDisplay())); // the view asks without waiting
    ASSERT_FALSE(filled().empty());
    EXPECT_EQ(filled()[0], m_dir + "/b.jpg");
}

// The stored level's range is read through its key (the settings keys' test).
TEST_F(App, OverlayLevelCyclesAndShutDownStoresTheStateOnceAndStopsTheLoader)
{
    oxConfig::setString("LastOverlays", "7");
    PictavoApp& a = app({"a.jpg", "b.jpg", "c.jpg"});
    a.pictures().goTo(2);
    int expected = 2;
    for (int key : {'i', 'I', 'o', 'O'}) {
        EXPECT_TRUE(a.onKeyDown(key, false));
        expected = (expected + 1) % 3;
        EXPECT_EQ(a.overlayLevel(), expected) << char(key);
    }
    EXPECT_TRUE(a.onCommand(CMD_CYCLE_OVERLAYS));
    EXPECT_EQ(a.overlayLevel(), 1);
    a.onKeyDown('i', false);
    EXPECT_TRUE(a.onKeyDown(GUI_KEY_ESCAPE, false));
    EXPECT_FALSE(a.loader().isRunning());
    EXPECT_EQ(a.imageDisplay(), nullptr); // its GL objects went with the window's context
    const auto stored = [] {
        return oxConfig::getString("LastOverlays", "-") + " " + oxConfig::getString("LastFile", "-") + " " +
               oxConfig::getString("LastMode", "-");
    };
    EXPECT_EQ(stored(), "2 2 0");
    // Later ends (the close button after Escape) change nothing.
    a.cycleOverlayLevel();
    a.onClose();
    EXPECT_TRUE(a.onCommand(CMD_EXIT));
    EXPECT_EQ(stored(), "2 2 0");
}

TEST_F(Startup, TheCommandLineIsParsedAndHelpVersionAndUsageErrorsAnswerBeforeAnyWindow)
{
    const struct {
        std::vector<std::string> args;
        bool terminal;
        std::optional<int> code;
        std::string out, err;
    } cases[] = {
        // Help from a launcher, also shown in a box: cli_e2e.
        {{"--help"}, true, 0, usageText() + "\n", ""},
        {{"--version", "-window"}, false, 0, versionText() + "\n", ""},
        {{"-windoww", "--help"}, true, 2, "", "pictavo: Unknown option '-windoww'.\n\n" + usageText() + "\n"},
        {{"-window", "pics"}, true, std::nullopt, "", ""},
    };
    for (const auto& c : cases) {
        MessageCapture boxes;
        std::FILE* out = std::tmpfile();
        std::FILE* err = std::tmpfile();
        EXPECT_EQ(answerCommandLine(parseCommandLine(c.args, {}), out, err, c.terminal), c.code) << c.args[0];
        EXPECT_EQ(contents(out), c.out) << c.args[0];
        EXPECT_EQ(contents(err), c.err) << c.args[0];
        EXPECT_EQ(boxes.count(), 0u) << c.args[0];
    }
    EXPECT_NE(usageText().find("(in 'Documents')"), std::string::npos);
    setenv("LANGUAGE", "de", 1);
    oxResetCatalogueForTests();
    const std::string german = usageText();
    unsetenv("LANGUAGE");
    oxResetCatalogueForTests();
    EXPECT_NE(german.find("(in 'Dokumente')"), std::string::npos);
    EXPECT_NE(german.find("-thumbnails\tStartet in der Miniaturansicht"), std::string::npos);

    // Options before or after the path, and unknown ones.
    const struct {
        std::vector<std::string> args;
        const char* flags; // h v l w s t for help, version, log, window, nosound, thumbnails
        const char* startPath;
        const char* error; // the start of the error, "" for none
    } lines[] = {
        {{"/LOG", "--nosound", "-Window"}, "lws", "", ""},
        {{"-H"}, "h", "", ""},
        {{"--ThumbNails", "/window"}, "tw", "", ""},
        {{"pics", "/THUMBNAILS"}, "t", "pics", ""},
        {{"/thumbnails"}, "", "/thumbnails", ""}, // an existing path of that name
        // An argument with "-" that is no option, unless it names something.
        {{"-Foo", "-window"}, "w", "", "Unknown option '-Foo'."},
        {{"pics", "-help"}, "", "pics", "Unknown option '-help'."},
        {{"-"}, "", "", "Unknown option '-'."},
        {{"-existing", "-window"}, "w", "-existing", ""},
        // After "--" everything is a path.
        {{"--", "-window"}, "", "-window", ""},
        // Further paths are passed over (a shell's "*.jpg").
        {{"a", "-window", "b"}, "w", "a", ""},
        {{"//log", "-window"}, "w", "//log", ""},
        // "/log" is an absolute path here; when it exists it is meant.
        {{"-nosound", "/log", "-window"}, "sw", "/log", ""},
        {{}, "", "", ""},
    };
    const std::set<std::string> existing{"/log", "/thumbnails", "-existing"};
    for (const auto& c : lines) {
        const CommandLine line = parseCommandLine(c.args, [&](const std::string& p) { return existing.count(p) != 0; });
        const std::string flags = c.flags, what = c.args.empty() ? "(none)" : c.args[0];
        EXPECT_EQ(line.help, flags.find('h') != std::string::npos) << what;
        EXPECT_EQ(line.version, flags.find('v') != std::string::npos) << what;
        EXPECT_EQ(line.log, flags.find('l') != std::string::npos) << what;
        EXPECT_EQ(line.window, flags.find('w') != std::string::npos) << what;
        EXPECT_EQ(line.noSound, flags.find('s') != std::string::npos) << what;
        EXPECT_EQ(line.thumbnails, flags.find('t') != std::string::npos) << what;
        EXPECT_EQ(line.startPath, c.startPath) << what;
        EXPECT_EQ(line.error.substr(0, std::string(c.error).size()), c.error) << what;
        EXPECT_EQ(line.error.empty(), *c.error == 0) << what;
    }
}

// An engine failure, an unreadable settings file and a broken interface font (the built-in one used instead):
// each told once; then the stored look is read through the settings keys.
TEST_F(Startup, FailuresToldOnceAndSettingsKeysRanges)
{
    const oxFailureSink previous = oxSetFailureSink({}); // as a fresh process has it
    prepareEngine();
    MessageCapture boxes;
    EXPECT_FALSE(oxVerify(1 + 1 == 3, "arithmetic is broken"));
    oxSetFailureSink(previous);
    ASSERT_EQ(boxes.count(), 1u);
    EXPECT_EQ(boxes.messages()[0].title, "Fatal Error");

    std::filesystem::create_directories(m_home.path() + "/Quorvel Software/Pictavo");
    writeFile(oxConfig::storePath(), "[Settings\nbroken");
    applyStoredSettings();
    ASSERT_EQ(boxes.count(), 2u);
    EXPECT_NE(boxes.messages()[1].text.find("settings.ini.bad"), std::string::npos);

    const std::filesystem::path before = std::filesystem::current_path();
    std::filesystem::current_path(m_home.path());
    writeFile("startup-test-font.glfc", std::string(30, '\0')); // cut short in its glyph table
    defaultGuiStyle.fontName = "startup-test-font";
    loadInterfaceFont();
    loadInterfaceFont();
    std::filesystem::current_path(before);
    ASSERT_EQ(boxes.count(), 3u);
    EXPECT_EQ(boxes.messages()[2].title, "Error creating GLFont");
    EXPECT_NE(GLFontManager::getFont("startup-test-font"), nullptr);
    GLFontManager::releaseAll();

    // Settings keys apply their ranges on read; malformed colours read as the default.
    struct Case {
        ConfigKey key;
        const char* stored;
        int expected;
    };
    const Case cases[] = {
        {ConfigKey::GuiTextHeight, "500", 100},
        {ConfigKey::GuiTextHeight, "3", 10},
        {ConfigKey::GuiTextHeight, "abc", 20},
        {ConfigKey::AnimLengthUs, "99999999999", 10000000},
        {ConfigKey::SortMode, "4294967297", 2147483647}, // unranged keys still never wrap
        {ConfigKey::LastFile, "-12", -12},
    };
    for (const Case& c : cases) {
        oxConfig::setString(configKeyInfo(c.key).name, c.stored);
        EXPECT_EQ(readConfigInt(c.key), c.expected) << configKeyInfo(c.key).name << " = " << c.stored;
    }
    // The start-up reads the stored look through the same keys (the background colour: viewer_e2e).
    oxConfig::setString("GuiFgColour", "#0F08");
    applyStoredSettings();
    EXPECT_EQ(std::tuple(defaultGuiStyle.textHeight, defaultGuiStyle.fgColour),
              std::tuple(20, oxColour(0, 255, 0, 136)));
    // Colours written under their names: the settings dialog's tests.
    for (const char* bad : {"white", "#12345", "#GGG", ""}) { // a malformed colour reads as the default
        oxConfig::setString("GuiFgColour", bad);
        EXPECT_EQ(readConfigColour(ConfigKey::GuiFgColour), oxColour(255, 255, 255, 255)) << bad;
    }
}
