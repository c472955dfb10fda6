#include "safe_file.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <random>
#include <sys/stat.h>
#include <unistd.h>

namespace velmo {

namespace {

std::string directoryOf(const std::string& path) {
    const auto slash = path.find_last_of('/');
    if (slash == std::string::npos)
        return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

std::string baseNameOf(const std::string& path) {
    const auto slash = path.find_last_of('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

Result systemFailure(const std::string& what, const std::string& path) {
    return Result::failure(what + " " + path + ": " + std::strerror(errno));
}

} // namespace

bool IsReadOnlyFile(const std::string& path) {
    struct stat info {};
    return ::stat(path.c_str(), &info) == 0 && (info.st_mode & S_IWUSR) == 0;
}

Result FlushDirectory(const std::string& directory, FileIo& io) {
    const int fd = io.open(directory, O_RDONLY | O_DIRECTORY | O_CLOEXEC, 0);
    if (fd < 0)
        return systemFailure("cannot open directory", directory);
    const int rc = io.fsync(fd);
    io.close(fd);
    if (rc != 0)
        return systemFailure("cannot flush directory", directory);
    return Result::success();
}

AtomicFileWriter::AtomicFileWriter(std::string targetPath, FileIo& io) : targetPath_(std::move(targetPath)), io_(io) {}

AtomicFileWriter::~AtomicFileWriter() {
    if (!committed_)
        abort();
}

Result AtomicFileWriter::open() {
    abort();
    struct stat target {};
    const bool targetExists = ::stat(targetPath_.c_str(), &target) == 0;
    if (targetExists && !S_ISREG(target.st_mode))
        return Result::failure("not a regular file: " + targetPath_);
    if (targetExists && (target.st_mode & S_IWUSR) == 0)
        return Result::failure("read-only file: " + targetPath_);

    // A dot name keeps the temporary file out of the program's own file listings.
    std::random_device entropy;
    const std::string stem = directoryOf(targetPath_) + "/." + baseNameOf(targetPath_) + ".tmp-";
    for (int attempt = 0; attempt < 100; ++attempt) {
        std::string candidate = stem + std::to_string(entropy() % 1000000u);
        const int fd = io_.open(candidate, O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd >= 0) {
            fd_ = fd;
            tempPath_ = std::move(candidate);
            if (targetExists)
                ::fchmod(fd_, target.st_mode & 07777);
            return Result::success();
        }
        if (errno != EEXIST)
            return systemFailure("cannot create a file in", directoryOf(targetPath_));
    }
    return Result::failure("cannot find a free temporary name in " + directoryOf(targetPath_));
}

Result AtomicFileWriter::write(const void* data, std::size_t size) {
    if (fd_ < 0)
        return Result::failure("not open: " + targetPath_);
    const auto* bytes = static_cast<const char*>(data);
    while (size > 0) {
        const ssize_t written = io_.write(fd_, bytes, size);
        if (written < 0 && errno == EINTR)
            continue;
        if (written <= 0) {
            if (written == 0)
                errno = ENOSPC;
            return systemFailure("cannot write", tempPath_);
        }
        bytes += written;
        size -= static_cast<std::size_t>(written);
    }
    flushed_ = false;
    return Result::success();
}

Result AtomicFileWriter::flush() {
    if (fd_ < 0)
        return Result::failure("not open: " + targetPath_);
    if (io_.fsync(fd_) != 0)
        return systemFailure("cannot flush", tempPath_);
    flushed_ = true;
    return Result::success();
}

Result AtomicFileWriter::commit() {
    if (!flushed_) {
        if (Result r = flush(); !r)
            return r;
    }
    const int fd = fd_;
    fd_ = -1;
    if (io_.close(fd) != 0)
        return systemFailure("cannot close", tempPath_);
    if (io_.rename(tempPath_, targetPath_) != 0)
        return systemFailure("cannot replace", targetPath_);
    committed_ = true;
    tempPath_.clear();
    return FlushDirectory(directoryOf(targetPath_), io_);
}

void AtomicFileWriter::abort() {
    if (fd_ >= 0) {
        io_.close(fd_);
        fd_ = -1;
    }
    if (!tempPath_.empty()) {
        io_.unlink(tempPath_);
        tempPath_.clear();
    }
    flushed_ = false;
}

Result WriteFileAtomically(const std::string& path, const std::vector<std::uint8_t>& bytes, FileIo& io) {
    AtomicFileWriter writer(path, io);
    if (Result r = writer.open(); !r)
        return r;
    if (Result r = writer.write(bytes.data(), bytes.size()); !r)
        return r;
    return writer.commit();
}

} // namespace velmo
