#include "oxengine/storage/fileops.h"

#include "support/childprocess.h"
#include "support/testsupport.h"

#include <gtest/gtest.h>

#include <csignal>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

struct IsolatedHome {
    IsolatedHome()
    {
        oxFilename::initialize();
        allowOthersToEnter(home.path()); // for the children that run as another user
    }
    TempHome home;
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

// Options that answer every question with `answer` and record the questions ("<title>: <text>") and the progress.
struct Recorded : oxFileOpOptions {
    explicit Recorded(bool answer = false)
    {
        progress = [this](const std::string& t, int64_t done, int64_t total) { title = t, last = {done, total}; };
        confirm = [this, answer](const std::string& text, const std::string& caption) {
            questions.push_back(caption + ": " + text);
            return answer;
        };
    }
    std::vector<std::string> questions;
    std::string title;
    std::pair<int64_t, int64_t> last;
};

// A second file system for cross-volume moves, or "" when there is none.
std::string otherFileSystem(const std::string& than)
{
    struct stat a, b;
    if (stat("/dev/shm", &a) != 0 || stat(than.c_str(), &b) != 0 || a.st_dev == b.st_dev || access("/dev/shm", W_OK))
        return std::string();
    return "/dev/shm";
}

} // namespace

TEST_F(FileOps, CopyKeepsContentAndDateAndReportsProgressButNotOntoItself)
{
    const std::string data(300000, 'p'), source = file("Ωmega 写真.jpg");
    writeFile(source, data);
    oxFilename(source).setModificationDate(1300000000);
    Recorded options;
    ASSERT_TRUE(shellCopy(source, file("copy.jpg"), true, options).done);
    EXPECT_EQ(readFile(file("copy.jpg")), data);
    EXPECT_NEAR(oxFilename(file("copy.jpg")).modificationDate(), 1300000000, 1e-3);
    EXPECT_EQ(options.title, "Copying file...");
    EXPECT_EQ(options.last, (std::pair<int64_t, int64_t>(300000, 300000)));
    EXPECT_TRUE(options.questions.empty());
    EXPECT_EQ(folderEntries(m_dir), (std::vector<std::string>{"copy.jpg", "Ωmega 写真.jpg"}));
    // The same file, by name or through a link, is refused and left alone.
    ASSERT_EQ(symlink(source.c_str(), file("alias").c_str()), 0);
    const oxFileOpOutcome same = shellCopy(source, source, true, options);
    EXPECT_FALSE(same.done);
    EXPECT_NE(same.error.find("same file"), std::string::npos) << same.error;
    EXPECT_FALSE(shellCopy(file("alias"), source, false, options).done);
    EXPECT_EQ(readFile(source), data);
    // A named pipe is refused at once, not read until a writer comes.
    ASSERT_EQ(mkfifo(file("pipe.jpg").c_str(), 0644), 0);
    const oxFileOpOutcome pipe = shellCopy(file("pipe.jpg"), file("piped.jpg"), true, options);
    EXPECT_FALSE(pipe.done);
    EXPECT_NE(pipe.error.find("not a regular file"), std::string::npos) << pipe.error;
}

// The program always asks through its hook, copies confirming, moves not.
TEST_F(FileOps, ReplacingAsksAndNoChangesNothing)
{
    writeFile(file("new"), "NEW");
    writeFile(file("old"), "OLD");
    for (const bool move : {false, true}) {
        SCOPED_TRACE(move ? "move, confirm false still asks" : "copy with confirm");
        Recorded no;
        EXPECT_TRUE((move ? shellMove(file("new"), file("old"), false, no) : shellCopy(file("new"), file("old"), true, no)).done);
        ASSERT_EQ(no.questions.size(), 1u); // declined is no failure
        EXPECT_EQ(no.questions[0], "Confirm file replace: The file \"" + file("old") + "\" already exists.\nDo you want to replace it?");
        EXPECT_EQ(readFile(file("new")) + readFile(file("old")), "NEWOLD");
    }
    Recorded yes(true);
    EXPECT_TRUE(shellCopy(file("new"), file("old"), true, yes).done);
    EXPECT_EQ(readFile(file("old")), "NEW");
    EXPECT_TRUE(shellMove(file("old"), file("new"), false, yes).done);
    EXPECT_EQ(folderEntries(m_dir), (std::vector<std::string>{"new"}));
    EXPECT_EQ(yes.questions.size(), 2u);
}

TEST_F(FileOps, ReadOnlyTargetFolderOrFullDiskLeaveNoPartialTarget)
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
            const oxFileOpOutcome copy = shellCopy(src, locked + "/copy.jpg", true);
            if (copy.done || copy.error.find("Could not copy") == std::string::npos)
                return 1;
            return shellMove(src, locked + "/moved.jpg", false).done ? 2 : 0;
        },
        true);
    EXPECT_EQ(code, 0);
    EXPECT_EQ(readFile(src), std::string(5000, 's'));
    EXPECT_TRUE(folderEntries(locked).empty());
    // A file size limit makes writes fail part way, as a full disk does.
    const std::string big = file("big.jpg"), old = file("old.jpg"), other = otherFileSystem(m_dir);
    writeFile(big, std::string(1 << 20, 'b'));
    writeFile(old, "OLD");
    const std::string away = other.empty() ? std::string() : other + "/oxtest-full-" + std::to_string(getpid());
    if (!away.empty())
        writeFile(away, std::string(1 << 20, 'w'));
    const int full = runInChild([&] {
        signal(SIGXFSZ, SIG_IGN);
        const rlimit limit{64 * 1024, 64 * 1024};
        setrlimit(RLIMIT_FSIZE, &limit);
        const Recorded yes(true);
        if (shellCopy(big, file("copy.jpg"), true, yes).error.empty())
            return 1;
        if (shellCopy(big, old, true, yes).done) // replacing: the old file must survive
            return 2;
        return !away.empty() && shellMove(away, file("back.jpg"), false, yes).done ? 3 : 0; // the source must stay
    });
    EXPECT_EQ(full, 0);
    EXPECT_EQ(readFile(big), std::string(1 << 20, 'b'));
    EXPECT_EQ(readFile(old), "OLD");
    EXPECT_EQ(folderEntries(m_dir), (std::vector<std::string>{"big.jpg", "locked", "old.jpg", "src.jpg"}));
    if (!away.empty()) {
        EXPECT_EQ(readFile(away).size(), size_t(1) << 20);
        unlink(away.c_str());
    }
}

