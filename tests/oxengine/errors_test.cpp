#include "oxengine/errors.h"

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

TEST(Exceptions, FamilyRelations)
{
    EXPECT_THROW(throw oxNumberException("x"), oxFormatException);
    EXPECT_THROW(throw oxShaderCompileException("log"), oxShaderException);
    EXPECT_THROW(throw oxTextureException("t"), oxException);
    EXPECT_THROW(throw oxImageException("m", "f"), std::exception);
}

TEST(ParseLong, ReadsLeadingNumbers)
{
    EXPECT_EQ(parseLong(" 42abc"), 42);
    EXPECT_EQ(parseLong("50%"), 50);
    EXPECT_EQ(parseLong("-7"), -7);
    EXPECT_EQ(parseLong("ff", 16), 255);
    EXPECT_EQ(parseLong("\t\n 12"), 12);
}

TEST(ParseLong, RejectsTextWithoutNumberOrOutOfRange)
{
    try {
        parseLong("   ");
        FAIL();
    } catch (const oxNumberException& e) {
        EXPECT_EQ(e.getMessage(), "empty string found while looking for long");
    }
    try {
        parseLong("x1");
        FAIL();
    } catch (const oxNumberException& e) {
        EXPECT_EQ(e.getMessage(), "found x while looking for long");
    }
    // Out of the 64-bit range is an error, not a saturated value.
    EXPECT_THROW(parseLong("99999999999999999999"), oxNumberException);
    EXPECT_THROW(parseLong("-99999999999999999999"), oxNumberException);
    EXPECT_EQ(parseLong("9223372036854775807"), 9223372036854775807L);
}

TEST(ParseDouble, ReadsAndRejects)
{
    EXPECT_DOUBLE_EQ(parseDouble(" 2.5e3x"), 2500.0);
    EXPECT_THROW(parseDouble(""), oxNumberException);
    try {
        parseDouble("abc");
        FAIL();
    } catch (const oxNumberException& e) {
        EXPECT_EQ(e.getMessage(), "found a while looking for double");
    }
    EXPECT_THROW(parseDouble("1e999"), oxNumberException);
    EXPECT_EQ(parseDouble("1e-999"), 0.0); // underflow is harmless
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
            oxSetMessageHandler([](const oxMessageRequest& r) {
                std::fprintf(stderr, "%s\n", r.text.c_str());
                return oxMessageAnswer{};
            });
            void* listener = nullptr;
            oxAssert(listener != 0, "GUIEventListener must not be 0");
        },
        testing::ExitedWithCode(3), "GUIEventListener must not be 0\nCondition: !\\(listener != 0\\)");
}
