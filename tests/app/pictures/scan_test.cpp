#include "fixture.h"
#include "support/childprocess.h"

#include <cmath>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace fs = std::filesystem;
using Paths = std::vector<std::string>;

TEST_F(PictureListTest, ListsOnlyVisiblePictureFilesOfTheFolder)
{
    for (const char* name : {"B.JPEG", "a.jpg", "with space.jpeg", "Ωμέγα.jpg", "notes.txt", "a.jpg.txt",
                             ".hidden.jpg", "album.jpg/inside.jpg"}) // a folder named like a picture is none
        make(name);
    // A named pipe is no picture whatever its name; a rewrite's temporary
    // file left by a killed program goes once it is a day old.
    ASSERT_EQ(mkfifo(tree.file("pipe.jpg").c_str(), 0644), 0);
    const std::string stale = make(".oxtmp-a.jpg.Xy12Z9");
    const struct timespec old[2] = {{time(nullptr) - 2 * 86400, 0}, {time(nullptr) - 2 * 86400, 0}};
    utimensat(AT_FDCWD, stale.c_str(), old, 0);
    list.openFolder(tree.path(), SUBFOLDERS_NEVER);
    EXPECT_EQ(list.paths(), at({"B.JPEG", "a.jpg", "with space.jpeg", "Ωμέγα.jpg"}));
    EXPECT_FALSE(fs::exists(stale));
    EXPECT_FALSE(list.isRecursive());
    EXPECT_TRUE(asked.empty());
    EXPECT_EQ(shown, at({"B.JPEG"}));
    EXPECT_EQ(readConfigText(ConfigKey::LastFolder), tree.path());
    // A missing folder is said to be missing and not kept for the next
    // start; an empty one asks (answered OK: nothing searched). Either way
    // the earlier folder's picture is let go.
    TempDir other;
    fs::create_directory(other.file("empty"));
    for (const std::string& path : {other.file("absent"), other.file("empty")}) {
        const bool absent = path == other.file("absent");
        asked.clear(), shown.clear(), refits = 0, nothings = 0;
        EXPECT_EQ(list.openFolder(path, SUBFOLDERS_ASK), !absent);
        ASSERT_EQ(asked.size(), 1u) << path;
        if (absent) {
            EXPECT_EQ(asked[0].text, "The folder '" + path + "' does not exist.");
        }
        EXPECT_TRUE(list.paths().empty());
        EXPECT_EQ(readConfigText(ConfigKey::LastFolder), absent ? tree.path() : path);
        EXPECT_EQ(nothings, 1) << path;
        list.step(1);
        list.showCurrent();
        EXPECT_TRUE(shown.empty());
        EXPECT_EQ(refits, 0);
    }
}

TEST_F(PictureListTest, SubfolderQuestionAndModes)
{
    make("sub/a.jpg", "larger"); // by size it would come last: a recursive list is by path
    make("sub/deeper/b.jpg");
    make("sub2/c.jpg");
    make(".cache/hidden.jpg");
    writeConfigInt(ConfigKey::SortMode, CMD_SORT_BY_SIZE);
    answers = {MB_NO, MB_YES, MB_YES};
    list.openFolder(tree.path(), SUBFOLDERS_ASK);
    ASSERT_EQ(asked.size(), 1u);
    EXPECT_EQ(asked[0].title, "Pictavo error");
    EXPECT_EQ(asked[0].buttons | asked[0].icon << 8, MB_YES | MB_NO | MI_INFORMATION << 8);
    EXPECT_NE(asked[0].text.find("'" + tree.path() + "'"), std::string::npos) << asked[0].text;
    EXPECT_TRUE(list.paths().empty());
    EXPECT_TRUE(shown.empty());

    list.loadFolder(-3, SUBFOLDERS_ASK);
    EXPECT_EQ(list.paths(), at({"sub/a.jpg", "sub/deeper/b.jpg", "sub2/c.jpg"}));
    EXPECT_TRUE(list.isRecursive());
    EXPECT_EQ(list.currentIndex(), 0); // not left at -3
    EXPECT_EQ(shown, at({"sub/a.jpg"}));
    list.loadFolder(99, SUBFOLDERS_ASK);
    EXPECT_EQ(list.currentIndex(), 2);

    list.loadFolder(7, SUBFOLDERS_NEVER);
    EXPECT_TRUE(list.paths().empty());
    EXPECT_EQ(list.currentIndex(), 7); // an empty list keeps the start index
    make("own.jpg");
    list.loadFolder(50, SUBFOLDERS_ALWAYS); // with pictures of its own: searched anyway, unasked
    EXPECT_EQ(list.paths().size(), 4u);
    EXPECT_EQ(list.paths().front(), tree.file("own.jpg"));
    EXPECT_EQ(list.currentIndex(), 0); // limited to the folder's own pictures first
    EXPECT_EQ(asked.size(), 3u);
}

