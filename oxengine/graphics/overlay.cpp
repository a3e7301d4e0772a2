#include "oxengine/graphics/overlay.h"

#include "oxengine/glapp.h"
#include "oxengine/graphics/fontmanager.h"

#include <GL/gl.h>

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
    // The window's size; before the application runs, the viewport's.
    double width = 0, height = 0;
    if (theApplication) {
        width = theApplication->width();
        height = theApplication->height();
    } else {
        GLint viewport[4] = {0, 0, 0, 0};
        glGetIntegerv(GL_VIEWPORT, viewport);
        width = viewport[2];
        height = viewport[3];
    }
    glMatrixMode(GL_PROJECTION);
    glPushMatrix();
    glLoadIdentity();
    glOrtho(0, width, height, 0, -1, 1);
    glMatrixMode(GL_MODELVIEW);
    glPushMatrix();
    glLoadIdentity();
    oxTextOutput::draw();
    glPopMatrix();
    glMatrixMode(GL_PROJECTION);
    glPopMatrix();
    glMatrixMode(GL_MODELVIEW);
}
