#include "oxengine/core/format.h"
#include "oxengine/core/strings.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>

using Tokens = std::vector<std::string>;

// Trimming and ASCII lower-casing are checked through the picture descriptions and the registry.
TEST(TextUtilities, SplitReplaceCaseAffixesAndUtf8WithItsLatin1Fallback)
{
    // Every caller splits without quotes or a token limit.
    EXPECT_EQ(splitString("  a  b\tc ", " \t"), (Tokens{"a", "b", "c"}));
    EXPECT_TRUE(splitString("   ", " \t").empty());
    EXPECT_EQ(splitString(",a,,b,", ",", "", 0, true), (Tokens{"", "a", "", "b", ""}));
    EXPECT_EQ(splitString(",", ",", "", 0, true), (Tokens{"", ""}));
    EXPECT_EQ(replaceAll("aaa", "a", "aa"), "aaaaaa");
    EXPECT_EQ(toLower("AbC-ÄÖ"), "abc-ÄÖ"); // UTF-8 bytes stay intact
    EXPECT_FALSE(startsWith("pi", "pic"));
    EXPECT_FALSE(endsWith("picture.JPG", ".jpg")); // case-sensitive
    // UTF-8: decoded, counted, and Latin-1 where it is none.
    EXPECT_EQ(utf8ToCodePoints("aü€😀"), (std::u32string{U'a', 0xFC, 0x20AC, 0x1F600}));
    // A stray continuation byte and a cut-off sequence read as Latin-1 bytes.
    EXPECT_EQ(utf8ToCodePoints("\xA9x\xC3"), (std::u32string{0xA9, U'x', 0xC3}));
    // Overlong encodings are not accepted as the character they spell.
    EXPECT_EQ(utf8ToCodePoints("\xC0\xAF"), (std::u32string{0xC0, 0xAF}));
    EXPECT_EQ(utf8FromCodePoints(U"Ωmega"), "Ωmega");
    const std::string text = "aΩ€b"; // 1 + 2 + 3 + 1 bytes
    EXPECT_EQ(utf8Length(text), 4u);
    EXPECT_EQ(utf8Offset(text, 2), 3u);
    EXPECT_EQ(utf8Offset(text, 10), text.size());
}

TEST(Format, NumbersFixedTrimmedSiPrefixesAndDatesPlainAndLocale)
{
    EXPECT_EQ(formatNumber(2.5, 2), "2.50");
    EXPECT_EQ(formatNumber(2.5, -2), "2.5");
    EXPECT_EQ(formatNumber(10, -2), "10"); // zeros before the point stay
    EXPECT_EQ(formatNumber(-0.125, 2), "-0.12");
    EXPECT_EQ(formatWithPrefix(999, 1, "B"), "999.0 B");
    EXPECT_EQ(formatWithPrefix(1000, 0, "B"), "1000 B");
    EXPECT_EQ(formatWithPrefix(1500, 1, "B"), "1.5 kB");
    EXPECT_EQ(formatWithPrefix(0, 0, "B"), "0 B");
    // Dates: the program shows them as %c in the locale.
    setenv("TZ", "UTC", 1);
    tzset();
    EXPECT_EQ(formatDateTime(0, false, "%Y-%m-%d %H:%M:%S"), "1970-01-01 00:00:00");
    EXPECT_EQ(formatDateTime(86400 * 365.0 + 0.9, false, "%Y %j"), "1971 001");
    // %c becomes the locale's date and time; in the C locale that is %x %X.
    EXPECT_EQ(formatDateTime(0, true, "%c"), formatDateTime(0, false, "%x %X"));
    // Out-of-range times do not crash.
    EXPECT_FALSE(formatDateTime(-1.7976931348623157e308, true, "%c").empty());
}
