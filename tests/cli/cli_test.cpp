#include "cli_runner.h"

#include "cli/schedule_json.h"
#include "model/schedule_file.h"
#include "rules/schedule_rules.h"
#include "test_files.h"
#include "texts/screen_texts.h"

#include "rules/period_groups.h"
#include "support/schedule_builder.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>
#include <fstream>

namespace velmo {
namespace {

using test::MakeFile;

using test::runCli;
using test::TempDir;

void writeText(const std::string& path, const std::string& text) {
    std::ofstream(path, std::ios::binary) << text;
}

std::string trimmedEnd(std::string s) {
    while (!s.empty() && s.back() == '\n')
        s.pop_back();
    return s;
}

AdvanceEntry advance(int weekDay, std::vector<FileEntry> files) {
    return test::Period("2007-01-03", "2007-12-31", weekDay, "08:00:00", "23:59:59", std::move(files));
}

// The shapes the format allows, each one the editor can save.
std::vector<std::pair<std::string, Schedule>> shapes() {
    std::vector<FileEntry> many(250, MakeFile("SONG", "MP3"));
    for (std::size_t i = 0; i < many.size(); ++i)
        many[i].playTimes = static_cast<std::uint8_t>(i % 101);
    std::vector<FileEntry> hundred(100, MakeFile("CLIP", "AVI", 2, 5));
    FileEntry reserved = MakeFile("PIC", "JPG", 3, 7);
    reserved.reserved = {1, 2, 3, 4, 5, 127};
    return {
        {"basic only", MakeSchedule({MakeFile("SONG", "MP3")}, {})},
        {"advance only", MakeSchedule({}, {advance(7, {MakeFile("CLIP01", "AVI", 2, 5)})})},
        {"both", MakeSchedule({MakeFile("A", "B", 0, 0), reserved},
                              {advance(0, {MakeFile("X", "Y")}), advance(6, {MakeFile("Z", "")})})},
        {"widest names and values",
         MakeSchedule({MakeFile("1234567890123456", "1234", 100, 12), MakeFile("", ""), MakeFile("A.B", "C")},
                      {advance(3, {MakeFile("ABCDEFGHIJKLMNOP", "MPEG", 100, 13)})})},
        {"250 basic entries", MakeSchedule(many, {})},
        {"100 detail entries", MakeSchedule({}, {advance(7, hundred)})},
    };
}

TEST(CliRoundTrip, JsonToFileToJson_givesTheSameJsonAndRows) {
    TempDir dir;
    for (const auto& [name, s] : shapes()) {
        const std::string json = ScheduleToJson(s);
        writeText(dir.file("in.json"), json);
        const auto built = runCli({"build", dir.file("in.json"), dir.file("out.vlm"), "--seed", "7"});
        ASSERT_EQ(built.status, 0) << name << ": " << built.err;
        EXPECT_TRUE(built.err.empty()) << name;

        const auto dumped = runCli({"dump", "--json", dir.file("out.vlm")});
        ASSERT_EQ(dumped.status, 0) << name;
        EXPECT_EQ(dumped.out, json) << name;

        // The editor opens the file with the core's reader and fills its lists with the row texts.
        Schedule opened;
        ASSERT_TRUE(ReadScheduleFile(dir.path() + "/", "out.vlm", opened)) << name;
        EXPECT_EQ(opened, s) << name;
        std::string rows;
        for (int i = 0; i < opened.basicCount; ++i)
            rows += FormatFileRow(opened.basicEntries[i]) + "\n";
        for (int i = 0; i < opened.advanceCount; ++i) {
            rows += FormatAdvanceRow(opened.advanceEntries[i]) + "   " +
                    HoursText(opened.advanceEntries[i], "all day") + "\n";
            for (int k = 0; k < opened.advanceEntries[i].fileCount; ++k)
                rows += "  " + FormatFileRow(opened.advanceEntries[i].files[k]) + "\n";
        }
        EXPECT_EQ(runCli({"dump", dir.file("out.vlm")}).out, rows) << name;
    }
}

TEST(CliRoundTrip, ReferenceFiles_dumpToTheirJsonAndBuildBackEquivalent) {
    TempDir dir;
    for (const std::string& name : test::referenceNames()) {
        const std::string vlm = test::dataPath(name + ".vlm");
        const auto dumped = runCli({"dump", "--json", vlm});
        ASSERT_EQ(dumped.status, 0) << name << dumped.err;
        EXPECT_EQ(trimmedEnd(dumped.out), trimmedEnd(test::readText(test::dataPath(name + ".json")))) << name;
    }
    // The two the editor could have saved build back into files that dump the same.
    for (const std::string& name : std::vector<std::string>{"one-basic-r100", "advance-only-l30"}) {
        const auto built = runCli({"build", test::dataPath(name + ".json"), dir.file(name + ".vlm")});
        ASSERT_EQ(built.status, 0) << name << built.err;
        EXPECT_EQ(runCli({"dump", dir.file(name + ".vlm")}).out,
                  runCli({"dump", test::dataPath(name + ".vlm")}).out);
        EXPECT_EQ(runCli({"dump", "--json", dir.file(name + ".vlm")}).out,
                  runCli({"dump", "--json", test::dataPath(name + ".vlm")}).out);
    }
}

TEST(CliBuild, Seed_makesTheBytesReproducible) {
    TempDir dir;
    const std::string json = ScheduleToJson(shapes()[2].second);
    writeText(dir.file("in.json"), json);
    ASSERT_EQ(runCli({"build", dir.file("in.json"), dir.file("a.vlm"), "--seed=99"}).status, 0);
    ASSERT_EQ(runCli({"build", dir.file("in.json"), dir.file("b.vlm"), "--seed", "99"}).status, 0);
    ASSERT_EQ(runCli({"build", dir.file("in.json"), dir.file("c.vlm"), "--seed", "100"}).status, 0);
    const std::string a = test::readText(dir.file("a.vlm"));
    EXPECT_EQ(a, test::readText(dir.file("b.vlm")));
    EXPECT_NE(a, test::readText(dir.file("c.vlm")));
    EXPECT_EQ(runCli({"dump", dir.file("a.vlm")}).out, runCli({"dump", dir.file("c.vlm")}).out);
}

TEST(CliBuild, StandardInput_andTypedNames) {
    TempDir dir;
    const auto built =
        runCli({"build", "-", dir.file("out.vlm")},
               R"({"basic": [{"name": " clip01.avi ", "playTimes": 1, "volume": 13}], "advance": []})");
    ASSERT_EQ(built.status, 0) << built.err;
    const auto dumped = runCli({"dump", dir.file("out.vlm")});
    EXPECT_EQ(dumped.out, "CLIP01.AVI" + std::string(11, ' ') + std::string(5, ' ') + "1  " +
                              std::string(5, ' ') + "Default\n");
}

struct Refusal {
    std::string json;
    std::vector<std::string> lines; // expected on standard error, after "in.json: "
};

TEST(CliBuild, EveryRefusal_isReportedWithTheEditorsMessageAndWritesNothing) {
    const std::string fileName = EnglishText(TextId::MsgFileNameError);
    const std::string date = EnglishText(TextId::MsgDateSetupError);
    const std::string time = EnglishText(TextId::MsgTimeSetupError);
    const auto basicOf = [](const std::string& entries) {
        return "{\"basic\": [" + entries + "], \"advance\": []}";
    };
    const auto advanceOf = [](const std::string& fields, const std::string& files) {
        return "{\"basic\": [], \"advance\": [{" + fields + ", \"files\": [" + files + "]}]}";
    };
    const std::string song = R"({"name": "song.mp3", "playTimes": 1, "volume": 13})";
    const auto when = [](int y1, int m1, int d1, int h1, int n1, int s1, int y2, int m2, int d2, int h2,
                         int n2, int s2, int weekDay) {
        const auto f = [](const char* name, int v) {
            return "\"" + std::string(name) + "\": " + std::to_string(v);
        };
        return f("startYear", y1) + ", " + f("startMonth", m1) + ", " + f("startDay", d1) + ", " +
               f("startHour", h1) + ", " + f("startMinute", n1) + ", " + f("startSecond", s1) + ", " +
               f("stopYear", y2) + ", " + f("stopMonth", m2) + ", " + f("stopDay", d2) + ", " +
               f("stopHour", h2) + ", " + f("stopMinute", n2) + ", " + f("stopSecond", s2) + ", " +
               f("weekDay", weekDay);
    };
    std::string manyBasic = song;
    for (int i = 1; i < 251; ++i)
        manyBasic += ", " + song;
    std::string manyFiles = song;
    for (int i = 1; i < 101; ++i)
        manyFiles += ", " + song;
    std::string fourFilesEach;
    for (int i = 0; i < 250; ++i)
        fourFilesEach += std::string(i ? ", " : "") + "{" + when(7, 1, 1, 0, 0, 0, 7, 1, 1, 1, 0, 0, 7) +
                         ", \"files\": [" + song + ", " + song + ", " + song + ", " + song + "]}";

    const std::vector<Refusal> refusals = {
        {basicOf(R"({"name": "clip.jpeg2", "playTimes": 1, "volume": 13})"),
         {"basic entry 1: " + fileName + " (extension longer than 4)"}},
        {basicOf(song + ", " + R"({"name": "abcdefghijklmnopq.mpg", "playTimes": 1, "volume": 13})"),
         {"basic entry 2: " + fileName + " (name longer than 16)"}},
        {basicOf(R"({"name": "my clip.avi", "playTimes": 1, "volume": 13})"),
         {"basic entry 1: " + fileName + " (character not allowed)"}},
        {basicOf(R"({"name": "  ", "playTimes": 1, "volume": 13})"),
         {"basic entry 1: " + fileName + " (empty name)"}},
        {basicOf(R"({"name": "a.mp3", "playTimes": 101, "volume": 13})"),
         {"basic entry 1: play count above 100: 101"}},
        {basicOf(R"({"name": "a.mp3", "playTimes": 1, "volume": 14})"),
         {"basic entry 1: volume above 13: 14 (13 is Default)"}},
        {advanceOf(when(7, 2, 29, 0, 0, 0, 7, 3, 1, 1, 0, 0, 7), song),
         {"advance entry 1: " + date + " (start day outside its month: 29 in 2007-02)"}},
        {advanceOf(when(100, 1, 1, 0, 0, 0, 7, 3, 1, 1, 0, 0, 7), song),
         {"advance entry 1: " + date + " (start year after 2099: 2100)"}},
        {advanceOf(when(7, 1, 1, 24, 0, 0, 7, 3, 1, 1, 0, 0, 7), song),
         {"advance entry 1: " + time + " (start hour above 23: 24)"}},
        {advanceOf(when(7, 1, 1, 0, 0, 0, 7, 3, 1, 1, 0, 0, 8), song),
         {"advance entry 1: week day above 7: 8 (7 is All Day)"}},
        {advanceOf(when(7, 3, 2, 0, 0, 0, 7, 3, 1, 1, 0, 0, 7), song),
         {"advance entry 1: " + date + " (start date after stop date: 2007-03-02 and 2007-03-01)"}},
        {advanceOf(when(7, 3, 1, 1, 0, 0, 7, 3, 1, 1, 0, 0, 7), song),
         {"advance entry 1: " + time + " (start time not before stop time: 01:00:00 and 01:00:00)"}},
        {basicOf(manyBasic), {EnglishText(TextId::MsgTooManyBasic) + " (251 basic entries, at most 250)"}},
        {advanceOf(when(7, 1, 1, 0, 0, 0, 7, 3, 1, 1, 0, 0, 7), manyFiles),
         {"advance entry 1: too many detail entries: 101, at most 100"}},
        {R"({"basic": [], "advance": []})",
         {EnglishText(TextId::MsgNoSchedule) + " " + EnglishText(TextId::MsgCantSave)}},
        {advanceOf(when(7, 1, 1, 0, 0, 0, 7, 3, 1, 1, 0, 0, 7), ""),
         {EnglishText(TextId::MsgNoFileInAdvance) + "1 ! " + EnglishText(TextId::MsgCantSave)}},
        {"{\"basic\": [], \"advance\": [" + fourFilesEach + "]}", {EnglishText(TextId::MsgTooManySchedules)}},
    };
    TempDir dir;
    for (const Refusal& r : refusals) {
        writeText(dir.file("in.json"), r.json);
        writeText(dir.file("out.vlm"), "old");
        const auto run = runCli({"build", dir.file("in.json"), dir.file("out.vlm")});
        EXPECT_EQ(run.status, 1) << r.json.substr(0, 200);
        std::vector<std::string> expected;
        for (const std::string& line : r.lines)
            expected.push_back(dir.file("in.json") + ": " + line);
        EXPECT_EQ(run.errLines(), expected) << r.json.substr(0, 200);
        EXPECT_EQ(test::readText(dir.file("out.vlm")), "old");
    }
}

TEST(CliBuild, SeveralFaults_areAllListedInEntryOrder) {
    TempDir dir;
    writeText(dir.file("in.json"), R"({"basic": [
        {"name": "ok.mp3", "playTimes": 1, "volume": 99},
        {"fileName": "song", "fileExt": "MP3", "playTimes": 1, "volume": 13},
        {"name": "clip.jpeg2", "playTimes": 1, "volume": 13}], "advance": []})");
    const auto run = runCli({"build", dir.file("in.json"), dir.file("out.vlm")});
    EXPECT_EQ(run.status, 1);
    const auto lines = run.errLines();
    ASSERT_EQ(lines.size(), 3u) << run.err;
    EXPECT_EQ(lines[0].rfind(dir.file("in.json") + ": basic entry 1: volume above 13: 99", 0), 0u);
    EXPECT_EQ(lines[1].rfind(dir.file("in.json") + ": basic entry 2: File Name Error!", 0), 0u);
    EXPECT_EQ(lines[2].rfind(dir.file("in.json") + ": basic entry 3: File Name Error!", 0), 0u);
    EXPECT_FALSE(std::filesystem::exists(dir.file("out.vlm")));
}

