// Runs the installed-to-be executable itself: exit status, standard output and standard error.
#include "cli_runner.h"
#include "test_files.h"
#include "tool_process.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <fstream>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace velmo {
namespace {

using test::StartToolProcess;
using test::TempDir;
using test::ToolStart;

struct ExeRun {
    int status = -1;
    std::string out;
    std::string err;
};

// Runs velmo-schedule in `workDir` with `input` on its standard input; `stdoutPath` replaces the
// captured standard output, `fileSizeLimit` sets RLIMIT_FSIZE with SIGXFSZ at its default.
ExeRun runExe(const std::vector<std::string>& words, const TempDir& workDir, const std::string& input = {},
              const std::string& stdoutPath = {}, rlim_t fileSizeLimit = RLIM_INFINITY) {
    const std::string in = workDir.file(".stdin"), out = workDir.file(".stdout"),
                      err = workDir.file(".stderr");
    std::ofstream(in, std::ios::binary) << input;
    ToolStart start;
    start.words = {VELMO_CLI_EXE};
    start.words.insert(start.words.end(), words.begin(), words.end());
    start.in = in;
    start.out = stdoutPath.empty() ? out : stdoutPath;
    start.err = err;
    start.workDir = workDir.path();
    start.fileSizeLimit = fileSizeLimit;
    const pid_t child = StartToolProcess(start);
    ExeRun run;
    int status = 0;
    if (child > 0 && ::waitpid(child, &status, 0) == child)
        run.status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    run.out = test::readText(out);
    run.err = test::readText(err);
    return run;
}

void writeText(const std::string& path, const std::string& text) {
    std::ofstream(path, std::ios::binary) << text;
}

const char kClip[] = R"({"basic": [
  {"name": "song.mp3", "playTimes": 1, "volume": 13},
  {"name": "intro.mpg", "playTimes": 2, "volume": 5},
  {"name": "clip.jpeg2", "playTimes": 1, "volume": 13}
], "advance": []})";

TEST(CliExecutable, BuildRefusal_printsOneLineNamingTheFileAndWritesNothing) {
    TempDir dir;
    writeText(dir.file("clip.json"), kClip);
    const ExeRun run = runExe({"build", "clip.json", "clip.vlm"}, dir);
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.err, "clip.json: basic entry 3: File Name Error! (extension longer than 4)\n");
    EXPECT_TRUE(run.out.empty());
    struct stat info {};
    EXPECT_NE(::stat(dir.file("clip.vlm").c_str(), &info), 0);
}

TEST(CliExecutable, BuildFromStandardInput_thenDumpCheckAndOn) {
    TempDir dir;
    const std::string json = R"({"basic": [{"name": "song.mp3", "playTimes": 1, "volume": 13}],
        "advance": [{"startYear": 7, "startMonth": 1, "startDay": 3, "startHour": 0, "startMinute": 0,
                     "startSecond": 0, "stopYear": 7, "stopMonth": 12, "stopDay": 31, "stopHour": 23,
                     "stopMinute": 59, "stopSecond": 59, "weekDay": 7,
                     "files": [{"name": "clip01.avi", "playTimes": 2, "volume": 5}]}]})";
    const ExeRun built = runExe({"build", "-", "s.vlm", "--seed", "1"}, dir, json);
    ASSERT_EQ(built.status, 0) << built.err;
    EXPECT_TRUE(built.err.empty());

    const ExeRun dumped = runExe({"dump", "s.vlm"}, dir);
    EXPECT_EQ(dumped.status, 0);
    EXPECT_EQ(dumped.out, "SONG.MP3                  1       Default\n"
                          "2007/01/03   2007/12/31   All Day   all day\n"
                          "  CLIP01.AVI                2          5\n");

    const ExeRun checked = runExe({"check", "s.vlm", "--today", "2007-06-01"}, dir);
    EXPECT_EQ(checked.status, 0);
    EXPECT_EQ(checked.out, "Periods play until 2007-12-31; after that only the Basic Schedule plays\n"
                           "s.vlm: 0 errors, 2 warnings\n");
    EXPECT_EQ(checked.err,
              "s.vlm: basic entry 1: warning: SONG.MP3 is in no media folder\n"
              "s.vlm: advance entry 1, detail entry 1: warning: CLIP01.AVI is in no media folder\n");

    const ExeRun on = runExe({"on", "s.vlm", "2007-12-31", "23:59:59"}, dir);
    EXPECT_EQ(on.status, 0);
    EXPECT_EQ(on.out, "advance entry 1: 2007/01/03   2007/12/31   All Day   00:00:00-23:59:59   plays\n"
                      "  CLIP01.AVI                2          5\n");
    EXPECT_EQ(runExe({"on", "s.vlm", "2008-01-01"}, dir).out,
              "basic schedule   plays 00:00:00-23:59:59\n  SONG.MP3                  1       Default\n");
}

