#include "oxengine/platform/messagebox_layout.h"

#include "oxengine/core/catalogue.h"
#include "oxengine/platform/messagebox.h"

#include <algorithm>

std::vector<oxBoxButton> oxMessageBoxButtons(int flags)
{
    std::vector<oxBoxButton> buttons;
    if (flags & (MB_YES | MB_NO)) {
        buttons.push_back({N_("Yes"), MB_YES});
        buttons.push_back({N_("No"), MB_NO});
    } else {
        buttons.push_back({N_("OK"), MB_OK});
    }
    if (flags & MB_CANCEL)
        buttons.push_back({N_("Cancel"), MB_CANCEL});
    return buttons;
}

int oxMessageBoxEscapeAnswer(int flags)
{
    if (flags & MB_CANCEL)
        return MB_CANCEL;
    if (flags & (MB_YES | MB_NO))
        return MB_NO;
    return MB_OK;
}

namespace {

bool isBlank(char32_t c)
{
    return c == U' ';
}

void wrapParagraph(const std::u32string& text, int maxWidth, const std::function<int(std::u32string_view)>& width,
                   std::vector<std::u32string>& out)
{
    std::u32string line;
    size_t i = 0;
    while (i < text.size()) {
        // The next word and the blanks in front of it.
        size_t wordStart = i;
        while (wordStart < text.size() && isBlank(text[wordStart]))
            ++wordStart;
        size_t wordEnd = wordStart;
        while (wordEnd < text.size() && !isBlank(text[wordEnd]))
            ++wordEnd;
        const std::u32string_view gap(text.data() + i, wordStart - i);
        const std::u32string_view word(text.data() + wordStart, wordEnd - wordStart);
        i = wordEnd;
        if (word.empty())
            break; // blanks at the end of the paragraph
        std::u32string candidate = line;
        candidate.append(gap).append(word);
        if (width(candidate) <= maxWidth) {
            line = std::move(candidate);
            continue;
        }
        if (!line.empty()) {
            out.push_back(line); // the blanks at the break are dropped
            line.clear();
        } else {
            line.append(gap); // indentation of the paragraph's first word
        }
        // Place the word, cutting it where it alone is too wide.
        for (char32_t c : word) {
            std::u32string longer = line + c;
            if (!line.empty() && width(longer) > maxWidth) {
                out.push_back(line);
                line.assign(1, c);
            } else {
                line = std::move(longer);
            }
        }
    }
    out.push_back(line);
}

} // namespace

std::vector<std::u32string> oxWrapText(std::u32string_view text, int maxWidth,
                                       const std::function<int(std::u32string_view)>& lineWidth)
{
    std::vector<std::u32string> out;
    size_t start = 0;
    for (;;) {
        size_t end = text.find(U'\n', start);
        std::u32string_view paragraph = text.substr(start, end == std::u32string_view::npos ? end : end - start);
        if (!paragraph.empty() && paragraph.back() == U'\r')
            paragraph.remove_suffix(1);
        wrapParagraph(std::u32string(paragraph), maxWidth, lineWidth, out);
        if (end == std::u32string_view::npos)
            break;
        start = end + 1;
    }
    return out;
}

std::pair<std::u32string_view, std::u32string_view> oxSplitAtTab(std::u32string_view line)
{
    const size_t tab = line.find(U'\t');
    if (tab == std::u32string_view::npos)
        return {line, {}};
    size_t after = tab;
    while (after < line.size() && line[after] == U'\t')
        ++after;
    return {line.substr(0, tab), line.substr(after)};
}

int oxTabColumn(std::u32string_view text, int gap, const std::function<int(std::u32string_view)>& width)
{
    int column = 0;
    size_t start = 0;
    for (;;) {
        const size_t end = text.find(U'\n', start);
        const std::u32string_view line = text.substr(start, end == std::u32string_view::npos ? end : end - start);
        if (line.find(U'\t') != std::u32string_view::npos)
            column = std::max(column, width(oxSplitAtTab(line).first) + gap);
        if (end == std::u32string_view::npos)
            return column;
        start = end + 1;
    }
}

