#include "oxengine/core/thread.h"

#include "support/failurecapture.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <functional>
#include <thread>

#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace {

using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;

long long msSince(Clock::time_point start)
{
    return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count();
}

// A thread whose body is a function, stopped in its own destructor as every subclass should.
class FunctionThread : public oxThread {
public:
    explicit FunctionThread(std::function<void(FunctionThread&)> body) : m_body(std::move(body)) {}
    ~FunctionThread() override { terminate(); }

protected:
    void run() override { m_body(*this); }

private:
    std::function<void(FunctionThread&)> m_body;
};

void pollUntilStopped(FunctionThread& t)
{
    while (!t.isStopRequested())
        std::this_thread::sleep_for(1ms);
}

} // namespace

TEST(Thread, StartRunStopFinishAndAStopBeforeTheBodyBeginsOrFromTheDestructorIsNeverLost)
{
    std::atomic<bool> ran{false};
    FunctionThread t([&](FunctionThread& self) {
        ran = true;
        pollUntilStopped(self);
    });
    t.requestStop(); // on a thread not started: changes nothing, nobody waits for it
    EXPECT_FALSE(t.isRunning());
    ASSERT_TRUE(t.start());
    EXPECT_TRUE(t.isRunning());
    EXPECT_FALSE(t.isStopRequested());
    {
        FailureCapture capture; // starting twice is reported and keeps the first running
        EXPECT_FALSE(t.start());
        ASSERT_EQ(capture.failures().size(), 1u);
        EXPECT_TRUE(capture.failures()[0].brokenInvariant);
        EXPECT_TRUE(t.isRunning());
    }
    t.requestStop();
    EXPECT_TRUE(t.waitFinished(5000));
    EXPECT_TRUE(ran);
    EXPECT_FALSE(t.isRunning());

    // Asked right after start (or by the destructor, every other round), the stop often arrives
    // before the body runs; every such thread must still see it and end.
    for (int i = 0; i < 300; ++i) {
        std::atomic<bool> sawStop{false};
        {
            FunctionThread t([&](FunctionThread& self) {
                pollUntilStopped(self);
                sawStop = true;
            });
            ASSERT_TRUE(t.start());
            if (i % 2 == 0) {
                t.requestStop();
                ASSERT_TRUE(t.waitFinished(5000)) << "stop lost in round " << i;
            }
        }
        EXPECT_TRUE(sawStop) << i;
    }
}

TEST(Thread, StuckThreadsAndEvents)
{
    oxEvent release;
    FunctionThread t([&](FunctionThread&) { release.wait(oxEvent::INFINITE); }); // ignores stop requests
    ASSERT_TRUE(t.start());
    FailureCapture capture;
    const auto start = Clock::now();
    EXPECT_FALSE(t.terminate(100));
    EXPECT_GE(msSince(start), 90);
    EXPECT_LT(msSince(start), 3000);
    ASSERT_EQ(capture.failures().size(), 1u);
    EXPECT_TRUE(t.isRunning());
    release.signal(); // never killed: the body still runs and ends normally
    EXPECT_TRUE(t.waitFinished(5000));

    // A signal wakes one wait; signals do not add up.
    oxEvent e;
    const auto waited = Clock::now();
    EXPECT_EQ(e.wait(0), oxEvent::WAIT_TIMEOUT);
    e.signal();
    e.signal();
    EXPECT_EQ(e.wait(0), oxEvent::WAIT_SIGNALLED);
    EXPECT_EQ(e.wait(30), oxEvent::WAIT_TIMEOUT);
    EXPECT_GE(msSince(waited), 30);
    // A waiter blocked without limit on another thread wakes at the signal.
    std::thread waiter([&] { EXPECT_EQ(e.wait(oxEvent::INFINITE), oxEvent::WAIT_SIGNALLED); });
    std::this_thread::sleep_for(20ms);
    e.signal();
    waiter.join();
}

// Only the calling thread gives way: the interface's thread keeps its priority.
TEST(Thread, LoweringThePriorityTouchesOnlyTheCallingThread)
{
    errno = 0;
    const int before = getpriority(PRIO_PROCESS, 0);
    int worker = 0;
    std::thread([&] {
        ASSERT_TRUE(oxLowerThisThreadsPriority());
        worker = getpriority(PRIO_PROCESS, id_t(syscall(SYS_gettid)));
    }).join();
    EXPECT_GE(worker, 10);
    EXPECT_EQ(getpriority(PRIO_PROCESS, id_t(syscall(SYS_gettid))), before);
}
