#include "safe_file.h"

#include "file_system.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <random>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace velmo {

namespace {

// The directory a file is in, as a path to open: "." for a bare name, and without the final
// separator except at a root ("/", "C:\").
std::string directoryOf(const std::string& path) {
    std::string directory = PathDirectory(path);
    if (directory.empty())
        return ".";
    const bool root = directory.size() == 1 || (directory.size() == 3 && directory[1] == ':');
    if (!root)
        directory.pop_back();
    return directory;
}

Result systemFailure(const std::string& what, const std::string& path) {
    const int error = errno;
    return Result::failure(what + " " + path + ": " + std::strerror(error), FailureKindOfErrno(error));
}

// Some file systems cannot flush a directory at all and say so with EINVAL; there is nothing more to do
// on them.
bool syncDirectory(int fd, FileIo& io) {
    return io.fsync(fd) == 0 || errno == EINVAL;
}

// Closes a descriptor that holds no data of ours when it goes out of scope.
class DescriptorGuard {
public:
    DescriptorGuard(int fd, FileIo* io) : fd_(fd), io_(io) {}
    ~DescriptorGuard() {
        if (fd_ < 0)
            return;
        if (io_)
            io_->close(fd_);
        else
            ::close(fd_);
    }
    DescriptorGuard(const DescriptorGuard&) = delete;
    DescriptorGuard& operator=(const DescriptorGuard&) = delete;

private:
    int fd_;
    FileIo* io_;
};

bool isTemporaryOf(const std::string& name, const std::string& prefix) {
    return name.size() > prefix.size() && name.compare(0, prefix.size(), prefix) == 0 &&
           std::all_of(name.begin() + static_cast<std::ptrdiff_t>(prefix.size()), name.end(),
                       [](unsigned char c) { return std::isdigit(c) != 0; });
}

constexpr char kTemporaryMark[] = ".tmp-";

// "." + a target's name + kTemporaryMark + digits, whatever the target.
bool isAnyTemporary(const std::string& name) {
    const auto mark = name.rfind(kTemporaryMark);
    return name.size() > 1 && name[0] == '.' && mark != std::string::npos && mark >= 2 &&
           isTemporaryOf(name, name.substr(0, mark + sizeof kTemporaryMark - 1));
}

// A writer that was killed leaves its temporary file behind. Every live writer holds a lock on its
// temporary file until it is renamed or removed, and the lock dies with the process, so a temporary
// that can be locked belongs to nobody and is removed. Nothing here can fail the write: whatever
// cannot be checked is left alone.
template <typename IsTemporary, typename Found>
void forEachStaleTemporary(const std::string& directory, const IsTemporary& isTemporary, FileIo& io,
                           const Found& found) {
    std::vector<std::string> candidates;
    if (DIR* listing = ::opendir(directory.c_str())) {
        while (const dirent* entry = ::readdir(listing))
            if (isTemporary(entry->d_name))
                candidates.emplace_back(entry->d_name);
        ::closedir(listing);
    }
    for (const std::string& name : candidates) {
        const std::string path = directory + "/" + name;
        const int fd = io.open(path, O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC, 0);
        if (fd < 0)
            continue;
        DescriptorGuard guard(fd, &io);
        struct stat held {
        }, named{};
        if (::fstat(fd, &held) != 0 || !S_ISREG(held.st_mode) || ::flock(fd, LOCK_EX | LOCK_NB) != 0)
            continue;
        // Still the same file under that name, not one renamed away and replaced meanwhile.
        if (::lstat(path.c_str(), &named) == 0 && named.st_dev == held.st_dev && named.st_ino == held.st_ino)
            found(path, held);
    }
}

template <typename IsTemporary>
void removeStaleTemporaries(const std::string& directory, const IsTemporary& isTemporary, FileIo& io) {
    forEachStaleTemporary(directory, isTemporary, io,
                          [&io](const std::string& path, const struct stat&) { io.unlink(path); });
}

} // namespace

void RemoveStaleTemporaryFiles(const std::string& directory, FileIo& io) {
    removeStaleTemporaries(directory, isAnyTemporary, io);
}

