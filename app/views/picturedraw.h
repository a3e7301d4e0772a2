// Drawing a loaded picture from its tiles, shared by the single-picture
// view (picture, cross-fade, navigator) and the thumbnail view.
//
// Geometry: the centre of picture texel k lies at k x scale, so the picture
// spans (image size - 1) x scale between its outer texel centres, which is
// the views' content size. Tiles share one texel with their neighbours;
// each tile's quad runs from the centre of its first texel to the centre of
// its last, so at every zoom both sides of a seam sample the same texel and
// no seam shows. The picture's outer edges reach half a texel further, and
// the transparent margin of the last tiles is never drawn.
#pragma once

#include "app/loader/loadedpicture.h"

#include "oxengine/gui/geometry.h"
#include "oxengine/image/sampletypes.h"

class ExposureShader;
struct Exposure;

struct TileQuad {
    double x0 = 0, y0 = 0, x1 = 0, y1 = 0; // content coordinates
    float u0 = 0, v0 = 0, u1 = 0, v1 = 0;  // texture coordinates
};

// The quad of tile (column, row) at the scale; false when the tile lies
// beyond the picture. The record's lock must be held.
bool tileQuad(const LoadedPicture& picture, int column, int row, double scale, TileQuad& quad);

// The content rectangle the picture's tiles cover at the scale (their outer
// texel edges); false when it has no tile. The record's lock must be held.
bool pictureBounds(const LoadedPicture& picture, double scale, TileQuad& bounds);

// Where the picture's first texel centre goes so that it lands on a pixel
// centre: the window position of content 0 (-offset) moved to the nearest
// pixel centre. Texels then match pixels exactly at zoom 1.
double pixelCentreOrigin(double offset);

struct oxTextureCapabilities;

// The anisotropy tiles are drawn with at the scale: the driver's maximum
// while shrinking on hardware, else 1 (none).
float tileAnisotropy(const oxTextureCapabilities& caps, double scale);

// How tiles with mipmaps are shrunk: blending the two nearest levels, or
// from the nearest level alone, which a software renderer draws in about
// three quarters of the time and which looks the same while pictures blend
// into each other; or the one texel nearest each pixel of that level, for a
// picture only faintly over another (the first frame of a cross-fade),
// where the coarser sampling does not show and a quarter of the texel reads
// bring the frame sooner.
enum class TileSampling { Smooth, NearestLevel, NearestTexel };

// Draws every tile at depth z with opacity alpha under the current
// model-view matrix, holding the record's lock. A high-dynamic-range
// picture goes through the shader with the exposure when one is given and
// can be bound; the shader ignores alpha.
void drawPicture(const LoadedPicture& picture, double scale, double alpha, double depth, ExposureShader* shader,
                 const Exposure* exposure, TileSampling sampling = TileSampling::Smooth);

// The exposure thumbnails and the navigator use: black 0, white at twice the
// middle value but not above the maximum, gamma and saturation 1.
Exposure automaticExposure(const LoadedPicture& picture);

// How a picture of width x height texels fits into a square of side base x
// scale: the drawing scale and the margins that centre it. The picture is
// never drawn larger than its own size times scale: fullExtent is its longer
// side in picture pixels (0: the texels are the picture's pixels).
struct ThumbnailFit {
    double scale = 1.0;
    double marginX = 0, marginY = 0;
};
ThumbnailFit fitThumbnail(int width, int height, double base, double scale, int fullExtent = 0);

// The selection tint over a square at position of side side.
void drawSelectionVeil(oxGuiPointD position, double side);

// A picture (or none) in a square at position of side base x scale on a
// background, with the selection tint when selected. Window pixels.
void drawThumbnail(const LoadedPicture* picture, oxGuiPointD position, double base, double scale, oxColour background,
                   bool selected, ExposureShader* shader);
