#include "rules/schedule_horizon.h"

#include "rules/period_groups.h"
#include "rules/schedule_sense.h"
#include "support/schedule_builder.h"
#include "texts/screen_texts.h"

#include <gtest/gtest.h>

namespace velmo {
namespace {

using test::MakeFile;
using test::Period;

AdvanceEntry from(const std::string& start, const std::string& stop) {
    return Period(start, stop, kWeekDayAll, "00:00:00", "23:59:59", {MakeFile("CLIP", "AVI")});
}

TEST(ScheduleHorizon, SaysUntilWhenThePeriodsPlay) {
    const CivilDate today{2026, 12, 8};
    const struct Case {
        const char* what;
        std::vector<AdvanceEntry> periods;
        std::vector<std::string> lines;
    } cases[] = {
        {"no periods", {}, {}},
        {"one running on",
         {from("2026-12-01", "2027-01-31")},
         {"Periods play until 2027-01-31; after that only the Basic Schedule plays"}},
        {"the last stop counts, not the last row",
         {from("2026-12-01", "2027-01-31"), from("2026-12-01", "2026-12-24")},
         {"Periods play until 2027-01-31; after that only the Basic Schedule plays"}},
        {"ending soon and starting later",
         {from("2026-11-01", "2026-12-11"), from("2027-02-01", "2027-02-28")},
         {"Periods play until 2027-02-28; after that only the Basic Schedule plays",
          "Advance 1 ends in 3 days (2026-12-11)", "Advance 2 starts on 2027-02-01"}},
        {"today, tomorrow, the fourteenth day and the fifteenth",
         {from("2026-12-01", "2026-12-08"), from("2026-12-01", "2026-12-09"),
          from("2026-12-01", "2026-12-22"), from("2026-12-01", "2026-12-23")},
         {"Periods play until 2026-12-23; after that only the Basic Schedule plays",
          "Advance 1 ends today (2026-12-08)", "Advance 2 ends tomorrow (2026-12-09)",
          "Advance 3 ends in 14 days (2026-12-22)"}},
        {"a period with days off: the week days of each piece said once",
         PeriodRows(Period("2026-12-10", "2027-01-31", kWeekDayAll, "00:00:00", "23:59:59",
                           {MakeFile("CLIP", "AVI")}),
                    WeekDaySet{false, true, true, true, true, true, false}, {{2026, 12, 24}, {2026, 12, 25}}),
         {"Periods play until 2027-01-31; after that only the Basic Schedule plays",
          "Advance 1–5 starts on 2026-12-10", "Advance 6–10 starts on 2026-12-26"}},
        {"everything ended",
         {from("2026-01-01", "2026-12-07")},
         {"Every period has ended; the player shows only the Basic Schedule"}},
    };
    for (const Case& c : cases)
        EXPECT_EQ(ScheduleHorizonLines(MakeSchedule({MakeFile("LOOP")}, c.periods), today, EnglishTexts()),
                  c.lines)
            << c.what;
}

TEST(ScheduleHorizon, PeriodsEndingBeforeTheNextVisit) {
    const Schedule s = MakeSchedule({}, {from("2026-01-01", "2026-12-07"), from("2026-12-01", "2026-12-08"),
                                         from("2026-12-01", "2027-01-14"), from("2026-12-01", "2027-01-15")});
    // Ended ones are the overview's "ended" already; the one ending on the visit's day still plays then.
    EXPECT_EQ(PeriodsEndingBefore(s, {2026, 12, 8}, {2027, 1, 15}), (std::vector<int>{1, 2}));
}

TEST(ScheduleHorizon, TheOverviewNamesPeriodsEndingWithinTwoWeeks) {
    const CivilDate today{2026, 12, 8};
    const struct Case {
        const char* stop;
        std::vector<std::string> problems;
    } cases[] = {
        {"2026-12-07", {"Advance 1: ended on 2026/12/07 (today is 2026/12/08)"}},
        {"2026-12-08", {"Advance 1: ends today, 2026/12/08"}},
        {"2026-12-09", {"Advance 1: ends tomorrow, 2026/12/09"}},
        {"2026-12-11", {"Advance 1: ends on 2026/12/11, in 3 days"}},
        {"2026-12-22", {"Advance 1: ends on 2026/12/22, in 14 days"}},
        {"2026-12-23", {}},
    };
    for (const Case& c : cases) {
        std::vector<std::string> found;
        for (const ScheduleProblem& p :
             FindScheduleProblems(MakeSchedule({}, {from("2026-11-01", c.stop)}), today))
            found.push_back(ProblemText(p, EnglishTexts()));
        EXPECT_EQ(found, c.problems) << c.stop;
    }
}

} // namespace
} // namespace velmo
