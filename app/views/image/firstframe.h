// The single-picture view's first frame for the start picture, drawn without
// OpenGL so that it can be on screen before the GL driver is up: the
// picture fitted and centred on black, and the zoom and file name lines, where
// the view's own first frame will put them.
#pragma once

#include "oxengine/graphics/softframe.h"
#include "oxengine/gui/style.h"

#include <string>

class oxImage;

// Draws into frame (the window's size, black) the decoded start picture (a
// first look or the whole one) of the file shown as fileName. False, the
// frame then unusable, when the view would draw more than this frame can (a
// transparent, HDR or non-8-bit picture, a text or note line, the detail
// level of the overlays, glyphs from the system's fonts), so that what shows
// first never changes when the view takes over.
bool drawFirstFrame(oxSoftFrame& frame, const oxImage& picture, const std::string& fileName, int infoLevel,
                    const oxGuiStyle& style);
