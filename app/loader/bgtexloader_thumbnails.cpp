// The background loader's thumbnail workers: they take the next thumbnail
// the sheet wants, decode it without any lock held, and hand it to the
// loader thread, which alone uploads it in its GL context and publishes it.
#include "app/loader/bgtexloader.h"

#include "oxengine/core/memory.h"
#include "oxengine/platform/glapp.h"

#include <algorithm>
#include <chrono>
#include <climits>
#include <exception>
#include <functional>

namespace {

// Decoded thumbnails waiting for the loader thread, per worker at most:
// enough to keep the uploads going, few enough to bound the memory.
constexpr size_t READY_PER_WORKER = 2;
constexpr std::chrono::milliseconds PROGRESS_REDISPLAY{1000};
// While cells on screen fill, at most one sheet frame per this: on a software
// renderer a frame costs the cores as much as several decodes.
constexpr std::chrono::milliseconds ON_SCREEN_REDISPLAY{150};
// Thumbnails published or dropped between two returns of free memory to
// the system (about 4 MB of textures at the default size).
constexpr size_t RELEASE_AFTER_CHURN = 16;

} // namespace

void BGTextureLoader::startThumbnailWorkers()
{
    if (!m_services.makeThumbnail)
        return;
    const int count = m_services.thumbnailWorkers > 0 ? m_services.thumbnailWorkers
                                                      : int(std::max(1u, std::thread::hardware_concurrency()));
    {
        std::lock_guard<std::mutex> work(m_workMutex);
        m_workersStop = false;
        m_workerCount = size_t(count);
    }
    for (int i = 0; i < count; ++i)
        m_workers.emplace_back([this] {
            oxLowerThisThreadsPriority(); // frames and keys first; the sheet fills with what is left
            thumbnailWorker();
        });
}

void BGTextureLoader::notifyThumbnailWorkers()
{
    // Taken and left so that a worker between its look and its wait
    // cannot miss the change.
    { std::lock_guard<std::mutex> work(m_workMutex); }
    m_workChanged.notify_all();
}

void BGTextureLoader::stopThumbnailWorkers()
{
    {
        std::lock_guard<std::mutex> work(m_workMutex);
        m_workersStop = true;
        cancelThumbnailsUnless();
    }
    m_workChanged.notify_all();
    for (std::thread& worker : m_workers)
        worker.join();
    m_workers.clear();
    // Decoded pictures only, no textures yet: dropped on any thread.
    std::lock_guard<std::mutex> work(m_workMutex);
    m_readyThumbnails.clear();
}

void BGTextureLoader::cancelThumbnailsUnless(const std::function<bool(const std::string&)>& keep)
{
    for (auto& [name, token] : m_thumbnailsMaking)
        if (!keep || !keep(name))
            token->cancel();
}

void BGTextureLoader::holdThumbnails(bool hold)
{
    {
        std::lock_guard<std::mutex> work(m_workMutex);
        if (m_thumbnailsHeld == hold)
            return;
        m_thumbnailsHeld = hold;
        // Both cores for the picture: the thumbnails are made again later.
        if (hold)
            cancelThumbnailsUnless();
    }
    if (!hold) {
        m_workChanged.notify_all();
        m_wake.signal();
    }
}

bool BGTextureLoader::cacheWritesWait() const
{
    // A write costs about a third of a decode; each waiting one holds a
    // thumbnail, so they wait only within the room the set has left.
    return m_thumbnailQueue.pendingNearerThan(1, 1) > 0 &&
           m_thumbnailsKept + thumbnailsComing() + m_laterWrites.size() < size_t(m_thumbnailCount.load());
}

bool BGTextureLoader::runLaterWrite(std::unique_lock<std::mutex>& work)
{
    if (m_laterWrites.empty())
        return false;
    std::function<void()> write = std::move(m_laterWrites.front());
    m_laterWrites.pop_front();
    work.unlock();
    write();
    work.lock();
    return true;
}

