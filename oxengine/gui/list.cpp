#include "oxengine/gui/list.h"

#include "oxengine/graphics/fontmanager.h"
#include "oxengine/gui/draw.h"
#include "oxengine/gui/field.h"
#include "oxengine/gui/host.h"
#include "oxengine/gui/keys.h"
#include "oxengine/platform/glapp.h"

#include <algorithm>

oxGuiList::oxGuiList(std::vector<std::string> items) : m_items(std::move(items)) {}

void oxGuiList::setMargins(int left, int top, int right, int bottom)
{
    m_margins = {left, top, right, bottom};
}

void oxGuiList::setSelected(int index)
{
    const int last = int(m_items.size()) - 1;
    const int to = index < 0 ? -1 : std::min(index, last);
    if (to != m_selected)
        requestRedisplay();
    m_selected = to;
}

void oxGuiList::setFontName(const std::string& name)
{
    if (name != m_fontName)
        m_textOutput.setFont(nullptr);
    oxGuiElement::setFontName(name);
}

GLFont* oxGuiList::font()
{
    if (!m_textOutput.font())
        m_textOutput.setFont(GLFontManager::getFont(m_fontName));
    return m_textOutput.font();
}

void oxGuiList::setTextHeight(int h)
{
    font();
    m_textOutput.setTextHeight(h);
    double widest = 0;
    for (const std::string& item : m_items) {
        m_textOutput.setText(item);
        widest = std::max(widest, m_textOutput.measure().width);
    }
    m_size = {oxGuiToPixel(widest) + m_margins.left + m_margins.right,
              h * int(m_items.size()) + m_margins.top + m_margins.bottom};
}

int oxGuiList::rowTop(int i) const
{
    const int n = int(m_items.size());
    const int64_t height = oxGuiInnerRect(*this, m_margins).size.height;
    return n > 0 ? int(int64_t(i) * height / n) : 0;
}

int oxGuiList::rowAt(int x, int y) const
{
    const oxGuiPoint p = toElementPoint(*this, {double(x), double(y)});
    const oxGuiRect inner = oxGuiInnerRect(*this, m_margins);
    if (m_items.empty() || !pointInRect(p.x, p.y, inner.position, inner.size))
        return -1;
    const int ry = p.y - inner.position.y;
    // The same integer row edges the drawing uses.
    int row = int(int64_t(ry) * int64_t(m_items.size()) / std::max(1, inner.size.height));
    while (row > 0 && rowTop(row) > ry)
        --row;
    while (row + 1 < int(m_items.size()) && rowTop(row + 1) <= ry)
        ++row;
    return row;
}

void oxGuiList::choose(int index)
{
    const int before = m_selected;
    setSelected(index);
    if (m_selected != before && m_selectCommand != 0 && theApplication)
        theApplication->postCommand(unsigned(m_selectCommand));
    requestRedisplay();
}

bool oxGuiList::onClick(int button, int x, int y)
{
    if (button != 0 || !isActive())
        return false;
    const int row = rowAt(x, y);
    if (row < 0)
        return false;
    setFocus(this);
    choose(row);
    return true;
}

bool oxGuiList::onKeyDown(int key, bool special)
{
    if (!special || !hasFocus() || !isActive() || m_items.empty())
        return false;
    const int last = int(m_items.size()) - 1;
    switch (key) {
    case GUI_SPECIAL_UP:
        choose(m_selected < 0 ? last : std::max(0, m_selected - 1));
        return true;
    case GUI_SPECIAL_DOWN:
        choose(std::min(last, m_selected + 1));
        return true;
    case GUI_SPECIAL_HOME:
    case GUI_SPECIAL_PAGE_UP:
        choose(0);
        return true;
    case GUI_SPECIAL_END:
    case GUI_SPECIAL_PAGE_DOWN:
        choose(last);
        return true;
    default:
        return false;
    }
}

bool oxGuiList::onMouseWheel(int direction, int x, int y)
{
    if (!isActive() || m_items.empty() || !hits(x, y) || direction == 0)
        return false;
    // Up the list for the wheel turned away from the user (direction 1).
    const int from = m_selected < 0 ? (direction > 0 ? int(m_items.size()) : -1) : m_selected;
    choose(std::clamp(from - direction, 0, int(m_items.size()) - 1));
    return true;
}

void oxGuiList::onFocusChanged(bool)
{
    requestRedisplay();
}

void oxGuiList::draw()
{
    if (!isVisible())
        return;
    const oxColour colour = oxGuiFieldColour(*this);
    drawFieldFrame(*this, m_margins, m_bgColour, colour);
    if (!font() || m_items.empty())
        return;
    const oxGuiRect inner = oxGuiInnerRect(*this, m_margins);
    const int n = int(m_items.size());
    m_textOutput.setMultiLine(false);
    m_textOutput.setAlignment(m_alignment);
    m_textOutput.setKeepGLState(true);
    for (int i = 0; i < n; ++i) {
        const int top = rowTop(i), bottom = rowTop(i + 1);
        const oxGuiPointD at = toWindowPoint(*this, {inner.position.x, inner.position.y + bottom});
        const oxGuiSizeD row = toWindowSize(*this, {inner.size.width, bottom - top});
        const bool selected = i == m_selected;
        m_textOutput.setText(m_items[size_t(i)]);
        m_textOutput.setColour(selected ? oxColour(m_bgColour.r, m_bgColour.g, m_bgColour.b, 255) : colour);
        m_textOutput.setBackgroundColour(selected ? colour : oxColour(0, 0, 0, 0));
        m_textOutput.setPosition(at.x, at.y);
        m_textOutput.setTextHeight(row.height);
        m_textOutput.setMinimumSize(row.width, row.height);
        m_textOutput.draw();
    }
    // The keyboard focus: a frame inside the margins.
    if (hasFocus()) {
        prepare2D();
        setColour(colour);
        drawFrame(toWindowPoint(*this, inner.position), toWindowSize(*this, inner.size), 1);
    }
}
