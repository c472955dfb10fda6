#pragma once

// One player name for one file, with the files found: the names a schedule already holds, the names
// examined files get, and the names of a schedule that two different files of its media folders
// would fill. Reads the folders; blocking, so the editor runs it off the window's thread.

#include "media/media_probe.h"
#include "model/schedule.h"
#include "rules/player_name.h"

#include <string>
#include <vector>

namespace velmo {

// Claims that tell two files apart by their bytes, not only by their paths.
PlayerNameClaims ContentNameClaims();

// The schedule's names, each held by the file that fills it (the first folder's file of that name),
// or by the name alone when no folder has it yet: a different file never takes it.
void HoldScheduleNames(PlayerNameClaims& claims, const Schedule& schedule,
                       const std::vector<std::string>& folders);

// Each examined file's player name, kept apart from the names already claimed and from the other
// files' in the order given: a different file under a taken name gets the next free variant.
void ClaimPlayerNames(std::vector<ExaminedMedia>& examined, PlayerNameClaims& claims);

struct SharedPlayerName {
    std::string name;               // as the schedule names it
    std::vector<std::string> files; // the different files of the folders that would fill it
};
// The schedule's names that two or more different files of the folders would fill, each by the
// player name it gets from its own file name.
std::vector<SharedPlayerName> SharedPlayerNames(const Schedule& schedule,
                                                const std::vector<std::string>& folders);

} // namespace velmo
