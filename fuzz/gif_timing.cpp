// Feeds arbitrary bytes to the GIF timing reader: it walks the blocks of a
// file without reading outside it.
#include "oxengine/image/pixbuf/giftiming.h"

#include <cstdint>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::vector<unsigned char> bytes(data, data + size); // exact size for the sanitizer
    (void)oxReadGifTiming(bytes.data(), bytes.size());
    return 0;
}
