#pragma once

#include "gate.h"
#include "model/file_io.h"

#include <atomic>
#include <cstddef>

namespace velmo::test {

// File calls that stop, once `stopAfter` bytes have been read, until the test lets them go on: the
// work then hangs in the middle, as on a slow medium, while the window's thread goes on.
class GatedIo final : public FileIo {
public:
    std::size_t stopAfter = 0;
    std::atomic<bool> stopped{false}; // the work is waiting

    ssize_t read(int fd, void* buffer, std::size_t size) override {
        const ssize_t n = FileIo::read(fd, buffer, size);
        read_ += n > 0 ? static_cast<std::size_t>(n) : 0;
        if (read_ >= stopAfter && !gate_.isOpen()) {
            stopped = true;
            gate_.pass();
        }
        return n;
    }
    void release() { gate_.open(); }
    ~GatedIo() override { release(); }

private:
    std::size_t read_ = 0;
    Gate gate_;
};

} // namespace velmo::test
