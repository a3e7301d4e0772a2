#include "oxengine/core/strings.h"

#include <gtest/gtest.h>

using Tokens = std::vector<std::string>;

TEST(SplitString, QuotesEmptyTokensAndLimits)
{
    struct Case {
        const char* text;
        const char* quotes;
        int limit;
        bool keepEmpty;
        Tokens tokens;
    } cases[] = {
        {"  a  b\tc ", "\"", 0, false, {"a", "b", "c"}},
        {"-window \"My Photos/2012\" -log", "\"", 0, false, {"-window", "My Photos/2012", "-log"}},
        {"\"ab\"cd", "\"", 0, false, {"ab", "cd"}}, // text right after a closing quote starts a new token
        {"x \"a b", "\"", 0, false, {"x", "a b"}},  // an unterminated quote runs to the end
        {"   ", "\"", 0, false, {}},
        {",a,,b,", "", 0, true, {"", "a", "", "b", ""}},
        {",", "", 0, true, {"", ""}},
        {"a b c d", "", 2, false, {"a", "b c d"}},
        {"a b c d", "", 1, false, {"a b c d"}},
        {"a b c", "", -3, false, {"a", "b", "c"}}, // below 1: no limit
    };
    for (const Case& c : cases)
        EXPECT_EQ(splitString(c.text, c.keepEmpty ? "," : " \t", c.quotes, c.limit, c.keepEmpty), c.tokens) << c.text;
}

TEST(TextUtilities, TrimReplaceCase)
{
    EXPECT_EQ(trim("  \t x y \n"), "x y");
    EXPECT_EQ(trim("   "), "");
    EXPECT_EQ(replaceAll("aaa", "a", "aa"), "aaaaaa");
    EXPECT_EQ(replaceAll("abc", "", "x"), "abc");
    EXPECT_EQ(toLower("AbC-ÄÖ"), "abc-ÄÖ"); // ASCII only: UTF-8 bytes stay intact
    EXPECT_FALSE(startsWith("pi", "pic"));
    EXPECT_FALSE(endsWith("picture.JPG", ".jpg")); // case-sensitive
}

TEST(Utf8, DecodesAndFallsBackToLatin1)
{
    EXPECT_EQ(utf8ToCodePoints("aü€😀"), (std::u32string{U'a', 0xFC, 0x20AC, 0x1F600}));
    // A stray continuation byte and a cut-off sequence read as Latin-1 bytes.
    EXPECT_EQ(utf8ToCodePoints("\xA9x\xC3"), (std::u32string{0xA9, U'x', 0xC3}));
    // Overlong encodings are not accepted as the character they spell.
    EXPECT_EQ(utf8ToCodePoints("\xC0\xAF"), (std::u32string{0xC0, 0xAF}));
    EXPECT_EQ(utf8FromCodePoints(U"Ωmega"), "Ωmega");
}

TEST(Utf8, CharacterCountAndOffsets)
{
    const std::string text = "aΩ€b"; // 1 + 2 + 3 + 1 bytes
    EXPECT_EQ(utf8Length(text), 4u);
    EXPECT_EQ(utf8Offset(text, 2), 3u);
    EXPECT_EQ(utf8Offset(text, 10), text.size());
}
