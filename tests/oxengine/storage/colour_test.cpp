#include "oxengine/storage/colour.h"

#include "oxengine/core/errors.h"

#include <gtest/gtest.h>

// Every form is parsed and formatted in the stored settings' and the settings dialog's tests; these
// are what a lenient number reader would half-accept, and digits without their '#'.
TEST(Colour, HalfNumbersAndBareDigitsAreNoColourAndBlendsWeighBothEnds)
{
    for (const char* text : {"#-1-1-1", "# FF", "#0x0x0x", "0FFF"})
        EXPECT_THROW(parseColour(text), oxFormatException) << text;
    // The ends and the middle (every caller blends by a constant fraction within 0..1).
    const oxColour a(0, 100, 255, 40), b(255, 0, 55, 200);
    EXPECT_EQ(a.blend(b, 0.0f), a);
    EXPECT_EQ(a.blend(b, 1.0f), oxColour(255, 0, 55, 40)); // w = 256, alpha stays
    EXPECT_EQ(a.blend(b, 0.5f), oxColour(127, 50, 155, 40)); // (x * 128 + y * 128) >> 8
}
