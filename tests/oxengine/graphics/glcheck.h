// Read-back checks shared by the GL tests of the engine.
#pragma once

#include "oxengine/image/sampletypes.h"
#include "support/gltest.h"

#include <gtest/gtest.h>

#include <GL/gl.h>

#include <cstdlib>
#include <vector>

// The window pixel (x, y) is within tolerance of want in red, green and blue.
inline testing::AssertionResult pixelIs(int x, int y, oxColour want, int tolerance = 0)
{
    const std::vector<uint8_t> p = glReadBack(x, y, 1, 1);
    if (std::abs(p[0] - want.r) <= tolerance && std::abs(p[1] - want.g) <= tolerance && std::abs(p[2] - want.b) <= tolerance)
        return testing::AssertionSuccess();
    return testing::AssertionFailure() << "pixel " << x << "," << y << " is " << int(p[0]) << "," << int(p[1]) << ","
                                       << int(p[2]);
}

// The projection and modelview matrices, to compare before and after a drawing that must leave them alone.
inline std::vector<GLdouble> glMatrices()
{
    std::vector<GLdouble> m(32);
    glGetDoublev(GL_PROJECTION_MATRIX, m.data());
    glGetDoublev(GL_MODELVIEW_MATRIX, m.data() + 16);
    return m;
}
