// Thumbnails: made (or found in the shared thumbnail cache) on any thread,
// then turned into tiles on the thread whose GL context is current.
#pragma once

#include "app/loader/loadedpicture.h"

#include "oxengine/image/image.h"
#include "oxengine/image/thumbnailcache.h"

#include <functional>
#include <memory>
#include <optional>
#include <string>

// A thumbnail before it becomes textures.
struct ThumbnailImage {
    std::unique_ptr<oxImage> image;
    bool sizeKnown = true; // a cached thumbnail of another program may not record the picture's size
    // With CacheWrite::Later, a new thumbnail's write into the cache; it
    // writes only while the file is as it was read. Empty: nothing to write.
    std::function<void()> store;
};

// When a new thumbnail goes into the cache: at once, or when the caller runs
// its store (on any thread, while the cache lives; or never: it is made
// again next time).
enum class CacheWrite { Now, Later };

// The thumbnail of the file within edge x edge: from the cache (at the
// cache's size for the edge, fitted to the edge) when it holds a current one, else decoded (JPEG at
// the smallest DCT scale that still covers the square), reduced and stored
// in the cache. A file the cache records as failed in its present state
// throws again without being read; a new failure is recorded. cache may be
// null. The decode keeps the budget and polls the token of limits (their
// maximum is ignored: the edge decides). No GL; safe on any thread. Throws
// like oxImageRegistry::loadImage (oxCancelled is not recorded as a failure).
ThumbnailImage makeThumbnailImage(const oxThumbnailCache* cache, const std::string& fileName, int edge,
                                  const oxLoadOptions& limits = {}, CacheWrite write = CacheWrite::Now);

// The thumbnail the cache holds for the file, as makeThumbnailImage gives
// it when the cache has a current one; nothing otherwise (nothing is
// decoded or written).
std::optional<ThumbnailImage> findCachedThumbnail(const oxThumbnailCache& cache, const std::string& fileName,
                                                  int edge);

// Fills the record from the thumbnail: texts, file data, statistics, tiles.
// The record's lock is held and a GL context current.
void uploadThumbnail(const std::string& fileName, ThumbnailImage& thumbnail, LoadedPicture& picture);

// Both steps: the filler of thumbnail records (the record's imageWidth is
// the edge asked for).
bool prepareThumbnail(const oxThumbnailCache* cache, const std::string& fileName, LoadedPicture& picture,
                      const oxLoadOptions& limits = {});
