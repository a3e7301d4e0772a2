#include "app/prepare/thumbnailheadstart.h"

#include "app/prepare/thumbnail.h"

#include <chrono>

ThumbnailHeadStart::~ThumbnailHeadStart()
{
    m_cancel.cancel();
    for (std::thread& thread : m_threads)
        thread.join();
}

void ThumbnailHeadStart::start(std::shared_ptr<const oxThumbnailCache> cache, std::vector<std::string> files,
                               int edge, oxLoadOptions options, int threads)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    if (!m_threads.empty() || m_handedOver || !cache || files.empty())
        return;
    m_files = std::move(files);
    options.cancel = &m_cancel;
    for (int i = 0; i < std::max(1, threads); ++i)
        m_threads.emplace_back([this, cache, edge, options] {
            oxLowerThisThreadsPriority(); // the GL driver setting up comes first
            make(*cache, edge, options);
        });
}

void ThumbnailHeadStart::make(const oxThumbnailCache& cache, int edge, oxLoadOptions options)
{
    std::unique_lock<std::mutex> lock(m_mutex);
    while (!m_handedOver && m_next < m_files.size() && !m_cancel.cancelled()) {
        const std::string file = m_files[m_next++];
        m_making.insert(file);
        lock.unlock();
        try {
            makeThumbnailImage(&cache, file, edge, options, CacheWrite::Now);
        } catch (...) {
            // Whoever shows the cell makes it again and says why.
        }
        lock.lock();
        m_making.erase(file);
        m_madeOne.notify_all();
    }
}

void ThumbnailHeadStart::handOver(const std::string& file, const oxCancelToken& cancel)
{
    std::unique_lock<std::mutex> lock(m_mutex);
    m_handedOver = true;
    // The token has no way to wake a wait: it is looked at every few ms.
    while (m_making.count(file) && !cancel.cancelled())
        m_madeOne.wait_for(lock, std::chrono::milliseconds(5));
    lock.unlock();
    cancel.check();
}
