#include "platform/Handshake.h"
#include "platform/Locks.h"

#include <gtest/gtest.h>

#include <atomic>
#include <stdexcept>
#include <thread>
#include <vector>

namespace zov {
namespace {

using namespace std::chrono_literals;

TEST(Locks, OneLockPerNameReentrantAndSharedAcrossThreads) {
    EXPECT_EQ(&NamedLock("command"), &CommandLock());
    EXPECT_EQ(&NamedLock("queue"), &QueueLock());
    EXPECT_NE(&QueueLock(), &ScrollQueueLock());
    EXPECT_NE(&ScrollQueueLock(), &ScrollDrainLock());
    EXPECT_NE(&CommandLock(), &DeskLock());

    {
        LockGuard outer(CommandLock());
        LockGuard inner(CommandLock());  // the scripting methods nest it
        std::atomic<bool> taken{false};
        std::thread other([&] { taken = CommandLock().try_lock(); });
        other.join();
        EXPECT_FALSE(taken);
    }

    // Concurrent first use from many threads still makes one lock.
    std::vector<std::thread> threads;
    std::vector<ProcessLock*> seen(8);
    for (int i = 0; i < 8; ++i)
        threads.emplace_back([&seen, i] { seen[i] = &NamedLock("made concurrently"); });
    for (auto& t : threads)
        t.join();
    for (ProcessLock* lock : seen)
        EXPECT_EQ(lock, seen[0]);
}

TEST(Handshake, StoppedIsReportedHoweverTheThreadEnds) {
    Flag stopped{false};
    std::thread failing([&stopped] {
        try {
            SetOnExit report(stopped);
            throw std::runtime_error("work failed");
        } catch (...) {
        }
    });
    failing.join();
    EXPECT_TRUE(stopped);

    Flag go{false};
    std::thread setter([&go] {
        std::this_thread::sleep_for(30ms);
        go = true;
    });
    PollUntil([&go] { return go.load(); }, 5ms);
    EXPECT_TRUE(go);
    setter.join();
}

TEST(Handshake, AWakeupCutsTheSleepShortAndKeepsASignalGivenBeforeIt) {
    using namespace std::chrono_literals;
    using Clock = std::chrono::steady_clock;
    Wakeup wakeup;
    // Given while no one waits: the next wait returns at once, the one after sleeps.
    wakeup.Notify();
    auto start = Clock::now();
    wakeup.Wait(10s);
    EXPECT_LT(Clock::now() - start, 5s);
    start = Clock::now();
    wakeup.Wait(50ms);
    EXPECT_GE(Clock::now() - start, 50ms);

    // Given from another thread while this one sleeps.
    std::atomic<bool> waiting{false};
    std::thread poster([&] {
        while (!waiting)
            std::this_thread::yield();
        std::this_thread::sleep_for(20ms);
        wakeup.Notify();
    });
    start = Clock::now();
    waiting = true;
    wakeup.Wait(30s);
    EXPECT_LT(Clock::now() - start, 15s);
    poster.join();
}

}  // namespace
}  // namespace zov
