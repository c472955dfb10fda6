#pragma once

// The schedule kept when the session ends with unsaved changes, offered back at the next start.
// One file: a first line naming the format, the schedule's directory and file name (each as a
// length line and its bytes), then the schedule in the schedule file's own encoding.

#include "random_source.h"
#include "result.h"
#include "schedule.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace velmo {

struct RecoveredSchedule {
    std::string directory;
    std::string fileName;
    Schedule schedule;
};

// The file's bytes, for a caller that writes them elsewhere (off the window's thread).
Result EncodeRecoveryFile(const RecoveredSchedule& kept, RandomSource& random,
                          std::vector<std::uint8_t>& bytes);
Result WriteRecoveryFile(const std::string& path, const RecoveredSchedule& kept, RandomSource& random);

// Newer: a later version of the program wrote it; it is left as it is for that version.
enum class RecoveryRead { Absent, Read, Damaged, Newer };
// `kept` is filled only when the whole file was read.
RecoveryRead ReadRecoveryFile(const std::string& path, RecoveredSchedule& kept);

// Moves a damaged recovery file to a free name beside it (path.damaged, path.damaged1, ...), so it is
// kept but offered no more. The new path, or empty when it could not be moved.
std::string SetRecoveryFileAside(const std::string& path);

// A recovery file nobody has answered yet is never replaced by a newer session's: the newer one goes
// beside it, under path, path.2, path.3, ... This is the first of those names that is free.
std::string FreeRecoveryPath(const std::string& path);
// The recovery files kept under those names, newest first.
std::vector<std::string> RecoveryFilesNewestFirst(const std::string& path);

// A recovery file that could not be written is remembered (beside it, or in the temporary
// directory when its own directory takes nothing), so the next start can say so instead of
// offering an older schedule as last time's without a word.
void NoteRecoveryFailure(const std::string& path, const std::string& reason);
// The reason noted, if any; the note is removed.
std::optional<std::string> TakeRecoveryFailure(const std::string& path);

} // namespace velmo
