#include "oxengine/core/errors.h"

#include "testsupport.h"

#include <gtest/gtest.h>

TEST(Exceptions, IOExceptionNamesTheFile)
{
    const oxImageException e("cannot open file.", "a.jpg");
    EXPECT_EQ(e.getMessage(), "file \"a.jpg\": cannot open file.");
    EXPECT_STREQ(e.what(), "file \"a.jpg\": cannot open file.");
    EXPECT_EQ(e.getFilename(), "a.jpg");
    EXPECT_EQ(e.describe(), "exception oxImageException: file \"a.jpg\": cannot open file.");
    // Caught through its bases with its dynamic type intact.
    try {
        throw e;
    } catch (const oxIOException& io) {
        EXPECT_NE(io.describe().find("oxImageException"), std::string::npos);
    }
}

TEST(ParseNumbers, ReadLeadingNumbersAndRejectTextWithoutOneOrOutOfRange)
{
    EXPECT_EQ(parseLong(" 42abc"), 42);
    EXPECT_EQ(parseLong("-7"), -7);
    EXPECT_EQ(parseLong("ff", 16), 255);
    EXPECT_EQ(parseLong("\t\n 12"), 12);
    EXPECT_EQ(parseLong("9223372036854775807"), 9223372036854775807L);
    EXPECT_DOUBLE_EQ(parseDouble(" 2.5e3x"), 2500.0);
    EXPECT_EQ(parseDouble("1e-999"), 0.0); // underflow is harmless
    const auto message = [](auto parse) {
        try {
            parse();
        } catch (const oxNumberException& e) {
            return e.getMessage();
        }
        return std::string("accepted");
    };
    EXPECT_EQ(message([] { parseLong("   "); }), "empty string found while looking for long");
    EXPECT_EQ(message([] { parseLong("x1"); }), "found x while looking for long");
    EXPECT_EQ(message([] { parseDouble("abc"); }), "found a while looking for double");
    // Out of the range is an error, not a saturated value.
    for (const char* big : {"99999999999999999999", "-99999999999999999999"})
        EXPECT_NE(message([&] { parseLong(big); }), "accepted") << big;
    EXPECT_NE(message([] { parseDouble("1e999"); }), "accepted");
    EXPECT_NE(message([] { parseDouble(""); }), "accepted");
}

TEST(Checks, VerifyReportsAndContinues)
{
    MessageCapture capture;
    int value = 0;
    const bool ok = oxVerify(value == 1, "value must be one");
    EXPECT_FALSE(ok);
    ASSERT_EQ(capture.count(), 1u);
    EXPECT_EQ(capture.messages()[0].title, "Fatal Error");
    EXPECT_EQ(capture.messages()[0].icon, MI_ERROR);
    EXPECT_NE(capture.messages()[0].text.find("value must be one\nCondition: value == 1 at "), std::string::npos);
    EXPECT_TRUE(oxVerify(value == 0, "never shown"));
    EXPECT_EQ(capture.count(), 1u);
}

TEST(Checks, FatalErrorCutsLongTexts)
{
    MessageCapture capture;
    const std::string longMessage(5000, 'm');
    oxFatalError(longMessage.c_str(), "c", "f.cpp", 1);
    ASSERT_EQ(capture.count(), 1u);
    EXPECT_EQ(capture.messages()[0].text.size(), 999u);
}

TEST(ChecksDeathTest, AssertEndsTheProcessWithCode3)
{
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(
        {
            void* listener = nullptr; // the test program's message handler prints the box
            oxAssert(listener != 0, "GUIEventListener must not be 0");
        },
        testing::ExitedWithCode(3), "GUIEventListener must not be 0\nCondition: !\\(listener != 0\\)");
}
