// Read-back checks shared by the GL tests of this folder.
#pragma once

#include "oxengine/image/sampletypes.h"
#include "support/gltest.h"

#include <gtest/gtest.h>

#include <cstdlib>

// The window pixel (x, y) is within tolerance of want in red, green and blue.
inline testing::AssertionResult pixelIs(int x, int y, oxColour want, int tolerance = 0)
{
    const std::vector<uint8_t> p = glReadBack(x, y, 1, 1);
    if (std::abs(p[0] - want.r) <= tolerance && std::abs(p[1] - want.g) <= tolerance && std::abs(p[2] - want.b) <= tolerance)
        return testing::AssertionSuccess();
    return testing::AssertionFailure() << "pixel " << x << "," << y << " is " << int(p[0]) << "," << int(p[1]) << ","
                                       << int(p[2]);
}
