#include "oxengine/storage/files.h"

#include "support/failurecapture.h"
#include "support/testsupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <limits>
#include <sys/stat.h>
#include <unistd.h>

namespace {

struct IsolatedHome {
    IsolatedHome()
    {
        if (!std::getenv("OX_TEST_UNINITIALISED"))
            oxFilename::initialize();
    }
    TempHome home;
};
IsolatedHome g_home;

std::vector<std::string> names(const std::vector<oxFilename>& files)
{
    std::vector<std::string> out;
    for (const oxFilename& f : files)
        out.push_back(f.toString().substr(f.parentFolder().toString().size()));
    std::sort(out.begin(), out.end());
    return out;
}

struct ExtensionFilter : oxFilenameFilter {
    bool accept(const oxFilename& folder, const std::string& entry) const override
    {
        lastFolder = folder.toString();
        return entry.back() != '/' && oxFilename(folder.toString() + entry).hasExtension("jpg");
    }
    mutable std::string lastFolder;
};

struct FolderFilter : oxFilenameFilter {
    bool accept(const oxFilename&, const std::string& entry) const override { return entry.back() == '/'; }
};

} // namespace

// Relative paths, parents, folders' "/" and self-ancestry are the start path's, listings' and folder tree's tests.
TEST(Filename, SplitsNormalisesFollowsLinksComparesPathsAndReplacesExtensions)
{
    const oxFilename f("/photos//2012/./a.jpg");
    EXPECT_EQ(f.components(), (std::vector<std::string>{"/", "photos", "2012", "a.jpg"}));
    EXPECT_EQ(f.toString(), "/photos/2012/a.jpg");
    EXPECT_EQ(oxFilename("/a/../..").toString(), "/");
    EXPECT_EQ(oxFilename("/no/such/dir/../x").toString(), "/no/such/x"); // lexical where nothing exists
    EXPECT_EQ(oxFilename("/a\\b.jpg").components().back(), "a\\b.jpg"); // "\" is part of a name here
    EXPECT_EQ(oxFilename::join(oxFilename("/base/"), "a/../sub/").toString(), "/base/sub/");
    // A trailing "/" marks a folder; without it a path is a folder once asked.
    EXPECT_TRUE(oxFilename("/not/asked/").isDirectory());
    const TempDir dir;
    oxFilename plain(dir.path());
    EXPECT_FALSE(plain.isDirectory());
    EXPECT_TRUE(plain.exists());
    EXPECT_TRUE(plain.isDirectory());
    // Identity is case-sensitive, extensions are not.
    EXPECT_TRUE(oxFilename("/Photos/2012").equals(oxFilename("/Photos/2012/")));
    EXPECT_FALSE(oxFilename("/photos/a.jpg").equals(oxFilename("/Photos/a.jpg")));
    EXPECT_TRUE(oxFilename("/Photos/2012").isAncestorOf(oxFilename("/Photos/2012/a.jpg")));
    EXPECT_FALSE(oxFilename("/photos/2012").isAncestorOf(oxFilename("/Photos/2012/a.jpg")));
    EXPECT_TRUE(oxFilename("/x/a.Jpg").hasExtension(".JPG"));
    EXPECT_FALSE(oxFilename("/x/a.jpeg").hasExtension("jpg"));
    EXPECT_EQ(oxFilename("/x/archive.tar.GZ").extension(), "GZ");
    // "..", where something exists, is the file system's: after a link, the link target's parent.
    ASSERT_EQ(runCommand("mkdir -p '" + dir.path() + "/real/inner' '" + dir.path() + "/lexical'"), 0);
    ASSERT_EQ(symlink((dir.path() + "/real/inner").c_str(), (dir.path() + "/lexical/link").c_str()), 0);
    writeFile(dir.file("real/target.txt"), "real");
    writeFile(dir.file("lexical/target.txt"), "decoy");
    const oxFilename viaLink(dir.path() + "/lexical/link/../target.txt");
    EXPECT_TRUE(readFile(viaLink.toString()) == "real" && viaLink.size() == 4);
    // A new extension replaces only the file name's last dot.
    const std::pair<const char*, const char*> cases[] = {
        {"a.jpg", "a.png"},
        {"/p/a.JPG", "/p/a.png"},
        {"a", "a.png"},                       // none: added
        {"a.", "a.png"},                      // an empty one is replaced
        {".hidden", ".hidden.png"},           // a leading dot is no extension
        {"/p/.hidden.jpg", "/p/.hidden.png"}, // but a later one is
        {"/my.pics/a", "/my.pics/a.png"},     // a dot in a folder name is not
        {"/my.pics/a.b.c.jpg", "/my.pics/a.b.c.png"},
        {"Ωmega.tga", "Ωmega.png"},
    };
    for (const auto& [path, expected] : cases) {
        EXPECT_EQ(oxFilename::replaceExtension(path, "png"), expected) << path;
        EXPECT_EQ(oxFilename::replaceExtension(path, ".png"), expected) << path;
    }
    EXPECT_EQ(oxFilename::replaceExtension("/p/a.jpg", ""), "/p/a");
}

