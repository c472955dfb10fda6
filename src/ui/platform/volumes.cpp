#include "volumes.h"

#include <QDir>
#include <QStorageInfo>

#ifdef _WIN32
#include <algorithm>
#include <windows.h>
#endif

namespace velmo {

namespace {
bool isPseudoFileSystem(const QByteArray& type) {
    static const QList<QByteArray> pseudo = {"proc",       "sysfs",       "devtmpfs", "devpts",   "cgroup",
                                             "cgroup2",    "pstore",      "bpf",      "tracefs",  "debugfs",
                                             "securityfs", "configfs",    "fusectl",  "mqueue",   "hugetlbfs",
                                             "autofs",     "binfmt_misc", "efivarfs", "squashfs", "nsfs"};
    return pseudo.contains(type);
}
} // namespace

std::vector<Volume> SystemVolumeList::volumes() {
    std::vector<Volume> result;
    for (const QStorageInfo& info : QStorageInfo::mountedVolumes()) {
        if (!info.isValid() || !info.isReady() || isPseudoFileSystem(info.fileSystemType()))
            continue;
        result.push_back(
            {QDir::toNativeSeparators(info.rootPath()), QString::fromLatin1(info.fileSystemType())});
    }
#ifdef _WIN32
    // Drive letters, removable drives (the player's stick or card) first, each group in letter order.
    std::stable_sort(result.begin(), result.end(), [](const Volume& a, const Volume& b) {
        const auto removable = [](const Volume& v) {
            return GetDriveTypeW(reinterpret_cast<const wchar_t*>(v.mountPoint.utf16())) == DRIVE_REMOVABLE;
        };
        return removable(a) && !removable(b);
    });
#endif
    return result;
}

bool SystemVolumeList::isReady(const QString& mountPoint) {
    QStorageInfo info(mountPoint);
    return info.isValid() && info.isReady() && QDir(mountPoint).isReadable();
}

} // namespace velmo
