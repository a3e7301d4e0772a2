#include "app/prepare/thumbnail.h"

#include "app/prepare/preparesteps.h"
#include "app/shell/configkeys.h"
#include "oxengine/core/catalogue.h"
#include "oxengine/core/errors.h"
#include "oxengine/graphics/texsupport.h"
#include "oxengine/image/handler.h"

#include <algorithm>

namespace {

// The picture fitted into the square (a smaller one stays as it is).
std::unique_ptr<oxImage> fitInto(std::unique_ptr<oxImage> image, int edge, const std::string& fileName)
{
    image->setSourceSize(image->sourceSize()); // kept by the copy below
    const int64_t width = image->width(), height = image->height();
    const int64_t longer = std::max(width, height);
    if (longer <= edge)
        return image;
    const int fitWidth = int(std::max<int64_t>(1, (width * edge + longer / 2) / longer));
    const int fitHeight = int(std::max<int64_t>(1, (height * edge + longer / 2) / longer));
    std::unique_ptr<oxImage> fitted = image->resampledCopy(fitWidth, fitHeight, -1);
    if (!fitted)
        throw oxImageException(oxGetTranslation("not enough memory for this image"), fileName);
    return fitted;
}

// The picture decoded at least as large as the square along its longer side
// where the decoder can reduce cheaply, then fitted into the square.
std::unique_ptr<oxImage> decodeThumbnail(const std::string& fileName, int edge, const oxLoadOptions& limits)
{
    oxLoadOptions options = limits;
    // Within twice the square less one keeps the smallest reduction that
    // still covers it (the one before was at least twice the square).
    options.maximum = oxSize(2 * edge - 1, 2 * edge - 1);
    return fitInto(oxImageRegistry::instance().loadImage(fileName, options), edge, fileName);
}

// A thumbnail the cache does not hold, at the cache's size for the edge: made and stored, or its
// failure recorded (or the one recorded thrown again).
ThumbnailImage cachedThumbnail(const oxThumbnailCache& cache, const std::string& fileName, int edge,
                               const oxLoadOptions& limits, CacheWrite write)
{
    ThumbnailImage made;
    if (std::optional<std::string> reason = cache.failure(fileName))
        throw oxImageException(*reason, fileName);
    // Before reading: a file changed meanwhile is not stored as it is now.
    const std::optional<oxThumbnailCache::Stamp> stamp = oxThumbnailCache::stampOf(fileName);
    try {
        made.image = decodeThumbnail(fileName, edge, limits);
    } catch (const oxException& e) {
        cache.recordFailure(fileName, e.oxException::getMessage()); // without the file name, added again when thrown
        throw;
    }
    // Damaged pictures are shown but not kept: they may still be arriving.
    if (!stamp || made.image->sampleType() != ST_UINT8 || !made.image->damage().empty())
        return made;
    if (write == CacheWrite::Now) {
        cache.store(fileName, edge, *made.image, made.image->sourceSize(), made.image->comment(), *stamp);
        return made;
    }
    if (std::shared_ptr<const oxImage> copy = made.image->clone())
        made.store = [&cache, fileName, edge, copy, stamp = *stamp] {
            cache.store(fileName, edge, *copy, copy->sourceSize(), copy->comment(), stamp);
        };
    return made;
}

// Sheets of squares smaller than the cache's get thumbnails no larger than
// their squares.
ThumbnailImage fitToEdge(ThumbnailImage made, int edge, const std::string& fileName)
{
    if (edge < oxThumbnailCache::folderEdge(edge))
        made.image = fitInto(std::move(made.image), edge, fileName);
    return made;
}

} // namespace

std::optional<ThumbnailImage> findCachedThumbnail(const oxThumbnailCache& cache, const std::string& fileName,
                                                  int edge)
{
    std::optional<oxThumbnailCache::Thumbnail> found = cache.find(fileName, oxThumbnailCache::folderEdge(edge));
    if (!found)
        return std::nullopt;
    ThumbnailImage made;
    made.sizeKnown = found->full.width > 0;
    found->image->setComment(std::move(found->comment));
    made.image = std::move(found->image);
    return fitToEdge(std::move(made), edge, fileName);
}

ThumbnailImage makeThumbnailImage(const oxThumbnailCache* cache, const std::string& fileName, int edge,
                                  const oxLoadOptions& limits, CacheWrite write)
{
    if (!cache) {
        ThumbnailImage made;
        made.image = decodeThumbnail(fileName, edge, limits);
        return made;
    }
    if (std::optional<ThumbnailImage> found = findCachedThumbnail(*cache, fileName, edge))
        return std::move(*found);
    return fitToEdge(cachedThumbnail(*cache, fileName, oxThumbnailCache::folderEdge(edge), limits, write), edge,
                     fileName);
}

void uploadThumbnail(const std::string& fileName, ThumbnailImage& thumbnail, LoadedPicture& picture)
{
    picture.name = fileName;
    picture.text.clear();
    picture.note.clear();
    picture.firstLook = false;
    const oxTextureCapabilities caps = textureCapabilities();
    const int limit = pictureEdgeLimit(caps.maxTextureSize);
    oxImage& image = *thumbnail.image;
    describePicture(fileName, image, limit, picture);
    if (!thumbnail.sizeKnown)
        picture.fullWidth = picture.fullHeight = 0;
    const TilePlan plan = planTiles(int(image.width()), int(image.height()), caps.maxTextureSize, caps.npotTextures);
    picture.frames.clear();
    picture.frameDelays.clear();
    picture.shownFrame = 0;
    uploadTiles(image, plan, tileMipmapMode(plan, readConfigBool(ConfigKey::UseGLMipmap)), picture);
}

bool prepareThumbnail(const oxThumbnailCache* cache, const std::string& fileName, LoadedPicture& picture,
                      const oxLoadOptions& limits)
{
    ThumbnailImage thumbnail = makeThumbnailImage(cache, fileName, std::max(picture.imageWidth, 1), limits);
    uploadThumbnail(fileName, thumbnail, picture);
    return true;
}
