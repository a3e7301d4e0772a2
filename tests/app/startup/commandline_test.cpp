// The command line: option spellings, where options end, start paths that
// look like options, and where a start path leads.
#include "app/commandline.h"

#include "oxengine/files.h"
#include "support/testsupport.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <set>

namespace {

CommandLine parse(const std::vector<std::string>& args, const std::set<std::string>& existing = {})
{
    return parseCommandLine(args, [&](const std::string& p) { return existing.count(p) != 0; });
}

} // namespace

TEST(CommandLine, OptionsInEveryFormAndCase)
{
    for (const char* arg : {"-window", "--window", "/window", "-WINDOW", "/Window", "--WinDow"}) {
        const CommandLine c = parse({arg});
        EXPECT_TRUE(c.window) << arg;
        EXPECT_EQ(c.consumedOptions, 1) << arg;
        EXPECT_TRUE(c.startPath.empty()) << arg;
    }
    const CommandLine all = parse({"/LOG", "--nosound", "-Window"});
    EXPECT_TRUE(all.log);
    EXPECT_TRUE(all.noSound);
    EXPECT_TRUE(all.window);
    EXPECT_FALSE(all.help);
    EXPECT_EQ(all.consumedOptions, 3);
    for (const char* arg : {"-h", "-H", "--help", "--HELP", "/?"})
        EXPECT_TRUE(parse({arg}).help) << arg;
}

TEST(CommandLine, FirstOtherArgumentEndsTheOptions)
{
    const CommandLine c = parse({"-window", "My Pictures/x", "-log", "more"});
    EXPECT_TRUE(c.window);
    EXPECT_FALSE(c.log); // after the folder: not examined
    EXPECT_EQ(c.startPath, "My Pictures/x");
    EXPECT_EQ(c.consumedOptions, 1);
    EXPECT_EQ(c.rest, (std::vector<std::string>{"-log", "more"}));

    // There are no unknown options: they are paths, kept as typed.
    for (const char* arg : {"-Foo", "/tmp/Pics", "--", "-", "//log", "-help", "/h", ""}) {
        const CommandLine d = parse({arg, "-window"});
        EXPECT_EQ(d.startPath, arg);
        EXPECT_FALSE(d.window) << arg;
        EXPECT_EQ(d.consumedOptions, 0) << arg;
    }
    EXPECT_TRUE(parse({}).startPath.empty());
}

TEST(CommandLine, ExistingPathIsNeverAnOption)
{
    // "/log" is an absolute path on this system; when it exists it is meant.
    const CommandLine c = parse({"-nosound", "/log", "-window"}, {"/log"});
    EXPECT_TRUE(c.noSound);
    EXPECT_FALSE(c.log);
    EXPECT_FALSE(c.window);
    EXPECT_EQ(c.startPath, "/log");
    EXPECT_EQ(c.consumedOptions, 1);
    // Not existing: the option.
    EXPECT_TRUE(parse({"/log"}, {"/window"}).log);
}

class StartPath : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (!oxFilename::isInitialized())
            oxFilename::initialize("commandline_test");
        std::filesystem::create_directories(m_dir.file("with blank/sub"));
        writeFile(m_dir.file("with blank/a.jpg"), "x");
    }
    TempDir m_dir;
};

TEST_F(StartPath, FolderFileAndMissingPath)
{
    const std::string folder = m_dir.file("with blank");
    for (const std::string& arg : {folder, folder + "/"}) {
        const StartLocation s = resolveStartPath(arg);
        EXPECT_EQ(s.folder, folder + "/") << arg;
        EXPECT_TRUE(s.file.empty()) << arg;
    }
    const StartLocation f = resolveStartPath(folder + "/a.jpg");
    EXPECT_EQ(f.folder, folder + "/");
    EXPECT_EQ(f.file, folder + "/a.jpg");
    // A missing path still gives its folder (listed, found empty, reported).
    const StartLocation m = resolveStartPath(folder + "/gone/b.jpg");
    EXPECT_EQ(m.folder, folder + "/gone/");
    EXPECT_EQ(m.file, folder + "/gone/b.jpg");
    const StartLocation g = resolveStartPath(folder + "/gone/");
    EXPECT_EQ(g.folder, folder + "/gone/");
    EXPECT_TRUE(g.file.empty());
}

TEST_F(StartPath, RelativePathsStartAtTheWorkingFolder)
{
    const auto before = std::filesystem::current_path();
    std::filesystem::current_path(m_dir.path());
    oxFilename::initialize("commandline_test");
    const StartLocation s = resolveStartPath("with blank/a.jpg");
    const StartLocation sub = resolveStartPath("with blank/sub");
    std::filesystem::current_path(before);
    oxFilename::initialize("commandline_test");
    const std::string real = std::filesystem::canonical(m_dir.path()).string();
    EXPECT_EQ(s.file, real + "/with blank/a.jpg");
    EXPECT_EQ(sub.folder, real + "/with blank/sub/");
}
