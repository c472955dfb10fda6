#pragma once

#include "app_state.h"
#include "file_io.h"
#include "result.h"

#include <functional>
#include <string>

namespace velmo {

inline constexpr char kSettingsFileName[] = "SystemInfo.txt";

// Reads the seven remembered values from appPath + "SystemInfo.txt". On a damaged file, calls
// showError (the caller shows its message), deletes the file and keeps the values read so far.
void ReadSettings(AppState& state, const std::function<void()>& showError);

// Replaces appPath + "SystemInfo.txt" safely with the six lines of the current values.
Result WriteSettings(const AppState& state, FileIo& io = FileIo::system());

} // namespace velmo
