#include "single_instance.h"

#include <QDir>
#include <QLockFile>
#include <QStandardPaths>

namespace velmo {

namespace {
const QString kLockFileName = QStringLiteral("velmo-schedule-generator.lock");
}

QString SingleInstanceLock::defaultDirectory() {
    QString directory = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
    if (directory.isEmpty())
        directory = QDir::tempPath();
    return directory;
}

SingleInstanceLock::SingleInstanceLock(const QString& directory)
    : path_(QDir(directory.isEmpty() ? defaultDirectory() : directory).filePath(kLockFileName)),
      lock_(std::make_unique<QLockFile>(path_)) {
    // Only a lock whose process has gone counts as stale, however long the editor has been open.
    lock_->setStaleLockTime(0);
}

SingleInstanceLock::~SingleInstanceLock() = default;

bool SingleInstanceLock::tryLock() {
    if (lock_->isLocked() || lock_->tryLock(0))
        return true;
    // Only another running instance is a reason to refuse; a lock that cannot even be created
    // (no such directory, no permission) must not keep the editor from starting.
    return lock_->error() != QLockFile::LockFailedError;
}

} // namespace velmo
