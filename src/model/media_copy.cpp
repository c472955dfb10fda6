#include "media_copy.h"

#include "file_system.h"
#include "safe_file.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <fstream>
#include <functional>
#include <sstream>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <sys/sysmacros.h>
#include <unistd.h>
#include <vector>
#include <xxhash.h>
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
constexpr long kFuseSuperMagic = 0x65735546;

bool sameTimes(const struct stat& a, const struct stat& b) {
    return a.st_size == b.st_size && a.st_mtim.tv_sec == b.st_mtim.tv_sec &&
           a.st_mtim.tv_nsec == b.st_mtim.tv_nsec && a.st_ctim.tv_sec == b.st_ctim.tv_sec &&
           a.st_ctim.tv_nsec == b.st_ctim.tv_nsec;
}

#if defined(__linux__)
// The type the mount table gives the volume of the directory ("vfat", "fuse.fat", ...); empty when
// it cannot be told. The last mount of the device is the one seen.
std::string mountTypeOf(const std::string& directory) {
    struct stat info {};
    if (::stat(directory.c_str(), &info) != 0)
        return {};
    const std::string device = std::to_string(major(info.st_dev)) + ":" + std::to_string(minor(info.st_dev));
    std::ifstream table("/proc/self/mountinfo");
    std::string line, type;
    while (std::getline(table, line)) {
        std::istringstream fields(line);
        std::string id, parent, numbers, field;
        if (!(fields >> id >> parent >> numbers) || numbers != device)
            continue;
        while (fields >> field && field != "-") {
        }
        if (fields >> field)
            type = field;
    }
    return type;
}
#endif

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

// XXH3: fast enough that checking the copy costs no more than reading it back.
class StreamHash {
public:
    StreamHash() : state_(XXH3_createState()) {
        if (state_ != nullptr)
            XXH3_64bits_reset(state_);
    }
    ~StreamHash() { XXH3_freeState(state_); }
    StreamHash(const StreamHash&) = delete;
    StreamHash& operator=(const StreamHash&) = delete;

    bool valid() const { return state_ != nullptr; }
    void update(const unsigned char* data, std::size_t size) { XXH3_64bits_update(state_, data, size); }
    std::uint64_t digest() const { return XXH3_64bits_digest(state_); }

private:
    XXH3_state_t* state_;
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

} // namespace

bool IsFatMountType(const std::string& type) {
    std::string kind = type;
    for (char& c : kind)
        c = static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
    // A FUSE driver names its file system after the dot ("fuse.fat", "fuseblk.vfat").
    if (kind.rfind("fuse", 0) == 0) {
        const auto dot = kind.find('.');
        if (dot == std::string::npos)
            return false;
        kind = kind.substr(dot + 1);
        if (kind.rfind("fuse", 0) == 0)
            kind = kind.substr(4);
    }
    // exFAT has no 4 GiB limit.
    return kind == "vfat" || kind == "msdos" || kind == "fat" || kind == "fat12" || kind == "fat16" ||
           kind == "fat32" || kind == "umsdos";
}

std::optional<VolumeSpace> QueryVolumeSpace(const std::string& directory) {
    struct statvfs info {};
    if (::statvfs(directory.c_str(), &info) != 0)
        return std::nullopt;
    VolumeSpace space;
    space.available = std::uint64_t{info.f_bavail} * std::uint64_t{info.f_frsize};
    // The fragment size is the unit files are given; the preferred transfer size can be far larger.
    if (info.f_frsize > 0 || info.f_bsize > 0)
        space.allocationUnit = info.f_frsize > 0 ? info.f_frsize : info.f_bsize;
    // A volume without block figures says nothing about its space.
    space.availableKnown = info.f_blocks != 0;
#if defined(__linux__)
    struct statfs type {};
    if (::statfs(directory.c_str(), &type) == 0) {
        space.fat = type.f_type == kMsdosSuperMagic;
        if (type.f_type == kFuseSuperMagic) {
            // Some FUSE drivers report no free blocks where they simply do not know.
            if (info.f_bavail == 0)
                space.availableKnown = false;
            space.fat = IsFatMountType(mountTypeOf(directory));
        }
    }
#elif defined(_WIN32)
    space.fat = velmo_volume_is_fat(directory.c_str());
#endif
    return space;
}

std::uint64_t AllocatedSize(std::uint64_t size, const VolumeSpace& space) {
    const std::uint64_t unit = std::max<std::uint64_t>(space.allocationUnit, 1);
    return (size + unit - 1) / unit * unit;
}

Result CheckCopyFits(std::uint64_t size, const VolumeSpace& space) {
    if (space.fat && size > kFatMaxFileSize)
        return Result::failure("a FAT file system cannot hold a file of " + std::to_string(size) + " bytes");
    if (space.availableKnown && size > space.available)
        return Result::failure("not enough free space: " + std::to_string(size) + " bytes needed, " +
                               std::to_string(space.available) + " free");
    return Result::success();
}