TEST(FileInfo, InfoDatesAndRemoval)
{
    TempDir dir;
    writeFile(dir.file("a.jpg"), "12345");
    oxFilename f(dir.file("a.jpg"));
    EXPECT_EQ(f.size(), 5);
    EXPECT_TRUE(f.setModificationDate(1000000000.25));
    EXPECT_NEAR(f.modificationDate(), 1000000000.25, 1e-6);
    EXPECT_TRUE(f.setModificationDate(-86400.5)); // before 1970
    EXPECT_NEAR(f.modificationDate(), -86400.5, 1e-6);
    const oxFilename unasked(dir.file("a.jpg"));
    unlink(dir.file("a.jpg").c_str());
    EXPECT_TRUE(f.exists()); // kept information
    EXPECT_FALSE(unasked.exists());
    // A file that is not there has no size and sorts first by date.
    EXPECT_EQ(oxFilename(dir.file("a.jpg")).size(), -1);
    EXPECT_EQ(f.modificationDate(), std::numeric_limits<double>::lowest());
    EXPECT_FALSE(f.setModificationDate(0));
    // Removal: files, empty folders, and links themselves.
    writeFile(dir.file("ro"), "x");
    chmod(dir.file("ro").c_str(), 0444);
    EXPECT_TRUE(oxFilename(dir.file("ro")).removeFile());
    EXPECT_FALSE(oxFilename(dir.file("ro")).exists());
    ASSERT_EQ(mkdir(dir.file("full").c_str(), 0755), 0);
    writeFile(dir.file("full/x"), "x");
    EXPECT_FALSE(oxFilename(dir.file("full")).removeFile());
    EXPECT_EQ(readFile(dir.file("full/x")), "x");
    writeFile(dir.file("a"), "A");
    ASSERT_EQ(symlink(dir.file("a").c_str(), dir.file("link").c_str()), 0);
    EXPECT_TRUE(oxFilename(dir.file("link")).removeFile()); // the link, not its target
    EXPECT_EQ(readFile(dir.file("a")), "A");
    EXPECT_FALSE(oxFilename(dir.file("never")).removeFile());
}

