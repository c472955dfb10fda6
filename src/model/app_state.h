#pragma once

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

    std::int16_t languageSelector = 1;
    // What the entry editor opened next does: add or modify an entry of the list it works on
    // (NormalList for the file editor, AdvanceList for the advance editor), or of DetailList.
    static constexpr std::int16_t kEditAdd = 1;
    static constexpr std::int16_t kEditModify = 2;
    static constexpr std::int16_t kEditAddDetail = 3;
    static constexpr std::int16_t kEditModifyDetail = 4;
    std::int16_t editMode = 0;
    std::int16_t editIndex = 0;
    std::int16_t editAdvanceIndex = 0;
};

} // namespace velmo