TEST(CliExecutable, DamagedAndMissingFiles) {
    TempDir dir;
    const std::string good = test::readText(test::dataPath("one-basic-r100.vlm"));
    writeText(dir.file("cut.vlm"), good.substr(0, 160));

    const ExeRun check = runExe({"check", "cut.vlm"}, dir);
    EXPECT_EQ(check.status, 1);
    EXPECT_EQ(check.err.rfind("cut.vlm: byte 161: the file ends after 160 bytes, inside basic entry 1", 0),
              0u)
        << check.err;
    EXPECT_EQ(std::count(check.err.begin(), check.err.end(), '\n'), 1);
    EXPECT_EQ(check.out, "cut.vlm: 1 error, 0 warnings\n");

    const ExeRun dump = runExe({"dump", "cut.vlm"}, dir);
    EXPECT_EQ(dump.status, 1);
    EXPECT_EQ(dump.err.rfind("cut.vlm: ", 0), 0u);
    EXPECT_TRUE(dump.out.empty());

    const ExeRun missing = runExe({"dump", "none.vlm"}, dir);
    EXPECT_EQ(missing.status, 2);
    EXPECT_EQ(missing.err, "none.vlm: cannot read: No such file or directory\n");
}

TEST(CliExecutable, ReadOnlyOutput_isKeptAndStatusTwo) {
    TempDir dir;
    writeText(dir.file("in.json"),
              R"({"basic": [{"name": "a.mp3", "playTimes": 1, "volume": 13}], "advance": []})");
    writeText(dir.file("out.vlm"), "old");
    ASSERT_EQ(::chmod(dir.file("out.vlm").c_str(), 0444), 0);
    const ExeRun run = runExe({"build", "in.json", "out.vlm"}, dir);
    EXPECT_EQ(run.status, 2);
    EXPECT_EQ(run.err.rfind("out.vlm: cannot write: ", 0), 0u) << run.err;
    EXPECT_EQ(test::readText(dir.file("out.vlm")), "old");
}

TEST(CliExecutable, AFileSizeLimit_failsTheWriteWithStatusTwo) {
    TempDir dir;
    writeText(dir.file("in.json"),
              R"({"basic": [{"name": "a.mp3", "playTimes": 1, "volume": 13}], "advance": []})");
    // Below any schedule file (header and key region alone are 150 bytes), above the message.
    const ExeRun run = runExe({"build", "in.json", "out.vlm"}, dir, {}, {}, 128);
    EXPECT_EQ(run.status, 2);
    EXPECT_NE(run.err.find(std::strerror(EFBIG)), std::string::npos) << run.err;
    struct stat info {};
    EXPECT_NE(::stat(dir.file("out.vlm").c_str(), &info), 0);
}

