// A picture list over a temporary folder tree, with every hook recorded.
#pragma once

#include "app/pictures/picturelist.h"
#include "app/shell/configkeys.h"
#include "oxengine/platform/messagebox.h"
#include "oxengine/platform/sound.h"
#include "oxengine/storage/config.h"
#include "oxengine/storage/files.h"
#include "support/testsupport.h"
#include "tests/app/apptest.h"

#include <gtest/gtest.h>

#include <filesystem>

class PictureListTest : public ::testing::Test {
protected:
    struct Asked {
        std::string text, title;
        int buttons, icon;
    };

    void SetUp() override { soundEnabled = false; }
    void TearDown() override { soundEnabled = true; }

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

    TestSettings m_settings{"picturelist_test"};
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
