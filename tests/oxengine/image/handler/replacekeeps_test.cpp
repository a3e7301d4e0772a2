// What a replacing rewrite leaves: nothing of its own when it is killed, and
// everything the old file carried besides its content.
#include "../imagetest.h"

#include "childprocess.h"
#include "oxengine/image/replacefile.h"

#include <csignal>
#include <sys/stat.h>
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

// A rotation (a rewrite by replacement) keeps what setfattr and setfacl put
// on the file.
TEST(ReplaceFile, ARotationKeepsExtendedAttributesAndAcls)
{
    oxFilename::initialize("test");
    TempDir dir;
    const std::string file = dir.file("tagged.tga"), quoted = "'" + file + "'";
    oxImageRegistry::instance().saveImage(*patternImage<oxColour>(3, 2), file, oxToneMapping::neutral());
    std::string out;
    if (runCommand("setfattr -n user.rating -v 5 " + quoted + " 2>&1", &out) != 0)
        GTEST_SKIP() << "no user extended attributes here (setfattr from the package attr): " << out;
    if (runCommand("setfacl -m u:65534:r " + quoted + " 2>&1", &out) != 0)
        GTEST_SKIP() << "no ACLs here (setfacl from the package acl): " << out;
    std::string acl, rating;
    runCommand("getfacl -cn " + quoted + " 2>/dev/null", &acl);
    ASSERT_NE(acl.find("user:65534:r--"), std::string::npos) << acl;

    oxImageTransform turn;
    turn.rotation = 1;
    oxImageRegistry::instance().transformFile(file, turn);
    EXPECT_EQ(oxImageRegistry::instance().loadImage(file, oxSize())->size(), oxSize(2, 3));
    runCommand("getfattr --only-values -n user.rating " + quoted + " 2>/dev/null", &rating);
    EXPECT_EQ(rating, "5");
    std::string after;
    runCommand("getfacl -cn " + quoted + " 2>/dev/null", &after);
    EXPECT_EQ(after, acl);
}
