#include "oxengine/gui/line.h"

#include "oxengine/gui/draw.h"

oxGuiHLine::oxGuiHLine()
{
    m_fgColour = m_bgColour.blend(m_fgColour, 0.3f);
    m_size = {100, 10};
}

void oxGuiHLine::setTextHeight(int h)
{
    m_size = {100, h / 2};
}

void oxGuiHLine::draw()
{
    if (!isVisible())
        return;
    prepare2D();
    setColour(m_bgColour);
    fillRect(toWindowPoint(*this, m_position), toWindowSize(*this, m_size));
    const int third = m_size.height / 3;
    setColour(m_fgColour);
    fillRect(toWindowPoint(*this, {m_position.x, m_position.y + third}), toWindowSize(*this, {m_size.width, third}));
}
