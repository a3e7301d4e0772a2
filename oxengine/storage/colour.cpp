#include "oxengine/storage/colour.h"

#include "oxengine/core/catalogue.h"
#include "oxengine/core/errors.h"

#include <GL/gl.h>

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdio>

namespace {

// One channel of 1 or 2 digits. Every character must be a hexadecimal digit:
// reading with parseLong alone would accept "-1" or "1g" and give a colour
// nobody wrote.
int parseChannel(const std::string& digits)
{
    for (char c : digits) {
        if (!std::isxdigit(static_cast<unsigned char>(c))) {
            char buffer[200];
            std::snprintf(buffer, sizeof buffer, oxGetTranslation("found %c while looking for long"), c);
            throw oxNumberException(buffer);
        }
    }
    const int v = static_cast<int>(parseLong(digits, 16));
    return digits.size() == 1 ? v * 16 + v : v;
}

} // namespace

oxColour parseColour(const std::string& text)
{
    if (text.empty() || text[0] != '#')
        throw oxFormatException(oxGetTranslation("colour specification must start with '#'"));
    const std::string d = text.substr(1);
    if (d.size() != 3 && d.size() != 4 && d.size() != 6 && d.size() != 8)
        throw oxFormatException(oxGetTranslation("invalid length of colour specification"));
    const size_t perChannel = d.size() > 4 ? 2 : 1;
    int channels[4] = {0, 0, 0, 255};
    for (size_t i = 0; i < 4 && (i + 1) * perChannel <= d.size(); ++i)
        channels[i] = parseChannel(d.substr(i * perChannel, perChannel));
    return oxColour(static_cast<uint8_t>(channels[0]), static_cast<uint8_t>(channels[1]),
                    static_cast<uint8_t>(channels[2]), static_cast<uint8_t>(channels[3]));
}

std::string formatColour(const oxColour& c)
{
    char buffer[16];
    if (c.a < 255)
        std::snprintf(buffer, sizeof buffer, "#%02X%02X%02X%02X", c.r, c.g, c.b, c.a);
    else
        std::snprintf(buffer, sizeof buffer, "#%02X%02X%02X", c.r, c.g, c.b);
    return buffer;
}

void oxColour::setGLColour() const
{
    glColor4ub(r, g, b, a); // GL maps each byte to byte / 255
}

oxColour oxColour::blend(const oxColour& other, float fraction) const
{
    // Fractions outside 0..1 extrapolate (the result is clamped); NaN and huge
    // values are limited first so the weight never overflows.
    if (std::isnan(fraction))
        fraction = 0.0f;
    fraction = std::clamp(fraction, -1000.0f, 1000.0f);
    const int w = static_cast<int>(fraction * 256.0f + 0.5f);
    auto mix = [w](int mine, int theirs) {
        const int v = (mine * (256 - w) + theirs * w) >> 8;
        return static_cast<uint8_t>(std::clamp(v, 0, 255));
    };
    return oxColour(mix(r, other.r), mix(g, other.g), mix(b, other.b), a);
}
