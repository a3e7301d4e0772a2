// Decompression bombs: small legal files whose pictures are huge, written in well under a second (one
// band's compressed data is repeated), so the tests make them instead of keeping megabytes of them.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

enum class Bomb { // in the order of the table in bombs.cpp
    EXR_ZIP_ZEROS, // RGB half, ZIP-compressed zeros (about 6 MB at 32767 x 32767)
    BMP_RLE_END,   // 8-bit RLE whose data ends at once: 64 bytes whatever the size
    PNG_ZEROS,     // 8-bit RGB zeros (about 1.2 MB at 20000 x 20000)
    JPEG_ZEROS,    // grey, every block zero, two bits each (1.5 MB at 20000 x 20000)
    TGA_RLE_END,   // 24-bit RLE without a single packet: the 18-byte header
};

// The kind named "exr", "bmp", "png", "jpeg" or "tga"; false for another name.
bool bombNamed(const std::string& name, Bomb& kind);
// The size they were found at: 32767 x 32767 for EXR, else 20000 x 20000.
uint32_t defaultBombSide(Bomb kind);
// False when the file cannot be written.
bool writeBomb(Bomb kind, const std::string& path, uint32_t width, uint32_t height);

// An EXR file's header, which the EXR tests share: half channels (names sorted), the data and
// display windows (x0, y0, x1, y1), the compression code, more attributes (exrAttribute) and flags.
std::string exrAttribute(const std::string& name, const std::string& type, const std::string& value);
std::string exrHeader(const std::vector<std::string>& channels, const std::array<int, 4>& data, const std::array<int, 4>& display,
                      int compression, const std::string& more = "", uint32_t flags = 0);
