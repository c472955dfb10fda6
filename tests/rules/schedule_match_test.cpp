#include "rules/civil_date.h"
#include "rules/schedule_match.h"
#include "support/schedule_builder.h"

#include <gtest/gtest.h>

namespace velmo {
namespace {

CivilDate date(const char* iso) {
    const auto parsed = ParseIsoDate(iso);
    EXPECT_TRUE(parsed.has_value()) << iso;
    return parsed.value_or(CivilDate{});
}

ClockTime clock(const char* text) {
    const auto parsed = ParseClockTime(text);
    EXPECT_TRUE(parsed.has_value()) << text;
    return parsed.value_or(ClockTime{});
}

using test::Period;

TEST(CivilDate, ParseIsoDate_acceptsRealDaysOnly) {
    EXPECT_EQ(ParseIsoDate("2004-02-29"), (CivilDate{2004, 2, 29}));
    EXPECT_EQ(ParseIsoDate("2000-02-29"), (CivilDate{2000, 2, 29}));
    EXPECT_EQ(ParseIsoDate("2099-12-31"), (CivilDate{2099, 12, 31}));
    for (const char* bad :
         {"2003-02-29", "2100-02-29", "2007-04-31", "2007-13-01", "2007-00-10", "2007-01-00", "2007-1-01",
          "2007-01-1", "07-01-01", "2007/01/01", "2007-01-01x", "", "2007-0a-01"})
        EXPECT_FALSE(ParseIsoDate(bad).has_value()) << bad;
}

TEST(CivilDate, ParseClockTime_acceptsTheDayFromFirstToLastSecond) {
    EXPECT_EQ(ParseClockTime("00:00:00"), (ClockTime{0, 0, 0}));
    EXPECT_EQ(ParseClockTime("23:59:59"), (ClockTime{23, 59, 59}));
    EXPECT_EQ(ParseClockTime("23:59"), (ClockTime{23, 59, 0}));
    EXPECT_EQ(ParseClockTime("00:00"), (ClockTime{0, 0, 0}));
    for (const char* bad : {"24:00:00", "12:60:00", "12:00:60", "1:00:00", "24:00", "12:60", "1:00", "12:0",
                            "12-00-00", "12:00:00 ", "12:00 ", "12:00:", "12:00:0", "12.00"})
        EXPECT_FALSE(ParseClockTime(bad).has_value()) << bad;
}

TEST(CivilDate, WeekDayOf_followsTheCalendar) {
    // 2007-01-07 was a Sunday.
    for (int d = 0; d < 7; ++d)
        EXPECT_EQ(WeekDayOf(CivilDate{2007, 1, 7 + d}), d);
    EXPECT_EQ(WeekDayOf(date("2000-01-01")), 6);
    EXPECT_EQ(WeekDayOf(date("1970-01-01")), 4);
    EXPECT_EQ(WeekDayOf(date("1969-12-31")), 3);
    EXPECT_EQ(WeekDayOf(date("2000-02-29")), 2);
    EXPECT_EQ(WeekDayOf(date("2000-03-01")), 3);
}

TEST(CivilDate, DayNumber_roundTripsAndCountsEveryDayOnce) {
    long previous = DayNumber(CivilDate{1899, 12, 31});
    for (int year = 1900; year <= 2300; ++year)
        for (int month = 1; month <= 12; ++month)
            for (int day = 1; IsValidCivilDate(CivilDate{year, month, day}); ++day) {
                const CivilDate d{year, month, day};
                const long n = DayNumber(d);
                ASSERT_EQ(n, previous + 1) << FormatIsoDate(d);
                ASSERT_EQ(DateOfDayNumber(n), d);
                previous = n;
            }
}

TEST(ScheduleMatch, DateWindow_bothEndsInclusive) {
    const AdvanceEntry e = Period("2007-01-03", "2007-12-31", 7);
    EXPECT_FALSE(IsInForce(e, date("2007-01-02"), std::nullopt));
    EXPECT_TRUE(IsInForce(e, date("2007-01-03"), std::nullopt));
    EXPECT_TRUE(IsInForce(e, date("2007-12-31"), std::nullopt));
    EXPECT_FALSE(IsInForce(e, date("2008-01-01"), std::nullopt));
    EXPECT_FALSE(IsInForce(e, date("2006-06-15"), std::nullopt));

    const AdvanceEntry oneDay = Period("2006-12-28", "2006-12-28", 7);
    EXPECT_TRUE(IsInForce(oneDay, date("2006-12-28"), std::nullopt));
    EXPECT_FALSE(IsInForce(oneDay, date("2006-12-27"), std::nullopt));
    EXPECT_FALSE(IsInForce(oneDay, date("2006-12-29"), std::nullopt));
}

TEST(ScheduleMatch, TimeWindow_bothEndsInclusive) {
    const AdvanceEntry e = Period("2007-01-01", "2007-01-31", 7, "08:30:00", "17:45:10");
    const CivilDate day = date("2007-01-15");
    EXPECT_FALSE(IsInForce(e, day, clock("08:29:59")));
    EXPECT_TRUE(IsInForce(e, day, clock("08:30:00")));
    EXPECT_TRUE(IsInForce(e, day, clock("12:00:00")));
    EXPECT_TRUE(IsInForce(e, day, clock("17:45:10")));
    EXPECT_FALSE(IsInForce(e, day, clock("17:45:11")));
    EXPECT_FALSE(IsInForce(e, day, clock("00:00:00")));
    // Without a time only the date counts.
    EXPECT_TRUE(IsInForce(e, day, std::nullopt));
    // Out of the date range, the time does not help.
    EXPECT_FALSE(IsInForce(e, date("2007-02-01"), clock("12:00:00")));

    const AdvanceEntry wholeDay = Period("2007-01-01", "2007-01-31", 7);
    EXPECT_TRUE(IsInForce(wholeDay, day, clock("00:00:00")));
    EXPECT_TRUE(IsInForce(wholeDay, day, clock("23:59:59")));
}

TEST(ScheduleMatch, WeekDay_eachDayMatchesOnlyItself) {
    // The week of Sunday 2007-01-07 to Saturday 2007-01-13.
    for (int weekDay = 0; weekDay <= 6; ++weekDay) {
        const AdvanceEntry e = Period("2007-01-01", "2007-01-31", weekDay);
        for (int d = 0; d < 7; ++d)
            EXPECT_EQ(IsInForce(e, CivilDate{2007, 1, 7 + d}, std::nullopt), d == weekDay)
                << "weekDay " << weekDay << " on 2007-01-" << 7 + d;
    }
    for (int allDays : {7, 8, 200, 255}) {
        AdvanceEntry e = Period("2007-01-01", "2007-01-31");
        e.weekDay = static_cast<std::uint8_t>(allDays); // as a foreign file may hold it
        for (int d = 0; d < 7; ++d)
            EXPECT_TRUE(IsInForce(e, CivilDate{2007, 1, 7 + d}, std::nullopt)) << allDays;
    }
}

TEST(ScheduleMatch, AdvanceEntriesInForce_listsMatchesInOrder) {
    Schedule s;
    s.advanceEntries = {Period("2007-01-01", "2007-01-31", 7), Period("2007-02-01", "2007-02-28", 7),
                        Period("2007-01-10", "2007-01-10", 3, "10:00:00", "11:00:00"),
                        Period("2007-01-01", "2007-01-31", 3), Period("2007-01-01", "2007-01-31", 7)};
    s.advanceCount = 4; // the fifth element is storage only
    EXPECT_EQ(AdvanceEntriesInForce(s, date("2007-01-10"), std::nullopt), (std::vector<int>{0, 2, 3}));
    EXPECT_EQ(AdvanceEntriesInForce(s, date("2007-01-10"), clock("12:00:00")), (std::vector<int>{0, 3}));
    EXPECT_EQ(AdvanceEntriesInForce(s, date("2007-01-11"), std::nullopt), (std::vector<int>{0}));
    EXPECT_TRUE(AdvanceEntriesInForce(s, date("2007-03-01"), std::nullopt).empty());
}

TEST(ScheduleSense, DateRangeHoldsWeekDay) {
    // Monday 2007-01-01 to Friday 2007-01-05.
    EXPECT_FALSE(DateRangeHoldsWeekDay(Period("2007-01-01", "2007-01-05", 6)));
    EXPECT_FALSE(DateRangeHoldsWeekDay(Period("2007-01-01", "2007-01-05", 0)));
    for (int weekDay = 1; weekDay <= 5; ++weekDay)
        EXPECT_TRUE(DateRangeHoldsWeekDay(Period("2007-01-01", "2007-01-05", weekDay))) << weekDay;
    for (int weekDay = 0; weekDay <= 7; ++weekDay)
        EXPECT_TRUE(DateRangeHoldsWeekDay(Period("2007-01-01", "2007-01-07", weekDay))) << weekDay;
    // Over a month end and a year end.
    EXPECT_TRUE(DateRangeHoldsWeekDay(Period("2006-12-30", "2007-01-01", 0)));
    EXPECT_FALSE(DateRangeHoldsWeekDay(Period("2006-12-30", "2007-01-01", 2)));
}

TEST(ScheduleSense, HasEnded_onlyAfterTheStopDate) {
    const AdvanceEntry e = Period("2007-01-01", "2007-05-31", 7);
    EXPECT_FALSE(HasEnded(e, date("2007-05-31")));
    EXPECT_TRUE(HasEnded(e, date("2007-06-01")));
    EXPECT_FALSE(HasEnded(e, date("2006-01-01")));
}

TEST(ScheduleSense, Overlap_needsACommonDayWeekDayAndMoment) {
    const AdvanceEntry january = Period("2007-01-01", "2007-01-31", 7, "08:00:00", "12:00:00");
    // A shared last and first day.
    EXPECT_TRUE(
        AdvanceEntriesOverlap(january, Period("2007-01-31", "2007-02-28", 7, "08:00:00", "12:00:00")));
    EXPECT_FALSE(
        AdvanceEntriesOverlap(january, Period("2007-02-01", "2007-02-28", 7, "08:00:00", "12:00:00")));
    // Time windows touching at one second overlap, a second apart they do not.
    EXPECT_TRUE(
        AdvanceEntriesOverlap(january, Period("2007-01-01", "2007-01-31", 7, "12:00:00", "13:00:00")));
    EXPECT_FALSE(
        AdvanceEntriesOverlap(january, Period("2007-01-01", "2007-01-31", 7, "12:00:01", "13:00:00")));
    // Week days.
    EXPECT_TRUE(
        AdvanceEntriesOverlap(Period("2007-01-01", "2007-01-31", 2), Period("2007-01-01", "2007-01-31", 2)));
    EXPECT_FALSE(
        AdvanceEntriesOverlap(Period("2007-01-01", "2007-01-31", 2), Period("2007-01-01", "2007-01-31", 3)));
    EXPECT_TRUE(
        AdvanceEntriesOverlap(january, Period("2007-01-01", "2007-01-31", 3, "00:00:00", "09:00:00")));
    // The shared days Monday 2007-01-01 to Friday 2007-01-05 hold no Saturday.
    EXPECT_FALSE(
        AdvanceEntriesOverlap(Period("2006-12-01", "2007-01-05", 7), Period("2007-01-01", "2007-01-31", 6)));
    EXPECT_TRUE(
        AdvanceEntriesOverlap(Period("2006-12-01", "2007-01-06", 7), Period("2007-01-01", "2007-01-31", 6)));
    // Symmetric.
    EXPECT_FALSE(
        AdvanceEntriesOverlap(Period("2007-01-01", "2007-01-31", 6), Period("2006-12-01", "2007-01-05", 7)));
}

} // namespace
} // namespace velmo
