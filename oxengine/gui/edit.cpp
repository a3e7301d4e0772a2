#include "oxengine/gui/edit.h"

#include "oxengine/core/strings.h"
#include "oxengine/gui/clipboard.h"
#include "oxengine/gui/draw.h"
#include "oxengine/gui/field.h"
#include "oxengine/gui/host.h"
#include "oxengine/gui/keys.h"
#include "oxengine/platform/glapp.h"

#include <algorithm>
#include <cmath>

namespace {

const char* const CARET = "|";

// Characters a key may insert: no control characters (Tab moves the focus,
// Ctrl combinations arrive as codes below 32), no surrogates.
bool insertable(int key)
{
    return key >= 32 && key != 127 && !(key >= 128 && key < 160) && key <= 0x10FFFF && !(key >= 0xD800 && key <= 0xDFFF);
}

} // namespace

int oxGuiKeyModifiers()
{
    return theApplication ? theApplication->keyModifiers() : 0;
}

oxGuiEdit::oxGuiEdit(int widthInChars, const std::string& text, int alignment)
    : oxGuiLabel(std::string(), alignment), m_widthInChars(widthInChars)
{
    // One line: the text never holds a line break.
    m_textOutput.setMultiLine(false);
    // The text keeps clear of the frame at the sides.
    m_margins.left = m_margins.right = 6;
    oxGuiEdit::setText(text);
}

void oxGuiEdit::setMargins(int left, int top, int right, int bottom)
{
    m_margins = {left, top, right, bottom};
}

void oxGuiEdit::setText(const std::string& text)
{
    m_edit.setText(oxGuiSingleLine(text));
    m_text = m_edit.text();
    keepCaretVisible();
    requestRedisplay();
}

void oxGuiEdit::setCaret(int index, bool extend)
{
    m_edit.moveCaret(index, extend);
    keepCaretVisible();
    requestRedisplay();
}

void oxGuiEdit::selectAll()
{
    m_edit.selectAll();
    keepCaretVisible();
    requestRedisplay();
}

std::string oxGuiEdit::shownText() const
{
    if (!hasFocus())
        return m_edit.text();
    const std::string& text = m_edit.text();
    const size_t at = m_edit.byteOffset(m_edit.caret());
    return text.substr(0, at) + CARET + text.substr(at);
}

void oxGuiEdit::setTextHeight(int h)
{
    m_textHeight = h;
    const int textWidth = oxGuiToPixel(measureWidth(m_text, h));
    const int minimum = oxGuiToPixel(m_widthInChars * measureWidth("X", h));
    m_size = {m_margins.left + m_margins.right + std::max(textWidth, minimum), h + m_margins.top + m_margins.bottom};
    keepCaretVisible();
}

void oxGuiEdit::setSize(oxGuiSize s)
{
    oxGuiLabel::setSize(s);
    keepCaretVisible();
}

double oxGuiEdit::measureWidth(const std::string& text, double h)
{
    if (!font())
        return 0;
    m_textOutput.setText(text);
    m_textOutput.setTextHeight(h);
    return m_textOutput.measure().width;
}

double oxGuiEdit::measureWidth(const std::string& text)
{
    return measureWidth(text, oxGuiInnerRect(*this, m_margins).size.height);
}

double oxGuiEdit::shownWidth(int displayIndex)
{
    const std::string shown = shownText();
    return measureWidth(shown.substr(0, utf8Offset(shown, size_t(std::max(displayIndex, 0)))));
}

int oxGuiEdit::displayIndex(int textIndex) const
{
    return hasFocus() && textIndex > m_edit.caret() ? textIndex + 1 : textIndex;
}

double oxGuiEdit::textLeft()
{
    const oxGuiRect inner = oxGuiInnerRect(*this, m_margins);
    const double total = measureWidth(shownText());
    double offset = 0;
    if (total <= inner.size.width) {
        if (m_alignment == TA_CENTRE)
            offset = (inner.size.width - total) / 2;
        else if (m_alignment == TA_RIGHT)
            offset = inner.size.width - total;
    }
    return inner.position.x + offset - m_scroll;
}