TEST(CliBuild, UnreadableInputAndUnwritableOutput_areStatusTwo) {
    TempDir dir;
    const auto missing = runCli({"build", dir.file("none.json"), dir.file("out.vlm")});
    EXPECT_EQ(missing.status, 2);
    EXPECT_EQ(missing.errLines(),
              std::vector<std::string>{dir.file("none.json") + ": cannot read: " + std::strerror(ENOENT)});

    writeText(dir.file("in.json"), ScheduleToJson(shapes()[0].second));
    const auto noDir = runCli({"build", dir.file("in.json"), dir.file("no/such/dir/out.vlm")});
    EXPECT_EQ(noDir.status, 2);
    ASSERT_EQ(noDir.errLines().size(), 1u);
    EXPECT_EQ(noDir.errLines()[0].rfind(dir.file("no/such/dir/out.vlm") + ": cannot write: ", 0), 0u);

    const auto malformed = runCli({"build", "-", dir.file("out.vlm")}, "{\"basic\": [");
    EXPECT_EQ(malformed.status, 1);
    ASSERT_EQ(malformed.errLines().size(), 1u);
    EXPECT_EQ(malformed.errLines()[0].rfind("(standard input): line 1, column 12: ", 0), 0u) << malformed.err;
    EXPECT_FALSE(std::filesystem::exists(dir.file("out.vlm")));
}

