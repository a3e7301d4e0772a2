#include "oxengine/core/regularfile.h"

#include "childprocess.h"
#include "testsupport.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

TEST(RegularFile, OnlyRegularFilesOpenAndNothingBlocks)
{
    TempDir dir;
    ASSERT_TRUE(writeFile(dir.file("file"), "content"));
    ASSERT_EQ(mkfifo(dir.file("pipe").c_str(), 0644), 0);
    ASSERT_EQ(symlink("pipe", dir.file("link").c_str()), 0);
    ASSERT_EQ(symlink("file", dir.file("good link").c_str()), 0);
    const int append = O_WRONLY | O_APPEND | O_CREAT;
    const struct {
        std::string path;
        int flags;
        int expected; // 0 opened, 100 not a regular file, else errno
    } cases[] = {
        {dir.file("file"), O_RDONLY, 0},
        {dir.file("good link"), O_RDONLY, 0},
        {dir.file("pipe"), O_RDONLY, 100},
        {dir.file("link"), O_RDONLY, 100},
        {dir.file("pipe"), append, 100},
        {dir.path(), O_RDONLY, 100},
        {"/dev/null", O_RDONLY, 100},
        {dir.file("missing"), O_RDONLY, ENOENT},
        {dir.file("new log"), append, 0},
    };
    for (const auto& c : cases) { // in a child that an alarm ends should the open block (code 128 + SIGALRM)
        EXPECT_EQ(runInChild([&] {
                      alarm(5);
                      int error = 0;
                      const oxFileDescriptor fd = oxOpenRegularFile(c.path, c.flags, error);
                      if (fd && (fcntl(fd.get(), F_GETFL) & O_NONBLOCK))
                          return 99; // handed out non-blocking
                      return fd ? 0 : error == OX_NOT_REGULAR_FILE ? 100 : error;
                  }),
                  c.expected)
            << c.path << " flags " << c.flags;
    }
}