void oxGuiEdit::keepCaretVisible()
{
    const double width = oxGuiInnerRect(*this, m_margins).size.width;
    const double total = measureWidth(shownText());
    if (total <= width) {
        m_scroll = 0;
        return;
    }
    const int at = displayIndex(m_edit.caret());
    const double left = shownWidth(at);
    const double right = hasFocus() ? shownWidth(at + 1) : left;
    if (left < m_scroll)
        m_scroll = left;
    if (right > m_scroll + width)
        m_scroll = right - width;
    m_scroll = std::clamp(m_scroll, 0.0, total - width);
}

int oxGuiEdit::caretAt(int x, int y)
{
    if (!font())
        return 0;
    const oxGuiPoint p = toElementPoint(*this, {double(x), double(y)});
    const oxGuiRect inner = oxGuiInnerRect(*this, m_margins);
    const double left = textLeft();
    m_textOutput.setText(shownText());
    m_textOutput.setTextHeight(inner.size.height);
    m_textOutput.setMinimumSize(0, 0);
    m_textOutput.setAlignment(TA_LEFT);
    m_textOutput.setPosition(left, inner.position.y + inner.size.height);
    // hitTest gives the index behind the character under the point; the
    // caret goes to whichever edge of that character is nearer.
    int d = m_textOutput.hitTest(p.x, inner.position.y + inner.size.height / 2.0).character;
    if (d > 0) {
        const double before = shownWidth(d - 1), after = shownWidth(d);
        if (p.x - left < (before + after) / 2)
            --d;
    }
    // Back from the shown text to the text: the caret mark is no character.
    if (hasFocus() && d > m_edit.caret())
        --d;
    return std::clamp(d, 0, m_edit.length());
}

bool oxGuiEdit::onClick(int button, int x, int y)
{
    if (button != 0 || !hits(x, y))
        return false;
    if (!isActive())
        return true;
    const int at = caretAt(x, y);
    setFocus(this);
    setCaret(at, (oxGuiKeyModifiers() & KM_SHIFT) != 0);
    return true;
}

bool oxGuiEdit::beginDrag(int x, int y, oxGuiElement*& dragged, int& axes)
{
    if (!isActive() || !hits(x, y))
        return false;
    const int at = caretAt(x, y);
    setFocus(this);
    setCaret(at, (oxGuiKeyModifiers() & KM_SHIFT) != 0);
    m_dragX = x;
    m_dragY = y;
    dragged = this;
    axes = 1;
    return true;
}

void oxGuiEdit::dragBy(int dx, int)
{
    m_dragX += dx;
    setCaret(caretAt(oxGuiToPixel(m_dragX), oxGuiToPixel(m_dragY)), true);
}

void oxGuiEdit::onFocusChanged(bool)
{
    keepCaretVisible();
    requestRedisplay();
}

void oxGuiEdit::changed()
{
    m_text = m_edit.text();
    if (m_changeCommand > 0 && theApplication)
        theApplication->postCommand(unsigned(m_changeCommand));
}

