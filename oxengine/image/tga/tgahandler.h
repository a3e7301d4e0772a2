// The handler of Truevision Targa files (".tga"): uncompressed and
// run-length true-colour files of 24 and 32 bits read into 8-bit images,
// uncompressed 24- or 32-bit files written. The comment lives in the image ID
// field (at most 255 bytes). Rotation and comments go through the registry's
// load-change-save.
#pragma once

#include "oxengine/image/handler.h"

class oxTgaHandler : public oxImageHandler {
public:
    // The largest side a TGA header can hold.
    static constexpr uint32_t MAX_SIDE = 65535;

    std::string loadFilter() const override;
    bool canLoad(const std::string& filename) const override;
    // Components 4 whatever the depth; 24-bit pixels get alpha 255. An ID
    // field of text is the comment (other ID data is none); a colour map is
    // skipped; the origin bits (bottom or top, left or right) are honoured,
    // so row 0 is the picture's top row.
    std::unique_ptr<oxImage> loadImage(const std::string& filename, const oxLoadOptions& options) const override;
    // 32 bits when the image has 4 components, else 24; rows top first. The
    // comment goes into the ID field, cut to 255 bytes at a character.
    void saveImage(const oxImage& image, const std::string& filename, const oxToneMapping& toneMapping) const override;
    // genericTransform, after refusing a new comment longer than 255 bytes.
    void transformFile(const std::string& filename, const oxImageTransform& transform) const override;
};
