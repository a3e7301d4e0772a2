#include "oxengine/messagebox.h"
#include "oxengine/messagebox_layout.h"

#include <gtest/gtest.h>

namespace {

std::vector<int> answers(int flags)
{
    std::vector<int> out;
    for (const oxBoxButton& b : oxMessageBoxButtons(flags))
        out.push_back(b.answer);
    return out;
}

// Every character is one unit wide.
int monospace(std::u32string_view s)
{
    return int(s.size());
}

using Lines = std::vector<std::u32string>;

} // namespace

TEST(MessageBoxButtons, SetsAndEscapeAnswers)
{
    EXPECT_EQ(answers(MB_OK), (std::vector<int>{MB_OK}));
    EXPECT_EQ(answers(0), (std::vector<int>{MB_OK}));
    EXPECT_EQ(answers(MB_OK | MB_CANCEL), (std::vector<int>{MB_OK, MB_CANCEL}));
    EXPECT_EQ(answers(MB_CANCEL), (std::vector<int>{MB_OK, MB_CANCEL}));
    EXPECT_EQ(answers(MB_YES | MB_NO), (std::vector<int>{MB_YES, MB_NO}));
    EXPECT_EQ(answers(MB_NO), (std::vector<int>{MB_YES, MB_NO}));
    EXPECT_EQ(answers(MB_YES | MB_NO | MB_CANCEL | MB_OK), (std::vector<int>{MB_YES, MB_NO, MB_CANCEL}));

    EXPECT_EQ(oxMessageBoxEscapeAnswer(MB_OK), MB_OK);
    EXPECT_EQ(oxMessageBoxEscapeAnswer(MB_OK | MB_CANCEL), MB_CANCEL);
    EXPECT_EQ(oxMessageBoxEscapeAnswer(MB_YES | MB_NO), MB_NO);
    EXPECT_EQ(oxMessageBoxEscapeAnswer(MB_YES | MB_NO | MB_CANCEL), MB_CANCEL);
}

TEST(MessageBoxButtons, LabelsHaveGermanTranslations)
{
    for (int flags : {MB_OK | MB_CANCEL, MB_YES | MB_NO})
        for (const oxBoxButton& b : oxMessageBoxButtons(flags))
            EXPECT_FALSE(std::string(b.label).empty());
}

TEST(WrapText, BreaksBetweenWordsAndKeepsLineBreaks)
{
    EXPECT_EQ(oxWrapText(U"the quick brown fox", 10, monospace), (Lines{U"the quick", U"brown fox"}));
    EXPECT_EQ(oxWrapText(U"a\n\nb", 10, monospace), (Lines{U"a", U"", U"b"}));
    EXPECT_EQ(oxWrapText(U"one\r\ntwo", 10, monospace), (Lines{U"one", U"two"}));
    EXPECT_EQ(oxWrapText(U"", 10, monospace), (Lines{U""}));
    // Blanks at a break and at the end go; an indentation stays.
    EXPECT_EQ(oxWrapText(U"aaaa     bbbb   ", 6, monospace), (Lines{U"aaaa", U"bbbb"}));
    EXPECT_EQ(oxWrapText(U"  x", 6, monospace), (Lines{U"  x"}));
}

TEST(WrapText, CutsOnlyWordsThatAreTooWideAlone)
{
    EXPECT_EQ(oxWrapText(U"ab abcdefghijklmnop", 10, monospace), (Lines{U"ab", U"abcdefghij", U"klmnop"}));
    // A width that cannot hold one character still makes progress.
    EXPECT_EQ(oxWrapText(U"abc", 0, monospace), (Lines{U"a", U"b", U"c"}));
}

TEST(WrapText, TabsReachTheNextStop)
{
    EXPECT_EQ(oxWrapText(U"a\tb", 40, monospace), (Lines{U"a       b"}));
    EXPECT_EQ(oxWrapText(U"abcdefgh\tc", 40, monospace), (Lines{U"abcdefgh        c"}));
}

