// Turns one picture file into a filled loaded picture record: decoded at the
// largest size the driver can show, cut into at most 5 x 5 overlapping tile
// textures, with its texts, file data and sample statistics. Runs on the
// thread whose GL context is current; the caller holds the record's lock.
#pragma once

#include "app/loader/loadedpicture.h"

#include "oxengine/core/thread.h"

#include <cstdint>
#include <string>

class DecodeHeadStart;

// One picture may take at most this much memory while it is decoded and
// shown (its decoded pixels, and its tile textures with their mipmaps,
// which on a software renderer live in the process too), and at most half
// the memory the system has available. A larger picture is decoded reduced.
// 768 MB keeps the whole program, with the picture it is leaving, near 1 GB
// (a 16000 x 12000 photo is decoded at half its size).
constexpr uint64_t kPictureMemoryCeiling = uint64_t(768) << 20;
// The budget of one picture now: the ceiling, or half of what is available.
uint64_t pictureMemoryBudget();
// The part of a picture's budget its decoded pixels may take: the tiles take
// as much again, and their mipmaps a third of that.
constexpr uint64_t decodedPictureBudget(uint64_t pictureBudget)
{
    return pictureBudget / 7 * 3;
}

// True when the record holds a displayable picture. Never shows a box: it
// runs on the loader thread. A file that cannot be read or decoded, or a
// texture that cannot be made, throws (oxImageException, oxIOException,
// oxTextureException); the caller notes why in the record. Polls cancel
// between bands of rows and between tiles, and then throws oxCancelled.
bool preparePicture(const std::string& fileName, LoadedPicture& picture,
                    const oxCancelToken& cancel = oxCancelToken::none());
// The same, asking the head start first for the decoded picture.
bool prepareHeadStartedPicture(const std::string& fileName, LoadedPicture& picture, const oxCancelToken& cancel,
                               DecodeHeadStart& headStart);
// Starts decoding, before the window and GL exist, the first look of a
// picture that prepareHeadStartedPicture will then ask the head start for.
// Only formats that decode reduced: the others are decoded at the largest
// texture size, which is not known yet. True when the decode started.
bool startFirstLookDecode(DecodeHeadStart& headStart, const std::string& fileName, int coverWidth, int coverHeight);
