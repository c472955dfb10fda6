#include "publish.h"

#include "entry_rules.h"
#include "model/file_system.h"
#include "model/media_copy.h"
#include "model/safe_file.h"
#include "model/schedule_file.h"
#include "model/whole_file.h"
#include "schedule_rules.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <map>
#include <set>
#include <sys/stat.h>
#include <unistd.h>

namespace velmo {

namespace {

// FAT keeps modification times in 2-second steps.
constexpr std::int64_t kTimeToleranceNs = 2'000'000'000;

struct FileFacts {
    bool found = false;
    std::uint64_t size = 0;
    std::int64_t mtimeNs = 0;
    dev_t device = 0;
    ino_t inode = 0;
};

std::optional<FileFacts> regularFile(const std::string& path) {
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0 || !S_ISREG(info.st_mode))
        return std::nullopt;
    FileFacts facts;
    facts.found = true;
    facts.size = static_cast<std::uint64_t>(info.st_size);
    facts.mtimeNs = std::int64_t{info.st_mtim.tv_sec} * 1'000'000'000 + info.st_mtim.tv_nsec;
    facts.device = info.st_dev;
    facts.inode = info.st_ino;
    return facts;
}

std::string errnoText() {
    return std::strerror(errno);
}

// The regular, visible files of a directory by upper-cased name. Where a case-sensitive directory
// holds several spellings of one name, the exact upper-case one wins, else the first in byte order.
struct Folder {
    std::string dir;
    std::map<std::string, std::string> byUpperName;
    bool readable = false;
    std::string error;

