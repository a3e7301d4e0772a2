// Turns one picture file into a filled loaded picture record: decoded at the
// largest size the driver can show, cut into at most 5 x 5 overlapping tile
// textures, with its texts, file data and sample statistics. Runs on the
// thread whose GL context is current; the caller holds the record's lock.
#pragma once

#include "app/loader/loadedpicture.h"

#include <string>

// True when the record holds a displayable picture. Never shows a box: it
// runs on the loader thread. A file that cannot be read or decoded, or a
// texture that cannot be made, throws (oxImageException, oxIOException,
// oxTextureException); the caller notes why in the record.
bool preparePicture(const std::string& fileName, LoadedPicture& picture);