TEST_F(FileOps, MovesBetweenFileSystemsKeepTheSourceUntilTheCopyIsComplete)
{
    const std::string other = otherFileSystem(m_dir);
    if (other.empty())
        GTEST_SKIP() << "needs /dev/shm on another file system";
    const std::string away = other + "/oxtest-move-" + std::to_string(getpid()) + " φ.jpg";
    writeFile(file("a.jpg"), std::string(200000, 'a'));
    oxFilename(file("a.jpg")).setModificationDate(1111111111);
    Recorded options;
    ASSERT_TRUE(shellMove(file("a.jpg"), away, false, options).done);
    EXPECT_FALSE(pathExists(file("a.jpg")));
    EXPECT_EQ(readFile(away), std::string(200000, 'a'));
    EXPECT_NEAR(oxFilename(away).modificationDate(), 1111111111, 1e-3);
    EXPECT_EQ(options.title, "Moving file...");
    ASSERT_TRUE(shellMove(away, file("back.jpg"), false).done);
    EXPECT_FALSE(pathExists(away));
    EXPECT_EQ(folderEntries(m_dir), (std::vector<std::string>{"back.jpg"}));

    // A source the user may not remove: the move fails, both copies stay.
    ASSERT_EQ(mkdir(file("ro").c_str(), 0755), 0);
    writeFile(file("ro/a.jpg"), "AAAA");
    chmod(file("ro/a.jpg").c_str(), 0644);
    chmod(file("ro").c_str(), 0555);
    allowOthersToEnter(m_dir);
    const std::string src = file("ro/a.jpg");
    EXPECT_EQ(runInChild(
                  [&] {
                      if (access(src.c_str(), R_OK) != 0)
                          return 9;
                      const oxFileOpOutcome move = shellMove(src, away, false);
                      return !move.done && move.error.find("original") != std::string::npos ? 0 : 1;
                  },
                  true),
              0);
    EXPECT_EQ(readFile(src), "AAAA");
    EXPECT_EQ(readFile(away), "AAAA");
    unlink(away.c_str());
    EXPECT_TRUE(options.questions.empty());
}

TEST_F(FileOps, DeleteAsksAndUsesTheTrash)
{
    writeFile(file("Ωmega.jpg"), "pic");
    Recorded no;
    EXPECT_TRUE(shellDelete(file("Ωmega.jpg"), true, no).done);
    EXPECT_EQ(no.questions, std::vector<std::string>{"Confirm file delete: Do you want to move \"" + file("Ωmega.jpg") +
                                                     "\" to the trash?"});
    EXPECT_TRUE(pathExists(file("Ωmega.jpg")));
    Recorded options;
    ASSERT_TRUE(shellDelete(file("Ωmega.jpg"), false, options).done);
    EXPECT_TRUE(options.questions.empty());
    EXPECT_EQ(options.title, "Deleting file...");
    EXPECT_FALSE(pathExists(file("Ωmega.jpg")));
    EXPECT_EQ(readFile(g_home.home.trash() + "/files/Ωmega.jpg"), "pic"); // GIO writes the info beside it
    const oxFileOpOutcome gone = shellDelete(file("Ωmega.jpg"), false);
    EXPECT_FALSE(gone.done);
    EXPECT_NE(gone.error.find("Could not delete"), std::string::npos) << gone.error;
    // A 255-byte name (its Trash record would need a longer one) and /dev/shm (GIO offers no Trash on
    // system-internal mounts): asked, kept unless yes.
    const std::string other = otherFileSystem(m_dir);
    std::vector<std::string> victims{file(std::string(255, 'n'))};
    if (!other.empty())
        victims.push_back(other + "/oxtest-notrash-" + std::to_string(getpid()));
    for (const std::string& victim : victims) {
        SCOPED_TRACE(victim.substr(0, 40));
        writeFile(victim, "v");
        Recorded declined;
        EXPECT_TRUE(shellDelete(victim, false, declined).done);
        ASSERT_EQ(declined.questions.size(), 1u);
        EXPECT_NE(declined.questions[0].find("cannot be moved to the trash:\n"), std::string::npos) << declined.questions[0];
        EXPECT_NE(declined.questions[0].find("delete it permanently?"), std::string::npos);
        EXPECT_TRUE(pathExists(victim));
        EXPECT_TRUE(shellDelete(victim, false, Recorded(true)).done);
        EXPECT_FALSE(pathExists(victim));
    }
}
