#include "rules/schedule_content.h"
#include "rules/schedule_sense.h"

#include "support/schedule_builder.h"
#include "texts/screen_texts.h"

#include <gtest/gtest.h>

#include <set>

namespace velmo {
namespace {

using test::MakeFile;

AdvanceEntry advance(std::array<int, 6> start, std::array<int, 6> stop, int weekDay = 7, int files = 1) {
    AdvanceEntry e;
    std::uint8_t* const fields[] = {&e.startYear,   &e.startMonth,  &e.startDay,   &e.startHour,
                                    &e.startMinute, &e.startSecond, &e.stopYear,   &e.stopMonth,
                                    &e.stopDay,     &e.stopHour,    &e.stopMinute, &e.stopSecond};
    for (int i = 0; i < 6; ++i) {
        *fields[i] = static_cast<std::uint8_t>(start[i]);
        *fields[6 + i] = static_cast<std::uint8_t>(stop[i]);
    }
    e.weekDay = static_cast<std::uint8_t>(weekDay);
    e.files.assign(static_cast<std::size_t>(files) + 1, MakeFile("CLIP", "AVI"));
    e.fileCount = static_cast<std::int16_t>(files);
    return e;
}

const std::array<int, 6> kJan3{7, 1, 3, 0, 0, 0};
const std::array<int, 6> kDec31{7, 12, 31, 23, 59, 59};

Schedule withBasic(std::vector<FileEntry> entries) {
    return MakeSchedule(std::move(entries), {});
}

Schedule withAdvance(std::vector<AdvanceEntry> entries) {
    return MakeSchedule({}, std::move(entries));
}

std::vector<std::string> lines(const std::vector<Finding>& findings) {
    std::vector<std::string> out;
    for (const Finding& f : findings)
        out.push_back(FormatFinding("s.json", f));
    return out;
}

const std::string kFileNameError = EnglishText(TextId::MsgFileNameError);
const std::string kDateError = EnglishText(TextId::MsgDateSetupError);
const std::string kTimeError = EnglishText(TextId::MsgTimeSetupError);
const std::string kTooManyBasic = EnglishText(TextId::MsgTooManyBasic);

TEST(ScheduleContent, EditorProducedEntries_passClean) {
    Schedule s =
        withBasic({MakeFile("SONG", "MP3"), MakeFile("1234567890123456", "1234", 100, 0), MakeFile("", ""),
                   MakeFile("A.B", "C", 0, 12), MakeFile("CLIP", ""), MakeFile("X-Y_Z", "MP3", 5, 13)});
    s.advanceEntries = {advance(kJan3, kDec31), advance({0, 2, 29, 0, 0, 0}, {99, 12, 31, 23, 59, 58}, 0),
                        advance({7, 5, 31, 8, 0, 0}, {7, 5, 31, 8, 0, 1}, 6), AdvanceEntry{}};
    s.advanceCount = 3;
    EXPECT_TRUE(CheckScheduleContent(s).empty()) << testing::PrintToString(lines(CheckScheduleContent(s)));
}

TEST(ScheduleContent, NamesTheEditorCouldNotHaveStored) {
    const std::vector<std::pair<FileEntry, std::string>> cases = {
        {MakeFile("song", "MP3"), "name not upper-cased"},
        {MakeFile("A", "B.C"), "dot in the extension"},
        {MakeFile("MY CLIP", "AVI"), "name character not allowed"},
        {MakeFile("CAF\xC9", "MP3"), "name character not allowed"},
        {MakeFile(std::string("A\0B", 3), "MP3"), "name character after a zero byte"},
        {MakeFile(" SONG", "MP3"), "name character not allowed"},
        {MakeFile("SONG", "MP3 "), "name character not allowed"},
        {MakeFile("SONG", "mp3"), "name not upper-cased"},
    };
    for (const auto& [entry, reason] : cases) {
        const std::vector<std::string> got =
            lines(CheckScheduleContent(withBasic({MakeFile("OK", "MP3"), entry})));
        EXPECT_EQ(got,
                  std::vector<std::string>{"s.json: basic entry 2: " + kFileNameError + " (" + reason + ")"});
    }
    // The same check reaches detail entries.
    Schedule s = withAdvance({advance(kJan3, kDec31, 7, 2)});
    s.advanceEntries[0].files[1] = MakeFile("bad", "avi");
    EXPECT_EQ(lines(CheckScheduleContent(s)),
              std::vector<std::string>{"s.json: advance entry 1, detail entry 2: " + kFileNameError +
                                       " (name not upper-cased)"});
}

TEST(ScheduleContent, DatesAndTimes_withinTheListsAndInOrder) {
    struct Case {
        AdvanceEntry entry;
        std::string expected;
    };
    const std::vector<Case> cases = {
        {advance({100, 1, 1, 0, 0, 0}, kDec31), kDateError + " (start year after 2099: 2100)"},
        {advance(kJan3, {7, 13, 1, 23, 59, 59}), kDateError + " (stop month outside 1..12: 13)"},
        {advance({7, 0, 1, 0, 0, 0}, kDec31), kDateError + " (start month outside 1..12: 0)"},
        {advance({7, 1, 0, 0, 0, 0}, kDec31), kDateError + " (start day outside its month: 0 in 2007-01)"},
        {advance({1, 2, 29, 0, 0, 0}, kDec31), kDateError + " (start day outside its month: 29 in 2001-02)"},
        {advance(kJan3, {7, 4, 31, 23, 59, 59}), kDateError + " (stop day outside its month: 31 in 2007-04)"},
        {advance({7, 1, 3, 24, 0, 0}, kDec31), kTimeError + " (start hour above 23: 24)"},
        {advance(kJan3, {7, 12, 31, 23, 60, 0}), kTimeError + " (stop minute above 59: 60)"},
        {advance(kJan3, {7, 12, 31, 23, 59, 60}), kTimeError + " (stop second above 59: 60)"},
        {advance(kJan3, kDec31, 8), "week day above 7: 8 (7 is All Day)"},
        {advance({7, 5, 2, 0, 0, 0}, {7, 5, 1, 23, 59, 59}),
         kDateError + " (start date after stop date: 2007-05-02 and 2007-05-01)"},
        {advance({7, 1, 1, 12, 30, 0}, {7, 1, 1, 12, 30, 0}),
         kTimeError + " (start time not before stop time: 12:30:00 and 12:30:00)"},
        // The window is judged apart from the dates, as the editor does.
        {advance({7, 1, 1, 22, 0, 0}, {7, 1, 2, 6, 0, 0}),
         kTimeError + " (start time not before stop time: 22:00:00 and 06:00:00)"},
    };
    for (const Case& c : cases) {
        const std::vector<std::string> got =
            lines(CheckScheduleContent(withAdvance({advance(kJan3, kDec31), c.entry})));
        EXPECT_EQ(got, std::vector<std::string>{"s.json: advance entry 2: " + c.expected});
    }
    // Start date after stop date and equal times: only the date message, as the editor shows it.
    EXPECT_EQ(lines(CheckScheduleContent(withAdvance({advance({7, 5, 2, 8, 0, 0}, {7, 5, 1, 8, 0, 0})}))),
              (std::vector<std::string>{"s.json: advance entry 1: " + kDateError +
                                        " (start date after stop date: 2007-05-02 and 2007-05-01)"}));
}

TEST(ScheduleContent, Limits_nameTheCountThatIsTooLarge) {
    std::vector<FileEntry> many(251, MakeFile("A", "B"));
    EXPECT_EQ(lines(CheckScheduleContent(withBasic(many))),
              std::vector<std::string>{"s.json: " + kTooManyBasic + " (251 basic entries, at most 250)"});
    many.pop_back();
    EXPECT_TRUE(CheckScheduleContent(withBasic(many)).empty());

    std::vector<AdvanceEntry> entries(251, advance(kJan3, kDec31));
    EXPECT_EQ(lines(CheckScheduleContent(withAdvance(entries)))[0],
              "s.json: too many advance entries: 251, at most 250");
    EXPECT_EQ(lines(CheckScheduleContent(withAdvance({advance(kJan3, kDec31, 7, 101)}))),
              std::vector<std::string>{"s.json: advance entry 1: too many detail entries: 101, at most 100"});
    EXPECT_TRUE(CheckScheduleContent(withAdvance({advance(kJan3, kDec31, 7, 100)})).empty());
}

TEST(ScheduleContent, SaveChecks_inTheEditorsWordsOnOneLine) {
    EXPECT_EQ(lines(CheckScheduleContent(Schedule{})),
              std::vector<std::string>{"s.json: " + EnglishText(TextId::MsgNoSchedule) + " " +
                                       EnglishText(TextId::MsgCantSave)});
    // Entry 3 is named even though entry 5 has no files either.
    std::vector<AdvanceEntry> entries(5, advance(kJan3, kDec31));
    entries[2].fileCount = 0;
    entries[4].fileCount = 0;
    EXPECT_EQ(lines(CheckScheduleContent(withAdvance(entries))),
              std::vector<std::string>{"s.json: " + EnglishText(TextId::MsgNoFileInAdvance) + "3 ! " +
                                       EnglishText(TextId::MsgCantSave)});
    // 250 advance entries with 4 files each: 50 + 3750 + 30000 = 33800.
    EXPECT_EQ(lines(CheckScheduleContent(
                  withAdvance(std::vector<AdvanceEntry>(250, advance(kJan3, kDec31, 7, 4))))),
              std::vector<std::string>{"s.json: " + EnglishText(TextId::MsgTooManySchedules)});
    // 250 basic entries: 7550, saved.
    EXPECT_TRUE(CheckScheduleContent(withBasic(std::vector<FileEntry>(250, MakeFile("A", "B")))).empty());
}

TEST(ScheduleContent, Findings_comeInListOrder) {
    Schedule s = withBasic({MakeFile("a", "b"), MakeFile("OK", "MP3", 200)});
    s.advanceEntries = {advance(kJan3, kDec31, 9), AdvanceEntry{}};
    s.advanceEntries[0].files[0] = MakeFile("X", "Y", 101);
    s.advanceCount = 1;
    const std::vector<std::string> got = lines(CheckScheduleContent(s));
    ASSERT_EQ(got.size(), 4u) << testing::PrintToString(got);
    EXPECT_EQ(got[0].rfind("s.json: basic entry 1: ", 0), 0u);
    EXPECT_EQ(got[1].rfind("s.json: basic entry 2: ", 0), 0u);
    EXPECT_EQ(got[2].rfind("s.json: advance entry 1: ", 0), 0u);
    EXPECT_EQ(got[3].rfind("s.json: advance entry 1, detail entry 1: ", 0), 0u);
}

TEST(ScheduleSenseWarnings, SkipEntriesTheEditorCouldNotStore) {
    // Start after stop: the Date Setup Error says it; no warnings pile on top.
    Schedule s = withAdvance({advance({7, 5, 2, 0, 0, 0}, {7, 5, 1, 23, 59, 59}, 2), advance(kJan3, kDec31)});
    EXPECT_TRUE(CheckScheduleSense(s, CivilDate{2007, 1, 1}).empty());
}

TEST(ScheduleSenseWarnings, ManyOverlaps_areCountedAfterTwenty) {
    const Schedule s = withAdvance(std::vector<AdvanceEntry>(10, advance(kJan3, kDec31)));
    const std::vector<std::string> got = lines(CheckScheduleSense(s, CivilDate{2007, 1, 1}));
    ASSERT_EQ(got.size(), 21u);
    EXPECT_EQ(got[0], "s.json: advance entry 1: warning: overlaps advance entry 2 on every day "
                      "00:00:00-23:59:59 from 2007-01-03 to 2007-12-31");
    // One line per pair: never the same pair twice, nor a pair seen from its later entry.
    std::set<std::string> seen(got.begin(), got.end() - 1);
    EXPECT_EQ(seen.size(), got.size() - 1);
    for (const std::string& line : got)
        EXPECT_EQ(line.find("advance entry 10:"), std::string::npos) << line;
    EXPECT_EQ(got.back(), "s.json: warning: 25 more pairs of advance entries overlap"); // 45 pairs in all
}

} // namespace
} // namespace velmo
