#pragma once

#include <QObject>
#include <QString>

class QLocalServer;
class QLocalSocket;

namespace velmo {

// One running editor per user: a lock file in a directory only this user can write (the runtime
// directory, or the per-user data directory when there is none; never a shared one). The holder
// keeps the file locked (flock) for its whole run, so the lock of a run that ended in any way, an
// empty or half-made one included, is free and taken over.
class SingleInstanceLock {
    Q_DISABLE_COPY_MOVE(SingleInstanceLock)
public:
    // directory empty: the default directory below.
    explicit SingleInstanceLock(const QString& directory = QString());
    ~SingleInstanceLock();

    // False only when another running instance holds the lock. Where no lock can be kept (no private
    // directory, a file system without locks), the editor starts unguarded rather than not at all.
    bool tryLock();
    QString path() const { return path_; }
    // Where the lock lives; empty when no private directory was found.
    QString directory() const { return directory_; }

    // The runtime directory when it is this user's own, else the per-user data directory (made if
    // need be); empty when neither is.
    static QString defaultDirectory();

private:
    QString directory_;
    QString path_;
    int fd_ = -1;
#ifdef _WIN32
    void* mutex_ = nullptr;
#endif
};

// How a second start reaches the running editor: a local socket beside the lock, which only the
// lock's holder listens on. A second start hands over the file it was asked to open, or only asks
// the running editor to come forward.
class InstanceHandOver final : public QObject {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(InstanceHandOver)
public:
    // `directory`: the lock's; empty leaves the hand-over off.
    explicit InstanceHandOver(const QString& directory, QObject* parent = nullptr);
    ~InstanceHandOver() override;

    // The lock's holder starts listening, replacing a socket a crashed run left. False when it cannot.
    bool listen();
    // A second start: hands `file` (absolute; empty for "come forward") to the holder and waits for
    // its receipt. False when no running editor took it.
    static bool send(const QString& directory, const QString& file, int timeoutMs = 5000);

    // The socket's name for a lock directory.
    static QString serverName(const QString& directory);

signals:
    void raiseRequested();
    void openRequested(const QString& file);

private:
    void accept();
    void read(QLocalSocket* socket);

    QString directory_;
    QLocalServer* server_ = nullptr;
};

} // namespace velmo
