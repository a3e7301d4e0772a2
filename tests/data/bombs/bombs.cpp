#include "bombs.h"

#include <zlib.h>

#include <algorithm>
#include <array>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace {

using Bytes = std::vector<unsigned char>;

// v in n bytes, least significant first unless bigEndian.
void put(Bytes& out, uint64_t v, int n, bool bigEndian = false)
{
    for (int i = 0; i < n; ++i)
        out.push_back(uint8_t(v >> 8 * (bigEndian ? n - 1 - i : i)));
}

bool save(const std::string& path, const Bytes& bytes)
{
    std::ofstream out(path, std::ios::binary);
    return bool(out.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size())).flush());
}

// Raw deflate data for n copies of byte value, as blocks that refer to
// nothing before them: made once for a band and repeated for the rest.
Bytes deflatedRun(unsigned char value, size_t n, int flush)
{
    z_stream z{};
    deflateInit2(&z, 9, Z_DEFLATED, -15, 9, Z_DEFAULT_STRATEGY);
    const Bytes in(n, value);
    Bytes out(deflateBound(&z, uLong(n)) + 64);
    z.next_in = const_cast<Bytes::value_type*>(in.data());
    z.avail_in = uInt(n);
    z.next_out = out.data();
    z.avail_out = uInt(out.size());
    deflate(&z, flush);
    out.resize(out.size() - z.avail_out);
    deflateEnd(&z);
    return out;
}

// A zlib stream of n zero bytes.
Bytes zlibZeros(uint64_t n)
{
    constexpr uint64_t BAND = uint64_t(8) << 20;
    Bytes out{0x78, 0xDA};
    const Bytes band = deflatedRun(0, size_t(std::min(n, BAND)), Z_FULL_FLUSH);
    for (uint64_t i = 0; i < n / BAND; ++i)
        out.insert(out.end(), band.begin(), band.end());
    if (n % BAND) {
        const Bytes rest = deflatedRun(0, size_t(n % BAND), Z_FULL_FLUSH);
        out.insert(out.end(), rest.begin(), rest.end());
    }
    const Bytes end = deflatedRun(0, 0, Z_FINISH);
    out.insert(out.end(), end.begin(), end.end());
    put(out, uint32_t((n % 65521) << 16 | 1), 4, true); // Adler-32 of zeros
    return out;
}

void pngChunk(Bytes& out, const char* type, const Bytes& data)
{
    put(out, uint32_t(data.size()), 4, true);
    const size_t start = out.size();
    out.insert(out.end(), type, type + 4);
    out.insert(out.end(), data.begin(), data.end());
    put(out, uint32_t(crc32(0, out.data() + start, uInt(out.size() - start))), 4, true);
}

