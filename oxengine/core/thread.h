// The engine's threads, events and locks.
//
// oxThread runs its virtual run() on a thread of its own. The body polls
// isStopRequested(); stopping is cooperative. There is no safe way to kill a
// thread, so a forced stop (terminate, or destroying a running thread) asks
// for the stop, waits a bounded time and, when the body still runs, leaves it
// running detached and reports that. A subclass whose body uses its own
// members must therefore stop the thread in its own destructor.
#pragma once

#include <atomic>
#include <condition_variable>
#include <exception>
#include <mutex>
#include <thread>

// Lowers the calling thread's scheduling priority (nice 10): background work
// such as making thumbnails then takes only what the interface and the
// renderer leave of the cores. Other threads keep theirs; false when the
// system refused.
bool oxLowerThisThreadsPriority();

// A recursive lock: the thread that holds it may enter it again.
class oxCriticalSection {
public:
    oxCriticalSection() = default;
    oxCriticalSection(const oxCriticalSection&) = delete;
    oxCriticalSection& operator=(const oxCriticalSection&) = delete;
    void enter() { m_mutex.lock(); }
    void leave() { m_mutex.unlock(); }
    // For std::lock_guard and std::unique_lock.
    void lock() { enter(); }
    void unlock() { leave(); }

private:
    std::recursive_mutex m_mutex;
};

// Holds a critical section for the lifetime of the guard.
class oxLock {
public:
    explicit oxLock(oxCriticalSection& section) : m_section(section) { m_section.enter(); }
    ~oxLock() { m_section.leave(); }
    oxLock(const oxLock&) = delete;
    oxLock& operator=(const oxLock&) = delete;

private:
    oxCriticalSection& m_section;
};

// An auto-reset event, created not signalled: a successful wait consumes the
// signal and wakes one waiter; signals do not add up.
class oxEvent {
public:
    enum WaitResult { WAIT_FAILED = 0, WAIT_TIMEOUT = 1, WAIT_SIGNALLED = 2 };
    static constexpr int INFINITE = -1;

    oxEvent() = default;
    oxEvent(const oxEvent&) = delete;
    oxEvent& operator=(const oxEvent&) = delete;

    void signal();
    // WAIT_SIGNALLED, or WAIT_TIMEOUT when the time ran out; a negative time
    // waits without limit.
    int wait(int milliseconds);

private:
    std::mutex m_mutex;
    std::condition_variable m_cv;
    bool m_signalled = false;
};

// Thrown by work that stopped early because it was cancelled. It is not a
// failure: nothing is reported, the result is just not made.
class oxCancelled : public std::exception {
public:
    const char* what() const noexcept override { return "cancelled"; }
};

// Asks work on another thread to stop early. The work polls the token
// between steps it can abandon (a band of rows) and gives up with
// oxCancelled; any thread may cancel.
class oxCancelToken {
public:
    oxCancelToken() = default;
    oxCancelToken(const oxCancelToken&) = delete;
    oxCancelToken& operator=(const oxCancelToken&) = delete;
    void cancel() { m_cancelled.store(true, std::memory_order_relaxed); }
    void reset() { m_cancelled.store(false, std::memory_order_relaxed); }
    bool cancelled() const { return m_cancelled.load(std::memory_order_relaxed); }
    // Throws oxCancelled once cancelled.
    void check() const
    {
        if (cancelled())
            throw oxCancelled();
    }
    // A token nothing can cancel, for work done where nobody could.
    static const oxCancelToken& none()
    {
        static const oxCancelToken token;
        return token;
    }

private:
    std::atomic<bool> m_cancelled{false};
};

class oxThread {
public:
    enum State { NOTCREATED = 0, CREATED = 1, RUNNING = 2, STOPPING = 3, FINISHED = 4, DELETED = 5 };
    // How long a forced stop waits for the body by default.
    static constexpr int DEFAULT_STOP_TIMEOUT_MS = 5000;

    oxThread() = default;
    virtual ~oxThread();
    oxThread(const oxThread&) = delete;
    oxThread& operator=(const oxThread&) = delete;

    // Only from NOTCREATED (else reported, false). True once the thread exists.
    bool start();
    // From CREATED or RUNNING to STOPPING. A stop asked before the body began
    // is kept: the body then starts with isStopRequested() true. Changes
    // nothing on a thread that was never started or has finished.
    void requestStop();
    bool isStopRequested() const { return m_state.load() == STOPPING; }
    // The thread exists and its body has not returned (CREATED, RUNNING or
    // STOPPING).
    bool isRunning() const;

    // True once the body has returned (waits at most timeoutMs; negative:
    // without limit).
    bool waitFinished(int timeoutMs);
    // The forced stop: requestStop, then up to timeoutMs for the body. True
    // when the thread has ended; false (and reported) when it had to be left
    // running.
    bool terminate(int timeoutMs = DEFAULT_STOP_TIMEOUT_MS);

    // Guards the data shared between the body and the thread's users.
    oxCriticalSection& threadLock() { return m_threadLock; }

    // The oxThread whose body runs on the calling thread; null on the main
    // thread and on threads the engine did not start.
    static oxThread* current();

protected:
    virtual void run() = 0;

private:
    void entry();
    // Joins or, when that cannot be done safely, detaches the OS thread.
    void releaseThread();

    std::atomic<int> m_state{NOTCREATED};
    oxCriticalSection m_threadLock;
    std::mutex m_doneMutex; // guards m_thread and the FINISHED hand-over
    std::condition_variable m_doneCv;
    std::thread m_thread;
};