void BGTextureLoader::thumbnailWorker()
{
    std::unique_lock<std::mutex> work(m_workMutex);
    for (;;) {
        if (m_workersStop) {
            // Written on the way out: the next start finds them.
            while (runLaterWrite(work)) {
            }
            return;
        }
        if (!cacheWritesWait() && runLaterWrite(work))
            continue;
        std::optional<std::string> name;
        if (m_readyThumbnails.size() + m_thumbnailsMaking.size() < READY_PER_WORKER * m_workerCount)
            name = takeThumbnail();
        if (!name) {
            if (cacheWritesWait() || !runLaterWrite(work))
                m_workChanged.wait(work);
            continue;
        }
        const auto token = std::make_shared<oxCancelToken>();
        m_thumbnailsMaking.emplace(*name, token);
        work.unlock();
        MadeThumbnail made;
        bool cancelled = false;
        try {
            made = m_services.makeThumbnail(*name, m_thumbnailSize.load(), *token);
        } catch (const oxCancelled&) {
            cancelled = true;
        } catch (...) {
            // The record notes why, as if the loader thread had failed.
            made.fill = [failure = std::current_exception()](const std::string&, LoadedPicture&, const oxCancelToken&) -> bool {
                std::rethrow_exception(failure);
            };
        }
        work.lock();
        m_thumbnailsMaking.erase(*name);
        if (cancelled) {
            // Made again when wanted again, unless it is no longer listed.
            if (m_thumbnailQueue.putBack(*name))
                m_workChanged.notify_all();
        } else
            m_readyThumbnails.push_back({std::move(*name), std::move(made.fill)});
        m_wake.signal();
        // The cache write after the hand-off: the cell need not wait for it,
        // nor, while the screen fills, the cells after it.
        if (made.later) {
            m_laterWrites.push_back(std::move(made.later));
            if (!cacheWritesWait())
                runLaterWrite(work);
        }
    }
}

void BGTextureLoader::publishThumbnails(std::vector<ReadyThumbnail>& ready)
{
    {
        oxLock lock(threadLock());
        std::lock_guard<std::mutex> work(m_workMutex);
        // Made already, or no longer listed since the worker took it.
        std::erase_if(ready, [this](const ReadyThumbnail& r) {
            return m_thumbnails.count(r.name) || m_thumbnailQueue.indexOf(r.name) < 0;
        });
    }
    // Room first: the set never holds more textures than the count, and a
    // new texture takes the place the dropped one freed in the heap.
    dropFarthestThumbnails(ready.size());
    std::vector<std::pair<std::string, std::unique_ptr<LoadedPicture>>> made;
    for (ReadyThumbnail& r : ready) {
        m_log.write("Load %s ", r.name.c_str());
        oxTimer timer;
        timer.restart();
        auto record = std::make_unique<LoadedPicture>();
        record->imageWidth = record->imageHeight = m_thumbnailSize.load();
        std::string error;
        fillLoadedPicture(r.finish, *record, r.name, oxCancelToken::none(), &error); // an upload, quick
        if (!error.empty())
            m_log.write("Error Load %s: %s", r.name.c_str(), error.c_str());
        m_log.write(": %g ms\n", double(timer.elapsed(oxTimer::Microseconds)) / 1000.0);
        made.emplace_back(r.name, std::move(record));
    }
    // The textures are complete before the main context draws them.
    if (m_context)
        m_context->finish();
    bool onScreen = false, screenDone = false, allMade = false;
    {
        oxLock lock(threadLock());
        std::lock_guard<std::mutex> work(m_workMutex);
        const bool screenKnown = m_thumbnailQueue.visibleFirst() <= m_thumbnailQueue.visibleLast();
        for (auto& [name, record] : made) {
            onScreen = onScreen || !screenKnown || m_thumbnailQueue.onScreen(name);
            m_thumbnails[name] = std::move(record);
        }
        for (size_t i = 0; i < m_thumbnailsPublishing; ++i)
            m_thumbnailQueue.markDone();
        m_thumbnailsPublishing = 0;
        refreshKeptThumbnails();
        allMade = thumbnailsLeft() == 0;
        screenDone = screenKnown && onScreen && onScreenLeft() == 0;
    }
    dropFarthestThumbnails();
    releaseChurnedMemory(made.size());
    // What they skipped while these counted as coming may be wanted now.
    notifyThumbnailWorkers();
    // A sheet redrawn for every thumbnail made keeps a software renderer
    // busy for little: those on screen redraw at a bounded rate and at once
    // when the screen is complete; those off screen only for the progress
    // bar, once a second, and when the last is made (the bar goes).
    const auto now = std::chrono::steady_clock::now();
    const auto since = now - m_progressRedisplayed;
    if (screenDone || allMade || (onScreen && since >= ON_SCREEN_REDISPLAY) || since >= PROGRESS_REDISPLAY) {
        m_progressRedisplayed = now;
        redisplay();
    }
}

