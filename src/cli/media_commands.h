#pragma once

// The tool's media commands: `media` (what each file is and whether it plays), `convert` (player
// copies) and the media part of `check`.

#include "cli.h"
#include "cli_args.h"
#include "model/schedule.h"
#include "rules/finding.h"

#include <string>
#include <vector>

namespace velmo {

class MediaProbeCache;

// A file name or reason fit for a one-line-per-file output: control characters written as \n, \t
// or \xNN, so a name holding a newline cannot break the line or pass for two files. Backslashes
// stay as they are: they are Windows' folder separators.
std::string OneLineText(const std::string& text);

// What `publish` says about each file it would copy that will not play: "warn  NAME: reason", one
// line each, and how many there are.
struct MediaWarnings {
    std::vector<std::string> lines;
    int count = 0;
};
// With `cache`, files already examined there are not examined again.
MediaWarnings PublishMediaWarnings(const std::vector<std::string>& names,
                                   const std::vector<std::string>& paths, MediaProbeCache* cache = nullptr);

int RunMediaCommand(const CliArgs& args, CliEnvironment& env);
int RunConvertCommand(const CliArgs& args, CliEnvironment& env);

// Each file the schedule names that is in none of the folders, or is there but will not play, as a
// warning about the first entry naming it.
std::vector<Finding> CheckScheduleMedia(const Schedule& schedule, const std::vector<std::string>& folders);

} // namespace velmo
