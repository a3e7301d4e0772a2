// The command line: option spellings, where options end, start paths that
// look like options, and where a start path leads.
#include "app/shell/commandline.h"

#include "oxengine/storage/files.h"
#include "support/testsupport.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <set>

TEST(CommandLine, OptionsPathsAndWhereTheOptionsEnd)
{
    const struct {
        std::vector<std::string> args;
        const char* flags; // h l w s t for help, log, window, nosound, thumbnails
        int consumed;
        const char* startPath;
    } cases[] = {
        {{"-window"}, "w", 1, ""},
        {{"--WinDow"}, "w", 1, ""},
        {{"/Window"}, "w", 1, ""},
        {{"/LOG", "--nosound", "-Window"}, "lws", 3, ""},
        {{"-thumbnails"}, "t", 1, ""},
        {{"--ThumbNails", "/window"}, "tw", 2, ""},
        {{"/THUMBNAILS", "pics"}, "t", 1, "pics"},
        {{"/thumbnails"}, "", 0, "/thumbnails"}, // an existing path of that name
        {{"-H"}, "h", 1, ""},
        {{"--HELP"}, "h", 1, ""},
        {{"/?"}, "h", 1, ""},
        // The first other argument ends the options; later ones are not examined.
        {{"-window", "My Pictures/x", "-log"}, "w", 1, "My Pictures/x"},
        // There are no unknown options: they are paths, kept as typed.
        {{"-Foo", "-window"}, "", 0, "-Foo"},
        {{"//log", "-window"}, "", 0, "//log"},
        {{"-help"}, "", 0, "-help"},
        {{"--"}, "", 0, "--"},
        {{""}, "", 0, ""},
        // "/log" is an absolute path here; when it exists it is meant.
        {{"-nosound", "/log", "-window"}, "s", 1, "/log"},
        {{"/window"}, "w", 1, ""},
        {{}, "", 0, ""},
    };
    const std::set<std::string> existing{"/log", "/thumbnails"};
    for (const auto& c : cases) {
        const CommandLine line = parseCommandLine(c.args, [&](const std::string& p) { return existing.count(p) != 0; });
        const std::string flags = c.flags, what = c.args.empty() ? "(none)" : c.args[0];
        EXPECT_EQ(line.help, flags.find('h') != std::string::npos) << what;
        EXPECT_EQ(line.log, flags.find('l') != std::string::npos) << what;
        EXPECT_EQ(line.window, flags.find('w') != std::string::npos) << what;
        EXPECT_EQ(line.noSound, flags.find('s') != std::string::npos) << what;
        EXPECT_EQ(line.thumbnails, flags.find('t') != std::string::npos) << what;
        EXPECT_EQ(line.consumedOptions, c.consumed) << what;
        EXPECT_EQ(line.startPath, c.startPath) << what;
    }
    EXPECT_EQ(parseCommandLine({"x", "-log", "more"}, {}).rest, (std::vector<std::string>{"-log", "more"}));
}

TEST(StartPath, FolderFileMissingPathsAndRelativePaths)
{
    TempDir dir;
    oxFilename::initialize("commandline_test");
    const std::string folder = dir.file("with blank");
    std::filesystem::create_directories(folder + "/sub");
    writeFile(folder + "/a.jpg", "x");
    const struct {
        std::string arg, folder, file;
    } cases[] = {
        {folder, folder + "/", ""},
        {folder + "/", folder + "/", ""},
        {folder + "/a.jpg", folder + "/", folder + "/a.jpg"},
        // Missing: still its folder (listed, found empty, reported).
        {folder + "/gone/b.jpg", folder + "/gone/", folder + "/gone/b.jpg"},
        {folder + "/gone/", folder + "/gone/", ""},
    };
    for (const auto& c : cases) {
        const StartLocation s = resolveStartPath(c.arg);
        EXPECT_EQ(s.folder, c.folder) << c.arg;
        EXPECT_EQ(s.file, c.file) << c.arg;
    }
    // Relative paths start at the working folder.
    const auto before = std::filesystem::current_path();
    std::filesystem::current_path(dir.path());
    oxFilename::initialize("commandline_test");
    const StartLocation file = resolveStartPath("with blank/a.jpg"), sub = resolveStartPath("with blank/sub");
    std::filesystem::current_path(before);
    oxFilename::initialize("commandline_test");
    const std::string real = std::filesystem::canonical(dir.path()).string();
    EXPECT_EQ(file.file, real + "/with blank/a.jpg");
    EXPECT_EQ(sub.folder, real + "/with blank/sub/");
}
