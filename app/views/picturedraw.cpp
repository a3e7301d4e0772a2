#include "app/views/picturedraw.h"

#include "app/views/checkerboard.h"
#include "app/views/exposureshader.h"

#include "oxengine/graphics/texsupport.h"
#include "oxengine/gui/draw.h"

#include <GL/glext.h>

#include <GL/gl.h>

#include <algorithm>
#include <cmath>

namespace {

// One axis of a tile: the picture texels [first, last] it draws, mapped to
// content coordinates and texture coordinates.
struct Span {
    double c0, c1;
    float t0, t1;
};

// stretch: picture pixels per texel (a first look covers the full picture's
// size; the outer texel edges land on the full picture's outer edges).
bool tileSpan(int index, int tileSize, int imageSize, int shownSize, double scale, Span& span)
{
    const double stretch = imageSize > 0 && shownSize > 0 ? double(shownSize) / imageSize : 1.0;
    if (tileSize < 1 || imageSize < 1)
        return false;
    const int first = index * (tileSize - 1);
    if (first > imageSize - 1)
        return false;
    const int last = std::min(first + tileSize - 1, imageSize - 1);
    const double n = tileSize;
    // Inner edges at texel centres, so neighbours meet on the shared texel.
    double from = first, to = last;
    double t0 = 0.5 / n, t1 = (last - first + 0.5) / n;
    if (first == 0)
        from -= 0.5, t0 = 0.0f;
    if (last == imageSize - 1)
        to += 0.5, t1 = (last - first + 1.0) / n;
    span = {((from + 0.5) * stretch - 0.5) * scale, ((to + 0.5) * stretch - 0.5) * scale, float(t0), float(t1)};
    return true;
}

// The checkerboard under the picture's tiles.
void drawBehindTiles(const LoadedPicture& p, double scale, double alpha, double depth)
{
    if (TileQuad bounds; pictureBounds(p, scale, bounds)) {
        drawCheckerboard(bounds.x0, bounds.y0, bounds.x1, bounds.y1, alpha, depth);
        glEnable(GL_TEXTURE_2D);
        glColor4d(1.0, 1.0, 1.0, alpha);
    }
}

} // namespace

bool tileQuad(const LoadedPicture& p, int column, int row, double scale, TileQuad& quad)
{
    if (column < 0 || row < 0 || column >= kMaxTiles || row >= kMaxTiles)
        return false;
    Span x, y;
    if (!tileSpan(column, p.tileWidth, p.imageWidth, p.shownWidth(), scale, x) ||
        !tileSpan(row, p.tileHeight, p.imageHeight, p.shownHeight(), scale, y))
        return false;
    quad = {x.c0, y.c0, x.c1, y.c1, x.t0, y.t0, x.t1, y.t1};
    return true;
}

bool pictureBounds(const LoadedPicture& p, double scale, TileQuad& bounds)
{
    bool any = false;
    for (int row = 0; row < kMaxTiles; ++row) {
        for (int column = 0; column < kMaxTiles; ++column) {
            TileQuad q;
            if (!p.tiles[row][column] || !tileQuad(p, column, row, scale, q))
                continue;
            if (!any)
                bounds = q;
            bounds.x0 = std::min(bounds.x0, q.x0), bounds.y0 = std::min(bounds.y0, q.y0);
            bounds.x1 = std::max(bounds.x1, q.x1), bounds.y1 = std::max(bounds.y1, q.y1);
            any = true;
        }
    }
    return any;
}

double pixelCentreOrigin(double offset)
{
    return std::isfinite(offset) ? std::floor(-offset) + 0.5 : 0.5;
}

Exposure automaticExposure(const LoadedPicture& p)
{
    return {0.0, std::min(2.0 * p.midValue, double(p.maxValue)), 1.0, 1.0};
}

float tileAnisotropy(const oxTextureCapabilities& caps, double scale)
{
    // Only while the picture is shrunk: at 1:1 and above it adds nothing,
    // and some drivers then blur texels that should land on pixels exactly.
    // A software renderer draws frames several times slower with it (3-5 x
    // on llvmpipe), for no visible change to a picture shrunk equally in
    // both directions.
    if (!caps.anisotropic || caps.softwareRenderer || !(scale < 0.999))
        return 1.0f;
    return float(std::max(caps.maxAnisotropy, 1));
}