std::uint64_t StaleTemporaryBytes(const std::string& directory) {
    std::uint64_t bytes = 0;
    forEachStaleTemporary(directory, isAnyTemporary, FileIo::system(),
                          [&bytes](const std::string&, const struct stat& info) {
                              // Removing a file gives back its blocks only when no other name keeps it.
                              if (info.st_nlink == 1)
                                  bytes += static_cast<std::uint64_t>(info.st_blocks) * 512u;
                          });
    return bytes;
}

Result ResolveWriteTarget(const std::string& path, std::string& resolved) {
    resolved = path;
    // As many links as the kernel itself follows before it gives up with ELOOP.
    for (int hop = 0; hop < 40; ++hop) {
        struct stat info {};
        if (::lstat(resolved.c_str(), &info) != 0) {
            if (errno != ENOENT || resolved == path)
                return Result::success(); // opening reports it, as for any other path
            struct stat directory {};
            if (::stat(directoryOf(resolved).c_str(), &directory) != 0 || !S_ISDIR(directory.st_mode))
                return Result::failure("the link " + path + " points to " + resolved +
                                       ", whose directory does not exist");
            return Result::success();
        }
        if (!S_ISLNK(info.st_mode))
            return Result::success();
        std::string link(static_cast<std::size_t>(info.st_size > 0 ? info.st_size : 255) + 1, '\0');
        const ssize_t length = ::readlink(resolved.c_str(), link.data(), link.size());
        if (length < 0 || static_cast<std::size_t>(length) >= link.size())
            return systemFailure("cannot read the link", resolved);
        link.resize(static_cast<std::size_t>(length));
        resolved = link.front() == '/' ? link : directoryOf(resolved) + "/" + link;
    }
    return Result::failure("too many levels of links: " + path);
}

bool IsReadOnlyFile(const std::string& path) {
    struct stat info {};
    return ::stat(path.c_str(), &info) == 0 && (info.st_mode & S_IWUSR) == 0;
}

Result FlushDirectory(const std::string& directory, FileIo& io) {
    const int fd = io.open(directory, O_RDONLY | O_DIRECTORY | O_CLOEXEC, 0);
    if (fd < 0)
        return systemFailure("cannot open directory", directory);
    const bool flushed = syncDirectory(fd, io);
    const int error = errno;
    io.close(fd);
    errno = error;
    if (!flushed)
        return systemFailure("cannot flush directory", directory);
    return Result::success();
}

AtomicFileWriter::AtomicFileWriter(std::string targetPath, FileIo& io)
    : requestedPath_(std::move(targetPath)), targetPath_(requestedPath_), io_(io) {}

AtomicFileWriter::~AtomicFileWriter() {
    if (!committed_)
        abort();
}

Result AtomicFileWriter::open() {
    abort();
    // Replacing a link would leave the file it names, which is the one meant, with its old bytes.
    targetPath_ = requestedPath_;
    if (followLinks_) {
        if (Result r = ResolveWriteTarget(requestedPath_, targetPath_); !r)
            return r;
    }
    struct stat target {};
    const bool targetExists = ::lstat(targetPath_.c_str(), &target) == 0;
    // Never more open than the file it replaces, not even for a moment; a new file gets the usual mode.
    const mode_t createMode = targetExists ? (target.st_mode & 0777) : errno == ENOENT ? 0666 : 0600;
    if (targetExists && !S_ISREG(target.st_mode))
        return Result::failure("not a regular file: " + targetPath_, FailureKind::NotAFile);
    if (targetExists && (target.st_mode & S_IWUSR) == 0)
        return Result::failure("read-only file: " + targetPath_, FailureKind::ReadOnly);

    // A dot name keeps the temporary file out of the program's own file listings.
    const std::string directory = directoryOf(targetPath_);
    // Appended, not "." + std::string: GCC 12 at -O3 reports a false -Wrestrict for that form.
    std::string prefix = ".";
    prefix += PathFileName(targetPath_);
    prefix += ".tmp-";
    // Before the new file takes space, so a disk filled by killed writers gets it back.
    removeStaleTemporaries(
        directory, [&prefix](const std::string& name) { return isTemporaryOf(name, prefix); }, io_);
    std::random_device entropy;
    for (int attempt = 0; attempt < 100; ++attempt) {
        std::string candidate = directory + "/" + prefix + std::to_string(entropy() % 1000000u);
        const int fd = io_.open(candidate, O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, createMode);
        if (fd < 0 && errno != EEXIST)
            return systemFailure("cannot create a file in", directory);
        if (fd < 0)
            continue;
        // Marks the file as in use for removeStaleTemporaries(). If another writer's clean-up holds it,
        // or already removed it between our create and our lock, take another name. A file system
        // without locks gets no clean-up, which is safe.
        struct stat created {};
        const bool locked = ::flock(fd, LOCK_EX | LOCK_NB) == 0;
        if ((!locked && errno == EWOULDBLOCK) ||
            (locked && ::fstat(fd, &created) == 0 && created.st_nlink == 0)) {
            io_.close(fd);
            continue;
        }
        fd_ = fd;
        tempPath_ = std::move(candidate);
        // Gives back what the umask took and the special bits, never more than the target has.
        if (targetExists)
            ::fchmod(fd_, target.st_mode & 07777);
        return Result::success();
    }
    return Result::failure("cannot find a free temporary name in " + directoryOf(targetPath_));
}

