// The GLFont file format: a 24-byte header (texture, texWidth, texHeight,
// startChar, endChar, chars; little-endian int32), one GLFontChar of six
// float32 per code from startChar to endChar, then the texels. Plain (".glf")
// texels are luminance/alpha byte pairs; compressed (".glfc") texels are run
// bytes: high nibble + 1 = run length, low nibble * 17 = alpha.
#pragma once

#include <cstddef>
#include <cstdint>
#include <iosfwd>
#include <string>
#include <vector>

struct GLFontChar {
    float dx = 0, dy = 0;   // glyph size as fractions of the texture size
    float tx1 = 0, ty1 = 0; // left, top texture coordinates
    float tx2 = 0, ty2 = 0; // right, bottom texture coordinates
};

// Limits of what a reader accepts. Above them a file is refused before
// anything is allocated for it.
constexpr int GLFONT_MAX_TEXTURE_SIZE = 16384;
constexpr int64_t GLFONT_MAX_GLYPHS = 65536;

// A font as stored: the texture holds one alpha byte per texel, rows top
// first (luminance is always full).
struct oxGLFontData {
    int texWidth = 0;
    int texHeight = 0;
    int startChar = 0;
    int endChar = -1;
    std::vector<GLFontChar> glyphs; // endChar - startChar + 1 records
    std::vector<uint8_t> alpha;     // texWidth * texHeight
};

// Reads a font; throws oxIOException when the stream is unusable from the
// start and oxFormatException for a malformed or truncated file. Memory grows
// with the bytes actually read, never with what a header claims. Reading stops
// right after the run that fills the texture.
oxGLFontData oxReadGLFont(std::istream& in, bool compressed);

// Writes a font. Alpha is quantised to 4 bits for the compressed variant
// (rounded), so a compressed round trip gives multiples of 17.
void oxWriteGLFont(std::ostream& out, const oxGLFontData& font, bool compressed);

// The run bytes of the compressed variant for the given alpha texels.
std::string oxEncodeGLFontRuns(const std::vector<uint8_t>& alpha);
