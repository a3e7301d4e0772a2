// The timing of an animated GIF, read from its blocks without decoding any
// picture data: one delay per frame (Graphic Control Extensions) and how
// often the sequence plays (the NETSCAPE2.0 application extension).
#pragma once

#include <cstddef>
#include <vector>

struct oxGifTiming {
    std::vector<int> delays; // milliseconds per frame, as the file says (0 when it says nothing)
    int plays = 1;           // 0: forever
    // Every frame lies within the logical screen. The library composes
    // frames that do not out of bounds, so such a file is not animated.
    bool framesInside = true;
};

// Never reads outside the n bytes; a damaged file gives the frames before
// the damage.
oxGifTiming oxReadGifTiming(const unsigned char* data, size_t n);
