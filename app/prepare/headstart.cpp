#include "app/prepare/headstart.h"

#include "oxengine/core/startuptrace.h"
#include "oxengine/image/handler.h"

DecodeHeadStart::~DecodeHeadStart()
{
    m_cancel.cancel();
    if (m_thread.joinable())
        m_thread.join();
}

void DecodeHeadStart::start(const std::string& fileName, oxLoadOptions options)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    if (m_taken || m_thread.joinable())
        return;
    m_fileName = fileName;
    m_maximum = options.maximum;
    options.cancel = &m_cancel;
    m_thread = std::thread([this, options] {
        try {
            m_image = oxImageRegistry::instance().loadImage(m_fileName, options);
            oxMarkStartup("first decode done");
        } catch (...) {
            m_failure = std::current_exception();
        }
        std::lock_guard<std::mutex> done(m_mutex);
        m_done = true;
        m_doneChanged.notify_all();
    });
}

const oxImage* DecodeHeadStart::wait(std::chrono::milliseconds limit)
{
    std::unique_lock<std::mutex> lock(m_mutex);
    if (m_taken || !m_thread.joinable())
        return nullptr;
    // The thread writes the picture before it sets m_done under the mutex.
    return m_doneChanged.wait_for(lock, limit, [this] { return m_done; }) ? m_image.get() : nullptr;
}

std::unique_ptr<oxImage> DecodeHeadStart::take(const std::string& fileName, const oxSize& maximum,
                                               const oxCancelToken& cancel)
{
    std::unique_lock<std::mutex> lock(m_mutex);
    if (m_taken || !m_thread.joinable())
        return nullptr;
    m_taken = true;
    const bool wanted = fileName == m_fileName && maximum == m_maximum;
    // The token has no way to wake a wait: it is looked at every few ms.
    while (wanted && !m_done && !cancel.cancelled())
        m_doneChanged.wait_for(lock, std::chrono::milliseconds(5));
    if (!wanted || !m_done)
        m_cancel.cancel();
    lock.unlock();
    m_thread.join();
    cancel.check();
    if (!wanted)
        return nullptr;
    if (m_failure) // never a cancel: only this call and the destructor cancel
        std::rethrow_exception(m_failure);
    return std::move(m_image);
}
