#ifdef _WIN32
#include "single_instance.h"

#include <QCryptographicHash>
#include <QDir>
#include <QStandardPaths>

#include <windows.h>

namespace velmo {

// One named mutex per user: the name comes from the user's own data directory, so every session
// of that user sees the same one and no other user's. Windows frees it with the last handle, so a
// run that ended in any way leaves nothing to take over.
QString SingleInstanceLock::defaultDirectory() {
    return QStandardPaths::writableLocation(QStandardPaths::AppLocalDataLocation);
}

SingleInstanceLock::SingleInstanceLock(const QString& directory)
    : directory_(directory.isEmpty() ? defaultDirectory() : directory),
      path_(directory_.isEmpty() ? QString()
                                 : QStringLiteral("Global\\VelmoScheduleGenerator-") +
                                       QString::fromLatin1(QCryptographicHash::hash(
                                                               QDir::cleanPath(directory_).toLower().toUtf8(),
                                                               QCryptographicHash::Sha256)
                                                               .toHex()
                                                               .left(32))) {}

SingleInstanceLock::~SingleInstanceLock() {
    if (mutex_ != nullptr)
        CloseHandle(mutex_);
}

bool SingleInstanceLock::tryLock() {
    if (mutex_ != nullptr || path_.isEmpty())
        return true;
    const HANDLE mutex = CreateMutexW(nullptr, FALSE, reinterpret_cast<const wchar_t*>(path_.utf16()));
    const DWORD error = GetLastError();
    if (mutex == nullptr)
        // Another user's object of that name would be refused; only a running editor of ours refuses.
        return error != ERROR_ACCESS_DENIED;
    if (error == ERROR_ALREADY_EXISTS) {
        CloseHandle(mutex);
        return false;
    }
    mutex_ = mutex;
    return true;
}

} // namespace velmo
#endif
