// The thumbnails of a sheet's first screen made into the cache while the
// window and the GL driver come up: making them needs neither, and on a
// software renderer the driver takes as long as a few dozen decodes. The
// loader's workers then read those from the cache instead of decoding.
// Nothing decoded is kept here: the cache is the hand-over.
#pragma once

#include "app/prepare/thumbnail.h"

#include "oxengine/core/thread.h"
#include "oxengine/image/image.h"

#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <thread>
#include <utility>
#include <vector>

class oxThumbnailCache;

class ThumbnailHeadStart {
public:
    ThumbnailHeadStart() = default;
    ThumbnailHeadStart(const ThumbnailHeadStart&) = delete;
    ThumbnailHeadStart& operator=(const ThumbnailHeadStart&) = delete;
    // Stops the thumbnails still being made and waits for them.
    ~ThumbnailHeadStart();

    // Each thumbnail made, on the thread that made it, with the file's
    // index in the list; the image is null for a file that failed.
    using Made = std::function<void(size_t index, ThumbnailImage thumbnail)>;

    // Makes the files' thumbnails for the edge into the cache, in order, on
    // threads of their own at lowered priority (options.cancel is replaced
    // by the head start's own token). Once only; later calls do nothing.
    // With made, someone shows them as they come: the whole list is made
    // before a hand-over, unless release() comes first.
    void start(std::shared_ptr<const oxThumbnailCache> cache, std::vector<std::string> files, int edge,
               oxLoadOptions options, int threads, Made made = {});
    // Called before the file's thumbnail is made elsewhere: from then on the
    // head start takes no further file, and when it is making this one the
    // call returns once it is done (in the cache, or refused there). A
    // cancelled token stops the wait and throws oxCancelled.
    void handOver(const std::string& file, const oxCancelToken& cancel = oxCancelToken::none());
    // Hand-overs no longer wait for the rest of the list.
    void release();

private:
    void make(const oxThumbnailCache& cache, int edge, oxLoadOptions options);

    std::mutex m_mutex; // everything below but the threads
    std::condition_variable m_madeOne;
    std::vector<std::string> m_files;
    Made m_made;
    size_t m_next = 0;
    bool m_handedOver = false;
    bool m_wholeList = false; // hand-overs wait until every file is made
    size_t m_finished = 0;
    std::set<std::string> m_making; // decoding, or its cache write to come
    std::vector<std::pair<std::string, std::function<void()>>> m_stores;
    oxCancelToken m_cancel;
    std::vector<std::thread> m_threads;
};
