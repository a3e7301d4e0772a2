// How the stored pixels of a picture become the upright picture: the eight
// turns and mirrors of a rectangle (the Exif orientations), and the reading
// and rewriting of the Exif orientation tag.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

class oxImage;

// A transposition (x and y exchanged) followed by a mirror along x and/or y.
// Every turn and mirror of a rectangle is one of these eight.
struct oxOrientation {
    bool transpose = false;
    bool flipX = false;
    bool flipY = false;

    // The transform that makes a picture with this Exif orientation (1 to 8)
    // upright; any other code is the identity.
    static oxOrientation fromExif(int code);
    // Quarter turns clockwise (1, 2, 3; others the identity).
    static oxOrientation rotation(int quarterTurns);
    // The Exif code (1 to 8) of the picture that this transform makes upright.
    int exifCode() const;
    // This transform followed by next.
    oxOrientation then(const oxOrientation& next) const;
    oxOrientation inverse() const { return transpose ? oxOrientation{true, flipY, flipX} : *this; }
    bool identity() const { return !transpose && !flipX && !flipY; }
    friend bool operator==(const oxOrientation&, const oxOrientation&) = default;
};

// A copy of the image turned and mirrored by the transform; null when it
// cannot be allocated.
std::unique_ptr<oxImage> oxOrientedCopy(const oxImage& image, const oxOrientation& orientation);

// The orientation tag (0x0112) of IFD0 of TIFF-structured Exif data (the
// data of a PNG eXIf chunk, or a JPEG APP1 marker after its "Exif\0\0"):
// 1 to 8, or 0 when there is none or it is out of range. Never reads
// outside the n bytes.
int oxExifOrientation(const unsigned char* tiff, size_t n);
// Rewrites an existing orientation tag in place; false when there is none.
bool oxExifSetOrientation(unsigned char* tiff, size_t n, int code);

// The same for the data of a JPEG APP1 marker ("Exif\0\0" and TIFF data).
int oxJpegExifOrientation(const unsigned char* app1, size_t n);
bool oxJpegExifSetOrientation(unsigned char* app1, size_t n, int code);
