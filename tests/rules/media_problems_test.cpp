#include "model/temp_dir.h"
#include "rules/publish.h"
#include "rules/schedule_sense.h"
#include "texts/screen_texts.h"

#include <gtest/gtest.h>
#include <map>

namespace velmo {
namespace {

// A file that is there but will not play is a problem of each entry naming it, with the judge's
// reasons; a missing one stays "in no media folder", never both.
TEST(Problems, MediaWillNotPlay_namesTheReasonsForEachEntry) {
    const Schedule s =
        MakeSchedule({MakeFileEntry("PHONE", "MP4", 1, 13), MakeFileEntry("LOOP", "MPG", 1, 13),
                      MakeFileEntry("GONE", "MPG", 1, 13), MakeFileEntry("PHONE", "MP4", 2, 13)},
                     {});
    const auto problems = FindScheduleProblems(
        s, {2026, 12, 8}, [](const std::string& name) { return name != "GONE.MPG"; },
        [](const std::string& name) -> std::optional<std::string> {
            if (name == "PHONE.MP4" || name == "GONE.MPG")
                return std::string("H.264 video");
            return std::nullopt;
        });
    std::vector<std::string> lines;
    for (const ScheduleProblem& p : problems)
        lines.push_back(ProblemText(p, EnglishTexts()));
    EXPECT_EQ(lines, (std::vector<std::string>{"Basic 1: PHONE.MP4 will not play: H.264 video",
                                               "Basic 3: GONE.MPG is in no media folder",
                                               "Basic 4: PHONE.MP4 will not play: H.264 video"}));
}

// Player copies take the place of their originals in every list, each entry keeping its own play
// count, volume and reserved bytes, even values the editor's lists do not hold.
TEST(RenameMediaFiles, EveryEntryNamingTheOriginal_basicAndDetails_keepsItsValues) {
    FileEntry odd = MakeFileEntry("PHONE", "MP4", 7, 3);
    odd.reserved[0] = 0x5a;
    AdvanceEntry period;
    SetDetailEntries(period, {MakeFileEntry("LOGO", "PNG", 2, 13), MakeFileEntry("LOOP", "MPG", 1, 13)});
    Schedule s = MakeSchedule({odd, MakeFileEntry("LOOP", "MPG", 1, 13), MakeFileEntry("PHONE", "MP4", 1, 9)},
                              {period});
    const std::map<std::string, std::string> names = {
        {"PHONE.MP4", "PHONE.MPG"}, {"LOGO.PNG", "LOGO.JPG"}, {"ABSENT.AVI", "ABSENT.MPG"}};
    EXPECT_EQ(RenameMediaFiles(s, names), 3);

    FileEntry oddRenamed = MakeFileEntry("PHONE", "MPG", 7, 3);
    oddRenamed.reserved[0] = 0x5a;
    AdvanceEntry renamedPeriod;
    SetDetailEntries(renamedPeriod,
                     {MakeFileEntry("LOGO", "JPG", 2, 13), MakeFileEntry("LOOP", "MPG", 1, 13)});
    EXPECT_EQ(s, MakeSchedule(
                     {oddRenamed, MakeFileEntry("LOOP", "MPG", 1, 13), MakeFileEntry("PHONE", "MPG", 1, 9)},
                     {renamedPeriod}));
    // Nothing named so: nothing changes.
    EXPECT_EQ(RenameMediaFiles(s, names), 0);
}

TEST(PublishSettingsFile, PlayerCopiesFolderIsRememberedAndJoinsTheMediaFolders) {
    test::TempDir app;
    PublishSettings settings;
    settings.mediaDirs = {"/home/u/a/"};
    settings.playerCopiesDir = "/home/u/copies/";
    ASSERT_TRUE(WritePublishSettings(app.dir(), settings));
    const PublishSettings read = ReadPublishSettings(app.dir());
    EXPECT_EQ(read.playerCopiesDir, settings.playerCopiesDir);

    const struct {
        std::vector<std::string> remembered;
        std::string copies;
        std::string scheduleDir;
        std::vector<std::string> folders;
    } cases[] = {
        {{}, "", "", {"/last/"}},
        {{}, "", "/shows/", {"/last/", "/shows/"}},
        {{}, "", "/last", {"/last/"}}, // the schedule beside its media: listed once
        {{"/a/"}, "/copies/", "/shows/", {"/a/", "/copies/", "/shows/"}},
        {{"/a/", "/copies/"}, "/copies/", "/a/", {"/a/", "/copies/"}},
    };
    for (const auto& c : cases) {
        PublishSettings s;
        s.mediaDirs = c.remembered;
        s.playerCopiesDir = c.copies;
        EXPECT_EQ(ScheduleMediaFolders(s, "/last/", c.scheduleDir), c.folders) << c.scheduleDir;
    }
}

} // namespace
} // namespace velmo
