#pragma once

#include "publish_settings.h"
#include "schedule.h"

#include <cstdint>
#include <string>

namespace velmo {

// The program's one model and shared state, created in main() (or by a test) and passed by reference.
// Directory values end in the native separator whenever the program sets them.
struct AppState {
    Schedule schedule;

    std::string appPath;
    std::string openDir;
    std::string saveDir;
    std::string scheduleDir;
    std::string scheduleFileName;
    std::string mediaDir;
    std::string copyDrive;
    std::string copyDir;
    // Where the dialogs start before anything is remembered, when that is not appPath (the user's
    // Documents on Windows, where appPath is a hidden data folder); empty: appPath.
    std::string documentsDir;

    std::int16_t languageSelector = 1;

    // Where Write to Player Medium last wrote to and from; read once at start-up.
    PublishSettingsStore publish;
};

} // namespace velmo
