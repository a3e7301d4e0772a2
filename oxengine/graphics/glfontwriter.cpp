// Writing GLFont files. Used by the font baker (which compiles this file on
// its own, before the engine exists) and by tests; depends on nothing else.
#include "oxengine/graphics/glfontformat.h"

#include <cstring>
#include <ostream>

namespace {

void putU32(std::string& out, uint32_t v)
{
    for (int i = 0; i < 4; ++i)
        out.push_back(char((v >> (8 * i)) & 0xFF));
}

void putI32(std::string& out, int32_t v) { putU32(out, uint32_t(v)); }

void putF32(std::string& out, float f)
{
    uint32_t bits;
    std::memcpy(&bits, &f, sizeof bits);
    putU32(out, bits);
}

uint8_t quantise(uint8_t a) { return uint8_t((a * 15 + 127) / 255); }

} // namespace

std::string oxEncodeGLFontRuns(const std::vector<uint8_t>& alpha)
{
    std::string runs;
    size_t i = 0;
    while (i < alpha.size()) {
        const uint8_t level = quantise(alpha[i]);
        size_t n = 1;
        while (n < 16 && i + n < alpha.size() && quantise(alpha[i + n]) == level)
            ++n;
        runs.push_back(char(((n - 1) << 4) | level));
        i += n;
    }
    return runs;
}

void oxWriteGLFont(std::ostream& out, const oxGLFontData& font, bool compressed)
{
    std::string bytes;
    putI32(bytes, 0); // texture name: meaningless in a file
    putI32(bytes, font.texWidth);
    putI32(bytes, font.texHeight);
    putI32(bytes, font.startChar);
    putI32(bytes, font.endChar);
    putI32(bytes, 0); // the writer's pointer: meaningless in a file
    for (const GLFontChar& g : font.glyphs)
        for (float f : {g.dx, g.dy, g.tx1, g.ty1, g.tx2, g.ty2})
            putF32(bytes, f);
    if (compressed) {
        bytes += oxEncodeGLFontRuns(font.alpha);
    } else {
        bytes.reserve(bytes.size() + font.alpha.size() * 2);
        for (uint8_t a : font.alpha) {
            bytes.push_back(char(0xFF));
            bytes.push_back(char(a));
        }
    }
    out.write(bytes.data(), std::streamsize(bytes.size()));
}