bool CopyWouldReplace(const std::string& destDir, const std::string& destName) {
    const std::string destination = WithTrailingSeparator(destDir);
    return ExistingFileName(destination, destName).has_value();
}

CopyResult CopyMediaFile(const std::string& sourceDir, const std::string& name, const std::string& destDir,
                         const CopyProgressCallback& progress, FileIo& io) {
    if (name.empty() || name.find('/') != std::string::npos)
        return failed("invalid file name: " + name);
    return CopyMediaFileTo(WithTrailingSeparator(sourceDir) + name, destDir, name, {}, progress, io);
}

namespace {

using ReportProgress = std::function<bool(const CopyProgress&)>;

// Where the copy goes and whether the old file must make room first. A file of the same name in
// other letter case on a case-sensitive file system would otherwise stay beside the copy; the user
// agreed to replace it, as a case-insensitive medium does.
CopyResult prepareTarget(AtomicFileWriter& writer, const struct stat& sourceInfo, const VolumeSpace& space,
                         const CopyOptions& options, FileIo& io) {
    if (options.leaveDirectoryFlush)
        writer.leaveDirectoryFlush();
    if (options.refuseLinks)
        writer.refuseLinks();
    std::string oldPath = writer.targetPath();
    if (!options.refuseLinks) {
        if (Result r = ResolveWriteTarget(writer.targetPath(), oldPath); !r)
            return failed(r.reason);
    }
    struct stat oldInfo {};
    const bool oldExists = ::lstat(oldPath.c_str(), &oldInfo) == 0 && S_ISREG(oldInfo.st_mode);
    // Replacing the source by itself would read what is being written (or removed).
    if (oldExists && oldInfo.st_dev == sourceInfo.st_dev && oldInfo.st_ino == sourceInfo.st_ino)
        return failed("the destination is the source itself: " + oldPath);

    const auto size = static_cast<std::uint64_t>(sourceInfo.st_size);
    bool removeOldFirst = false;
    if (Result fits = CheckCopyFits(size, space); !fits) {
        // Only the blocks that removing the file gives back count; another name keeps a linked file.
        VolumeSpace withoutOld = space;
        if (oldExists && oldInfo.st_nlink == 1)
            withoutOld.available += static_cast<std::uint64_t>(oldInfo.st_blocks) * 512u;
        if (!options.mayRemoveOldFirst || !oldExists || !CheckCopyFits(size, withoutOld))
            return failed(fits.reason);
        removeOldFirst = true;
    }

    // Checks that the old file may be replaced at all before anything is removed.
    if (Result r = writer.open(); !r)
        return failed(r.reason);
    if (removeOldFirst && io.unlink(writer.targetPath()) != 0)
        return failedErrno("cannot remove", writer.targetPath());
    return {};
}

// Source to temporary file, flushed as it goes so that the progress shown is what reached the medium.
CopyResult writeAll(int source, const std::string& sourcePath, AtomicFileWriter& writer, StreamHash& written,
                    std::vector<unsigned char>& buffer, CopyProgress& state, const ReportProgress& report,
                    FileIo& io) {
#if defined(__linux__)
    std::uint64_t windowStart = 0;
#else
    std::uint64_t sinceFlush = 0;
#endif
    for (;;) {
        const ssize_t n = io.readSome(source, buffer.data(), buffer.size());
        if (n < 0)
            return failedErrno("cannot read", sourcePath);
        if (n == 0)
            break;
        const auto count = static_cast<std::uint64_t>(n);
        if (state.copied + count > state.total)
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
    if (state.copied != state.total)
        return failed("the source ended early: " + sourcePath);
    return {};
}

// Reads back what the medium holds, not what the cache still remembers.
CopyResult checkReadBack(const AtomicFileWriter& writer, std::uint64_t expectedDigest,
                         std::vector<unsigned char>& buffer, CopyProgress& state,
                         const ReportProgress& report, FileIo& io) {
    StreamHash readBack;
    if (!readBack.valid())
        return failed("out of memory for the check of " + writer.targetPath());
    state.checking = true;
    if (!report(state))
        return cancelled();
    const int check = io.open(writer.tempPath(), O_RDONLY | O_CLOEXEC, 0);
    if (check < 0)
        return failedErrno("cannot reopen", writer.tempPath());
    FdCloser checkCloser(io, check);
    // A file system that keeps its cache anyway is still checked, only less strictly.
    io.dropCache(check);
    for (;;) {
        const ssize_t n = io.readSome(check, buffer.data(), buffer.size());
        if (n < 0)
            return failedErrno("cannot read back", writer.tempPath());
        if (n == 0)
            break;
        const auto count = static_cast<std::uint64_t>(n);
        if (state.verified + count > state.total)
            return failed("the copy is longer than its source: " + writer.tempPath());
        readBack.update(buffer.data(), static_cast<std::size_t>(n));
        state.verified += count;
        if (!report(state))
            return cancelled();
    }
    if (state.verified != state.total || readBack.digest() != expectedDigest)
        return failed("the copy read back from the medium differs from its source: " + writer.targetPath());
    return {};
}

} // namespace

CopyResult CopyMediaFileTo(const std::string& sourcePath, const std::string& destDir,
                           const std::string& destName, const CopyOptions& options,
                           const CopyProgressCallback& progress, FileIo& io) {
    if (destName.empty() || destName.find('/') != std::string::npos)
        return failed("invalid file name: " + destName);
    const std::string destination = WithTrailingSeparator(destDir);

    struct stat destInfo {};
    if (::stat(destination.c_str(), &destInfo) != 0 || !S_ISDIR(destInfo.st_mode))
        return failed("not a directory: " + destination);

    // Not blocking, so a FIFO or a device is refused instead of waiting for a writer forever.
    const int source = io.open(sourcePath, O_RDONLY | O_NONBLOCK | O_CLOEXEC, 0);
    if (source < 0)
        return failedErrno("cannot open", sourcePath);
    FdCloser sourceCloser(io, source);
    struct stat sourceInfo {};
    if (::fstat(source, &sourceInfo) != 0)
        return failedErrno("cannot query", sourcePath);
    if (!S_ISREG(sourceInfo.st_mode))
        return failed("not a regular file (a directory, device or pipe): " + sourcePath);

    // Leftovers of killed copies would otherwise count against the space checked next.
    RemoveStaleTemporaryFiles(destination, io);
    const std::optional<VolumeSpace> space = QueryVolumeSpace(destination);
    if (!space)
        return failedErrno("cannot query the volume of", destination);

    AtomicFileWriter writer(destination + ExistingFileName(destination, destName).value_or(destName), io);
    if (CopyResult r = prepareTarget(writer, sourceInfo, *space, options, io); !r)
        return r;

    const ReportProgress report = [&](const CopyProgress& state) { return !progress || progress(state); };
    CopyProgress state;
    state.total = static_cast<std::uint64_t>(sourceInfo.st_size);
    std::vector<unsigned char> buffer(kMediaCopyChunkSize);
    StreamHash written;
    if (!written.valid())
        return failed("out of memory for the check of " + sourcePath);
    if (CopyResult r = writeAll(source, sourcePath, writer, written, buffer, state, report, io); !r)
        return r;
    if (options.keepModificationTime) {
        const struct timespec times[2] = {{0, UTIME_OMIT}, sourceInfo.st_mtim};
        if (::futimens(writer.fd(), times) != 0)
            return failedErrno("cannot set the modification time of", writer.tempPath());
    }
    if (Result r = writer.flush(); !r)
        return failed(r.reason);
    if (CopyResult r = checkReadBack(writer, written.digest(), buffer, state, report, io); !r)
        return r;

    // A source rewritten in place while it was read gives a copy of neither version.
    struct stat sourceAfter {};
    if (::fstat(source, &sourceAfter) != 0 || !sameTimes(sourceInfo, sourceAfter))
        return failed("the source changed while it was copied: " + sourcePath);
    if (Result r = writer.commit(); !r)
        return failed(r.reason);
    return {};
}

bool SameFileContent(const std::string& a, const std::string& b, ContentCompareBuffers& buffers) {
    const int fa = ::open(a.c_str(), O_RDONLY | O_CLOEXEC);
    if (fa < 0)
        return false;
    const int fb = ::open(b.c_str(), O_RDONLY | O_CLOEXEC);
    if (fb < 0) {
        ::close(fa);
        return false;
    }
    std::vector<char>& bufferA = buffers.a;
    std::vector<char>& bufferB = buffers.b;
    bool same = true;
    FileIo& io = FileIo::system();
    for (;;) {
        const ssize_t na = io.readSome(fa, bufferA.data(), bufferA.size());
        if (na < 0) {
            same = false;
            break;
        }
        ssize_t nb = 0;
        while (nb < na) {
            const ssize_t n = io.readSome(fb, bufferB.data() + nb, static_cast<std::size_t>(na - nb));
            if (n <= 0)
                break;
            nb += n;
        }
        if (nb != na || std::memcmp(bufferA.data(), bufferB.data(), static_cast<std::size_t>(na)) != 0) {
            same = false;
            break;
        }
        if (na == 0) {
            char extra;
            same = io.readSome(fb, &extra, 1) == 0;
            break;
        }
    }
    ::close(fa);
    ::close(fb);
    return same;
}

bool SameFileContent(const std::string& a, const std::string& b) {
    ContentCompareBuffers buffers;
    return SameFileContent(a, b, buffers);
}

} // namespace velmo
