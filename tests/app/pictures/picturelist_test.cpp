// The picture list over a temporary folder tree, with every hook recorded.
#include "app/pictures/picturelist.h"
#include "app/shell/configkeys.h"
#include "oxengine/platform/messagebox.h"
#include "oxengine/platform/sound.h"
#include "support/childprocess.h"
#include "support/switches.h"
#include "tests/app/apptest.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <cmath>
#include <filesystem>
#include <limits>
#include <map>
#include <sys/stat.h>
#include <unistd.h>

namespace fs = std::filesystem;
using Paths = std::vector<std::string>;

namespace {

class PictureListTest : public ::testing::Test {
protected:
    struct Asked {
        std::string text, title;
        int buttons, icon;
    };

    PictureListHooks hooks()
    {
        PictureListHooks h;
        h.message = [this](const std::string& text, const std::string& title, int buttons, int icon) {
            asked.push_back({text, title, buttons, icon});
            now += answerDelay; // the user takes time to answer
            return asked.size() <= answers.size() ? answers[asked.size() - 1] : MB_OK;
        };
        h.showPicture = [this](int index, const std::string& path) {
            EXPECT_EQ(list.paths().at(size_t(index)), path);
            shown.push_back(path);
        };
        h.pictureShown = [this] { ++refits; };
        h.showNothing = [this] { ++nothings; };
        h.thumbnailsActive = [this] { return thumbnails; };
        h.folderChanged = [this](const std::string& folder) { folders.push_back(folder); };
        h.clockMicroseconds = [this] { return now += tick; };
        return h;
    }

    // Creates the file (and its folders) below the tree; returns its path.
    std::string make(const std::string& relative, const std::string& bytes = "")
    {
        const std::string path = tree.file(relative);
        std::filesystem::create_directories(std::filesystem::path(path).parent_path());
        writeFile(path, bytes);
        return path;
    }
    std::vector<std::string> at(std::initializer_list<const char*> names) const
    {
        std::vector<std::string> paths;
        for (const char* n : names)
            paths.push_back(tree.file(n));
        return paths;
    }

    TestSettings m_settings;
    SoundSwitch m_quiet{false};
    TempDir tree;
    std::vector<Asked> asked;
    std::vector<int> answers; // to the questions in turn; then OK
    std::vector<std::string> shown, folders;
    int refits = 0;
    int nothings = 0; // the view was told to show nothing
    bool thumbnails = false;
    int64_t now = 0, tick = 0, answerDelay = 0; // microseconds; tick per clock reading
    PictureList list{hooks()};
};

} // namespace

TEST_F(PictureListTest, ListsOnlyVisiblePictureFilesOfTheFolder)
{
    for (const char* name : {"B.JPEG", "a.jpg", "with space.jpeg", "Ωμέγα.jpg", "notes.txt", "a.jpg.txt",
                             ".hidden.jpg", "album.jpg/inside.jpg"}) // a folder named like a picture is none
        make(name);
    // A pipe is no picture; a killed rewrite's temporary file goes once a day old.
    ASSERT_EQ(mkfifo(tree.file("pipe.jpg").c_str(), 0644), 0);
    const std::string stale = make(".oxtmp-a.jpg.Xy12Z9");
    ASSERT_TRUE(oxFilename(stale).setModificationDate(double(time(nullptr) - 2 * 86400)));
    list.openFolder(tree.path(), SUBFOLDERS_NEVER);
    EXPECT_EQ(list.paths(), at({"B.JPEG", "a.jpg", "with space.jpeg", "Ωμέγα.jpg"}));
    EXPECT_FALSE(fs::exists(stale));
    EXPECT_FALSE(list.isRecursive()); // a rescan stays in the folder
    EXPECT_EQ(shown, at({"B.JPEG"}));
    // A missing folder (said: desktop_e2e) is not stored; the last picture is let go.
    shown.clear();
    EXPECT_FALSE(list.openFolder(tree.file("absent"), SUBFOLDERS_ASK));
    EXPECT_TRUE(list.paths().empty());
    EXPECT_EQ(readConfigText(ConfigKey::LastFolder), tree.path());
    EXPECT_EQ(nothings, 1);
    list.step(1);
    list.showCurrent();
    EXPECT_TRUE(shown.empty());
    EXPECT_EQ(refits, 1);
}

