#include "oxengine/storage/colour.h"

#include "oxengine/core/errors.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

// Every form is parsed and formatted in the stored settings' and the settings dialog's tests; these
// are what a lenient number reader would half-accept, and digits without their '#'.
TEST(Colour, HalfNumbersAndBareDigitsAreNoColourAndBlendsStayInTheRange)
{
    for (const char* text : {"#-1-1-1", "# FF", "#0x0x0x", "0FFF"})
        EXPECT_THROW(parseColour(text), oxFormatException) << text;
    // The ends, the middle, and fractions outside 0..1.
    const oxColour a(0, 100, 255, 40), b(255, 0, 55, 200);
    EXPECT_EQ(a.blend(b, 0.0f), a);
    EXPECT_EQ(a.blend(b, 1.0f), oxColour(255, 0, 55, 40)); // w = 256, alpha stays
    EXPECT_EQ(a.blend(b, 0.5f), oxColour(127, 50, 155, 40)); // (x * 128 + y * 128) >> 8
    // Outside 0..1 the channels stay in bytes: w = int(-255.5) = -255 gives g = (100 * 511) >> 8.
    const oxColour c(100, 100, 100, 9), d(200, 0, 255, 1);
    EXPECT_EQ(c.blend(d, 2.0f), oxColour(255, 0, 255, 9));
    EXPECT_EQ(c.blend(d, -1.0f), oxColour(0, 199, 0, 9));
    EXPECT_EQ(c.blend(d, std::numeric_limits<float>::infinity()), oxColour(255, 0, 255, 9));
    EXPECT_EQ(c.blend(d, -std::numeric_limits<float>::infinity()), oxColour(0, 255, 0, 9));
    EXPECT_EQ(c.blend(d, std::nanf("")), c);
}
