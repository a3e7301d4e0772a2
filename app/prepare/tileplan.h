// How a decoded picture is cut into at most 5 x 5 tile textures. Neighbouring
// tiles share one texel column or row, so that linear filtering at a seam
// reads the same texels on both sides.
#pragma once

#include "app/loader/loadedpicture.h"

// No tile edge beyond this, whatever the driver allows: one 16384 x 16384
// RGBA texture alone would take 1 GiB.
constexpr int kMaxTileEdge = 8192;

// The largest texture edge tiles may use: the driver's limit, capped.
int tileEdgeLimit(int maxTextureSize);
// The largest picture edge that five overlapping tiles of that edge cover:
// 5 x edge - 4.
int pictureEdgeLimit(int maxTextureSize);

struct TilePlan {
    int tileWidth = 0, tileHeight = 0; // texels
    int columns = 0, rows = 0;         // 1 .. kMaxTiles each

    // Where tile (column, row) starts in the picture.
    int tileX(int column) const { return (tileWidth - 1) * column; }
    int tileY(int row) const { return (tileHeight - 1) * row; }
    // Texels of all tiles together (the picture's texture memory per byte of pixel).
    long long texelCount() const { return (long long)tileWidth * tileHeight * columns * rows; }
};

// The tiles for a picture of width x height (each at least 1). With
// non-power-of-two textures the tiles are as small as the picture allows for
// the number of tiles it needs; without, they are powers of two as the
// driver demands. A picture larger than the tiles cover is cut off at
// pictureEdgeLimit.
TilePlan planTiles(int width, int height, int maxTextureSize, bool npotTextures);
