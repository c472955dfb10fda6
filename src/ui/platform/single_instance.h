#pragma once

#include <QString>

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

} // namespace velmo
