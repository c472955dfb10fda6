#include "file_io.h"

#include <windows.h>

#include <algorithm>

namespace velmo {

int FileIo::open(const std::string& path, int flags, mode_t mode) {
    return ::velmo_open(path.c_str(), flags, mode);
}
ssize_t FileIo::read(int fd, void* buffer, std::size_t size) {
    return ::_read(fd, buffer, static_cast<unsigned>(std::min<std::size_t>(size, 1u << 30)));
}
ssize_t FileIo::write(int fd, const void* buffer, std::size_t size) {
    return ::_write(fd, buffer, static_cast<unsigned>(std::min<std::size_t>(size, 1u << 30)));
}
int FileIo::fsync(int fd) {
    return ::fsync(fd);
}
int FileIo::close(int fd) {
    return ::_close(fd);
}
int FileIo::fstat(int fd, struct stat& info) {
    return ::fstat(fd, &info);
}
// The replacement is one step that either happens whole or not at all, and is on the medium when
// it returns. A file another program holds open without sharing deletion cannot be replaced:
// Windows refuses with a sharing violation, and the target keeps its old bytes.
int FileIo::rename(const std::string& from, const std::string& to) {
    if (MoveFileExW(velmo_wide(from.c_str()).c_str(), velmo_wide(to.c_str()).c_str(),
                    MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
        return 0;
    const DWORD error = GetLastError();
    errno =
        error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND ? ENOENT
        : error == ERROR_SHARING_VIOLATION || error == ERROR_ACCESS_DENIED || error == ERROR_LOCK_VIOLATION
            ? EBUSY
            : EIO;
    return -1;
}
int FileIo::unlink(const std::string& path) {
    if (DeleteFileW(velmo_wide(path.c_str()).c_str()))
        return 0;
    errno = GetLastError() == ERROR_FILE_NOT_FOUND ? ENOENT : EACCES;
    return -1;
}
// Windows keeps no cache a program may drop; a read-back opened without buffering would need
// sector-aligned buffers, so the copy's read-back reads through the cache here.
int FileIo::dropCache(int) {
    return 0;
}

FileIo& FileIo::system() {
    // Never destroyed: a look-up still running on a detached thread when the program ends uses it.
    static FileIo* const io = new FileIo;
    return *io;
}

} // namespace velmo