TEST_F(PictureListTest, SubfolderQuestionAndModes)
{
    make("sub/a.jpg", "larger"); // by size it would come last: a recursive list is by path
    make("sub/deeper/b.jpg");
    make("sub2/c.jpg");
    make(".cache/hidden.jpg");
    writeConfigInt(ConfigKey::SortMode, CMD_SORT_BY_SIZE);
    answers = {MB_NO, MB_YES, MB_YES};
    EXPECT_TRUE(list.openFolder(tree.path(), SUBFOLDERS_ASK)); // there, if empty
    ASSERT_EQ(asked.size(), 1u);
    EXPECT_EQ(asked[0].buttons, MB_YES | MB_NO);
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

TEST_F(PictureListTest, StepAndGoToClampAndSignalTheEndsRemovingEntriesMovesTheViewOn)
{
    const Paths p = {make("a.jpg"), make("b.jpg"), make("c.jpg"), make("d.jpg")};
    list.openFolder(tree.path(), SUBFOLDERS_NEVER);
    list.step(1);
    list.goTo(3);
    list.goTo(3); // already there: not shown again
    list.goTo(-5);
    list.goTo(99);
    EXPECT_EQ(shown, (Paths{p[0], p[1], p[3], p[0], p[3]}));
    EXPECT_EQ(refits, 5);

    list.step(1); // sound off: a message, and the position stays
    ASSERT_EQ(asked.size(), 1u);
    EXPECT_EQ(asked[0].text, "No more images available.");
    EXPECT_EQ(list.currentIndex(), 3);
    EXPECT_EQ(shown.size(), 5u);

    {
        SoundRecorder sounds; // a warning sound instead of the message
        list.step(INT_MAX);
        list.goTo(0);
        list.step(INT_MIN);
        EXPECT_EQ(sounds.played(), (Paths{"dialog-warning", "dialog-warning"}));
    }
    EXPECT_EQ(asked.size(), 1u);
    EXPECT_EQ(list.currentIndex(), 0);

    thumbnails = true; // no single picture shown, but the transform is refitted
    list.step(1);
    EXPECT_EQ(shown.size(), 6u);
    EXPECT_EQ(refits, 7);

    thumbnails = false; // at b
    shown.clear();
    asked.clear();
    EXPECT_TRUE(list.removePath(p[0])); // before the current one: b stays current, nothing redrawn
    EXPECT_EQ(list.currentPath(), p[1]);
    EXPECT_TRUE(list.removePath(p[1])); // the current one: c moves up and is shown
    list.goTo(1);
    EXPECT_TRUE(list.removePath(p[3])); // the last one: end signal, the new last one shown
    EXPECT_EQ(shown, (Paths{p[2], p[3], p[2]}));
    EXPECT_EQ(asked.size(), 1u);
    EXPECT_EQ(nothings, 0);
    EXPECT_TRUE(list.removePath(p[2])); // the last one: nothing may stay on screen
    EXPECT_FALSE(list.removePath(p[2]));
    EXPECT_EQ(asked.size(), 2u);
    EXPECT_EQ(shown.size(), 3u);
    EXPECT_EQ(nothings, 1);
    EXPECT_EQ(list.currentPath(), "");
}

TEST_F(PictureListTest, RescanFolderDialogAndThumbnailNotice)
{
    make("m.jpg");
    make("n.jpg");
    make("sub/x.jpg");
    list.openFolder(tree.path(), SUBFOLDERS_ALWAYS);
    list.goTo(1);
    make("a.jpg");
    make("sub/y.jpg");
    list.rescanFolder();
    EXPECT_EQ(list.paths(), at({"a.jpg", "m.jpg", "n.jpg", "sub/x.jpg", "sub/y.jpg"}));
    EXPECT_EQ(list.currentPath(), tree.file("n.jpg"));
    EXPECT_EQ(shown.back(), tree.file("n.jpg"));
    std::filesystem::remove(tree.file("n.jpg"));
    list.rescanFolder(); // the current file went: its successor takes the place
    EXPECT_EQ(list.currentPath(), tree.file("sub/x.jpg"));
    for (const std::string& f : list.paths())
        std::filesystem::remove(f);
    shown.clear();
    EXPECT_EQ(nothings, 0);
    list.rescanFolder(); // the view lets go of the last picture
    EXPECT_TRUE(list.paths().empty());
    EXPECT_TRUE(asked.empty()); // a rescan never asks about sub-folders
    EXPECT_TRUE(shown.empty());
    EXPECT_EQ(nothings, 1);

    EXPECT_TRUE(folders.empty()); // only told while thumbnails are shown

    // The folder dialog, on the emptied tree.
    const std::string q = make("other/q.jpg"), other = tree.file("other");

    Paths prompts;
    std::string answer;
    PictureListHooks h = hooks();
    h.chooseFolder = [&](std::string& path, const std::string& prompt) {
        prompts.push_back(path + " | " + prompt);
        path = answer.empty() ? path : answer;
        return !answer.empty();
    };
    PictureList withDialog(h);
    withDialog.setFolder(tree.path());
    withDialog.selectFolder(); // cancelled
    EXPECT_TRUE(withDialog.paths().empty());
    answer = other;
    thumbnails = true;
    shown.clear();
    withDialog.selectFolder();
    EXPECT_EQ(prompts, Paths(2, tree.path() + " | Load pictures from this folder:"));
    EXPECT_EQ(withDialog.paths(), Paths{q});
    EXPECT_EQ(readConfigText(ConfigKey::LastFolder), other);
    EXPECT_EQ(folders, Paths{other});
    EXPECT_TRUE(shown.empty());
}

TEST_F(PictureListTest, SortOrdersBreakTiesByPathAndKeepTheCurrentPicture)
{
    // name, bytes, date; ties in both date and size
    for (auto [name, bytes, date] : {std::tuple{"z.jpg", "1234", 300}, {"a.jpg", "12", 100}, {"x.jpg", "12", 100},
                                     {"x.jpg.jpg", "123456", 50}, {"ü.jpg", "", 200}, {"B.jpg", "1234", 300}})
        ASSERT_TRUE(oxFilename(make(name, bytes)).setModificationDate(date));
    list.openFolder(tree.path(), SUBFOLDERS_NEVER);
    // Bytes compare unsigned: upper case first, a prefix before its extensions, UTF-8 last.
    const auto byName = at({"B.jpg", "a.jpg", "x.jpg", "x.jpg.jpg", "z.jpg", "ü.jpg"});
    EXPECT_EQ(list.paths(), byName);
    list.goTo(4);
    writeConfigInt(ConfigKey::SortMode, CMD_SORT_BY_DATE);
    list.sortList();
    EXPECT_EQ(list.paths(), at({"x.jpg.jpg", "a.jpg", "x.jpg", "ü.jpg", "B.jpg", "z.jpg"}));
    EXPECT_EQ(list.currentIndex(), 5);
    writeConfigInt(ConfigKey::SortMode, CMD_SORT_BY_SIZE);
    list.sortList();
    EXPECT_EQ(list.paths(), at({"ü.jpg", "a.jpg", "x.jpg", "B.jpg", "z.jpg", "x.jpg.jpg"}));
    EXPECT_EQ(list.currentPath(), tree.file("z.jpg"));
    writeConfigInt(ConfigKey::SortMode, 999);
    list.sortList();
    EXPECT_EQ(list.paths(), byName);

    // A file gone since the scan stays in the list and sorts first.
    std::filesystem::remove(tree.file("z.jpg"));
    for (int mode : {CMD_SORT_BY_DATE, CMD_SORT_BY_SIZE}) {
        writeConfigInt(ConfigKey::SortMode, mode);
        list.sortList();
        EXPECT_EQ(list.paths().front(), tree.file("z.jpg")) << mode;
        EXPECT_EQ(list.count(), 6);
    }

    // Each key is read once, so a changing file cannot upset the order.
    std::vector<std::string> paths;
    std::map<std::string, int> firstKey, reads;
    for (int i = 0; i < 300; ++i) {
        paths.push_back("/p/" + std::to_string(i * 7919 % 1000));
        firstKey[paths.back()] = i % 5; // many ties
    }
    // Every later read sees the file changed or gone; key 2 reads as NaN.
    const auto read = [&](const std::string& p) { return ++reads[p] == 1 ? firstKey.at(p) : -1 - reads[p]; };
    PictureFileKeys keys;
    keys.date = [&](const std::string& p) {
        const int k = read(p);
        return k == 2 ? std::numeric_limits<double>::quiet_NaN() : double(k);
    };
    keys.size = [&](const std::string& p) { return int64_t(read(p)); };
    for (int mode : {CMD_SORT_BY_DATE, CMD_SORT_BY_SIZE}) {
        reads.clear();
        std::vector<std::string> sorted = paths;
        sortPicturePaths(sorted, mode, keys);
        EXPECT_TRUE(std::all_of(reads.begin(), reads.end(), [](const auto& r) { return r.second == 1; }));
        const auto key = [&](const std::string& s) {
            const int k = firstKey.at(s);
            return std::make_pair(mode == CMD_SORT_BY_DATE && k == 2 ? -1 : k, s); // NaN as the lowest date
        };
        EXPECT_TRUE(std::is_sorted(sorted.begin(), sorted.end(), [&](auto& x, auto& y) { return key(x) < key(y); }));
        EXPECT_TRUE(std::is_permutation(sorted.begin(), sorted.end(), paths.begin(), paths.end()));
    }
}
