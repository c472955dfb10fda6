#include "period_groups.h"

#include "rules/schedule_sense.h"
#include "texts/screen_texts.h"

#include <algorithm>
#include <cstdio>

namespace velmo {

namespace {

bool isSingleDay(int weekDay) {
    return weekDay >= 0 && weekDay < kWeekDayAll;
}

void setDates(AdvanceEntry& entry, const CivilDate& start, const CivilDate& stop) {
    entry.startYear = static_cast<std::uint8_t>(start.year - 2000);
    entry.startMonth = static_cast<std::uint8_t>(start.month);
    entry.startDay = static_cast<std::uint8_t>(start.day);
    entry.stopYear = static_cast<std::uint8_t>(stop.year - 2000);
    entry.stopMonth = static_cast<std::uint8_t>(stop.month);
    entry.stopDay = static_cast<std::uint8_t>(stop.day);
}

std::string clock(int hour, int minute, int second) {
    char text[16];
    if (second == 0)
        std::snprintf(text, sizeof text, "%02d:%02d", hour, minute);
    else
        std::snprintf(text, sizeof text, "%02d:%02d:%02d", hour, minute, second);
    return text;
}

} // namespace

bool SameButWeekDay(const AdvanceEntry& a, const AdvanceEntry& b) {
    AdvanceEntry other = b;
    other.weekDay = a.weekDay;
    return a == other;
}

std::vector<PeriodRange> PeriodGroups(const Schedule& schedule) {
    const auto& entries = schedule.advanceEntries;
    const int count = std::min(static_cast<int>(schedule.advanceCount), static_cast<int>(entries.size()));
    std::vector<PeriodRange> groups;
    for (int row = 0; row < count;) {
        PeriodRange group{row, 1};
        while (group.first + group.count < count) {
            const AdvanceEntry& previous = entries[static_cast<std::size_t>(group.last())];
            const AdvanceEntry& next = entries[static_cast<std::size_t>(group.last() + 1)];
            if (!isSingleDay(previous.weekDay) || !isSingleDay(next.weekDay) ||
                next.weekDay <= previous.weekDay || !SameButWeekDay(previous, next))
                break;
            ++group.count;
        }
        groups.push_back(group);
        row += group.count;
    }
    return groups;
}

PeriodRange GroupOf(const Schedule& schedule, int row) {
    for (const PeriodRange& group : PeriodGroups(schedule))
        if (group.contains(row))
            return group;
    return {row, 0};
}

WeekDaySet WeekDaySetOf(int weekDay) {
    WeekDaySet days{};
    if (isSingleDay(weekDay))
        days[static_cast<std::size_t>(weekDay)] = true;
    else
        days.fill(true);
    return days;
}

WeekDaySet WeekDaysOf(const Schedule& schedule, PeriodRange range) {
    WeekDaySet days{};
    for (int row = range.first; row <= range.last(); ++row) {
        const WeekDaySet one = WeekDaySetOf(schedule.advanceEntries[static_cast<std::size_t>(row)].weekDay);
        for (std::size_t day = 0; day < days.size(); ++day)
            days[day] = days[day] || one[day];
    }
    return days;
}

int CountDays(const WeekDaySet& days) {
    return static_cast<int>(std::count(days.begin(), days.end(), true));
}

std::vector<AdvanceEntry> ExpandWeekDays(const AdvanceEntry& model, const WeekDaySet& days) {
    std::vector<AdvanceEntry> periods;
    if (CountDays(days) == static_cast<int>(days.size())) {
        periods.push_back(model);
        periods.back().weekDay = kWeekDayAll;
        return periods;
    }
    for (std::size_t day = 0; day < days.size(); ++day) {
        if (!days[day])
            continue;
        periods.push_back(model);
        periods.back().weekDay = static_cast<std::uint8_t>(day);
    }
    return periods;
}

int FreePeriods(const Schedule& schedule) {
    return std::max(0, kMaxAdvanceEntries - static_cast<int>(schedule.advanceCount));
}

bool PeriodsFit(const Schedule& schedule, int removed, int added) {
    return added - removed <= FreePeriods(schedule);
}

std::vector<AdvanceEntry> SkipDates(const std::vector<AdvanceEntry>& group,
                                    const std::vector<CivilDate>& skipped) {
    if (group.empty())
        return {};
    const long first = DayNumber(StartDateOf(group.front()));
    const long last = DayNumber(StopDateOf(group.front()));
    std::vector<long> days;
    for (const CivilDate& date : skipped)
        if (IsValidCivilDate(date))
            days.push_back(DayNumber(date));
    std::sort(days.begin(), days.end());
    std::vector<AdvanceEntry> periods;
    long from = first;
    const auto close = [&](long to) {
        if (to >= from)
            for (AdvanceEntry period : group) {
                setDates(period, DateOfDayNumber(from), DateOfDayNumber(to));
                periods.push_back(std::move(period));
            }
    };
    for (long day : days) {
        if (day < from || day > last)
            continue;
        close(day - 1);
        from = day + 1;
    }
    close(last);
    return periods;
}

std::string HoursText(const AdvanceEntry& entry, const std::string& allDay) {
    if (entry.startHour == 0 && entry.startMinute == 0 && entry.startSecond == 0 && entry.stopHour == 23 &&
        entry.stopMinute == 59 && entry.stopSecond == 59)
        return allDay;
    return clock(entry.startHour, entry.startMinute, entry.startSecond) + "-" +
           clock(entry.stopHour, entry.stopMinute, entry.stopSecond);
}

std::string WeekDaysText(const WeekDaySet& days, const ScreenTexts& texts) {
    std::vector<std::size_t> ticked;
    for (std::size_t day = 0; day < days.size(); ++day)
        if (days[day])
            ticked.push_back(day);
    if (ticked.empty())
        return {};
    const auto name = [&](std::size_t day) { return texts.text(WeekDayTextId(static_cast<int>(day))); };
    if (ticked.size() >= 3 && ticked.back() - ticked.front() + 1 == ticked.size())
        return FillIn(texts.text(TextId::TextDayRange), {name(ticked.front()), name(ticked.back())});
    std::string text;
    for (std::size_t day : ticked)
        text += (text.empty() ? "" : ", ") + name(day);
    return text;
}

} // namespace velmo
