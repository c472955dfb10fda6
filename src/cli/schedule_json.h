#pragma once

#include "model/schedule.h"
#include "rules/finding.h"

#include <string>
#include <string_view>
#include <vector>

namespace velmo {

// The schedule as JSON: {"basic": [...], "advance": [...]} with field names and values as stored in the
// file (years as the offset from 2000). Names are the stored bytes up to the last non-zero one, as their
// Windows-1252 characters; a zero byte inside a name (only in foreign files) shows as \u0000 so nothing
// is lost. Ends with a line break.
std::string ScheduleToJson(const Schedule& schedule);

struct JsonSchedule {
    Schedule schedule;
    // Malformed JSON, unknown or missing fields, wrong types, values that fit no byte: each with its line
    // and column. When there are any, `schedule` means nothing.
    std::vector<Finding> syntax;
    // Names the entry editor refuses before they could even be stored (too long, "name" that fails its
    // check). Everything else is judged on `schedule` by CheckScheduleContent.
    std::vector<Finding> names;
};

// Reads the JSON form. A file entry may give "name" (a typed name, checked, split and upper-cased as the
// entry editor does) instead of "fileName" and "fileExt"; "reserved" may be left out (zeros).
JsonSchedule ParseScheduleJson(std::string_view text);

} // namespace velmo
