// The thumbnails of a sheet's first screen made into the cache while the
// window and the GL driver come up: making them needs neither, and on a
// software renderer the driver takes as long as a few dozen decodes. The
// loader's workers then read those from the cache instead of decoding.
// Nothing decoded is kept here: the cache is the hand-over.
#pragma once

#include "oxengine/core/thread.h"
#include "oxengine/image/image.h"

#include <condition_variable>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <thread>
#include <vector>

class oxThumbnailCache;

class ThumbnailHeadStart {
public:
    ThumbnailHeadStart() = default;
    ThumbnailHeadStart(const ThumbnailHeadStart&) = delete;
    ThumbnailHeadStart& operator=(const ThumbnailHeadStart&) = delete;
    // Stops the thumbnails still being made and waits for them.
    ~ThumbnailHeadStart();

    // Makes the files' thumbnails for the edge into the cache, in order, on
    // threads of their own at lowered priority (options.cancel is replaced
    // by the head start's own token). Once only; later calls do nothing.
    void start(std::shared_ptr<const oxThumbnailCache> cache, std::vector<std::string> files, int edge,
               oxLoadOptions options, int threads);
    // Called before the file's thumbnail is made elsewhere: from then on the
    // head start takes no further file, and when it is making this one the
    // call returns once it is done (in the cache, or refused there). A
    // cancelled token stops the wait and throws oxCancelled.
    void handOver(const std::string& file, const oxCancelToken& cancel = oxCancelToken::none());

private:
    void make(const oxThumbnailCache& cache, int edge, oxLoadOptions options);

    std::mutex m_mutex; // everything below but the threads
    std::condition_variable m_madeOne;
    std::vector<std::string> m_files;
    size_t m_next = 0;
    bool m_handedOver = false;
    std::set<std::string> m_making;
    oxCancelToken m_cancel;
    std::vector<std::thread> m_threads;
};