TEST(CliDumpAndOn, DamagedAndMissingFiles) {
    TempDir dir;
    const std::string good = test::readText(test::dataPath("one-basic-r100.vlm"));
    writeText(dir.file("cut.vlm"), good.substr(0, good.size() - 1));
    for (const std::vector<std::string>& words : {std::vector<std::string>{"dump", dir.file("cut.vlm")},
                                                  {"dump", "--json", dir.file("cut.vlm")},
                                                  {"on", dir.file("cut.vlm"), "2007-01-03"}}) {
        const auto run = runCli(words);
        EXPECT_EQ(run.status, 1) << words[0];
        ASSERT_EQ(run.errLines().size(), 1u) << run.err;
        EXPECT_EQ(run.errLines()[0].rfind(dir.file("cut.vlm") + ": the file ends after 181 bytes", 0), 0u)
            << run.err;
        EXPECT_TRUE(run.out.empty());
    }
    for (const std::vector<std::string>& words : {std::vector<std::string>{"dump", dir.file("none.vlm")},
                                                  {"check", dir.file("none.vlm")},
                                                  {"on", dir.file("none.vlm"), "2007-01-03"},
                                                  {"dump", dir.path()}}) {
        const auto run = runCli(words);
        EXPECT_EQ(run.status, 2) << words[0];
        ASSERT_EQ(run.errLines().size(), 1u);
        EXPECT_NE(run.errLines()[0].find(": cannot read: "), std::string::npos);
    }
}

