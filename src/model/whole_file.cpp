#include "whole_file.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>

namespace velmo {

namespace {

std::string notRegular(mode_t mode) {
    if (S_ISDIR(mode))
        return std::strerror(EISDIR);
    const char* kind = S_ISFIFO(mode) ? "a named pipe" : S_ISSOCK(mode) ? "a socket" : "a device";
    return std::string("not a regular file (") + kind + ")";
}

} // namespace

Result ReadWholeFile(const std::string& path, std::size_t limit, WholeFile& file, FileIo& io) {
    file = {};
    const int fd = io.open(path, O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY, 0);
    if (fd < 0)
        return Result::failure(std::strerror(errno));
    struct stat info {};
    if (io.fstat(fd, info) != 0) {
        const std::string why = std::strerror(errno);
        io.close(fd);
        return Result::failure(why);
    }
    if (!S_ISREG(info.st_mode)) {
        io.close(fd);
        return Result::failure(notRegular(info.st_mode));
    }
    // One byte past the limit tells a longer file; the size is only a hint (it may change, and
    // some files report none), so the loop runs to the end or the limit whatever it says.
    const std::size_t wanted = limit + 1;
    file.bytes.resize(std::min(wanted, static_cast<std::size_t>(std::max<off_t>(info.st_size, 0)) + 1));
    std::size_t got = 0;
    for (;;) {
        if (got == file.bytes.size()) {
            if (got == wanted)
                break;
            file.bytes.resize(std::min(wanted, std::max<std::size_t>(got * 2, 65536)));
        }
        const ssize_t n = io.readSome(fd, file.bytes.data() + got, file.bytes.size() - got);
        if (n < 0) {
            const std::string why = std::strerror(errno);
            io.close(fd);
            file = {};
            return Result::failure(why);
        }
        if (n == 0)
            break;
        got += static_cast<std::size_t>(n);
    }
    io.close(fd);
    file.longer = got > limit;
    file.bytes.resize(std::min(got, limit));
    return Result::success();
}

} // namespace velmo
