// Builders for font files and fonts in tests.
#pragma once

#include "oxengine/graphics/glfont.h"

#include <cstdint>
#include <cstring>
#include <map>
#include <sstream>
#include <string>

// A GLFont file written field by field (little-endian): the reader is tested against the format, not our writer.
struct FontBytes {
    std::string bytes;

    FontBytes& i32(int32_t v)
    {
        for (int i = 0; i < 4; ++i)
            bytes.push_back(char((uint32_t(v) >> (8 * i)) & 0xFF));
        return *this;
    }
    FontBytes& f32(float f)
    {
        int32_t bits;
        std::memcpy(&bits, &f, 4);
        return i32(bits);
    }
    FontBytes& header(int texWidth, int texHeight, int startChar, int endChar)
    {
        return i32(7).i32(texWidth).i32(texHeight).i32(startChar).i32(endChar).i32(0x1234);
    }
    FontBytes& glyph(float dx, float dy, float tx1 = 0, float ty1 = 0, float tx2 = 1, float ty2 = 1)
    {
        return f32(dx).f32(dy).f32(tx1).f32(ty1).f32(tx2).f32(ty2);
    }
    FontBytes& raw(const std::string& s) { return bytes += s, *this; }
    FontBytes& byte(int b) { return bytes.push_back(char(b)), *this; }
};

// A layout font of codes startChar..endChar: cells cellHeight high, 10 wide unless widths says otherwise.
inline void loadLayoutFont(GLFont& font, const std::map<char32_t, double>& widths = {}, int startChar = 32,
                           int endChar = 255, int cellHeight = 32)
{
    oxGLFontData data;
    data.texWidth = 256, data.texHeight = 64;
    data.startChar = startChar, data.endChar = endChar;
    for (int c = startChar; c <= endChar; ++c) {
        auto it = widths.find(char32_t(c));
        const double w = it == widths.end() ? 10.0 : it->second;
        data.glyphs.push_back(GLFontChar{float(w / 256), float(cellHeight / 64.0), 0, 0, float(w / 256), 0.5f});
    }
    data.alpha.assign(256 * 64, 0);
    std::stringstream bytes;
    oxWriteGLFont(bytes, data, true);
    font.loadFont(bytes, true);
}
