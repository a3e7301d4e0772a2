#include "oxengine/graphics/overlay.h"

#include "oxengine/graphics/fontmanager.h"
#include "oxengine/graphics/windowprojection.h"

oxGLUTOverlay::oxGLUTOverlay()
{
    m_textHeight = 18.0;
}

oxGLUTOverlay::~oxGLUTOverlay() = default;

void oxGLUTOverlay::useFont(const std::string& name, double textHeight)
{
    setFont(GLFontManager::getFont(name));
    setTextHeight(textHeight);
}

void oxGLUTOverlay::draw()
{
    if (!m_font)
        useFont(m_fontName, m_textHeight);
    oxWindowPixelProjection projection;
    oxTextOutput::draw();
}
