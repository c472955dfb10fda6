#pragma once

#include <condition_variable>
#include <mutex>

namespace velmo::test {

// Holds the threads that pass it until the test opens it; once open it stays open.
class Gate {
public:
    void open() {
        const std::lock_guard<std::mutex> lock(mutex_);
        opened_ = true;
        changed_.notify_all();
    }
    void pass() {
        std::unique_lock<std::mutex> lock(mutex_);
        changed_.wait(lock, [this] { return opened_; });
    }
    bool isOpen() {
        const std::lock_guard<std::mutex> lock(mutex_);
        return opened_;
    }

private:
    std::mutex mutex_;
    std::condition_variable changed_;
    bool opened_ = false;
};

} // namespace velmo::test
