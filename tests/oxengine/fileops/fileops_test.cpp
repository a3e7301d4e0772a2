#include "oxengine/fileops.h"

#include "support/childprocess.h"
#include "support/testsupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <csignal>
#include <cstdlib>
#include <dirent.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// HOME, XDG_DATA_HOME (and with it the Trash) are set before GLib first
// reads them, so no test can reach the user's own Trash.
struct IsolatedHome {
    IsolatedHome()
    {
        setenv("HOME", home.path().c_str(), 1);
        setenv("XDG_DATA_HOME", (home.path() + "/data").c_str(), 1);
        setenv("XDG_CONFIG_HOME", (home.path() + "/config").c_str(), 1);
        setenv("GIO_USE_VFS", "local", 1);
        oxFilename::initialize("fileops_test");
        allowOthersToEnter(home.path()); // for the children that run as another user
    }
    std::string trash() const { return home.path() + "/data/Trash"; }
    TempDir home;
};
IsolatedHome g_home;

// Test folders live inside HOME, on the file system of its Trash.
class FileOps : public ::testing::Test {
protected:
    void SetUp() override
    {
        m_dir = g_home.home.path() + "/work-" + std::to_string(++s_counter);
        ASSERT_EQ(mkdir(m_dir.c_str(), 0755), 0);
    }
    std::string file(const std::string& name) const { return m_dir + "/" + name; }
    std::string m_dir;
    static inline int s_counter = 0;
};

std::vector<std::string> entries(const std::string& folder)
{
    std::vector<std::string> out;
    if (DIR* d = opendir(folder.c_str())) {
        while (const dirent* e = readdir(d))
            if (std::string(e->d_name) != "." && std::string(e->d_name) != "..")
                out.push_back(e->d_name);
        closedir(d);
    }
    std::sort(out.begin(), out.end());
    return out;
}

bool exists(const std::string& path)
{
    struct stat st;
    return lstat(path.c_str(), &st) == 0;
}

oxMessageAnswer answer(int button)
{
    oxMessageAnswer a;
    a.button = button;
    return a;
}

// A second file system for cross-volume moves, or "" when there is none.
std::string otherFileSystem(const std::string& than)
{
    struct stat a, b;
    if (stat("/dev/shm", &a) != 0 || stat(than.c_str(), &b) != 0 || a.st_dev == b.st_dev || access("/dev/shm", W_OK))
        return std::string();
    return "/dev/shm";
}

} // namespace

TEST_F(FileOps, CopyKeepsContentAndDateAndReportsProgress)
{
    const std::string data(300000, 'p');
    writeFile(file("Ωmega 写真.jpg"), data);
    oxFilename(file("Ωmega 写真.jpg")).setModificationDate(1300000000);
    std::vector<std::pair<int64_t, int64_t>> steps;
    std::string title;
    oxFileOpOptions options;
    options.progress = [&](const std::string& t, int64_t done, int64_t total) {
        title = t;
        steps.emplace_back(done, total);
    };
    MessageCapture boxes;
    ASSERT_TRUE(shellCopy(file("Ωmega 写真.jpg"), file("copy.jpg"), true, options));
    EXPECT_EQ(readFile(file("copy.jpg")), data);
    EXPECT_EQ(readFile(file("Ωmega 写真.jpg")), data);
    EXPECT_NEAR(oxFilename(file("copy.jpg")).modificationDate(), 1300000000, 1e-3);
    EXPECT_EQ(title, "Copying file...");
    ASSERT_FALSE(steps.empty());
    EXPECT_EQ(steps.back().first, 300000);
    EXPECT_EQ(steps.back().second, 300000);
    EXPECT_EQ(boxes.count(), 0u);
    EXPECT_EQ(entries(m_dir), (std::vector<std::string>{"copy.jpg", "Ωmega 写真.jpg"}));
}

