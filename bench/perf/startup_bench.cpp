// Start-up time and peak memory of the editor with the largest schedule loaded, against a bare Qt
// Widgets program that shows one empty window. Both run as fresh processes on the offscreen
// platform, alternately, many times; start-up is from just before the process is spawned to the
// end of its first painted frame.
//
//   startup_bench [rounds]

#include "bench_util.h"
#include "largest_schedule.h"

#include "model/random_source.h"
#include "model/schedule_file.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <spawn.h>
#include <sstream>
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

} // namespace

int main(int argc, char** argv) {
    const int rounds = velmo::bench::CountArgument(argc, argv, 1, 41);

    char pattern[] = "/tmp/velmo-startup-bench-XXXXXX";
    if (!::mkdtemp(pattern)) {
        std::perror("mkdtemp");
        return 1;
    }
    const fs::path root = pattern;
    const fs::path editorDir = root / "editor", bareDir = root / "bare";
    fs::create_directories(editorDir);
    fs::create_directories(bareDir);
    // A desktop session keeps its runtime directory (the editor's lock file) in memory; on a disk
    // the lock's flush alone would add milliseconds.
    char runtimePattern[] = "/dev/shm/velmo-startup-bench-XXXXXX";
    const bool inMemory = ::mkdtemp(runtimePattern) != nullptr;
    const fs::path runtimeDir = inMemory ? fs::path(runtimePattern) : root / "runtime";
    fs::create_directories(runtimeDir);
    fs::permissions(runtimeDir, fs::perms::owner_all, fs::perm_options::replace);
    // Copied, so the editor takes this directory as its application directory.
    const fs::path editor = editorDir / "velmo-startup-editor";
    const fs::path bare = bareDir / "velmo-startup-bare";
    fs::copy_file(VELMO_STARTUP_EDITOR, editor);
    fs::copy_file(VELMO_STARTUP_BARE, bare);
    const std::string errorLog = (root / "stderr.log").string();

    velmo::SeededRandomSource random(2007);
    if (!velmo::WriteScheduleFile(editorDir.string() + "/", "velmo.vlm", velmo::bench::LargestSchedule(),
                                  random)) {
        std::fprintf(stderr, "cannot write the largest schedule\n");
        return 1;
    }
    const auto fileBytes = fs::file_size(editorDir / "velmo.vlm");

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

    auto runEditor = [&](Run& run) {
        return RunOnce(editor.string(), nullptr, root.string(), env, errorLog, run);
    };
    auto runBare = [&](Run& run) {
        return RunOnce(bare.string(), nullptr, root.string(), env, errorLog, run);
    };
    auto runText = [&](Run& run) {
        return RunOnce(bare.string(), "text", root.string(), env, errorLog, run);
    };

    // Warm the page cache and the font cache for all before timing anything.
    Run run;
    for (int i = 0; i < 3; ++i)
        if (!runEditor(run) || !runBare(run) || !runText(run))
            return 1;
    if (!runEditor(run))
        return 1;
    const std::string rows = RowCounts(run.output);
    if (rows != "NormalList 250 AdvanceList 250 DetailList 100") {
        std::fprintf(stderr, "the editor did not show the largest schedule (rows: %s)\n", rows.c_str());
        return 1;
    }

    std::vector<double> editorMs, bareMs, textMs, editorRss, bareRss, textRss;
    std::vector<double> editorAnon, bareAnon, textAnon, editorFile, bareFile, textFile;
    for (int round = 0; round < rounds; ++round) {
        Run e, b, t;
        // A different order each round, so none always follows the same one.
        bool ok = true;
        for (int k = 0; k < 3 && ok; ++k) {
            switch ((round + k) % 3) {
            case 0:
                ok = runBare(b);
                break;
            case 1:
                ok = runEditor(e);
                break;
            default:
                ok = runText(t);
                break;
            }
        }
        if (!ok)
            return 1;
        editorMs.push_back(e.startupMs);
        bareMs.push_back(b.startupMs);
        textMs.push_back(t.startupMs);
        editorRss.push_back(e.maxRssMiB);
        bareRss.push_back(b.maxRssMiB);
        textRss.push_back(t.maxRssMiB);
        editorAnon.push_back(e.anonMiB);
        bareAnon.push_back(b.anonMiB);
        textAnon.push_back(t.anonMiB);
        editorFile.push_back(e.fileMiB);
        bareFile.push_back(b.fileMiB);
        textFile.push_back(t.fileMiB);
    }
    fs::remove_all(root);
    if (inMemory)
        fs::remove_all(runtimeDir);

    using velmo::bench::Median;
    using velmo::bench::MedianRatio;
    using velmo::bench::Spread;
    std::printf("start-up to first painted frame, offscreen, %d alternating rounds; editor with the largest "
                "schedule (%ju file bytes; rows %s)\n",
                rounds, static_cast<std::uintmax_t>(fileBytes), rows.c_str());
    std::printf("  median (p10 .. p90); runtime directory %s\n",
                inMemory ? "in memory (/dev/shm)" : "on disk");
    std::printf("  bare Qt window   %-28s ms   peak RSS %s MiB\n", Spread(bareMs, "%.1f").c_str(),
                Spread(bareRss, "%.1f").c_str());
    std::printf("  ... with a label %-28s ms   peak RSS %s MiB\n", Spread(textMs, "%.1f").c_str(),
                Spread(textRss, "%.1f").c_str());
    std::printf("  editor           %-28s ms   peak RSS %s MiB\n", Spread(editorMs, "%.1f").c_str(),
                Spread(editorRss, "%.1f").c_str());
    const double timeRatio = MedianRatio(editorMs, bareMs);
    std::printf(
        "  editor / bare: start-up %.2fx (median of per-round ratios; ratio of medians %.2fx; goal at "
        "most 1.25x), peak RSS %.2fx (+%.1f MiB)\n",
        timeRatio, Median(editorMs) / Median(bareMs), MedianRatio(editorRss, bareRss),
        Median(editorRss) - Median(bareRss));
    std::printf("  editor / window with a label: start-up %.2fx, peak RSS %.2fx\n",
                MedianRatio(editorMs, textMs), MedianRatio(editorRss, textRss));
    std::printf(
        "  resident at the first frame, allocated / mapped files (MiB): bare %.1f / %.1f, with a label "
        "%.1f / %.1f, editor %.1f / %.1f\n",
        Median(bareAnon), Median(bareFile), Median(textAnon), Median(textFile), Median(editorAnon),
        Median(editorFile));
    return 0;
}