TEST(CliOn, ListsTheEntriesInForceMarkingWhichPlaysAndTheBasicScheduleWhenItPlays) {
    TempDir dir;
    Schedule s =
        MakeSchedule({MakeFile("SONG", "MP3")}, {advance(7, {MakeFile("A", "AVI")}),
                                                 advance(3, {MakeFile("B", "AVI"), MakeFile("C", "MP3")})});
    writeText(dir.file("in.json"), ScheduleToJson(s));
    ASSERT_EQ(runCli({"build", dir.file("in.json"), dir.file("s.vlm")}).status, 0);
    const auto first = [&](const std::string& when) {
        return "advance entry 1: " + FormatAdvanceRow(s.advanceEntries[0]) + "   08:00:00-23:59:59   " +
               when + "\n  " + FormatFileRow(s.advanceEntries[0].files[0]) + "\n";
    };
    const std::string second = "advance entry 2: " + FormatAdvanceRow(s.advanceEntries[1]) +
                               "   08:00:00-23:59:59   silent\n  " +
                               FormatFileRow(s.advanceEntries[1].files[0]) + "\n  " +
                               FormatFileRow(s.advanceEntries[1].files[1]) + "\n";
    const auto basic = [&](const std::string& when) {
        return "basic schedule   " + when + "\n  " + FormatFileRow(s.basicEntries[0]) + "\n";
    };
    // 2007-01-10 was a Wednesday, 2007-01-11 a Thursday; both entries run 2007-01-03 to 2007-12-31.
    const struct {
        std::vector<std::string> when;
        std::string out;
    } cases[] = {
        {{"2007-01-10"}, first("plays 08:00:00-23:59:59") + second + basic("plays 00:00:00-07:59:59")},
        {{"2007-01-11"}, first("plays 08:00:00-23:59:59") + basic("plays 00:00:00-07:59:59")},
        {{"2007-01-10", "08:00:00"}, first("plays") + second},
        {{"2007-01-10", "08:00"}, first("plays") + second},
        {{"2007-01-10", "07:59:59"}, basic("plays")},
        {{"2007-01-10", "07:59"}, basic("plays")},
        {{"2007-01-02"}, basic("plays 00:00:00-23:59:59")},
        {{"2007-12-31", "23:59:59"}, first("plays")},
    };
    for (const auto& c : cases) {
        std::vector<std::string> words = {"on", dir.file("s.vlm")};
        words.insert(words.end(), c.when.begin(), c.when.end());
        const auto run = runCli(words);
        EXPECT_EQ(run.status, 0) << c.when[0];
        EXPECT_EQ(run.out, c.out) << c.when[0] << (c.when.size() > 1 ? " " + c.when[1] : "");
    }
    const auto badTime = runCli({"on", dir.file("s.vlm"), "2007-01-10", "8:00"});
    EXPECT_EQ(badTime.status, 2);
    EXPECT_NE(badTime.err.find("\"8:00\" is not a time HH:MM or HH:MM:SS"), std::string::npos) << badTime.err;
}

