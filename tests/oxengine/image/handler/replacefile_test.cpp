#include "../imagetest.h"

#include "childprocess.h"
#include "oxengine/image/replacefile.h"

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <stdexcept>
#include <thread>

namespace {

void writeText(const std::string& target, const std::string& text, const oxReplaceOptions& options = {})
{
    oxReplaceFile(target, [&](std::FILE* f, const std::string&) { std::fwrite(text.data(), 1, text.size(), f); }, options);
}

std::string because(const char* text, int code)
{
    return std::string(text) + " (" + oxSystemErrorText(code) + ")";
}

struct ReplaceFile : testing::Test {
    TempDir dir;
    const std::string file = dir.file("f");
};

} // namespace

TEST_F(ReplaceFile, TakesOverTheOldFilesAttributesConcurrentReplacementsNeverMix)
{
    const mode_t umaskBefore = umask(027);
    writeText(file, "new file");
    umask(umaskBefore);
    EXPECT_EQ(statOf(file).st_mode & 07777, 0640u); // not mkstemp's 0600

    chmod(file.c_str(), 0604);
    const struct timespec past[2] = {{1000000000, 5}, {1000000000, 5}};
    utimensat(AT_FDCWD, file.c_str(), past, 0);
    const ino_t inode = statOf(file).st_ino;
    oxReplaceOptions keepDate;
    keepDate.keepModificationDate = true;
    writeText(file, "transformed", keepDate);
    const struct stat st = statOf(file);
    EXPECT_NE(st.st_ino, inode); // replaced, not overwritten in place
    EXPECT_EQ(std::tuple(st.st_mode & 07777, st.st_mtim.tv_sec, st.st_mtim.tv_nsec), std::tuple(0604u, 1000000000, 5));
    writeText(file, "saved"); // a save gets the time of writing
    EXPECT_GT(statOf(file).st_mtim.tv_sec, 1000000000);
    if (geteuid() == 0) { // another user's file stays theirs
        ASSERT_EQ(chown(file.c_str(), 65534, 65534), 0);
        writeText(file, "theirs");
        EXPECT_EQ(statOf(file).st_uid, 65534u);
    }
    // A symlink stays a link to the replaced file; a name at the length
    // limit still leaves room for the temporary name.
    ASSERT_EQ(symlink("f", dir.file("link").c_str()), 0);
    writeText(dir.file("link"), "through the link");
    EXPECT_TRUE(S_ISLNK(statOf(dir.file("link")).st_mode));
    EXPECT_EQ(readFile(file), "through the link");
    writeText(dir.file(std::string(255, 'n')), "long");

    // Replacements at the same time never mix, and leave no temporary file.
    const std::string a(100000, 'a'), b(100000, 'b');
    const auto writer = [&](const std::string& text) {
        for (int i = 0; i < 20; ++i)
            writeText(file, text);
    };
    std::thread first(writer, a), second(writer, b);
    first.join();
    second.join();
    const std::string result = readFile(file);
    EXPECT_TRUE(result == a || result == b);
    EXPECT_EQ(folderEntries(dir.path()), (std::vector<std::string>{"f", "link", std::string(255, 'n')}));
}

