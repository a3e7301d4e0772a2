// Helpers of the PNG tests: files put together chunk by chunk (so every
// colour type, depth and chunk is exactly what the test says, independent of
// the library under test), and the chunk list of a file.
#pragma once

#include "oxengine/errors.h"
#include "oxengine/image/png/pnghandler.h"
#include "testsupport.h"

#include <gtest/gtest.h>
#include <zlib.h>

#include <functional>
#include <string>
#include <vector>

namespace pngtest {

struct Chunk {
    std::string type;
    std::string data;
    friend bool operator==(const Chunk&, const Chunk&) = default;
};

inline std::string be32(uint32_t v)
{
    return {char(v >> 24), char(v >> 16), char(v >> 8), char(v)};
}

inline std::string chunkBytes(const Chunk& c)
{
    uLong crc = crc32(0, reinterpret_cast<const Bytef*>(c.type.data()), 4);
    crc = crc32(crc, reinterpret_cast<const Bytef*>(c.data.data()), uInt(c.data.size()));
    return be32(uint32_t(c.data.size())) + c.type + c.data + be32(uint32_t(crc));
}

inline std::string file(const std::vector<Chunk>& chunks)
{
    std::string bytes("\x89PNG\r\n\x1a\n", 8);
    for (const Chunk& c : chunks)
        bytes += chunkBytes(c);
    return bytes;
}

inline Chunk ihdr(uint32_t w, uint32_t h, int depth, int colour, int interlace = 0)
{
    return {"IHDR", be32(w) + be32(h) + std::string{char(depth), char(colour), 0, 0, char(interlace)}};
}

inline int channelsOf(int colour)
{
    switch (colour) {
    case 0:
    case 3:
        return 1;
    case 4:
        return 2;
    case 2:
        return 3;
    default:
        return 4;
    }
}

// Non-interlaced image data: sample(x, y, channel) for every pixel, packed at
// the bit depth, each row with filter type 0.
inline Chunk idat(uint32_t w, uint32_t h, int depth, int colour, const std::function<uint16_t(uint32_t, uint32_t, int)>& sample)
{
    const int channels = channelsOf(colour);
    std::string raw;
    for (uint32_t y = 0; y < h; ++y) {
        raw += '\0';
        uint32_t bits = 0, nbits = 0;
        for (uint32_t x = 0; x < w; ++x)
            for (int c = 0; c < channels; ++c) {
                const uint16_t v = sample(x, y, c);
                if (depth == 16) {
                    raw += char(v >> 8);
                    raw += char(v);
                } else {
                    bits = bits << depth | (v & ((1u << depth) - 1));
                    nbits += uint32_t(depth);
                    if (nbits == 8) {
                        raw += char(bits);
                        bits = nbits = 0;
                    }
                }
            }
        if (nbits)
            raw += char(bits << (8 - nbits));
    }
    uLongf size = compressBound(uLong(raw.size()));
    std::string packed(size, '\0');
    compress(reinterpret_cast<Bytef*>(packed.data()), &size, reinterpret_cast<const Bytef*>(raw.data()), uLong(raw.size()));
    packed.resize(size);
    return {"IDAT", packed};
}

inline Chunk text(const std::string& key, const std::string& value)
{
    return {"tEXt", key + std::string(1, '\0') + value};
}

inline Chunk ztext(const std::string& key, const std::string& value)
{
    uLongf size = compressBound(uLong(value.size()));
    std::string packed(size, '\0');
    compress(reinterpret_cast<Bytef*>(packed.data()), &size, reinterpret_cast<const Bytef*>(value.data()), uLong(value.size()));
    packed.resize(size);
    return {"zTXt", key + std::string(2, '\0') + packed};
}

inline Chunk itext(const std::string& key, const std::string& value)
{
    return {"iTXt", key + std::string(5, '\0') + value}; // uncompressed, no language
}

inline Chunk iend()
{
    return {"IEND", ""};
}

// The chunks of a PNG file in order (empty when it is none).
inline std::vector<Chunk> chunks(const std::string& png)
{
    std::vector<Chunk> found;
    if (png.compare(0, 8, std::string("\x89PNG\r\n\x1a\n", 8)) != 0)
        return found;
    for (size_t at = 8; at + 12 <= png.size();) {
        const auto* p = reinterpret_cast<const unsigned char*>(png.data() + at);
        const size_t length = size_t(p[0]) << 24 | size_t(p[1]) << 16 | size_t(p[2]) << 8 | p[3];
        if (at + 12 + length > png.size())
            break;
        found.push_back({png.substr(at + 4, 4), png.substr(at + 8, length)});
        at += 12 + length;
    }
    return found;
}

inline std::vector<Chunk> chunksOfType(const std::string& png, const std::string& type)
{
    std::vector<Chunk> all = chunks(png), some;
    for (const Chunk& c : all)
        if (c.type == type)
            some.push_back(c);
    return some;
}

inline std::unique_ptr<oxImage> load(const std::string& path)
{
    return oxPngHandler().loadImage(path, oxSize());
}

template <class Fn> std::string imageError(Fn&& fn)
{
    try {
        fn();
    } catch (const oxImageException& e) {
        return e.oxException::getMessage();
    }
    return std::string();
}

} // namespace pngtest
