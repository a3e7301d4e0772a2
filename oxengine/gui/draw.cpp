#include "oxengine/gui/draw.h"

#include "oxengine/platform/glapp.h"
#include "oxengine/storage/colour.h"

#include <GL/freeglut.h>
#include <GL/gl.h>

#include <algorithm>
#include <cmath>

void prepare2D()
{
    glDisable(GL_TEXTURE_2D);
    glDisable(GL_LIGHTING);
    glEnable(GL_BLEND);
}

void setColour(oxColour c)
{
    c.setGLColour();
}

void fillRect(oxGuiPointD p, oxGuiSizeD s, double z)
{
    glBegin(GL_QUADS);
    glVertex3d(p.x, p.y + s.height, z);
    glVertex3d(p.x + s.width, p.y + s.height, z);
    glVertex3d(p.x + s.width, p.y, z);
    glVertex3d(p.x, p.y, z);
    glEnd();
}

void drawFrame(oxGuiPointD p, oxGuiSizeD s, double t)
{
    t = std::min({t, s.width / 2, s.height / 2});
    if (!(t > 0))
        return;
    fillRect(p, {s.width, t});
    fillRect({p.x, p.y + s.height - t}, {s.width, t});
    fillRect({p.x, p.y + t}, {t, s.height - 2 * t});
    fillRect({p.x + s.width - t, p.y + t}, {t, s.height - 2 * t});
}

oxGuiRenderScope::oxGuiRenderScope(bool windowProjection)
{
    glPushAttrib(GL_CURRENT_BIT | GL_POLYGON_BIT | GL_LIGHTING_BIT | GL_TRANSFORM_BIT | GL_ENABLE_BIT |
                 GL_COLOR_BUFFER_BIT | GL_TEXTURE_BIT | GL_SCISSOR_BIT);
    if (!windowProjection)
        return;
    m_projection.emplace();
    // The text output blends with these factors; fills must too.
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
}

oxGuiRenderScope::~oxGuiRenderScope()
{
    m_projection.reset();
    glPopAttrib();
}

namespace {

int windowHeightForScissor()
{
    if (theApplication && theApplication->isRunning())
        return theApplication->height();
    GLint viewport[4] = {0, 0, 0, 0};
    glGetIntegerv(GL_VIEWPORT, viewport);
    return viewport[1] + viewport[3];
}

} // namespace

oxGuiClipScope::oxGuiClipScope(oxGuiPointD p, oxGuiSizeD s)
{
    m_wasEnabled = glIsEnabled(GL_SCISSOR_TEST);
    glGetIntegerv(GL_SCISSOR_BOX, m_previous);
    // GL counts rows from the bottom of the window.
    int x0 = int(std::floor(p.x));
    int x1 = int(std::ceil(p.x + s.width));
    int y0 = windowHeightForScissor() - int(std::ceil(p.y + s.height));
    int y1 = windowHeightForScissor() - int(std::floor(p.y));
    if (m_wasEnabled) {
        x0 = std::max(x0, m_previous[0]);
        y0 = std::max(y0, m_previous[1]);
        x1 = std::min(x1, m_previous[0] + m_previous[2]);
        y1 = std::min(y1, m_previous[1] + m_previous[3]);
    }
    glEnable(GL_SCISSOR_TEST);
    glScissor(x0, y0, std::max(0, x1 - x0), std::max(0, y1 - y0));
}

oxGuiClipScope::~oxGuiClipScope()
{
    glScissor(m_previous[0], m_previous[1], m_previous[2], m_previous[3]);
    if (!m_wasEnabled)
        glDisable(GL_SCISSOR_TEST);
}

namespace {

void windowCursor(int shape)
{
    // GLUT knows no cursor before its window exists.
    if (theApplication && theApplication->isRunning() && theApplication->glutWindow() > 0) {
        glutSetWindow(theApplication->glutWindow());
        glutSetCursor(shape);
    }
}

oxGuiCursorSetter g_cursorSetter = nullptr;

} // namespace

void oxGuiSetCursor(int glutCursor)
{
    (g_cursorSetter ? g_cursorSetter : windowCursor)(glutCursor);
}

oxGuiCursorSetter oxSetGuiCursorSetter(oxGuiCursorSetter setter)
{
    const oxGuiCursorSetter previous = g_cursorSetter;
    g_cursorSetter = setter;
    return previous;
}
