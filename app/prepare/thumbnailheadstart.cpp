#include "app/prepare/thumbnailheadstart.h"

#include <chrono>

ThumbnailHeadStart::~ThumbnailHeadStart()
{
    m_cancel.cancel();
    for (std::thread& thread : m_threads)
        thread.join();
}

void ThumbnailHeadStart::start(std::shared_ptr<const oxThumbnailCache> cache, std::vector<std::string> files,
                               int edge, oxLoadOptions options, int threads, Made made)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    if (!m_threads.empty() || m_handedOver || !cache || files.empty())
        return;
    m_files = std::move(files);
    m_made = std::move(made);
    m_wholeList = bool(m_made);
    options.cancel = &m_cancel;
    for (int i = 0; i < std::max(1, threads); ++i)
        m_threads.emplace_back([this, cache, edge, options] {
            oxLowerThisThreadsPriority(); // the GL driver setting up comes first
            make(*cache, edge, options);
        });
}

void ThumbnailHeadStart::make(const oxThumbnailCache& cache, int edge, oxLoadOptions options)
{
    // Shown as they come, they go into the cache after the last is made:
    // a write costs a third of a decode.
    const CacheWrite write = m_made ? CacheWrite::Later : CacheWrite::Now;
    std::unique_lock<std::mutex> lock(m_mutex);
    while (!m_handedOver && m_next < m_files.size() && !m_cancel.cancelled()) {
        const size_t index = m_next++;
        const std::string file = m_files[index];
        m_making.insert(file);
        lock.unlock();
        ThumbnailImage made;
        try {
            made = makeThumbnailImage(&cache, file, edge, options, write);
        } catch (...) {
            // Whoever shows the cell makes it again and says why.
        }
        std::function<void()> store = std::move(made.store);
        if (m_made && !m_cancel.cancelled())
            m_made(index, std::move(made));
        lock.lock();
        ++m_finished;
        if (store)
            m_stores.emplace_back(file, std::move(store)); // still being made for a hand-over
        else
            m_making.erase(file);
        m_madeOne.notify_all();
    }
    while (!m_stores.empty() && !m_cancel.cancelled()) {
        auto [file, store] = std::move(m_stores.back());
        m_stores.pop_back();
        lock.unlock();
        store();
        lock.lock();
        m_making.erase(file);
        m_madeOne.notify_all();
    }
}

void ThumbnailHeadStart::handOver(const std::string& file, const oxCancelToken& cancel)
{
    std::unique_lock<std::mutex> lock(m_mutex);
    // The token has no way to wake a wait: it is looked at every few ms.
    while (m_wholeList && m_finished < m_files.size() && !m_cancel.cancelled() && !cancel.cancelled())
        m_madeOne.wait_for(lock, std::chrono::milliseconds(5));
    m_handedOver = true;
    while (m_making.count(file) && !cancel.cancelled())
        m_madeOne.wait_for(lock, std::chrono::milliseconds(5));
    lock.unlock();
    cancel.check();
}

void ThumbnailHeadStart::release()
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_wholeList = false;
    m_madeOne.notify_all();
}
