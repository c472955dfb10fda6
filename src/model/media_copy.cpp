#include "media_copy.h"

#include "file_system.h"
#include "safe_file.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <vector>
#if defined(__linux__)
#include <sys/vfs.h>
#endif

namespace velmo {

namespace {

// Little may wait in the write cache, so the progress shown is what reached the medium rather than
// what the cache took in, and the final flush does not stall at 100 %.
#if defined(__linux__)
// Writing out of each window starts as soon as it is filled, and only the window before it is
// waited for: the medium stays busy while the next window is read from the source.
constexpr std::uint64_t kWritebackWindow = std::uint64_t{8} << 20;
#else
constexpr std::uint64_t kFlushInterval = std::uint64_t{64} << 20;
#endif

constexpr long kMsdosSuperMagic = 0x4d44;

std::string withSeparator(std::string directory) {
    if (!directory.empty() && directory.back() != '/')
        directory += '/';
    return directory;
}

CopyResult failed(std::string why) {
    CopyResult result;
    result.ok = false;
    result.reason = std::move(why);
    return result;
}

CopyResult failedErrno(const std::string& what, const std::string& path) {
    return failed(what + " " + path + ": " + std::strerror(errno));
}

CopyResult cancelled() {
    CopyResult result = failed("cancelled");
    result.cancelled = true;
    return result;
}

// XXH64: fast enough that checking the copy costs no more than reading it back.
class StreamHash {
public:
    void update(const unsigned char* data, std::size_t size) {
        length_ += size;
        if (buffered_ > 0) {
            const std::size_t take = std::min(size, sizeof buffer_ - buffered_);
            std::memcpy(buffer_ + buffered_, data, take);
            buffered_ += take;
            data += take;
            size -= take;
            if (buffered_ < sizeof buffer_)
                return;
            stripe(buffer_);
            buffered_ = 0;
        }
        for (; size >= sizeof buffer_; data += sizeof buffer_, size -= sizeof buffer_)
            stripe(data);
        std::memcpy(buffer_, data, size);
        buffered_ = size;
    }

    std::uint64_t digest() const {
        std::uint64_t h;
        if (length_ >= sizeof buffer_) {
            h = rotl(v_[0], 1) + rotl(v_[1], 7) + rotl(v_[2], 12) + rotl(v_[3], 18);
            for (const std::uint64_t v : v_)
                h = (h ^ round(0, v)) * kP1 + kP4;
        } else {
            h = kP5;
        }
        h += length_;
        std::size_t i = 0;
        for (; i + 8 <= buffered_; i += 8)
            h = rotl(h ^ round(0, load<std::uint64_t>(buffer_ + i)), 27) * kP1 + kP4;
        for (; i + 4 <= buffered_; i += 4)
            h = rotl(h ^ (std::uint64_t{load<std::uint32_t>(buffer_ + i)} * kP1), 23) * kP2 + kP3;
        for (; i < buffered_; ++i)
            h = rotl(h ^ (buffer_[i] * kP5), 11) * kP1;
        h ^= h >> 33;
        h *= kP2;
        h ^= h >> 29;
        h *= kP3;
        h ^= h >> 32;
        return h;
    }

private:
    static constexpr std::uint64_t kP1 = 0x9E3779B185EBCA87ull;
    static constexpr std::uint64_t kP2 = 0xC2B2AE3D27D4EB4Full;
    static constexpr std::uint64_t kP3 = 0x165667B19E3779F9ull;
    static constexpr std::uint64_t kP4 = 0x85EBCA77C2B2AE63ull;
    static constexpr std::uint64_t kP5 = 0x27D4EB2F165667C5ull;

    static std::uint64_t rotl(std::uint64_t x, int r) { return (x << r) | (x >> (64 - r)); }
    static std::uint64_t round(std::uint64_t acc, std::uint64_t input) {
        return rotl(acc + input * kP2, 31) * kP1;
    }
    template <typename T> static T load(const unsigned char* p) {
        T value;
        std::memcpy(&value, p, sizeof value);
        return value;
    }
    void stripe(const unsigned char* p) {
        for (int lane = 0; lane < 4; ++lane)
            v_[lane] = round(v_[lane], load<std::uint64_t>(p + 8 * lane));
    }

