// The window-system independent part of the engine's native boxes: which
// buttons a box has and what Escape means, text wrapping, the edit field's
// text model, and key symbols as characters.
#pragma once

#include <cstddef>
#include <functional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

struct oxBoxButton {
    const char* label; // English text, translated when drawn
    int answer;        // MB_OK, MB_YES, MB_NO or MB_CANCEL
};

// The buttons of a message box for the MessageButton flags, in display order
// (the first is the default), and the answer of Escape and of the window's
// close button.
std::vector<oxBoxButton> oxMessageBoxButtons(int flags);
int oxMessageBoxEscapeAnswer(int flags);

// Breaks text into lines no wider than maxWidth: at line breaks, then between
// words, and inside a word only when it alone is too wide. lineWidth measures
// a candidate line; tabs are kept for it (see oxTabbedWidth).
std::vector<std::u32string> oxWrapText(std::u32string_view text, int maxWidth,
                                       const std::function<int(std::u32string_view)>& lineWidth);

// Tab columns in a proportional font: a line's first run of tabs ends its
// first column. The column after it starts, for every line of text, gap
// right of the widest first column; 0 when no line has a tab.
int oxTabColumn(std::u32string_view text, int gap, const std::function<int(std::u32string_view)>& width);
// The line before and after its first run of tabs (all of it before when it
// has none).
std::pair<std::u32string_view, std::u32string_view> oxSplitAtTab(std::u32string_view line);
// A line's width with the text after its tabs at column (or gap right of
// the text before them, should that reach further).
int oxTabbedWidth(std::u32string_view line, int column, int gap,
                  const std::function<int(std::u32string_view)>& width);

// Text of an edit field, edited by whole characters.
class oxEditText {
public:
    oxEditText(std::u32string text, bool multiLine, size_t maxChars);

    const std::u32string& text() const { return m_text; }
    size_t cursor() const { return m_cursor; }

    // False when refused: a control character, a line break in a one-line
    // field, or the field is full.
    bool insert(char32_t c);
    void backspace();
    void deleteForward();
    void left();
    void right();
    void home(); // start of the cursor's line
    void end();  // end of the cursor's line
    // Previous / next line; the column is kept over shorter lines for as long
    // as the cursor only moves up and down.
    void up();
    void down();

    // The lines of the text and where the cursor is in them.
    std::vector<std::u32string> lines() const;
    size_t cursorLine() const;
    size_t cursorColumn() const;
    // Cursor to the given line and column (both clamped).
    void moveTo(size_t line, size_t column);

private:
    size_t lineStart(size_t pos) const;
    size_t lineEnd(size_t pos) const;
    void place(size_t line, size_t column);

    std::u32string m_text;
    size_t m_cursor;
    bool m_multiLine;
    size_t m_maxChars;
    size_t m_goalColumn = npos;
    static constexpr size_t npos = size_t(-1);
};