size_t BGTextureLoader::onScreenLeft() const
{
    size_t left = m_thumbnailQueue.pendingNearerThan(1, 1);
    for (const auto& making : m_thumbnailsMaking)
        left += m_thumbnailQueue.onScreen(making.first);
    for (const ReadyThumbnail& ready : m_readyThumbnails)
        left += m_thumbnailQueue.onScreen(ready.name);
    return left;
}

bool BGTextureLoader::thumbnailWanted() const
{
    const int next = m_thumbnailQueue.peekNext();
    if (next < 0 || m_thumbnailsHeld || m_thumbnailsEnded)
        return false;
    const size_t held = m_thumbnailsKept + thumbnailsComing();
    if (held < size_t(m_thumbnailCount.load()))
        return true;
    // Full: only one nearer than the farthest kept replaces it.
    return m_thumbnailQueue.distance(next) < m_farthestKept;
}

size_t BGTextureLoader::thumbnailsLeft() const
{
    const size_t busy = thumbnailsComing() + (m_loaderMakesThumbnail ? 1 : 0);
    if (m_thumbnailsHeld || m_thumbnailsEnded)
        return busy;
    const size_t count = size_t(m_thumbnailCount.load());
    const size_t held = m_thumbnailsKept + busy;
    const size_t room = count > held ? count - held : 0;
    const size_t pending = std::max(std::min(m_thumbnailQueue.pending(), room),
                                    m_thumbnailQueue.pendingNearerThan(m_farthestKept, count));
    return busy + pending;
}

void BGTextureLoader::refreshKeptThumbnails()
{
    m_thumbnailsKept = m_thumbnails.size();
    m_farthestKept = -1;
    for (const auto& [name, t] : m_thumbnails) {
        const int index = m_thumbnailQueue.indexOf(name);
        m_farthestKept = std::max<int64_t>(m_farthestKept, index < 0 ? INT64_MAX : m_thumbnailQueue.distance(index));
    }
}

std::optional<std::string> BGTextureLoader::takeThumbnail()
{
    if (!thumbnailWanted())
        return std::nullopt;
    return m_thumbnailQueue.takeNext();
}

void BGTextureLoader::dropFarthestThumbnails(size_t room)
{
    std::vector<std::unique_ptr<LoadedPicture>> gone;
    {
        oxLock lock(threadLock());
        std::lock_guard<std::mutex> work(m_workMutex);
        const size_t limit = size_t(m_thumbnailCount.load());
        const size_t count = limit > room ? limit - room : 0;
        if (m_thumbnails.size() <= count)
            return;
        // Farthest first; names no longer listed before any listed one.
        std::vector<std::pair<int64_t, std::string>> byDistance;
        for (const auto& [name, t] : m_thumbnails) {
            const int index = m_thumbnailQueue.indexOf(name);
            byDistance.emplace_back(index < 0 ? INT64_MAX : m_thumbnailQueue.distance(index), name);
        }
        std::sort(byDistance.begin(), byDistance.end(), std::greater<>());
        for (size_t i = 0; i < byDistance.size() - count; ++i) {
            auto it = m_thumbnails.find(byDistance[i].second);
            gone.push_back(std::move(it->second));
            m_thumbnails.erase(it);
            m_thumbnailQueue.putBack(byDistance[i].second); // made again when the screen comes near
        }
        refreshKeptThumbnails();
    }
    // The textures go here, on the thread whose context made them.
    for (auto& record : gone)
        fillLoadedPicture(m_services.fill, *record, std::string(), oxCancelToken::none());
    releaseChurnedMemory(gone.size());
}

void BGTextureLoader::releaseChurnedMemory(size_t changed)
{
    // Textures coming and going beside the decodes' buffers of other sizes
    // (and the cache's PNG encoders) leave holes in the heap that are seldom
    // reused: given back every so often, so the process stays near what the
    // set holds.
    m_thumbnailsChurned += changed;
    if (m_thumbnailsChurned >= RELEASE_AFTER_CHURN) {
        m_thumbnailsChurned = 0;
        oxReleaseFreeMemory();
    }
}