Result AtomicFileWriter::write(const void* data, std::size_t size) {
    if (fd_ < 0)
        return Result::failure("not open: " + targetPath_);
    if (!io_.writeAll(fd_, data, size))
        return systemFailure("cannot write", tempPath_);
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
    if (fd_ < 0)
        return Result::failure("not open: " + targetPath_);
    if (!flushed_) {
        if (Result r = flush(); !r)
            return r;
    }
    // Keeps the temporary file locked through the rename, so no other writer's clean-up takes it for a
    // killed writer's leftover once our own descriptor is closed.
    DescriptorGuard lock(::fcntl(fd_, F_DUPFD_CLOEXEC, 0), nullptr);
    const int fd = fd_;
    fd_ = -1;
    if (io_.close(fd) != 0)
        return systemFailure("cannot close", tempPath_);

    const std::string directory = directoryOf(targetPath_);
    if (!flushDirectory_) {
        if (io_.rename(tempPath_, targetPath_) != 0)
            return systemFailure("cannot replace", targetPath_);
        committed_ = true;
        tempPath_.clear();
        return Result::success();
    }

    // The directory is opened and flushed before the rename, so a directory that cannot be flushed
    // fails the save while the target still holds its old bytes.
    const int dirFd = io_.open(directory, O_RDONLY | O_DIRECTORY | O_CLOEXEC, 0);
    if (dirFd < 0)
        return systemFailure("cannot open directory", directory);
    DescriptorGuard dirGuard(dirFd, &io_); // holds no data: a failing close loses nothing
    if (!syncDirectory(dirFd, io_))
        return systemFailure("cannot flush directory", directory);
    if (io_.rename(tempPath_, targetPath_) != 0)
        return systemFailure("cannot replace", targetPath_);
    committed_ = true;
    tempPath_.clear();

    // The rename cannot be undone: renaming the old bytes back would need the same flush that just
    // failed. Every reader already sees the complete new file, and a power loss could at worst bring
    // back the complete old one, never a mixture; but the save is not known to be on the medium, so it
    // is reported as failed, saying what the file holds.
    if (!syncDirectory(dirFd, io_))
        return Result::failure(targetPath_ + " holds the new content, but flushing directory " + directory +
                               " failed (" + std::strerror(errno) +
                               "); after a power loss it could hold the old content");
    return Result::success();
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

Result WriteFileAtomically(const std::string& path, const std::vector<std::uint8_t>& bytes, FileIo& io,
                           LinkPolicy links) {
    AtomicFileWriter writer(path, io);
    if (links == LinkPolicy::Refuse)
        writer.refuseLinks();
    if (Result r = writer.open(); !r)
        return r;
    if (Result r = writer.write(bytes.data(), bytes.size()); !r)
        return r;
    return writer.commit();
}

} // namespace velmo
