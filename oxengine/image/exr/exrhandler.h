// The handler of OpenEXR files (".exr"): read into and written from half
// images through the library's RGBA interface, which is loaded at run time
// (oxExrLibrary). Rotation reads the picture, turns it and writes it back
// with every attribute of the old header, for files that hold nothing but
// one RGBA picture.
#pragma once

#include "oxengine/image/exr/exrlibrary.h"
#include "oxengine/image/handler.h"

class oxExrHandler : public oxImageHandler {
public:
    explicit oxExrHandler(std::shared_ptr<const oxExrLibrary> library) : m_library(std::move(library)) {}

    std::string loadFilter() const override;
    bool canLoad(const std::string& filename) const override;
    // The data window becomes the image: its corner is row 0, column 0.
    // Components 4; the comment is the "comments" attribute.
    std::unique_ptr<oxImage> loadImage(const std::string& filename, const oxLoadOptions& options) const override;
    // RGBA for 4 components, else RGB; the comment as "comments" when it is
    // not empty. The file is read back before it replaces the old one: the
    // library reports some write failures only by leaving the file short.
    void saveImage(const oxImage& image, const std::string& filename, const oxToneMapping& toneMapping) const override;
    // Load, change, save with a copy of the file's header: every attribute
    // stays (compression, chromaticities, the user's own ...), the data and
    // display windows, the pixel aspect ratio and the screen window turn with
    // the picture, a tiled file stays tiled, the file keeps its channel set
    // and its modification time. A new comment replaces "comments" (an empty
    // one is stored empty: the interface cannot remove an attribute). Refused
    // with the reason: files with other channels, layers, several parts or
    // deep data, mip-mapped files (the levels would be lost) and environment
    // maps (which a turn would break). Camera matrices stay as they were:
    // they describe the camera, not the pixels.
    void transformFile(const std::string& filename, const oxImageTransform& transform) const override;

private:
    std::shared_ptr<const oxExrLibrary> m_library;
};