int oxTabbedWidth(std::u32string_view line, int column, int gap,
                  const std::function<int(std::u32string_view)>& width)
{
    if (line.find(U'\t') == std::u32string_view::npos)
        return width(line);
    const auto [before, after] = oxSplitAtTab(line);
    return std::max(column, width(before) + gap) + width(after);
}

// ---- oxEditText -------------------------------------------------------------------

oxEditText::oxEditText(std::u32string text, bool multiLine, size_t maxChars)
    : m_text(std::move(text)), m_multiLine(multiLine), m_maxChars(maxChars)
{
    if (!m_multiLine) {
        // A one-line field cannot hold line breaks; show them as blanks.
        for (char32_t& c : m_text)
            if (c == U'\n' || c == U'\r')
                c = U' ';
    }
    if (m_text.size() > m_maxChars)
        m_text.resize(m_maxChars);
    m_cursor = m_text.size();
}

bool oxEditText::insert(char32_t c)
{
    m_goalColumn = npos;
    if (c == U'\n') {
        if (!m_multiLine)
            return false;
    } else if (c < 0x20 || c == 0x7F || (c >= 0x80 && c < 0xA0)) {
        return false;
    }
    if (m_text.size() >= m_maxChars)
        return false;
    m_text.insert(m_text.begin() + std::ptrdiff_t(m_cursor), c);
    ++m_cursor;
    return true;
}

void oxEditText::backspace()
{
    m_goalColumn = npos;
    if (m_cursor == 0)
        return;
    m_text.erase(--m_cursor, 1);
}

void oxEditText::deleteForward()
{
    m_goalColumn = npos;
    if (m_cursor < m_text.size())
        m_text.erase(m_cursor, 1);
}

void oxEditText::left()
{
    m_goalColumn = npos;
    if (m_cursor > 0)
        --m_cursor;
}

void oxEditText::right()
{
    m_goalColumn = npos;
    if (m_cursor < m_text.size())
        ++m_cursor;
}

size_t oxEditText::lineStart(size_t pos) const
{
    while (pos > 0 && m_text[pos - 1] != U'\n')
        --pos;
    return pos;
}

size_t oxEditText::lineEnd(size_t pos) const
{
    while (pos < m_text.size() && m_text[pos] != U'\n')
        ++pos;
    return pos;
}

void oxEditText::home()
{
    m_goalColumn = npos;
    m_cursor = lineStart(m_cursor);
}

void oxEditText::end()
{
    m_goalColumn = npos;
    m_cursor = lineEnd(m_cursor);
}

void oxEditText::up()
{
    if (m_goalColumn == npos)
        m_goalColumn = cursorColumn();
    const size_t line = cursorLine();
    place(line > 0 ? line - 1 : 0, m_goalColumn);
}

void oxEditText::down()
{
    if (m_goalColumn == npos)
        m_goalColumn = cursorColumn();
    place(cursorLine() + 1, m_goalColumn);
}

std::vector<std::u32string> oxEditText::lines() const
{
    std::vector<std::u32string> out(1);
    for (char32_t c : m_text) {
        if (c == U'\n')
            out.emplace_back();
        else
            out.back().push_back(c);
    }
    return out;
}

size_t oxEditText::cursorLine() const
{
    size_t line = 0;
    for (size_t i = 0; i < m_cursor; ++i)
        if (m_text[i] == U'\n')
            ++line;
    return line;
}

size_t oxEditText::cursorColumn() const
{
    return m_cursor - lineStart(m_cursor);
}

void oxEditText::moveTo(size_t line, size_t column)
{
    m_goalColumn = npos;
    place(line, column);
}

void oxEditText::place(size_t line, size_t column)
{
    size_t pos = 0;
    for (size_t l = 0; l < line; ++l) {
        const size_t e = lineEnd(pos);
        if (e == m_text.size()) {
            // Past the last line: stay on the last one.
            pos = lineStart(e);
            break;
        }
        pos = e + 1;
    }
    const size_t e = lineEnd(pos);
    m_cursor = pos + (column < e - pos ? column : e - pos);
}
