#include "publish.h"

#include "entry_rules.h"
#include "publish_detail.h"
#include "model/file_system.h"
#include "model/media_copy.h"
#include "model/safe_file.h"
#include "model/schedule_file.h"
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

using namespace publish_detail;

namespace {

// FAT keeps modification times in 2-second steps.
constexpr std::int64_t kTimeToleranceNs = 2'000'000'000;

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
