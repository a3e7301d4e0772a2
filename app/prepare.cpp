#include "app/prepare.h"

// Placeholder until the preparation lands: nothing can be shown yet.
bool preparePicture(const std::string& fileName, LoadedPicture& picture)
{
    picture.name = fileName;
    return false;
}
