#pragma once

#include <cerrno>
#include <cstddef>
#include <string>
#include <sys/stat.h>
#include <sys/types.h>

#ifdef _WIN32
struct velmo_stat;
#endif

namespace velmo {

// The system calls the core's writers use, behind one seam so tests can make any step fail.
class FileIo {
public:
    virtual ~FileIo() = default;
    virtual int open(const std::string& path, int flags, mode_t mode);
    virtual ssize_t read(int fd, void* buffer, std::size_t size);
    virtual ssize_t write(int fd, const void* buffer, std::size_t size);
    virtual int fsync(int fd);
    virtual int close(int fd);
#ifdef _WIN32
    // Spelled as the Qt-free core's forced compat header renames it, so that Qt code, which never
    // sees that header, derives from the same class.
    virtual int velmo_fstat(int fd, struct velmo_stat& info);
#else
    virtual int fstat(int fd, struct stat& info);
#endif
    virtual int rename(const std::string& from, const std::string& to);
    virtual int unlink(const std::string& path);
    // Drops the cached pages of a file so the next read comes from the medium.
    virtual int dropCache(int fd);

    // A read that a signal does not break off; as read() otherwise.
    ssize_t readSome(int fd, void* buffer, std::size_t size) {
        for (;;) {
            const ssize_t n = read(fd, buffer, size);
            if (n >= 0 || errno != EINTR)
                return n;
        }
    }
    // Writes every byte; false with errno set when one cannot be written (ENOSPC when the system
    // takes none without saying why).
    bool writeAll(int fd, const void* data, std::size_t size) {
        const auto* bytes = static_cast<const char*>(data);
        while (size > 0) {
            const ssize_t written = write(fd, bytes, size);
            if (written < 0 && errno == EINTR)
                continue;
            if (written <= 0) {
                if (written == 0)
                    errno = ENOSPC;
                return false;
            }
            bytes += written;
            size -= static_cast<std::size_t>(written);
        }
        return true;
    }

    // The real system calls.
    static FileIo& system();
};

} // namespace velmo
