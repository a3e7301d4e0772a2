#include "oxengine/strings.h"

#include <gtest/gtest.h>

using Tokens = std::vector<std::string>;

TEST(SplitString, CommandLineRules)
{
    EXPECT_EQ(splitString("  a  b\tc ", " \t", "\""), (Tokens{"a", "b", "c"}));
    EXPECT_EQ(splitString("-window \"My Photos/2012\" -log", " \t", "\""),
              (Tokens{"-window", "My Photos/2012", "-log"}));
    // Text right after a closing quote starts a new token.
    EXPECT_EQ(splitString("\"ab\"cd", " ", "\""), (Tokens{"ab", "cd"}));
    // Unterminated quote runs to the end.
    EXPECT_EQ(splitString("x \"a b", " ", "\""), (Tokens{"x", "a b"}));
    EXPECT_EQ(splitString("", " ", "\""), Tokens{});
    EXPECT_EQ(splitString("   ", " ", "\""), Tokens{});
}

TEST(SplitString, KeepEmptyTokens)
{
    EXPECT_EQ(splitString(",a,,b,", ",", "", 0, true), (Tokens{"", "a", "", "b", ""}));
    EXPECT_EQ(splitString("a", ",", "", 0, true), (Tokens{"a"}));
    EXPECT_EQ(splitString(",", ",", "", 0, true), (Tokens{"", ""}));
}

TEST(SplitString, TokenLimit)
{
    EXPECT_EQ(splitString("a b c d", " ", "", 2), (Tokens{"a", "b c d"}));
    EXPECT_EQ(splitString("a b c d", " ", "", 1), (Tokens{"a b c d"}));
    // Below 1 means no limit.
    EXPECT_EQ(splitString("a b c", " ", "", 0), (Tokens{"a", "b", "c"}));
    EXPECT_EQ(splitString("a b c", " ", "", -3), (Tokens{"a", "b", "c"}));
}

TEST(TextUtilities, TrimJoinReplaceCase)
{
    EXPECT_EQ(trim("  \t x y \n"), "x y");
    EXPECT_EQ(trim("   "), "");
    EXPECT_EQ(join({"a", "b", "c"}, ", "), "a, b, c");
    EXPECT_EQ(join({}, ","), "");
    EXPECT_EQ(replaceAll("aaa", "a", "aa"), "aaaaaa");
    EXPECT_EQ(replaceAll("abc", "", "x"), "abc");
    EXPECT_EQ(toLower("AbC-ÄÖ"), "abc-ÄÖ"); // ASCII only: UTF-8 bytes stay intact
    EXPECT_TRUE(startsWith("picture.jpg", "pic"));
    EXPECT_FALSE(startsWith("pi", "pic"));
    EXPECT_TRUE(endsWith("picture.jpg", ".jpg"));
    EXPECT_FALSE(endsWith("picture.JPG", ".jpg")); // case-sensitive
    EXPECT_TRUE(equalsIgnoreCase("JPG", "jpg"));
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

TEST(Utf8, CharacterBoundaries)
{
    const std::string text = "aΩ€b"; // 1 + 2 + 3 + 1 bytes
    EXPECT_EQ(utf8Length(text), 4u);
    EXPECT_EQ(utf8Offset(text, 2), 3u);
    EXPECT_EQ(utf8Offset(text, 10), text.size());
    EXPECT_EQ(utf8Next(text, 1), 3u);
    EXPECT_EQ(utf8Prev(text, 6), 3u);
    EXPECT_EQ(utf8Prev(text, 3), 1u);
    EXPECT_EQ(utf8Prev(text, 0), 0u);
    const std::string broken = "a\xA9\xA9";
    EXPECT_EQ(utf8Prev(broken, 3), 2u);
}