bool oxGuiEdit::editKey(int key, bool special, bool& textChanged)
{
    const bool shift = (oxGuiKeyModifiers() & KM_SHIFT) != 0;
    const bool ctrl = (oxGuiKeyModifiers() & KM_CTRL) != 0;
    if (special) {
        switch (key) {
        case GUI_SPECIAL_LEFT:
            // Without Shift a selection collapses to its start.
            m_edit.moveCaret(m_edit.hasSelection() && !shift ? m_edit.selectionStart() : m_edit.caret() - 1, shift);
            return true;
        case GUI_SPECIAL_RIGHT:
            m_edit.moveCaret(m_edit.hasSelection() && !shift ? m_edit.selectionEnd() : m_edit.caret() + 1, shift);
            return true;
        case GUI_SPECIAL_HOME:
            m_edit.moveCaret(0, shift);
            return true;
        case GUI_SPECIAL_END:
            m_edit.moveCaret(m_edit.length(), shift);
            return true;
        case GUI_SPECIAL_DELETE:
            textChanged = m_edit.eraseForward();
            return true;
        case GUI_SPECIAL_INSERT:
            // The old clipboard keys: Shift+Insert pastes, Ctrl+Insert copies.
            if (shift)
                textChanged = m_edit.insert(oxGuiSingleLine(oxGuiClipboardText()));
            else if (ctrl && m_edit.hasSelection())
                oxGuiSetClipboardText(m_edit.selectedText());
            return true;
        case GUI_SPECIAL_PAGE_UP:
        case GUI_SPECIAL_PAGE_DOWN:
            return true;
        default:
            return false;
        }
    }
    switch (key) {
    case GUI_KEY_BACKSPACE:
        textChanged = m_edit.eraseBackward();
        return true;
    case GUI_KEY_DELETE:
        textChanged = m_edit.eraseForward();
        return true;
    case GUI_KEY_CTRL_A:
        m_edit.selectAll();
        return true;
    case GUI_KEY_CTRL_C:
    case GUI_KEY_CTRL_X:
        if (m_edit.hasSelection()) {
            oxGuiSetClipboardText(m_edit.selectedText());
            if (key == GUI_KEY_CTRL_X)
                textChanged = m_edit.eraseSelection();
        }
        return true;
    case GUI_KEY_CTRL_V:
        textChanged = m_edit.insert(oxGuiSingleLine(oxGuiClipboardText()));
        return true;
    default:
        break;
    }
    // Enter and Escape stay for the dialog's buttons, Tab for the focus.
    if (!insertable(key))
        return false;
    std::string character;
    utf8Append(character, char32_t(key));
    textChanged = m_edit.insert(character);
    return true;
}

bool oxGuiEdit::onKeyDown(int key, bool special)
{
    if (!hasFocus() || !isActive())
        return false;
    bool textChanged = false;
    if (!editKey(key, special, textChanged))
        return false;
    if (textChanged)
        changed();
    keepCaretVisible();
    requestRedisplay();
    return true;
}

void oxGuiEdit::draw()
{
    if (!isVisible())
        return;
    const oxColour colour = oxGuiFieldColour(*this);
    drawFieldFrame(*this, m_margins, m_bgColour, colour);
    if (!font())
        return;
    const oxGuiRect inner = oxGuiInnerRect(*this, m_margins);
    const oxGuiPointD innerAt = toWindowPoint(*this, inner.position);
    const oxGuiSizeD innerSize = toWindowSize(*this, inner.size);
    const double left = textLeft();
    const std::string shown = shownText();
    // Text drawn left-aligned at its computed place, so a scrolled text
    // and its selection line up with the caret arithmetic above.
    const double originX = toWindowPoint(*this, {0, 0}).x;
    auto drawText = [&](oxColour c) {
        m_textOutput.setText(shown);
        m_textOutput.setColour(c);
        m_textOutput.setBackgroundColour({0, 0, 0, 0});
        m_textOutput.setPosition(originX + left, innerAt.y + innerSize.height);
        m_textOutput.setTextHeight(innerSize.height);
        m_textOutput.setMinimumSize(0, 0);
        m_textOutput.setAlignment(TA_LEFT);
        m_textOutput.setKeepGLState(true);
        m_textOutput.draw();
    };
    oxGuiClipScope clip(innerAt, innerSize);
    drawText(colour);
    if (!hasFocus() || !m_edit.hasSelection())
        return;
    // The selection: filled in the text colour, its text cut out in the
    // background colour.
    int from = m_edit.selectionStart(), to = m_edit.selectionEnd();
    if (from == m_edit.caret())
        ++from, ++to; // behind the caret mark
    const double x0 = left + shownWidth(from), x1 = left + shownWidth(to);
    const oxGuiPointD selAt{originX + x0, innerAt.y};
    const oxGuiSizeD selSize{x1 - x0, innerSize.height};
    oxGuiClipScope selection(selAt, selSize);
    prepare2D();
    setColour(colour);
    fillRect(selAt, selSize);
    drawText(oxColour(m_bgColour.r, m_bgColour.g, m_bgColour.b, 255));
}