TEST(CliCheck, StatusFollowsErrorsAndStrictWarnings) {
    const std::string advance = test::dataPath("advance-only-l30.vlm");
    // The files the schedules name are in no media folder here: one warning for each name.
    const auto lenient = runCli({"check", advance, "--today", "2007-01-01"});
    EXPECT_EQ(lenient.status, 0);
    EXPECT_EQ(lenient.errLines().size(), 2u + 3u);
    EXPECT_EQ(lenient.out, "Periods play until 2007-12-31; after that only the Basic Schedule plays\n"
                           "Advance 1 starts on 2007-01-03\n" +
                               advance + ": 0 errors, 5 warnings\n");
    EXPECT_EQ(runCli({"check", "--strict", advance, "--today", "2007-01-01"}).status, 1);
    // Today comes from the environment unless given.
    EXPECT_EQ(runCli({"check", advance}, "", CivilDate{2006, 12, 28}).errLines().size(), 1u + 3u);

    const std::string clean = test::dataPath("one-basic-r100.vlm");
    const auto run = runCli({"check", clean});
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.out, clean + ": 0 errors, 1 warning\n");
    EXPECT_EQ(run.errLines().size(), 1u);

    EXPECT_EQ(runCli({"check", test::dataPath("mixed-reserved.vlm")}).status, 1);
}

