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
    const std::vector<oxStartupStage> stages = oxStartupStages();
    ASSERT_EQ(stages.size(), 2u);
    EXPECT_EQ(stages[0].name, "a");
    EXPECT_EQ(stages[1].name, "b");
    EXPECT_GE(stages[0].ms, 0.0);
    EXPECT_LE(stages[0].ms, stages[1].ms);

    std::vector<std::string> lines;
    oxTraceStartup(false, [&](const std::string& line) { lines.push_back(line); });
    oxMarkStartup("c");
    oxTraceStartup(false); // the output goes
    oxMarkStartup("d");
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_EQ(lines[0].rfind("startup: a ", 0), 0u) << lines[0];
    EXPECT_NE(lines[2].find(" ms"), std::string::npos);
}
