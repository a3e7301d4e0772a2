#include "fixture.h"

#include <chrono>
#include <climits>
#include <mutex>

using Paths = std::vector<std::string>;

TEST_F(PictureListTest, StepAndGoToClampAndSignalTheEnds)
{
    const Paths p = {make("a.jpg"), make("b.jpg"), make("c.jpg")};
    list.openFolder(tree.path(), SUBFOLDERS_NEVER);
    list.step(1);
    list.goTo(2);
    list.goTo(2); // already there: not shown again
    list.goTo(-5);
    list.goTo(99);
    EXPECT_EQ(shown, (Paths{p[0], p[1], p[2], p[0], p[2]}));
    EXPECT_EQ(refits, 5);

    list.step(1); // sound off: a message, and the position stays
    ASSERT_EQ(asked.size(), 1u);
    EXPECT_EQ(asked[0].text, "No more images available.");
    EXPECT_EQ(asked[0].title, "Pictavo");
    EXPECT_EQ(asked[0].buttons | asked[0].icon << 8, MB_OK | MI_INFORMATION << 8);
    EXPECT_EQ(list.currentIndex(), 2);
    EXPECT_EQ(shown.size(), 5u);

    std::mutex lock;
    Paths played;
    const oxSoundPlayer previous = oxSetSoundPlayer([&](const char* id) {
        std::lock_guard<std::mutex> guard(lock);
        played.push_back(id);
    });
    soundEnabled = true; // a warning sound instead of the message
    list.step(INT_MAX);
    list.goTo(0);
    list.step(INT_MIN);
    EXPECT_TRUE(oxFlushSounds(std::chrono::seconds(5)));
    oxSetSoundPlayer(previous);
    EXPECT_EQ(played, (Paths{"dialog-warning", "dialog-warning"}));
    EXPECT_EQ(asked.size(), 1u);
    EXPECT_EQ(list.currentIndex(), 0);

    thumbnails = true; // no single picture shown, but the transform is refitted
    list.step(1);
    EXPECT_EQ(shown.size(), 6u);
    EXPECT_EQ(refits, 7);
}

TEST_F(PictureListTest, RemovingEntriesMovesTheViewOn)
{
    const Paths p = {make("a.jpg"), make("b.jpg"), make("c.jpg"), make("d.jpg")};
    list.openFolder(tree.path(), SUBFOLDERS_NEVER);
    list.goTo(1);
    shown.clear();
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

TEST_F(PictureListTest, RescanKeepsTheCurrentPictureAndTheSearchDepth)
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
}

TEST_F(PictureListTest, PrefixesFolderDialogAndThumbnailNotice)
{
    EXPECT_FALSE(list.hasPathWithPrefix(""));
    make("Sub/p.jpg");
    const std::string q = make("other/q.jpg"), other = tree.file("other");
    list.openFolder(tree.path(), SUBFOLDERS_ALWAYS);
    EXPECT_TRUE(list.hasPathWithPrefix(tree.path() + "/Sub/"));
    EXPECT_FALSE(list.hasPathWithPrefix(tree.path() + "/sub/"));
    EXPECT_TRUE(folders.empty()); // only told while thumbnails are shown

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
