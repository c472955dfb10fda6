#include "period_groups.h"

#include "rules/schedule_sense.h"
#include "texts/screen_texts.h"

#include <algorithm>
#include <cstdio>
#include <optional>

namespace velmo {

namespace {

bool isSingleDay(int weekDay) {
    return weekDay >= 0 && weekDay < kWeekDayAll;
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

void SetPeriodDates(AdvanceEntry& entry, const CivilDate& start, const CivilDate& stop) {
    entry.startYear = static_cast<std::uint8_t>(start.year - 2000);
    entry.startMonth = static_cast<std::uint8_t>(start.month);
    entry.startDay = static_cast<std::uint8_t>(start.day);
    entry.stopYear = static_cast<std::uint8_t>(stop.year - 2000);
    entry.stopMonth = static_cast<std::uint8_t>(stop.month);
    entry.stopDay = static_cast<std::uint8_t>(stop.day);
}

bool SameButWeekDay(const AdvanceEntry& a, const AdvanceEntry& b) {
    AdvanceEntry other = b;
    other.weekDay = a.weekDay;
    return a == other;
}

namespace {

// Runs of periods equal but for a later single week day.
std::vector<PeriodRange> weekRuns(const std::vector<AdvanceEntry>& entries, int count) {
    std::vector<PeriodRange> runs;
    for (int row = 0; row < count;) {
        PeriodRange run{row, 1};
        while (run.first + run.count < count) {
            const AdvanceEntry& previous = entries[static_cast<std::size_t>(run.last())];
            const AdvanceEntry& next = entries[static_cast<std::size_t>(run.last() + 1)];
            if (!isSingleDay(previous.weekDay) || !isSingleDay(next.weekDay) ||
                next.weekDay <= previous.weekDay || !SameButWeekDay(previous, next))
                break;
            ++run.count;
        }
        runs.push_back(run);
        row += run.count;
    }
    return runs;
}

// One run as a piece of a period's dates.
struct Piece {
    long first = 0;
    long last = 0;
    WeekDaySet days{};
    bool everyDayRow = false; // one row, on every day
};

bool sameButDatesAndWeekDay(const AdvanceEntry& model, const AdvanceEntry& row) {
    AdvanceEntry other = row;
    other.weekDay = model.weekDay;
    SetPeriodDates(other, StartDateOf(model), StopDateOf(model));
    return model == other;
}

// The run as a piece of a period like `model`; none when its rows could not be one.
std::optional<Piece> pieceOf(const std::vector<AdvanceEntry>& entries, PeriodRange run,
                             const AdvanceEntry& model) {
    const AdvanceEntry& front = entries[static_cast<std::size_t>(run.first)];
    const CivilDate start = StartDateOf(front);
    const CivilDate stop = StopDateOf(front);
    if (!IsValidCivilDate(start) || !IsValidCivilDate(stop) || stop < start)
        return std::nullopt;
    Piece piece{DayNumber(start), DayNumber(stop), {}, run.count == 1 && front.weekDay == kWeekDayAll};
    for (int row = run.first; row <= run.last(); ++row) {
        const AdvanceEntry& entry = entries[static_cast<std::size_t>(row)];
        if (entry.weekDay > kWeekDayAll || !sameButDatesAndWeekDay(model, entry))
            return std::nullopt;
        const WeekDaySet one = WeekDaySetOf(entry.weekDay);
        for (std::size_t day = 0; day < one.size(); ++day)
            piece.days[day] = piece.days[day] || one[day];
    }
    return piece;
}

WeekDaySet daysBetween(long first, long last) {
    WeekDaySet days{};
    for (long day = first; day <= last && day < first + 7; ++day)
        days[static_cast<std::size_t>(WeekDayOfDayNumber(day))] = true;
    return days;
}

// Whether the pieces are what PeriodRows makes of one period on `days`: each piece holds the days it
// has dates for, and each gap between pieces begins and ends with a skipped day the period plays on.
bool formOnePeriod(const std::vector<Piece>& pieces, const WeekDaySet& days) {
    const bool everyDay = CountDays(days) == static_cast<int>(days.size());
    for (std::size_t i = 0; i < pieces.size(); ++i) {
        const Piece& piece = pieces[i];
        if (i > 0) {
            const long gapFirst = pieces[i - 1].last + 1;
            const long gapLast = piece.first - 1;
            if (gapLast < gapFirst)
                return false;
            if (!everyDay && (!days[static_cast<std::size_t>(WeekDayOfDayNumber(gapFirst))] ||
                              !days[static_cast<std::size_t>(WeekDayOfDayNumber(gapLast))]))
                return false;
        }
        if (everyDay != piece.everyDayRow)
            return false;
        if (everyDay)
            continue;
        WeekDaySet expected = daysBetween(piece.first, piece.last);
        for (std::size_t day = 0; day < expected.size(); ++day)
            expected[day] = expected[day] && days[day];
        if (piece.days != expected)
            return false;
    }
    return true;
}

} // namespace

std::vector<PeriodRange> PeriodGroups(const Schedule& schedule) {
    const auto& entries = schedule.advanceEntries;
    const int count = std::min(static_cast<int>(schedule.advanceCount), static_cast<int>(entries.size()));
    const std::vector<PeriodRange> runs = weekRuns(entries, count);
    std::vector<PeriodRange> groups;
    for (std::size_t i = 0; i < runs.size();) {
        PeriodRange group = runs[i];
        const AdvanceEntry& model = entries[static_cast<std::size_t>(group.first)];
        std::vector<Piece> pieces;
        WeekDaySet days{};
        if (const std::optional<Piece> first = pieceOf(entries, runs[i], model)) {
            pieces.push_back(*first);
            days = first->days;
        }
        std::size_t next = i + 1;
        while (!pieces.empty() && next < runs.size()) {
            const std::optional<Piece> piece = pieceOf(entries, runs[next], model);
            if (!piece)
                break;
            WeekDaySet joined = days;
            for (std::size_t day = 0; day < joined.size(); ++day)
                joined[day] = joined[day] || piece->days[day];
            pieces.push_back(*piece);
            if (!formOnePeriod(pieces, joined))
                break;
            days = joined;
            group.count += runs[next].count;
            ++next;
        }
        groups.push_back(group);
        i = next;
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
                SetPeriodDates(period, DateOfDayNumber(from), DateOfDayNumber(to));
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

std::vector<AdvanceEntry> PeriodRows(const AdvanceEntry& model, const WeekDaySet& days,
                                     const std::vector<CivilDate>& skipped) {
    // A skipped day the period would not play on anyway splits nothing.
    const bool everyDay = CountDays(days) == static_cast<int>(days.size());
    std::vector<CivilDate> playing;
    for (const CivilDate& date : skipped)
        if (IsValidCivilDate(date) && (everyDay || days[static_cast<std::size_t>(WeekDayOf(date))]))
            playing.push_back(date);
    std::vector<AdvanceEntry> rows = SkipDates(ExpandWeekDays(model, days), playing);
    rows.erase(std::remove_if(rows.begin(), rows.end(),
                              [](const AdvanceEntry& row) { return !DateRangeHoldsWeekDay(row); }),
               rows.end());
    return rows;
}

PeriodPlan PlanOf(const Schedule& schedule, PeriodRange range) {
    PeriodPlan plan;
    if (range.count <= 0)
        return plan;
    const auto& entries = schedule.advanceEntries;
    plan.entry = entries[static_cast<std::size_t>(range.first)];
    plan.days = WeekDaysOf(schedule, range);
    const AdvanceEntry& last = entries[static_cast<std::size_t>(range.last())];
    SetPeriodDates(plan.entry, StartDateOf(plan.entry), StopDateOf(last));
    const bool everyDay = CountDays(plan.days) == static_cast<int>(plan.days.size());
    for (int row = range.first; row < range.last(); ++row) {
        const long stop = DayNumber(StopDateOf(entries[static_cast<std::size_t>(row)]));
        const long nextStart = DayNumber(StartDateOf(entries[static_cast<std::size_t>(row + 1)]));
        for (long day = stop + 1; day < nextStart; ++day)
            if (everyDay || plan.days[static_cast<std::size_t>(WeekDayOfDayNumber(day))])
                plan.skipped.push_back(DateOfDayNumber(day));
    }
    return plan;
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
