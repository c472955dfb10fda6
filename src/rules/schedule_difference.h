#pragma once

// What a new schedule changes against an old one (the one on the player's medium), in the program's
// words. Write to Player Medium shows it before anything is written; the tool's `diff` prints it.

#include "model/schedule.h"

#include <string>
#include <vector>

namespace velmo {

class ScreenTexts;

// One line per change, basic entries first, then the periods; numbers are the new schedule's, those
// of removed entries the old one's. Only "no change to the schedule" when both play the same.
// Entries are matched by file name (basic and detail) and periods by their dates, days and hours or,
// failing that, their files, so an entry that moved is one move, not a removal and an addition.
std::vector<std::string> ScheduleDifferenceLines(const Schedule& before, const Schedule& after,
                                                 const ScreenTexts& texts);

} // namespace velmo
