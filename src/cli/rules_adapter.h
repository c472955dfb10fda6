#pragma once

#include "model/schedule.h"

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

// The editor's own rules as this tool applies them. Each rule lives once, with the window that owns it
// (src/ui/editors, src/ui/main); this file only adapts their calls, so the tool refuses and shows
// exactly what the editor does.
namespace velmo::rules {

// Days of the month in the Gregorian calendar (28..31).
int DaysOfMonth(int year, int month);
// Start date not after stop date.
bool CheckDateSetup(const AdvanceEntry& entry);
// Start time strictly before stop time.
bool CheckTimeSetup(const AdvanceEntry& entry);

struct FileNameOutcome {
    bool ok = false;
    std::string reason; // why the editor refuses the name, e.g. "extension longer than 4"
    std::array<std::uint8_t, kFileNameWidth> fileName{};
    std::array<std::uint8_t, kFileExtWidth> fileExt{};
};

// The entry editor's check of a typed name, and on success the name split and upper-cased into the bytes
// it stores. Characters are single bytes of the Windows-1252 code page.
FileNameOutcome CheckFileName(std::string_view text);

// Row texts as the main window's full refill writes them, in UTF-8 (name bytes above 127 as their
// Windows-1252 characters).
std::string FormatFileRow(const FileEntry& entry);
std::string FormatAdvanceRow(const AdvanceEntry& entry);

// The first reason the editor refuses to save the schedule, in its own words (lines separated by CR LF),
// or nothing when it would save it.
std::optional<std::string> ScheduleSaveRefusal(const Schedule& schedule);

} // namespace velmo::rules
