#include "oxengine/image/orientation.h"

#include "oxengine/image/image.h"

#include <cstring>

namespace {

// The eight transforms by Exif code; index 0 stands for "none".
constexpr oxOrientation EXIF[9] = {
    {}, {false, false, false}, {false, true, false}, {false, true, true}, {false, false, true},
    {true, false, false},  {true, true, false},   {true, true, true},   {true, false, true},
};

constexpr uint16_t ORIENTATION_TAG = 0x0112;
constexpr uint16_t TYPE_SHORT = 3;
constexpr char EXIF_HEADER[6] = {'E', 'x', 'i', 'f', 0, 0};

struct TiffReader {
    const unsigned char* data;
    size_t n;
    bool bigEndian;

    uint32_t get(size_t at, int bytes) const
    {
        uint32_t v = 0;
        for (int i = 0; i < bytes; ++i)
            v |= uint32_t(data[at + size_t(i)]) << (8 * (bigEndian ? bytes - 1 - i : i));
        return v;
    }
};

// Offset of the orientation tag's value within the data, or 0 when absent.
size_t orientationValue(const unsigned char* data, size_t n, bool& bigEndian)
{
    if (!data || n < 8)
        return 0;
    if (std::memcmp(data, "II*\0", 4) == 0)
        bigEndian = false;
    else if (std::memcmp(data, "MM\0*", 4) == 0)
        bigEndian = true;
    else
        return 0;
    const TiffReader r{data, n, bigEndian};
    const uint64_t ifd = r.get(4, 4);
    if (ifd + 2 > n)
        return 0;
    const uint32_t entries = r.get(size_t(ifd), 2);
    for (uint32_t i = 0; i < entries; ++i) {
        const uint64_t entry = ifd + 2 + uint64_t(i) * 12;
        if (entry + 12 > n)
            return 0;
        if (r.get(size_t(entry), 2) != ORIENTATION_TAG)
            continue;
        if (r.get(size_t(entry) + 2, 2) != TYPE_SHORT || r.get(size_t(entry) + 4, 4) != 1)
            return 0;
        return size_t(entry) + 8; // a single short lies in the entry itself
    }
    return 0;
}

bool hasExifHeader(const unsigned char* app1, size_t n)
{
    return app1 && n >= sizeof EXIF_HEADER && std::memcmp(app1, EXIF_HEADER, sizeof EXIF_HEADER) == 0;
}

} // namespace

oxOrientation oxOrientation::fromExif(int code)
{
    return code >= 1 && code <= 8 ? EXIF[code] : oxOrientation{};
}

oxOrientation oxOrientation::rotation(int quarterTurns)
{
    switch (quarterTurns) {
    case 1:
        return EXIF[6];
    case 2:
        return EXIF[3];
    case 3:
        return EXIF[8];
    default:
        return {};
    }
}

int oxOrientation::exifCode() const
{
    for (int code = 1; code <= 8; ++code)
        if (EXIF[code] == *this)
            return code;
    return 1;
}

oxOrientation oxOrientation::then(const oxOrientation& next) const
{
    // A transposition after a mirror is the other mirror before it.
    const bool fx = next.transpose ? flipY : flipX;
    const bool fy = next.transpose ? flipX : flipY;
    return {transpose != next.transpose, fx != next.flipX, fy != next.flipY};
}

std::unique_ptr<oxImage> oxOrientedCopy(const oxImage& image, const oxOrientation& o)
{
    // Each transform is a quarter turn or none, then at most a mirror along x.
    int turns = 0;
    bool mirror = false, flipY = false;
    if (!o.transpose) {
        turns = o.flipX && o.flipY ? 2 : 0;
        mirror = o.flipX && !o.flipY;
        flipY = o.flipY && !o.flipX;
    } else {
        turns = o.flipX != o.flipY ? (o.flipX ? 1 : 3) : (o.flipX ? 3 : 1);
        mirror = o.flipX == o.flipY;
    }
    std::unique_ptr<oxImage> out = turns ? image.rotatedCopy(turns) : image.clone();
    if (!out)
        return nullptr;
    if (mirror)
        out->flipHorizontal();
    if (flipY)
        out->flipVertical();
    return out;
}

int oxExifOrientation(const unsigned char* tiff, size_t n)
{
    bool bigEndian = false;
    const size_t at = orientationValue(tiff, n, bigEndian);
    if (at == 0)
        return 0;
    const uint32_t code = TiffReader{tiff, n, bigEndian}.get(at, 2);
    return code >= 1 && code <= 8 ? int(code) : 0;
}

bool oxExifSetOrientation(unsigned char* tiff, size_t n, int code)
{
    bool bigEndian = false;
    const size_t at = orientationValue(tiff, n, bigEndian);
    if (at == 0 || code < 1 || code > 8)
        return false;
    tiff[at + (bigEndian ? 0 : 1)] = 0;
    tiff[at + (bigEndian ? 1 : 0)] = static_cast<unsigned char>(code);
    return true;
}

int oxJpegExifOrientation(const unsigned char* app1, size_t n)
{
    return hasExifHeader(app1, n) ? oxExifOrientation(app1 + sizeof EXIF_HEADER, n - sizeof EXIF_HEADER) : 0;
}

bool oxJpegExifSetOrientation(unsigned char* app1, size_t n, int code)
{
    return hasExifHeader(app1, n) && oxExifSetOrientation(app1 + sizeof EXIF_HEADER, n - sizeof EXIF_HEADER, code);
}
