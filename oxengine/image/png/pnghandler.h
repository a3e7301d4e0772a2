// The handler of ".png" files on libpng: every colour type and bit depth read
// into 8- or 16-bit RGBA images with the comment from the text chunks, 8- or
// 16-bit RGB or RGBA written with the comment as a "Title" chunk, and the
// comment of a file replaced without touching anything else in it. Rotation
// is refused.
#pragma once

#include "oxengine/image/handler.h"

#include <string>
#include <utility>
#include <vector>

class oxPngHandler : public oxImageHandler {
public:
    std::string loadFilter() const override;
    bool canLoad(const std::string& filename) const override;
    // uint16 for 16-bit files, uint8 otherwise; components 4 whatever the
    // colour type (alpha from the file, a tRNS chunk, or opaque). Samples
    // are delivered as stored (no gamma correction).
    std::unique_ptr<oxImage> loadImage(const std::string& filename, const oxLoadOptions& options) const override;
    // 8 bits for uint8 images, 16 for the others (tone-mapped when the
    // mapping asks for it); RGB below 4 components, else RGB with alpha.
    void saveImage(const oxImage& image, const std::string& filename, const oxToneMapping& toneMapping) const override;
    // Comment replacement only: every chunk but the text chunks whose key is
    // a comment key ("Title", "Comment", "Description") is kept byte for
    // byte, and the new comment is one "Title" chunk. A rotation is refused
    // and leaves the file untouched.
    void transformFile(const std::string& filename, const oxImageTransform& transform) const override;
};

// The 8-bit picture as a PNG in memory, made for speed (caches): RGB below 4
// components, else RGB with alpha, with the text chunks given (UTF-8
// values). Empty when it cannot be made.
std::string oxPngQuickEncode(const oxImage& image, const std::vector<std::pair<std::string, std::string>>& texts);
