#include "oxengine/core/thread.h"

#include "oxengine/core/errors.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <exception>

#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace {
thread_local oxThread* t_currentThread = nullptr;
} // namespace

// ---- oxEvent ------------------------------------------------------------------------------

void oxEvent::signal()
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_signalled = true;
    m_cv.notify_one();
}

int oxEvent::wait(int milliseconds)
{
    std::unique_lock<std::mutex> lock(m_mutex);
    auto signalled = [this] { return m_signalled; };
    if (milliseconds < 0)
        m_cv.wait(lock, signalled);
    else if (!m_cv.wait_for(lock, std::chrono::milliseconds(milliseconds), signalled))
        return WAIT_TIMEOUT;
    m_signalled = false;
    return WAIT_SIGNALLED;
}

// ---- oxThread -----------------------------------------------------------------------------

oxThread::~oxThread()
{
    const int status = m_state.load();
    if (status == DELETED)
        oxAssertFailed("oxThread deleted twice!", "status == DELETED", __FILE__, __LINE__);
    if (status == CREATED || status == RUNNING || status == STOPPING)
        terminate();
    {
        std::lock_guard<std::mutex> lock(m_doneMutex);
        releaseThread();
    }
    m_state = DELETED;
}

bool oxThread::start()
{
    int status = NOTCREATED;
    // CREATED is set before the thread exists, so the new thread's RUNNING can
    // never be overwritten by it.
    m_state.compare_exchange_strong(status, CREATED); // status keeps the state found
    if (!oxVerify(status == NOTCREATED, "oxThread run twice!"))
        return false;
    std::lock_guard<std::mutex> lock(m_doneMutex);
    try {
        m_thread = std::thread([this] { entry(); });
    } catch (const std::exception&) {
        m_state = NOTCREATED;
        return false;
    }
    return true;
}

void oxThread::entry()
{
    t_currentThread = this;
    int expected = CREATED;
    m_state.compare_exchange_strong(expected, RUNNING); // a stop asked meanwhile stays STOPPING
    try {
        run();
    } catch (...) {
        oxVerify(false, "A thread ended with an unhandled exception.");
    }
    t_currentThread = nullptr;
    std::lock_guard<std::mutex> lock(m_doneMutex);
    m_state = FINISHED;
    m_doneCv.notify_all();
    // Nothing after this point touches the object: its owner may destroy it.
}

void oxThread::requestStop()
{
    int status = m_state.load();
    while ((status == CREATED || status == RUNNING) && !m_state.compare_exchange_weak(status, STOPPING)) {
    }
}

bool oxThread::isRunning() const
{
    const int status = m_state.load();
    return status == CREATED || status == RUNNING || status == STOPPING;
}

bool oxThread::waitFinished(int timeoutMs)
{
    std::unique_lock<std::mutex> lock(m_doneMutex);
    auto finished = [this] { return m_state.load() == FINISHED || m_state.load() == NOTCREATED; };
    if (timeoutMs < 0) {
        m_doneCv.wait(lock, finished);
        return m_state.load() == FINISHED;
    }
    return m_doneCv.wait_for(lock, std::chrono::milliseconds(timeoutMs), finished) && m_state.load() == FINISHED;
}

bool oxThread::terminate(int timeoutMs)
{
    requestStop();
    if (!isRunning())
        return true;
    // The body cannot wait for itself.
    if (current() == this)
        return false;
    if (waitFinished(timeoutMs)) {
        std::lock_guard<std::mutex> lock(m_doneMutex);
        releaseThread();
        return true;
    }
    oxVerify(false, "A thread did not stop when asked to; it was left running.");
    std::lock_guard<std::mutex> lock(m_doneMutex);
    if (m_thread.joinable())
        m_thread.detach();
    return false;
}

void oxThread::releaseThread()
{
    if (!m_thread.joinable())
        return;
    if (m_thread.get_id() == std::this_thread::get_id() || m_state.load() != FINISHED)
        m_thread.detach();
    else
        m_thread.join();
}

oxThread* oxThread::current()
{
    return t_currentThread;
}

bool oxLowerThisThreadsPriority()
{
    // On Linux a thread is a task of its own: its id names it alone.
    const auto self = id_t(syscall(SYS_gettid));
    errno = 0;
    const int now = getpriority(PRIO_PROCESS, self);
    if (errno != 0)
        return false;
    return setpriority(PRIO_PROCESS, self, std::max(now, 10)) == 0;
}
