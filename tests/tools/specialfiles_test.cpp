// Named pipes under a picture's name: every handler refuses them at once.
#include "oxengine/image/exr/exrlibrary.h"
#include "testsupport.h"

#include <gtest/gtest.h>

#include <chrono>
#include <sys/stat.h>

TEST(OxImageTool, InfoOnANamedPipeAnswersAtOnce)
{
    TempDir dir;
    std::string files, expected;
    for (const auto& [name, message] : {std::pair{"p.jpg", "cannot open file."},
                                        std::pair{"p.png", "decompression failed."},
                                        std::pair{"p.tga", "cannot read from file."},
                                        std::pair{"p.gif", "OLE image loading: Can't open file."},
                                        std::pair{"p.exr", "cannot open EXR file"}}) {
        if (std::string(name) == "p.exr" && !oxExrLibrary::process())
            continue;
        ASSERT_EQ(mkfifo(dir.file(name).c_str(), 0644), 0);
        files += " '" + dir.file(name) + "'";
        expected += dir.file(name) + "\terror\t" + message + " (not a regular file)\n";
    }
    const auto start = std::chrono::steady_clock::now();
    std::string out;
    // timeout ends a blocked run (124) instead of the test.
    EXPECT_EQ(runCommand("timeout 10 " OX_BINARY_DIR "/tools/oximage info" + files + " 2>&1", &out), 1);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(2));
    EXPECT_EQ(out, expected);
}