TEST_F(FileOps, CopyOverAnExistingFileAsksWhenConfirming)
{
    writeFile(file("new"), "NEW");
    writeFile(file("old"), "OLD");
    {
        MessageCapture boxes({answer(MB_NO)});
        EXPECT_TRUE(shellCopy(file("new"), file("old"), true)); // declined is no failure
        ASSERT_EQ(boxes.count(), 1u);
        EXPECT_EQ(boxes.messages()[0].buttons, MB_YES | MB_NO);
        EXPECT_NE(boxes.messages()[0].text.find(file("old")), std::string::npos);
        EXPECT_EQ(readFile(file("old")), "OLD");
    }
    {
        MessageCapture boxes({answer(MB_YES)});
        EXPECT_TRUE(shellCopy(file("new"), file("old"), true));
        EXPECT_EQ(readFile(file("old")), "NEW");
    }
    writeFile(file("new"), "NEWER");
    MessageCapture boxes;
    EXPECT_TRUE(shellCopy(file("new"), file("old"), false)); // no confirmation wanted
    EXPECT_EQ(boxes.count(), 0u);
    EXPECT_EQ(readFile(file("old")), "NEWER");
    EXPECT_EQ(entries(m_dir), (std::vector<std::string>{"new", "old"}));
    // An existing folder as the target means into that folder.
    ASSERT_EQ(mkdir(file("into").c_str(), 0755), 0);
    EXPECT_TRUE(shellMove(file("new"), file("into"), false));
    EXPECT_EQ(readFile(file("into/new")), "NEWER");
}

TEST_F(FileOps, MoveNeverReplacesSilently)
{
    writeFile(file("src"), "SRC");
    writeFile(file("dst"), "DST");
    {
        MessageCapture boxes({answer(MB_NO)});
        EXPECT_TRUE(shellMove(file("src"), file("dst"), false)); // confirm false still asks
        EXPECT_EQ(boxes.count(), 1u);
        EXPECT_EQ(readFile(file("src")), "SRC");
        EXPECT_EQ(readFile(file("dst")), "DST");
    }
    MessageCapture boxes({answer(MB_YES)});
    EXPECT_TRUE(shellMove(file("src"), file("dst"), false));
    EXPECT_EQ(readFile(file("dst")), "SRC");
    EXPECT_FALSE(exists(file("src")));
}

TEST_F(FileOps, SameFileIsRefusedAndLeftAlone)
{
    writeFile(file("a"), "A");
    ASSERT_EQ(symlink(file("a").c_str(), file("alias").c_str()), 0);
    std::string error;
    oxFileOpOptions options;
    options.error = &error;
    EXPECT_FALSE(shellCopy(file("a"), file("a"), true, options));
    EXPECT_NE(error.find("same file"), std::string::npos) << error;
    EXPECT_FALSE(shellCopy(file("alias"), file("a"), false, options));
    EXPECT_EQ(readFile(file("a")), "A");
}

TEST_F(FileOps, ReadOnlyTargetFolderLeavesNothingBehind)
{
    writeFile(file("src.jpg"), std::string(5000, 's'));
    chmod(file("src.jpg").c_str(), 0644);
    ASSERT_EQ(mkdir(file("locked").c_str(), 0555), 0);
    allowOthersToEnter(m_dir);
    const std::string src = file("src.jpg"), locked = file("locked");
    const int code = runInChild(
        [&] {
            if (access(src.c_str(), R_OK) != 0)
                return 9; // the test itself would be wrong
            std::string error;
            oxFileOpOptions options;
            options.error = &error;
            if (shellCopy(src, locked + "/copy.jpg", true, options) || error.empty())
                return 1;
            if (shellMove(src, locked + "/moved.jpg", false, options))
                return 2;
            return 0;
        },
        true);
    EXPECT_EQ(code, 0);
    EXPECT_EQ(readFile(src), std::string(5000, 's'));
    EXPECT_TRUE(entries(locked).empty());
}

