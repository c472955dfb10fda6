#include "volumes.h"

#include <QDir>
#include <QStorageInfo>

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
        result.push_back({info.rootPath(), QString::fromLatin1(info.fileSystemType())});
    }
    return result;
}

bool SystemVolumeList::isReady(const QString& mountPoint) {
    QStorageInfo info(mountPoint);
    return info.isValid() && info.isReady() && QDir(mountPoint).isReadable();
}

} // namespace velmo
