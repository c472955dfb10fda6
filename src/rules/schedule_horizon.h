#pragma once

// Until when a schedule's dated part plays: a medium goes out for weeks, and once its last period has
// ended the player shows only the basic loop. The editor's Write to Player Medium and overview and
// the tool's `check` say it from here.

#include "model/schedule.h"
#include "rules/civil_date.h"

#include <optional>
#include <string>
#include <vector>

namespace velmo {

class ScreenTexts;

// Periods ending this many days from today or sooner are named.
constexpr int kEndingSoonDays = 14;

// The last stop date of the periods with real dates; none without any.
std::optional<CivilDate> LastPeriodDay(const Schedule& schedule);

// "Periods play until 2027-01-31; after that only the Basic Schedule plays" (or that every period has
// ended), then each period ending within kEndingSoonDays ("Advance 4 ends in 3 days (2026-12-11)"),
// then each period still to start ("Advance 6 starts on 2027-02-01"); rows next to each other with
// the same dates (a period's week days) are named once ("Advance 1–5"). Nothing without periods.
std::vector<std::string> ScheduleHorizonLines(const Schedule& schedule, const CivilDate& today,
                                              const ScreenTexts& texts);

// The periods (indices from 0, in list order) that have not ended by today but end before `until`.
std::vector<int> PeriodsEndingBefore(const Schedule& schedule, const CivilDate& today,
                                     const CivilDate& until);

} // namespace velmo
