// The tool's diff, check --until and the refusal of a stick's empty mount point.
#include "cli_runner.h"

#include "cli/schedule_json.h"
#include "rules/schedule_difference.h"
#include "support/schedule_builder.h"
#include "texts/screen_texts.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <nlohmann/json.hpp>

namespace velmo {
namespace {

using test::MakeFile;
using test::Period;
using test::runCli;
using test::TempDir;

void buildSchedule(const TempDir& dir, const std::string& name, const Schedule& s) {
    std::ofstream(dir.file(name + ".json")) << ScheduleToJson(s);
    ASSERT_EQ(runCli({"build", dir.file(name + ".json"), dir.file(name)}).status, 0) << name;
}

const Schedule kOld = MakeSchedule(
    {MakeFile("SONG")},
    {Period("2026-12-01", "2026-12-11", kWeekDayAll, "00:00:00", "23:59:59", {MakeFile("CLIP", "AVI")})});
const Schedule kNew = MakeSchedule(
    {MakeFile("SONG"), MakeFile("LOGO", "JPG")},
    {Period("2026-12-01", "2027-01-31", kWeekDayAll, "00:00:00", "23:59:59", {MakeFile("CLIP", "AVI")}),
     Period("2027-02-01", "2027-02-28", kWeekDayAll, "00:00:00", "23:59:59", {MakeFile("FEB", "AVI")})});

TEST(CliDiff, PrintsTheRulesLinesWithTheStatusDiffGives) {
    TempDir dir;
    buildSchedule(dir, "old.vlm", kOld);
    buildSchedule(dir, "new.vlm", kNew);
    std::string expected;
    for (const std::string& line : ScheduleDifferenceLines(kOld, kNew, EnglishTexts()))
        expected += line + "\n";
    const auto differ = runCli({"diff", dir.file("old.vlm"), dir.file("new.vlm")});
    EXPECT_EQ(differ.status, 1);
    EXPECT_EQ(differ.out, expected);
    EXPECT_NE(expected.find("Advance 2 added: 2027/02/01 to 2027/02/28"), std::string::npos) << expected;

    const auto same = runCli({"diff", "--json", dir.file("old.vlm"), dir.file("old.vlm")});
    EXPECT_EQ(same.status, 0);
    EXPECT_EQ(nlohmann::json::parse(same.out),
              (nlohmann::json{{"equal", true}, {"changes", nlohmann::json::array()}}));
    const auto json =
        nlohmann::json::parse(runCli({"diff", "--json", dir.file("old.vlm"), dir.file("new.vlm")}).out);
    EXPECT_EQ(json["changes"].size(), ScheduleDifferenceLines(kOld, kNew, EnglishTexts()).size());

    std::ofstream(dir.file("short.vlm")) << "VELMO";
    for (const auto& words : {std::vector<std::string>{"diff", dir.file("old.vlm"), dir.file("gone.vlm")},
                              std::vector<std::string>{"diff", dir.file("short.vlm"), dir.file("old.vlm")},
                              std::vector<std::string>{"diff", dir.file("old.vlm")}})
        EXPECT_EQ(runCli(words).status, 2) << words.back();
}

TEST(CliCheck, SaysUntilWhenItPlaysAndWarnsBeforeTheNextVisit) {
    TempDir dir;
    buildSchedule(dir, "new.vlm", kNew);
    const auto run = runCli({"check", dir.file("new.vlm"), "--today", "2026-12-08", "--until", "2027-02-15",
                             "--media", dir.path()});
    EXPECT_EQ(run.out.substr(0, run.out.find('\n')),
              "Periods play until 2027-02-28; after that only the Basic Schedule plays");
    EXPECT_NE(run.out.find("Advance 2 starts on 2027-02-01\n"), std::string::npos) << run.out;
    EXPECT_NE(run.err.find("advance entry 1: warning: ends on 2027-01-31, before 2027-02-15"),
              std::string::npos)
        << run.err;
    EXPECT_EQ(run.err.find("advance entry 2: warning: ends on"), std::string::npos) << run.err;
}

// Runs a shell script in a private mount namespace; nothing when mounting is not allowed here.
std::optional<std::string> inMountNamespace(const std::string& script) {
    if (std::system("unshare -m true >/dev/null 2>&1") != 0)
        return std::nullopt;
    const std::string command = "unshare -m sh -c 'mount --make-rprivate / && " + script + "' 2>&1";
    FILE* pipe = ::popen(command.c_str(), "r");
    if (!pipe)
        return std::nullopt;
    std::string out;
    char buffer[4096];
    while (const std::size_t n = std::fread(buffer, 1, sizeof buffer, pipe))
        out.append(buffer, n);
    ::pclose(pipe);
    return out;
}

TEST(CliPublish, AStickLeftAsAnEmptyMountPointIsRefused) {
    TempDir dir;
    buildSchedule(dir, "show.vlm", MakeSchedule({MakeFile("SONG")}, {}));
    std::ofstream(dir.file("SONG.MP3")) << "sound";
    const std::string tool = VELMO_CLI_EXE;
    const std::string publish = tool + " publish " + dir.file("show.vlm") + " --to /media/velmo/STICK";
    // /media itself becomes a tmpfs of this namespace: a folder on it is not a medium.
    const auto out = inMountNamespace(
        "mount -t tmpfs none /media && mkdir -p /media/velmo/STICK && { " + publish +
        "; echo status $?; ls -A /media/velmo/STICK; mount -t tmpfs stick /media/velmo/STICK && " + publish +
        " >/dev/null 2>&1; echo status $?; ls /media/velmo/STICK; umount /media/velmo/STICK; " + publish +
        " --force-destination >/dev/null 2>&1; echo status $?; ls /media/velmo/STICK; }");
    if (!out || out->find("status") == std::string::npos)
        GTEST_SKIP() << "mounting is not allowed here: " << out.value_or("");
    EXPECT_EQ(*out,
              "/media/velmo/STICK: The medium /media/velmo/STICK is not there; plug it in or choose another "
              "drive (--force-destination writes there all the same)\n"
              "status 2\n"
              "status 0\nSONG.MP3\nshow.vlm\n"
              "status 0\nSONG.MP3\nshow.vlm\n");
}

} // namespace
} // namespace velmo
