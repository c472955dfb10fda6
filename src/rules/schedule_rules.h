#pragma once

#include "model/code_page.h"
#include "model/result.h"

// The main window's rules that need no widget: row texts, the save checks, the extension rule, the
// default-name search, moving and removing entries, and the choice of the application directory.
// Free of Qt so that tests and the command-line tool use them as they are.

#include "model/schedule.h"
#include "texts/screen_texts.h"

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace velmo {

class ScreenTexts;

inline constexpr char kDefaultScheduleBaseName[] = "velmo";
inline constexpr char kScheduleExtension[] = "vlm";

// Texts here are UTF-8, stored name bytes shown as model/code_page.h says.

// "NAME.EXT" padded to 21 characters, play count, volume or "Default".
std::string FormatFileRow(const FileEntry& entry);
// "yyyy/mm/dd   yyyy/mm/dd   Weekday".
std::string FormatAdvanceRow(const AdvanceEntry& entry);

// Appends ".vlm" to a chosen schedule file name unless it already ends in a dot and three
// characters, whatever those are.
std::string ApplyScheduleExtension(const std::string& name);

// Why the schedule cannot be saved, in the words of the active screen texts; nothing when it can.
std::optional<std::string> ScheduleSaveRefusal(const Schedule& schedule, const ScreenTexts& texts);
// Why a write of the schedule file failed, as the status bar says it after "File Save Error!".
TextId SaveFailureText(FailureKind kind);
// The first advance entry that lists no files, which the save checks refuse; -1 for none.
int FirstAdvanceWithoutFiles(const Schedule& schedule);

// The first of velmo.vlm, velmo1.vlm, velmo2.vlm, ... for which taken() is false. betweenAttempts
// runs after each name found taken.
std::string FreeScheduleName(const std::function<bool(const std::string&)>& taken,
                             const std::function<void()>& betweenAttempts = {});

// Swap entries a and b as whole records (an advance entry with all its detail entries). Nothing
// changes, and false is returned, unless both lie among the count entries in use.
bool SwapEntries(std::vector<FileEntry>& entries, int count, int a, int b);
bool SwapEntries(std::vector<AdvanceEntry>& entries, int count, int a, int b);

// Move entry `from` to place `to`, the entries between shifting by one towards `from`'s old place.
// False, with nothing changed, unless both lie among the count entries in use.
bool MoveEntry(std::vector<FileEntry>& entries, int count, int from, int to);
bool MoveEntry(std::vector<AdvanceEntry>& entries, int count, int from, int to);

// Remove entry index: later entries move up by one, count drops by one and the storage shrinks to
// count + 1 elements, the spare one empty. False, with nothing changed, for an index not in use.
bool RemoveEntry(std::vector<FileEntry>& entries, std::int16_t& count, int index);
bool RemoveEntry(std::vector<AdvanceEntry>& entries, std::int16_t& count, int index);

// The application directory: beside the program, unless the program runs from its installed
// location or from a directory it cannot write; then the per-user data directory (when one can be
// had). Always ends in the separator.
std::string ChooseAppPath(const std::string& programDir, bool runsFromInstallDir, bool programDirWritable,
                          const std::function<std::string()>& userDataDir);

// The mount point, among those given, of the volume that holds path: the longest one that is path
// itself or a directory above it. The root directory when none is.
std::string MountPointOf(const std::string& path, const std::vector<std::string>& mountPoints);

} // namespace velmo