TEST(FolderListing, FilterHiddenFoldersAndFilePaths)
{
    TempDir dir;
    for (const char* n : {"a.jpg", "B.JPG", "c.png", ".hidden.jpg", "sub.jpg/x.jpg", ".git/x"}) {
        std::filesystem::create_directories(std::filesystem::path(dir.file(n)).parent_path());
        ASSERT_TRUE(writeFile(dir.file(n), "x"));
    }
    ASSERT_EQ(symlink(dir.file("sub.jpg").c_str(), dir.file("linked").c_str()), 0);
    // Nothing that is neither a file nor a folder is listed: a FIFO, a link to one, a broken link.
    ASSERT_EQ(mkfifo(dir.file("pipe.jpg").c_str(), 0644), 0);
    ASSERT_EQ(symlink("pipe.jpg", dir.file("to-pipe.jpg").c_str()), 0);
    ASSERT_EQ(symlink("gone.jpg", dir.file("broken.jpg").c_str()), 0);
    const oxFilename folder(dir.path() + "/");
    EXPECT_EQ(names(folder.listDirectory()), (std::vector<std::string>{"B.JPG", "a.jpg", "c.png", "linked/", "sub.jpg/"}));
    ExtensionFilter jpg;
    EXPECT_EQ(names(folder.listDirectory(&jpg)), (std::vector<std::string>{"B.JPG", "a.jpg"}));
    EXPECT_EQ(jpg.lastFolder, dir.path() + "/");
    FolderFilter folders;
    const std::vector<oxFilename> subs = folder.listDirectory(&folders);
    EXPECT_EQ(names(subs), (std::vector<std::string>{"linked/", "sub.jpg/"}));
    EXPECT_TRUE(subs[0].isDirectory() && subs[1].isDirectory());
    // A file path lists its folder; a folder path without "/" lists itself.
    EXPECT_EQ(names(oxFilename(dir.file("a.jpg")).listDirectory(&jpg)), (std::vector<std::string>{"B.JPG", "a.jpg"}));
    EXPECT_EQ(names(oxFilename(dir.file("sub.jpg")).listDirectory()), (std::vector<std::string>{"x.jpg"}));
}

// An unreadable folder is the picture list's test; it ends where a vanished one does.
TEST(FolderListing, VanishedFoldersUnreadableFilesAndNamesOfAnyScript)
{
    TempDir dir;
    ASSERT_EQ(mkdir(dir.file("gone").c_str(), 0755), 0);
    const oxFilename gone(dir.file("gone") + "/");
    rmdir(dir.file("gone").c_str());
    EXPECT_TRUE(gone.listDirectory().empty());
    std::vector<std::string> expected{"Ωmega φωτο.jpg", "\"quoted\" 'single'.jpg", "with  two  spaces.jpg", "写真.jpg",
                                      "no read.jpg"};
    for (const std::string& n : expected)
        ASSERT_TRUE(writeFile(dir.file(n), "data"));
    chmod(dir.file("no read.jpg").c_str(), 0);
    ExtensionFilter jpg;
    std::sort(expected.begin(), expected.end());
    const std::vector<oxFilename> listed = oxFilename(dir.path() + "/").listDirectory(&jpg);
    EXPECT_EQ(names(listed), expected);
    for (const oxFilename& f : listed)
        EXPECT_EQ(f.size(), 4) << f.toString();
}

TEST(SpecialFolders, DocumentsComeFromUserDirsWithTheHomeAsFallback)
{
    const std::string home = g_home.home.path();
    // Without a documents entry in user-dirs.dirs the home folder is used.
    EXPECT_EQ(oxFilename::documentsFolder().toString(), home + "/");
    ASSERT_EQ(runCommand("mkdir -p '" + home + "/config' '" + home + "/Dokumente'"), 0);
    writeFile(home + "/config/user-dirs.dirs", "XDG_DOCUMENTS_DIR=\"$HOME/Dokumente\"\n");
    oxFilename::initialize();
    EXPECT_EQ(oxFilename::documentsFolder().toString(), home + "/Dokumente/");
    unlink((home + "/config/user-dirs.dirs").c_str());
    oxFilename::initialize();
}

// Run as it is, this starts this program again with nothing initialised.
TEST(SpecialFolders, ForgottenInitializeIsReportedOnceAndRepaired)
{
    if (!inRerunWith("OX_TEST_UNINITIALISED"))
        return;
    FailureCapture capture;
    ASSERT_FALSE(oxFilename::isInitialized());
    const oxFilename first("relative.jpg"), second("/b.jpg");
    ASSERT_EQ(capture.failures().size(), 1u);
    EXPECT_FALSE(capture.failures()[0].brokenInvariant);
    EXPECT_EQ(capture.failures()[0].text, "You need to Initialize() the oxFilename class in your main() before using it");
    EXPECT_TRUE(oxFilename::isInitialized());
    EXPECT_EQ(first.toString(), oxFilename::workingFolder().toString() + "relative.jpg");
}
