#include "off_thread.h"

#include <atomic>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <mutex>

namespace velmo {

namespace {

struct Running {
    std::mutex mutex;
    std::condition_variable ended;
    int count = 0;
};

// Never destroyed: a worker may end after the statics have gone.
Running& running() {
    static Running* const r = new Running;
    return *r;
}

} // namespace

DetachedWork::DetachedWork() {
    const std::lock_guard<std::mutex> lock(running().mutex);
    ++running().count;
}

DetachedWork::~DetachedWork() {
    const std::lock_guard<std::mutex> lock(running().mutex);
    if (--running().count == 0)
        running().ended.notify_all();
}

bool WaitForDetachedWork(std::chrono::milliseconds limit) {
    std::unique_lock<std::mutex> lock(running().mutex);
    return running().ended.wait_for(lock, limit, [] { return running().count == 0; });
}

int EndAfterDetachedWork(int code) {
    if (WaitForDetachedWork(std::chrono::seconds(2)))
        return code;
    std::fflush(nullptr);
    std::_Exit(code);
}

} // namespace velmo