TEST(CliArguments, UsageVersionAndMistakes) {
    const auto help = runCli({"--help"});
    EXPECT_EQ(help.status, 0);
    EXPECT_NE(help.out.find("velmo-schedule on FILE.vlm YYYY-MM-DD [HH:MM[:SS]]"), std::string::npos);
    EXPECT_EQ(runCli({"dump", "--help"}).status, 0);

    const auto version = runCli({"--version"});
    EXPECT_EQ(version.status, 0);
    EXPECT_NE(version.out.find("Software Version 01000000000020070103\n"), std::string::npos);
    EXPECT_NE(version.out.find("Schedule Kernel Version " + std::string(kScheduleKernelVersion) + "\n"),
              std::string::npos);

    for (const std::vector<std::string>& words : {std::vector<std::string>{},
                                                  {"frobnicate"},
                                                  {"dump"},
                                                  {"dump", "a", "b"},
                                                  {"dump", "--strict", "a"},
                                                  {"build", "a"},
                                                  {"build", "a", "b", "--seed"},
                                                  {"build", "a", "b", "--seed", "-1"},
                                                  {"build", "a", "b", "--seed", "x"},
                                                  {"check", "a", "--today", "2007-02-30"},
                                                  {"on", "a"},
                                                  {"on", "a", "2007-13-01"},
                                                  {"on", "a", "2007-01-01", "24:00:00"},
                                                  {"on", "a", "2007-01-01", "1", "2"},
                                                  {"--version", "x"}}) {
        const auto run = runCli(words);
        EXPECT_EQ(run.status, 2) << testing::PrintToString(words);
        ASSERT_EQ(run.errLines().size(), 1u) << testing::PrintToString(words);
        EXPECT_EQ(run.errLines()[0].rfind("velmo-schedule: ", 0), 0u);
        EXPECT_TRUE(run.out.empty());
    }
    // "--" lets a file name start with a dash.
    const auto dashed = runCli({"dump", "--", "-x.vlm"});
    EXPECT_EQ(dashed.status, 2);
    EXPECT_EQ(dashed.errLines(),
              std::vector<std::string>{std::string("-x.vlm: cannot read: ") + std::strerror(ENOENT)});
}

} // namespace
} // namespace velmo
