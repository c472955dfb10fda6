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
                    const CopyProgressCallback& progress, FileIo& io) {
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
        result.reason = "cannot rename " + landed + " to " + item.name + ": " + errnoText();
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

    Result take(int waitMs) {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(waitMs);
        for (;;) {
            const int fd =
                ::openat(dirFd_, kLockFileName, O_RDWR | O_CREAT | O_NOFOLLOW | O_CLOEXEC | O_NONBLOCK, 0644);
            if (fd < 0)
                return Result::failure("cannot create the lock file " + shownDir_ + kLockFileName + ": " +
                                       errnoText());
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
                return Result::failure("another write to " + shownDir_ +
                                       " is running; try again when it has finished");
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
                      std::vector<std::string>& narrowed) {
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
        return Result::failure("cannot rewrite the medium's schedule without the files to be replaced: " +
                               written.reason);
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

} // namespace

PublishReport CarryOutPublish(const PublishPlan& plan, const Schedule& schedule, RandomSource& random,
                              const PublishProgressCallback& progress, FileIo& io) {
    PublishReport report;
    if (plan.refusal) {
        report.failures.push_back({plan.destination, *plan.refusal});
        return report;
    }
    // The directory is opened once and everything is done inside it: a medium unmounted part way
    // cannot turn the rest of the write into files in the bare mount point on another disk.
#ifdef _WIN32
    // Only the compat open gives a handle on a directory.
    const Descriptor dir(::velmo_open(plan.destination.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC, 0));
#else
    const Descriptor dir(::open(plan.destination.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
#endif
    struct stat opened {};
    if (dir.get() < 0 || ::fstat(dir.get(), &opened) != 0) {
        report.failures.push_back({plan.destination, "cannot open the destination: " + errnoText()});
        return report;
    }
    // Paths through the descriptor reach the opened directory whatever happens to the mount point.
    std::string workDir = "/proc/self/fd/" + std::to_string(dir.get()) + "/";
    struct stat viaProc {};
    if (::stat(workDir.c_str(), &viaProc) != 0 || !sameDirectory(viaProc, opened))
        workDir = plan.destination;
    const auto fail = [&](const std::string& name, const std::string& reason) {
        report.failures.push_back({name, shown(reason, workDir, plan.destination)});
    };
    const auto stillThere = [&] {
        struct stat now {};
        if (::stat(plan.destination.c_str(), &now) == 0 && sameDirectory(now, opened))
            return true;
        fail(plan.destination, "the destination is no longer the directory the write began in (was the "
                               "medium removed or unmounted?); the write is not complete");
        return false;
    };

    MediumLock lock(dir.get(), plan.destination);
    if (Result locked = lock.take(plan.options.lockWaitMs); !locked) {
        fail(plan.destination, locked.reason);
        return report;
    }
    // Another write may have changed the medium between the plan and the lock.
    const PublishPlan again = PlanPublish(schedule, plan.mediaDirs, workDir, plan.scheduleName, plan.options);
    if (again.refusal) {
        fail(plan.destination, *again.refusal);
        return report;
    }
    if (!sameItems(plan, again)) {
        fail(plan.destination, "the medium or the media folders changed since the plan was made; nothing was "
                               "written, plan again");
        return report;
    }

    // Leftovers of a killed publish go even when nothing needs copying this time.
    RemoveStaleTemporaryFiles(workDir, io);
    const std::uint64_t scheduleBytes = plan.scheduleUnchanged ? 0 : scheduleFileBound(schedule);
    PublishProgress state;
    state.total = plan.bytesToWrite + scheduleBytes;
    const auto tell = [&](const std::string& name) {
        state.name = name;
        return !progress || progress(state);
    };

    // Media files first: until the schedule file is replaced, the medium's old schedule is the one
    // the player reads, and every file it names stays in place.
    bool stopped = false;
    bool narrowedYet = false;
    for (const PublishItem& item : plan.items) {
        switch (item.action) {
        case PublishAction::Keep:
            report.kept.push_back(item.name);
            continue;
        case PublishAction::Missing:
            report.missing.push_back(item.name);
            continue;
        case PublishAction::Remove:
        case PublishAction::Fail:
            continue;
        case PublishAction::Copy:
        case PublishAction::Replace:
            break;
        }
        if (!tell(item.name)) {
            report.cancelled = true;
            stopped = true;
            break;
        }
        if (item.removeFirst && !narrowedYet) {
            std::set<std::string> removed;
            for (const std::string& name : plan.removeFirstNames())
                removed.insert(UpperCase(name));
            if (Result narrowed =
                    narrowSchedule(workDir, plan.scheduleName, removed, random, io, report.scheduleNarrowed);
                !narrowed) {
                fail(plan.scheduleName, narrowed.reason);
                stopped = true;
                break;
            }
            narrowedYet = true;
        }
        const std::uint64_t before = state.done;
        const CopyResult copied = copyItem(
            item, workDir,
            [&](const CopyProgress& file) {
                state.done =
                    before + static_cast<std::uint64_t>(file.fraction() * static_cast<double>(file.total));
                state.checking = file.checking;
                return tell(item.name);
            },
            io);
        if (copied.cancelled) {
            report.cancelled = true;
            stopped = true;
            break;
        }
        if (!copied) {
            fail(item.name, copied.reason);
            stopped = true;
            break;
        }
        state.done = before + item.size;
        state.checking = false;
        (item.action == PublishAction::Copy ? report.copied : report.replaced).push_back(item.name);
    }
    // The renames above reach the medium before the schedule's rename can overtake them.
    if (!report.copied.empty() || !report.replaced.empty()) {
        if (Result flushed = FlushDirectory(workDir, io); !flushed) {
            fail(plan.destination, flushed.reason);
            stopped = true;
        }
    }
    if (stopped || !stillThere())
        return report;

    // Then the schedule, whole or not at all.
    if (plan.scheduleUnchanged) {
        report.scheduleUnchanged = true;
    } else {
        if (!tell(plan.scheduleName)) {
            report.cancelled = true;
            return report;
        }
        std::vector<std::uint8_t> bytes;
        Result written = EncodeSchedule(schedule, random, bytes);
        if (written)
            written = WriteFileAtomically(workDir + plan.scheduleName, bytes, io, LinkPolicy::Refuse);
        if (!written) {
            fail(plan.scheduleName, written.reason);
            return report;
        }
        report.scheduleWritten = true;
        report.scheduleNarrowed.clear();
        state.done += scheduleBytes;
        tell(plan.scheduleName);
    }

    // Only now may files the new schedule no longer names go; a read-only one stays.
    for (const PublishItem& item : plan.items) {
        if (item.action != PublishAction::Remove)
            continue;
        if (DeleteFileInDir(workDir, item.mediumName))
            report.removed.push_back(item.name);
        else
            fail(item.name, "cannot remove: " + errnoText());
    }
    stillThere();
    return report;
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
