#pragma once

// Write to Player Medium: the schedule file and every media file it names, onto the medium in one
// step. The plan says what would happen and writes nothing; carrying it out copies the media files
// first and the schedule file last, so the medium always holds a schedule whose files are there.

#include "model/file_io.h"
#include "model/random_source.h"
#include "model/result.h"
#include "model/schedule.h"

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace velmo {

enum class PublishAction {
    Copy,    // not on the medium yet
    Replace, // on the medium, but differs from the source
    Keep,    // on the medium and identical (or on the medium and in no media folder)
    Missing, // in no media folder and not on the medium
    Remove   // on the medium, named by no entry; removed only when asked
};

// "copy", "replace", "keep", "missing", "remove".
const char* PublishActionWord(PublishAction action);

struct PublishOptions {
    bool checksum = false;       // identical means same content, not same size and time
    bool removeUnlisted = false; // remove media files on the medium that no entry names
};

struct PublishItem {
    std::string name; // as stored: NAME.EXT, or NAME. without extension
    PublishAction action = PublishAction::Missing;
    std::string sourceDir;  // the media folder it comes from (ending in the separator); empty if none
    std::string sourceName; // its name there, in that folder's letter case
    std::uint64_t size = 0; // of the source, or of the medium's file when there is no source
    std::string mediumName; // the medium's file of that name in any letter case; empty if none
    std::string note;       // e.g. another folder holds different content under the same name

    std::string sourcePath() const { return sourceDir + sourceName; }
};

struct PublishPlan {
    std::string destination;        // ending in the separator
    std::string scheduleName;       // the schedule file's name on the medium
    bool scheduleUnchanged = false; // the medium's schedule file decodes to this very schedule
    // Removals first, then every distinct name in the order the schedule first uses it.
    std::vector<PublishItem> items;
    std::uint64_t bytesToWrite = 0; // media files to copy or replace
    std::uint64_t bytesNeeded = 0;  // free space the write needs at its fullest, schedule file included
    std::uint64_t freeSpace = 0;
    bool fat = false;
    // Replacing some file in place needs its old copy removed before the new one is written.
    bool removeOldFirst = false;
    std::vector<std::string> notes; // media folders that cannot be read, and the like
    // Why nothing can be written at all (destination, space, a file too large for FAT).
    std::optional<std::string> refusal;

    int count(PublishAction action) const;
};

// Looks at the media folders and the destination and decides, for every distinct media name the
// schedule uses (basic and detail entries), what would happen. Letter case is ignored when looking
// names up; the first folder holding a name wins.
PublishPlan PlanPublish(const Schedule& schedule, const std::vector<std::string>& mediaDirs,
                        const std::string& destination, const std::string& scheduleFileName,
                        const PublishOptions& options = {});

struct PublishProgress {
    std::uint64_t done = 0;  // bytes of the plan written and checked
    std::uint64_t total = 0; // bytes of the plan
    std::string name;        // the file in hand
    bool checking = false;   // it is being read back from the medium
};
// Returning false cancels, between files or inside one.
using PublishProgressCallback = std::function<bool(const PublishProgress&)>;

struct PublishFailure {
    std::string name;
    std::string reason;
};

struct PublishReport {
    std::vector<std::string> copied;
    std::vector<std::string> replaced;
    std::vector<std::string> kept;
    std::vector<std::string> removed;
    std::vector<std::string> missing;
    std::vector<PublishFailure> failures;
    bool scheduleWritten = false;   // the schedule file was (re)written
    bool scheduleUnchanged = false; // it was already there and left alone
    bool cancelled = false;

    // Every planned file is in place and the schedule file is on the medium.
    bool complete() const { return failures.empty() && !cancelled && (scheduleWritten || scheduleUnchanged); }
};

// Carries the plan out: media files first, each by the verified copy, under its stored name; then
// the schedule file, atomically; then the removals. A failed media file stops the write before the
// schedule file, so the medium keeps its old schedule. A refused plan writes nothing.
PublishReport CarryOutPublish(const PublishPlan& plan, const Schedule& schedule, RandomSource& random,
                              const PublishProgressCallback& progress = {}, FileIo& io = FileIo::system());

// Where the editor last wrote to, remembered beside the settings file in a file of its own, so the
// settings file keeps the six lines everyone relies on.
inline constexpr char kPublishSettingsFileName[] = "PublishInfo.txt";

struct PublishSettings {
    std::string destination;            // empty: none remembered
    std::vector<std::string> mediaDirs; // empty: none remembered
};

// A missing, unreadable or damaged file gives empty settings.
PublishSettings ReadPublishSettings(const std::string& appPath);
// The folders media are looked up in: the remembered ones, or the last media folder picked.
std::vector<std::string> MediaFoldersOf(const PublishSettings& settings, const std::string& mediaDir);
Result WritePublishSettings(const std::string& appPath, const PublishSettings& settings,
                            FileIo& io = FileIo::system());

// The report in plain English lines: one per failure, saying which file and why, then counts.
std::vector<std::string> PublishReportLines(const PublishReport& report);

} // namespace velmo
