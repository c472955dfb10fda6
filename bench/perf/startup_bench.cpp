// Start-up time and peak memory of the editor with the largest schedule loaded, against a window
// with the same widgets and row texts but no editor behind it (the yardstick that matters), and a
// bare Qt Widgets program that shows one empty window (and the same window with one label). All run as
// fresh processes on the offscreen platform, once each per round in a shuffled order, many rounds;
// start-up is from just before the process is spawned to the end of its first painted frame, and
// the processor time the process used until then.
//
//   startup_bench [rounds [other-startup_editor]]
//
// The second argument names another build of startup_editor (say, from before a change), timed in
// the same rounds.

#include "bench_util.h"
#include "largest_schedule.h"

#include "model/random_source.h"
#include "model/schedule_file.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <numeric>
#include <random>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace {

namespace fs = std::filesystem;
using velmo::bench::NowNs;

struct Run {
    double startupMs = 0;
    double cpuMs = 0; // processor time until the end of the first frame
    double maxRssMiB = 0;
    double anonMiB = 0; // resident at the first frame: allocated by the process
    double fileMiB = 0; // resident at the first frame: pages of mapped files
    std::string output;
};

// Starts program with env, reads its standard output to the end and waits for it.
bool RunOnce(const std::string& program, const char* argument, const std::string& workDir,
             const std::vector<std::string>& env, const std::string& errorLog, Run& run) {
    int out[2];
    if (::pipe2(out, O_CLOEXEC) != 0)
        return false;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
    posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, errorLog.c_str(), O_WRONLY | O_CREAT | O_APPEND,
                                     0644);
    posix_spawn_file_actions_addchdir_np(&actions, workDir.c_str());
    std::vector<char*> envp;
    for (const std::string& e : env)
        envp.push_back(const_cast<char*>(e.c_str()));
    envp.push_back(nullptr);
    char* argv[] = {const_cast<char*>(program.c_str()), const_cast<char*>(argument), nullptr};

    const std::int64_t spawnedNs = NowNs();
    pid_t pid = 0;
    const int rc = ::posix_spawn(&pid, program.c_str(), &actions, nullptr, argv, envp.data());
    posix_spawn_file_actions_destroy(&actions);
    ::close(out[1]);
    if (rc != 0) {
        ::close(out[0]);
        std::fprintf(stderr, "cannot start %s: %s\n", program.c_str(), std::strerror(rc));
        return false;
    }
    run.output.clear();
    char buffer[4096];
    for (;;) {
        const ssize_t n = ::read(out[0], buffer, sizeof buffer);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            break;
        run.output.append(buffer, static_cast<std::size_t>(n));
    }
    ::close(out[0]);
    int status = 0;
    rusage usage{};
    while (::wait4(pid, &status, 0, &usage) < 0 && errno == EINTR) {
    }
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
        std::fprintf(stderr, "%s ended abnormally (status %d); see %s\n", program.c_str(), status,
                     errorLog.c_str());
        return false;
    }
    const auto at = run.output.find("first-frame-ns ");
    if (at == std::string::npos) {
        std::fprintf(stderr, "%s reported no frame; see %s\n", program.c_str(), errorLog.c_str());
        return false;
    }
    const long long frameNs = std::stoll(run.output.substr(at + 15));
    run.startupMs = static_cast<double>(frameNs - spawnedNs) / 1e6;
    if (const auto cpu = run.output.find("first-frame-cpu-ns "); cpu != std::string::npos)
        run.cpuMs = static_cast<double>(std::stoll(run.output.substr(cpu + 19))) / 1e6;
    run.maxRssMiB = static_cast<double>(usage.ru_maxrss) / 1024.0; // reported in KiB
    long anon = 0, file = 0;
    if (const auto split = run.output.find("rss-kib ");
        split != std::string::npos &&
        std::sscanf(run.output.c_str() + split, "rss-kib anon %ld file %ld", &anon, &file) == 2) {
        run.anonMiB = static_cast<double>(anon) / 1024.0;
        run.fileMiB = static_cast<double>(file) / 1024.0;
    }
    return true;
}

