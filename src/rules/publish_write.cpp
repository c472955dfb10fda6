#include "publish.h"

#include "entry_rules.h"
#include "model/file_system.h"
#include "model/media_copy.h"
#include "model/safe_file.h"
#include "model/schedule_file.h"
#include "publish_detail.h"

#include <cerrno>
#include <chrono>
#include <fcntl.h>
#include <set>
#include <sys/file.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

namespace velmo {

using namespace publish_detail;

namespace {

constexpr char kLockFileName[] = ".velmo-publish.lock";

// One media file onto the medium under its stored name, with the source's modification time so the
// next publish can tell it is there already. The copy replaces a file of that name in other letter
// case in place; the rename after it leaves the one file under the stored name.
CopyResult copyItem(const PublishItem& item, const std::string& destination,
                    const CopyProgressCallback& progress, FileIo& io, const ScreenTexts& texts) {
    CopyOptions options;
    options.keepModificationTime = true;
    options.mayRemoveOldFirst = item.removeFirst;
    options.refuseLinks = true;
    // One flush of the directory after all media files, instead of two for each.
    options.leaveDirectoryFlush = true;
    CopyResult result = CopyMediaFileTo(item.sourcePath(), destination, item.name, options, progress, io);
    if (!result || item.mediumName.empty() || item.mediumName == item.name)
        return result;
    const std::string landed = destination + item.mediumName;
    const std::string target = destination + item.name;
    if (mediumFile(landed) && io.rename(landed, target) != 0) {
        result.ok = false;
        result.reason = FillIn(texts.text(TextId::MsgWriteCannotRename), {landed, item.name, errnoText()});
    }
    return result;
}

class Descriptor {
public:
    explicit Descriptor(int fd = -1) : fd_(fd) {}
    ~Descriptor() {
        if (fd_ >= 0)
            ::close(fd_);
    }
    Descriptor(const Descriptor&) = delete;
    Descriptor& operator=(const Descriptor&) = delete;
    int get() const { return fd_; }
    void reset(int fd) {
        if (fd_ >= 0)
            ::close(fd_);
        fd_ = fd;
    }

private:
    int fd_;
};

// One publish at a time per medium: an flock on a lock file in the destination, held for the whole
// write. The lock dies with its process, so a file left by a killed publish is simply taken over.
class MediumLock {
public:
    MediumLock(int dirFd, std::string shownDir) : dirFd_(dirFd), shownDir_(std::move(shownDir)) {}
    ~MediumLock() {
        // Removed while still held, so a waiting publish never locks a file that is no longer there
        // unnoticed (it checks the name still leads to the file it locked).
        if (fd_.get() >= 0)
            ::unlinkat(dirFd_, kLockFileName, 0);
    }
    MediumLock(const MediumLock&) = delete;
    MediumLock& operator=(const MediumLock&) = delete;

