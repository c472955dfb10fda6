#pragma once

// What is likely wrong with a schedule the editor would save as it is: entries that can never play
// as meant, and slips in the files they name. The editor's overview and the command-line tool's
// `check` share these findings; what is in force when lives in schedule_match.h.

#include "model/schedule.h"
#include "rules/civil_date.h"
#include "rules/finding.h"
#include "rules/schedule_match.h"

#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace velmo {

class ScreenTexts;

enum class ProblemKind {
    ValueOutsideLists,  // a value the editors' lists do not offer (an entry from another program)
    NoFiles,            // an advance entry without files; Save refuses the schedule
    WeekDayNeverOccurs, // its week day falls on none of its days
    Ended,              // its stop date lies before today
    EndsSoon,           // its stop date is today or within kEndingSoonDays
    Overlap,            // in force at the same moments as a later entry
    MediaMissing,       // the named file is in none of the media folders
    MediaWillNotPlay,   // the named file is there, but the player does not play it
    VolumesDiffer,      // the same file with another volume earlier in the same list
};

struct ScheduleProblem {
    ProblemKind kind = ProblemKind::ValueOutsideLists;
    EntryId entry;
    // Overlap: the other advance entry; VolumesDiffer: the earlier detail (or basic) entry.
    int other = -1;
    // Overlap: what the two share. WeekDayNeverOccurs: the entry's week day and dates. Ended: its stop
    // date as lastDay (EndsSoon too).
    Overlap overlap;
    CivilDate today;  // Ended, EndsSoon
    std::string name; // MediaMissing, MediaWillNotPlay, VolumesDiffer: the file name on disk ("SONG.MP3")
    std::string why;  // MediaWillNotPlay: the reasons, in the texts of whoever judged it
    int volume = 0;   // VolumesDiffer: this entry's volume and the earlier one's
    int otherVolume = 0;
};

// The name a media file on disk has ("SONG.MP3"): a stored name without extension has no dot either.
std::string MediaFileName(const FileEntry& entry);

// Points every file entry (basic and details) named as a key of `names` ("CLIP.MP4") at the name it
// maps to ("CLIP.MPG"), keeping its play count and volume. Gives how many entries changed.
int RenameMediaFiles(Schedule& schedule, const std::map<std::string, std::string>& names);

// Tells whether a media file of this name ("SONG.MP3") is in one of the media folders.
using MediaLookup = std::function<bool(const std::string& name)>;

// Why a media file of this name that is in a media folder will not play; nothing when it plays or
// is not known yet.
using MediaJudge = std::function<std::optional<std::string>(const std::string& name)>;

// Every problem, entry by entry in list order: the basic entries, then each advance entry followed
// by its files. Dates are judged only on entries whose values the editor could have stored. Without
// a lookup the media files are not looked for; without a judge they are not judged.
std::vector<ScheduleProblem> FindScheduleProblems(const Schedule& schedule, const CivilDate& today,
                                                  const MediaLookup& mediaExists = {},
                                                  const MediaJudge& willNotPlay = {});

// The warnings that matter right after advance entry `index` was stored: its overlaps with any other
// entry (seen from it), its end before today and a week day that never occurs.
std::vector<ScheduleProblem> AdvanceEntryWarnings(const Schedule& schedule, int index,
                                                  const CivilDate& today);

// One line for the overview's problem list, in the active screen texts:
// "Advance 2 plays; Advance 5 is silent then, Mondays 08:00-12:00, 2008/01/07 to 2008/03/31".
std::string ProblemText(const ScheduleProblem& problem, const ScreenTexts& texts);
// "Basic 2", "Advance 3", "Advance 3, file 4".
std::string EntryLabel(const EntryId& entry, const ScreenTexts& texts);
// "08:00" or "08:00:01": seconds only when they are not zero.
std::string ShortClockTime(const ClockTime& time);

// What the overview's month calendar paints for one day.
struct DayMarks {
    CivilDate date;
    std::vector<int> advance; // the advance entries in force on that day, in list order
    bool overlap = false;     // two of them share a moment of the day
    bool today = false;
};
// Every day of the month, from the first.
std::vector<DayMarks> MonthMarks(const Schedule& schedule, int year, int month, const CivilDate& today);

// The command-line tool's warnings (date ranges without their week day, ended entries, overlaps, the
// overlaps after the twentieth only counted), in English.
std::vector<Finding> CheckScheduleSense(const Schedule& schedule, const CivilDate& today);

} // namespace velmo
