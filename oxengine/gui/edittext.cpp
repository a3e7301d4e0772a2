#include "oxengine/gui/edittext.h"

#include "oxengine/core/strings.h"

#include <algorithm>

void oxGuiEditText::setText(const std::string& text)
{
    m_text = text;
    m_length = int(utf8Length(m_text));
    // A shorter text must not leave the caret behind its end.
    m_caret = std::min(m_caret, m_length);
    m_anchor = std::min(m_anchor, m_length);
}

void oxGuiEditText::moveCaret(int to, bool extend)
{
    m_caret = std::clamp(to, 0, m_length);
    if (!extend)
        m_anchor = m_caret;
}

void oxGuiEditText::selectAll()
{
    m_anchor = 0;
    m_caret = m_length;
}

size_t oxGuiEditText::byteOffset(int i) const
{
    return utf8Offset(m_text, size_t(std::max(i, 0)));
}

std::string oxGuiEditText::selectedText() const
{
    const size_t from = byteOffset(selectionStart());
    return m_text.substr(from, byteOffset(selectionEnd()) - from);
}

void oxGuiEditText::erase(int from, int to)
{
    const size_t a = byteOffset(from), b = byteOffset(to);
    m_text.erase(a, b - a);
    m_length -= to - from;
    m_caret = m_anchor = from;
}

bool oxGuiEditText::eraseSelection()
{
    if (!hasSelection())
        return false;
    erase(selectionStart(), selectionEnd());
    return true;
}

bool oxGuiEditText::insert(const std::string& utf8)
{
    const bool replaced = eraseSelection();
    if (utf8.empty())
        return replaced;
    m_text.insert(byteOffset(m_caret), utf8);
    const int added = int(utf8Length(utf8));
    m_length += added;
    m_caret = m_anchor = m_caret + added;
    return true;
}

bool oxGuiEditText::eraseBackward()
{
    if (eraseSelection())
        return true;
    if (m_caret == 0)
        return false;
    erase(m_caret - 1, m_caret);
    return true;
}

bool oxGuiEditText::eraseForward()
{
    if (eraseSelection())
        return true;
    if (m_caret >= m_length)
        return false;
    erase(m_caret, m_caret + 1);
    return true;
}

std::string oxGuiSingleLine(const std::string& utf8)
{
    std::string out;
    out.reserve(utf8.size());
    size_t pos = 0;
    while (pos < utf8.size()) {
        const char32_t c = utf8Decode(utf8, pos);
        if (c == '\r' && pos < utf8.size() && utf8[pos] == '\n')
            continue; // one space for a CR LF line break
        if (c == '\n' || c == '\r' || c == '\t')
            out += ' ';
        else if (c >= 32 && !(c >= 127 && c < 160))
            utf8Append(out, c);
    }
    return out;
}
