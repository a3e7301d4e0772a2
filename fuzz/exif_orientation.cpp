// Arbitrary bytes as Exif TIFF data and as a JPEG APP1 marker: no access outside
// them, and a rewritten tag reads back.
#include "oxengine/image/orientation.h"

#include <cstdlib>
#include <cstring>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    // Exact-size copies, so that the sanitizer sees any read past the end.
    std::vector<unsigned char> tiff(data, data + size);
    const int code = oxExifOrientation(tiff.data(), tiff.size());
    if (code < 0 || code > 8)
        std::abort();
    if (oxExifSetOrientation(tiff.data(), tiff.size(), 3) && oxExifOrientation(tiff.data(), tiff.size()) != 3)
        std::abort();
    std::vector<unsigned char> app1(6 + size);
    std::memcpy(app1.data(), "Exif\0\0", 6);
    if (size > 0)
        std::memcpy(app1.data() + 6, data, size);
    if (oxJpegExifOrientation(app1.data(), app1.size()) != code)
        std::abort();
    oxJpegExifSetOrientation(app1.data(), app1.size(), 1);
    (void)oxOrientation::fromExif(code).then(oxOrientation::rotation(int(size % 4))).exifCode();
    return 0;
}
