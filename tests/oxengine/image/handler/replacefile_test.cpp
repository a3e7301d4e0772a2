#include "childprocess.h"
#include "oxengine/errors.h"
#include "oxengine/image/replacefile.h"
#include "testsupport.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <stdexcept>
#include <thread>

namespace {

void writeText(const std::string& target, const std::string& text, const oxReplaceOptions& options = {})
{
    oxReplaceFile(
        target, [&](std::FILE* f, const std::string&) { std::fwrite(text.data(), 1, text.size(), f); }, options);
}

template <class Fn> std::string imageError(Fn&& fn)
{
    try {
        fn();
    } catch (const oxImageException& e) {
        return e.oxException::getMessage();
    }
    return std::string();
}

std::vector<std::string> entries(const std::string& folder)
{
    std::vector<std::string> names;
    for (const auto& e : std::filesystem::directory_iterator(folder))
        names.push_back(e.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

struct stat statOf(const std::string& path)
{
    struct stat st{};
    lstat(path.c_str(), &st);
    return st;
}

bool startsWith(const std::string& text, const std::string& prefix)
{
    return text.rfind(prefix, 0) == 0;
}

} // namespace

TEST(ReplaceFile, NewFilesGetTheUsualPermissions)
{
    TempDir dir;
    const mode_t old = umask(027);
    writeText(dir.file("new"), "content");
    umask(old);
    EXPECT_EQ(readFile(dir.file("new")), "content");
    EXPECT_EQ(statOf(dir.file("new")).st_mode & 07777, 0640u); // not mkstemp's 0600
    EXPECT_EQ(entries(dir.path()), std::vector<std::string>{"new"});
}

TEST(ReplaceFile, KeepsPermissionsAndOnRequestTheDate)
{
    TempDir dir;
    const std::string file = dir.file("f");
    ASSERT_TRUE(writeFile(file, "old"));
    chmod(file.c_str(), 0604);
    const struct timespec past[2] = {{1000000000, 5}, {1000000000, 5}};
    utimensat(AT_FDCWD, file.c_str(), past, 0);
    const ino_t oldInode = statOf(file).st_ino;

    oxReplaceOptions keep;
    keep.keepModificationDate = true;
    writeText(file, "new", keep);
    struct stat st = statOf(file);
    EXPECT_EQ(readFile(file), "new");
    EXPECT_NE(st.st_ino, oldInode); // replaced, not overwritten in place
    EXPECT_EQ(st.st_mode & 07777, 0604u);
    EXPECT_EQ(st.st_mtim.tv_sec, 1000000000);
    EXPECT_EQ(st.st_mtim.tv_nsec, 5);

    writeText(file, "newer"); // a save: the time of writing
    EXPECT_GT(statOf(file).st_mtim.tv_sec, 1000000000);
    EXPECT_EQ(statOf(file).st_mode & 07777, 0604u);
}

TEST(ReplaceFile, KeepsAnotherUsersOwnership)
{
    if (geteuid() != 0)
        GTEST_SKIP() << "only root can give files to other users";
    TempDir dir;
    const std::string file = dir.file("theirs");
    ASSERT_TRUE(writeFile(file, "old"));
    ASSERT_EQ(chown(file.c_str(), 65534, 65534), 0);
    writeText(file, "new");
    EXPECT_EQ(statOf(file).st_uid, 65534u);
    EXPECT_EQ(statOf(file).st_gid, 65534u);
}

TEST(ReplaceFile, AFailingWriterLeavesTheTargetAndNoTemporaryFile)
{
    TempDir dir;
    const std::string file = dir.file("keep");
    ASSERT_TRUE(writeFile(file, "precious"));
    std::string seenPath;
    EXPECT_THROW(oxReplaceFile(file,
                               [&](std::FILE* f, const std::string& path) {
                                   seenPath = path;
                                   std::fputs("half a fi", f);
                                   throw std::runtime_error("writer failed");
                               }),
                 std::runtime_error);
    EXPECT_EQ(readFile(file), "precious");
    EXPECT_EQ(entries(dir.path()), std::vector<std::string>{"keep"});
    // The temporary file was beside the target, hidden and uniquely named.
    EXPECT_EQ(std::filesystem::path(seenPath).parent_path(), std::filesystem::path(dir.path()));
    EXPECT_TRUE(startsWith(std::filesystem::path(seenPath).filename().string(), ".keep."));
}

TEST(ReplaceFile, WritersMayWriteByPath)
{
    TempDir dir;
    const std::string file = dir.file("bypath");
    oxReplaceFile(file, [](std::FILE*, const std::string& path) { ASSERT_TRUE(writeFile(path, "written by path")); });
    EXPECT_EQ(readFile(file), "written by path");
    EXPECT_EQ(entries(dir.path()), std::vector<std::string>{"bypath"});
}

TEST(ReplaceFile, RefusesFoldersDevicesAndMissingFolders)
{
    TempDir dir;
    ASSERT_EQ(mkdir(dir.file("folder").c_str(), 0755), 0);
    ASSERT_EQ(mkfifo(dir.file("pipe").c_str(), 0644), 0);
    EXPECT_EQ(imageError([&] { writeText(dir.file("folder"), "x"); }),
              "cannot open file. (" + oxSystemErrorText(EISDIR) + ")");
    EXPECT_TRUE(startsWith(imageError([&] { writeText(dir.file("pipe"), "x"); }), "cannot open file. ("));
    EXPECT_TRUE(S_ISFIFO(statOf(dir.file("pipe")).st_mode));
    EXPECT_EQ(imageError([&] { writeText(dir.file("missing/x"), "x"); }),
              "cannot open file. (" + oxSystemErrorText(ENOENT) + ")");
    oxReplaceOptions texts;
    texts.createFailed = "JPEG transformation: can't open temporary file.";
    EXPECT_TRUE(startsWith(imageError([&] { writeText(dir.file("missing/x"), "x", texts); }),
                           "JPEG transformation: can't open temporary file. ("));
    EXPECT_EQ(entries(dir.path()), (std::vector<std::string>{"folder", "pipe"}));
}

TEST(ReplaceFile, NamesAtTheLengthLimit)
{
    TempDir dir;
    const std::string name(255, 'n');
    writeText(dir.file(name), "long");
    EXPECT_EQ(readFile(dir.file(name)), "long");
    writeText(dir.file(name), "again");
    EXPECT_EQ(entries(dir.path()), std::vector<std::string>{name});
}

TEST(ReplaceFile, FollowsSymlinks)
{
    TempDir dir;
    ASSERT_TRUE(writeFile(dir.file("real"), "old"));
    ASSERT_EQ(symlink("real", dir.file("link").c_str()), 0);
    writeText(dir.file("link"), "new");
    EXPECT_TRUE(S_ISLNK(statOf(dir.file("link")).st_mode));
    EXPECT_EQ(readFile(dir.file("real")), "new");
}

TEST(ReplaceFile, ConcurrentReplacementsNeverMix)
{
    TempDir dir;
    const std::string file = dir.file("shared");
    const std::string a(100000, 'a'), b(100000, 'b');
    std::thread first([&] {
        for (int i = 0; i < 20; ++i)
            writeText(file, a);
    });
    std::thread second([&] {
        for (int i = 0; i < 20; ++i)
            writeText(file, b);
    });
    first.join();
    second.join();
    const std::string result = readFile(file);
    EXPECT_TRUE(result == a || result == b);
    EXPECT_EQ(entries(dir.path()), std::vector<std::string>{"shared"});
}

TEST(ReplaceFile, AFullDiskIsReportedAndTheProcessLives)
{
    TempDir dir;
    const std::string file = dir.file("old");
    ASSERT_TRUE(writeFile(file, "old content"));
    const int code = runInChild([&] {
        const struct rlimit limit = {1000, 1000};
        setrlimit(RLIMIT_FSIZE, &limit);
        const std::string message = imageError([&] { writeText(file, std::string(50000, 'x')); });
        return message == "cannot write file. (" + oxSystemErrorText(EFBIG) + ")" ? 0 : 10;
    });
    EXPECT_EQ(code, 0); // not 128 + SIGXFSZ
    EXPECT_EQ(readFile(file), "old content");
    EXPECT_EQ(entries(dir.path()), std::vector<std::string>{"old"});
}

// Two ways the final rename fails, run as an ordinary user (root would be
// allowed everything).
TEST(ReplaceFile, AFailingRenameLeavesTheTarget)
{
    if (geteuid() != 0)
        GTEST_SKIP() << "needs root to set the scene for another user";
    TempDir dir;
    allowOthersToEnter(dir.path());

    // The folder becomes read-only after the temporary file is written.
    const std::string own = dir.file("own");
    ASSERT_EQ(mkdir(own.c_str(), 0755), 0);
    ASSERT_EQ(chown(own.c_str(), 65534, 65534), 0);
    const std::string target = own + "/picture";
    ASSERT_TRUE(writeFile(target, "old"));
    ASSERT_EQ(chown(target.c_str(), 65534, 65534), 0);
    const int readOnly = runInChild(
        [&] {
            const std::string message = imageError([&] {
                oxReplaceFile(target, [&](std::FILE* f, const std::string&) {
                    std::fputs("new", f);
                    chmod(own.c_str(), 0555);
                });
            });
            return message == "cannot replace file. (" + oxSystemErrorText(EACCES) + ")" ? 0 : 10;
        },
        true);
    EXPECT_EQ(readOnly, 0);
    EXPECT_EQ(readFile(target), "old");

    // A shared folder with the sticky bit: the user may write another
    // user's file but not replace it. The temporary file is removed.
    const std::string shared = dir.file("shared");
    ASSERT_EQ(mkdir(shared.c_str(), 0777), 0);
    chmod(shared.c_str(), 01777);
    const std::string theirs = shared + "/picture";
    ASSERT_TRUE(writeFile(theirs, "old"));
    chmod(theirs.c_str(), 0666);
    const int sticky = runInChild(
        [&] {
            const std::string message = imageError([&] { writeText(theirs, "new"); });
            return message == "cannot replace file. (" + oxSystemErrorText(EPERM) + ")" ? 0 : 10;
        },
        true);
    EXPECT_EQ(sticky, 0);
    EXPECT_EQ(readFile(theirs), "old");
    EXPECT_EQ(entries(shared), std::vector<std::string>{"picture"});
}
