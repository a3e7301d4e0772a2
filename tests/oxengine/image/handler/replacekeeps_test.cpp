// What a replacing rewrite leaves: nothing of its own when it is killed, and
// everything the old file carried besides its content.
#include "../imagetest.h"

#include "childprocess.h"
#include "oxengine/image/replacefile.h"

#include <csignal>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

TEST(ReplaceFile, AKillInTheMiddleLeavesNoTemporaryFile)
{
    TempDir dir;
    const std::string file = dir.file("big.tga");
    ASSERT_TRUE(writeFile(file, "the old picture"));
    int ready[2];
    ASSERT_EQ(pipe(ready), 0);
    // The child writes 64 MB in steps; once it has started, it is killed.
    const pid_t child = startChild([&] {
        close(ready[0]);
        const std::string block(1 << 20, 'x');
        oxReplaceFile(file, [&](std::FILE* f, const std::string&) {
            for (int i = 0; i < 64; ++i) {
                std::fwrite(block.data(), 1, block.size(), f);
                if (i == 4) {
                    std::fflush(f);
                    (void)!write(ready[1], "w", 1);
                }
                usleep(50000);
            }
        });
        return 0;
    });
    close(ready[1]);
    char c = 0;
    ASSERT_EQ(read(ready[0], &c, 1), 1);
    close(ready[0]);
    kill(child, SIGKILL);
    EXPECT_EQ(waitChild(child), 128 + SIGKILL);
    EXPECT_EQ(folderEntries(dir.path()), std::vector<std::string>{"big.tga"});
    EXPECT_EQ(readFile(file), "the old picture");
}

TEST(ReplaceFile, KeepsExtendedAttributesAndAcls)
{
    TempDir dir;
    const std::string file = dir.file("tagged");
    ASSERT_TRUE(writeFile(file, "old"));
    if (setxattr(file.c_str(), "user.rating", "5", 1, 0) != 0)
        GTEST_SKIP() << "the test folder's file system refuses extended attributes: " << oxSystemErrorText(errno);
    const bool acl = runCommand("setfacl -m u:65534:r '" + file + "' 2>/dev/null") == 0;
    std::string before;
    runCommand("getfacl -cn '" + file + "' 2>/dev/null", &before);

    oxReplaceFile(file, [](std::FILE* f, const std::string&) { std::fputs("new", f); });
    EXPECT_EQ(readFile(file), "new");
    char value[8] = {};
    EXPECT_EQ(getxattr(file.c_str(), "user.rating", value, sizeof value), 1);
    EXPECT_STREQ(value, "5");
    std::string after;
    runCommand("getfacl -cn '" + file + "' 2>/dev/null", &after);
    EXPECT_EQ(after, before);
    if (acl) {
        EXPECT_NE(after.find("user:65534:r--"), std::string::npos) << after;
    }
}
