#include "file_io.h"

#include <cstdio>
#include <fcntl.h>
#include <unistd.h>

namespace velmo {

int FileIo::open(const std::string& path, int flags, mode_t mode) {
    return ::open(path.c_str(), flags, mode);
}
ssize_t FileIo::read(int fd, void* buffer, std::size_t size) {
    return ::read(fd, buffer, size);
}
ssize_t FileIo::write(int fd, const void* buffer, std::size_t size) {
    return ::write(fd, buffer, size);
}
int FileIo::fsync(int fd) {
    return ::fsync(fd);
}
int FileIo::close(int fd) {
    return ::close(fd);
}
int FileIo::fstat(int fd, struct stat& info) {
    return ::fstat(fd, &info);
}
int FileIo::rename(const std::string& from, const std::string& to) {
    return std::rename(from.c_str(), to.c_str());
}
int FileIo::unlink(const std::string& path) {
    return ::unlink(path.c_str());
}
int FileIo::dropCache(int fd) {
    return ::posix_fadvise(fd, 0, 0, POSIX_FADV_DONTNEED);
}

FileIo& FileIo::system() {
    // Never destroyed: a look-up still running on a detached thread when the program ends uses it.
    static FileIo* const io = new FileIo;
    return *io;
}

} // namespace velmo
