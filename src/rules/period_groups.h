#pragma once

// Periods on several week days. The file holds one week day per period; a set of days is stored as a
// group: neighbouring periods equal in everything but their week day, in week order. Days off split a
// period's dates into pieces, each such a run, one after another; they stay one group when the rows are
// exactly what one period with those days off makes (see PeriodRows). Nothing marks a group in the
// file, so any file shows its groups, whoever wrote it.

#include "model/schedule.h"
#include "rules/civil_date.h"
#include "rules/schedule_match.h"

#include <array>
#include <string>
#include <vector>

namespace velmo {

class ScreenTexts;

// The week days ticked, Sunday first (the week-day codes 0..6).
using WeekDaySet = std::array<bool, 7>;

// Rows first .. first + count - 1 of the advance list.
struct PeriodRange {
    int first = 0;
    int count = 0;

    int last() const { return first + count - 1; }
    bool contains(int row) const { return row >= first && row < first + count; }
    bool operator==(const PeriodRange&) const = default;
};

// Equal in everything (details included) but the week day.
bool SameButWeekDay(const AdvanceEntry& a, const AdvanceEntry& b);

// The groups of the advance list, in order, covering every row once. A run goes on while the next
// period is equal but for a later single week day; a lone period is a run of one. Runs of later dates
// join the group while together they are the rows of one period with days off.
std::vector<PeriodRange> PeriodGroups(const Schedule& schedule);
// The group holding row `row`; an empty range when there is no such row.
PeriodRange GroupOf(const Schedule& schedule, int row);

// The days the periods of a range run on; all seven for an every-day period.
WeekDaySet WeekDaysOf(const Schedule& schedule, PeriodRange range);
// The days a week-day code stands for: that day alone, or all seven for "every day".
WeekDaySet WeekDaySetOf(int weekDay);
int CountDays(const WeekDaySet& days);

// One period per ticked day, in week order, each a copy of `model`; one every-day period when all
// seven are ticked; none when none is.
std::vector<AdvanceEntry> ExpandWeekDays(const AdvanceEntry& model, const WeekDaySet& days);

// The periods that may still be added to the advance list.
int FreePeriods(const Schedule& schedule);
// Whether replacing `removed` periods by `added` ones keeps the list within its limit.
bool PeriodsFit(const Schedule& schedule, int removed, int added);

// Sets the entry's first and last day as the file stores them.
void SetPeriodDates(AdvanceEntry& entry, const CivilDate& start, const CivilDate& stop);

// The group's periods (equal dates) split into the date ranges around the skipped dates, range by
// range, each range holding every period of the group. A range left without a day disappears.
std::vector<AdvanceEntry> SkipDates(const std::vector<AdvanceEntry>& group,
                                    const std::vector<CivilDate>& skipped);

// The rows of one period: one per ticked day in week order (one every-day row when all seven are),
// split around the skipped days it would play on. A row whose dates hold none of its week day is not
// made, so a piece of the dates keeps only the days it has.
std::vector<AdvanceEntry> PeriodRows(const AdvanceEntry& model, const WeekDaySet& days,
                                     const std::vector<CivilDate>& skipped);

// A group as one period, the way the editor shows it: the first row with the dates from the group's
// first day to its last, the days it runs on, and the days between its pieces that it would play on.
struct PeriodPlan {
    AdvanceEntry entry;
    WeekDaySet days{};
    std::vector<CivilDate> skipped;
};
PeriodPlan PlanOf(const Schedule& schedule, PeriodRange range);

// The daily hours: "08:00-12:00" (seconds only where not 0), or `allDay` for 00:00:00-23:59:59.
std::string HoursText(const AdvanceEntry& entry, const std::string& allDay);

// The days in the screen language: "Monday to Friday" for three or more neighbouring days, else each
// named: "Saturday, Sunday".
std::string WeekDaysText(const WeekDaySet& days, const ScreenTexts& texts);

} // namespace velmo