TEST_F(ReplaceFile, FailuresLeaveTheTargetAndNoTemporaryFile)
{
    ASSERT_TRUE(writeFile(file, "precious"));
    std::vector<std::string> whileWriting;
    EXPECT_THROW(oxReplaceFile(file,
                               [&](std::FILE* f, const std::string&) {
                                   whileWriting = folderEntries(dir.path());
                                   std::fputs("half a fi", f);
                                   throw std::runtime_error("writer failed");
                               }),
                 std::runtime_error);
    EXPECT_EQ(readFile(file), "precious");
    EXPECT_EQ(whileWriting, std::vector<std::string>{"f"}); // the temporary file has no name
    // Folders, devices and missing folders are refused.
    ASSERT_EQ(mkdir(dir.file("folder").c_str(), 0755), 0);
    ASSERT_EQ(mkfifo(dir.file("pipe").c_str(), 0644), 0);
    EXPECT_EQ(imageError([&] { writeText(dir.file("folder"), "x"); }), because("cannot open file.", EISDIR));
    EXPECT_EQ(imageError([&] { writeText(dir.file("pipe"), "x"); }), because("cannot open file.", ENOTSUP));
    oxReplaceOptions texts;
    texts.createFailed = "JPEG transformation: can't open temporary file.";
    EXPECT_EQ(imageError([&] { writeText(dir.file("missing/x"), "x", texts); }),
              because("JPEG transformation: can't open temporary file.", ENOENT));
    // A full disk (the file-size limit) is reported and the process lives (not 128 + SIGXFSZ).
    const int code = runInChild([&] {
        const struct rlimit limit = {1000, 1000};
        setrlimit(RLIMIT_FSIZE, &limit);
        return imageError([&] { writeText(file, std::string(50000, 'x')); }) == because("cannot write file.", EFBIG) ? 0 : 10;
    });
    EXPECT_EQ(code, 0);
    EXPECT_EQ(readFile(file), "precious");
    EXPECT_EQ(folderEntries(dir.path()), (std::vector<std::string>{"f", "folder", "pipe"}));

    // Two ways the final rename fails, as an ordinary user (root may do anything).
    if (geteuid() != 0)
        GTEST_SKIP() << "needs root to set the scene for another user";
    allowOthersToEnter(dir.path());
    // The folder becomes read-only after the temporary file is written.
    const std::string own = dir.file("own"), target = dir.file("own/picture");
    ASSERT_EQ(mkdir(own.c_str(), 0755), 0);
    ASSERT_TRUE(writeFile(target, "old"));
    ASSERT_EQ(chown(own.c_str(), 65534, 65534) | chown(target.c_str(), 65534, 65534), 0);
    const auto failsWith = [](const std::string& expected, const std::function<void()>& replace) {
        return runInChild([&] { return imageError(replace) == expected ? 0 : 10; }, true);
    };
    EXPECT_EQ(failsWith(because("cannot replace file.", EACCES),
                        [&] {
                            oxReplaceFile(target, [&](std::FILE* f, const std::string&) {
                                std::fputs("new", f);
                                chmod(own.c_str(), 0555);
                            });
                        }),
              0);
    EXPECT_EQ(readFile(target), "old");
    // A shared folder with the sticky bit: the user may write another user's
    // file but not replace it. Here the temporary file can be removed.
    const std::string shared = dir.file("shared"), theirs = dir.file("shared/picture");
    ASSERT_EQ(mkdir(shared.c_str(), 0777), 0);
    chmod(shared.c_str(), 01777);
    ASSERT_TRUE(writeFile(theirs, "old"));
    chmod(theirs.c_str(), 0666);
    EXPECT_EQ(failsWith(because("cannot replace file.", EPERM), [&] { writeText(theirs, "new"); }), 0);
    EXPECT_EQ(readFile(theirs), "old");
    EXPECT_EQ(folderEntries(shared), std::vector<std::string>{"picture"});
}

// A rotation (a rewrite by replacement) keeps what setfattr and setfacl put
// on the file.
TEST_F(ReplaceFile, ARotationKeepsExtendedAttributesAndAcls)
{
    oxFilename::initialize();
    const std::string tga = dir.file("tagged.tga"), quoted = "'" + tga + "'";
    oxImageRegistry::instance().saveImage(*patternImage<oxColour>(3, 2), tga, oxToneMapping::neutral());
    std::string out;
    if (runCommand("setfattr -n user.rating -v 5 " + quoted + " 2>&1", &out) != 0)
        GTEST_SKIP() << "no user extended attributes here (setfattr from the package attr): " << out;
    if (runCommand("setfacl -m u:65534:r " + quoted + " 2>&1", &out) != 0)
        GTEST_SKIP() << "no ACLs here (setfacl from the package acl): " << out;
    std::string acl, rating;
    runCommand("getfacl -cn " + quoted + " 2>/dev/null", &acl);
    ASSERT_NE(acl.find("user:65534:r--"), std::string::npos) << acl;

    oxImageRegistry::instance().transformFile(tga, transformOf(1));
    EXPECT_EQ(oxImageRegistry::instance().loadImage(tga, oxSize())->size(), oxSize(2, 3));
    runCommand("getfattr --only-values -n user.rating " + quoted + " 2>/dev/null", &rating);
    EXPECT_EQ(rating, "5");
    std::string after;
    runCommand("getfacl -cn " + quoted + " 2>/dev/null", &after);
    EXPECT_EQ(after, acl);
}
