// The handler of GIF and BMP files (".gif", ".bmp"), decoded by GdkPixbuf
// from the file's bytes: the first frame of an animation, as 8-bit RGBA with
// every pixel opaque. It cannot write or transform.
#pragma once

#include "oxengine/image/handler.h"

class oxOLEImageHandler : public oxImageHandler {
public:
    std::string loadFilter() const override;
    std::string saveFilter() const override { return std::string(); }
    bool canLoad(const std::string& filename) const override;
    bool canSave(const std::string&) const override { return false; }
    bool canTransform(const std::string&) const override { return false; }
    // The decoder is chosen by the file's first bytes ("GIF8", "BM"), so a
    // file with another content is refused, whatever its name says, and
    // never reaches a decoder for some other format.
    std::unique_ptr<oxImage> loadImage(const std::string& filename, const oxLoadOptions& options) const override;
    // Refuses: GIF and BMP are read-only here.
    void saveImage(const oxImage& image, const std::string& filename, const oxToneMapping& toneMapping) const override;
    void transformFile(const std::string& filename, const oxImageTransform& transform) const override;
};
