// The look applied to a whole element tree.
#pragma once

#include "oxengine/image/sampletypes.h"

#include <string>

struct oxGuiStyle {
    int textHeight = 20;
    oxColour fgColour{255, 255, 255, 255};
    oxColour bgColour{0, 0, 0, 170};
    std::string fontName = "arial";
};

// The process-wide default: elements copy it when they are constructed, so
// the application sets it from its settings before it builds any element.
extern oxGuiStyle defaultGuiStyle;
