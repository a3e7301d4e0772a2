// The loader that does its work at once, in the calling thread and with the
// calling thread's GL context; for views that run without the background
// loader.
#pragma once

#include "app/loader/textureloader.h"

#include <memory>
#include <vector>

class SimpleTextureLoader : public TextureLoader {
public:
    // fill turns a file into the record (preparePicture in the program).
    explicit SimpleTextureLoader(PictureFiller fill);
    ~SimpleTextureLoader() override;

    // Prepared at once, never pending. Null when the preparation fails; a
    // record whose preparation threw comes back without tiles and with the
    // error in its note.
    PictureRequest requestPicture(const std::string& name) override;
    // Releases the tiles and destroys the record; unknown pointers are ignored.
    void releasePicture(LoadedPicture* picture) override;

private:
    PictureFiller m_fill;
    std::vector<std::unique_ptr<LoadedPicture>> m_pictures;
};
