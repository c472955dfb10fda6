#pragma once

#include "app_state.h"
#include "file_io.h"
#include "result.h"

#include <functional>
#include <string>

namespace velmo {

inline constexpr char kSettingsFileName[] = "SystemInfo.txt";

// The schedule last worked on, as the settings remember it; the editor's document opens it at start.
struct RememberedSchedule {
    std::string directory;
    std::string fileName;
};

// Reads the seven remembered values from appPath + "SystemInfo.txt": the schedule's folder and file
// name into `schedule`, the others into `state`. On a damaged file (also one far longer than seven
// paths need, or with a value longer than a path), calls showError (the caller shows its message),
// deletes the file and keeps the values read so far.
void ReadSettings(AppState& state, RememberedSchedule& schedule, const std::function<void()>& showError,
                  FileIo& io = FileIo::system());

// Replaces appPath + "SystemInfo.txt" safely with the six lines of the current values. A quote
// inside a value is written doubled, which the reader takes back as one. Refuses, keeping the old
// file, a value longer than a path.
Result WriteSettings(const AppState& state, FileIo& io = FileIo::system());

} // namespace velmo
