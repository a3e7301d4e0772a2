// A frame drawn without OpenGL, in window pixels (origin top-left, y down),
// each pixel a 0x00RRGGBB word as a 24-bit X visual takes it. The start
// picture's first frame is drawn with it before the GL driver is loaded, so
// it follows OpenGL's rules where they show: a pixel belongs to a rectangle
// when its centre lies inside (on the left or bottom edge, as GL counts rows
// from the bottom of the window), a picture stretched over a rectangle maps its
// outer texel edges onto the rectangle's edges, blending is source-over.
#pragma once

#include "oxengine/graphics/textoutput.h"
#include "oxengine/image/sampletypes.h"

#include <cstdint>
#include <vector>

class oxImage;

class oxSoftFrame {
public:
    // Filled with clear (alpha ignored).
    oxSoftFrame(int width, int height, oxColour clear);

    int width() const { return m_width; }
    int height() const { return m_height; }
    const std::vector<uint32_t>& pixels() const { return m_pixels; }
    uint32_t pixel(int x, int y) const { return m_pixels[size_t(y) * size_t(m_width) + size_t(x)]; }

    // Later drawing stays within the whole pixels [x0, x1) x [y0, y1), as
    // within GL's scissor box; the whole frame again by default.
    void setClip(int x0, int y0, int x1, int y1);
    void clearClip() { setClip(0, 0, m_width, m_height); }

    // colour blended over the rectangle by its alpha.
    void fillRect(double left, double top, double right, double bottom, oxColour colour);
    // An opaque 8-bit picture stretched over the rectangle: averaged over
    // each pixel's footprint where it is shrunk, linear where enlarged, as
    // mipmapped texturing looks. False (nothing drawn) for other pictures.
    bool drawPicture(const oxImage& picture, double left, double top, double right, double bottom);
    // A text block as it draws itself: its background, then its glyphs.
    // False (nothing drawn) without a font, when it has glyphs of the glyph
    // cache or when the font's texels are gone (uploaded).
    bool drawText(const oxTextOutput& text);

private:
    int m_width, m_height;
    std::vector<uint32_t> m_pixels;
    int m_clip[4]; // x0, y0, x1, y1
};