std::string RowCounts(const std::string& output) {
    const auto at = output.find("rows ");
    return at == std::string::npos ? std::string() : output.substr(at + 5, output.find('\n', at) - at - 5);
}

// One program under test and everything measured of it, one entry per round.
struct Program {
    Program(std::string label_, fs::path path_, const char* argument_ = nullptr)
        : label(std::move(label_)), path(std::move(path_)), argument(argument_) {}

    std::string label;
    fs::path path;
    const char* argument;
    std::vector<double> ms, cpu, maxRss, anon, file;
    std::string lastOutput;

    void record(const Run& run) {
        ms.push_back(run.startupMs);
        cpu.push_back(run.cpuMs);
        maxRss.push_back(run.maxRssMiB);
        anon.push_back(run.anonMiB);
        file.push_back(run.fileMiB);
        lastOutput = run.output;
    }
};

} // namespace

int main(int argc, char** argv) {
    const int rounds = velmo::bench::CountArgument(argc, argv, 1, 41);
    // Another build of startup_editor (say, from before a change) to time side by side.
    const char* otherEditor = argc > 2 ? argv[2] : nullptr;

    char pattern[] = "/tmp/velmo-startup-bench-XXXXXX";
    if (!::mkdtemp(pattern)) {
        std::perror("mkdtemp");
        return 1;
    }
    const fs::path root = pattern;
    // A desktop session keeps its runtime directory (the editor's lock file) in memory; on a disk
    // the lock's flush alone would add milliseconds.
    char runtimePattern[] = "/dev/shm/velmo-startup-bench-XXXXXX";
    const bool inMemory = ::mkdtemp(runtimePattern) != nullptr;
    const fs::path runtimeDir = inMemory ? fs::path(runtimePattern) : root / "runtime";
    fs::create_directories(runtimeDir);
    fs::permissions(runtimeDir, fs::perms::owner_all, fs::perm_options::replace);
    const std::string errorLog = (root / "stderr.log").string();

    std::vector<Program> programs;
    programs.emplace_back("bare Qt window", VELMO_STARTUP_BARE);
    programs.emplace_back("... with a label", VELMO_STARTUP_BARE, "text");
    programs.emplace_back("editor", VELMO_STARTUP_EDITOR);
    programs.emplace_back("same widgets", VELMO_STARTUP_SAME_WIDGETS);
    programs.emplace_back("... PNG logo", VELMO_STARTUP_SAME_WIDGETS, "png-logo");
    if (otherEditor)
        programs.emplace_back("other editor", otherEditor);
    velmo::SeededRandomSource random(2007);
    if (!velmo::WriteScheduleFile(root.string() + "/", "velmo.vlm", velmo::bench::LargestSchedule(),
                                  random)) {
        std::fprintf(stderr, "cannot write the largest schedule\n");
        return 1;
    }
    const std::uintmax_t fileBytes = fs::file_size(root / "velmo.vlm");
    for (std::size_t i = 0; i < programs.size(); ++i) {
        // Each copied into a directory of its own: an editor takes it as its application directory,
        // and finds the same schedule file there as the one to load.
        const fs::path dir = root / std::to_string(i);
        fs::create_directories(dir);
        const fs::path copy = dir / programs[i].path.filename();
        fs::copy_file(programs[i].path, copy);
        programs[i].path = copy;
        fs::copy_file(root / "velmo.vlm", dir / "velmo.vlm");
    }

    std::vector<std::string> env;
    for (char** e = environ; *e; ++e) {
        const std::string entry = *e;
        if (entry.rfind("QT_QPA_PLATFORM=", 0) == 0 || entry.rfind("XDG_RUNTIME_DIR=", 0) == 0 ||
            entry.rfind("VELMO_QUIT_AFTER_START_MS=", 0) == 0)
            continue;
        env.push_back(entry);
    }
    env.push_back("QT_QPA_PLATFORM=offscreen");
    env.push_back("XDG_RUNTIME_DIR=" + runtimeDir.string());
    auto runOnce = [&](Program& program, Run& run) {
        return RunOnce(program.path.string(), program.argument, root.string(), env, errorLog, run);
    };

    // Warm the page cache and the font cache for all before timing anything.
    for (int i = 0; i < 3; ++i) {
        for (Program& program : programs) {
            Run run;
            if (!runOnce(program, run))
                return 1;
            program.lastOutput = run.output;
        }
    }
    for (std::size_t i = 2; i < programs.size(); i += i == 2 ? 3 : 1) {
        const std::string rows = RowCounts(programs[i].lastOutput);
        if (rows != "NormalList 250 AdvanceList 250 DetailList 100") {
            std::fprintf(stderr, "%s did not show the largest schedule (rows: %s)\n",
                         programs[i].label.c_str(), rows.c_str());
            return 1;
        }
    }

    std::vector<std::size_t> order(programs.size());
    std::iota(order.begin(), order.end(), 0);
    std::mt19937 shuffler(2007);
    for (int round = 0; round < rounds; ++round) {
        // A fresh order each round: a program that always followed the same one would also always
        // inherit what that one leaves behind (its exit, its file writes still being flushed).
        std::shuffle(order.begin(), order.end(), shuffler);
        for (const std::size_t index : order) {
            Program& program = programs[index];
            Run run;
            if (!runOnce(program, run))
                return 1;
            program.record(run);
        }
    }
    fs::remove_all(root);
    if (inMemory)
        fs::remove_all(runtimeDir);

    using velmo::bench::Median;
    using velmo::bench::MedianRatio;
    using velmo::bench::Spread;
    const Program& bare = programs[0];
    const Program& label = programs[1];
    const Program& editor = programs[2];
    std::printf(
        "start-up to the end of the first painted frame, offscreen, %d rounds, each program once a round "
        "in a shuffled order; the editor loads the largest schedule (%ju bytes)\n",
        rounds, fileBytes);
    std::printf("  runtime directory %s; median (p10 .. p90)\n",
                inMemory ? "in memory (/dev/shm)" : "on disk");
    std::printf("  %-16s %-26s %-26s %s\n", "", "elapsed ms", "processor ms", "peak RSS MiB");
    for (const Program& p : programs)
        std::printf("  %-16s %-26s %-26s %s\n", p.label.c_str(), Spread(p.ms, "%.1f").c_str(),
                    Spread(p.cpu, "%.1f").c_str(), Spread(p.maxRss, "%.1f").c_str());
    auto ratios = [](const char* title, const Program& a, const Program& b) {
        std::printf(
            "  %s: elapsed %.2fx (ratio of medians %.2fx), processor %.2fx, peak RSS %.2fx (%+.1f MiB)\n",
            title, MedianRatio(a.ms, b.ms), Median(a.ms) / Median(b.ms), MedianRatio(a.cpu, b.cpu),
            MedianRatio(a.maxRss, b.maxRss), Median(a.maxRss) - Median(b.maxRss));
    };
    const Program& same = programs[3];
    std::printf("  ratios are medians of the per-round ratios; the goal is at most 1.03x the same widgets\n");
    ratios("editor / same widgets", editor, same);
    ratios("same widgets, PNG logo / SVG logo", programs[4], same);
    ratios("editor / bare window", editor, bare);
    ratios("editor / window with a label", editor, label);
    if (otherEditor)
        ratios("editor / other editor", editor, programs[5]);
    std::printf("  resident at the first frame, allocated + mapped files (MiB):");
    for (const Program& p : programs)
        std::printf("%s %s %.1f + %.1f", &p == &programs.front() ? "" : ";", p.label.c_str(), Median(p.anon),
                    Median(p.file));
    std::printf("\n");
    if (otherEditor)
        std::printf("  other editor: %s\n", otherEditor);
    return 0;
}
