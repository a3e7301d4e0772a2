#include "oxengine/gui/field.h"

#include "oxengine/gui/draw.h"

#include <GL/gl.h>

#include <algorithm>

oxGuiRect oxGuiInnerRect(const oxGuiElement& e, const oxGuiMargins& m)
{
    const oxGuiPoint p = e.getPosition();
    const oxGuiSize s = e.getSize();
    return {{p.x + m.left, p.y + m.top},
            {std::max(0, s.width - m.left - m.right), std::max(0, s.height - m.top - m.bottom)}};
}

oxColour oxGuiFieldColour(const oxGuiElement& e)
{
    return e.isActive() ? e.getFgColour() : e.getFgColour().blend(e.getBgColour(), 0.3f);
}

void drawFieldFrame(const oxGuiElement& e, const oxGuiMargins& m, oxColour fill, oxColour colour)
{
    const oxGuiPoint p = e.getPosition();
    const oxGuiSize s = e.getSize();
    prepare2D();
    setColour(fill);
    fillRect(toWindowPoint(e, p), toWindowSize(e, s));
    const int width = m.top / 3;
    if (width <= 0)
        return;
    const oxGuiPointD corners[4] = {
        toWindowPoint(e, {p.x + m.left / 2, p.y + m.top / 2}),
        toWindowPoint(e, {p.x + s.width - m.right / 2, p.y + m.top / 2}),
        toWindowPoint(e, {p.x + s.width - m.right / 2, p.y + s.height - m.bottom / 2}),
        toWindowPoint(e, {p.x + m.left / 2, p.y + s.height - m.bottom / 2}),
    };
    setColour(colour);
    // The line width is not among the state render() saves.
    GLfloat previous = 1;
    glGetFloatv(GL_LINE_WIDTH, &previous);
    glLineWidth(GLfloat(width));
    glBegin(GL_LINE_LOOP);
    for (const oxGuiPointD& c : corners)
        glVertex2d(c.x, c.y);
    glEnd();
    glLineWidth(previous);
}
