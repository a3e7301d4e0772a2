#include "oxengine/graphics/windowprojection.h"

#include "oxengine/platform/glapp.h"

#include <GL/gl.h>

oxWindowPixelProjection::oxWindowPixelProjection()
{
    double width = 0, height = 0;
    if (theApplication && theApplication->isRunning()) {
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
}

oxWindowPixelProjection::~oxWindowPixelProjection()
{
    glMatrixMode(GL_PROJECTION);
    glPopMatrix();
    glMatrixMode(GL_MODELVIEW);
    glPopMatrix();
}
