#include "oxengine/core/thread.h"

#include "support/testsupport.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <functional>
#include <unistd.h>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

long long msSince(Clock::time_point start)
{
    return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count();
}

// A thread whose body is a function, stopped in its own destructor as every
// subclass should.
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
        oxThread::sleepMs(1);
}

} // namespace

TEST(Thread, StartRunStopFinish)
{
    std::atomic<oxThread*> seen{nullptr};
    FunctionThread t([&](FunctionThread& self) {
        seen = oxThread::current();
        pollUntilStopped(self);
    });
    t.requestStop(); // on a thread not started: changes nothing, nobody waits for it
    EXPECT_EQ(t.state(), oxThread::NOTCREATED);
    EXPECT_FALSE(t.isRunning());
    ASSERT_TRUE(t.start());
    EXPECT_TRUE(t.isRunning());
    while (!seen)
        oxThread::sleepMs(1);
    EXPECT_EQ(seen.load(), &t);
    EXPECT_EQ(oxThread::current(), nullptr); // the main thread
    EXPECT_FALSE(t.isStopRequested());
    {
        MessageCapture boxes; // starting twice is reported and keeps the first running
        EXPECT_FALSE(t.start());
        ASSERT_EQ(boxes.count(), 1u);
        EXPECT_NE(boxes.messages()[0].text.find("oxThread run twice!"), std::string::npos);
        EXPECT_NE(boxes.messages()[0].text.find("status == NOTCREATED"), std::string::npos);
        EXPECT_TRUE(t.isRunning());
    }
    t.requestStop();
    EXPECT_TRUE(t.waitFinished(5000));
    EXPECT_EQ(t.state(), oxThread::FINISHED);
    EXPECT_FALSE(t.isRunning());
    t.requestStop(); // changes nothing once finished
    EXPECT_EQ(t.state(), oxThread::FINISHED);
}

TEST(Thread, StopBeforeTheBodyBeginsIsNeverLost)
{
    // Asked right after start, the stop often arrives before the body runs;
    // every such thread must still see it and end.
    for (int i = 0; i < 300; ++i) {
        std::atomic<bool> sawStop{false};
        FunctionThread t([&](FunctionThread& self) {
            pollUntilStopped(self);
            sawStop = true;
        });
        ASSERT_TRUE(t.start());
        t.requestStop();
        ASSERT_TRUE(t.waitFinished(5000)) << "stop lost in round " << i;
        EXPECT_TRUE(sawStop);
    }
}

TEST(Thread, StopOfAThreadWaitingOnAnEvent)
{
    oxEvent wake;
    std::atomic<int> wakeups{0};
    FunctionThread t([&](FunctionThread& self) {
        while (!self.isStopRequested()) {
            wake.wait(oxEvent::INFINITE);
            ++wakeups;
        }
    });
    ASSERT_TRUE(t.start());
    oxThread::sleepMs(20);
    const auto start = Clock::now();
    t.requestStop();
    wake.signal();
    EXPECT_TRUE(t.waitFinished(5000));
    EXPECT_LT(msSince(start), 1000);
    EXPECT_EQ(wakeups.load(), 1);
}

TEST(Thread, ThreadThatWillNotStopIsLeftRunningAndReported)
{
    oxEvent release;
    FunctionThread t([&](FunctionThread&) { release.wait(oxEvent::INFINITE); }); // ignores stop requests
    ASSERT_TRUE(t.start());
    MessageCapture boxes;
    const auto start = Clock::now();
    EXPECT_FALSE(t.terminate(100));
    EXPECT_GE(msSince(start), 90);
    EXPECT_LT(msSince(start), 3000);
    ASSERT_EQ(boxes.count(), 1u);
    EXPECT_TRUE(t.isRunning());
    release.signal(); // never killed: the body still runs and ends normally
    EXPECT_TRUE(t.waitFinished(5000));
    EXPECT_EQ(t.state(), oxThread::FINISHED);
}

TEST(Thread, DestroyingARunningThreadStopsItAndDeleteOnExitDestroysItself)
{
    std::atomic<bool> bodyDone{false}, gone{false};
    {
        FunctionThread t([&](FunctionThread& self) {
            pollUntilStopped(self);
            bodyDone = true;
        });
        ASSERT_TRUE(t.start());
        oxThread::sleepMs(5);
    }
    EXPECT_TRUE(bodyDone);
    struct SelfDeleting : oxThread {
        explicit SelfDeleting(std::atomic<bool>& g) : m_gone(g) {}
        ~SelfDeleting() override { m_gone = true; }
        void run() override { oxThread::sleepMs(10); }
        std::atomic<bool>& m_gone;
    };
    auto* t = new SelfDeleting(gone); // owned by itself from here on
    t->setDeleteOnExit(true);
    ASSERT_TRUE(t->start());
    const auto start = Clock::now();
    while (!gone && msSince(start) < 5000)
        oxThread::sleepMs(1);
    EXPECT_TRUE(gone);
}

TEST(Event, AutoResetConsumesTheSignalManualResetWakesEveryone)
{
    oxEvent e;
    const auto start = Clock::now();
    EXPECT_EQ(e.wait(0), oxEvent::WAIT_TIMEOUT);
    e.signal();
    e.signal(); // signals do not add up
    EXPECT_EQ(e.wait(0), oxEvent::WAIT_SIGNALLED);
    EXPECT_EQ(e.wait(30), oxEvent::WAIT_TIMEOUT);
    EXPECT_GE(msSince(start), 30);

    oxEvent manual(true);
    std::atomic<int> woken{0};
    std::vector<std::thread> waiters;
    for (int i = 0; i < 4; ++i)
        waiters.emplace_back([&] { woken += manual.wait(5000) == oxEvent::WAIT_SIGNALLED; });
    oxThread::sleepMs(20);
    manual.signal();
    for (auto& w : waiters)
        w.join();
    EXPECT_EQ(woken.load(), 4);
    EXPECT_EQ(manual.wait(0), oxEvent::WAIT_SIGNALLED);
    manual.reset();
    EXPECT_EQ(manual.wait(0), oxEvent::WAIT_TIMEOUT);
}

TEST(CriticalSection, RecursiveAndExclusiveUnderContention)
{
    oxCriticalSection section;
    long counter = 0;
    std::vector<std::thread> threads;
    for (int t = 0; t < 8; ++t)
        threads.emplace_back([&] {
            for (int i = 0; i < 20000; ++i) {
                oxLock outer(section);
                oxLock inner(section); // the same thread enters again
                const long v = counter;
                counter = v + 1;
            }
        });
    for (auto& t : threads)
        t.join();
    EXPECT_EQ(counter, 8 * 20000);
}
