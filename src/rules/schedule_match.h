#pragma once

// When an advance entry is in force, and what the player plays.
//
// An advance entry is in force at a moment when the day lies in its date range (both ends included),
// the day is its week day (or it is set to every day) and the time lies in its daily window (both
// ends included). What the player plays when several entries are in force at once is not known;
// this program assumes the first of them in list order plays, and the basic schedule plays whenever
// none is in force. The editor's overview and the command-line tool's `on` both take that from here.

#include "model/schedule.h"
#include "rules/civil_date.h"

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

// The entries in force at one moment, in list order; the first plays. None: the basic schedule plays.
struct InForce {
    std::vector<int> advance;
    bool basicPlays() const { return advance.empty(); }
    int playing() const { return advance.empty() ? -1 : advance.front(); }
};
InForce WhatIsInForce(const Schedule& schedule, const CivilDate& date, const ClockTime& time);

constexpr int kSecondsPerDay = 24 * 60 * 60;
int SecondOfDay(const ClockTime& time);
ClockTime TimeOfSecond(int second);

// A stretch of one day, first to last second both included, and who plays in it: an advance entry
// (from 0) or, for -1, the basic schedule.
struct PlaySpan {
    int first = 0;
    int last = kSecondsPerDay - 1;
    int advance = -1;
    bool operator==(const PlaySpan&) const = default;
};
// What plays through the day, by the rule above: consecutive spans from 00:00:00 to 23:59:59.
std::vector<PlaySpan> DayPlan(const Schedule& schedule, const CivilDate& date);

// The following assume an entry whose dates are real calendar days.

// False when the entry names one week day and none of the days from its start to its stop date is one.
bool DateRangeHoldsWeekDay(const AdvanceEntry& entry);
// Its stop date lies before `today`.
bool HasEnded(const AdvanceEntry& entry, const CivilDate& today);
// Some day lies in both date ranges and suits both week-day rules, and the time windows share a moment.
bool AdvanceEntriesOverlap(const AdvanceEntry& a, const AdvanceEntry& b);

// Where two entries overlap: the week day they share (7 every day), the time window they share and
// the first and last day they share in dates (the first one on that week day).
struct Overlap {
    int weekDay = kWeekDayAll;
    ClockTime from;
    ClockTime to;
    CivilDate firstDay;
    CivilDate lastDay;
};
std::optional<Overlap> OverlapOf(const AdvanceEntry& a, const AdvanceEntry& b);

// An entry's dates as day numbers and its window as seconds of the day, worked out once, for
// comparing it with many others.
struct EntryWindow {
    long firstDay = 0;
    long lastDay = 0;
    int firstSecond = 0;
    int lastSecond = 0;
    int weekDay = kWeekDayAll; // 7 for every day
};
EntryWindow EntryWindowOf(const AdvanceEntry& entry);
std::optional<Overlap> OverlapOf(const EntryWindow& a, const EntryWindow& b);

} // namespace velmo