TEST(EditText, EditsWholeCharacters)
{
    oxEditText e(U"Grüße", false, 100);
    EXPECT_EQ(e.cursor(), 5u);
    e.backspace();
    e.backspace();
    EXPECT_EQ(e.text(), U"Grü");
    e.left();
    e.insert(U'Ω');
    EXPECT_EQ(e.text(), U"GrΩü");
    e.home();
    e.deleteForward();
    EXPECT_EQ(e.text(), U"rΩü");
    e.backspace(); // at the start: nothing
    e.end();
    e.right(); // at the end: nothing
    e.deleteForward();
    EXPECT_EQ(e.text(), U"rΩü");
    EXPECT_EQ(e.cursor(), 3u);
}

TEST(EditText, RefusesControlCharactersAndOverflow)
{
    oxEditText e(U"abcdefgh", false, 5); // a longer pre-filled text is cut
    EXPECT_EQ(e.text(), U"abcde");
    EXPECT_FALSE(e.insert(U'x'));
    e.backspace();
    EXPECT_TRUE(e.insert(U'x'));
    EXPECT_FALSE(e.insert(U'y'));
    EXPECT_EQ(e.text(), U"abcdx");

    oxEditText c(U"", false, 10);
    EXPECT_FALSE(c.insert(U'\t'));
    EXPECT_FALSE(c.insert(U'\x7f'));
    EXPECT_FALSE(c.insert(U'\x85'));
    EXPECT_FALSE(c.insert(U'\n'));
    EXPECT_TRUE(c.text().empty());
}

TEST(EditText, OneLineFieldShowsLineBreaksAsBlanks)
{
    oxEditText e(U"a\nb\r\nc", false, 100);
    EXPECT_EQ(e.text(), U"a b  c");
    EXPECT_EQ(e.lines().size(), 1u);
}

TEST(EditText, MultiLineCursorKeepsItsColumn)
{
    oxEditText e(U"first line\nab\nthird line", true, 100);
    EXPECT_EQ(e.cursorLine(), 2u);
    EXPECT_EQ(e.cursorColumn(), 10u);
    e.up(); // the short line clamps the column
    EXPECT_EQ(e.cursorLine(), 1u);
    EXPECT_EQ(e.cursorColumn(), 2u);
    e.up(); // and the longer one gets it back
    EXPECT_EQ(e.cursorColumn(), 10u);
    e.up(); // already on the first line
    EXPECT_EQ(e.cursorLine(), 0u);
    e.left(); // a sideways move forgets the column
    e.down();
    EXPECT_EQ(e.cursorColumn(), 2u);
    e.down();
    EXPECT_EQ(e.cursorColumn(), 9u);
    e.end();
    e.up();
    e.up();
    e.down();
    e.down(); // past the last line: stays on it
    EXPECT_EQ(e.cursorLine(), 2u);
    EXPECT_EQ(e.cursorColumn(), 10u);
    e.home();
    EXPECT_EQ(e.cursorColumn(), 0u);
    EXPECT_TRUE(e.insert(U'\n'));
    EXPECT_EQ(e.lines().size(), 4u);
    e.moveTo(99, 99);
    EXPECT_EQ(e.cursor(), e.text().size());
}

TEST(KeysymToUnicode, MapsWhatKeysType)
{
    EXPECT_EQ(oxKeysymToUnicode(0x61), U'a');
    EXPECT_EQ(oxKeysymToUnicode(0xFC), U'ü');
    EXPECT_EQ(oxKeysymToUnicode(0xDF), U'ß');
    EXPECT_EQ(oxKeysymToUnicode(0x10003A9), U'Ω');
    EXPECT_EQ(oxKeysymToUnicode(0x20AC), U'€');
    EXPECT_EQ(oxKeysymToUnicode(0xFFB5), U'5');
    EXPECT_EQ(oxKeysymToUnicode(0x13BD), char32_t(0x153));
    // Keys that type nothing, and out-of-range Unicode key symbols.
    EXPECT_EQ(oxKeysymToUnicode(0xFF0D), 0u); // Return
    EXPECT_EQ(oxKeysymToUnicode(0xFFE1), 0u); // Shift
    EXPECT_EQ(oxKeysymToUnicode(0x1000008), 0u);
    EXPECT_EQ(oxKeysymToUnicode(0x1110000), 0u);
    EXPECT_EQ(oxKeysymToUnicode(0x7F), 0u);
}
