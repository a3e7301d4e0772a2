// What the views ask of a loader: the loaded picture of a file, and giving it
// back. The loader owns every record it hands out; a view keeps the pointer
// only between getting it from requestPicture and releasePicture.
#pragma once

#include "app/loader/loadedpicture.h"

#include "oxengine/core/thread.h"

#include <functional>
#include <string>

// What requestPicture gives.
struct PictureRequest {
    // Ready: loaded, or failed (no tiles, the note telling why); held until
    // releasePicture. Null and not pending: it cannot be had at all.
    LoadedPicture* picture = nullptr;
    // Being prepared: ask again once the loader has called back (it asks
    // the application for a redraw when the picture is ready).
    bool pending = false;
};

class TextureLoader {
public:
    virtual ~TextureLoader() = default;
    // Asks for the picture of that file and returns at once, never waiting
    // for a decoder. Only the newest picture asked for matters: asking for
    // another one drops the work for an earlier one that is not ready yet.
    // Asking again for the picture being prepared changes nothing.
    virtual PictureRequest requestPicture(const std::string& name) = 0;
    virtual void releasePicture(LoadedPicture* picture) = 0;
    // A view shows a first look larger than its texels (zoomed in past it):
    // its full detail is loaded into the same record, once. Nothing for a
    // picture that has it already.
    virtual void completePicture(LoadedPicture* /*picture*/) {}
    // While held, pictures read ahead (the neighbours of the one asked for)
    // wait: the first frame of a newly shown picture gets the cores.
    virtual void holdReadAhead(bool /*hold*/) {}
};

// The step that turns a file into a filled record (preparePicture in the
// program; tests put in their own). Called with the record's lock held; it
// polls cancel between steps it can abandon and then throws oxCancelled.
using PictureFiller =
    std::function<bool(const std::string& name, LoadedPicture& picture, const oxCancelToken& cancel)>;

// Fills picture from name through fill, the way both loaders do: every tile
// released first; after a failed fill, or an exception of any kind, no tile
// is left, and an exception's message goes into the note as
// "[Error while loading: <message>]". A cancelled fill is no failure: it
// leaves no tile and no note and lets oxCancelled through. Returns whether
// the picture can be shown; errorText, when given, receives the exception's
// description for a log. Takes the record's lock.
bool fillLoadedPicture(const PictureFiller& fill, LoadedPicture& picture, const std::string& name,
                       const oxCancelToken& cancel, std::string* errorText = nullptr);
