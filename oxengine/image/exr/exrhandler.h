// The handler of OpenEXR files (".exr"): read into and written from half
// images through the library's RGBA interface, which is loaded at run time
// (oxExrLibrary). Rotation goes through load-rotate-save, for files that
// hold nothing but RGBA pictures.
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
    // Load, change, save (genericTransform). A file with other channels,
    // layers, several parts or deep data is refused, as the rewrite would
    // lose them.
    void transformFile(const std::string& filename, const oxImageTransform& transform) const override;

private:
    std::shared_ptr<const oxExrLibrary> m_library;
};