    std::uint64_t v_[4] = {kP1 + kP2, kP2, 0, 0 - kP1};
    unsigned char buffer_[32] = {};
    std::size_t buffered_ = 0;
    std::uint64_t length_ = 0;
};

class FdCloser {
public:
    FdCloser(FileIo& io, int fd) : io_(io), fd_(fd) {}
    ~FdCloser() {
        if (fd_ >= 0)
            io_.close(fd_);
    }
    FdCloser(const FdCloser&) = delete;
    FdCloser& operator=(const FdCloser&) = delete;

private:
    FileIo& io_;
    int fd_;
};

ssize_t readSome(FileIo& io, int fd, unsigned char* buffer, std::size_t size) {
    for (;;) {
        const ssize_t n = io.read(fd, buffer, size);
        if (n >= 0 || errno != EINTR)
            return n;
    }
}

} // namespace

std::optional<VolumeSpace> QueryVolumeSpace(const std::string& directory) {
    struct statvfs info {};
    if (::statvfs(directory.c_str(), &info) != 0)
        return std::nullopt;
    VolumeSpace space;
    space.available = std::uint64_t{info.f_bavail} * std::uint64_t{info.f_frsize};
#if defined(__linux__)
    struct statfs type {};
    space.fat = ::statfs(directory.c_str(), &type) == 0 && type.f_type == kMsdosSuperMagic;
#endif
    return space;
}

Result CheckCopyFits(std::uint64_t size, const VolumeSpace& space) {
    if (space.fat && size > kFatMaxFileSize)
        return Result::failure("a FAT file system cannot hold a file of " + std::to_string(size) + " bytes");
    if (size > space.available)
        return Result::failure("not enough free space: " + std::to_string(size) + " bytes needed, " +
                               std::to_string(space.available) + " free");
    return Result::success();
}

CopyResult CopyMediaFile(const std::string& sourceDir, const std::string& name, const std::string& destDir,
                         const CopyProgressCallback& progress, FileIo& io) {
    if (name.empty() || name.find('/') != std::string::npos)
        return failed("invalid file name: " + name);
    const std::string sourcePath = withSeparator(sourceDir) + name;
    const std::string destination = withSeparator(destDir);

    struct stat destInfo {};
    if (::stat(destination.c_str(), &destInfo) != 0 || !S_ISDIR(destInfo.st_mode))
        return failed("not a directory: " + destination);

    const int source = io.open(sourcePath, O_RDONLY | O_CLOEXEC, 0);
    if (source < 0)
        return failedErrno("cannot open", sourcePath);
    FdCloser sourceCloser(io, source);
    struct stat sourceInfo {};
    if (::fstat(source, &sourceInfo) != 0 || !S_ISREG(sourceInfo.st_mode))
        return failed("not a regular file: " + sourcePath);
    const auto size = static_cast<std::uint64_t>(sourceInfo.st_size);

    const std::optional<VolumeSpace> space = QueryVolumeSpace(destination);
    if (!space)
        return failedErrno("cannot query the volume of", destination);
    if (Result fits = CheckCopyFits(size, *space); !fits)
        return failed(fits.reason);

    // On a case-sensitive file system a file of the same name in other letter case would otherwise
    // stay beside the copy; the user agreed to replace it, as a case-insensitive medium does.
    AtomicFileWriter writer(destination + ExistingFileName(destination, name).value_or(name), io);
    if (Result r = writer.open(); !r)
        return failed(r.reason);

    const auto report = [&](const CopyProgress& state) { return !progress || progress(state); };
    CopyProgress state;
    state.total = size;
    std::vector<unsigned char> buffer(kMediaCopyChunkSize);
    StreamHash written;
#if defined(__linux__)
    std::uint64_t windowStart = 0;
#else
    std::uint64_t sinceFlush = 0;
#endif
    for (;;) {
        const ssize_t n = readSome(io, source, buffer.data(), buffer.size());
        if (n < 0)
            return failedErrno("cannot read", sourcePath);
        if (n == 0)
            break;
        const auto count = static_cast<std::uint64_t>(n);
        if (state.copied + count > size)
            return failed("the source grew while it was copied: " + sourcePath);
        written.update(buffer.data(), static_cast<std::size_t>(n));
        if (Result r = writer.write(buffer.data(), static_cast<std::size_t>(n)); !r)
            return failed(r.reason);
        state.copied += count;
#if defined(__linux__)
        // Errors of this writing surface in the flush below, which is what decides.
        if (state.copied - windowStart >= kWritebackWindow) {
            const auto length = static_cast<off64_t>(state.copied - windowStart);
            ::sync_file_range(writer.fd(), static_cast<off64_t>(windowStart), length, SYNC_FILE_RANGE_WRITE);
            if (windowStart > 0)
                ::sync_file_range(writer.fd(), 0, static_cast<off64_t>(windowStart),
                                  SYNC_FILE_RANGE_WAIT_BEFORE | SYNC_FILE_RANGE_WRITE |
                                      SYNC_FILE_RANGE_WAIT_AFTER);
            windowStart = state.copied;
        }
#else
        sinceFlush += count;
        if (sinceFlush >= kFlushInterval) {
            if (Result r = writer.flush(); !r)
                return failed(r.reason);
            sinceFlush = 0;
        }
#endif
        if (!report(state))
            return cancelled();
    }
    if (state.copied != size)
        return failed("the source ended early: " + sourcePath);
    if (Result r = writer.flush(); !r)
        return failed(r.reason);

    // Read back what the medium holds, not what the cache still remembers.
    state.checking = true;
    if (!report(state))
        return cancelled();
    const int check = io.open(writer.tempPath(), O_RDONLY | O_CLOEXEC, 0);
    if (check < 0)
        return failedErrno("cannot reopen", writer.tempPath());
    FdCloser checkCloser(io, check);
    // A file system that keeps its cache anyway is still checked, only less strictly.
    io.dropCache(check);
    StreamHash readBack;
    for (;;) {
        const ssize_t n = readSome(io, check, buffer.data(), buffer.size());
        if (n < 0)
            return failedErrno("cannot read back", writer.tempPath());
        if (n == 0)
            break;
        const auto count = static_cast<std::uint64_t>(n);
        if (state.verified + count > size)
            return failed("the copy is longer than its source: " + writer.tempPath());
        readBack.update(buffer.data(), static_cast<std::size_t>(n));
        state.verified += count;
        if (!report(state))
            return cancelled();
    }
    if (state.verified != size || readBack.digest() != written.digest())
        return failed("the copy read back from the medium differs from its source: " + writer.targetPath());

    if (Result r = writer.commit(); !r)
        return failed(r.reason);
    return {};
}

} // namespace velmo
