// The handler of ".jpg" and ".jpeg" files: decoding into 8-bit images
// (large pictures directly at 1/2, 1/4 or 1/8 of their size), baseline
// writing with the picture's comment, and lossless quarter turns and comment
// replacement on the DCT coefficients, keeping the APP markers and the date.
#pragma once

#include "oxengine/image/handler.h"

class oxJpegHandler : public oxImageHandler {
public:
    // Which extra markers a transformation copies from the source.
    enum MarkerCopy {
        COPY_NONE = 0,
        COPY_COMMENTS = 1,         // COM markers only
        COPY_ALL = 2,              // COM and APP0 to APP15
        COPY_ALL_BUT_COMMENTS = 3, // APP0 to APP15
    };
    // Used when the image option "Quality" is absent.
    static constexpr int DEFAULT_QUALITY = 98;

    std::string loadFilter() const override;
    bool canLoad(const std::string& filename) const override;
    // A grey file gives components 1, a colour file 3; the decoder scales by
    // 1/n (n = 1, 2, 4, 8) towards maximum and reduction is n.
    std::unique_ptr<oxImage> loadImage(const std::string& filename, const oxLoadOptions& options) const override;
    bool decodesReduced() const override { return true; }
    // RGB at the "Quality" option (98 without it); alpha and components are
    // not written. Tone-mapped when the mapping applies to the image's type.
    void saveImage(const oxImage& image, const std::string& filename, const oxToneMapping& toneMapping) const override;
    // COPY_ALL, or COPY_ALL_BUT_COMMENTS when the comment is replaced.
    void transformFile(const std::string& filename, const oxImageTransform& transform) const override;

    // The lossless transformation with an explicit marker-copy option. A
    // rotation that would lose partial edge blocks is refused and leaves the
    // file untouched, as does every other failure.
    static void transform(const std::string& filename, const oxImageTransform& transform, MarkerCopy markers);
};