    std::optional<std::string> find(const std::string& upperName) const {
        const auto it = byUpperName.find(upperName);
        if (it == byUpperName.end())
            return std::nullopt;
        return it->second;
    }
};

Folder listFolder(const std::string& directory) {
    Folder folder;
    folder.dir = WithTrailingSeparator(directory);
    DIR* dir = ::opendir(folder.dir.c_str());
    if (dir == nullptr) {
        folder.error = errnoText();
        return folder;
    }
    folder.readable = true;
    std::vector<std::string> names;
    while (const dirent* entry = ::readdir(dir))
        if (entry->d_name[0] != '.')
            names.emplace_back(entry->d_name);
    ::closedir(dir);
    std::sort(names.begin(), names.end());
    for (const std::string& name : names) {
        if (!regularFile(folder.dir + name))
            continue;
        const std::string upper = UpperCase(name);
        auto [it, inserted] = folder.byUpperName.emplace(upper, name);
        if (!inserted && name == upper)
            it->second = name;
    }
    return folder;
}

// Reads both files whole and compares; false also when either cannot be read.
bool sameContent(const std::string& a, const std::string& b) {
    const int fa = ::open(a.c_str(), O_RDONLY | O_CLOEXEC);
    if (fa < 0)
        return false;
    const int fb = ::open(b.c_str(), O_RDONLY | O_CLOEXEC);
    if (fb < 0) {
        ::close(fa);
        return false;
    }
    std::vector<char> bufferA(kMediaCopyChunkSize), bufferB(kMediaCopyChunkSize);
    bool same = true;
    for (;;) {
        const ssize_t na = ::read(fa, bufferA.data(), bufferA.size());
        if (na < 0 && errno == EINTR)
            continue;
        if (na < 0) {
            same = false;
            break;
        }
        ssize_t nb = 0;
        while (nb < na) {
            const ssize_t n = ::read(fb, bufferB.data() + nb, static_cast<std::size_t>(na - nb));
            if (n < 0 && errno == EINTR)
                continue;
            if (n <= 0)
                break;
            nb += n;
        }
        if (nb != na || std::memcmp(bufferA.data(), bufferB.data(), static_cast<std::size_t>(na)) != 0) {
            same = false;
            break;
        }
        if (na == 0) {
            char extra;
            ssize_t tail;
            do
                tail = ::read(fb, &extra, 1);
            while (tail < 0 && errno == EINTR);
            same = tail == 0;
            break;
        }
    }
    ::close(fa);
    ::close(fb);
    return same;
}

// rsync's quick check, with FAT's coarse clock allowed for; or, when asked, the content itself.
bool identical(const std::string& source, const FileFacts& sourceFacts, const std::string& medium,
               const FileFacts& mediumFacts, bool checksum) {
    if (sourceFacts.size != mediumFacts.size)
        return false;
    if (checksum)
        return sameContent(source, medium);
    const std::int64_t difference = sourceFacts.mtimeNs - mediumFacts.mtimeNs;
    return difference <= kTimeToleranceNs && difference >= -kTimeToleranceNs;
}

// A stored name that cannot be used as a file name in one directory (a foreign file's bytes).
bool usableFileName(const std::string& name) {
    return !name.empty() && name != "." && name != ".." && name.find('/') == std::string::npos &&
           name.find('\0') == std::string::npos;
}

bool isScheduleFileName(const std::string& name) {
    const std::string upper = UpperCase(name);
    const std::string suffix = "." + UpperCase(kScheduleExtension);
    return upper.size() > suffix.size() &&
           upper.compare(upper.size() - suffix.size(), suffix.size(), suffix) == 0;
}

// Upper bound of the schedule file's length: header, the largest key region, markers and records.
std::uint64_t scheduleFileBound(const Schedule& schedule) {
    std::uint64_t length = kScheduleHeaderLength + 255;
    if (schedule.basicCount > 0)
        length += kMarkerLength +
                  std::uint64_t{kFileRecordLength} * static_cast<std::uint64_t>(schedule.basicCount);
    for (int i = 0; i < schedule.advanceCount; ++i)
        length += kMarkerLength + kAdvanceRecordLength +
                  std::uint64_t{kFileRecordLength} *
                      static_cast<std::uint64_t>(std::max<int>(0, schedule.advanceEntries[i].fileCount));
    return length;
}

// A small regular file whole; nothing when it is missing, larger than limit or cannot be read.
std::optional<std::string> readSmallFile(const std::string& path, std::size_t limit) {
    WholeFile file;
    if (!ReadWholeFile(path, limit, file) || file.longer)
        return std::nullopt;
    return std::move(file.bytes);
}

bool mediumHoldsSchedule(const std::string& directory, const std::string& name, const Schedule& schedule) {
    Schedule onMedium;
    return ReadScheduleFile(directory, name, onMedium) && onMedium == schedule;
}

// Every distinct stored name, in the order the schedule first uses it.
std::vector<std::string> namesUsed(const Schedule& schedule) {
    std::vector<std::string> names;
    std::set<std::string> seen;
    const auto add = [&](const FileEntry& entry) {
        std::string name = StoredNameText(entry);
        if (seen.insert(name).second)
            names.push_back(std::move(name));
    };
    for (int i = 0; i < schedule.basicCount && i < static_cast<int>(schedule.basicEntries.size()); ++i)
        add(schedule.basicEntries[static_cast<std::size_t>(i)]);
    for (int i = 0; i < schedule.advanceCount && i < static_cast<int>(schedule.advanceEntries.size()); ++i) {
        const AdvanceEntry& entry = schedule.advanceEntries[static_cast<std::size_t>(i)];
        for (int k = 0; k < entry.fileCount && k < static_cast<int>(entry.files.size()); ++k)
            add(entry.files[static_cast<std::size_t>(k)]);
    }
    return names;
}

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

const char* PublishActionWord(PublishAction action) {
    switch (action) {
    case PublishAction::Copy:
        return "copy";
    case PublishAction::Replace:
        return "replace";
    case PublishAction::Keep:
        return "keep";
    case PublishAction::Missing:
        return "missing";
    case PublishAction::Remove:
        return "remove";
    }
    return "";
}

int PublishPlan::count(PublishAction action) const {
    return static_cast<int>(std::count_if(
        items.begin(), items.end(), [action](const PublishItem& item) { return item.action == action; }));
}

PublishPlan PlanPublish(const Schedule& schedule, const std::vector<std::string>& mediaDirs,
                        const std::string& destination, const std::string& scheduleFileName,
                        const PublishOptions& options) {
    PublishPlan plan;
    plan.destination = WithTrailingSeparator(destination);
    plan.scheduleName = scheduleFileName;

    struct stat destInfo {};
    const bool found = !destination.empty() && ::stat(plan.destination.c_str(), &destInfo) == 0;
    if ((found && !S_ISDIR(destInfo.st_mode)) || (!found && !destination.empty() && errno == ENOTDIR)) {
        plan.refusal = "the destination " + destination + " is not a directory";
        return plan;
    }
    if (!found) {
        plan.refusal = "the destination " + destination + " cannot be opened: " +
                       (destination.empty() ? std::string("no directory given") : errnoText());
        return plan;
    }
    if (!usableFileName(scheduleFileName)) {
        plan.refusal = "\"" + scheduleFileName + "\" cannot be the schedule file's name";
        return plan;
    }

    std::vector<Folder> folders;
    for (const std::string& dir : mediaDirs) {
        Folder folder = listFolder(dir);
        if (!folder.readable)
            plan.notes.push_back("media folder " + dir + " cannot be read (" + folder.error +
                                 "); the others are used");
        else
            folders.push_back(std::move(folder));
    }
    const Folder medium = listFolder(plan.destination);
    if (!medium.readable) {
        plan.refusal = "the destination " + destination + " cannot be listed: " + medium.error;
        return plan;
    }
    plan.scheduleUnchanged = mediumHoldsSchedule(plan.destination, scheduleFileName, schedule);

    std::set<std::string> named;
    std::vector<PublishItem> items;
    for (const std::string& name : namesUsed(schedule)) {
        PublishItem item;
        item.name = name;
        const std::string upper = UpperCase(name);
        named.insert(upper);
        if (!usableFileName(name)) {
            item.note = "not a usable file name";
            items.push_back(std::move(item));
            continue;
        }
        std::optional<FileFacts> source;
        for (const Folder& folder : folders) {
            const std::optional<std::string> found = folder.find(upper);
            if (!found)
                continue;
            const std::optional<FileFacts> facts = regularFile(folder.dir + *found);
            if (!facts)
                continue;
            if (!source) {
                source = facts;
                item.sourceDir = folder.dir;
                item.sourceName = *found;
                continue;
            }
            const bool sameFile = facts->device == source->device && facts->inode == source->inode;
            if (!sameFile &&
                (facts->size != source->size || !sameContent(item.sourcePath(), folder.dir + *found)))
                item.note = folder.dir + *found + " differs; " + item.sourcePath() + " is used";
        }
        if (const std::optional<std::string> onMedium = medium.find(upper))
            item.mediumName = *onMedium;
        const FileFacts mediumFacts =
            item.mediumName.empty() ? FileFacts{}
                                    : regularFile(plan.destination + item.mediumName).value_or(FileFacts{});

        if (!source) {
            item.action = mediumFacts.found ? PublishAction::Keep : PublishAction::Missing;
            if (mediumFacts.found) {
                item.size = mediumFacts.size;
                item.note = "in no media folder, only on the medium";
            }
        } else {
            item.size = source->size;
            const std::string mediumPath = plan.destination + item.mediumName;
            if (!mediumFacts.found)
                item.action = PublishAction::Copy;
            else if ((mediumFacts.device == source->device && mediumFacts.inode == source->inode) ||
                     identical(item.sourcePath(), *source, mediumPath, mediumFacts, options.checksum))
                item.action = PublishAction::Keep;
            else
                item.action = PublishAction::Replace;
        }
        items.push_back(std::move(item));
    }

    if (options.removeUnlisted) {
        for (const auto& [upper, actual] : medium.byUpperName) {
            if (named.count(upper) != 0 || isScheduleFileName(actual))
                continue;
            PublishItem item;
            item.name = actual;
            item.mediumName = actual;
            item.action = PublishAction::Remove;
            if (const std::optional<FileFacts> facts = regularFile(plan.destination + actual))
                item.size = facts->size;
            plan.items.push_back(std::move(item));
        }
    }
    plan.items.insert(plan.items.end(), std::make_move_iterator(items.begin()),
                      std::make_move_iterator(items.end()));

    // The space the write needs at its fullest: every new file, the growth of every replaced one,
    // and beside the old copy of one replaced file its new copy, until the rename frees the old.
    std::uint64_t growth = 0;
    std::uint64_t largestOverlap = 0;
    const std::optional<VolumeSpace> space = QueryVolumeSpace(plan.destination);
    if (space) {
        plan.freeSpace = space->available;
        plan.fat = space->fat;
    }
    for (const PublishItem& item : plan.items) {
        if (item.action != PublishAction::Copy && item.action != PublishAction::Replace)
            continue;
        plan.bytesToWrite += item.size;
        if (plan.fat && item.size > kFatMaxFileSize) {
            plan.refusal = item.name + " is " + std::to_string(item.size) +
                           " bytes long; a FAT medium cannot hold a file of 4 GiB or more";
            return plan;
        }
        std::uint64_t old = 0;
        if (item.action == PublishAction::Replace)
            if (const std::optional<FileFacts> facts = regularFile(plan.destination + item.mediumName))
                old = facts->size;
        growth += item.size > old ? item.size - old : 0;
        largestOverlap = std::max(largestOverlap, std::min(item.size, old));
    }
    const std::uint64_t scheduleBytes = plan.scheduleUnchanged ? 0 : scheduleFileBound(schedule);
    plan.bytesNeeded = growth + largestOverlap + scheduleBytes;
    if (!space) {
        plan.notes.push_back("the free space of " + plan.destination + " cannot be asked");
    } else if (plan.bytesNeeded > plan.freeSpace) {
        // A nearly full medium still takes the write when old copies make room first; the old schedule
        // then names a file that is being rewritten, so this is the last resort.
        if (growth + scheduleBytes <= plan.freeSpace) {
            plan.removeOldFirst = true;
            plan.bytesNeeded = growth + scheduleBytes;
            plan.notes.push_back(
                "the medium is nearly full: replaced files are removed before their new copy is written");
        } else {
            plan.refusal = "not enough free space on " + plan.destination + ": " +
                           std::to_string(plan.bytesNeeded) + " bytes needed, " +
                           std::to_string(plan.freeSpace) + " free";
        }
    }
    return plan;
}

} // namespace velmo

