#include "oxengine/gui/checkbox.h"

namespace {

// The mark drawn before the text; "X" is drawn over its "O" when checked.
const char* const MARK = "O ";

} // namespace

oxGuiCheckbox::oxGuiCheckbox()
{
    m_alignment = TA_LEFT;
}

oxGuiCheckbox::oxGuiCheckbox(int command, const std::string& text) : oxGuiButton(command, text)
{
    m_alignment = TA_LEFT;
}

void oxGuiCheckbox::setChecked(bool on)
{
    if (on == m_checked)
        return;
    m_checked = on;
    requestRedisplay();
}

void oxGuiCheckbox::click()
{
    if (!isActive())
        return;
    m_checked = !m_checked;
    oxGuiButton::click();
    requestRedisplay();
}

void oxGuiCheckbox::setTextHeight(int h)
{
    oxGuiButton::setTextHeight(h);
    // The mark as it is drawn, so the text never runs past the right edge.
    m_size.width += measureText(MARK, h).width;
}

void oxGuiCheckbox::draw()
{
    if (!isVisible())
        return;
    const oxColour background = m_hover && isActive() ? m_bgColour.blend(m_fgColour, 0.25f) : m_bgColour;
    const oxColour colour = textColour();
    const std::string shown = MARK + m_text;
    drawLabel(colour, background, shown);
    if (m_checked && font()) {
        // Centred on the "O" of the mark.
        const TextPlace place = textPlace(shown);
        m_textOutput.setTextHeight(place.lineHeight);
        m_textOutput.setText("O");
        const double ring = m_textOutput.measure().width;
        m_textOutput.setText("X");
        const double cross = m_textOutput.measure().width;
        m_textOutput.setPosition(place.origin.x + (ring - cross) / 2, place.origin.y);
        m_textOutput.setMinimumSize(0, 0);
        m_textOutput.setAlignment(TA_LEFT);
        m_textOutput.draw();
    }
    drawFocus(colour);
}
