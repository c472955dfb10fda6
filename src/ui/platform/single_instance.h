#pragma once

#include <QString>
#include <memory>

class QLockFile;

namespace velmo {

// One running editor per user: a lock file in the per-user runtime directory (the temporary
// directory when there is none). The lock of a run that crashed is taken over.
class SingleInstanceLock {
    Q_DISABLE_COPY_MOVE(SingleInstanceLock)
public:
    // directory empty: the per-user runtime directory.
    explicit SingleInstanceLock(const QString& directory = QString());
    ~SingleInstanceLock();

    // False only when another running instance holds the lock.
    bool tryLock();
    QString path() const { return path_; }

    static QString defaultDirectory();

private:
    QString path_;
    std::unique_ptr<QLockFile> lock_;
};

} // namespace velmo
