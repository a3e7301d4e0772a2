#include "oxengine/core/format.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>

TEST(FormatNumber, FixedTrimmedAndIntegerBases)
{
    EXPECT_EQ(formatNumber(2.5, 2), "2.50");
    EXPECT_EQ(formatNumber(2.5, -2), "2.5");
    EXPECT_EQ(formatNumber(7, -3), "7");
    EXPECT_EQ(formatInteger(255, 16), "FF");
    EXPECT_EQ(formatInteger(-5, 2), "-5"); // other bases print decimal
    EXPECT_EQ(formatNumber(10, -2), "10"); // zeros before the point stay
    EXPECT_EQ(formatNumber(-0.125, 2), "-0.12");
    EXPECT_EQ(formatNumber(1e300, 0).size(), 301u);
}

TEST(FormatWithPrefix, SiPrefixes)
{
    EXPECT_EQ(formatWithPrefix(999, 1, "B"), "999.0 B");
    EXPECT_EQ(formatWithPrefix(1000, 0, "B"), "1000 B");
    EXPECT_EQ(formatWithPrefix(1500, 1, "B"), "1.5 kB");
    EXPECT_EQ(formatWithPrefix(2345678, 1, "B"), "2.3 MB");
    EXPECT_EQ(formatWithPrefix(0.002, 1, "s"), "2.0 ms");
    EXPECT_EQ(formatWithPrefix(0.000002, 0, "s"), "2 µs");
    EXPECT_EQ(formatWithPrefix(5e18, 0, "B"), "5000 PB"); // no prefix beyond P
    EXPECT_EQ(formatWithPrefix(0, 0, "B"), "0 B");
}

TEST(FormatDateTime, PlainAndLocale)
{
    setenv("TZ", "UTC", 1);
    tzset();
    EXPECT_EQ(formatDateTime(0, false, "%Y-%m-%d %H:%M:%S"), "1970-01-01 00:00:00");
    EXPECT_EQ(formatDateTime(86400 * 365.0 + 0.9, false, "%Y %j"), "1971 001");
    EXPECT_EQ(formatDateTime(0, true, "plain text"), "plain text");
    EXPECT_EQ(formatDateTime(0, true, ""), "");
    // %c becomes the locale's date and time; in the C locale that is %x %X.
    EXPECT_EQ(formatDateTime(0, true, "%c"), formatDateTime(0, false, "%x %X"));
    EXPECT_EQ(formatDateTime(0, true, "100%%"), "100%");
    // Out-of-range times do not crash.
    EXPECT_FALSE(formatDateTime(-1.7976931348623157e308, true, "%c").empty());
}
