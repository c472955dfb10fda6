#include "single_instance.h"

#include "model/file_io.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLocalServer>
#include <QLocalSocket>
#include <QStandardPaths>

// The lock itself is single_instance_win.cpp's on Windows; the hand-over below serves both.
#ifndef _WIN32
#include <cerrno>
#include <fcntl.h>
#include <string>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace velmo {

#ifndef _WIN32

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
    if (::flock(fd, LOCK_EX | LOCK_NB) == 0 &&
        FileIo::system().writeAll(fd, (pid + "\n").data(), pid.size() + 1)) {
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
#endif

// ---------------------------------------------------------------------------------------------
// Hand-over from a second start

namespace {

const QByteArray kHandOverGreeting = "velmo-schedule-generator 1\n";
const QByteArray kOpenWord = "open ";
const QByteArray kRaiseWord = "raise";
const QByteArray kReceipt = "ok\n";
// Far above any path; a peer that sends more is no start of this program.
constexpr qint64 kMaxRequest = 64 * 1024;

} // namespace

InstanceHandOver::InstanceHandOver(const QString& directory, QObject* parent)
    : QObject(parent), directory_(directory) {}

InstanceHandOver::~InstanceHandOver() = default;

QString InstanceHandOver::serverName(const QString& directory) {
#ifdef _WIN32
    // Named pipes live in one namespace per machine; the user's name keeps users apart.
    Q_UNUSED(directory)
    return QStringLiteral("velmo-schedule-generator-") + qEnvironmentVariable("USERNAME");
#else
    return directory.isEmpty() ? QString()
                               : QDir(directory).filePath(QStringLiteral("velmo-schedule-generator.socket"));
#endif
}

bool InstanceHandOver::listen() {
    const QString name = serverName(directory_);
    if (name.isEmpty())
        return false;
    delete server_;
    server_ = new QLocalServer(this);
    server_->setSocketOptions(QLocalServer::UserAccessOption);
    // Only the lock's holder gets here, so a socket under the name is a crashed run's.
    QLocalServer::removeServer(name);
    if (!server_->listen(name))
        return false;
    connect(server_, &QLocalServer::newConnection, this, &InstanceHandOver::accept);
    return true;
}

void InstanceHandOver::accept() {
    while (QLocalSocket* socket = server_->nextPendingConnection()) {
        connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
        connect(socket, &QLocalSocket::readyRead, this, [this, socket] { read(socket); });
        read(socket);
    }
}

void InstanceHandOver::read(QLocalSocket* socket) {
    if (socket->bytesAvailable() > kMaxRequest) {
        socket->abort();
        return;
    }
    // One request: the greeting, then one line.
    const QByteArray pending = socket->peek(kMaxRequest);
    const qsizetype end = pending.indexOf('\n', kHandOverGreeting.size());
    if (!pending.startsWith(kHandOverGreeting.left(pending.size())) ||
        (end < 0 && pending.size() >= kMaxRequest)) {
        socket->abort();
        return;
    }
    if (!pending.startsWith(kHandOverGreeting) || end < 0)
        return; // more to come
    socket->read(end + 1);
    const QByteArray request = pending.mid(kHandOverGreeting.size(), end - kHandOverGreeting.size());
    if (request == kRaiseWord) {
        QMetaObject::invokeMethod(this, &InstanceHandOver::raiseRequested, Qt::QueuedConnection);
    } else if (request.startsWith(kOpenWord) && request.size() > kOpenWord.size()) {
        const QString file =
            QString::fromUtf8(QByteArray::fromPercentEncoding(request.mid(kOpenWord.size())));
        // Answered before it is opened: opening may first ask about unsaved changes.
        QMetaObject::invokeMethod(
            this, [this, file] { emit openRequested(file); }, Qt::QueuedConnection);
    } else {
        socket->abort();
        return;
    }
    socket->write(kReceipt);
    socket->flush();
}

bool InstanceHandOver::send(const QString& directory, const QString& file, int timeoutMs) {
    const QString name = serverName(directory);
    if (name.isEmpty())
        return false;
    QLocalSocket socket;
    socket.connectToServer(name);
    if (!socket.waitForConnected(timeoutMs))
        return false;
    // Percent-encoded: a file name may hold a line end.
    socket.write(kHandOverGreeting +
                 (file.isEmpty() ? kRaiseWord : kOpenWord + file.toUtf8().toPercentEncoding()) + '\n');
    if (!socket.waitForBytesWritten(timeoutMs))
        return false;
    QByteArray answer;
    while (answer.size() < kReceipt.size() && socket.waitForReadyRead(timeoutMs))
        answer += socket.readAll();
    return answer.startsWith(kReceipt);
}

} // namespace velmo
