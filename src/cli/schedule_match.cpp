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
    const int firstWeekDay = WeekDayOf(DateOfDayNumber(first));
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
    if (std::max(StartTimeOf(a), StartTimeOf(b)) > std::min(StopTimeOf(a), StopTimeOf(b)))
        return false;
    const long first = std::max(DayNumber(StartDateOf(a)), DayNumber(StartDateOf(b)));
    const long last = std::min(DayNumber(StopDateOf(a)), DayNumber(StopDateOf(b)));
    if (first > last)
        return false;
    if (isAllDays(a) && isAllDays(b))
        return true;
    if (!isAllDays(a) && !isAllDays(b) && a.weekDay != b.weekDay)
        return false;
    return rangeHoldsWeekDay(first, last, isAllDays(a) ? b.weekDay : a.weekDay);
}

} // namespace velmo
