#include "publish.h"

#include "entry_rules.h"
#include "model/file_system.h"
#include "model/media_copy.h"
#include "model/media_folder.h"
#include "model/safe_file.h"
#include "model/schedule_file.h"
#include "player_formats.h"
#include "publish_detail.h"
#include "schedule_rules.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <map>
#include <set>
#include <sys/stat.h>
#include <unistd.h>

namespace velmo {

using namespace publish_detail;

namespace {

// FAT keeps modification times in 2-second steps; other file systems keep them exactly.
constexpr std::int64_t kFatTimeToleranceNs = 2'000'000'000;

// The medium's visible files by upper-cased name, looked at with lstat: regular files in
// `byUpperName` (the exact upper-case spelling wins, else the first in byte order), and whatever else
// lies under a name (a directory, a link) in `others`.
struct Medium {
    std::string dir;
    std::map<std::string, std::string> byUpperName;
    std::map<std::string, std::string> others;
    bool readable = false;
    std::string error;

    std::optional<std::string> find(const std::string& upperName) const {
        const auto it = byUpperName.find(upperName);
        if (it == byUpperName.end())
            return std::nullopt;
        return it->second;
    }
};

Medium listMedium(const std::string& directory) {
    Medium medium;
    medium.dir = WithTrailingSeparator(directory);
    const std::optional<std::vector<std::string>> names = VisibleNames(medium.dir, medium.error);
    if (!names)
        return medium;
    medium.readable = true;
    for (const std::string& name : *names) {
        const std::string upper = UpperCase(name);
        if (!mediumFile(medium.dir + name)) {
            medium.others.emplace(upper, name);
            continue;
        }
        auto [it, inserted] = medium.byUpperName.emplace(upper, name);
        if (!inserted && name == upper)
            it->second = name;
    }
    return medium;
}

// rsync's quick check, with FAT's coarse clock allowed for there only; or, when asked, the content.
bool identical(const std::string& source, const FileFacts& sourceFacts, const std::string& medium,
               const FileFacts& mediumFacts, bool checksum, bool fat, ContentCompareBuffers& buffers) {
    if (sourceFacts.size != mediumFacts.size)
        return false;
    if (checksum)
        return SameFileContent(source, medium, buffers);
    const std::int64_t tolerance = fat ? kFatTimeToleranceNs : 0;
    const std::int64_t difference = sourceFacts.mtimeNs - mediumFacts.mtimeNs;
    return difference <= tolerance && difference >= -tolerance;
}

// The canonical form of a directory, for telling whether one lies inside another.
std::string canonicalDirectory(const std::string& dir) {
    char* resolved = ::realpath(dir.c_str(), nullptr);
    if (resolved == nullptr)
        return {};
    std::string path = WithTrailingSeparator(resolved);
    std::free(resolved);
    return path;
}

bool inside(const std::string& inner, const std::string& outer) {
    return !inner.empty() && !outer.empty() && inner.compare(0, outer.size(), outer) == 0;
}

// Directory entries a new file may add, counted as room when judging space (FAT: a long name
// takes several 32-byte entries).
constexpr std::uint64_t kDirectoryEntryBytes = 128;

// A stored name that cannot be used as a file name in one directory (a foreign file's bytes).
bool usableFileName(const std::string& name) {
    return !name.empty() && name != "." && name != ".." && name.find('/') == std::string::npos &&
           name.find('\0') == std::string::npos;
}

bool mediumHoldsSchedule(const std::string& directory, const std::string& name, const Schedule& schedule) {
    Schedule onMedium;
    return ReadScheduleFile(directory, name, onMedium) && onMedium == schedule;
}

// Every distinct stored name (letter case ignored), in the order the schedule first uses it.
std::vector<std::string> namesUsed(const Schedule& schedule) {
    std::vector<std::string> names;
    std::set<std::string> seen;
    const auto add = [&](const FileEntry& entry) {
        std::string name = StoredNameText(entry);
        if (seen.insert(UpperCase(name)).second)
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
    case PublishAction::Fail:
        return "fail";
    }
    return "";
}

int PublishPlan::count(PublishAction action) const {
    return static_cast<int>(std::count_if(
        items.begin(), items.end(), [action](const PublishItem& item) { return item.action == action; }));
}

std::vector<std::string> PublishPlan::removeFirstNames() const {
    std::vector<std::string> names;
    for (const PublishItem& item : items)
        if (item.removeFirst)
            names.push_back(item.name);
    return names;
}

namespace {

bool readable(const std::string& path) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return false;
    ::close(fd);
    return true;
}

std::string say(const ScreenTexts& texts, TextId id, const std::vector<std::string>& values = {}) {
    return FillIn(texts.text(id), values);
}

std::string joined(const std::vector<std::string>& names, const ScreenTexts& texts) {
    std::string text;
    for (const std::string& name : names)
        text += (text.empty() ? "" : texts.text(TextId::TextListPartSeparator)) + name;
    return text;
}

// The first reason found stands; later ones would only hide it.
void refuse(PublishPlan& plan, std::string why) {
    if (!plan.refusal)
        plan.refusal = std::move(why);
}

// The destination listed, or nothing with the plan refused: there is nothing to show without it.
std::optional<Medium> openDestination(PublishPlan& plan, const std::string& destination,
                                      const ScreenTexts& texts) {
    struct stat destInfo {};
    const bool found = !destination.empty() && ::stat(plan.destination.c_str(), &destInfo) == 0;
    if ((found && !S_ISDIR(destInfo.st_mode)) || (!found && !destination.empty() && errno == ENOTDIR)) {
        plan.refusal = say(texts, TextId::MsgPlanNotDirectory, {destination});
        return std::nullopt;
    }
    if (!found) {
        const std::string why =
            destination.empty() ? texts.text(TextId::TextPlanNoDirectoryGiven) : errnoText();
        plan.refusal = say(texts, TextId::MsgPlanCannotOpen, {destination, why});
        return std::nullopt;
    }
    if (!usableFileName(plan.scheduleName)) {
        plan.refusal = say(texts, TextId::MsgPlanBadScheduleName, {plan.scheduleName});
        return std::nullopt;
    }
    Medium medium = listMedium(plan.destination);
    if (!medium.readable) {
        plan.refusal = say(texts, TextId::MsgPlanCannotList, {destination, medium.error});
        return std::nullopt;
    }
    return medium;
}

// The media folders that can be read; the others are noted, or refuse the plan when none is left.
std::vector<const MediaFolder::Listing*> readableFolders(PublishPlan& plan, const MediaFolder& media,
                                                         const ScreenTexts& texts) {
    std::vector<const MediaFolder::Listing*> folders;
    std::vector<std::string> unreadable;
    for (std::size_t i = 0; i < plan.mediaDirs.size(); ++i) {
        const MediaFolder::Listing& folder = media.folders()[i];
        if (!folder.readable)
            unreadable.push_back(plan.mediaDirs[i] + " (" + folder.error + ")");
        else
            folders.push_back(&folder);
    }
    // A schedule whose every file would be missing must not replace a working one.
    if (folders.empty()) {
        refuse(plan, unreadable.empty()
                         ? say(texts, TextId::MsgPlanNoMediaFolder)
                         : say(texts, TextId::MsgPlanNoMediaFolderOf, {joined(unreadable, texts)}));
    } else {
        for (const std::string& dir : unreadable)
            plan.notes.push_back(say(texts, TextId::MsgPlanFolderUnreadable, {dir}));
    }
    return folders;
}

// What happens to each stored name: where it comes from and what the medium holds under it.
class ItemPlanner {
public:
    ItemPlanner(const PublishPlan& plan, const Medium& medium,
                std::vector<const MediaFolder::Listing*> folders, const ScreenTexts& texts)
        : plan_(plan), medium_(medium), folders_(std::move(folders)), texts_(texts) {}

