// Flags that two threads use to hand work or a stop request to each other.
// The design polls plain words with short sleeps; here they are atomics (a
// plain shared field would be a data race) and the polling stays as it was.
#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>

namespace zov {

using Flag = std::atomic<bool>;

// Sleeps in steps of `interval` until `done()` holds. The step length is part
// of the protocol: it bounds how long a stop request takes to be seen.
template <typename Predicate>
void PollUntil(Predicate done, std::chrono::milliseconds interval) {
    while (!done())
        std::this_thread::sleep_for(interval);
}

// The same, giving up after `limit`; true when `done()` came to hold.
template <typename Predicate>
bool PollUntil(Predicate done, std::chrono::milliseconds interval, std::chrono::milliseconds limit) {
    const auto deadline = std::chrono::steady_clock::now() + limit;
    while (!done()) {
        if (std::chrono::steady_clock::now() >= deadline)
            return false;
        std::this_thread::sleep_for(interval);
    }
    return true;
}

// A poll's sleep that a poster can cut short. The loops that hand frames
// and commands on would otherwise wait out their whole sleep for work that
// is already there: at a turn's pace that sleep, not the work, sets the
// frame rate. A signal given while no one waits is kept for the next wait.
class Wakeup {
public:
    void Notify() {
        {
            std::lock_guard<std::mutex> guard(mutex_);
            signalled_ = true;
        }
        changed_.notify_one();
    }
    // Sleeps up to `interval`, less when signalled; clears the signal.
    void Wait(std::chrono::milliseconds interval) {
        std::unique_lock<std::mutex> lock(mutex_);
        changed_.wait_for(lock, interval, [this] { return signalled_; });
        signalled_ = false;
    }

private:
    std::mutex mutex_;
    std::condition_variable changed_;
    bool signalled_ = false;
};

// Sets `flag` when it goes out of scope, however the scope is left: a thread
// that reports "stopped" this way cannot leave its owner waiting for ever.
class SetOnExit {
public:
    explicit SetOnExit(Flag& flag) : flag_(flag) {}
    ~SetOnExit() { flag_.store(true); }
    SetOnExit(const SetOnExit&) = delete;
    SetOnExit& operator=(const SetOnExit&) = delete;

private:
    Flag& flag_;
};

}  // namespace zov
