// The record a texture loader hands to the views: one picture cut into at
// most 5 x 5 tile textures, with its texts and statistics. The loader fills
// and empties it holding its lock; the views hold the lock while they read or
// draw it.
#pragma once

#include "oxengine/core/thread.h"
#include "oxengine/graphics/texture.h"

#include <array>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

constexpr int kMaxTiles = 5;
// The filter quality tile textures are made with (oxMinFilterForQuality).
constexpr int kTileFilterQuality = 2;
// How tile textures are made: their filters and edges.
inline oxTextureParams tileTextureParams()
{
    return oxTextureParams().setFilterQuality(kTileFilterQuality).setWrap(GL_CLAMP_TO_EDGE);
}
using TileGrid = std::array<std::array<oxTextureRef, kMaxTiles>, kMaxTiles>;

// What the preparation fills in: everything a first look and the full
// picture that replaces it exchange, so it is swapped as a whole.
struct PictureContent {
    std::string name; // the file it was loaded from

    // tiles[row][column]; empty where absent. Releasing a tile drops its
    // reference; the texture goes with the last one.
    TileGrid tiles;

    // An animated picture: the tiles of every frame, how long each is shown
    // (milliseconds) and how often the sequence plays (0: forever); empty
    // for a still picture. The view puts the frame it shows into tiles.
    std::vector<TileGrid> frames;
    std::vector<int> frameDelays;
    int framePlays = 1;
    int shownFrame = 0;

    int fullWidth = 0, fullHeight = 0;   // in file pixels (decoded size x reduction)
    int imageWidth = 0, imageHeight = 0; // in: maximum size wanted (<= 0: no limit); out: decoded size
    int tileWidth = 0, tileHeight = 0;   // in texels

    // The tiles hold a first look: decoded only as large as needed to cover
    // the window at fit zoom. Views lay it out at the size the full picture
    // is expected to have, so that nothing moves when the full picture
    // replaces it.
    bool firstLook = false;
    int expectedWidth = 0, expectedHeight = 0;
    // The size views lay the picture out at, in picture pixels.
    int shownWidth() const { return firstLook ? expectedWidth : imageWidth; }
    int shownHeight() const { return firstLook ? expectedHeight : imageHeight; }

    std::string text; // first overlay line (name, sizes, ...)
    std::string note; // extra line; "[Error while loading: <message>]" after a failure

    double fileDate = 0;  // modification date, seconds since 1970
    int64_t fileSize = 0; // bytes

    bool hdr = false; // high dynamic range: drawn through the exposure shader
    bool transparent = false; // some pixel is not opaque: drawn over a checkerboard
    float minValue = 0.0f, midValue = 0.5f, maxValue = 1.0f;

    // Drops every tile texture (on the thread whose context made them).
    void releaseTiles()
    {
        for (auto& row : tiles)
            for (auto& t : row)
                t.reset();
        frames.clear();
        frameDelays.clear();
        shownFrame = 0;
    }
    bool hasTiles() const
    {
        for (const auto& row : tiles)
            for (const auto& t : row)
                if (t)
                    return true;
        return false;
    }
};

struct LoadedPicture : PictureContent {
    // in: > 0 asks for a first look covering this size at fit zoom, when the
    // file's format decodes reduced pictures cheaply. The loader replaces it
    // with the full picture later.
    int coverWidth = 0, coverHeight = 0;

    mutable oxCriticalSection lock;
    int useCount = 0;    // background loader: views holding it; one view may hold it twice
    bool wanted = false; // background loader: scratch mark of the thumbnail update
    // Background loader: a view holds it, so the prefetch never unloads it.
    bool inUse() const { return useCount > 0; }

    LoadedPicture() = default;
    LoadedPicture(const LoadedPicture&) = delete;
    LoadedPicture& operator=(const LoadedPicture&) = delete;

    // Exchanges the content with other, so a refilled picture can be
    // prepared aside and published in one step. The lock, the request and
    // the loader's marks stay with each record.
    void swapContents(LoadedPicture& other)
    {
        std::swap(static_cast<PictureContent&>(*this), static_cast<PictureContent&>(other));
    }
};
