// The real tool on media that never answer: a file on a FUSE volume served here, whose first read is
// never answered. FUSE is Linux's.
#ifdef __linux__
#include "reliability/reliability_support.h"
#include "support/fuse_server.h"
#include "tool_process.h"

#include "media/process.h"

#include <csignal>
#include <sys/stat.h>

#include <fcntl.h>
#include <filesystem>
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace velmo {
namespace {

using namespace test;

// The real tool with `words`, its standard output into `out`; VELMO_FFMPEG set when `ffmpeg` is given.
pid_t StartTool(std::vector<std::string> words, const std::string& out, const std::string& ffmpeg = {}) {
    ToolStart start;
    start.words = std::move(words);
    start.out = out;
    if (!ffmpeg.empty())
        start.environment = {"VELMO_FFMPEG=" + ffmpeg};
    return StartToolProcess(start);
}

std::string NeverAnsweringFileThenAGoodOne(const TempDir& work) {
    ::alarm(90); // a hang ends this child instead of the whole run
    std::filesystem::create_directory(work.file("stuck"));
    const FuseFile stuck{"STUCK.JPG", 20000, [] {
                             for (;;)
                                 std::this_thread::sleep_for(std::chrono::hours(1));
                         }};
    const FuseMount mount(work.file("stuck"), "fuse", [&stuck](int device) { ServeFuseFile(device, stuck); });
    if (!mount.error().empty())
        return kSkip + mount.error();
    const std::string good = work.file("EMPTY.MP3");
    WriteText(good, "");
    const std::string out = work.file("out");
    const pid_t child = StartTool({VELMO_CLI_EXE, "media", work.file("stuck/STUCK.JPG"), good}, out);
    int status = -1;
    if (child < 0 || ::waitpid(child, &status, 0) != child)
        return "the tool was lost";
    std::string problems;
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 1)
        problems += "status " + std::to_string(status) + "\n";
    const std::string printed = ReadText(out);
    const std::string expected = work.file("stuck/STUCK.JPG") +
                                 ": will not play (unknown), player name STUCK.JPG\n"
                                 "  did not answer within 10 s\n" +
                                 good +
                                 ": will not play (unknown), player name EMPTY.MP3\n"
                                 "  the file is empty\n";
    if (printed != expected)
        problems += "printed:\n" + printed + "instead of:\n" + expected;
    return problems;
}

// The read stays held in the kernel, in a helper the tool leaves behind; the tool says so for that
// file, examines the next and ends.
TEST(CliExecutable, MediaFileThatNeverAnswers_isSaidSo_theNextIsExamined_andTheToolEnds) {
    TempDir work;
    const std::string report = RunInChild([&] { return NeverAnsweringFileThenAGoodOne(work); });
    if (report.rfind(kSkip, 0) == 0)
        GTEST_SKIP() << report.substr(sizeof kSkip - 1);
    EXPECT_EQ(report, "");
}

// Whether the process has ended (gone, or a zombie nobody reaps).
bool Ended(pid_t pid) {
    const std::string stat = ReadText("/proc/" + std::to_string(pid) + "/stat");
    const std::size_t close = stat.rfind(')');
    return stat.empty() || (close != std::string::npos && stat.compare(close, 3, ") Z") == 0);
}

std::string HiddenEntries(const std::string& dir) {
    std::string hidden;
    for (const auto& e : std::filesystem::directory_iterator(dir))
        if (e.path().filename().string()[0] == '.')
            hidden += e.path().filename().string() + " ";
    return hidden;
}

std::string KilledConversion(const TempDir& work) {
    ::alarm(120); // a hang ends this child instead of the whole run
    const std::string clip = work.file("clip.mp4"), out = work.file("out"), pidFile = work.file("ffmpeg.pid");
    std::filesystem::create_directory(out);
    ProcessRequest make;
    make.argv = {"ffmpeg", "-v", "error", "-f",      "lavfi",   "-i",        "testsrc=size=160x120",
                 "-t",     "30", "-c:v",  "libx264", "-preset", "ultrafast", clip};
    if (!RunProcess(make).succeeded())
        return kSkip + std::string("ffmpeg cannot make a clip");
    // ffmpeg held to the clip's own pace, so the conversion is surely under way when the tool is killed.
    const std::string slow = work.file("slow-ffmpeg");
    WriteText(slow, "#!/bin/sh\necho $$ > '" + pidFile + "'\nexec ffmpeg -re \"$@\"\n");
    ::chmod(slow.c_str(), 0755);
    const pid_t tool = StartTool({VELMO_CLI_EXE, "convert", clip, "--to", out}, "/dev/null", slow);
    while (ReadText(pidFile).empty() || HiddenEntries(out).empty())
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    const pid_t ffmpeg = static_cast<pid_t>(std::stol(ReadText(pidFile)));
    ::kill(tool, SIGKILL);
    ::waitpid(tool, nullptr, 0);
    while (!Ended(ffmpeg)) // ends with its parent; the alarm catches one that never does
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    std::string problems;
    if (HiddenEntries(out).empty())
        problems += "the killed conversion left no work folder to remove\n";
    const pid_t next = StartTool({VELMO_CLI_EXE, "convert", clip, "--to", out}, "/dev/null", "ffmpeg");
    ::waitpid(next, nullptr, 0);
    if (const std::string left = HiddenEntries(out); !left.empty())
        problems += "left after the next conversion: " + left + "\n";
    return problems;
}

// A conversion killed with SIGKILL: its ffmpeg ends with it, and its hidden work folder goes with the
// next conversion into that folder.
TEST(CliExecutable, KilledConversion_itsFfmpegEndsWithIt_theNextRemovesItsWorkFolder) {
    TempDir work;
    const std::string report = RunInChild([&] { return KilledConversion(work); });
    if (report.rfind(kSkip, 0) == 0)
        GTEST_SKIP() << report.substr(sizeof kSkip - 1);
    EXPECT_EQ(report, "");
}

} // namespace
} // namespace velmo

#endif
