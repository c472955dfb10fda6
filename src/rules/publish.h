#pragma once

// Write to Player Medium: the schedule file and every media file it names, onto the medium in one
// step. The plan says what would happen and writes nothing; carrying it out copies the media files
// first and the schedule file last, so the medium always holds a schedule whose files are there.
//
// How a caller (the tool, the editor's dialog) uses it:
//   1. PlanPublish(schedule, mediaDirs, destination, name, options) with allowRemoveFirst false.
//      Show plan.items (each action and note) and plan.notes, even when plan.refusal is set.
//   2. If plan.refusal is set and plan.refusedOnlyForRemoveFirst(), the medium is so full that some
//      files (plan.removeFirstNames()) fit only after their old copies are removed. Ask the user once,
//      naming them; on yes plan again with options.allowRemoveFirst = true. Any other refusal stands.
//   3. CarryOutPublish(plan, ...) off the window's thread. It takes the medium's lock (waiting up to
//      options.lockWaitMs for another publish), checks the plan still holds, and writes.
//   4. The PublishReport says what really happened: copied/replaced/kept/removed, failures,
//      scheduleWritten, and scheduleNarrowed (the write stopped after the old schedule was rewritten
//      without the files removed first; that narrower schedule is what the medium plays until the
//      publish is repeated). PublishReportLines() says it in words.

#include "model/file_io.h"
#include "model/publish_settings.h"
#include "model/random_source.h"
#include "model/result.h"
#include "model/schedule.h"
#include "texts/screen_texts.h"

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
    Remove,  // on the medium, named by no entry; removed only when asked
    Fail     // cannot be written: a directory or link under the name on the medium, an unreadable
             // source; the note says why, and the plan is refused
};

// "copy", "replace", "keep", "missing", "remove", "fail".
const char* PublishActionWord(PublishAction action);

struct PublishOptions {
    bool checksum = false;       // identical means same content, not same size and time
    bool removeUnlisted = false; // remove media files (player extensions only) that no entry names
    // The user agreed that a file fitting only without its old copy has the old copy removed first.
    bool allowRemoveFirst = false;
    // How long the write waits for another publish to the same medium before it refuses.
    int lockWaitMs = 5000;
};

struct PublishItem {
    std::string name; // as stored: NAME.EXT, or NAME. without extension
    PublishAction action = PublishAction::Missing;
    std::string sourceDir;  // the media folder it comes from (ending in the separator); empty if none
    std::string sourceName; // its name there, in that folder's letter case
    std::uint64_t size = 0; // of the source, or of the medium's file when there is no source
    std::string mediumName; // the medium's file of that name in any letter case; empty if none
    std::string note;       // e.g. another folder holds different content under the same name
    // A replacement that fits only when the old copy is removed before the new one is written.
    bool removeFirst = false;

    std::string sourcePath() const { return sourceDir + sourceName; }
    // Whether the medium holds this file once written: the files whose verdicts Write and publish show.
    bool goesOnMedium() const {
        return !sourceDir.empty() && (action == PublishAction::Copy || action == PublishAction::Replace ||
                                      action == PublishAction::Keep);
    }
};

struct PublishPlan {
    std::string destination;        // ending in the separator
    std::string scheduleName;       // the schedule file's name on the medium
    bool scheduleUnchanged = false; // the medium's schedule file decodes to this very schedule
    // Removals first, then every distinct name in the order the schedule first uses it.
    std::vector<PublishItem> items;
    std::uint64_t bytesToWrite = 0; // media files to copy or replace
    std::uint64_t bytesNeeded = 0;  // free space the write needs at its fullest, schedule file included
    std::uint64_t freeSpace = 0;    // stale temporary files of killed writes counted as free
    // About what is free once the write and its removals are done, in whole allocation units.
    std::uint64_t freeAfter = 0;
    bool spaceKnown = true; // false: the volume gives no figure, the write is tried
    bool fat = false;
    std::vector<std::string> notes; // media folders that cannot be read, and the like
    // Why nothing can be written at all (destination, space, a file too large for FAT, a file that
    // cannot be written, remove-first not allowed). The items are filled in all the same wherever
    // the destination could be listed.
    std::optional<std::string> refusal;
    // What the plan was made from, so the write can make it again under the lock and compare.
    std::vector<std::string> mediaDirs;
    PublishOptions options;

    int count(PublishAction action) const;
    // The replacements that need their old copy removed first, in plan order.
    std::vector<std::string> removeFirstNames() const;
    // The plan is refused only because remove-first was not allowed: asking the user is worth it.
    bool refusedOnlyForRemoveFirst() const { return refusal && removeFirstRefusal; }
    bool removeFirstRefusal = false;
};

// Looks at the media folders and the destination and decides, for every distinct media name the
// schedule uses (basic and detail entries), what would happen. Letter case is ignored when looking
// names up; the first folder holding a name wins. Notes and refusals are worded from `texts`.
PublishPlan PlanPublish(const Schedule& schedule, const std::vector<std::string>& mediaDirs,
                        const std::string& destination, const std::string& scheduleFileName,
                        const PublishOptions& options = {}, const ScreenTexts& texts = EnglishTexts());

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
    // Before files were removed first, the medium's old schedule was rewritten without these names;
    // when the write then stopped, the medium plays that narrower schedule until it is repeated.
    // Empty once the new schedule is written.
    std::vector<std::string> scheduleNarrowed;

    // Every planned file is in place and the schedule file is on the medium.
    bool complete() const { return failures.empty() && !cancelled && (scheduleWritten || scheduleUnchanged); }
};

// Carries the plan out: media files first, each by the verified copy, under its stored name; then
// the schedule file, atomically; then the removals. A failed media file stops the write before the
// schedule file, so the medium keeps its old schedule. A refused plan writes nothing.
// The whole write holds an exclusive lock of the destination (a lock file of this program's in it,
// removed afterwards); another publish holding it for longer than plan.options.lockWaitMs refuses
// this one. Under the lock the plan is made again and must still be the same. All work is done
// relative to the destination directory opened once; if at the end the destination path no longer
// leads to that directory (the medium was unmounted), the write is reported as failed. Links on the
// medium are never followed. Reasons are worded from `texts`.
PublishReport CarryOutPublish(const PublishPlan& plan, const Schedule& schedule, RandomSource& random,
                              const PublishProgressCallback& progress = {}, FileIo& io = FileIo::system(),
                              const ScreenTexts& texts = EnglishTexts());

// The folders media are looked up in: the remembered ones, or the last media folder picked, and the
// folder of player copies.
std::vector<std::string> MediaFoldersOf(const PublishSettings& settings, const std::string& mediaDir);
// The folders the editor looks a schedule's media up in: MediaFoldersOf, and the schedule's own
// folder, where media kept beside it count as found.
std::vector<std::string> ScheduleMediaFolders(const PublishSettings& settings, const std::string& mediaDir,
                                              const std::string& scheduleDir);

// The report in plain English lines: one per failure, saying which file and why, then counts.
std::vector<std::string> PublishReportLines(const PublishReport& report);

} // namespace velmo
