// The command line: option spellings and places, unknown options, paths like options, start paths.
#include "app/shell/commandline.h"

#include "oxengine/storage/files.h"
#include "support/testsupport.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <set>

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
    oxFilename::initialize("commandline_test");
    const StartLocation file = resolveStartPath("with blank/a.jpg"), sub = resolveStartPath("with blank/sub");
    std::filesystem::current_path(before);
    oxFilename::initialize("commandline_test");
    const std::string real = std::filesystem::canonical(dir.path()).string();
    EXPECT_EQ(file.file, real + "/with blank/a.jpg");
    EXPECT_EQ(sub.folder, real + "/with blank/sub/");
}
