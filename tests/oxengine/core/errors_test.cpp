#include "oxengine/core/errors.h"

#include "failurecapture.h"
#include "testsupport.h"

#include <gtest/gtest.h>

// The slider hands parseDouble whatever was typed.
TEST(ParseNumbers, TypedNumbersOrTheirErrors)
{
    EXPECT_DOUBLE_EQ(parseDouble(" 2.5e3x"), 2500.0);
    EXPECT_EQ(parseDouble("1e-999"), 0.0); // underflow is harmless
    const auto message = [](auto parse) { return thrownMessage<oxNumberException>(parse); };
    EXPECT_EQ(message([] { parseDouble("abc"); }), "found a while looking for double");
    // Out of the range is an error, not a saturated value.
    EXPECT_NE(message([] { parseDouble("1e999"); }), "");
    EXPECT_NE(message([] { parseDouble(""); }), "");
}

TEST(FailureSink, VerifyReportsABrokenInvariantCutToItsLimitAndGoesOnElseToStderr)
{
    FailureCapture capture;
    int value = 0;
    EXPECT_FALSE(oxVerify(value == 1, "value must be one"));
    EXPECT_TRUE(oxVerify(value == 0, "never reported"));
    oxFatalError(std::string(5000, 'm').c_str(), "c", "f.cpp", 1);
    const std::vector<oxFailure> failures = capture.failures();
    ASSERT_EQ(failures.size(), 2u);
    EXPECT_TRUE(failures[0].brokenInvariant);
    EXPECT_EQ(failures[0].title, "Fatal Error");
    EXPECT_NE(failures[0].text.find("value must be one\nCondition: value == 1 at "), std::string::npos);
    EXPECT_EQ(failures[1].text.size(), 999u);
    // Without a sink, or when it throws, the report goes to stderr.
    for (const oxFailureSink& sink : {oxFailureSink(), oxFailureSink([](const oxFailure&) { throw 1; })}) {
        oxSetFailureSink(sink);
        testing::internal::CaptureStderr();
        oxReportFailure({true, "Fatal Error", "broken"});
        oxReportFailure({false, "", "bad catalogue"});
        EXPECT_EQ(testing::internal::GetCapturedStderr(), "Fatal Error: broken\nbad catalogue\n");
    }
}

TEST(FailureSinkDeathTest, AssertEndsTheProcessWithCode3AfterTheReport)
{
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(
        {
            oxSetFailureSink({}); // to stderr, where the test looks for it
            void* listener = nullptr;
            oxAssert(listener != 0, "GUIEventListener must not be 0");
        },
        testing::ExitedWithCode(3), "Fatal Error: GUIEventListener must not be 0\nCondition: !\\(listener != 0\\)");
}
