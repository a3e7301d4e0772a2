#include "oxengine/storage/temporaryfiles.h"

#include "childprocess.h"
#include "testsupport.h"

#include <gtest/gtest.h>

#include <csignal>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

TEST(TemporaryFiles, InterruptsAndStaleFiles)
{
    for (const int signal : {SIGINT, SIGTERM}) {
        TempDir dir;
        const std::string written = oxTemporaryStem(dir.file("a.exr")) + "abcdef", done = dir.file(".oxtmp-done");
        const int status = runInChild([&] {
            if (!writeFile(done, "finished") || !writeFile(written, "half"))
                return 10;
            { oxTemporaryGuard finished(done); }
            oxTemporaryGuard guard(written);
            raise(signal);
            return 0;
        });
        EXPECT_EQ(status, 128 + signal); // the signal still ends the program
        EXPECT_FALSE(pathExists(written));
        EXPECT_TRUE(pathExists(done)); // no longer in the table: not ours to remove
    }
    // Stale ones of ours go when the folder is opened.
    TempDir dir;
    const std::string stale = dir.file(".oxtmp-a.jpg.x1y2z3"), copy = dir.file(".oxcopy-1234abcd"),
                      fresh = dir.file(".oxtmp-b.jpg.q1w2e3"), theirs = dir.file(".other.tmp"),
                      folder = dir.file(".oxtmp-folder"), link = dir.file(".oxtmp-link");
    for (const std::string& f : {stale, copy, fresh, theirs})
        ASSERT_TRUE(writeFile(f, "x"));
    ASSERT_EQ(mkdir(folder.c_str(), 0755), 0);
    ASSERT_EQ(symlink("a.jpg", link.c_str()), 0);
    for (const std::string& f : {stale, copy, theirs, folder, link, fresh}) {
        const time_t then = time(nullptr) - (f == fresh ? 3600 : 2 * 24 * 3600);
        const struct timespec times[2] = {{then, 0}, {then, 0}};
        utimensat(AT_FDCWD, f.c_str(), times, AT_SYMLINK_NOFOLLOW);
    }
    EXPECT_EQ(oxRemoveStaleTemporaries(dir.path()), 2);
    EXPECT_FALSE(pathExists(stale));
    EXPECT_FALSE(pathExists(copy));
    for (const std::string& f : {fresh, theirs, folder, link})
        EXPECT_TRUE(pathExists(f)) << f;
    EXPECT_EQ(oxRemoveStaleTemporaries(dir.file("missing")), 0);
    EXPECT_EQ(oxTemporaryStem("/p/q/a.exr"), "/p/q/.oxtmp-a.exr."); // the names the sweep looks for
}
