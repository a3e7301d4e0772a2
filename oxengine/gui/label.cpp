#include "oxengine/gui/label.h"

#include "oxengine/core/catalogue.h"
#include "oxengine/graphics/fontmanager.h"
#include "oxengine/gui/draw.h"

#include <algorithm>

namespace {

int lineCountOf(const std::string& text)
{
    return int(std::count(text.begin(), text.end(), '\n')) + 1;
}

} // namespace

oxGuiLabel::oxGuiLabel() : oxGuiLabel(oxGetTranslation(std::string(N_("Label")))) {}

oxGuiLabel::oxGuiLabel(const std::string& text, int alignment) : m_text(text), m_alignment(alignment)
{
    m_textOutput.setMultiLine(true);
}

void oxGuiLabel::setFontName(const std::string& name)
{
    // Another font: fetched again at the next measure or draw.
    if (name != m_fontName)
        m_textOutput.setFont(nullptr);
    oxGuiElement::setFontName(name);
}

GLFont* oxGuiLabel::font()
{
    if (!m_textOutput.font())
        m_textOutput.setFont(GLFontManager::getFont(m_fontName));
    return m_textOutput.font();
}

oxGuiSize oxGuiLabel::measureText(const std::string& text, double h)
{
    font();
    m_textOutput.setText(text);
    m_textOutput.setTextHeight(h);
    const oxTextSize size = m_textOutput.measure();
    return {oxGuiToPixel(size.width), oxGuiToPixel(size.height)};
}

void oxGuiLabel::setTextHeight(int h)
{
    m_size = measureText(m_text, h);
    m_size.width += 2 * m_sidePadding;
}

oxColour oxGuiLabel::textColour() const
{
    return isActive() ? m_fgColour : m_fgColour.blend(m_bgColour, 0.3f);
}

oxGuiLabel::TextPlace oxGuiLabel::textPlace(const std::string& text) const
{
    const int n = lineCountOf(text);
    TextPlace place;
    // The bottom of the first line; the glyphs scale with the element.
    place.origin = toWindowPoint(*this, {m_position.x + m_sidePadding, m_position.y + m_size.height / n});
    place.block = toWindowSize(*this, {std::max(0, m_size.width - 2 * m_sidePadding), m_size.height});
    place.lineHeight = place.block.height / n;
    return place;
}

void oxGuiLabel::drawLabel(oxColour colour, oxColour background, const std::string& text)
{
    if (!isVisible())
        return;
    font();
    prepare2D();
    setColour(background);
    const TextPlace place = textPlace(text);
    fillRect(toWindowPoint(*this, m_position), toWindowSize(*this, m_size));
    m_textOutput.setText(text);
    m_textOutput.setColour(colour);
    m_textOutput.setPosition(place.origin.x, place.origin.y);
    m_textOutput.setTextHeight(place.lineHeight);
    m_textOutput.setMinimumSize(place.block.width, place.block.height);
    m_textOutput.setAlignment(m_alignment);
    m_textOutput.setKeepGLState(true);
    m_textOutput.draw();
}

void oxGuiLabel::draw()
{
    drawLabel(textColour(), m_bgColour, m_text);
}
