// What the views ask of a loader: the loaded picture of a file, and giving it
// back. The loader owns every record it hands out; a view keeps the pointer
// only between acquirePicture and releasePicture.
#pragma once

#include "app/loader/loadedpicture.h"

#include <functional>
#include <string>

class TextureLoader {
public:
    virtual ~TextureLoader() = default;
    // The picture of that file, or null. A picture whose loading failed may
    // come back without tiles, its note telling why.
    virtual LoadedPicture* acquirePicture(const std::string& name) = 0;
    virtual void releasePicture(LoadedPicture* picture) = 0;
};

// The step that turns a file into a filled record (preparePicture in the
// program; tests put in their own). Called with the record's lock held.
using PictureFiller = std::function<bool(const std::string& name, LoadedPicture& picture)>;

// Fills picture from name through fill, the way both loaders do: every tile
// released first; after a failed fill, or an exception of any kind, no tile
// is left, and an exception's message goes into the note as
// "[Error while loading: <message>]". Returns whether the picture can be
// shown; errorText, when given, receives the exception's description for a
// log. Takes the record's lock.
bool fillLoadedPicture(const PictureFiller& fill, LoadedPicture& picture, const std::string& name,
                       std::string* errorText = nullptr);
