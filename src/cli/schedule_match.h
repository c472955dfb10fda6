#pragma once

#include "civil_date.h"
#include "model/schedule.h"

#include <optional>
#include <vector>

namespace velmo {

// The entry's stored dates and times as calendar values (years stored as the offset from 2000).
CivilDate StartDateOf(const AdvanceEntry& entry);
CivilDate StopDateOf(const AdvanceEntry& entry);
ClockTime StartTimeOf(const AdvanceEntry& entry);
ClockTime StopTimeOf(const AdvanceEntry& entry);

// Start and stop dates both inclusive.
bool DateInRange(const AdvanceEntry& entry, const CivilDate& date);
// Week-day code 7 and above means every day, as the lists show it ("All Day").
bool WeekDayMatches(const AdvanceEntry& entry, int weekDay);
// Start and stop times both inclusive.
bool TimeInWindow(const AdvanceEntry& entry, const ClockTime& time);

// In force on that date, and at that time when one is given.
bool IsInForce(const AdvanceEntry& entry, const CivilDate& date, const std::optional<ClockTime>& time);

// Indices (from 0) of the advance entries in force, in list order.
std::vector<int> AdvanceEntriesInForce(const Schedule& schedule, const CivilDate& date,
                                       const std::optional<ClockTime>& time);

// The following assume an entry whose dates are real calendar days.

// False when the entry names one week day and none of the days from its start to its stop date is one.
bool DateRangeHoldsWeekDay(const AdvanceEntry& entry);
// Its stop date lies before `today`.
bool HasEnded(const AdvanceEntry& entry, const CivilDate& today);
// Some day lies in both date ranges and suits both week-day rules, and the time windows share a moment.
bool AdvanceEntriesOverlap(const AdvanceEntry& a, const AdvanceEntry& b);

} // namespace velmo
