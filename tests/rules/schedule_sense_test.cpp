#include "rules/schedule_sense.h"

#include "texts/screen_texts.h"

#include <gtest/gtest.h>

#include <set>
#include <utility>

namespace velmo {
namespace {

FileEntry file(const std::string& name, const std::string& ext, int volume = 13) {
    FileEntry e;
    std::copy(name.begin(), name.end(), e.fileName.begin());
    std::copy(ext.begin(), ext.end(), e.fileExt.begin());
    e.playTimes = 1;
    e.volume = static_cast<std::uint8_t>(volume);
    return e;
}

// From (y, m, d, hh, mm, ss) to (y, m, d, hh, mm, ss), years as 20yy, with one file.
AdvanceEntry period(std::array<int, 6> start, std::array<int, 6> stop, int weekDay = 7,
                    std::vector<FileEntry> files = {file("CLIP", "AVI")}) {
    AdvanceEntry e;
    std::uint8_t* const fields[] = {&e.startYear,   &e.startMonth,  &e.startDay,   &e.startHour,
                                    &e.startMinute, &e.startSecond, &e.stopYear,   &e.stopMonth,
                                    &e.stopDay,     &e.stopHour,    &e.stopMinute, &e.stopSecond};
    for (int i = 0; i < 6; ++i) {
        *fields[i] = static_cast<std::uint8_t>(start[i]);
        *fields[6 + i] = static_cast<std::uint8_t>(stop[i]);
    }
    e.weekDay = static_cast<std::uint8_t>(weekDay);
    SetDetailEntries(e, std::move(files));
    return e;
}

Schedule schedule(std::vector<AdvanceEntry> advance, std::vector<FileEntry> basic = {file("LOOP", "MPG")}) {
    return MakeSchedule(std::move(basic), std::move(advance));
}

const CivilDate kToday{2026, 11, 20};

std::vector<std::string> texts(const std::vector<ScheduleProblem>& problems) {
    ScreenTexts english;
    english.LoadEnglishTexts();
    std::vector<std::string> out;
    for (const ScheduleProblem& p : problems)
        out.push_back(ProblemText(p, english));
    return out;
}

using Lines = std::vector<std::string>;

// ---- What is in force ------------------------------------------------------------------------

TEST(InForce, FirstInListOrderPlays_basicWhenNoneHolds) {
    // 2026-11-02 is a Monday.
    const Schedule s = schedule({period({26, 11, 2, 8, 0, 0}, {27, 3, 31, 12, 0, 0}, 1),
                                 period({26, 11, 1, 10, 0, 0}, {26, 11, 30, 18, 0, 0}, 7)});
    EXPECT_EQ(WhatIsInForce(s, {2026, 11, 2}, {7, 59, 59}).playing(), -1);
    EXPECT_TRUE(WhatIsInForce(s, {2026, 11, 2}, {7, 59, 59}).basicPlays());
    EXPECT_EQ(WhatIsInForce(s, {2026, 11, 2}, {8, 0, 0}).advance, (std::vector<int>{0}));
    EXPECT_EQ(WhatIsInForce(s, {2026, 11, 2}, {11, 0, 0}).advance, (std::vector<int>{0, 1}));
    EXPECT_EQ(WhatIsInForce(s, {2026, 11, 2}, {11, 0, 0}).playing(), 0);
    EXPECT_EQ(WhatIsInForce(s, {2026, 11, 2}, {12, 0, 1}).playing(), 1);
    EXPECT_TRUE(WhatIsInForce(s, {2026, 11, 2}, {18, 0, 1}).basicPlays());
    // Tuesday: only the every-day period; December: only the Monday one.
    EXPECT_EQ(WhatIsInForce(s, {2026, 11, 3}, {9, 0, 0}).advance, (std::vector<int>{}));
    EXPECT_EQ(WhatIsInForce(s, {2026, 11, 3}, {10, 0, 0}).advance, (std::vector<int>{1}));
    EXPECT_EQ(WhatIsInForce(s, {2026, 12, 7}, {10, 0, 0}).advance, (std::vector<int>{0}));
    EXPECT_TRUE(WhatIsInForce(s, {2026, 12, 8}, {10, 0, 0}).basicPlays());
}

TEST(InForce, MonthEndsAndLeapDays) {
    // Every day from 2028-02-28 to 2028-03-01 over the leap day, and on Tuesdays only.
    const Schedule s = schedule({period({28, 2, 28, 0, 0, 0}, {28, 3, 1, 23, 59, 59}, 7),
                                 period({28, 2, 1, 0, 0, 0}, {28, 2, 29, 23, 59, 59}, 2)});
    const ClockTime noon{12, 0, 0};
    EXPECT_TRUE(WhatIsInForce(s, {2028, 2, 27}, noon).basicPlays());
    EXPECT_EQ(WhatIsInForce(s, {2028, 2, 28}, noon).advance, (std::vector<int>{0}));
    // 2028-02-29 is a Tuesday.
    EXPECT_EQ(WhatIsInForce(s, {2028, 2, 29}, noon).advance, (std::vector<int>{0, 1}));
    EXPECT_EQ(WhatIsInForce(s, {2028, 3, 1}, noon).advance, (std::vector<int>{0}));
    EXPECT_TRUE(WhatIsInForce(s, {2028, 3, 2}, noon).basicPlays());
    // Over a year end, on its last and first second.
    const Schedule newYear = schedule({period({26, 12, 31, 0, 0, 0}, {27, 1, 1, 23, 59, 59})});
    EXPECT_EQ(WhatIsInForce(newYear, {2026, 12, 31}, {23, 59, 59}).playing(), 0);
    EXPECT_EQ(WhatIsInForce(newYear, {2027, 1, 1}, {0, 0, 0}).playing(), 0);
    EXPECT_TRUE(WhatIsInForce(newYear, {2027, 1, 2}, {0, 0, 0}).basicPlays());
}

TEST(InForce, DayPlan_fillsTheDayWithTheFirstInForceAndTheBasicSchedule) {
    // A two-second window, and a later entry that starts inside the first one's window.
    const Schedule s = schedule({period({26, 11, 1, 8, 0, 0}, {26, 11, 30, 8, 0, 1}),
                                 period({26, 11, 1, 8, 0, 0}, {26, 11, 30, 12, 0, 0}, 1)});
    const int eight = 8 * 3600;
    EXPECT_EQ(DayPlan(s, {2026, 11, 2}), (std::vector<PlaySpan>{{0, eight - 1, -1},
                                                                {eight, eight + 1, 0},
                                                                {eight + 2, 12 * 3600, 1},
                                                                {12 * 3600 + 1, kSecondsPerDay - 1, -1}}));
    // On a Tuesday the second entry is not in force.
    EXPECT_EQ(DayPlan(s, {2026, 11, 3}),
              (std::vector<PlaySpan>{
                  {0, eight - 1, -1}, {eight, eight + 1, 0}, {eight + 2, kSecondsPerDay - 1, -1}}));
    EXPECT_EQ(DayPlan(s, {2026, 12, 1}), (std::vector<PlaySpan>{{0, kSecondsPerDay - 1, -1}}));
    // A whole day leaves no basic stretch.
    EXPECT_EQ(DayPlan(schedule({period({26, 1, 1, 0, 0, 0}, {26, 12, 31, 23, 59, 59})}), {2026, 5, 5}),
              (std::vector<PlaySpan>{{0, kSecondsPerDay - 1, 0}}));
}

// ---- Each finding alone -----------------------------------------------------------------------

TEST(Problems, ACleanScheduleHasNone) {
    const Schedule s = schedule({period({26, 11, 2, 8, 0, 0}, {27, 3, 31, 12, 0, 0}, 1),
                                 period({26, 11, 2, 12, 0, 1}, {27, 3, 31, 18, 0, 0}, 1)});
    EXPECT_TRUE(FindScheduleProblems(s, kToday, [](const std::string&) { return true; }).empty());
}

TEST(Problems, Overlap_namesTheSharedWeekDayAndWindow) {
    const Schedule s = schedule({period({26, 11, 2, 0, 0, 0}, {27, 3, 31, 12, 0, 0}, 7),
                                 period({26, 11, 2, 8, 0, 0}, {27, 3, 31, 18, 0, 0}, 1)});
    const auto problems = FindScheduleProblems(s, kToday);
    const std::string row =
        "Advance 1 plays; Advance 2 is silent then, Mondays 08:00-12:00, 2026/11/02 to 2027/03/29";
    EXPECT_EQ(texts(problems), (Lines{row}));
    ASSERT_EQ(problems.size(), 1u);
    EXPECT_EQ(problems[0].overlap.firstDay, (CivilDate{2026, 11, 2}));
    EXPECT_EQ(problems[0].overlap.lastDay, (CivilDate{2027, 3, 29}));
    // Seen from the second entry, as the notice after its OK shows it.
    EXPECT_EQ(texts(AdvanceEntryWarnings(s, 1, kToday)), (Lines{row}));
}

// One row per pair names the days the two share: their range, or the one day.
TEST(Problems, Overlap_rowNamesItsDays) {
    ScreenTexts japanese;
    japanese.SelectScreenTexts(2);
    const struct {
        AdvanceEntry second;
        const ScreenTexts* texts;
        std::string row;
    } cases[] = {
        {period({26, 12, 24, 8, 0, 0}, {26, 12, 24, 9, 30, 0}), &EnglishTexts(),
         "Advance 1 plays; Advance 2 is silent then, every day 08:00-09:30, 2026/12/24"},
        {period({26, 12, 20, 8, 0, 0}, {27, 1, 10, 9, 30, 0}, 4), &EnglishTexts(),
         "Advance 1 plays; Advance 2 is silent then, Thursdays 08:00-09:30, 2026/12/24 to 2026/12/31"},
        {period({26, 12, 20, 8, 0, 0}, {27, 1, 10, 9, 30, 0}, 4), &japanese,
         "詳細 1 が再生され、詳細 2 はその間再生されません(毎週木曜日 08:00-09:30、"
         "2026/12/24から2026/12/31)"},
    };
    for (const auto& c : cases) {
        const Schedule s = schedule({period({26, 12, 24, 0, 0, 0}, {26, 12, 31, 12, 0, 0}), c.second});
        const auto problems = FindScheduleProblems(s, kToday);
        ASSERT_EQ(problems.size(), 1u) << c.row;
        EXPECT_EQ(ProblemText(problems[0], *c.texts), c.row);
    }
}

TEST(Problems, TheLargestScheduleOfOverlaps_oneFindingPerPairWithItsDays) {
    // 250 periods over the same days, each a minute later into the day than the one before.
    std::vector<AdvanceEntry> periods;
    for (int i = 0; i < kMaxAdvanceEntries; ++i)
        periods.push_back(
            period({26, 11, 2, i / 60, i % 60, 0}, {27, 3, 31, 23, 59, 59}, i % 2 == 0 ? 7 : 1));
    const Schedule s = schedule(periods);
    std::set<std::pair<int, int>> pairs;
    for (const ScheduleProblem& p : FindScheduleProblems(s, kToday)) {
        ASSERT_EQ(p.kind, ProblemKind::Overlap);
        EXPECT_LT(p.entry.index, p.other);
        EXPECT_TRUE(pairs.emplace(p.entry.index, p.other).second) << p.entry.index << "/" << p.other;
        // Every-day periods share all their days; with a Monday one, its Mondays.
        const bool mondays = p.entry.index % 2 == 1 || p.other % 2 == 1;
        EXPECT_EQ(p.overlap.firstDay, (CivilDate{2026, 11, 2}));
        EXPECT_EQ(p.overlap.lastDay, (mondays ? CivilDate{2027, 3, 29} : CivilDate{2027, 3, 31}));
        EXPECT_EQ(SecondOfDay(p.overlap.from), p.other * 60);
    }
    EXPECT_EQ(pairs.size(), static_cast<std::size_t>(kMaxAdvanceEntries * (kMaxAdvanceEntries - 1) / 2));
}

TEST(Problems, Ended_andWeekDayNeverOccurs) {
    EXPECT_EQ(texts(FindScheduleProblems(schedule({period({25, 1, 1, 0, 0, 0}, {26, 11, 19, 23, 59, 59})}),
                                         kToday)),
              (Lines{"Advance 1: ended on 2026/11/19 (today is 2026/11/20)"}));
    // Ending today it has not ended, but is soon to.
    EXPECT_EQ(texts(FindScheduleProblems(schedule({period({25, 1, 1, 0, 0, 0}, {26, 11, 20, 23, 59, 59})}),
                                         kToday)),
              (Lines{"Advance 1: ends today, 2026/11/20"}));
    // 2026-12-15 is a Tuesday, 2026-12-18 a Friday; both more than two weeks ahead.
    EXPECT_EQ(texts(FindScheduleProblems(schedule({period({26, 12, 15, 0, 0, 0}, {26, 12, 18, 23, 0, 0}, 6)}),
                                         kToday)),
              (Lines{"Advance 1: no Saturday between 2026/12/15 and 2026/12/18"}));
}

TEST(Problems, NoFilesAndValuesOutsideTheLists) {
    EXPECT_EQ(texts(FindScheduleProblems(
                  schedule({period({26, 12, 15, 0, 0, 0}, {26, 12, 18, 23, 0, 0}, 7, {})}), kToday)),
              (Lines{"Advance 1: has no files, so the schedule cannot be saved"}));
    EXPECT_EQ(texts(FindScheduleProblems(schedule({period({26, 13, 15, 0, 0, 0}, {26, 12, 18, 23, 0, 0})}),
                                         kToday)),
              (Lines{"Advance 1: holds a value the editors' lists do not offer"}));
    EXPECT_EQ(texts(FindScheduleProblems(schedule({}, {file("LOOP", "MPG", 14)}), kToday)),
              (Lines{"Basic 1: holds a value the editors' lists do not offer"}));
}

TEST(Problems, MediaMissing_looksUpTheNameAsOnDisk) {
    std::vector<std::string> asked;
    const Schedule s =
        schedule({period({26, 12, 15, 0, 0, 0}, {26, 12, 18, 23, 0, 0}, 7, {file("CLIP", "AVI")})},
                 {file("LOOP", "MPG"), file("README", "")});
    const auto problems = FindScheduleProblems(s, kToday, [&asked](const std::string& name) {
        asked.push_back(name);
        return name != "CLIP.AVI";
    });
    EXPECT_EQ(asked, (Lines{"LOOP.MPG", "README", "CLIP.AVI"}));
    EXPECT_EQ(texts(problems), (Lines{"Advance 1, file 1: CLIP.AVI is in no media folder"}));
}

TEST(Problems, VolumesDiffer_withinOnePeriodOnly) {
    const Schedule s =
        schedule({period({26, 12, 15, 0, 0, 0}, {26, 12, 18, 23, 0, 0}, 7,
                         {file("SONG", "MP3", 5), file("JINGLE", "MP3"), file("SONG", "MP3", 13),
                          file("SONG", "MP3", 5)}),
                  period({26, 12, 19, 0, 0, 0}, {26, 12, 20, 23, 0, 0}, 7, {file("SONG", "MP3", 9)})});
    EXPECT_EQ(texts(FindScheduleProblems(s, kToday)),
              (Lines{"Advance 1, file 3: SONG.MP3 at volume Default, but at 5 in Advance 1, file 1"}));
}

TEST(Problems, ToolWarnings_keepTheirWordsAndOrder) {
    const Schedule s = schedule({period({25, 1, 1, 0, 0, 0}, {25, 1, 2, 23, 0, 0}, 6),
                                 period({25, 1, 1, 0, 0, 0}, {25, 1, 2, 23, 0, 0}, 7, {})});
    std::vector<std::string> got;
    for (const Finding& f : CheckScheduleSense(s, kToday))
        got.push_back(FormatFinding("s.vlm", f));
    EXPECT_EQ(got,
              (Lines{"s.vlm: advance entry 1: warning: its dates 2025-01-01 to 2025-01-02 hold no Saturday",
                     "s.vlm: advance entry 1: warning: ended on 2025-01-02 (today is 2026-11-20)",
                     "s.vlm: advance entry 2: warning: ended on 2025-01-02 (today is 2026-11-20)"}));
}

// ---- The month calendar's marks ---------------------------------------------------------------

TEST(MonthMarks, NovemberWithAnOverlapOnMondays) {
    // Every day 10:00-18:00 from the 10th to the 20th; Mondays 08:00-12:00 all month; Sundays evenings.
    const Schedule s = schedule({period({26, 11, 10, 10, 0, 0}, {26, 11, 20, 18, 0, 0}, 7),
                                 period({26, 11, 1, 8, 0, 0}, {26, 11, 30, 12, 0, 0}, 1),
                                 period({26, 11, 1, 19, 0, 0}, {26, 11, 30, 22, 0, 0}, 0)});
    const std::vector<DayMarks> days = MonthMarks(s, 2026, 11, kToday);
    ASSERT_EQ(days.size(), 30u);
    std::vector<int> overlapDays, todays;
    for (const DayMarks& d : days) {
        if (d.overlap)
            overlapDays.push_back(d.date.day);
        if (d.today)
            todays.push_back(d.date.day);
    }
    EXPECT_EQ(overlapDays, (std::vector<int>{16})); // the only Monday between the 10th and the 20th
    EXPECT_EQ(todays, (std::vector<int>{20}));
    EXPECT_EQ(days[0].advance, (std::vector<int>{2}));     // Sunday the 1st
    EXPECT_EQ(days[1].advance, (std::vector<int>{1}));     // Monday the 2nd
    EXPECT_EQ(days[8].advance, (std::vector<int>{1}));     // Monday the 9th
    EXPECT_EQ(days[14].advance, (std::vector<int>{0, 2})); // Sunday the 15th
    EXPECT_EQ(days[15].advance, (std::vector<int>{0, 1})); // Monday the 16th
    EXPECT_EQ(days[29].advance, (std::vector<int>{1}));    // Monday the 30th
    EXPECT_EQ(MonthMarks(s, 2028, 2, kToday).size(), 29u);
}

} // namespace
} // namespace velmo
