// Start-up: the command line, the stored settings and look, the usage, and the engine's reports reaching the user.
#include "app/shell/commandline.h"
#include "app/shell/configkeys.h"
#include "app/shell/startup.h"

#include "oxengine/core/catalogue.h"
#include "oxengine/core/errors.h"
#include "oxengine/graphics/fontmanager.h"
#include "oxengine/gui/style.h"
#include "oxengine/storage/config.h"
#include "oxengine/storage/files.h"
#include "support/testsupport.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <optional>
#include <set>

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

// The settings keys' reading and writing, in the same fresh store.
class ConfigKeys : public Startup {};

std::string contents(std::FILE* f)
{
    std::string text(static_cast<size_t>(std::ftell(f)), '\0');
    std::rewind(f);
    text.resize(std::fread(text.data(), 1, text.size(), f));
    std::fclose(f);
    return text;
}

} // namespace

TEST_F(Startup, StoredLookIsClampedAndBadValuesFallBack)
{
    const oxColour white(255, 255, 255, 255), shade(0, 0, 0, 170);
    const struct {
        const char *height, *fg, *bg; // nullptr: not stored
        int textHeight;
        oxColour fgColour, bgColour;
    } cases[] = {
        {nullptr, nullptr, nullptr, 20, white, shade},
        // The keys' ranges and bad colours: ConfigKeys tests.
        {"500", "#0F08", "#123456", 100, oxColour(0, 255, 0, 136), oxColour(0x12, 0x34, 0x56, 255)},
    };
    for (const auto& c : cases) {
        std::remove(oxConfig::storePath().c_str());
        const std::pair<const char*, const char*> keys[] = {
            {"GuiTextHeight", c.height}, {"GuiFgColour", c.fg}, {"GuiBgColour", c.bg}};
        for (const auto& [key, value] : keys)
            if (value)
                oxConfig::setString(key, value);
        defaultGuiStyle.textHeight = 33;
        applyStoredSettings();
        const std::string what = c.height ? c.height : "(none)";
        EXPECT_EQ(defaultGuiStyle.textHeight, c.textHeight) << what;
        EXPECT_EQ(defaultGuiStyle.fgColour, c.fgColour) << what;
        EXPECT_EQ(defaultGuiStyle.bgColour, c.bgColour) << what;
    }
}

TEST_F(Startup, HelpVersionAndUsageErrorsAnswerBeforeAnyWindow)
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
    EXPECT_EQ(versionText().rfind("Pictavo ", 0), 0u);
    EXPECT_NE(usageText().find("(in 'Documents')"), std::string::npos);
    setenv("LANGUAGE", "de", 1);
    oxResetCatalogueForTests();
    const std::string german = usageText();
    unsetenv("LANGUAGE");
    oxResetCatalogueForTests();
    EXPECT_NE(german.find("(in 'Dokumente')"), std::string::npos);
    EXPECT_NE(german.find("-thumbnails\tStartet in der Miniaturansicht"), std::string::npos);
}

TEST_F(Startup, EngineFailuresReachTheUserInBoxes)
{
    const oxFailureSink previous = oxSetFailureSink({}); // as a fresh process has it
    prepareEngine();
    MessageCapture boxes;
    EXPECT_FALSE(oxVerify(1 + 1 == 3, "arithmetic is broken"));
    oxSetFailureSink(previous);
    ASSERT_EQ(boxes.count(), 1u);
    EXPECT_EQ(boxes.messages()[0].title, "Fatal Error");
    EXPECT_EQ(boxes.messages()[0].icon, MI_ERROR);
}

TEST_F(Startup, UnreadableSettingsFileIsToldOnce)
{
    std::filesystem::create_directories(m_home.path() + "/Quorvel Software/Pictavo");
    writeFile(oxConfig::storePath(), "[Settings\nbroken");
    MessageCapture boxes;
    applyStoredSettings();
    writeConfigInt(ConfigKey::LastFile, 2);
    EXPECT_EQ(readConfigInt(ConfigKey::LastFile), 2);
    ASSERT_EQ(boxes.count(), 1u);
    EXPECT_EQ(boxes.messages()[0].icon, MI_WARNING);
    EXPECT_NE(boxes.messages()[0].text.find("settings.ini.bad"), std::string::npos);
}

TEST_F(Startup, BrokenInterfaceFontIsToldOnceAndTheBuiltInOneUsed)
{
    const std::filesystem::path before = std::filesystem::current_path();
    std::filesystem::current_path(m_home.path());
    writeFile("startup-test-font.glfc", std::string(30, '\0')); // cut short in its glyph table
    defaultGuiStyle.fontName = "startup-test-font";
    MessageCapture boxes;
    loadInterfaceFont();
    loadInterfaceFont();
    std::filesystem::current_path(before);
    ASSERT_EQ(boxes.count(), 1u);
    EXPECT_EQ(boxes.messages()[0].title, "Error creating GLFont");
    EXPECT_NE(GLFontManager::getFont("startup-test-font"), nullptr);
    GLFontManager::releaseAll();
}

TEST_F(ConfigKeys, RangesAreAppliedOnRead)
{
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
}

// Written under their names: the settings dialog's tests.
TEST_F(ConfigKeys, ValuesRoundTrip)
{
    EXPECT_EQ(readConfigText(ConfigKey::LastFolder), oxFilename::documentsFolder().toString());
    writeConfigColour(ConfigKey::GuiBgColour, oxColour(1, 2, 3, 4));
    EXPECT_EQ(readConfigColour(ConfigKey::GuiBgColour), oxColour(1, 2, 3, 4));
    for (const char* bad : {"white", "#12345", "#GGG", ""}) { // a malformed colour reads as the default
        oxConfig::setString("GuiFgColour", bad);
        EXPECT_EQ(readConfigColour(ConfigKey::GuiFgColour), oxColour(255, 255, 255, 255)) << bad;
    }
    writeConfigText(ConfigKey::LastFolder, "/Bilder/Ωmega 写真/");
    EXPECT_EQ(readConfigText(ConfigKey::LastFolder), "/Bilder/Ωmega 写真/");
}

TEST(CommandLine, OptionsBeforeOrAfterThePathAndUnknownOnes)
{
    const struct {
        std::vector<std::string> args;
        const char* flags; // h v l w s t for help, version, log, window, nosound, thumbnails
        const char* startPath;
        const char* error; // the start of the error, "" for none
    } cases[] = {
        {{"/LOG", "--nosound", "-Window"}, "lws", "", ""},
        {{"-H"}, "h", "", ""},
        {{"/?"}, "h", "", ""},
        {{"--version"}, "v", "", ""},
        {{"--ThumbNails", "/window"}, "tw", "", ""},
        {{"pics", "/THUMBNAILS"}, "t", "pics", ""},
        {{"/thumbnails"}, "", "/thumbnails", ""}, // an existing path of that name
        // Options before or after the path.
        {{"-window", "My Pictures/x", "-log"}, "lw", "My Pictures/x", ""},
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
    for (const auto& c : cases) {
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

TEST(StartPath, FolderFileMissingPathsAndRelativePaths)
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
}
