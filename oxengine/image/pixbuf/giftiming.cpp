#include "oxengine/image/pixbuf/giftiming.h"

#include <cstring>

namespace {

struct Reader {
    const unsigned char* data;
    size_t n;
    size_t at = 0;

    bool has(size_t count) const { return count <= n - at; }
    int byte() { return at < n ? data[at++] : -1; }
    int le16(size_t offset) const { return data[offset] | data[offset + 1] << 8; }
    // Skips data sub-blocks up to and including the empty one.
    bool skipSubBlocks()
    {
        for (;;) {
            const int size = byte();
            if (size < 0)
                return false;
            if (size == 0)
                return true;
            if (!has(size_t(size)))
                return false;
            at += size_t(size);
        }
    }
    // Skips a colour table announced by a packed field.
    bool skipColourTable(int packed)
    {
        if (!(packed & 0x80))
            return true;
        const size_t bytes = size_t(3) << ((packed & 7) + 1);
        if (!has(bytes))
            return false;
        at += bytes;
        return true;
    }
};

} // namespace

oxGifTiming oxReadGifTiming(const unsigned char* data, size_t n)
{
    oxGifTiming timing;
    Reader r{data, n};
    if (!data || n < 13 || std::memcmp(data, "GIF8", 4) != 0)
        return timing;
    r.at = 13;
    if (!r.skipColourTable(data[10]))
        return timing;
    int delay = 0; // of the next frame
    for (;;) {
        const int block = r.byte();
        if (block == 0x2C) { // image descriptor: a frame
            if (!r.has(9))
                return timing;
            const int packed = data[r.at + 8];
            const int screenWidth = r.le16(6), screenHeight = r.le16(8);
            if (r.le16(r.at) + r.le16(r.at + 4) > screenWidth || r.le16(r.at + 2) + r.le16(r.at + 6) > screenHeight)
                timing.framesInside = false;
            r.at += 9;
            timing.delays.push_back(delay);
            delay = 0;
            if (!r.skipColourTable(packed) || r.byte() < 0 || !r.skipSubBlocks())
                return timing;
        } else if (block == 0x21) { // extension
            const int label = r.byte();
            if (label == 0xF9 && r.has(5) && data[r.at] == 4) {
                delay = r.le16(r.at + 2) * 10; // hundredths of a second
            } else if (label == 0xFF && r.has(16) && data[r.at] == 11 &&
                       (std::memcmp(data + r.at + 1, "NETSCAPE2.0", 11) == 0 ||
                        std::memcmp(data + r.at + 1, "ANIMEXTS1.0", 11) == 0) &&
                       data[r.at + 12] == 3 && data[r.at + 13] == 1) {
                // The number of repeats after the first play; 0 repeats forever.
                const int repeats = r.le16(r.at + 14);
                timing.plays = repeats == 0 ? 0 : repeats + 1;
            }
            if (label < 0 || !r.skipSubBlocks())
                return timing;
        } else {
            return timing; // the trailer (0x3B), or damage
        }
    }
}
