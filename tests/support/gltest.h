// A GL context for tests without the application framework: one GLUT window per process.
#pragma once

#include "oxengine/image/sampletypes.h"

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

// Opens the window on first use (false without a display), sized, with a top-left orthographic projection
// and culling, blending, depth test and texturing off.
bool glTestContext(int width = 640, int height = 480);

// RGBA pixels of the back buffer, rows top first; windowHeight 0: that of glTestContext.
std::vector<uint8_t> glReadBack(int x, int y, int width, int height, int windowHeight = 0);

// Draws a quad from (x0, y0) to (x1, y1) with texture coordinates 0 to 1.
void glQuad(float x0, float y0, float x1, float y1);

// A test on a pixel's red, green and blue.
using PixelTest = std::function<bool(int r, int g, int b)>;
// Within tolerance of c in red, green and blue.
PixelTest nearColour(oxColour c, int tolerance = 12);
struct PixelRect {
    int x, y, w, h;
};
// Inclusive bounds of matching pixels; empty when none matched.
struct PixelBox {
    int left = 1 << 30, top = 1 << 30, right = -1, bottom = -1;
    bool empty() const { return right < left; }
};

// The back buffer's (0, 0, width, height) read once; windowHeight as for glReadBack.
class GLFrame {
public:
    GLFrame(int width, int height, int windowHeight = 0)
        : m_width(width), m_height(height), m_pixels(glReadBack(0, 0, width, height, windowHeight))
    {
    }
    int width() const { return m_width; }
    int height() const { return m_height; }
    const uint8_t* at(int x, int y) const { return &m_pixels[(size_t(y) * m_width + x) * 4]; }
    int r(int x, int y) const { return at(x, y)[0]; }
    int g(int x, int y) const { return at(x, y)[1]; }
    int b(int x, int y) const { return at(x, y)[2]; }
    bool is(const PixelTest& p, int x, int y) const { return p(r(x, y), g(x, y), b(x, y)); }
    bool near(int x, int y, oxColour c, int tolerance = 12) const { return is(nearColour(c, tolerance), x, y); }
    // "(r,g,b)" of the pixel, for failure output.
    std::string text(int x, int y) const;
    // The largest difference of a colour channel between the frames.
    int maxDifference(const GLFrame& other) const;
    // How far a frame drawn without GL (0x00RRGGBB words, rows top first, this frame's size) lies from
    // this one: the largest mean difference of a channel over blocks of block x block pixels, and the
    // pixels whose channels differ by more than 64.
    struct Distance {
        int worstBlock = 0;
        int farPixels = 0;
    };
    Distance distanceTo(const std::vector<uint32_t>& soft, int block) const;
    // The matching pixels in the rectangle (the whole frame by default).
    PixelBox find(const PixelTest& p, PixelRect in = {0, 0, 1 << 30, 1 << 30}, int* count = nullptr) const;
    int count(const PixelTest& p, PixelRect in) const;
    // The share of matching pixels in row y from x0 up to x1.
    double rowShare(const PixelTest& p, int y, int x0, int x1) const { return double(count(p, {x0, y, x1 - x0, 1})) / (x1 - x0); }
    // Saves the frame as a PNG in the artefact folder.
    void save(const std::string& name) const;

private:
    int m_width, m_height;
    std::vector<uint8_t> m_pixels;
};

// Saves the back buffer's region as a PNG in the artefact folder.
inline void glSaveArtifact(const std::string& name, int width, int height) { GLFrame(width, height).save(name); }
