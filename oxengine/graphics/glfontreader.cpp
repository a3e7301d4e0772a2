// Reading GLFont files. Every size in a header is checked before it is used,
// and buffers grow only with the bytes the stream really delivers, so a short
// hostile file cannot make us allocate what its header claims.
#include "oxengine/core/catalogue.h"
#include "oxengine/core/errors.h"
#include "oxengine/graphics/glfontformat.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <istream>
#include <new>

namespace {

[[noreturn]] void throwEarlyEnd(std::istream& in)
{
    in.setstate(std::ios::failbit);
    throw oxFormatException(oxGetTranslation("GLFont: Unexpected end of file while reading data"));
}

template <typename... Args>
[[noreturn]] void throwFormat(const char* format, Args... args)
{
    char buffer[256];
    std::snprintf(buffer, sizeof buffer, oxGetTranslation(format), args...);
    throw oxFormatException(buffer);
}

void readExactly(std::istream& in, unsigned char* dest, size_t n)
{
    if (!in.read(reinterpret_cast<char*>(dest), std::streamsize(n)) || size_t(in.gcount()) != n)
        throwEarlyEnd(in);
}

int32_t i32At(const unsigned char* p)
{
    return int32_t(uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24);
}

float f32At(const unsigned char* p)
{
    const uint32_t bits = uint32_t(i32At(p));
    float f;
    std::memcpy(&f, &bits, sizeof f);
    return f;
}

// A record the layout code can use without overflow: finite numbers and a
// glyph no larger than the texture that holds it.
bool plausible(const GLFontChar& g)
{
    for (float f : {g.dx, g.dy, g.tx1, g.ty1, g.tx2, g.ty2})
        if (!std::isfinite(f))
            return false;
    return g.dx >= 0 && g.dx <= 1 && g.dy >= 0 && g.dy <= 1;
}

void readGlyphs(std::istream& in, oxGLFontData& font, int64_t count)
{
    try {
        font.glyphs.reserve(size_t(count));
    } catch (const std::bad_alloc&) {
        throw oxException(oxGetTranslation("not enough memory"));
    }
    unsigned char record[24];
    for (int64_t i = 0; i < count; ++i) {
        readExactly(in, record, sizeof record);
        GLFontChar g{f32At(record), f32At(record + 4), f32At(record + 8),
                     f32At(record + 12), f32At(record + 16), f32At(record + 20)};
        if (!plausible(g))
            throwFormat("GLFont: glyph %d has invalid metrics", int(font.startChar + i));
        font.glyphs.push_back(g);
    }
}

void readRuns(std::istream& in, std::vector<uint8_t>& alpha, size_t total)
{
    std::streambuf* buf = in.rdbuf();
    if (!buf)
        throwEarlyEnd(in);
    // Byte by byte through the stream buffer: whatever follows the run that
    // fills the texture stays unread.
    while (alpha.size() < total) {
        const int c = buf->sbumpc();
        if (c == std::char_traits<char>::eof()) {
            in.setstate(std::ios::eofbit);
            throwEarlyEnd(in);
        }
        const size_t run = size_t(c >> 4) + 1;
        if (run > total - alpha.size())
            throw oxFormatException(oxGetTranslation("GLFont: Run length exceeds target texture size"));
        alpha.insert(alpha.end(), run, uint8_t((c & 15) * 17));
    }
}

void readPlain(std::istream& in, std::vector<uint8_t>& alpha, size_t total)
{
    constexpr size_t CHUNK = 32768; // texels per read
    std::vector<unsigned char> pairs;
    while (alpha.size() < total) {
        const size_t n = std::min(CHUNK, total - alpha.size());
        pairs.resize(n * 2);
        readExactly(in, pairs.data(), pairs.size());
        // Only alpha matters: luminance is full everywhere.
        for (size_t i = 0; i < n; ++i)
            alpha.push_back(pairs[2 * i + 1]);
    }
}

} // namespace

oxGLFontData oxReadGLFont(std::istream& in, bool compressed)
{
    if (!in)
        throw oxIOException(oxGetTranslation("GLFont: input could not be opened"), std::string());

    unsigned char header[24];
    readExactly(in, header, sizeof header);
    oxGLFontData font;
    font.texWidth = i32At(header + 4);
    font.texHeight = i32At(header + 8);
    font.startChar = i32At(header + 12);
    font.endChar = i32At(header + 16);

    if (font.texWidth < 1 || font.texHeight < 1 || font.texWidth > GLFONT_MAX_TEXTURE_SIZE ||
        font.texHeight > GLFONT_MAX_TEXTURE_SIZE)
        throwFormat("GLFont: texture size %d x %d is not between 1 and %d", font.texWidth, font.texHeight,
                    GLFONT_MAX_TEXTURE_SIZE);
    if (font.endChar < font.startChar)
        throwFormat("GLFont: glyph range %d to %d is reversed", font.startChar, font.endChar);
    const int64_t count = int64_t(font.endChar) - font.startChar + 1;
    if (count > GLFONT_MAX_GLYPHS)
        throwFormat("GLFont: glyph range %d to %d has more than %d glyphs", font.startChar, font.endChar,
                    int(GLFONT_MAX_GLYPHS));

    readGlyphs(in, font, count);

    const size_t total = size_t(font.texWidth) * size_t(font.texHeight);
    try {
        // A first slice only; the rest grows as data arrives.
        font.alpha.reserve(std::min<size_t>(total, size_t(1) << 20));
        if (compressed)
            readRuns(in, font.alpha, total);
        else
            readPlain(in, font.alpha, total);
    } catch (const std::bad_alloc&) {
        throw oxException(oxGetTranslation("not enough memory"));
    }
    return font;
}
