// Text form of oxColour: "#" followed by 3, 4, 6 or 8 hexadecimal digits
// (RGB, RGBA, RRGGBB, RRGGBBAA). The struct itself is in image/sampletypes.h.
#pragma once

#include "oxengine/image/sampletypes.h"

#include <string>

// Throws oxFormatException for a missing "#" or a wrong length, and
// oxNumberException ("found %c while looking for long") for a character that
// is not a hexadecimal digit. A missing alpha channel is 255.
oxColour parseColour(const std::string& text);

// "#RRGGBB", plus "AA" only when alpha is below 255 (upper-case digits).
std::string formatColour(const oxColour& colour);
