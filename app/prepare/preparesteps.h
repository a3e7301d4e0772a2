// The steps of picture preparation, each usable on its own: the tests drive
// them with pictures made in memory, and the benchmark times them one by one.
#pragma once

#include "app/loader/loadedpicture.h"
#include "app/prepare/tileplan.h"
#include "oxengine/graphics/texture.h"
#include "oxengine/image/image.h"

#include <memory>
#include <string>

// The running minimum and maximum of the sample statistics start here; a
// picture without a pixel that counts keeps them.
constexpr float kStatisticsMaxStart = -1000000.0f;
constexpr float kStatisticsMinStart = 100000.0f;
// Pixels whose alpha is below this do not count for the statistics.
constexpr float kStatisticsAlphaThreshold = 0.1f;

// Fills the record from the decoded picture: file date and size, decoded and
// full sizes, text (the comment on one line), note (reduction, cropping) and
// the sample statistics. edgeLimit is the largest picture edge the tiles cover.
// For a first look (picture.firstLook set) the expected size and the note are
// those the full load is expected to give.
void describePicture(const std::string& fileName, const oxImage& image, int edgeLimit, LoadedPicture& picture);

// Whether any pixel of a picture with an alpha channel is not opaque (such
// pictures are shown over a checkerboard); pictures without alpha cost
// nothing.
bool hasTransparency(const oxImage& image);

// High-dynamic-range flag and minimum, middle and maximum sample value.
// Half pictures: over the red, green and blue values of every pixel whose
// alpha reaches the threshold, non-finite values left out; when no value
// counts, minimum and maximum keep their start values and the middle value
// stays as it was. 16-bit pictures count as 0 .. 1. 8-bit pictures are not
// high dynamic range and keep their statistics.
void measureSamples(const oxImage& image, LoadedPicture& picture);

// The driver builds the mip levels when useDriverMipmaps is set. Otherwise
// they are built on the processor: by GLU for power-of-two tiles, by the
// engine for others (GLU would shrink those to a power of two first).
MipmapGen tileMipmapMode(const TilePlan& plan, bool useDriverMipmaps);

// Uploads the tiles of the plan, each read in place from the picture, into
// the record (tiles[row][column]) and sets its tile size. Tiles always carry
// alpha (the picture's components become 4), so that the part of a tile
// beyond the picture is transparent. Throws oxTextureException when a
// texture cannot be made, and oxCancelled when cancel is cancelled before a
// tile; tiles made before stay in the record.
void uploadTiles(oxImage& image, const TilePlan& plan, MipmapGen mode, LoadedPicture& picture,
                 const oxCancelToken& cancel = oxCancelToken::none());