TEST_F(FileOps, FullDiskLeavesNoPartialTarget)
{
    // A file size limit makes writes fail part way, as a full disk does.
    const std::string big = file("big.jpg"), old = file("old.jpg");
    writeFile(big, std::string(1 << 20, 'b'));
    writeFile(old, "OLD");
    const std::string other = otherFileSystem(m_dir);
    const std::string away = other.empty() ? std::string() : other + "/oxtest-full-" + std::to_string(getpid());
    if (!away.empty())
        writeFile(away, std::string(1 << 20, 'w'));
    const int code = runInChild([&] {
        signal(SIGXFSZ, SIG_IGN);
        const rlimit limit{64 * 1024, 64 * 1024};
        setrlimit(RLIMIT_FSIZE, &limit);
        std::string error;
        oxFileOpOptions options;
        options.error = &error;
        MessageCapture yes({answer(MB_YES)});
        if (shellCopy(big, file("copy.jpg"), true, options) || error.empty())
            return 1;
        if (shellCopy(big, old, true, options)) // replacing: the old file must survive
            return 2;
        // From another file system: the source must stay.
        return !away.empty() && shellMove(away, file("back.jpg"), false, options) ? 3 : 0;
    });
    EXPECT_EQ(code, 0);
    EXPECT_EQ(readFile(big), std::string(1 << 20, 'b'));
    EXPECT_EQ(readFile(old), "OLD");
    EXPECT_EQ(entries(m_dir), (std::vector<std::string>{"big.jpg", "old.jpg"}));
    if (!away.empty()) {
        EXPECT_EQ(readFile(away).size(), size_t(1) << 20);
        unlink(away.c_str());
    }
}

TEST_F(FileOps, MoveBetweenFileSystems)
{
    const std::string other = otherFileSystem(m_dir);
    if (other.empty())
        GTEST_SKIP() << "needs /dev/shm on another file system";
    const std::string away = other + "/oxtest-move-" + std::to_string(getpid()) + " φ.jpg";
    writeFile(file("a.jpg"), std::string(200000, 'a'));
    oxFilename(file("a.jpg")).setModificationDate(1111111111);
    std::string title;
    oxFileOpOptions options;
    options.progress = [&](const std::string& t, int64_t, int64_t) { title = t; };
    MessageCapture boxes;
    ASSERT_TRUE(shellMove(file("a.jpg"), away, false, options));
    EXPECT_FALSE(exists(file("a.jpg")));
    EXPECT_EQ(readFile(away), std::string(200000, 'a'));
    EXPECT_NEAR(oxFilename(away).modificationDate(), 1111111111, 1e-3);
    EXPECT_EQ(title, "Moving file...");
    ASSERT_TRUE(shellMove(away, file("back.jpg"), false));
    EXPECT_FALSE(exists(away));
    EXPECT_EQ(readFile(file("back.jpg")), std::string(200000, 'a'));
    EXPECT_EQ(entries(m_dir), (std::vector<std::string>{"back.jpg"}));
    EXPECT_EQ(boxes.count(), 0u);
}

TEST_F(FileOps, MoveAcrossFileSystemsKeepsSourceItCannotRemove)
{
    const std::string other = otherFileSystem(m_dir);
    if (other.empty())
        GTEST_SKIP() << "needs /dev/shm on another file system";
    ASSERT_EQ(mkdir(file("ro").c_str(), 0755), 0);
    writeFile(file("ro/a.jpg"), "AAAA");
    chmod(file("ro/a.jpg").c_str(), 0644);
    chmod(file("ro").c_str(), 0555);
    allowOthersToEnter(m_dir);
    const std::string src = file("ro/a.jpg");
    const std::string away = other + "/oxtest-keep-" + std::to_string(getpid());
    unlink(away.c_str());
    std::string error;
    EXPECT_EQ(runInChild(
                  [&] {
                      std::string e;
                      oxFileOpOptions options;
                      options.error = &e;
                      if (access(src.c_str(), R_OK) != 0)
                          return 9;
                      return !shellMove(src, away, false, options) && e.find("original") != std::string::npos ? 0 : 1;
                  },
                  true),
              0);
    EXPECT_EQ(readFile(src), "AAAA");
    EXPECT_EQ(readFile(away), "AAAA"); // both copies stay, nothing is lost
    unlink(away.c_str());
}

