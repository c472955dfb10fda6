#include "publish.h"

#include "model/media_copy.h"
#include "model/safe_file.h"
#include "model/schedule_file.h"
#include "publish_detail.h"

#include <cerrno>

namespace velmo {

using namespace publish_detail;

namespace {

// One media file onto the medium under its stored name, with the source's modification time so the
// next publish can tell it is there already. The copy replaces a file of that name in other letter
// case in place; the rename after it leaves the one file under the stored name.
CopyResult copyItem(const PublishItem& item, const std::string& destination, bool mayRemoveOldFirst,
                    const CopyProgressCallback& progress, FileIo& io) {
    CopyOptions options;
    options.keepModificationTime = true;
    options.mayRemoveOldFirst = mayRemoveOldFirst;
    // One flush of the directory after all media files, instead of two for each.
    options.leaveDirectoryFlush = true;
    CopyResult result = CopyMediaFileTo(item.sourcePath(), destination, item.name, options, progress, io);
    if (!result || item.mediumName.empty() || item.mediumName == item.name)
        return result;
    const std::string landed = destination + item.mediumName;
    const std::string target = destination + item.name;
    if (regularFile(landed) && io.rename(landed, target) != 0) {
        result.ok = false;
        result.reason = "cannot rename " + landed + " to " + item.name + ": " + errnoText();
    }
    return result;
}

} // namespace

PublishReport CarryOutPublish(const PublishPlan& plan, const Schedule& schedule, RandomSource& random,
                              const PublishProgressCallback& progress, FileIo& io) {
    PublishReport report;
    if (plan.refusal) {
        report.failures.push_back({plan.destination, *plan.refusal});
        return report;
    }
    // Leftovers of a killed publish go even when nothing needs copying this time.
    RemoveStaleTemporaryFiles(plan.destination, io);
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
    for (const PublishItem& item : plan.items) {
        switch (item.action) {
        case PublishAction::Keep:
            report.kept.push_back(item.name);
            continue;
        case PublishAction::Missing:
            report.missing.push_back(item.name);
            continue;
        case PublishAction::Remove:
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
        const std::uint64_t before = state.done;
        const CopyResult copied = copyItem(
            item, plan.destination, plan.removeOldFirst,
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
            report.failures.push_back({item.name, copied.reason});
            stopped = true;
            break;
        }
        state.done = before + item.size;
        state.checking = false;
        (item.action == PublishAction::Copy ? report.copied : report.replaced).push_back(item.name);
    }
    // The renames above reach the medium before the schedule's rename can overtake them.
    if (!report.copied.empty() || !report.replaced.empty()) {
        if (Result flushed = FlushDirectory(plan.destination, io); !flushed) {
            report.failures.push_back({plan.destination, flushed.reason});
            stopped = true;
        }
    }
    if (stopped)
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
            written = WriteFileAtomically(plan.destination + plan.scheduleName, bytes, io);
        if (!written) {
            report.failures.push_back({plan.scheduleName, written.reason});
            return report;
        }
        report.scheduleWritten = true;
        state.done += scheduleBytes;
        tell(plan.scheduleName);
    }

    // Only now may files the new schedule no longer names go.
    for (const PublishItem& item : plan.items) {
        if (item.action != PublishAction::Remove)
            continue;
        if (io.unlink(plan.destination + item.mediumName) == 0)
            report.removed.push_back(item.name);
        else
            report.failures.push_back({item.name, "cannot remove: " + errnoText()});
    }
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
    if (report.cancelled)
        summary += "; cancelled, the schedule file on the medium is the old one";
    else if (report.scheduleWritten)
        summary += "; schedule file written";
    else if (report.scheduleUnchanged)
        summary += "; schedule file unchanged";
    else
        summary += "; the schedule file on the medium is the old one";
    if (!report.missing.empty() && (report.scheduleWritten || report.scheduleUnchanged))
        summary += ", naming " + std::to_string(report.missing.size()) + " missing file" +
                   (report.missing.size() == 1 ? "" : "s");
    lines.push_back(summary);
    return lines;
}

} // namespace velmo

