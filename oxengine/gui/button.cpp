#include "oxengine/gui/button.h"

#include "oxengine/gui/draw.h"
#include "oxengine/gui/modal.h"
#include "oxengine/platform/glapp.h"

#include <algorithm>
#include <cmath>

namespace {

constexpr int KEY_ENTER = 13, KEY_ESCAPE = 27, KEY_SPACE = 32;

} // namespace

oxGuiButton::oxGuiButton()
{
    m_alignment = TA_CENTRE;
}

oxGuiButton::oxGuiButton(int command, const std::string& text) : oxGuiLabel(text, TA_CENTRE), m_command(command) {}

void oxGuiButton::click()
{
    if (m_command != 0 && isActive() && theApplication)
        theApplication->postCommand(unsigned(m_command));
}

void oxGuiButton::setTextHeight(int h)
{
    // A caption never touches the button's edge (a menu entry's edge is
    // the menu's).
    setSidePadding(h / 2);
    oxGuiLabel::setTextHeight(h);
    m_size.width = std::max(m_size.width, 3 * h);
}

void oxGuiButton::onMouseMove(int, int x, int y)
{
    const bool hover = hits(x, y);
    if (hover != m_hover) {
        m_hover = hover;
        requestRedisplay();
    }
}

void oxGuiButton::setHovered(bool on)
{
    if (on == m_hover)
        return;
    m_hover = on;
    requestRedisplay();
}

bool oxGuiButton::onClick(int button, int x, int y)
{
    if (button != 0 || !isActive() || !hits(x, y))
        return false;
    click();
    return true;
}

bool oxGuiButton::onKeyDown(int key, bool special)
{
    if (special || !isActive())
        return false;
    // Enter answers the confirming button, or whichever has the focus.
    const bool bound = (key == KEY_ENTER && (m_command == GUI_CMD_OK || hasFocus())) ||
                       (key == KEY_ESCAPE && m_command == GUI_CMD_CANCEL) || (key == KEY_SPACE && hasFocus());
    if (!bound)
        return false;
    click();
    return true;
}

void oxGuiButton::onFocusChanged(bool)
{
    requestRedisplay();
}

std::pair<oxColour, oxColour> oxGuiButton::colours() const
{
    if (m_hover && isActive())
        return {oxColour(m_bgColour.r, m_bgColour.g, m_bgColour.b, 255), m_fgColour};
    return {textColour(), m_bgColour};
}

void oxGuiButton::drawFocus(oxColour colour)
{
    if (!hasFocus() || !isVisible())
        return;
    const oxGuiSizeD size = toWindowSize(*this, m_size);
    prepare2D();
    setColour(colour);
    drawFrame(toWindowPoint(*this, m_position), size, std::max(1.0, std::round(size.height / 12)));
}

void oxGuiButton::draw()
{
    const auto [text, fill] = colours();
    drawLabel(text, fill, m_text);
    drawFocus(text);
}

void oxGuiModalButton::click()
{
    if (isActive() && m_panel)
        m_panel->setResult(m_command);
}
