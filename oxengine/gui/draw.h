// The toolkit's drawing helpers: the only GL calls of the toolkit besides
// each widget's draw(). Rectangles are in window pixels.
#pragma once

#include "oxengine/graphics/windowprojection.h"
#include "oxengine/gui/geometry.h"
#include "oxengine/image/sampletypes.h"

#include <optional>

// Texturing and lighting off, blending on.
void prepare2D();
// One quad in the current colour, wound counter-clockwise on screen (as the
// text output's glyphs are), so face culling never drops it.
void fillRect(oxGuiPointD p, oxGuiSizeD s, double z = 0.0);
// A frame of the given thickness just inside the rectangle.
void drawFrame(oxGuiPointD p, oxGuiSizeD s, double thickness);
void setColour(oxColour c);

// Saves the GL state render() may change and, for a tree in window pixels,
// sets a window-pixel projection; restores both when it ends.
class oxGuiRenderScope {
public:
    explicit oxGuiRenderScope(bool windowProjection);
    ~oxGuiRenderScope();
    oxGuiRenderScope(const oxGuiRenderScope&) = delete;
    oxGuiRenderScope& operator=(const oxGuiRenderScope&) = delete;

private:
    std::optional<oxWindowPixelProjection> m_projection;
};

// Limits drawing to a window rectangle, within any clip already in force
// (scrolled areas nest); the previous clip returns when it ends.
class oxGuiClipScope {
public:
    oxGuiClipScope(oxGuiPointD p, oxGuiSizeD s);
    ~oxGuiClipScope();
    oxGuiClipScope(const oxGuiClipScope&) = delete;
    oxGuiClipScope& operator=(const oxGuiClipScope&) = delete;

private:
    bool m_wasEnabled = false;
    int m_previous[4] = {0, 0, 0, 0};
};

// The mouse cursor (a GLUT cursor shape). Goes to the running
// application's window; a test can take the calls instead.
void oxGuiSetCursor(int glutCursor);
using oxGuiCursorSetter = void (*)(int glutCursor);
// Returns the previous setter; null restores the window's.
oxGuiCursorSetter oxSetGuiCursorSetter(oxGuiCursorSetter setter);