TEST(CliExecutable, NamedPipes_areRefusedAtOnce) {
    TempDir dir;
    ASSERT_EQ(::mkfifo(dir.file("f.vlm").c_str(), 0600), 0);
    ASSERT_EQ(::mkfifo(dir.file("f.json").c_str(), 0600), 0);
    const auto started = std::chrono::steady_clock::now();
    for (const std::vector<std::string>& words :
         std::vector<std::vector<std::string>>{{"dump", "f.vlm"},
                                               {"check", "f.vlm"},
                                               {"on", "f.vlm", "2007-01-01"},
                                               {"build", "f.json", "out.vlm"}}) {
        const ExeRun run = runExe(words, dir);
        EXPECT_EQ(run.status, 2) << words[0];
        EXPECT_EQ(run.err, words[1] + ": cannot read: not a regular file (a named pipe)\n");
    }
    // A hang would keep the test here until ctest's timeout.
    EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(30));
}

TEST(CliExecutable, LostStandardOutput_isStatusTwoForEveryCommand) {
    TempDir dir;
    writeText(dir.file("in.json"),
              R"({"basic": [], "advance": [{"startYear": 7, "startMonth": 1, "startDay": 1, "startHour": 0,
                  "startMinute": 0, "startSecond": 0, "stopYear": 7, "stopMonth": 12, "stopDay": 31,
                  "stopHour": 23, "stopMinute": 59, "stopSecond": 59, "weekDay": 7,
                  "files": [{"name": "a.mp3", "playTimes": 1, "volume": 13}]}]})");
    ASSERT_EQ(runExe({"build", "in.json", "s.vlm"}, dir).status, 0);
    for (const std::vector<std::string>& words :
         std::vector<std::vector<std::string>>{{"--help"},
                                               {"--version"},
                                               {"dump", "s.vlm"},
                                               {"dump", "--json", "s.vlm"},
                                               {"check", "s.vlm", "--today", "2007-06-01"},
                                               {"on", "s.vlm", "2007-01-01"}}) {
        const ExeRun run = runExe(words, dir, {}, "/dev/full");
        EXPECT_EQ(run.status, 2) << words[0];
        // check also warns that A.MP3 is in no media folder, before it writes its summary.
        EXPECT_TRUE(run.err.ends_with(std::string("velmo-schedule: cannot write standard output: ") +
                                      std::strerror(ENOSPC) + "\n"))
            << run.err;
    }
}

TEST(CliExecutable, BuildOntoItsOwnInputOrOverTheCap_isRefused) {
    TempDir dir;
    const std::string json = R"({"basic": [], "advance": []})";
    writeText(dir.file("x.json"), json);
    ASSERT_EQ(::link(dir.file("x.json").c_str(), dir.file("y.vlm").c_str()), 0);
    for (const char* output : {"x.json", "y.vlm"}) {
        const ExeRun run = runExe({"build", "x.json", output}, dir);
        EXPECT_EQ(run.status, 2);
        EXPECT_EQ(run.err, std::string(output) + ": cannot write: it is the input file\n");
    }
    EXPECT_EQ(test::readText(dir.file("x.json")), json);

    const ExeRun flood = runExe({"build", "-", "out.vlm"}, dir, std::string((16u << 20) + 1, ' '));
    EXPECT_EQ(flood.status, 1);
    EXPECT_EQ(flood.err, "(standard input): too large: longer than 16777216 bytes\n");
}

TEST(CliExecutable, HelpVersionAndUsageMistakes) {
    TempDir dir;
    const ExeRun version = runExe({"--version"}, dir);
    EXPECT_EQ(version.status, 0);
    EXPECT_EQ(version.out, "velmo-schedule (Velmo Schedule Generator)\n"
                           "Software Version 01000000000020070103\n"
                           "Schedule Kernel Version 0100KERNEL0000061018\n");
    const ExeRun help = runExe({"--help"}, dir);
    EXPECT_EQ(help.status, 0);
    EXPECT_EQ(help.out.rfind("Usage:\n", 0), 0u);
    const ExeRun wrong = runExe({"dump"}, dir);
    EXPECT_EQ(wrong.status, 2);
    EXPECT_EQ(wrong.err, "velmo-schedule: dump takes one FILE.vlm (see velmo-schedule --help)\n");
    EXPECT_TRUE(wrong.out.empty());
}

} // namespace
} // namespace velmo
