#ifndef _WIN32
#include "single_instance.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>

#include <cerrno>
#include <fcntl.h>
#include <string>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace velmo {

namespace {

const QString kLockFileName = QStringLiteral("velmo-schedule-generator.lock");

// Ours, and no one else can add or replace a file in it.
bool isPrivateDirectory(const QString& directory) {
    struct stat info {};
    return !directory.isEmpty() && QDir::isAbsolutePath(directory) &&
           ::stat(QFile::encodeName(directory).constData(), &info) == 0 && S_ISDIR(info.st_mode) &&
           info.st_uid == ::geteuid() && (info.st_mode & (S_IWGRP | S_IWOTH)) == 0;
}

bool sameFile(const struct stat& a, const struct stat& b) {
    return a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

bool writeAll(int fd, const std::string& text) {
    std::size_t done = 0;
    while (done < text.size()) {
        const ssize_t n = ::write(fd, text.data() + done, text.size() - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        done += static_cast<std::size_t>(n);
    }
    return true;
}

enum class Existing { Running, Removed, Unusable };

// Looks at a lock file that is in the way: held by a running instance, or removed so the caller
// can try again (stale, or not this user's). The stale one is removed while locked, and only if
// its name still names it, so two starts that both found it cannot both take it over.
Existing removeUnlessHeld(const std::string& lock) {
    const int fd = ::open(lock.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    struct stat held {};
    if (fd < 0 || ::fstat(fd, &held) != 0 || !S_ISREG(held.st_mode) || held.st_uid != ::geteuid()) {
        // Gone meanwhile, or nothing a run of this user made (a link, another user's file): never
        // trusted, never left to keep this user's editor from starting.
        if (fd >= 0)
            ::close(fd);
        return fd < 0 && errno == ENOENT                        ? Existing::Removed
               : ::unlink(lock.c_str()) == 0 || errno == ENOENT ? Existing::Removed
                                                                : Existing::Unusable;
    }
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        const int error = errno;
        ::close(fd);
        return error == EWOULDBLOCK ? Existing::Running : Existing::Unusable;
    }
    struct stat named {};
    if (::lstat(lock.c_str(), &named) == 0 && sameFile(named, held))
        ::unlink(lock.c_str());
    ::close(fd);
    return Existing::Removed;
}

} // namespace

QString SingleInstanceLock::defaultDirectory() {
    const QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
    if (isPrivateDirectory(runtime))
        return runtime;
    const QString data = QStandardPaths::writableLocation(QStandardPaths::AppLocalDataLocation);
    if (data.isEmpty() || !QDir().mkpath(QFileInfo(data).absolutePath()))
        return {};
    ::mkdir(QFile::encodeName(data).constData(), 0700);
    return isPrivateDirectory(data) ? data : QString();
}

SingleInstanceLock::SingleInstanceLock(const QString& directory)
    : directory_(directory.isEmpty() ? defaultDirectory() : directory),
      path_(directory_.isEmpty() ? QString() : QDir(directory_).filePath(kLockFileName)) {}

SingleInstanceLock::~SingleInstanceLock() {
    if (fd_ < 0)
        return;
    const QByteArray lock = QFile::encodeName(path_);
    struct stat mine {};
    struct stat named {};
    if (::fstat(fd_, &mine) == 0 && ::lstat(lock.constData(), &named) == 0 && sameFile(mine, named))
        ::unlink(lock.constData());
    ::close(fd_);
}

bool SingleInstanceLock::tryLock() {
    if (fd_ >= 0)
        return true;
    if (!isPrivateDirectory(directory_))
        return true;
    const std::string lock = QFile::encodeName(path_).toStdString();
    const std::string pid = std::to_string(::getpid());
    const std::string temp =
        QFile::encodeName(
            QDir(directory_).filePath(QStringLiteral(".") + kLockFileName + QStringLiteral(".")))
            .toStdString() +
        pid;
    // Made whole and locked under a name of its own, then given the lock's name in one step, so
    // no one ever sees a lock half-written or unlocked.
    ::unlink(temp.c_str());
    const int fd = ::open(temp.c_str(), O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (fd < 0)
        return true;
    bool running = false;
    if (::flock(fd, LOCK_EX | LOCK_NB) == 0 && writeAll(fd, pid + "\n")) {
        for (int attempt = 0; attempt < 8; ++attempt) {
            if (::link(temp.c_str(), lock.c_str()) == 0) {
                fd_ = fd;
                break;
            }
            if (errno != EEXIST)
                break;
            const Existing existing = removeUnlessHeld(lock);
            if (existing != Existing::Removed) {
                running = existing == Existing::Running;
                break;
            }
        }
    }
    ::unlink(temp.c_str());
    if (fd_ != fd)
        ::close(fd);
    return !running;
}

} // namespace velmo
#endif
