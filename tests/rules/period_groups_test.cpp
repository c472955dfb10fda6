#include "rules/period_groups.h"

#include "rules/schedule_match.h"
#include "texts/screen_texts.h"

#include <gtest/gtest.h>

namespace velmo {
namespace {

AdvanceEntry period(int weekDay, int startDay = 1, int stopDay = 31, int startHour = 8) {
    AdvanceEntry entry;
    entry.startYear = 26;
    entry.startMonth = 12;
    entry.startDay = static_cast<std::uint8_t>(startDay);
    entry.startHour = static_cast<std::uint8_t>(startHour);
    entry.stopYear = 26;
    entry.stopMonth = 12;
    entry.stopDay = static_cast<std::uint8_t>(stopDay);
    entry.stopHour = 12;
    entry.weekDay = static_cast<std::uint8_t>(weekDay);
    SetDetailEntries(entry, {MakeFileEntry("TOAST", "MP3", 1, 13)});
    return entry;
}

// Week days as letters, Sunday first: "-MTWTF-" is Monday to Friday.
WeekDaySet days(const char* ticks) {
    WeekDaySet set{};
    for (std::size_t day = 0; day < set.size(); ++day)
        set[day] = ticks[day] != '-';
    return set;
}

TEST(PeriodGroupsTest, Groups_areRunsEqualButForALaterWeekDay) {
    AdvanceEntry otherHours = period(3, 1, 31, 9);
    AdvanceEntry otherFiles = period(4);
    SetDetailEntries(otherFiles, {MakeFileEntry("JAM", "MP3", 1, 13)});
    const struct {
        const char* name;
        std::vector<AdvanceEntry> periods;
        std::vector<PeriodRange> groups;
    } cases[] = {
        {"lone period", {period(1)}, {{0, 1}}},
        {"Monday to Friday", {period(1), period(2), period(3), period(4), period(5)}, {{0, 5}}},
        {"two groups side by side", {period(1), period(2), period(1), period(2)}, {{0, 2}, {2, 2}}},
        {"other hours break the run", {period(1), period(2), otherHours}, {{0, 2}, {2, 1}}},
        {"other files break the run", {period(3), otherFiles, period(5)}, {{0, 1}, {1, 1}, {2, 1}}},
        {"every day stays alone", {period(kWeekDayAll), period(1)}, {{0, 1}, {1, 1}}},
        {"same day twice", {period(2), period(2)}, {{0, 1}, {1, 1}}},
        {"other dates", {period(1), period(2, 2)}, {{0, 1}, {1, 1}}},
    };
    for (const auto& c : cases) {
        const Schedule schedule = MakeSchedule({}, c.periods);
        EXPECT_EQ(PeriodGroups(schedule), c.groups) << c.name;
        for (const PeriodRange& group : c.groups)
            for (int row = group.first; row <= group.last(); ++row)
                EXPECT_EQ(GroupOf(schedule, row), group) << c.name << " row " << row;
    }
}

TEST(PeriodGroupsTest, ExpandWeekDays_onePeriodPerDayInWeekOrder_orOneForEveryDay) {
    const struct {
        const char* ticks;
        std::vector<int> weekDays;
    } cases[] = {
        {"-MTWTF-", {1, 2, 3, 4, 5}},
        {"S-----S", {0, 6}},
        {"SMTWTFS", {kWeekDayAll}},
        {"---W---", {3}},
        {"-------", {}},
    };
    for (const auto& c : cases) {
        const std::vector<AdvanceEntry> periods = ExpandWeekDays(period(0, 3, 9), days(c.ticks));
        ASSERT_EQ(periods.size(), c.weekDays.size()) << c.ticks;
        for (std::size_t i = 0; i < periods.size(); ++i) {
            EXPECT_EQ(periods[i].weekDay, c.weekDays[i]) << c.ticks;
            EXPECT_TRUE(SameButWeekDay(periods[i], period(0, 3, 9))) << c.ticks;
        }
        if (periods.size() > 1) {
            const Schedule schedule = MakeSchedule({}, periods);
            EXPECT_EQ(GroupOf(schedule, 0).count, static_cast<int>(periods.size())) << c.ticks;
            EXPECT_EQ(WeekDaysOf(schedule, GroupOf(schedule, 0)), days(c.ticks)) << c.ticks;
        }
    }
}

TEST(PeriodGroupsTest, SkipDates_splitsAroundTheDays_andDropsEmptyRanges) {
    const auto range = [](int y1, int m1, int d1, int y2, int m2, int d2) {
        AdvanceEntry entry = period(1);
        entry.startYear = static_cast<std::uint8_t>(y1 - 2000);
        entry.startMonth = static_cast<std::uint8_t>(m1);
        entry.startDay = static_cast<std::uint8_t>(d1);
        entry.stopYear = static_cast<std::uint8_t>(y2 - 2000);
        entry.stopMonth = static_cast<std::uint8_t>(m2);
        entry.stopDay = static_cast<std::uint8_t>(d2);
        return entry;
    };
    const struct {
        const char* name;
        AdvanceEntry period;
        std::vector<CivilDate> skipped;
        std::vector<AdvanceEntry> ranges;
    } cases[] = {
        {"Christmas Eve",
         range(2026, 12, 1, 2026, 12, 31),
         {{2026, 12, 24}},
         {range(2026, 12, 1, 2026, 12, 23), range(2026, 12, 25, 2026, 12, 31)}},
        {"month end",
         range(2026, 4, 20, 2026, 5, 10),
         {{2026, 4, 30}, {2026, 5, 1}},
         {range(2026, 4, 20, 2026, 4, 29), range(2026, 5, 2, 2026, 5, 10)}},
        {"leap day",
         range(2028, 2, 20, 2028, 3, 5),
         {{2028, 2, 29}},
         {range(2028, 2, 20, 2028, 2, 28), range(2028, 3, 1, 2028, 3, 5)}},
        {"first and last day, outside days ignored",
         range(2026, 12, 1, 2026, 12, 31),
         {{2026, 12, 31}, {2026, 11, 30}, {2026, 12, 1}},
         {range(2026, 12, 2, 2026, 12, 30)}},
        {"every day skipped", range(2026, 12, 1, 2026, 12, 2), {{2026, 12, 2}, {2026, 12, 1}}, {}},
        {"neighbouring days leave no empty range",
         range(2026, 12, 1, 2026, 12, 10),
         {{2026, 12, 5}, {2026, 12, 4}},
         {range(2026, 12, 1, 2026, 12, 3), range(2026, 12, 6, 2026, 12, 10)}},
    };
    for (const auto& c : cases)
        EXPECT_EQ(SkipDates({c.period}, c.skipped), c.ranges) << c.name;
}

AdvanceEntry dated(AdvanceEntry entry, CivilDate start, CivilDate stop) {
    SetPeriodDates(entry, start, stop);
    return entry;
}

// Rows on `ticks` for each piece of dates, as they stand in a file.
std::vector<AdvanceEntry> pieces(std::initializer_list<std::pair<CivilDate, CivilDate>> dates,
                                 const char* ticks, const AdvanceEntry& model = period(0)) {
    std::vector<AdvanceEntry> rows;
    for (const auto& [start, stop] : dates)
        for (const AdvanceEntry& row : ExpandWeekDays(dated(model, start, stop), days(ticks)))
            rows.push_back(row);
    return rows;
}

std::vector<AdvanceEntry> operator+(std::vector<AdvanceEntry> a, const std::vector<AdvanceEntry>& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

// The bakery's breakfast: Monday to Friday through December and January, closed over the holidays.
const AdvanceEntry kBreakfast = dated(period(1), {2026, 12, 1}, {2027, 1, 31});
const std::vector<CivilDate> kHolidays = {
    {2026, 12, 24}, {2026, 12, 25}, {2026, 12, 26}, {2026, 12, 31}, {2027, 1, 1}};

TEST(PeriodGroupsTest, DaysOff_theRowsOfOnePeriod_eachPieceHoldingOnlyTheDaysItHas) {
    const struct {
        const char* name;
        AdvanceEntry model;
        const char* ticks;
        std::vector<CivilDate> skipped;
        std::vector<AdvanceEntry> rows;
    } cases[] = {
        // Saturday the 26th is no breakfast day, so it splits nothing; the days after Christmas hold no
        // Thursday or Friday.
        {"bakery", kBreakfast, "-MTWTF-", kHolidays,
         pieces({{{2026, 12, 1}, {2026, 12, 23}}}, "-MTWTF-") +
             pieces({{{2026, 12, 26}, {2026, 12, 30}}}, "-MTW---") +
             pieces({{{2027, 1, 2}, {2027, 1, 31}}}, "-MTWTF-")},
        {"every day, one row a piece",
         dated(period(0), {2026, 12, 1}, {2026, 12, 31}),
         "SMTWTFS",
         {{2026, 12, 24}},
         pieces({{{2026, 12, 1}, {2026, 12, 23}}, {{2026, 12, 25}, {2026, 12, 31}}}, "SMTWTFS")},
        {"a piece without a ticked day vanishes",
         dated(period(0), {2026, 12, 1}, {2026, 12, 31}),
         "-M-----",
         {{2026, 12, 7}, {2026, 12, 14}},
         pieces({{{2026, 12, 15}, {2026, 12, 31}}}, "-M-----")},
        {"short dates keep the days they have",
         dated(period(0), {2026, 12, 1}, {2026, 12, 2}),
         "-MTWTF-",
         {},
         pieces({{{2026, 12, 1}, {2026, 12, 2}}}, "--TW---")},
        {"every day skipped",
         dated(period(0), {2026, 12, 24}, {2026, 12, 25}),
         "-MTWTF-",
         {{2026, 12, 24}, {2026, 12, 25}},
         {}},
    };
    for (const auto& c : cases) {
        const std::vector<AdvanceEntry> rows = PeriodRows(c.model, days(c.ticks), c.skipped);
        EXPECT_EQ(rows, c.rows) << c.name;
        for (const AdvanceEntry& row : rows)
            EXPECT_TRUE(DateRangeHoldsWeekDay(row)) << c.name;
    }
}

// Which rows are one period, across the pieces its days off leave; what the editor makes of a group's
// plan is the group's rows again.
TEST(PeriodGroupsTest, Groups_spanThePiecesOfOnePeriodWithDaysOff_otherRowsKeepTheirRuns) {
    const std::vector<AdvanceEntry> bakery = PeriodRows(kBreakfast, days("-MTWTF-"), kHolidays);
    AdvanceEntry otherHours = kBreakfast;
    otherHours.startHour = 7;
    const std::vector<AdvanceEntry> laterHours =
        PeriodRows(dated(otherHours, {2027, 2, 2}, {2027, 2, 28}), days("-MTWTF-"), {});
    const std::vector<AdvanceEntry> mondayWednesday =
        PeriodRows(dated(period(0), {2026, 12, 1}, {2026, 12, 31}), days("-M-W---"), {{2026, 12, 7}});
    const struct {
        const char* name;
        std::vector<AdvanceEntry> rows;
        std::vector<PeriodRange> groups;
        bool editorMade;
    } cases[] = {
        {"bakery", bakery, {{0, 13}}, true},
        {"bakery, then other hours", bakery + laterHours, {{0, 13}, {13, 5}}, true},
        {"every day around Christmas Eve",
         pieces({{{2026, 12, 1}, {2026, 12, 23}}, {{2026, 12, 25}, {2026, 12, 31}}}, "SMTWTFS"),
         {{0, 2}},
         true},
        {"a first piece with one day", mondayWednesday, {{0, 3}}, true},
        // Written elsewhere: two Monday periods around a Tuesday are two periods, as before.
        {"gap of a day it does not play",
         pieces({{{2026, 12, 1}, {2026, 12, 7}}, {{2026, 12, 9}, {2026, 12, 14}}}, "-M-----"),
         {{0, 1}, {1, 1}},
         false},
        {"no gap",
         pieces({{{2026, 12, 1}, {2026, 12, 10}}, {{2026, 12, 11}, {2026, 12, 31}}}, "-MTWTF-"),
         {{0, 5}, {5, 5}},
         false},
        // Rows for days the dates lack, as the days off used to leave them: three runs, as before.
        {"a piece with days its dates lack",
         pieces({{{2026, 12, 1}, {2026, 12, 23}},
                 {{2026, 12, 27}, {2026, 12, 30}},
                 {{2027, 1, 2}, {2027, 1, 31}}},
                "-MTWTF-"),
         {{0, 5}, {5, 5}, {10, 5}},
         false},
        {"every day beside single days",
         pieces({{{2026, 12, 1}, {2026, 12, 23}}}, "SMTWTFS") +
             pieces({{{2026, 12, 25}, {2026, 12, 31}}}, "-MTWTF-"),
         {{0, 1}, {1, 5}},
         false},
        {"other files",
         pieces({{{2026, 12, 1}, {2026, 12, 23}}}, "-MTWTF-") +
             pieces({{{2026, 12, 26}, {2026, 12, 30}}}, "-MTW---",
                    [] {
                        AdvanceEntry jam = period(0);
                        SetDetailEntries(jam, {MakeFileEntry("JAM", "MP3", 1, 13)});
                        return jam;
                    }()),
         {{0, 5}, {5, 3}},
         false},
    };
    for (const auto& c : cases) {
        const Schedule schedule = MakeSchedule({}, c.rows);
        ASSERT_EQ(PeriodGroups(schedule), c.groups) << c.name;
        for (const PeriodRange& group : c.groups) {
            for (int row = group.first; row <= group.last(); ++row)
                EXPECT_EQ(GroupOf(schedule, row), group) << c.name << " row " << row;
            if (!c.editorMade)
                continue;
            const PeriodPlan plan = PlanOf(schedule, group);
            const std::vector<AdvanceEntry> rows(c.rows.begin() + group.first,
                                                 c.rows.begin() + group.last() + 1);
            EXPECT_EQ(PeriodRows(plan.entry, plan.days, plan.skipped), rows) << c.name;
        }
    }

    // The editor opens the bakery's group on its whole dates, its days and the holidays it would work.
    const PeriodPlan plan = PlanOf(MakeSchedule({}, bakery), {0, 13});
    EXPECT_EQ(plan.entry, kBreakfast);
    EXPECT_EQ(plan.days, days("-MTWTF-"));
    EXPECT_EQ(plan.skipped,
              (std::vector<CivilDate>{{2026, 12, 24}, {2026, 12, 25}, {2026, 12, 31}, {2027, 1, 1}}));
}

TEST(PeriodGroupsTest, Limit_countsEveryPeriodOfAGroup) {
    const Schedule schedule = MakeSchedule({}, std::vector<AdvanceEntry>(247, period(1)));
    EXPECT_EQ(FreePeriods(schedule), 3);
    EXPECT_TRUE(PeriodsFit(schedule, 0, 3));
    EXPECT_FALSE(PeriodsFit(schedule, 0, 5));
    EXPECT_TRUE(PeriodsFit(schedule, 2, 5));
    EXPECT_FALSE(PeriodsFit(schedule, 1, 5));
}

TEST(PeriodGroupsTest, HoursText_minutesOrSeconds_orAllDay) {
    AdvanceEntry seconds = period(1);
    seconds.stopSecond = 30;
    AdvanceEntry allDay = period(1, 1, 31, 0);
    allDay.stopHour = 23;
    allDay.stopMinute = 59;
    allDay.stopSecond = 59;
    EXPECT_EQ(HoursText(period(1), "all day"), "08:00-12:00");
    EXPECT_EQ(HoursText(seconds, "all day"), "08:00-12:00:30");
    EXPECT_EQ(HoursText(allDay, "all day"), "all day");
}

TEST(PeriodGroupsTest, WeekDaysText_aRunOfDaysOrEachDayNamed) {
    EXPECT_EQ(WeekDaysText(days("-MTWTF-"), EnglishTexts()), "Monday to Friday");
    EXPECT_EQ(WeekDaysText(days("S-----S"), EnglishTexts()), "Sunday, Saturday");
    EXPECT_EQ(WeekDaysText(days("-M-W-F-"), EnglishTexts()), "Monday, Wednesday, Friday");
    EXPECT_EQ(WeekDaysText(days("-----FS"), EnglishTexts()), "Friday, Saturday");
}

} // namespace
} // namespace velmo
