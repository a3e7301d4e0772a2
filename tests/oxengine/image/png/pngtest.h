// PNG files put together chunk by chunk, so every colour type, depth and
// chunk is exactly what a test says (independent of the library under
// test), and the chunk list of a file.
#pragma once

#include "../formattest.h"

#include "oxengine/image/png/pnghandler.h"

#include <zlib.h>

#include <functional>
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

inline std::string deflated(const std::string& raw)
{
    uLongf size = compressBound(uLong(raw.size()));
    std::string packed(size, '\0');
    compress(reinterpret_cast<Bytef*>(packed.data()), &size, reinterpret_cast<const Bytef*>(raw.data()), uLong(raw.size()));
    packed.resize(size);
    return packed;
}

inline std::string file(const std::vector<Chunk>& chunks)
{
    std::string bytes("\x89PNG\r\n\x1a\n", 8);
    for (const Chunk& c : chunks) {
        const std::string typed = c.type + c.data;
        bytes += be32(uint32_t(c.data.size())) + typed +
                 be32(uint32_t(crc32(0, reinterpret_cast<const Bytef*>(typed.data()), uInt(typed.size()))));
    }
    return bytes;
}

inline Chunk ihdr(uint32_t w, uint32_t h, int depth, int colour)
{
    return {"IHDR", be32(w) + be32(h) + std::string{char(depth), char(colour), 0, 0, 0}};
}

// Image data: sample(x, y, channel) for every pixel, packed at the bit depth,
// each row with filter type 0.
inline Chunk idat(uint32_t w, uint32_t h, int depth, int colour, const std::function<uint16_t(uint32_t, uint32_t, int)>& sample)
{
    const int channels = colour == 0 || colour == 3 ? 1 : colour == 4 ? 2 : colour == 2 ? 3 : 4;
    std::string raw;
    for (uint32_t y = 0; y < h; ++y) {
        raw += '\0';
        uint32_t bits = 0, nbits = 0;
        for (uint32_t x = 0; x < w; ++x)
            for (int c = 0; c < channels; ++c) {
                const uint16_t v = sample(x, y, c);
                if (depth == 16) {
                    raw += {char(v >> 8), char(v)};
                    continue;
                }
                bits = bits << depth | (v & ((1u << depth) - 1));
                if ((nbits += uint32_t(depth)) == 8) {
                    raw += char(bits);
                    bits = nbits = 0;
                }
            }
        if (nbits)
            raw += char(bits << (8 - nbits));
    }
    return {"IDAT", deflated(raw)};
}

inline Chunk text(const std::string& key, const std::string& value)
{
    return {"tEXt", key + '\0' + value};
}

inline Chunk ztext(const std::string& key, const std::string& value)
{
    return {"zTXt", key + std::string(2, '\0') + deflated(value)};
}

inline Chunk itext(const std::string& key, const std::string& value)
{
    return {"iTXt", key + std::string(5, '\0') + value}; // uncompressed, no language
}

inline const Chunk IEND{"IEND", ""};

// The chunks of a PNG file in order.
inline std::vector<Chunk> chunks(const std::string& png)
{
    std::vector<Chunk> found;
    for (size_t at = 8; at + 12 <= png.size();) {
        const auto byte = [&](size_t i) { return size_t(uint8_t(png[at + i])); };
        const size_t length = byte(0) << 24 | byte(1) << 16 | byte(2) << 8 | byte(3);
        found.push_back({png.substr(at + 4, 4), png.substr(at + 8, length)});
        at += 12 + length;
    }
    return found;
}

inline std::unique_ptr<oxImage> load(const std::string& path)
{
    return oxPngHandler().loadImage(path, oxSize());
}

} // namespace pngtest
