// The handler of Truevision Targa files (".tga"): uncompressed and
// run-length true-colour files of 24 and 32 bits read into 8-bit images,
// uncompressed 24- or 32-bit files written. Rotation goes through the
// registry's load-rotate-save.
#pragma once

#include "oxengine/image/handler.h"

class oxTgaHandler : public oxImageHandler {
public:
    // The largest side a TGA header can hold.
    static constexpr uint32_t MAX_SIDE = 65535;

    std::string loadFilter() const override;
    bool canLoad(const std::string& filename) const override;
    bool canTransform(const std::string&) const override { return false; }
    // Components 4 whatever the depth; 24-bit pixels get alpha 255. The ID
    // field and a colour map are skipped; the origin bits (bottom or top,
    // left or right) are honoured, so row 0 is the picture's top row.
    std::unique_ptr<oxImage> loadImage(const std::string& filename, const oxLoadOptions& options) const override;
    // 32 bits when the image has 4 components, else 24; rows top first.
    void saveImage(const oxImage& image, const std::string& filename, const oxToneMapping& toneMapping) const override;
    void transformFile(const std::string& filename, const oxImageTransform& transform) const override;
};
