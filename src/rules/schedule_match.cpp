#include "schedule_match.h"

#include <algorithm>

namespace velmo {

namespace {

bool isAllDays(const AdvanceEntry& entry) {
    return entry.weekDay >= kWeekDayAll;
}

// True when some day of [first, last] falls on weekDay (0..6).
bool rangeHoldsWeekDay(long first, long last, int weekDay) {
    if (first > last)
        return false;
    if (last - first >= 6)
        return true;
    const int firstWeekDay = WeekDayOfDayNumber(first);
    const long wait = (weekDay - firstWeekDay + 7) % 7;
    return first + wait <= last;
}

} // namespace

CivilDate StartDateOf(const AdvanceEntry& e) {
    return {2000 + e.startYear, e.startMonth, e.startDay};
}
CivilDate StopDateOf(const AdvanceEntry& e) {
    return {2000 + e.stopYear, e.stopMonth, e.stopDay};
}
ClockTime StartTimeOf(const AdvanceEntry& e) {
    return {e.startHour, e.startMinute, e.startSecond};
}
ClockTime StopTimeOf(const AdvanceEntry& e) {
    return {e.stopHour, e.stopMinute, e.stopSecond};
}

bool DateInRange(const AdvanceEntry& entry, const CivilDate& date) {
    return StartDateOf(entry) <= date && date <= StopDateOf(entry);
}

bool WeekDayMatches(const AdvanceEntry& entry, int weekDay) {
    return isAllDays(entry) || entry.weekDay == weekDay;
}

bool TimeInWindow(const AdvanceEntry& entry, const ClockTime& time) {
    return StartTimeOf(entry) <= time && time <= StopTimeOf(entry);
}

bool IsInForce(const AdvanceEntry& entry, const CivilDate& date, const std::optional<ClockTime>& time) {
    return DateInRange(entry, date) && WeekDayMatches(entry, WeekDayOf(date)) &&
           (!time || TimeInWindow(entry, *time));
}

std::vector<int> AdvanceEntriesInForce(const Schedule& schedule, const CivilDate& date,
                                       const std::optional<ClockTime>& time) {
    std::vector<int> found;
    const int count = std::min<int>(schedule.advanceCount, static_cast<int>(schedule.advanceEntries.size()));
    for (int i = 0; i < count; ++i)
        if (IsInForce(schedule.advanceEntries[i], date, time))
            found.push_back(i);
    return found;
}

bool DateRangeHoldsWeekDay(const AdvanceEntry& entry) {
    if (isAllDays(entry))
        return true;
    return rangeHoldsWeekDay(DayNumber(StartDateOf(entry)), DayNumber(StopDateOf(entry)), entry.weekDay);
}

bool HasEnded(const AdvanceEntry& entry, const CivilDate& today) {
    return StopDateOf(entry) < today;
}

bool AdvanceEntriesOverlap(const AdvanceEntry& a, const AdvanceEntry& b) {
    return OverlapOf(a, b).has_value();
}

std::optional<Overlap> OverlapOf(const AdvanceEntry& a, const AdvanceEntry& b) {
    return OverlapOf(EntryWindowOf(a), EntryWindowOf(b));
}

EntryWindow EntryWindowOf(const AdvanceEntry& e) {
    return {DayNumber(StartDateOf(e)), DayNumber(StopDateOf(e)), SecondOfDay(StartTimeOf(e)),
            SecondOfDay(StopTimeOf(e)), isAllDays(e) ? kWeekDayAll : e.weekDay};
}

std::optional<Overlap> OverlapOf(const EntryWindow& a, const EntryWindow& b) {
    const int from = std::max(a.firstSecond, b.firstSecond);
    const int to = std::min(a.lastSecond, b.lastSecond);
    if (from > to)
        return std::nullopt;
    const long first = std::max(a.firstDay, b.firstDay);
    const long last = std::min(a.lastDay, b.lastDay);
    if (first > last)
        return std::nullopt;
    if (a.weekDay != kWeekDayAll && b.weekDay != kWeekDayAll && a.weekDay != b.weekDay)
        return std::nullopt;
    const int weekDay = a.weekDay != kWeekDayAll ? a.weekDay : b.weekDay;
    if (weekDay == kWeekDayAll)
        return Overlap{weekDay, TimeOfSecond(from), TimeOfSecond(to), DateOfDayNumber(first),
                       DateOfDayNumber(last)};
    if (!rangeHoldsWeekDay(first, last, weekDay))
        return std::nullopt;
    const long firstOnDay = first + (weekDay - WeekDayOfDayNumber(first) + 7) % 7;
    const long lastOnDay = last - (WeekDayOfDayNumber(last) - weekDay + 7) % 7;
    return Overlap{weekDay, TimeOfSecond(from), TimeOfSecond(to), DateOfDayNumber(firstOnDay),
                   DateOfDayNumber(lastOnDay)};
}

InForce WhatIsInForce(const Schedule& schedule, const CivilDate& date, const ClockTime& time) {
    return InForce{AdvanceEntriesInForce(schedule, date, time)};
}

int SecondOfDay(const ClockTime& time) {
    return (time.hour * 60 + time.minute) * 60 + time.second;
}

ClockTime TimeOfSecond(int second) {
    return {second / 3600, second / 60 % 60, second % 60};
}

std::vector<PlaySpan> DayPlan(const Schedule& schedule, const CivilDate& date) {
    struct Window {
        int first, last, advance;
    };
    std::vector<Window> windows;
    std::vector<int> cuts = {0, kSecondsPerDay};
    for (const int i : AdvanceEntriesInForce(schedule, date, std::nullopt)) {
        const AdvanceEntry& e = schedule.advanceEntries[static_cast<std::size_t>(i)];
        const int first = std::max(0, SecondOfDay(StartTimeOf(e)));
        const int last = std::min(kSecondsPerDay - 1, SecondOfDay(StopTimeOf(e)));
        if (first > last)
            continue;
        windows.push_back({first, last, i});
        cuts.push_back(first);
        cuts.push_back(last + 1);
    }
    std::sort(cuts.begin(), cuts.end());
    cuts.erase(std::unique(cuts.begin(), cuts.end()), cuts.end());

    std::vector<PlaySpan> plan;
    for (std::size_t c = 0; c + 1 < cuts.size(); ++c) {
        const int from = cuts[c];
        int who = -1;
        // Windows are in list order, so the first that covers the stretch is the one that plays.
        for (const Window& w : windows)
            if (w.first <= from && from <= w.last) {
                who = w.advance;
                break;
            }
        if (!plan.empty() && plan.back().advance == who)
            plan.back().last = cuts[c + 1] - 1;
        else
            plan.push_back({from, cuts[c + 1] - 1, who});
    }
    return plan;
}

} // namespace velmo
