#include "oxengine/core/startuptrace.h"

#include <gtest/gtest.h>

// The trace is process-wide: one test walks it from off to on.
TEST(StartupTrace, RecordsEachStageOnceInOrderAndReplaysToANewOutput)
{
    oxMarkStartup("before"); // off: not kept
    EXPECT_FALSE(oxStartupTraced());
    oxTraceStartup(false);
    oxMarkStartup("a");
    oxMarkStartup("b");
    oxMarkStartup("a");
    std::vector<std::string> lines; // a and b replayed, then c
    oxTraceStartup(false, [&](const std::string& line) { lines.push_back(line); });
    oxMarkStartup("c");
    oxTraceStartup(false); // the output goes
    oxMarkStartup("d");
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_EQ(lines[0].rfind("startup: a ", 0), 0u) << lines[0];
    EXPECT_EQ(lines[1].rfind("startup: b ", 0), 0u) << lines[1];
    EXPECT_NE(lines[2].find(" ms"), std::string::npos);
}
