#include "oxengine/platform/messagebox.h"
#include "oxengine/platform/messagebox_layout.h"

#include <gtest/gtest.h>

namespace {

using Lines = std::vector<std::u32string>;

// Every character is one unit wide.
int monospace(std::u32string_view s)
{
    return int(s.size());
}

} // namespace

TEST(MessageBoxLayout, ButtonSetsEscapeAnswersAndTextWrappedBetweenWordsWithTabColumns)
{
    const struct {
        int flags;
        std::vector<int> buttons;
        int escape;
    } cases[] = {
        {0, {MB_OK}, MB_OK},
        {MB_CANCEL, {MB_OK, MB_CANCEL}, MB_CANCEL},
        {MB_NO, {MB_YES, MB_NO}, MB_NO},
        {MB_YES | MB_NO | MB_CANCEL | MB_OK, {MB_YES, MB_NO, MB_CANCEL}, MB_CANCEL},
    };
    for (const auto& c : cases) {
        std::vector<int> buttons;
        for (const oxBoxButton& b : oxMessageBoxButtons(c.flags))
            buttons.push_back(b.answer);
        EXPECT_EQ(buttons, c.buttons) << c.flags;
        EXPECT_EQ(oxMessageBoxEscapeAnswer(c.flags), c.escape) << c.flags;
    }

    // Text wraps between words, cuts only words too wide alone and lines up tab columns.
    const struct {
        std::u32string text;
        int width;
        Lines lines;
    } texts[] = {
        {U"the quick brown fox", 10, {U"the quick", U"brown fox"}},
        {U"a\n\nb", 10, {U"a", U"", U"b"}},
        {U"one\r\ntwo", 10, {U"one", U"two"}},
        {U"", 10, {U""}},
        {U"aaaa     bbbb   ", 6, {U"aaaa", U"bbbb"}}, // blanks at a break and at the end go
        {U"  x", 6, {U"  x"}},                        // an indentation stays
        {U"ab abcdefghijklmnop", 10, {U"ab", U"abcdefghij", U"klmnop"}},
        {U"abc", 0, {U"a", U"b", U"c"}}, // too narrow for one character: still progresses
        {U"a\tb", 40, {U"a\tb"}},
    };
    for (size_t i = 0; i < std::size(texts); ++i)
        EXPECT_EQ(oxWrapText(texts[i].text, texts[i].width, monospace), texts[i].lines) << "case " << i;

    // Tab columns line up in a proportional font.
    // The second column starts a gap of 2 after the widest first column;
    // a tab run counts once; lines without tabs do not count.
    const std::u32string text = U"-window\tin a window\n-h\t\tthis text\nno tab at all, but long";
    const int column = oxTabColumn(text, 2, monospace);
    EXPECT_EQ(column, 9);
    EXPECT_EQ(oxTabbedWidth(U"-h\t\tthis text", column, 2, monospace), 9 + 9);
    EXPECT_EQ(oxTabColumn(U"no tabs", 2, monospace), 0);
    // Without a column the text after the tabs keeps the gap.
    EXPECT_EQ(oxTabbedWidth(U"abc\tde", 0, 2, monospace), 7);
    // Wrapping measures with the columns: "-window" and its text stay together.
    auto tabbed = [&](std::u32string_view s) { return oxTabbedWidth(s, column, 2, monospace); };
    EXPECT_EQ(oxWrapText(U"-h\tthis text is long", 18, tabbed), (Lines{U"-h\tthis text", U"is long"}));
}

// The program asks for one-line texts only.
TEST(EditText, EditsWholeCharactersWithinItsLimit)
{
    oxEditText e(U"Grüße", false, 100);
    e.backspace();
    e.backspace();
    e.left();
    e.insert(U'Ω');
    e.home();
    e.deleteForward();
    e.backspace(); // at the start: nothing
    e.end();
    e.right(); // at the end: nothing
    e.deleteForward();
    EXPECT_EQ(e.cursor(), 3u);

    oxEditText limited(U"abcdefgh", false, 5); // a longer pre-filled text is cut
    EXPECT_FALSE(limited.insert(U'x'));
    limited.backspace();
    EXPECT_TRUE(limited.insert(U'x'));
    EXPECT_EQ(limited.text(), U"abcdx");
    for (char32_t c : {U'\t', U'\x7f', U'\x85', U'\n'})
        EXPECT_FALSE(e.insert(c)) << unsigned(c);
    EXPECT_EQ(e.text(), U"rΩü");
    e.moveTo(0, 99); // a click right of the text
    EXPECT_EQ(e.cursor(), e.text().size());
    // A one-line field shows line breaks as blanks.
    EXPECT_EQ(oxEditText(U"a\nb\r\nc", false, 100).text(), U"a b  c");
}
