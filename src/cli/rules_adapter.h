#pragma once

#include "model/schedule.h"

#include <optional>
#include <string>

// The main window's rules as this tool applies them: its row texts and its save checks. They live once,
// with the main window (src/ui/main); this file only adapts their calls.
namespace velmo::rules {

// Row texts as the main window's full refill writes them, in UTF-8 (name bytes above 127 as their
// Windows-1252 characters).
std::string FormatFileRow(const FileEntry& entry);
std::string FormatAdvanceRow(const AdvanceEntry& entry);

// The first reason the editor refuses to save the schedule, in its English words (lines separated by
// CR LF), or nothing when it would save it.
std::optional<std::string> ScheduleSaveRefusal(const Schedule& schedule);

} // namespace velmo::rules
