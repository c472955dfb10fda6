#pragma once

// The rules of the two entry editors, free of any toolkit so that the editors and the command-line
// tool apply the very same checks, splits and row texts. Text is UTF-8; lengths count characters.

#include "model/file_system.h"
#include "model/schedule.h"

#include <cstdint>
#include <string>
#include <string_view>

namespace velmo {

// ---- Media-file entries ----------------------------------------------------------------------

constexpr int kFileNameTextLimit = 22; // characters the name box accepts
constexpr int kMaxVolumeLevel = 12;

// Why a typed media-file name is refused; the editor shows one message for all of them.
enum class FileNameFault {
    None,
    Empty,              // nothing but spaces
    BaseTooLong,        // more than 16 characters before the last dot
    ExtensionTooLong,   // more than 4 characters after the last dot
    CharacterNotAllowed // anything but a-z, A-Z, 0-9, '.', '_', '-'
};

// A short English description, for reports such as "File Name Error! (extension longer than 4)".
const char* FileNameFaultText(FileNameFault fault);

// Removes leading and trailing spaces (spaces only, as the name box does).
std::string TrimSpaces(std::string_view text);
// The number of characters (code points) of UTF-8 text.
int CharacterCount(std::string_view text);

// 1-based character position of the last '.', 0 when there is none.
int LastDotPosition(std::string_view text);
// True when every character is a-z, A-Z, 0-9, '.', '_' or '-', judged by its code alone.
bool FileNameCharCheck(std::string_view text);

struct FileNameParts {
    std::string base;      // before the last dot, or the whole text without a dot
    std::string extension; // after the last dot; empty without a dot
};
// Splits a trimmed name at its last dot.
FileNameParts SplitFileName(std::string_view trimmed);

// Checks a name as typed (surrounding spaces allowed) in the order empty, base, extension,
// characters, and returns the first rule it breaks.
FileNameFault FileNameCheck(std::string_view typed);

// The play count and volume the editor shows for stored values: the nearest item of its lists.
int NearestPlayTimes(int stored);
int NearestVolume(int stored);

// Writes a typed name (trimmed, upper-cased, split at the last dot) over the full widths of
// fileName and fileExt, zeroes reserved and sets the play count and volume, brought into their
// ranges. A name that FileNameCheck refuses leaves the entry untouched and gives false.
bool StoreFileEntry(FileEntry& entry, std::string_view typed, int playTimes, int volume);

// The name as the editor shows a stored entry: name bytes up to the first zero, '.', extension
// bytes up to the first zero; bytes above 127 as their Windows-1252 characters.
std::string StoredNameText(const FileEntry& entry);

// Why a stored media-file entry could not have come from the editor.
enum class FileEntryFault {
    None,
    NameCharacterNotAllowed, // a byte outside a-z, A-Z, 0-9, '.', '_', '-'
    NameNotUpperCase,        // a lower-case letter
    NameGap,                 // a character after a zero byte
    ExtensionDot,            // a '.' in the extension
    PlayTimesOutOfRange,     // above 100
    VolumeOutOfRange         // above 13
};
const char* FileEntryFaultText(FileEntryFault fault);
// Checks name, extension, play count and volume, in this order; reserved bytes are not judged.
FileEntryFault CheckStoredFileEntry(const FileEntry& entry);

// ---- Advance entries -------------------------------------------------------------------------

constexpr int kFirstYear = 2000;
constexpr int kLastYear = 2099;

// Gregorian rule: divisible by 4 and either not by 100 or by 400.
bool IsLeapYear(int year);
// 31 for months 1, 3, 5, 7, 8, 10, 12; 29 or 28 for month 2; 30 for every other value.
int DaysOfMonth(int year, int month);

struct DateSetup {
    int year = kFirstYear; // the calendar year, 2000..2099
    int month = 1;
    int day = 1;
    bool operator==(const DateSetup&) const = default;
};

struct TimeSetup {
    int hour = 0;
    int minute = 0;
    int second = 0;
    bool operator==(const TimeSetup&) const = default;
};

// Everything the advance editor's thirteen lists show.
struct AdvanceSetup {
    DateSetup startDate;
    DateSetup stopDate;
    TimeSetup startTime;
    TimeSetup stopTime;
    int weekDay = kWeekDayAll;
    bool operator==(const AdvanceSetup&) const = default;
};

// Start date not after stop date; equal dates pass.
bool CheckDateSetup(const DateSetup& start, const DateSetup& stop);
// Start time strictly before stop time; equal times fail. Dates play no part.
bool CheckTimeSetup(const TimeSetup& start, const TimeSetup& stop);

enum class AdvanceSetupFault {
    None,
    DateSetup, // start date after stop date
    TimeSetup  // start time not before stop time
};
// The date rule first, so a setup breaking both reports the date.
AdvanceSetupFault CheckAdvanceSetup(const AdvanceSetup& setup);

// The day kept when the year or month changes: the same day when the month has it, else its last.
int NearestDay(int year, int month, int day);

// A new entry: today's date as start and stop (the year brought into 2000..2099 and the day into its
// month), 0:00:00 to 23:59:59, every day.
AdvanceSetup NewAdvanceSetup(int year, int month, int day);
// A stored entry as the lists can show it: every value brought to the nearest item of its list.
AdvanceSetup AdvanceSetupFromEntry(const AdvanceEntry& entry);

// Writes the dates, times and week day; a new entry also gets no detail entries. Nothing else of
// the entry is touched, so a modified entry keeps its files.
void StoreAdvanceEntry(AdvanceEntry& entry, const AdvanceSetup& setup, bool newEntry);

// Why a stored advance entry could not have come from the editor.
enum class AdvanceEntryFault {
    None,
    StartYearOutOfRange,
    StartMonthOutOfRange,
    StartDayOutOfRange, // 0 or beyond its month
    StartHourOutOfRange,
    StartMinuteOutOfRange,
    StartSecondOutOfRange,
    StopYearOutOfRange,
    StopMonthOutOfRange,
    StopDayOutOfRange,
    StopHourOutOfRange,
    StopMinuteOutOfRange,
    StopSecondOutOfRange,
    WeekDayOutOfRange,
    DateSetup, // start date after stop date
    TimeSetup  // start time not before stop time
};
const char* AdvanceEntryFaultText(AdvanceEntryFault fault);
// Checks the fields in stored order, then the date rule, then the time rule. Detail entries are
// not looked at.
AdvanceEntryFault CheckStoredAdvanceEntry(const AdvanceEntry& entry);

} // namespace velmo