void drawPicture(const LoadedPicture& p, double scale, double alpha, double depth, ExposureShader* shader,
                 const Exposure* exposure, TileSampling sampling)
{
    oxLock lock(p.lock);
    glEnable(GL_TEXTURE_2D);
    glEnable(GL_BLEND);
    glColor4d(1.0, 1.0, 1.0, alpha);
    glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_MODULATE);
    // Set per tile and frame (a state change, no upload), so tiles a
    // reload replaced are covered too.
    const oxTextureCapabilities caps = textureCapabilities();
    const GLfloat anisotropy = tileAnisotropy(caps, scale);
    const GLint minFilter = sampling == TileSampling::NearestTexel   ? GL_NEAREST_MIPMAP_NEAREST
                            : sampling == TileSampling::NearestLevel ? GL_LINEAR_MIPMAP_NEAREST
                                                                     : GLint(oxMinFilterForQuality(kTileFilterQuality, true));
    if (p.transparent)
        drawBehindTiles(p, scale, alpha, depth);
    bool shaded = false;
    if (p.hdr && shader && exposure && shader->bind()) {
        shader->setExposure(*exposure);
        shaded = true;
    }
    for (int row = 0; row < kMaxTiles; ++row) {
        for (int column = 0; column < kMaxTiles; ++column) {
            TileQuad q;
            if (!p.tiles[row][column] || !tileQuad(p, column, row, scale, q))
                continue;
            p.tiles[row][column]->bind();
            if (p.tiles[row][column]->hasMipmaps())
                glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, minFilter);
            if (caps.anisotropic)
                glTexParameterf(GL_TEXTURE_2D, GL_TEXTURE_MAX_ANISOTROPY_EXT, anisotropy);
            glBegin(GL_QUADS);
            glTexCoord2f(q.u0, q.v0), glVertex3d(q.x0, q.y0, depth);
            glTexCoord2f(q.u0, q.v1), glVertex3d(q.x0, q.y1, depth);
            glTexCoord2f(q.u1, q.v1), glVertex3d(q.x1, q.y1, depth);
            glTexCoord2f(q.u1, q.v0), glVertex3d(q.x1, q.y0, depth);
            glEnd();
        }
    }
    glDisable(GL_BLEND);
    if (shaded)
        shader->unbind();
}

ThumbnailFit fitThumbnail(int width, int height, double base, double scale, int fullExtent)
{
    ThumbnailFit fit;
    if (!(base > 0))
        return fit;
    const double m = std::max({width, height, 1});
    // Texels per drawn unit: to fit the square, and to stay at the picture's
    // own size where it is smaller than the square.
    const double f = std::max(m / base, m / std::max(double(fullExtent), m));
    fit.scale = scale / f;
    fit.marginX = (base * scale - std::max(width, 0) * fit.scale) / 2;
    fit.marginY = (base * scale - std::max(height, 0) * fit.scale) / 2;
    return fit;
}

void drawThumbnail(const LoadedPicture* p, oxGuiPointD position, double base, double scale, oxColour background,
                   bool selected, ExposureShader* shader)
{
    const double side = base * scale;
    glEnable(GL_BLEND);
    glDisable(GL_TEXTURE_2D);
    setColour(background);
    fillRect(position, {side, side});
    glColor4f(1, 1, 1, 1);
    if (p) {
        oxLock lock(p->lock);
        if (p->hasTiles()) {
            const ThumbnailFit fit =
                fitThumbnail(p->shownWidth(), p->shownHeight(), base, scale, std::max(p->fullWidth, p->fullHeight));
            const Exposure automatic = automaticExposure(*p);
            glPushMatrix();
            // Outer texel edges on the margins: the centre of texel 0 is half
            // a texel in.
            glTranslated(position.x + fit.marginX + 0.5 * fit.scale, position.y + fit.marginY + 0.5 * fit.scale, 0);
            drawPicture(*p, fit.scale, 1.0, 0.0, shader, &automatic);
            glPopMatrix();
        }
    }
    if (selected)
        drawSelectionVeil(position, side);
    glColor4f(1, 1, 1, 1);
    glDisable(GL_BLEND);
}

void drawSelectionVeil(oxGuiPointD position, double side)
{
    glDisable(GL_TEXTURE_2D);
    glEnable(GL_BLEND);
    setColour(oxColour(255, 0, 0, 80));
    fillRect(position, {side, side});
    glColor4f(1, 1, 1, 1);
}