TEST_F(FileOps, DeleteGoesToTheTrashWithItsInfo)
{
    writeFile(file("Ωmega.jpg"), "pic");
    MessageCapture boxes;
    std::string title;
    oxFileOpOptions options;
    options.progress = [&](const std::string& t, int64_t, int64_t) { title = t; };
    ASSERT_TRUE(shellDelete(file("Ωmega.jpg"), false, options));
    EXPECT_EQ(boxes.count(), 0u);
    EXPECT_EQ(title, "Deleting file...");
    EXPECT_FALSE(exists(file("Ωmega.jpg")));
    EXPECT_EQ(readFile(g_home.trash() + "/files/Ωmega.jpg"), "pic");
    const std::string info = readFile(g_home.trash() + "/info/Ωmega.jpg.trashinfo");
    EXPECT_NE(info.find("[Trash Info]"), std::string::npos);
    EXPECT_NE(info.find("Path="), std::string::npos);
    EXPECT_NE(info.find("DeletionDate="), std::string::npos);
}

TEST_F(FileOps, DeleteWithConfirmAsksFirst)
{
    writeFile(file("keep.jpg"), "k");
    {
        MessageCapture boxes({answer(MB_NO)});
        EXPECT_TRUE(shellDelete(file("keep.jpg"), true));
        ASSERT_EQ(boxes.count(), 1u);
        EXPECT_EQ(boxes.messages()[0].icon, MI_QUESTION);
        EXPECT_TRUE(exists(file("keep.jpg")));
    }
    MessageCapture boxes({answer(MB_YES)});
    EXPECT_TRUE(shellDelete(file("keep.jpg"), true));
    EXPECT_FALSE(exists(file("keep.jpg")));
    EXPECT_TRUE(exists(g_home.trash() + "/files/keep.jpg"));
}

TEST_F(FileOps, NoTrashMeansAskingBeforeDeletingForGood)
{
    // GIO offers no Trash on /dev/shm (a system-internal mount).
    const std::string other = otherFileSystem(m_dir);
    if (other.empty())
        GTEST_SKIP() << "needs /dev/shm on another file system";
    const std::string victim = other + "/oxtest-notrash-" + std::to_string(getpid());
    writeFile(victim, "v");
    {
        MessageCapture boxes({answer(MB_NO)});
        EXPECT_TRUE(shellDelete(victim, false));
        ASSERT_EQ(boxes.count(), 1u);
        EXPECT_NE(boxes.messages()[0].text.find("cannot be moved to the trash"), std::string::npos);
        EXPECT_TRUE(exists(victim));
    }
    MessageCapture boxes({answer(MB_YES)});
    EXPECT_TRUE(shellDelete(victim, false));
    EXPECT_FALSE(exists(victim));
    unlink(victim.c_str());
}

TEST_F(FileOps, FileOpsFollowTheFileSystemThroughSymlinkedFolders)
{
    ASSERT_EQ(runCommand("mkdir -p '" + file("real/inner") + "' '" + file("lexical") + "'"), 0);
    ASSERT_EQ(symlink(file("real/inner").c_str(), file("lexical/link").c_str()), 0);
    writeFile(file("real/pic.jpg"), "real");
    writeFile(file("lexical/pic.jpg"), "decoy");
    MessageCapture boxes;
    ASSERT_TRUE(shellCopy(file("lexical/link/../pic.jpg"), file("copied.jpg"), false));
    EXPECT_EQ(readFile(file("copied.jpg")), "real");
    ASSERT_TRUE(shellDelete(file("lexical/link/../pic.jpg"), false));
    EXPECT_FALSE(exists(file("real/pic.jpg")));
    EXPECT_EQ(readFile(file("lexical/pic.jpg")), "decoy");
}
