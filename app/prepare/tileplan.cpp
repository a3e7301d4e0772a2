#include "app/prepare/tileplan.h"

#include <algorithm>

namespace {

// A tile edge must step forward by at least one texel.
int clampedEdge(int maxTextureSize)
{
    return std::clamp(maxTextureSize, 2, kMaxTileEdge);
}

int nextPowerOfTwo(int n)
{
    int p = 1;
    while (p < n)
        p *= 2;
    return p;
}

// Tiles start at (tile - 1) x i; one is needed where it starts before the
// last picture pixel, and the first always (a one-pixel picture has one).
int tilesNeeded(int tile, int extent)
{
    int count = 1;
    while (count < kMaxTiles && (long long)(tile - 1) * count < extent - 1)
        ++count;
    return count;
}

// The edge of the tiles in one direction.
int tileEdge(int extent, int edge, bool npot)
{
    if (!npot)
        return extent >= edge ? edge : nextPowerOfTwo(extent);
    const int covered = std::min(extent, 5 * edge - 4);
    if (covered <= edge)
        return covered;
    // As many tiles as edge-sized ones would need, each as short as covering
    // the picture allows.
    const int count = (covered - 1 + edge - 2) / (edge - 1);
    return (covered - 1 + count - 1) / count + 1;
}

} // namespace

int tileEdgeLimit(int maxTextureSize)
{
    return clampedEdge(maxTextureSize);
}

int pictureEdgeLimit(int maxTextureSize)
{
    return 5 * clampedEdge(maxTextureSize) - 4;
}

TilePlan planTiles(int width, int height, int maxTextureSize, bool npotTextures)
{
    const int edge = clampedEdge(maxTextureSize);
    width = std::max(width, 1), height = std::max(height, 1);
    TilePlan plan;
    plan.tileWidth = tileEdge(width, edge, npotTextures);
    plan.tileHeight = tileEdge(height, edge, npotTextures);
    plan.columns = tilesNeeded(plan.tileWidth, width);
    plan.rows = tilesNeeded(plan.tileHeight, height);
    return plan;
}