namespace velmo {

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

namespace {

constexpr char kPublishSettingsHeader[] = "velmo publish 1";
constexpr char kDestinationKey[] = "to=";
constexpr char kMediaKey[] = "media=";
constexpr std::size_t kMaxPublishSettingsLength = 64 << 10;

bool startsWith(const std::string& text, const char* prefix) {
    return text.rfind(prefix, 0) == 0;
}

// A remembered directory is an absolute path on one line, nothing else.
bool plausibleDirectory(const std::string& text) {
    return !text.empty() && text[0] == '/' &&
           std::none_of(text.begin(), text.end(), [](unsigned char c) { return c < 0x20 || c == 0x7f; });
}

} // namespace

std::vector<std::string> MediaFoldersOf(const PublishSettings& settings, const std::string& mediaDir) {
    return settings.mediaDirs.empty() ? std::vector<std::string>{mediaDir} : settings.mediaDirs;
}

PublishSettings ReadPublishSettings(const std::string& appPath) {
    const std::string path = WithTrailingSeparator(appPath) + kPublishSettingsFileName;
    const std::optional<std::string> read = readSmallFile(path, kMaxPublishSettingsLength);
    if (!read)
        return {};
    const std::string& text = *read;

    PublishSettings settings;
    std::size_t at = 0;
    bool header = true;
    while (at < text.size()) {
        const std::size_t end = text.find('\n', at);
        if (end == std::string::npos)
            return {}; // cut short
        const std::string line = text.substr(at, end - at);
        at = end + 1;
        if (header) {
            if (line != kPublishSettingsHeader)
                return {};
            header = false;
        } else if (startsWith(line, kDestinationKey) && settings.destination.empty() &&
                   plausibleDirectory(line.substr(sizeof kDestinationKey - 1))) {
            settings.destination = line.substr(sizeof kDestinationKey - 1);
        } else if (startsWith(line, kMediaKey) && plausibleDirectory(line.substr(sizeof kMediaKey - 1))) {
            settings.mediaDirs.push_back(line.substr(sizeof kMediaKey - 1));
        } else {
            return {};
        }
    }
    return header ? PublishSettings{} : settings;
}

Result WritePublishSettings(const std::string& appPath, const PublishSettings& settings, FileIo& io) {
    std::string text = std::string(kPublishSettingsHeader) + "\n";
    if (plausibleDirectory(settings.destination))
        text += kDestinationKey + settings.destination + "\n";
    for (const std::string& dir : settings.mediaDirs)
        if (plausibleDirectory(dir))
            text += kMediaKey + dir + "\n";
    return WriteFileAtomically(WithTrailingSeparator(appPath) + kPublishSettingsFileName,
                               std::vector<std::uint8_t>(text.begin(), text.end()), io);
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
