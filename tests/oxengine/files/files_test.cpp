#include "oxengine/files.h"

#include "support/childprocess.h"
#include "support/testsupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <limits>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// The process gets its own HOME before GLib reads (and caches) it.
struct IsolatedHome {
    IsolatedHome()
    {
        setenv("HOME", home.path().c_str(), 1);
        setenv("XDG_CONFIG_HOME", (home.path() + "/config").c_str(), 1);
        setenv("XDG_DATA_HOME", (home.path() + "/data").c_str(), 1);
        if (!std::getenv("OX_TEST_UNINITIALISED"))
            oxFilename::initialize("files_test");
    }
    TempDir home;
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

TEST(Filename, SplitsAndNormalisesPaths)
{
    const oxFilename f("/photos//2012/./a.jpg");
    EXPECT_EQ(f.components(), (std::vector<std::string>{"/", "photos", "2012", "a.jpg"}));
    EXPECT_EQ(f.toString(), "/photos/2012/a.jpg");
    EXPECT_EQ(f.depth(), 3);
    EXPECT_EQ(oxFilename("/").depth(), 0);
    EXPECT_EQ(oxFilename("/").toString(), "/");
    EXPECT_EQ(oxFilename().depth(), -1);
    EXPECT_EQ(oxFilename("/a/../..").toString(), "/");
    EXPECT_EQ(oxFilename("/x/y/../z").toString(), "/x/z");
    // "\" is an ordinary character of a name here.
    EXPECT_EQ(oxFilename("/a\\b.jpg").components().back(), "a\\b.jpg");
    EXPECT_EQ(oxFilename("sub/x.png").toString(), oxFilename::workingFolder().toString() + "sub/x.png");
    EXPECT_EQ(oxFilename::join(oxFilename("/base/"), "a/../sub/").toString(), "/base/sub/");
}

TEST(Filename, FolderMarksAndTrailingSeparator)
{
    EXPECT_EQ(oxFilename("/not/asked/folder/").toString(), "/not/asked/folder/");
    EXPECT_TRUE(oxFilename("/x/").isDirectory());
    // Never asked and without "/": not known to be a folder.
    const TempDir dir;
    oxFilename plain(dir.path());
    EXPECT_FALSE(plain.isDirectory());
    EXPECT_EQ(plain.toString(), dir.path());
    EXPECT_TRUE(plain.exists());
    EXPECT_TRUE(plain.isDirectory());
    EXPECT_EQ(plain.toString(), dir.path() + "/");
    EXPECT_EQ(oxFilename("/a/b.jpg").parentFolder().toString(), "/a/");
}

TEST(Filename, IdentityIsCaseSensitiveButExtensionsAreNot)
{
    EXPECT_TRUE(oxFilename("/Photos/2012").equals(oxFilename("/Photos/2012/")));
    EXPECT_FALSE(oxFilename("/photos/a.jpg").equals(oxFilename("/Photos/a.jpg")));
    EXPECT_TRUE(oxFilename("/Photos/2012").isAncestorOf(oxFilename("/Photos/2012/a.jpg")));
    EXPECT_FALSE(oxFilename("/Photos/2012").isAncestorOf(oxFilename("/Photos/2012")));
    EXPECT_FALSE(oxFilename("/photos/2012").isAncestorOf(oxFilename("/Photos/2012/a.jpg")));
    EXPECT_TRUE(oxFilename("/x/A.JPG").hasExtension("jpg"));
    EXPECT_TRUE(oxFilename("/x/a.Jpg").hasExtension(".JPG"));
    EXPECT_FALSE(oxFilename("/x/a.jpeg").hasExtension("jpg"));
    EXPECT_EQ(oxFilename("/x/archive.tar.GZ").extension(), "GZ");
}

TEST(Filename, DotDotFollowsSymlinkedFolders)
{
    TempDir dir;
    ASSERT_EQ(runCommand("mkdir -p '" + dir.path() + "/real/inner' '" + dir.path() + "/lexical'"), 0);
    ASSERT_EQ(symlink((dir.path() + "/real/inner").c_str(), (dir.path() + "/lexical/link").c_str()), 0);
    writeFile(dir.file("real/target.txt"), "real");
    writeFile(dir.file("lexical/target.txt"), "decoy");
    // The file system takes "link/.." to the link target's parent.
    const oxFilename f(dir.path() + "/lexical/link/../target.txt");
    EXPECT_EQ(readFile(f.toString()), "real");
    EXPECT_EQ(f.size(), 4);
    // A path that does not exist is handled lexically.
    EXPECT_EQ(oxFilename("/no/such/dir/../x").toString(), "/no/such/x");
}

TEST(FileInfo, IsAskedOnceAndKept)
{
    TempDir dir;
    writeFile(dir.file("a.jpg"), "12345");
    oxFilename f(dir.file("a.jpg"));
    EXPECT_TRUE(f.exists());
    EXPECT_FALSE(f.isDirectory());
    EXPECT_EQ(f.size(), 5);
    EXPECT_FALSE(f.isReadOnly());
    unlink(dir.file("a.jpg").c_str());
    EXPECT_TRUE(f.exists()); // kept information
    oxFilename copy = f;
    f.refresh();
    EXPECT_FALSE(f.exists());
    EXPECT_TRUE(copy.exists()); // each copy has its own record
    EXPECT_EQ(oxFilename(dir.file("a.jpg")).size(), -1);
    EXPECT_FALSE(oxFilename(dir.file("missing")).exists());
}

TEST(FileDates, ReadAndSetTheModificationTime)
{
    TempDir dir;
    writeFile(dir.file("a"), "x");
    const oxFilename f(dir.file("a"));
    EXPECT_TRUE(f.setModificationDate(1000000000.25));
    EXPECT_NEAR(f.modificationDate(), 1000000000.25, 1e-6);
    EXPECT_TRUE(f.setModificationDate(-86400.5)); // before 1970
    EXPECT_NEAR(f.modificationDate(), -86400.5, 1e-6);
    EXPECT_FALSE(f.setModificationDate(std::nan("")));

    const oxFilename missing(dir.file("gone"));
    EXPECT_EQ(missing.modificationDate(), std::numeric_limits<double>::lowest());
    EXPECT_FALSE(missing.setModificationDate(0));
    // A file that vanished sorts first by date.
    EXPECT_LT(missing.modificationDate(), f.modificationDate());
}

TEST(FolderListing, FilterHiddenAndFolders)
{
    TempDir dir;
    for (const char* n : {"a.jpg", "B.JPG", "c.png", ".hidden.jpg"})
        writeFile(dir.file(n), "x");
    ASSERT_EQ(mkdir(dir.file("sub.jpg").c_str(), 0755), 0);
    ASSERT_EQ(mkdir(dir.file(".git").c_str(), 0755), 0);
    ASSERT_EQ(symlink(dir.file("sub.jpg").c_str(), dir.file("linked").c_str()), 0);
    const oxFilename folder(dir.path() + "/");

    EXPECT_EQ(names(folder.listDirectory()),
              (std::vector<std::string>{"B.JPG", "a.jpg", "c.png", "linked/", "sub.jpg/"}));
    EXPECT_EQ(names(folder.listDirectory(nullptr, true)),
              (std::vector<std::string>{".git/", ".hidden.jpg", "B.JPG", "a.jpg", "c.png", "linked/", "sub.jpg/"}));
    ExtensionFilter jpg;
    EXPECT_EQ(names(folder.listDirectory(&jpg)), (std::vector<std::string>{"B.JPG", "a.jpg"}));
    EXPECT_EQ(jpg.lastFolder, dir.path() + "/");
    FolderFilter folders;
    const std::vector<oxFilename> subs = folder.listDirectory(&folders);
    EXPECT_EQ(names(subs), (std::vector<std::string>{"linked/", "sub.jpg/"}));
    for (const oxFilename& s : subs)
        EXPECT_TRUE(s.isDirectory());
}

TEST(FolderListing, FilePathListsItsFolderAndUnaskedFolderListsItself)
{
    TempDir dir;
    ASSERT_EQ(mkdir(dir.file("inner").c_str(), 0755), 0);
    writeFile(dir.file("inner/x.jpg"), "x");
    writeFile(dir.file("top.jpg"), "x");
    EXPECT_EQ(names(oxFilename(dir.file("top.jpg")).listDirectory()), (std::vector<std::string>{"inner/", "top.jpg"}));
    EXPECT_EQ(names(oxFilename(dir.file("inner")).listDirectory()), (std::vector<std::string>{"x.jpg"}));
}

TEST(FolderListing, VanishedAndUnreadableFolders)
{
    TempDir dir;
    ASSERT_EQ(mkdir(dir.file("gone").c_str(), 0755), 0);
    const oxFilename gone(dir.file("gone") + "/");
    rmdir(dir.file("gone").c_str());
    EXPECT_TRUE(gone.listDirectory().empty());

    ASSERT_EQ(mkdir(dir.file("closed").c_str(), 0), 0);
    allowOthersToEnter(dir.path());
    const std::string closed = dir.file("closed") + "/";
    EXPECT_EQ(runInChild([&] { return oxFilename(closed).listDirectory().empty() ? 0 : 1; }, true), 0);
}

TEST(FolderListing, UnreadableFilesAndNamesOfAnyScript)
{
    TempDir dir;
    const std::vector<std::string> expected{"Ωmega φωτο.jpg", "\"quoted\" 'single'.jpg", "with  two  spaces.jpg",
                                            "写真.jpg", "no read.jpg"};
    for (const std::string& n : expected)
        ASSERT_TRUE(writeFile(dir.file(n), "data"));
    chmod(dir.file("no read.jpg").c_str(), 0);
    ExtensionFilter jpg;
    std::vector<std::string> sorted = expected;
    std::sort(sorted.begin(), sorted.end());
    const std::vector<oxFilename> listed = oxFilename(dir.path() + "/").listDirectory(&jpg);
    EXPECT_EQ(names(listed), sorted);
    for (const oxFilename& f : listed) {
        EXPECT_TRUE(f.exists()) << f.toString();
        EXPECT_EQ(f.size(), 4) << f.toString();
    }
}

TEST(SpecialFolders, ComeFromTheEnvironmentWithFallbacks)
{
    const std::string home = g_home.home.path();
    EXPECT_EQ(oxFilename::appDataFolder().toString(), home + "/data/");
    // Without a documents entry in user-dirs.dirs the home folder is used.
    EXPECT_EQ(oxFilename::documentsFolder().toString(), home + "/");
    ASSERT_EQ(runCommand("mkdir -p '" + home + "/config' '" + home + "/Dokumente'"), 0);
    writeFile(home + "/config/user-dirs.dirs", "XDG_DOCUMENTS_DIR=\"$HOME/Dokumente\"\n");
    oxFilename::initialize("files_test");
    EXPECT_EQ(oxFilename::documentsFolder().toString(), home + "/Dokumente/");
    unlink((home + "/config/user-dirs.dirs").c_str());
    oxFilename::initialize("files_test");
    char exe[4096] = {};
    ASSERT_GT(readlink("/proc/self/exe", exe, sizeof exe - 1), 0);
    EXPECT_EQ(oxFilename::programFile().toString(), exe);
}

TEST(SpecialFolders, ForgottenInitializeIsReportedOnceAndRepaired)
{
    // A fresh process of this program, in which nothing was initialised.
    const std::string command = "OX_TEST_UNINITIALISED=1 /proc/" + std::to_string(getpid()) +
                                "/exe --gtest_filter=SpecialFolders.UninitialisedProcess";
    std::string output;
    EXPECT_EQ(runCommand(command + " 2>&1", &output), 0) << output;
    EXPECT_NE(output.find("[  PASSED  ] 1 test"), std::string::npos) << output;
}

TEST(SpecialFolders, UninitialisedProcess)
{
    if (!std::getenv("OX_TEST_UNINITIALISED"))
        GTEST_SKIP() << "runs only in the process started by ForgottenInitializeIsReportedOnceAndRepaired";
    MessageCapture boxes;
    ASSERT_FALSE(oxFilename::isInitialized());
    const oxFilename first("relative.jpg");
    const oxFilename second("/b.jpg");
    ASSERT_EQ(boxes.count(), 1u);
    EXPECT_EQ(boxes.messages()[0].text,
              "You need to Initialize() the oxFilename class in your main() before using it");
    EXPECT_TRUE(oxFilename::isInitialized());
    EXPECT_EQ(first.toString(), oxFilename::workingFolder().toString() + "relative.jpg");
}

TEST(RemoveFile, FilesFoldersAndLinks)
{
    TempDir dir;
    writeFile(dir.file("ro"), "x");
    chmod(dir.file("ro").c_str(), 0444);
    EXPECT_TRUE(oxFilename(dir.file("ro")).removeFile());
    EXPECT_FALSE(oxFilename(dir.file("ro")).exists());

    ASSERT_EQ(mkdir(dir.file("full").c_str(), 0755), 0);
    writeFile(dir.file("full/x"), "x");
    EXPECT_FALSE(oxFilename(dir.file("full")).removeFile());
    EXPECT_EQ(readFile(dir.file("full/x")), "x");

    writeFile(dir.file("target"), "keep");
    ASSERT_EQ(symlink(dir.file("target").c_str(), dir.file("link").c_str()), 0);
    EXPECT_TRUE(oxFilename(dir.file("link")).removeFile());
    EXPECT_EQ(readFile(dir.file("target")), "keep");
    EXPECT_FALSE(oxFilename(dir.file("never")).removeFile());
}

TEST(RenameTo, NeverReplacesUnlessAsked)
{
    TempDir dir;
    writeFile(dir.file("a"), "A");
    writeFile(dir.file("b"), "B");
    EXPECT_FALSE(oxFilename(dir.file("a")).renameTo(oxFilename(dir.file("b"))));
    EXPECT_EQ(readFile(dir.file("a")), "A");
    EXPECT_EQ(readFile(dir.file("b")), "B");
    EXPECT_TRUE(oxFilename(dir.file("a")).renameTo(oxFilename(dir.file("b")), true));
    EXPECT_EQ(readFile(dir.file("b")), "A");
    EXPECT_FALSE(oxFilename(dir.file("a")).exists());
}

TEST(RenameTo, CopiesAcrossFileSystems)
{
    struct stat shm, tmp;
    TempDir dir;
    if (stat("/dev/shm", &shm) != 0 || stat(dir.path().c_str(), &tmp) != 0 || shm.st_dev == tmp.st_dev)
        GTEST_SKIP() << "needs /dev/shm on another file system than " << dir.path();
    const std::string src = "/dev/shm/oxtest-rename-" + std::to_string(getpid());
    writeFile(src, std::string(100000, 'z'));
    oxFilename(src).setModificationDate(1234567890);
    EXPECT_TRUE(oxFilename(src).renameTo(oxFilename(dir.file("moved"))));
    EXPECT_FALSE(oxFilename(src).exists());
    EXPECT_EQ(readFile(dir.file("moved")), std::string(100000, 'z'));
    EXPECT_NEAR(oxFilename(dir.file("moved")).modificationDate(), 1234567890, 1e-3);
    // No temporary files are left beside the target.
    EXPECT_EQ(names(oxFilename(dir.path() + "/").listDirectory(nullptr, true)), (std::vector<std::string>{"moved"}));
    unlink(src.c_str());
}
