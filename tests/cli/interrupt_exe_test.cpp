// Ctrl+C sent to the tool itself while it publishes. The second media file comes from a FUSE volume
// served here, whose first read is answered only after the signal is sent: the signal always comes
// in the middle of that file's copy, however fast or slow the machine.
// FUSE and signals sent to a process are Linux's.
#ifdef __linux__
#include "reliability/reliability_support.h"
#include "support/fuse_server.h"
#include "tool_process.h"

#include "model/random_source.h"
#include "model/schedule_file.h"
#include "rules/entry_rules.h"

#include <algorithm>
#include <atomic>
#include <csignal>
#include <fcntl.h>
#include <filesystem>
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace velmo {
namespace {

using namespace test;

FileEntry entry(const std::string& name) {
    FileEntry e;
    StoreFileEntry(e, name, 1, kVolumeDefault);
    return e;
}

// Runs publish with the second file from the FUSE volume; `signals` go to the tool, all at once,
// while it waits inside that file's first read. Exit statuses as waitpid gives them.
struct Published {
    int status = -1;
    std::string out;
    std::string err;
};

Published PublishFromSlowVolume(const TempDir& work, const std::vector<int>& signals) {
    std::atomic<pid_t> tool{0};
    const FuseFile song{"SONG.MP3", 300000, [&tool, signals] {
                            while (tool.load() == 0)
                                std::this_thread::yield();
                            for (const int number : signals)
                                ::kill(tool.load(), number);
                        }};
    const FuseMount mount(work.file("slow"), "fuse", [&song](int device) { ServeFuseFile(device, song); });
    if (!mount.error().empty())
        return {-1, {}, kSkip + mount.error()};

    // Everything the child needs is made before it is started: it only redirects and starts the tool.
    const std::string out = work.file("out"), err = work.file("err");
    std::vector<std::string> words = {VELMO_CLI_EXE,      "publish", work.file("media/show.vlm"), "--to",
                                      work.file("stick"), "--media", work.file("media"),          "--media",
                                      work.file("slow")};
    ToolStart start;
    start.words = std::move(words);
    start.out = out;
    start.err = err;
    const pid_t child = StartToolProcess(start);
    if (child < 0)
        return {-1, {}, "cannot start the tool"};
    tool = child;
    Published run;
    if (::waitpid(child, &run.status, 0) != child)
        return {-1, {}, "the tool was lost"};
    run.out = ReadText(out);
    run.err = ReadText(err);
    return run;
}

std::string Listing(const std::string& dir) {
    std::vector<std::string> names;
    for (const auto& e : std::filesystem::directory_iterator(dir))
        names.push_back(e.path().filename().string());
    std::sort(names.begin(), names.end());
    std::string all;
    for (const std::string& name : names)
        all += (name.find(".tmp-") != std::string::npos ? ".SONG.MP3.tmp-*" : name) + " ";
    return all;
}

std::string InterruptDuringACopy(const TempDir& work, bool twice) {
    ::alarm(60); // a hang ends this child instead of the whole run
    const std::string media = work.file("media"), stick = work.file("stick");
    for (const std::string& dir : {media, work.file("slow"), stick})
        std::filesystem::create_directory(dir);
    WriteText(media + "/CLIP.AVI", "clip");
    SeededRandomSource random(1);
    if (!WriteScheduleFile(media + "/", "show.vlm", MakeSchedule({entry("CLIP.AVI"), entry("SONG.MP3")}, {}),
                           random) ||
        !WriteScheduleFile(stick + "/", "show.vlm", MakeSchedule({entry("CLIP.AVI")}, {}), random))
        return "the schedule files cannot be written";
    const std::string oldSchedule = ReadText(stick + "/show.vlm");

    const Published run =
        PublishFromSlowVolume(work, twice ? std::vector<int>{SIGINT, SIGTERM} : std::vector<int>{SIGINT});
    if (run.status == -1)
        return run.err;
    std::string problems;
    const auto expect = [&problems](const std::string& what, const std::string& seen,
                                    const std::string& meant) {
        if (seen != meant)
            problems += what + ": \"" + seen + "\" instead of \"" + meant + "\"\n";
    };
    if (ReadText(stick + "/CLIP.AVI") != "clip")
        problems += "CLIP.AVI is not whole\n";
    if (ReadText(stick + "/show.vlm") != oldSchedule)
        problems += "the medium's schedule file is not the old one\n";
    // What it prints is the in-process tests' part; here, that the real signal reached the write.
    if (!twice) {
        expect("status", std::to_string(run.status), std::to_string(130 << 8)); // exited with 130
        expect("the medium", Listing(stick), "CLIP.AVI show.vlm ");
        return problems;
    }
    // The second ends it at once, as the signal does; its temporary copy is hidden, and goes with the
    // next publish.
    if (!WIFSIGNALED(run.status) || (WTERMSIG(run.status) != SIGINT && WTERMSIG(run.status) != SIGTERM))
        problems += "not ended by the second signal: status " + std::to_string(run.status) + "\n";
    expect("the medium", Listing(stick), ".SONG.MP3.tmp-* .velmo-publish.lock CLIP.AVI show.vlm ");
    const Published again = PublishFromSlowVolume(work, {});
    expect("status of the next publish", std::to_string(again.status), "0");
    expect("the medium after it", Listing(stick), "CLIP.AVI SONG.MP3 show.vlm ");
    return problems;
}

TEST(CliExecutable, CtrlCInTheMiddleOfACopy_stopsThereWithTheMediumWhole_aSecondEndsTheToolAtOnce) {
    for (const bool twice : {false, true}) {
        SCOPED_TRACE(twice ? "Ctrl+C, then another signal" : "Ctrl+C");
        TempDir work;
        const std::string report = RunInChild([&] { return InterruptDuringACopy(work, twice); });
        if (report.rfind(kSkip, 0) == 0)
            GTEST_SKIP() << report.substr(sizeof kSkip - 1);
        EXPECT_EQ(report, "");
    }
}

} // namespace
} // namespace velmo

#endif