TEST_F(PictureListTest, ContinueQuestionsAfter10_30_90SecondsOfSearch)
{
    // Whole seconds count: 10.999999 s of search is not more than 10.
    make("only.jpg");
    tick = 10999999; // per clock reading
    list.openFolder(tree.path(), SUBFOLDERS_ALWAYS);
    EXPECT_TRUE(asked.empty());
    tick = 11000000;
    list.rescanFolder();
    ASSERT_EQ(asked.size(), 1u);
    EXPECT_EQ(asked[0].text, "10 seconds have passed. Continue searching?");
    EXPECT_EQ(asked[0].title, "");
    EXPECT_EQ(asked[0].icon, MI_QUESTION);

    // A second per folder; a question left open for 1000 s does not bring the next ones at once.
    for (int i = 0; i < 150; ++i)
        make("f" + std::to_string(1000 + i) + "/p.jpg");
    tick = 1000000;
    for (int64_t delay : {int64_t(0), int64_t(1000000000)}) {
        asked.clear();
        answers = {MB_YES, MB_YES, MB_YES};
        answerDelay = delay;
        list.rescanFolder();
        ASSERT_EQ(asked.size(), 3u) << "answer delay " << delay;
        for (size_t i = 0; i < 3; ++i)
            EXPECT_EQ(asked[i].text,
                      std::to_string(10 * int(std::pow(3, i))) + " seconds have passed. Continue searching?");
        EXPECT_EQ(list.count(), 151);
        EXPECT_EQ(list.promptInterval(), 270);
    }
    asked.clear();
    answers = {MB_YES, MB_NO}; // the pictures found so far stay, sorted
    list.rescanFolder();
    EXPECT_EQ(asked.size(), 2u);
    EXPECT_EQ(list.promptInterval(), 0);
    EXPECT_GT(list.count(), 20);
    EXPECT_LT(list.count(), 40);
    EXPECT_TRUE(std::is_sorted(list.paths().begin(), list.paths().end()));
}

TEST_F(PictureListTest, LinkedFoldersAreListedOnceAndLoopsEnd)
{
    TempDir outside;
    writeFile(outside.file("out.jpg"), "");
    make("a/a.jpg");
    make("a/b/b.jpg");
    make("top.jpg");
    fs::create_directory_symlink(tree.path(), tree.file("a/loop"));
    fs::create_directory_symlink(tree.file("a"), tree.file("a/b/up"));
    fs::create_directory_symlink(tree.file("a"), tree.file("0-alias")); // listed as a/, not 0-alias/
    fs::create_directory_symlink(outside.path(), tree.file("a/out1"));
    fs::create_directory_symlink(outside.path(), tree.file("a/out2"));
    fs::create_directory_symlink(tree.file("gone"), tree.file("dangling"));
    list.openFolder(tree.path(), SUBFOLDERS_ALWAYS);
    ASSERT_EQ(list.count(), 4) << testing::PrintToString(list.paths());
    Paths rest = list.paths();
    const std::string out = rest[2];
    rest.erase(rest.begin() + 2);
    EXPECT_EQ(rest, at({"a/a.jpg", "a/b/b.jpg", "top.jpg"}));
    EXPECT_TRUE(out == tree.file("a/out1/out.jpg") || out == tree.file("a/out2/out.jpg")) << out;
}

TEST_F(PictureListTest, UnreadableFoldersAreSkipped)
{
    make("open/a.jpg");
    make("top.jpg");
    make("locked/secret.jpg");
    for (const std::string& f : {tree.path(), tree.file("open"), tree.file("locked")})
        allowOthersToEnter(f);
    chmod(tree.file("locked").c_str(), 0711); // enterable, not listable
    const std::string locked = tree.file("locked");
    const int code = runInChild(
        [&] {
            if (access((locked + "/secret.jpg").c_str(), F_OK) != 0 || access(locked.c_str(), R_OK) == 0)
                return 9; // the test itself would be wrong
            list.openFolder(tree.path(), SUBFOLDERS_ALWAYS);
            if (list.paths() != at({"open/a.jpg", "top.jpg"}))
                return 1;
            list.openFolder(locked, SUBFOLDERS_ASK);
            return list.paths().empty() && asked.size() == 1 ? 0 : 2;
        },
        true);
    EXPECT_EQ(code, 0);
}