    PublishItem item(const std::string& stored);

private:
    // The first folder holding the name gives the source; another one's different copy is noted.
    std::optional<FileFacts> findSource(PublishItem& item, const std::string& upper);

    void decide(PublishItem& item, const std::optional<FileFacts>& source);

    const PublishPlan& plan_;
    const Medium& medium_;
    const std::vector<const MediaFolder::Listing*> folders_;
    const ScreenTexts& texts_;
    ContentCompareBuffers buffers_;
};

PublishItem ItemPlanner::item(const std::string& stored) {
    PublishItem item;
    const std::string upper = UpperCase(stored);
    item.name = stored;
    if (!usableFileName(stored)) {
        item.note = say(texts_, TextId::MsgPlanNotUsableName);
        return item;
    }
    // The player looks names up in upper case; a foreign file may store them otherwise.
    if (upper != stored) {
        item.name = upper;
        item.note = say(texts_, TextId::MsgPlanStoredAs, {stored, upper});
    }
    const std::optional<FileFacts> source = findSource(item, upper);
    if (const auto other = medium_.others.find(upper); other != medium_.others.end()) {
        // Never written through: a link could lead off the medium, a directory holds the user's files.
        item.action = PublishAction::Fail;
        item.mediumName = other->second;
        item.note = say(texts_, TextId::MsgPlanNotRegular,
                        {other->second, nonRegularKind(plan_.destination + other->second, texts_)});
        return item;
    }
    if (const std::optional<std::string> onMedium = medium_.find(upper))
        item.mediumName = *onMedium;
    decide(item, source);
    return item;
}

std::optional<FileFacts> ItemPlanner::findSource(PublishItem& item, const std::string& upper) {
    std::optional<FileFacts> source;
    for (const MediaFolder::Listing* folder : folders_) {
        const std::optional<std::string> found = folder->find(upper);
        if (!found)
            continue;
        const std::optional<FileFacts> facts = regularFile(folder->dir + *found);
        if (!facts)
            continue;
        if (!source) {
            source = facts;
            item.sourceDir = folder->dir;
            item.sourceName = *found;
            continue;
        }
        const bool sameFile = facts->device == source->device && facts->inode == source->inode;
        if (!sameFile && (facts->size != source->size ||
                          !SameFileContent(item.sourcePath(), folder->dir + *found, buffers_)))
            item.note = say(texts_, TextId::MsgPlanFolderDiffers, {folder->dir + *found, item.sourcePath()});
    }
    return source;
}

void ItemPlanner::decide(PublishItem& item, const std::optional<FileFacts>& source) {
    const FileFacts mediumFacts = item.mediumName.empty()
                                      ? FileFacts{}
                                      : mediumFile(plan_.destination + item.mediumName).value_or(FileFacts{});
    if (!source) {
        item.action = mediumFacts.found ? PublishAction::Keep : PublishAction::Missing;
        if (mediumFacts.found) {
            item.size = mediumFacts.size;
            item.note = say(texts_, TextId::MsgPlanOnlyOnMedium);
        }
        return;
    }
    item.size = source->size;
    const std::string mediumPath = plan_.destination + item.mediumName;
    if (!mediumFacts.found)
        item.action = PublishAction::Copy;
    else if ((mediumFacts.device == source->device && mediumFacts.inode == source->inode) ||
             identical(item.sourcePath(), *source, mediumPath, mediumFacts, plan_.options.checksum, plan_.fat,
                       buffers_))
        item.action = PublishAction::Keep;
    else
        item.action = PublishAction::Replace;
    if (item.action != PublishAction::Keep && !readable(item.sourcePath())) {
        item.action = PublishAction::Fail;
        item.note = say(texts_, TextId::MsgPlanCannotRead, {item.sourcePath(), errnoText()});
    }
}

// The medium's player files that no entry names, to be removed; never in a media folder.
void planRemovals(PublishPlan& plan, const Medium& medium, const std::set<std::string>& named,
                  const std::string& destination, const ScreenTexts& texts) {
    // The clean-up is for a medium; a folder of the user's library must never be swept.
    const std::string destinationPath = canonicalDirectory(plan.destination);
    for (const std::string& dir : plan.mediaDirs) {
        const std::string mediaPath = canonicalDirectory(dir);
        if (inside(destinationPath, mediaPath) || inside(mediaPath, destinationPath)) {
            refuse(plan, say(texts, TextId::MsgPlanRemoveUnlistedRefused, {destination, dir}));
            break;
        }
    }
    for (const auto& [upper, actual] : medium.byUpperName) {
        if (named.count(upper) != 0 || !IsPlayerMediaFileName(actual))
            continue;
        PublishItem item;
        item.name = actual;
        item.mediumName = actual;
        item.action = PublishAction::Remove;
        if (const std::optional<FileFacts> facts = mediumFile(plan.destination + actual))
            item.size = facts->size;
        plan.items.push_back(std::move(item));
    }
}

void refuseFailing(PublishPlan& plan, const ScreenTexts& texts) {
    std::vector<std::string> failing;
    for (const PublishItem& item : plan.items)
        if (item.action == PublishAction::Fail)
            failing.push_back(item.name);
    if (!failing.empty())
        refuse(plan, say(texts,
                         failing.size() == 1 ? TextId::MsgPlanFileCannotBeWritten
                                             : TextId::MsgPlanFilesCannotBeWritten,
                         {std::to_string(failing.size()), joined(failing, texts)}));
}

// The bytes to copy, each new directory entry counted; a file FAT cannot hold refuses the plan.
std::uint64_t countWrites(PublishPlan& plan, const ScreenTexts& texts) {
    std::uint64_t newEntries = plan.scheduleUnchanged ? 0 : 1;
    for (const PublishItem& item : plan.items) {
        if (item.action != PublishAction::Copy && item.action != PublishAction::Replace)
            continue;
        plan.bytesToWrite += item.size;
        ++newEntries;
        if (plan.fat && item.size > kFatMaxFileSize)
            refuse(plan, say(texts, TextId::MsgPlanTooLargeForFat, {item.name, std::to_string(item.size)}));
    }
    return newEntries;
}

// The write simulated in the order it is carried out, every file in whole allocation units.
// Marks the replacements that fit only when their old copy is removed first.
void simulateWrite(PublishPlan& plan, const Schedule& schedule, const VolumeSpace& space,
                   std::uint64_t newEntries) {
    const auto units = [&space](std::uint64_t bytes) {
        return static_cast<std::int64_t>(AllocatedSize(bytes, space));
    };
    const std::int64_t room = static_cast<std::int64_t>(plan.freeSpace);
    std::int64_t used = units(newEntries * kDirectoryEntryBytes);
    std::int64_t peak = used;
    for (PublishItem& item : plan.items) {
        if (item.action == PublishAction::Copy) {
            used += units(item.size);
        } else if (item.action == PublishAction::Replace) {
            const std::optional<FileFacts> old = mediumFile(plan.destination + item.mediumName);
            const std::int64_t oldUnits = old ? units(old->size) : 0;
            const std::int64_t beside = used + units(item.size);
            if (beside <= room) {
                peak = std::max(peak, beside);
                used = beside - oldUnits;
            } else {
                item.removeFirst = true;
                used += units(item.size) - oldUnits;
            }
        }
        peak = std::max(peak, used);
    }
    const std::int64_t scheduleUnits = plan.scheduleUnchanged ? 0 : units(scheduleFileBound(schedule));
    peak = std::max(peak, used + scheduleUnits);
    plan.bytesNeeded = static_cast<std::uint64_t>(std::max<std::int64_t>(peak, 0));
    // The new schedule file takes the old one's place; removals come last.
    std::int64_t after = room - used - scheduleUnits;
    if (!plan.scheduleUnchanged)
        if (const std::optional<FileFacts> old = mediumFile(plan.destination + plan.scheduleName))
            after += units(old->size);
    for (const PublishItem& item : plan.items)
        if (item.action == PublishAction::Remove)
            after += units(item.size);
    plan.freeAfter = static_cast<std::uint64_t>(std::max<std::int64_t>(after, 0));
}

// Whether the write fits, the stale temporary files of killed writes counted as free.
void judgeSpace(PublishPlan& plan, const Schedule& schedule, const std::optional<VolumeSpace>& space,
                const ScreenTexts& texts) {
    const std::uint64_t newEntries = countWrites(plan, texts);
    if (!space || !space->availableKnown) {
        plan.spaceKnown = false;
        plan.notes.push_back(say(texts,
                                 space ? TextId::MsgPlanSpaceNotKnown : TextId::MsgPlanSpaceCannotBeAsked,
                                 {plan.destination}));
        return;
    }
    plan.freeSpace = space->available + StaleTemporaryBytes(plan.destination);
    simulateWrite(plan, schedule, *space, newEntries);

    const std::vector<std::string> removeFirst = plan.removeFirstNames();
    if (plan.bytesNeeded > plan.freeSpace) {
        refuse(plan,
               say(texts, TextId::MsgPlanNotEnoughSpace,
                   {plan.destination, std::to_string(plan.bytesNeeded), std::to_string(plan.freeSpace)}));
    } else if (!removeFirst.empty() && !plan.options.allowRemoveFirst) {
        if (!plan.refusal) {
            plan.refusal = say(texts, TextId::MsgPlanRemoveFirstNotAllowed, {joined(removeFirst, texts)});
            plan.removeFirstRefusal = true;
        }
    } else if (!removeFirst.empty()) {
        plan.notes.push_back(say(texts, TextId::MsgPlanRemoveFirst, {joined(removeFirst, texts)}));
    }
}

} // namespace

PublishPlan PlanPublish(const Schedule& schedule, const std::vector<std::string>& mediaDirs,
                        const std::string& destination, const std::string& scheduleFileName,
                        const PublishOptions& options, const ScreenTexts& texts) {
    PublishPlan plan;
    plan.destination = WithTrailingSeparator(destination);
    plan.scheduleName = scheduleFileName;
    plan.mediaDirs = mediaDirs;
    plan.options = options;
    const std::optional<Medium> medium = openDestination(plan, destination, texts);
    if (!medium)
        return plan;
    // Refusals from here on still leave the plan filled in, so a caller can show what would happen.
    const MediaFolder media(mediaDirs);
    ItemPlanner planner(plan, *medium, readableFolders(plan, media, texts), texts);

    if (const auto other = medium->others.find(UpperCase(scheduleFileName)); other != medium->others.end())
        refuse(plan, say(texts, TextId::MsgPlanScheduleNotRegular,
                         {other->second, nonRegularKind(plan.destination + other->second, texts)}));
    plan.scheduleUnchanged = mediumHoldsSchedule(plan.destination, scheduleFileName, schedule);
    const std::optional<VolumeSpace> space = QueryVolumeSpace(plan.destination);
    if (space)
        plan.fat = space->fat;

    std::set<std::string> named;
    std::vector<PublishItem> items;
    for (const std::string& stored : namesUsed(schedule)) {
        named.insert(UpperCase(stored));
        items.push_back(planner.item(stored));
    }
    if (options.removeUnlisted)
        planRemovals(plan, *medium, named, destination, texts);
    plan.items.insert(plan.items.end(), std::make_move_iterator(items.begin()),
                      std::make_move_iterator(items.end()));

    refuseFailing(plan, texts);
    judgeSpace(plan, schedule, space, texts);
    return plan;
}

} // namespace velmo
