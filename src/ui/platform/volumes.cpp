#include "volumes.h"

#include "off_thread.h"
#include "ui_text.h"

#include <QDir>
#include <QLabel>
#include <QStorageInfo>

#ifdef __linux__
#include <mntent.h>
#include <sys/statvfs.h>
#endif

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
    const auto add = [&result](const QString& rootPath, const QByteArray& type) {
        if (isPseudoFileSystem(type))
            return;
        const QString mountPoint = QDir::toNativeSeparators(rootPath);
        // A mount point mounted over again is one drive, the one on top.
        for (Volume& volume : result)
            if (volume.mountPoint == mountPoint) {
                volume.fileSystemType = QString::fromLatin1(type);
                return;
            }
#ifdef _WIN32
        const bool removable =
            GetDriveTypeW(reinterpret_cast<const wchar_t*>(mountPoint.utf16())) == DRIVE_REMOVABLE;
#else
        const bool removable = mountPoint.startsWith(QStringLiteral("/media/")) ||
                               mountPoint.startsWith(QStringLiteral("/run/media/"));
#endif
        result.push_back({mountPoint, QString::fromLatin1(type), removable});
    };
#ifdef __linux__
    // The mount table only: QStorageInfo asks every volume for its size, and one that does not
    // answer would hold up the whole list.
    if (FILE* table = ::setmntent("/proc/self/mounts", "r")) {
        while (const mntent* mount = ::getmntent(table))
            add(QString::fromLocal8Bit(mount->mnt_dir), QByteArray(mount->mnt_type));
        ::endmntent(table);
        return result;
    }
#endif
    for (const QStorageInfo& info : QStorageInfo::mountedVolumes()) {
#ifdef _WIN32
        // An empty card reader or a disconnected network drive is no place to write to.
        if (!info.isValid() || !info.isReady())
            continue;
#endif
        add(info.rootPath(), info.fileSystemType());
    }
#ifdef _WIN32
    // Drive letters, removable drives (the player's stick or card) first, each group in letter order.
    std::stable_sort(result.begin(), result.end(),
                     [](const Volume& a, const Volume& b) { return a.removable && !b.removable; });
#endif
    return result;
}

bool SystemVolumeList::isReady(const QString& mountPoint) {
    QStorageInfo info(mountPoint);
    return info.isValid() && info.isReady() && QDir(mountPoint).isReadable();
}

void ShowNotAnswering(QLabel* label, const ScreenTexts& texts, const QStringList& notAnswering) {
    label->setText(
        screenText(texts, TextId::TextDrivesNotAnswering).arg(notAnswering.join(QStringLiteral(", "))));
    label->setVisible(!notAnswering.isEmpty());
}

QString FirstRemovableMedium(const VolumeScan& scan) {
    for (const Volume& volume : scan.listed)
        if (volume.removable && scan.ready.contains(volume.mountPoint))
            return volume.mountPoint;
    return {};
}

VolumeScanner::~VolumeScanner() = default;

void VolumeScanner::ask(std::function<bool(VolumeList&)> call,
                        std::function<void(std::optional<bool>)> done) {
    // Not waited for: a worker still asking a drive that hangs is left to end by itself (the list
    // outlives the windows), and its answer reaches no scanner once this one is gone.
    auto& requests = *asking_.emplace_back(std::make_unique<BackgroundRequests>(this));
    requests.startWithin<bool>(
        kVolumeAnswerTime,
        [list = &list_, call = std::move(call)](const BackgroundRequests::Unwanted& unwanted) {
            // A worker that starts only once its scanner is gone leaves the list alone: it may be
            // gone too.
            return !unwanted && call(*list);
        },
        std::move(done));
}

void VolumeScanner::askReady(const QString& mountPoint, std::function<void(std::optional<bool>)> done) {
    ask([mountPoint](VolumeList& list) { return list.isReady(mountPoint); }, std::move(done));
}

void VolumeScanner::start() {
    // The answers of an earlier scan, and of drives asked since, are no longer wanted.
    asking_.clear();
    scan_ = {};
    asked_.clear();
    answers_.clear();
    pending_ = 1;
    auto listed = std::make_shared<std::vector<Volume>>();
    ask(
        [listed](VolumeList& list) {
            *listed = list.volumes();
            return true;
        },
        [this, listed](std::optional<bool> answer) {
            // Without the mount table there is nothing to offer; the worker may still be writing it.
            if (answer)
                asked_ = *listed;
            answers_.assign(asked_.size(), std::nullopt);
            pending_ = static_cast<int>(asked_.size());
            if (pending_ == 0) {
                emit finished();
                return;
            }
            for (std::size_t i = 0; i < asked_.size(); ++i)
                askReady(asked_[i].mountPoint, [this, i](std::optional<bool> ready) { answered(i, ready); });
        });
}

void VolumeScanner::answered(std::size_t index, std::optional<bool> ready) {
    answers_[index] = ready;
    if (!ready)
        scan_.notAnswering << asked_[index].mountPoint;
    if (--pending_ > 0)
        return;
    for (std::size_t i = 0; i < asked_.size(); ++i) {
        if (!answers_[i])
            continue;
        scan_.listed.push_back(asked_[i]);
        if (*answers_[i])
            scan_.ready << asked_[i].mountPoint;
    }
    scan_.notAnswering.sort();
    emit finished();
}

} // namespace velmo
