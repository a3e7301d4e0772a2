#include "oxengine/storage/colour.h"

#include "oxengine/core/errors.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

TEST(ColourSpec, ParsesAndFormatsAllFourFormsAndRejectsMalformedText)
{
    EXPECT_EQ(parseColour("#FFF"), oxColour(255, 255, 255, 255));
    EXPECT_EQ(parseColour("#000A"), oxColour(0, 0, 0, 170));
    EXPECT_EQ(parseColour("#abcdef"), oxColour(0xAB, 0xCD, 0xEF, 255));
    EXPECT_EQ(parseColour("#10203040"), oxColour(16, 32, 48, 64));
    // Alpha is written only when translucent.
    EXPECT_EQ(formatColour(parseColour("#FFFA")), "#FFFFFFAA");
    EXPECT_EQ(formatColour(parseColour("#FFFFFFFF")), "#FFFFFF");
    for (const char* text : {"#01020300", "#ABCDEF", "#00000001", "#FEDCBA98"})
        EXPECT_EQ(formatColour(parseColour(text)), text);
    const auto messageOf = [](const std::string& text) -> std::string {
        try {
            parseColour(text);
        } catch (const oxNumberException& e) {
            return "number: " + e.getMessage();
        } catch (const oxFormatException& e) {
            return "format: " + e.getMessage();
        }
        return "accepted";
    };
    for (const char* length : {"#12345", "#1234567", "#"})
        EXPECT_EQ(messageOf(length), "format: invalid length of colour specification");
    EXPECT_EQ(messageOf("FFF"), "format: colour specification must start with '#'");
    EXPECT_EQ(messageOf(""), "format: colour specification must start with '#'");
    EXPECT_EQ(messageOf("#GGG"), "number: found G while looking for long");
    // Text that a lenient number reader would half-accept is no colour.
    EXPECT_EQ(messageOf("#-1-1-1"), "number: found - while looking for long");
    EXPECT_EQ(messageOf("# FF"), "number: found   while looking for long");
    EXPECT_EQ(messageOf("#0x0x0x"), "number: found x while looking for long");
}

TEST(ColourBlend, EndsMiddleAndFractionsOutsideTheRange)
{
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
