// The background loader's thumbnail workers: they take the next thumbnail
// the sheet wants, decode it without any lock held, and hand it to the
// loader thread, which alone uploads it in its GL context and publishes it.
#include "app/loader/bgtexloader.h"

#include "oxengine/platform/glapp.h"

#include <exception>

namespace {

// Decoded thumbnails waiting for the loader thread, per worker at most:
// enough to keep the uploads going, few enough to bound the memory.
constexpr size_t READY_PER_WORKER = 2;

} // namespace

void BGTextureLoader::startThumbnailWorkers()
{
    if (!m_services.makeThumbnail)
        return;
    const int count = m_services.thumbnailWorkers > 0 ? m_services.thumbnailWorkers
                                                      : int(std::max(1u, std::thread::hardware_concurrency()));
    {
        std::lock_guard<std::mutex> guard(m_workMutex);
        m_workersStop = false;
    }
    // Under threadLock: the workers read whether they exist through the
    // loop's test, which runs under it.
    oxLock lock(threadLock());
    for (int i = 0; i < count; ++i)
        m_workers.emplace_back([this] { thumbnailWorker(); });
}

void BGTextureLoader::notifyThumbnailWorkers()
{
    {
        std::lock_guard<std::mutex> guard(m_workMutex);
        ++m_workGeneration;
    }
    m_workChanged.notify_all();
}

void BGTextureLoader::stopThumbnailWorkers()
{
    {
        std::lock_guard<std::mutex> guard(m_workMutex);
        m_workersStop = true;
    }
    m_workChanged.notify_all();
    std::vector<std::thread> workers;
    {
        oxLock lock(threadLock());
        workers.swap(m_workers);
    }
    for (std::thread& worker : workers)
        worker.join();
    // Decoded pictures only, no textures yet: dropped on any thread.
    oxLock lock(threadLock());
    m_readyThumbnails.clear();
}

void BGTextureLoader::thumbnailWorker()
{
    for (;;) {
        uint64_t generation = 0;
        {
            std::lock_guard<std::mutex> guard(m_workMutex);
            if (m_workersStop)
                return;
            generation = m_workGeneration;
        }
        std::optional<std::string> name;
        {
            oxLock lock(threadLock());
            const size_t waiting = m_readyThumbnails.size() + size_t(m_thumbnailsInFlight);
            if (!m_shuttingDown && waiting < READY_PER_WORKER * m_workers.size()) {
                name = m_thumbnailQueue.takeNext();
                if (name)
                    ++m_thumbnailsInFlight;
            }
        }
        if (!name) {
            std::unique_lock<std::mutex> guard(m_workMutex);
            m_workChanged.wait(guard, [&] { return m_workersStop || m_workGeneration != generation; });
            continue;
        }
        PictureFiller finish;
        try {
            finish = m_services.makeThumbnail(*name, m_thumbnailSize.load());
        } catch (...) {
            // The record notes why, as if the loader thread had failed.
            finish = [failure = std::current_exception()](const std::string&, LoadedPicture&) -> bool {
                std::rethrow_exception(failure);
            };
        }
        {
            oxLock lock(threadLock());
            m_readyThumbnails.push_back({std::move(*name), std::move(finish)});
            --m_thumbnailsInFlight;
        }
        m_wake.signal();
    }
}

void BGTextureLoader::publishThumbnail(ReadyThumbnail& ready)
{
    m_log.write("Load %s ", ready.name.c_str());
    oxTimer timer;
    timer.restart();
    {
        oxLock lock(threadLock());
        // Made already, or no longer listed since the worker took it.
        if (m_thumbnails.count(ready.name) || m_thumbnailQueue.indexOf(ready.name) < 0) {
            m_log.write(": skipped\n");
            return;
        }
    }
    std::unique_ptr<LoadedPicture> record = prepareRecord(ready.name, true, false, nullptr, &ready.finish);
    {
        oxLock lock(threadLock());
        m_thumbnails[ready.name] = std::move(record);
    }
    redisplay();
    m_log.write(": %g ms\n", double(timer.elapsed(oxTimer::Microseconds)) / 1000.0);
}
