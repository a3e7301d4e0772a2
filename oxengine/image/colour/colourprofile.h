// Colour management: a decoded picture's colours, described by its file (an
// embedded ICC profile, PNG's gamma and chromaticities or coding-independent
// code points, CMYK ink), become the display's. Pictures without such a
// description are sRGB; on an sRGB display (the default) they are left as
// they are and cost nothing. Conversions run on the calling (loader) thread
// and the image workers, through Little CMS transforms kept for reuse.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <vector>

class oxImage;

// What a file says about the colours of its pixels.
struct oxColourSource {
    std::vector<unsigned char> icc; // an embedded ICC profile; wins over the rest (except cICP)

    // PNG without a profile: file gamma (gAMA, the encoding exponent such as
    // 0.45455; 0 for none) and chromaticities (cHRM, x and y of white, red,
    // green and blue).
    double gamma = 0;
    bool hasChromaticities = false;
    std::array<double, 8> chromaticities{};
    bool srgbChunk = false; // PNG sRGB chunk: the pixels are sRGB whatever else is said
    // Coding-independent code points (PNG cICP): colour primaries and
    // transfer characteristics as ITU-T H.273 numbers; 0 for none.
    int cicpPrimaries = 0, cicpTransfer = 0;

    // The pixels are CMYK ink amounts in the four bytes of each 8-bit
    // pixel; inverted as Adobe's applications write them (0 is full ink).
    bool cmyk = false;
    bool inverted = false;
};

// Converts the image's pixels in place to the display's colours. 8-bit and
// 16-bit RGBA images (alpha is kept) and 8-bit CMYK; other sample types are
// left alone. A profile that cannot be used, or one of another colour space
// than the pixels, is ignored (the pixels are taken as sRGB). After a CMYK
// conversion the image holds opaque RGB.
void oxConvertToDisplay(oxImage& image, const oxColourSource& source);

// The display's ICC profile; empty (the default) for sRGB. A profile Little
// CMS cannot read counts as sRGB. Any thread; later conversions use it.
void oxSetDisplayProfile(std::vector<unsigned char> icc);
