#include "oxengine/colour.h"

#include "oxengine/catalogue.h"
#include "oxengine/errors.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <limits>

TEST(ColourSpec, ParsesAllFourForms)
{
    EXPECT_EQ(parseColour("#FFF"), oxColour(255, 255, 255, 255));
    EXPECT_EQ(parseColour("#000A"), oxColour(0, 0, 0, 170));
    EXPECT_EQ(parseColour("#102030"), oxColour(16, 32, 48, 255));
    EXPECT_EQ(parseColour("#10203040"), oxColour(16, 32, 48, 64));
    EXPECT_EQ(parseColour("#8888"), oxColour(136, 136, 136, 136));
    EXPECT_EQ(parseColour("#abcdef"), oxColour(0xAB, 0xCD, 0xEF, 255));
}

TEST(ColourSpec, RejectsMalformedText)
{
    auto messageOf = [](const std::string& text) -> std::string {
        try {
            parseColour(text);
        } catch (const oxNumberException& e) {
            return "number: " + e.getMessage();
        } catch (const oxFormatException& e) {
            return "format: " + e.getMessage();
        }
        return "accepted";
    };
    EXPECT_EQ(messageOf("#12345"), "format: invalid length of colour specification");
    EXPECT_EQ(messageOf("#1234567"), "format: invalid length of colour specification");
    EXPECT_EQ(messageOf("#"), "format: invalid length of colour specification");
    EXPECT_EQ(messageOf("FFF"), "format: colour specification must start with '#'");
    EXPECT_EQ(messageOf(""), "format: colour specification must start with '#'");
    EXPECT_EQ(messageOf("#GGG"), "number: found G while looking for long");
    // Text that a lenient number reader would half-accept is no colour.
    EXPECT_EQ(messageOf("#-1-1-1"), "number: found - while looking for long");
    EXPECT_EQ(messageOf("#1g2g3g"), "number: found g while looking for long");
    EXPECT_EQ(messageOf("# FF"), "number: found   while looking for long");
    EXPECT_EQ(messageOf("#0x0x0x"), "number: found x while looking for long");
}

TEST(ColourSpec, FormatsWithAlphaOnlyWhenTranslucent)
{
    EXPECT_EQ(formatColour(oxColour(255, 255, 255, 255)), "#FFFFFF");
    EXPECT_EQ(formatColour(parseColour("#000A")), "#000000AA");
    EXPECT_EQ(formatColour(parseColour("#FFFA")), "#FFFFFFAA");
    EXPECT_EQ(formatColour(parseColour("#FFFFFFFF")), "#FFFFFF");
    EXPECT_EQ(formatColour(oxColour(1, 2, 3, 0)), "#01020300");
    for (const char* spec : {"#01020300", "#ABCDEF", "#00000001", "#FEDCBA98"})
        EXPECT_EQ(formatColour(parseColour(spec)), spec);
}

TEST(ColourBlend, EndsAndMiddle)
{
    const oxColour a(0, 100, 255, 40), b(255, 0, 55, 200);
    EXPECT_EQ(a.blend(b, 0.0f), oxColour(0, 100, 255, 40));
    EXPECT_EQ(a.blend(b, 1.0f), oxColour(255, 0, 55, 40)); // w = 256, alpha stays
    // w = int(0.5 * 256 + 0.5) = 128: (x * 128 + y * 128) >> 8
    EXPECT_EQ(a.blend(b, 0.5f), oxColour(127, 50, 155, 40));
    EXPECT_EQ(oxColour(10, 10, 10).blend(oxColour(20, 20, 20), 0.25f), oxColour(12, 12, 12));
}

TEST(ColourBlend, FractionsOutsideTheRangeStayInBytes)
{
    const oxColour a(100, 100, 100, 9), b(200, 0, 255, 1);
    EXPECT_EQ(a.blend(b, 2.0f), oxColour(255, 0, 255, 9));
    // w = int(-255.5) = -255: g = (100 * 511) >> 8
    EXPECT_EQ(a.blend(b, -1.0f), oxColour(0, 199, 0, 9));
    EXPECT_EQ(a.blend(b, std::numeric_limits<float>::infinity()), oxColour(255, 0, 255, 9));
    EXPECT_EQ(a.blend(b, -std::numeric_limits<float>::infinity()), oxColour(0, 255, 0, 9));
    EXPECT_EQ(a.blend(b, std::nanf("")), a);
}

TEST(ColourSpec, MessagesAreTranslated)
{
    setenv("LANGUAGE", "de", 1);
    oxResetCatalogueForTests();
    std::string message;
    try {
        parseColour("FFF");
    } catch (const oxFormatException& e) {
        message = e.getMessage();
    }
    unsetenv("LANGUAGE");
    oxResetCatalogueForTests();
    EXPECT_EQ(message, "Farbangabe muss mit '#' beginnen");
}