    Result take(int waitMs, const ScreenTexts& texts) {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(waitMs);
        for (;;) {
            const int fd =
                ::openat(dirFd_, kLockFileName, O_RDWR | O_CREAT | O_NOFOLLOW | O_CLOEXEC | O_NONBLOCK, 0644);
            if (fd < 0)
                return Result::failure(
                    FillIn(texts.text(TextId::MsgWriteCannotLock), {shownDir_ + kLockFileName, errnoText()}));
            fd_.reset(fd);
            if (::flock(fd, LOCK_EX | LOCK_NB) == 0) {
                struct stat held {
                }, named{};
                if (::fstat(fd, &held) == 0 &&
                    ::fstatat(dirFd_, kLockFileName, &named, AT_SYMLINK_NOFOLLOW) == 0 &&
                    held.st_dev == named.st_dev && held.st_ino == named.st_ino)
                    return Result::success();
            } else if (errno != EWOULDBLOCK) {
                // A file system without locks: nothing to wait for.
                return Result::success();
            }
            fd_.reset(-1);
            if (std::chrono::steady_clock::now() >= deadline)
                return Result::failure(FillIn(texts.text(TextId::MsgWriteAnotherRunning), {shownDir_}));
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
        }
    }

private:
    int dirFd_;
    std::string shownDir_;
    Descriptor fd_;
};

// The schedule without any entry naming one of the upper-cased names; an advance entry left without
// files goes too, as the editor never saves one.
Schedule withoutNames(const Schedule& schedule, const std::set<std::string>& names) {
    const auto keep = [&names](const FileEntry& entry) {
        return names.count(UpperCase(StoredNameText(entry))) == 0;
    };
    std::vector<FileEntry> basic;
    for (int i = 0; i < schedule.basicCount && i < static_cast<int>(schedule.basicEntries.size()); ++i)
        if (keep(schedule.basicEntries[static_cast<std::size_t>(i)]))
            basic.push_back(schedule.basicEntries[static_cast<std::size_t>(i)]);
    std::vector<AdvanceEntry> advance;
    for (int i = 0; i < schedule.advanceCount && i < static_cast<int>(schedule.advanceEntries.size()); ++i) {
        AdvanceEntry entry = schedule.advanceEntries[static_cast<std::size_t>(i)];
        std::vector<FileEntry> files;
        for (int k = 0; k < entry.fileCount && k < static_cast<int>(entry.files.size()); ++k)
            if (keep(entry.files[static_cast<std::size_t>(k)]))
                files.push_back(entry.files[static_cast<std::size_t>(k)]);
        if (files.empty())
            continue;
        SetDetailEntries(entry, std::move(files));
        advance.push_back(std::move(entry));
    }
    return MakeSchedule(std::move(basic), std::move(advance));
}

// Before old copies are removed, the medium's schedule is rewritten without the files, so at no
// moment does it name a file that is gone. `narrowed` gets the names it no longer names.
Result narrowSchedule(const std::string& directory, const std::string& name,
                      const std::set<std::string>& removed, RandomSource& random, FileIo& io,
                      std::vector<std::string>& narrowed, const ScreenTexts& texts) {
    Schedule old;
    if (!mediumFile(directory + name) || !ReadScheduleFile(directory, name, old))
        return Result::success(); // none there, or one the player cannot read either
    const Schedule narrower = withoutNames(old, removed);
    if (narrower == old)
        return Result::success();
    std::vector<std::uint8_t> bytes;
    Result written = EncodeSchedule(narrower, random, bytes);
    if (written)
        written = WriteFileAtomically(directory + name, bytes, io, LinkPolicy::Refuse);
    if (!written)
        return Result::failure(FillIn(texts.text(TextId::MsgWriteCannotNarrow), {written.reason}));
    narrowed.assign(removed.begin(), removed.end());
    return Result::success();
}

bool sameDirectory(const struct stat& a, const struct stat& b) {
    return a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

// The items as they would be carried out; a plan made again under the lock must give the same.
bool sameItems(const PublishPlan& a, const PublishPlan& b) {
    if (a.items.size() != b.items.size() || a.scheduleUnchanged != b.scheduleUnchanged)
        return false;
    for (std::size_t i = 0; i < a.items.size(); ++i) {
        const PublishItem& x = a.items[i];
        const PublishItem& y = b.items[i];
        if (x.name != y.name || x.action != y.action || x.sourcePath() != y.sourcePath() ||
            x.size != y.size || x.mediumName != y.mediumName || x.removeFirst != y.removeFirst)
            return false;
    }
    return true;
}

// Reasons name the destination the user gave, not the path the write used to reach it.
std::string shown(std::string text, const std::string& workDir, const std::string& destination) {
    if (workDir == destination)
        return text;
    for (std::size_t at = text.find(workDir); at != std::string::npos; at = text.find(workDir, at))
        text.replace(at, workDir.size(), destination), at += destination.size();
    const std::string bare = workDir.substr(0, workDir.size() - 1);
    for (std::size_t at = text.find(bare); at != std::string::npos; at = text.find(bare, at))
        text.replace(at, bare.size(), destination), at += destination.size();
    return text;
}

// One write carried out: the destination opened once, the lock, the media files, the schedule
// file, the removals; each step reports its failures and says whether the write goes on.
class PublishWrite {
public:
    PublishWrite(const PublishPlan& plan, const Schedule& schedule, RandomSource& random,
                 const PublishProgressCallback& progress, FileIo& io, const ScreenTexts& texts)
        : plan_(plan), schedule_(schedule), random_(random), progress_(progress), io_(io), texts_(texts) {}

    PublishReport run();

private:
    // The directory is opened once and everything is done inside it: a medium unmounted part way
    // cannot turn the rest of the write into files in the bare mount point on another disk.
    bool openDestination();

    // Another write may have changed the medium between the plan and the lock.
    bool planStillHolds();

    // Media files first: until the schedule file is replaced, the medium's old schedule is the one
    // the player reads, and every file it names stays in place.
    bool writeMediaFiles();

    bool writeMediaFile(const PublishItem& item);

    bool narrowSchedule();

    // Then the schedule, whole or not at all.
    bool writeSchedule();

    // Only now may files the new schedule no longer names go; a read-only one stays.
    void removeUnnamed();

    bool stillThere() {
        struct stat now {};
        if (::stat(plan_.destination.c_str(), &now) == 0 && sameDirectory(now, opened_))
            return true;
        fail(plan_.destination, texts_.text(TextId::MsgWriteDestinationGone));
        return false;
    }

    void fail(const std::string& name, const std::string& reason) {
        report_.failures.push_back({name, shown(reason, workDir_, plan_.destination)});
    }

    bool tell(const std::string& name) {
        state_.name = name;
        return !progress_ || progress_(state_);
    }

    const PublishPlan& plan_;
    const Schedule& schedule_;
    RandomSource& random_;
    const PublishProgressCallback& progress_;
    FileIo& io_;
    const ScreenTexts& texts_;
    Descriptor dir_;
    struct stat opened_ {};
    std::string workDir_;
    PublishReport report_;
    PublishProgress state_;
    std::uint64_t scheduleBytes_ = 0;
    bool narrowed_ = false;
};

PublishReport PublishWrite::run() {
    if (plan_.refusal) {
        report_.failures.push_back({plan_.destination, *plan_.refusal});
        return report_;
    }
    if (!openDestination())
        return report_;
    MediumLock lock(dir_.get(), plan_.destination);
    if (Result locked = lock.take(plan_.options.lockWaitMs, texts_); !locked) {
        fail(plan_.destination, locked.reason);
        return report_;
    }
    if (!planStillHolds())
        return report_;
    // Leftovers of a killed publish go even when nothing needs copying this time.
    RemoveStaleTemporaryFiles(workDir_, io_);
    scheduleBytes_ = plan_.scheduleUnchanged ? 0 : scheduleFileBound(schedule_);
    state_.total = plan_.bytesToWrite + scheduleBytes_;
    if (!writeMediaFiles() || !stillThere() || !writeSchedule())
        return report_;
    removeUnnamed();
    stillThere();
    return report_;
}

bool PublishWrite::openDestination() {
#ifdef _WIN32
    // Only the compat open gives a handle on a directory.
    dir_.reset(::velmo_open(plan_.destination.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC, 0));
#else
    dir_.reset(::open(plan_.destination.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
#endif
    if (dir_.get() < 0 || ::fstat(dir_.get(), &opened_) != 0) {
        report_.failures.push_back(
            {plan_.destination, FillIn(texts_.text(TextId::MsgWriteCannotOpenDestination), {errnoText()})});
        return false;
    }
    // Paths through the descriptor reach the opened directory whatever happens to the mount point.
    workDir_ = "/proc/self/fd/" + std::to_string(dir_.get()) + "/";
    struct stat viaProc {};
    if (::stat(workDir_.c_str(), &viaProc) != 0 || !sameDirectory(viaProc, opened_))
        workDir_ = plan_.destination;
    return true;
}

bool PublishWrite::planStillHolds() {
    const PublishPlan again =
        PlanPublish(schedule_, plan_.mediaDirs, workDir_, plan_.scheduleName, plan_.options, texts_);
    if (again.refusal) {
        fail(plan_.destination, *again.refusal);
        return false;
    }
    if (!sameItems(plan_, again)) {
        fail(plan_.destination, texts_.text(TextId::MsgWriteMediumChanged));
        return false;
    }
    return true;
}

bool PublishWrite::writeMediaFiles() {
    bool stopped = false;
    for (const PublishItem& item : plan_.items) {
        switch (item.action) {
        case PublishAction::Keep:
            report_.kept.push_back(item.name);
            continue;
        case PublishAction::Missing:
            report_.missing.push_back(item.name);
            continue;
        case PublishAction::Remove:
        case PublishAction::Fail:
            continue;
        case PublishAction::Copy:
        case PublishAction::Replace:
            break;
        }
        if (!writeMediaFile(item)) {
            stopped = true;
            break;
        }
    }
    // The renames above reach the medium before the schedule's rename can overtake them.
    if (!report_.copied.empty() || !report_.replaced.empty()) {
        if (Result flushed = FlushDirectory(workDir_, io_); !flushed) {
            fail(plan_.destination, flushed.reason);
            stopped = true;
        }
    }
    return !stopped;
}

bool PublishWrite::writeMediaFile(const PublishItem& item) {
    if (!tell(item.name)) {
        report_.cancelled = true;
        return false;
    }
    if (item.removeFirst && !narrowed_ && !narrowSchedule())
        return false;
    const std::uint64_t before = state_.done;
    const CopyResult copied = copyItem(
        item, workDir_,
        [&](const CopyProgress& file) {
            state_.done =
                before + static_cast<std::uint64_t>(file.fraction() * static_cast<double>(file.total));
            state_.checking = file.checking;
            return tell(item.name);
        },
        io_, texts_);
    if (copied.cancelled) {
        report_.cancelled = true;
        return false;
    }
    if (!copied) {
        fail(item.name, copied.reason);
        return false;
    }
    state_.done = before + item.size;
    state_.checking = false;
    (item.action == PublishAction::Copy ? report_.copied : report_.replaced).push_back(item.name);
    return true;
}

bool PublishWrite::narrowSchedule() {
    std::set<std::string> removed;
    for (const std::string& name : plan_.removeFirstNames())
        removed.insert(UpperCase(name));
    if (Result narrowed = velmo::narrowSchedule(workDir_, plan_.scheduleName, removed, random_, io_,
                                                report_.scheduleNarrowed, texts_);
        !narrowed) {
        fail(plan_.scheduleName, narrowed.reason);
        return false;
    }
    narrowed_ = true;
    return true;
}

bool PublishWrite::writeSchedule() {
    if (plan_.scheduleUnchanged) {
        report_.scheduleUnchanged = true;
        return true;
    }
    if (!tell(plan_.scheduleName)) {
        report_.cancelled = true;
        return false;
    }
    std::vector<std::uint8_t> bytes;
    Result written = EncodeSchedule(schedule_, random_, bytes);
    if (written)
        written = WriteFileAtomically(workDir_ + plan_.scheduleName, bytes, io_, LinkPolicy::Refuse);
    if (!written) {
        fail(plan_.scheduleName, written.reason);
        return false;
    }
    report_.scheduleWritten = true;
    report_.scheduleNarrowed.clear();
    state_.done += scheduleBytes_;
    tell(plan_.scheduleName);
    return true;
}

void PublishWrite::removeUnnamed() {
    for (const PublishItem& item : plan_.items) {
        if (item.action != PublishAction::Remove)
            continue;
        if (DeleteFileInDir(workDir_, item.mediumName))
            report_.removed.push_back(item.name);
        else
            fail(item.name, FillIn(texts_.text(TextId::MsgWriteCannotRemove), {errnoText()}));
    }
}

} // namespace

PublishReport CarryOutPublish(const PublishPlan& plan, const Schedule& schedule, RandomSource& random,
                              const PublishProgressCallback& progress, FileIo& io, const ScreenTexts& texts) {
    return PublishWrite(plan, schedule, random, progress, io, texts).run();
}

std::vector<std::string> PublishReportLines(const PublishReport& report) {
    std::vector<std::string> lines;
    for (const PublishFailure& failure : report.failures)
        lines.push_back(failure.name + ": " + failure.reason);
    std::string summary = std::to_string(report.copied.size()) + " copied, " +
                          std::to_string(report.replaced.size()) + " replaced, " +
                          std::to_string(report.kept.size()) + " kept, " +
                          std::to_string(report.removed.size()) + " removed, " +
                          std::to_string(report.missing.size()) + " missing";
    std::string old = "the schedule file on the medium is the old one";
    if (!report.scheduleNarrowed.empty()) {
        old = "the schedule file on the medium is the old one without ";
        for (std::size_t i = 0; i < report.scheduleNarrowed.size(); ++i)
            old += (i == 0 ? "" : ", ") + report.scheduleNarrowed[i];
        old += " until the write is repeated";
    }
    if (report.cancelled)
        summary += "; cancelled, " + old;
    else if (report.scheduleWritten)
        summary += "; schedule file written";
    else if (report.scheduleUnchanged)
        summary += "; schedule file unchanged";
    else
        summary += "; " + old;
    if (!report.missing.empty() && (report.scheduleWritten || report.scheduleUnchanged))
        summary += ", naming " + std::to_string(report.missing.size()) + " missing file" +
                   (report.missing.size() == 1 ? "" : "s");
    lines.push_back(summary);
    return lines;
}

} // namespace velmo
