// A named pipe where a test expects the code under test never to open one.
// Opening a pipe for reading waits for a writer; should the code do that,
// the trap opens the other end once the wait has lasted a while, so that the
// test goes on and fails instead of hanging. Caught() tells it happened.
#pragma once

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <string>
#include <thread>

namespace zov::test {

class FifoTrap {
public:
    explicit FifoTrap(std::string path) : path_(std::move(path)) {
        if (mkfifo(path_.c_str(), 0600) != 0)
            ADD_FAILURE() << "cannot make a named pipe at " << path_;
        watcher_ = std::thread([this] { Watch(); });
    }
    ~FifoTrap() {
        done_ = true;
        watcher_.join();
        unlink(path_.c_str());
    }
    FifoTrap(const FifoTrap&) = delete;
    FifoTrap& operator=(const FifoTrap&) = delete;

    const std::string& Path() const { return path_; }
    // A reader was found waiting in the pipe.
    bool Caught() const { return caught_; }

private:
    void Watch() {
        using namespace std::chrono_literals;
        // Code that never opens the pipe is done long before the trap looks;
        // a writer's open only succeeds while somebody has it open to read.
        for (auto waited = 0ms; !done_; waited += 20ms) {
            std::this_thread::sleep_for(20ms);
            if (waited < 2s)
                continue;
            int fd = open(path_.c_str(), O_WRONLY | O_NONBLOCK | O_CLOEXEC);
            if (fd >= 0) {
                caught_ = true;
                close(fd);
            }
        }
    }

    std::string path_;
    std::atomic<bool> done_{false};
    std::atomic<bool> caught_{false};
    std::thread watcher_;
};

}  // namespace zov::test
