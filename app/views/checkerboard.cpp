#include "app/views/checkerboard.h"

#include <GL/gl.h>

#include <array>
#include <cstddef>

namespace {

constexpr int SQUARE = 8; // pixels
constexpr double DARK = 0.30, LIGHT = 0.40;

// A 32 x 32 polygon stipple of squares: the light ones are drawn through it
// over a quad of the dark colour, two quads in all.
const std::array<GLubyte, 128>& lightSquares()
{
    static const std::array<GLubyte, 128> pattern = [] {
        std::array<GLubyte, 128> bits{};
        for (int row = 0; row < 32; ++row)
            for (int byte = 0; byte < 4; ++byte)
                bits[std::size_t(row * 4 + byte)] = ((row / SQUARE + byte) % 2 == 0) ? 0xFF : 0x00;
        return bits;
    }();
    return pattern;
}

void quad(double x0, double y0, double x1, double y1, double z)
{
    glBegin(GL_QUADS);
    glVertex3d(x0, y0, z);
    glVertex3d(x0, y1, z);
    glVertex3d(x1, y1, z);
    glVertex3d(x1, y0, z);
    glEnd();
}

} // namespace

void drawCheckerboard(double x0, double y0, double x1, double y1, double alpha, double depth)
{
    glPushAttrib(GL_ENABLE_BIT | GL_DEPTH_BUFFER_BIT | GL_CURRENT_BIT | GL_POLYGON_STIPPLE_BIT);
    glDisable(GL_TEXTURE_2D);
    glEnable(GL_BLEND);
    glDepthMask(GL_FALSE);
    glColor4d(DARK, DARK, DARK, alpha);
    quad(x0, y0, x1, y1, depth);
    glEnable(GL_POLYGON_STIPPLE);
    glPolygonStipple(lightSquares().data());
    glColor4d(LIGHT, LIGHT, LIGHT, alpha);
    quad(x0, y0, x1, y1, depth);
    glPopAttrib();
}