Bytes png(uint32_t width, uint32_t height)
{
    Bytes out{0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    Bytes header;
    put(header, width, 4, true);
    put(header, height, 4, true);
    header.insert(header.end(), {8, 2, 0, 0, 0}); // 8-bit RGB, not interlaced
    pngChunk(out, "IHDR", header);
    // Each row: filter byte 0 and zero pixels.
    pngChunk(out, "IDAT", zlibZeros(uint64_t(height) * (uint64_t(width) * 3 + 1)));
    pngChunk(out, "IEND", {});
    return out;
}

Bytes exr(uint32_t width, uint32_t height)
{
    const std::array<int, 4> window{0, 0, int(width - 1), int(height - 1)};
    const std::string header = exrHeader({"B", "G", "R"}, window, window, 3); // ZIP, 16 rows a chunk
    Bytes out(header.begin(), header.end());

    // Zeros after the format's predictor: 0, then 128 for every byte.
    const auto chunkData = [&](uint32_t rows) {
        Bytes raw(size_t(rows) * width * 6, 128);
        raw[0] = 0;
        uLongf size = compressBound(uLong(raw.size()));
        Bytes packed(size);
        compress2(packed.data(), &size, raw.data(), uLong(raw.size()), 9);
        packed.resize(size);
        return packed;
    };
    const uint32_t chunks = (height + 15) / 16;
    const Bytes full = chunkData(16), last = chunkData(height - (chunks - 1) * 16);
    uint64_t offset = out.size() + uint64_t(chunks) * 8;
    for (uint32_t i = 0; i < chunks; ++i) {
        put(out, offset, 8);
        offset += 8 + (i + 1 < chunks ? full.size() : last.size());
    }
    for (uint32_t i = 0; i < chunks; ++i) {
        const Bytes& data = i + 1 < chunks ? full : last;
        put(out, i * 16, 4);
        put(out, uint32_t(data.size()), 4);
        out.insert(out.end(), data.begin(), data.end());
    }
    return out;
}

Bytes bmp(uint32_t width, uint32_t height)
{
    Bytes out{'B', 'M'};
    // File size, reserved, pixel data at 62; a 40-byte info header: size, one plane of 8 bits.
    for (uint32_t v : {64u, 0u, 62u, 40u, width, height})
        put(out, v, 4);
    put(out, 1, 2);
    put(out, 8, 2);
    // RLE8, the data's size, the resolution, two colours (black and white).
    for (uint32_t v : {1u, 2u, 2835u, 2835u, 2u, 0u, 0x000000u, 0xFFFFFFu})
        put(out, v, 4);
    out.insert(out.end(), {0x00, 0x01}); // end of the picture
    return out;
}

Bytes tga(uint32_t width, uint32_t height)
{
    Bytes out{0, 0, 10, 0, 0, 0, 0, 0, 0, 0, 0, 0};
    put(out, width, 2);
    put(out, height, 2);
    out.insert(out.end(), {24, 0x20});
    return out;
}

Bytes jpeg(uint32_t width, uint32_t height)
{
    Bytes out{0xFF, 0xD8};
    const auto segment = [&](uint8_t marker, const Bytes& data) {
        out.insert(out.end(), {0xFF, marker});
        put(out, uint32_t(data.size() + 2), 2, true);
        out.insert(out.end(), data.begin(), data.end());
    };
    Bytes tables{0x00};
    tables.resize(65, 1);
    segment(0xDB, tables);
    Bytes frame{8};
    put(frame, height, 2, true);
    put(frame, width, 2, true);
    frame.insert(frame.end(), {1, 1, 0x11, 0});
    segment(0xC0, frame);
    // One code each, "0": DC difference 0 and end of block.
    Bytes huffman;
    for (uint8_t table : {0x00, 0x10}) {
        huffman.push_back(table);
        huffman.push_back(1);
        huffman.insert(huffman.end(), 15, 0);
        huffman.push_back(0);
    }
    segment(0xC4, huffman);
    segment(0xDA, {1, 1, 0x00, 0, 63, 0});
    const uint64_t blocks = uint64_t((width + 7) / 8) * ((height + 7) / 8);
    const uint64_t bits = blocks * 2;
    out.insert(out.end(), size_t(bits / 8), 0);
    if (bits % 8)
        out.push_back(uint8_t(0xFF >> (bits % 8))); // padded with ones
    out.insert(out.end(), {0xFF, 0xD9});
    return out;
}

// In the order of Bomb, with the names makebomb takes.
const struct {
    const char* name;
    Bytes (*make)(uint32_t width, uint32_t height);
} KINDS[] = {{"exr", exr}, {"bmp", bmp}, {"png", png}, {"jpeg", jpeg}, {"tga", tga}};

} // namespace

std::string exrAttribute(const std::string& name, const std::string& type, const std::string& value)
{
    const uint32_t n = uint32_t(value.size());
    return name + '\0' + type + '\0' + std::string{char(n), char(n >> 8), char(n >> 16), char(n >> 24)} + value;
}

std::string exrHeader(const std::vector<std::string>& channels, const std::array<int, 4>& data, const std::array<int, 4>& display,
                      int compression, const std::string& more, uint32_t flags)
{
    const auto le32 = [](uint32_t v) { return std::string{char(v), char(v >> 8), char(v >> 16), char(v >> 24)}; };
    const auto box = [&](const std::array<int, 4>& b) { return le32(b[0]) + le32(b[1]) + le32(b[2]) + le32(b[3]); };
    std::string list;
    for (const std::string& c : channels) // half; linear flag and reserved; sampling 1, 1
        list += c + '\0' + le32(1) + le32(0) + le32(1) + le32(1);
    const std::string one = le32(0x3F800000); // 1.0f
    return "\x76\x2F\x31\x01" + le32(2 | flags) + exrAttribute("channels", "chlist", list + '\0') +
           exrAttribute("compression", "compression", std::string(1, char(compression))) +
           exrAttribute("dataWindow", "box2i", box(data)) + exrAttribute("displayWindow", "box2i", box(display)) +
           exrAttribute("lineOrder", "lineOrder", std::string(1, '\0')) + exrAttribute("pixelAspectRatio", "float", one) +
           exrAttribute("screenWindowCenter", "v2f", std::string(8, '\0')) +
           exrAttribute("screenWindowWidth", "float", one) + more + '\0';
}

bool bombNamed(const std::string& name, Bomb& kind)
{
    for (size_t i = 0; i < std::size(KINDS); ++i)
        if (name == KINDS[i].name) {
            kind = Bomb(i);
            return true;
        }
    return false;
}

uint32_t defaultBombSide(Bomb kind)
{
    return kind == Bomb::EXR_ZIP_ZEROS ? 32767 : 20000;
}

bool writeBomb(Bomb kind, const std::string& path, uint32_t width, uint32_t height)
{
    return save(path, KINDS[size_t(kind)].make(width, height));
}
