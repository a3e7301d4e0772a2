// What the window's back buffer holds at one moment, copied into a texture so
// that later frames can start from it instead of drawing it again: a frame
// on a software renderer costs a pass over every pixel per picture drawn.
// Needs the window's context current for every call, destruction included.
#pragma once

#include "oxengine/graphics/texture.h"

#include <memory>

class oxFrameCopy {
public:
    // Copies the window's width x height pixels as they are now (the texture
    // is made or remade at that size). False when the driver cannot hold a
    // texture of the window's size; the copy is then empty.
    bool capture(int width, int height);
    // Holds a copy of a window of this size.
    bool holds(int width, int height) const { return m_texture && width == m_width && height == m_height; }
    // Puts the copy back over the window, pixel for pixel and unblended,
    // with window coordinates (origin top left, y down) current.
    void draw() const;
    void clear() { m_texture.reset(); }

private:
    std::unique_ptr<oxTexture2D> m_texture;
    int m_width = 0, m_height = 0;
};
