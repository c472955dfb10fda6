#include "rules/schedule_difference.h"

#include "support/schedule_builder.h"
#include "texts/screen_texts.h"

#include <gtest/gtest.h>

namespace velmo {
namespace {

using test::MakeFile;
using test::Period;

AdvanceEntry december(std::vector<FileEntry> files = {MakeFile("CLIP", "AVI")}) {
    return Period("2026-12-01", "2026-12-24", kWeekDayAll, "08:00:00", "12:00:00", std::move(files));
}

TEST(ScheduleDifference, SaysEachChangeInTheProgramsWords) {
    const FileEntry song = MakeFile("SONG");
    const FileEntry logo = MakeFile("LOGO", "JPG", 2, 5);
    const FileEntry sale = MakeFile("SALE", "JPG", 1, 8);
    const AdvanceEntry weekends =
        Period("2027-01-02", "2027-01-31", 6, "00:00:00", "23:59:59", {MakeFile("WEEKEND", "MPG")});
    const struct Case {
        const char* what;
        Schedule before;
        Schedule after;
        std::vector<std::string> lines;
    } cases[] = {
        {"equal",
         MakeSchedule({song, logo}, {december()}),
         MakeSchedule({song, logo}, {december()}),
         {"no change to the schedule"}},
        {"basic added at the end",
         MakeSchedule({song}, {}),
         MakeSchedule({song, logo}, {}),
         {"Basic 2: LOGO.JPG added"}},
        {"basic removed, numbered as it was",
         MakeSchedule({song, logo, sale}, {}),
         MakeSchedule({song, sale}, {}),
         {"Basic 2: LOGO.JPG removed"}},
        {"a move is one move",
         MakeSchedule({song, logo, sale}, {}),
         MakeSchedule({logo, sale, song}, {}),
         {"Basic 3: SONG.MP3 moved (was Basic 1)"}},
        {"play count and volume",
         MakeSchedule({song, logo}, {}),
         MakeSchedule({MakeFile("SONG", "MP3", 3), MakeFile("LOGO", "JPG", 2, kVolumeDefault)}, {}),
         {"Basic 1: SONG.MP3 play count 1 to 3", "Basic 2: LOGO.JPG volume 5 to Default"}},
        {"the same name twice pairs up in order",
         MakeSchedule({song, logo, song}, {}),
         MakeSchedule({song, logo}, {}),
         {"Basic 3: SONG.MP3 removed"}},
        {"period added",
         MakeSchedule({song}, {december()}),
         MakeSchedule({song}, {december(), weekends}),
         {"Advance 2 added: 2027/01/02 to 2027/01/31, Saturday, 00:00-23:59:59"}},
        {"period removed",
         MakeSchedule({song}, {weekends, december()}),
         MakeSchedule({song}, {december()}),
         {"Advance 1 removed: 2027/01/02 to 2027/01/31, Saturday, 00:00-23:59:59"}},
        {"period made longer",
         MakeSchedule({song}, {december()}),
         MakeSchedule({song}, {Period("2026-12-01", "2027-01-06", kWeekDayAll, "08:00:00", "12:00:00",
                                      {MakeFile("CLIP", "AVI")})}),
         {"Advance 1: dates were 2026/12/01 to 2026/12/24, now 2026/12/01 to 2027/01/06"}},
        {"period hours and days",
         MakeSchedule({song}, {december()}),
         MakeSchedule({song}, {Period("2026-12-01", "2026-12-24", 1, "09:00:00", "12:00:00",
                                      {MakeFile("CLIP", "AVI")})}),
         {"Advance 1: days were All Day, now Monday", "Advance 1: hours were 08:00-12:00, now 09:00-12:00"}},
        {"period files",
         MakeSchedule({song}, {december({MakeFile("CLIP", "AVI"), MakeFile("OLD", "MPG")})}),
         MakeSchedule({song}, {december({MakeFile("NEW", "MPG"), MakeFile("CLIP", "AVI", 4)})}),
         {"Advance 1, file 2: OLD.MPG removed", "Advance 1, file 1: NEW.MPG added",
          "Advance 1, file 2: CLIP.AVI play count 1 to 4"}},
        {"periods swapped",
         MakeSchedule({song}, {december(), weekends}),
         MakeSchedule({song}, {weekends, december()}),
         {"Advance 2 moved (was Advance 1)"}},
        {"reserved bytes the player ignores",
         MakeSchedule({song}, {}),
         [&] {
             FileEntry marked = song;
             marked.reserved[0] = 7;
             return MakeSchedule({marked}, {});
         }(),
         {"no change to the schedule"}},
        {"from nothing",
         MakeSchedule({}, {}),
         MakeSchedule({song}, {december()}),
         {"Basic 1: SONG.MP3 added", "Advance 1 added: 2026/12/01 to 2026/12/24, All Day, 08:00-12:00"}},
    };
    for (const Case& c : cases)
        EXPECT_EQ(ScheduleDifferenceLines(c.before, c.after, EnglishTexts()), c.lines) << c.what;
}

TEST(ScheduleDifference, SpeaksTheChosenLanguage) {
    ScreenTexts japanese;
    japanese.SelectScreenTexts(2);
    const Schedule one = MakeSchedule({MakeFile("SONG")}, {});
    EXPECT_EQ(ScheduleDifferenceLines(one, one, japanese),
              std::vector<std::string>{SecondLanguageText(TextId::MsgDiffNone)});
}

} // namespace
} // namespace velmo
