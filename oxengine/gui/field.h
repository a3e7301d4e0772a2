// What edit fields and lists share: margins around an inner rectangle, and
// the frame drawn in them.
#pragma once

#include "oxengine/gui/element.h"
#include "oxengine/gui/panel.h"

// The element's rectangle less the margins (never negative), in element
// coordinates.
oxGuiRect oxGuiInnerRect(const oxGuiElement& e, const oxGuiMargins& m);

// The fill over the element and a closed line loop through the points
// inset by half the margins, top margin / 3 wide, in colour.
void drawFieldFrame(const oxGuiElement& e, const oxGuiMargins& m, oxColour fill, oxColour colour);

// The colour a field's text and frame have when it is active or not.
oxColour oxGuiFieldColour(const oxGuiElement& e);
