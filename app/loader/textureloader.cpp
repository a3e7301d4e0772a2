#include "app/loader/textureloader.h"

#include "oxengine/core/catalogue.h"
#include "oxengine/core/errors.h"

#include <new>

namespace {

void noteFailure(LoadedPicture& picture, const std::string& message)
{
    picture.note = oxGetTranslation("[Error while loading: ") + message + "]";
    picture.releaseTiles();
}

} // namespace

bool fillLoadedPicture(const PictureFiller& fill, LoadedPicture& picture, const std::string& name,
                       const oxCancelToken& cancel, std::string* errorText)
{
    oxLock lock(picture.lock);
    picture.releaseTiles();
    picture.name = name;
    if (name.empty())
        return false; // how a record is emptied
    try {
        if (fill(name, picture, cancel))
            return true;
        picture.releaseTiles();
        return false;
    } catch (const oxCancelled&) {
        picture.releaseTiles();
        picture.note.clear();
        throw;
    } catch (const oxException& e) {
        if (errorText)
            *errorText = e.describe();
        noteFailure(picture, e.getMessage());
    } catch (const std::bad_alloc&) {
        const std::string message = oxGetTranslation("not enough memory");
        if (errorText)
            *errorText = "std::bad_alloc: " + message;
        noteFailure(picture, message);
    } catch (const std::exception& e) {
        if (errorText)
            *errorText = std::string("std::exception: ") + e.what();
        noteFailure(picture, e.what());
    }
    return false;
}
