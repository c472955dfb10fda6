#pragma once

// The schedule kept when the session ends with unsaved changes, offered back at the next start.
// One file: a first line naming the format, the schedule's directory and file name (each as a
// length line and its bytes), then the schedule in the schedule file's own encoding.

#include "random_source.h"
#include "result.h"
#include "schedule.h"

#include <string>

namespace velmo {

struct RecoveredSchedule {
    std::string directory;
    std::string fileName;
    Schedule schedule;
};

Result WriteRecoveryFile(const std::string& path, const RecoveredSchedule& kept, RandomSource& random);

enum class RecoveryRead { Absent, Read, Damaged };
// `kept` is filled only when the whole file was read.
RecoveryRead ReadRecoveryFile(const std::string& path, RecoveredSchedule& kept);

// Moves a damaged recovery file to a free name beside it (path.damaged, path.damaged1, ...), so it is
// kept but offered no more. The new path, or empty when it could not be moved.
std::string SetRecoveryFileAside(const std::string& path);

} // namespace velmo
