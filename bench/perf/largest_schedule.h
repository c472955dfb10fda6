#pragma once

#include "model/schedule.h"

namespace velmo::bench {

// The largest schedule the editor can save: 250 basic entries and 250 advance entries with 623
// detail entries between them (100 on the first, so its detail list is full), a size estimate of
// 29990, just below the limit. Every name uses all 16 + 3 characters the editor allows.
Schedule LargestSchedule();

} // namespace velmo::bench
