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

int RunMediaCommand(const CliArgs& args, CliEnvironment& env);
int RunConvertCommand(const CliArgs& args, CliEnvironment& env);

// Each file the schedule names that is in none of the folders, or is there but will not play, as a
// warning about the first entry naming it.
std::vector<Finding> CheckScheduleMedia(const Schedule& schedule, const std::vector<std::string>& folders);

} // namespace velmo
