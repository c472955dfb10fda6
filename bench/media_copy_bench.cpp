// Times the whole verified copy, CopyMediaFile, against two yardsticks on the same volume:
// `cp` followed by `sync` (what a copy costs that checks nothing), and the honest limit, `cp` +
// `sync` + one read of every copy from the medium (dropped from the cache first), which is the least
// a copy can do that reads back what it wrote. Once for one large file, once for many small ones;
// then the throughput of the two hashes libxxhash offers for the check, XXH64 and XXH3_64bits.
//
//   velmo_media_copy_bench [directory] [MiB=512] [rounds=3] [settle seconds=10] [files=300]
//                          [MiB a file=2]
//
// The sources are flushed and dropped from the cache before every copy, so every copy reads them
// from the medium. Before each timed copy the benchmark waits a moment, so a virtual disk can finish
// writing out the previous copy instead of charging it to the next one.

#include "bench_support.h"
#include "model/media_copy.h"

#include <xxhash.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <fcntl.h>
#include <filesystem>
#include <string>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace fs = std::filesystem;
using velmo::bench::Clock;

namespace {

double secondsSince(Clock::time_point start) {
    return velmo::bench::SecondsSince(start);
}

[[noreturn]] void fail(const std::string& what) {
    std::fprintf(stderr, "media copy benchmark: %s\n", what.c_str());
    std::exit(1);
}

void run(const std::vector<std::string>& command) {
    if (!velmo::bench::RunCommand(command))
        fail("command failed: " + command.front());
}

// Flushes a file and drops it from the cache, so the next read comes from the medium.
void evict(const std::string& path) {
    const int fd = ::open(path.c_str(), O_RDONLY);
    if (fd < 0)
        fail("cannot open " + path);
    ::fsync(fd);
    ::posix_fadvise(fd, 0, 0, POSIX_FADV_DONTNEED);
    ::close(fd);
}

void writeSource(const std::string& path, std::uint64_t size) {
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (fd < 0)
        fail("cannot create " + path);
    std::vector<std::uint64_t> block((std::size_t{1} << 20) / sizeof(std::uint64_t));
    std::uint64_t state = 0x9E3779B97F4A7C15ull;
    for (std::uint64_t written = 0; written < size; written += block.size() * sizeof block[0]) {
        for (std::uint64_t& word : block) {
            state ^= state << 13;
            state ^= state >> 7;
            state ^= state << 17;
            word = state;
        }
        if (::write(fd, block.data(), block.size() * sizeof block[0]) < 0)
            fail("cannot write " + path);
    }
    ::fsync(fd);
    ::close(fd);
}

// Reads the file once from the medium, as a check must.
void readUncached(const std::string& path) {
    evict(path);
    const int fd = ::open(path.c_str(), O_RDONLY);
    if (fd < 0)
        fail("cannot open " + path);
    static std::vector<char> buffer(velmo::kMediaCopyChunkSize);
    while (::read(fd, buffer.data(), buffer.size()) > 0) {
    }
    ::close(fd);
}

// User and system CPU seconds used so far by this process, or by its finished children.
double cpuSeconds(int who) {
    rusage usage{};
    ::getrusage(who, &usage);
    const auto seconds = [](const timeval& t) { return static_cast<double>(t.tv_sec) + t.tv_usec / 1e6; };
    return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

double median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

std::string spread(const std::vector<double>& values) {
    char text[96];
    std::snprintf(text, sizeof text, "%.3f (%.3f .. %.3f)", median(values),
                  *std::min_element(values.begin(), values.end()),
                  *std::max_element(values.begin(), values.end()));
    return text;
}

// One set of files to copy: the sources, and where each yardstick and CopyMediaFile put them.
struct Scenario {
    std::string title;
    fs::path root;
    std::vector<std::string> names;
    std::vector<double> cp, limit, velmo, velmoCpu, cpCpu; // seconds per round
};

Scenario makeScenario(const fs::path& work, const std::string& title, const std::string& sub, int files,
                      std::uint64_t bytes) {
    Scenario scenario{title, work / sub, {}, {}, {}, {}, {}, {}};
    for (const char* dir : {"source", "cp", "velmo"})
        fs::create_directories(scenario.root / dir);
    for (int i = 0; i < files; ++i) {
        char name[32];
        std::snprintf(name, sizeof name, files == 1 ? "CLIP.MPG" : "CLIP%04d.MPG", i);
        scenario.names.push_back(name);
        writeSource((scenario.root / "source" / name).string(), bytes);
    }
    return scenario;
}

void clearTargets(const Scenario& s) {
    for (const char* dir : {"cp", "velmo"})
        for (const std::string& name : s.names)
            fs::remove(s.root / dir / name);
}

void evictSources(const Scenario& s) {
    for (const std::string& name : s.names)
        evict((s.root / "source" / name).string());
}

// cp of every file in one command and sync of them all; with `readBack`, then one uncached read each.
double timeCp(const Scenario& s, bool readBack, double& cpu) {
    clearTargets(s);
    evictSources(s);
    std::vector<std::string> cp = {"cp"}, sync = {"sync"};
    for (const std::string& name : s.names) {
        cp.push_back((s.root / "source" / name).string());
        sync.push_back((s.root / "cp" / name).string());
    }
    cp.push_back((s.root / "cp").string() + "/");
    const double cpuBefore = cpuSeconds(RUSAGE_CHILDREN) + cpuSeconds(RUSAGE_SELF);
    const auto start = Clock::now();
    run(cp);
    run(sync);
    if (readBack)
        for (const std::string& name : s.names)
            readUncached((s.root / "cp" / name).string());
    const double seconds = secondsSince(start);
    cpu = cpuSeconds(RUSAGE_CHILDREN) + cpuSeconds(RUSAGE_SELF) - cpuBefore;
    return seconds;
}

double timeVelmo(const Scenario& s, double& cpu) {
    clearTargets(s);
    evictSources(s);
    const std::string sourceDir = (s.root / "source").string() + "/";
    const std::string destDir = (s.root / "velmo").string() + "/";
    const double cpuBefore = cpuSeconds(RUSAGE_SELF);
    const auto start = Clock::now();
    for (const std::string& name : s.names) {
        const velmo::CopyResult result =
            velmo::CopyMediaFile(sourceDir, name, destDir, [](const velmo::CopyProgress&) { return true; });
        if (!result)
            fail("CopyMediaFile: " + result.reason);
    }
    const double seconds = secondsSince(start);
    cpu = cpuSeconds(RUSAGE_SELF) - cpuBefore;
    return seconds;
}

double threadCpuSeconds() {
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) / 1e9;
}

// Hashes an in-memory buffer many times with XXH64 and XXH3_64bits, in GB per processor second:
// processor time, because other programs taking turns on the processors would swamp elapsed time.
void hashThroughput() {
    std::vector<std::uint8_t> data(std::size_t{64} << 20);
    std::uint64_t state = 0x9E3779B97F4A7C15ull;
    for (std::uint8_t& byte : data) {
        state = state * 6364136223846793005ull + 1442695040888963407ull;
        byte = static_cast<std::uint8_t>(state >> 56);
    }
    std::vector<double> xxh64, xxh3, ratios;
    std::uint64_t sink = 0;
    const double gigabytes = static_cast<double>(data.size()) / 1e9;
    for (int round = 0; round < 15; ++round) {
        // Interleaved, so a busy moment on the machine falls on both.
        double start = threadCpuSeconds();
        sink ^= XXH64(data.data(), data.size(), 0);
        xxh64.push_back(gigabytes / (threadCpuSeconds() - start));
        start = threadCpuSeconds();
        sink ^= XXH3_64bits(data.data(), data.size());
        xxh3.push_back(gigabytes / (threadCpuSeconds() - start));
        ratios.push_back(xxh3.back() / xxh64.back());
    }
    std::printf("hash of 64 MiB in memory, libxxhash %u, 15 rounds interleaved, GB per processor second, "
                "median (min .. max)\n",
                XXH_versionNumber());
    std::printf("  XXH64       %s\n", spread(xxh64).c_str());
    std::printf("  XXH3_64bits %s\n", spread(xxh3).c_str());
    std::printf("  XXH3_64bits / XXH64: %s (checksum %016llx)\n", spread(ratios).c_str(),
                static_cast<unsigned long long>(sink));
}

} // namespace

int main(int argc, char** argv) {
    const std::string base = argc > 1 ? argv[1] : ".";
    const std::uint64_t mebibytes = argc > 2 ? std::strtoull(argv[2], nullptr, 10) : 512;
    const int rounds = argc > 3 ? std::atoi(argv[3]) : 3;
    const unsigned settle = argc > 4 ? static_cast<unsigned>(std::atoi(argv[4])) : 10;
    const int files = argc > 5 ? std::atoi(argv[5]) : 300;
    const std::uint64_t fileMebibytes = argc > 6 ? std::strtoull(argv[6], nullptr, 10) : 2;
    if (mebibytes == 0 || rounds <= 0 || files <= 0 || fileMebibytes == 0)
        fail(
            "usage: velmo_media_copy_bench [directory] [MiB] [rounds] [settle seconds] [files] [MiB a file]");

    std::string pattern = (fs::absolute(base) / "velmo-bench-XXXXXX").string();
    if (::mkdtemp(pattern.data()) == nullptr)
        fail("cannot create a directory in " + base);
    const fs::path work = pattern;
    std::vector<Scenario> scenarios;
    scenarios.push_back(
        makeScenario(work, "one file of " + std::to_string(mebibytes) + " MiB", "large", 1, mebibytes << 20));
    scenarios.push_back(
        makeScenario(work, std::to_string(files) + " files of " + std::to_string(fileMebibytes) + " MiB",
                     "small", files, fileMebibytes << 20));
    ::sync();

    std::printf("media copy in %s, %d rounds, %u s settling before each copy; seconds, CPU seconds\n",
                work.c_str(), rounds, settle);
    for (int round = 0; round < rounds; ++round) {
        for (Scenario& s : scenarios) {
            double cp = 0, limit = 0, velmo = 0, cpCpu = 0, limitCpu = 0, velmoCpu = 0;
            // A different order each round, so none of the three always meets the busiest disk.
            const int order = round % 3;
            for (int step = 0; step < 3; ++step) {
                ::sync();
                ::sleep(settle);
                switch ((step + order) % 3) {
                case 0:
                    cp = timeCp(s, false, cpCpu);
                    break;
                case 1:
                    limit = timeCp(s, true, limitCpu);
                    break;
                default:
                    velmo = timeVelmo(s, velmoCpu);
                    break;
                }
            }
            s.cp.push_back(cp);
            s.limit.push_back(limit);
            s.velmo.push_back(velmo);
            s.cpCpu.push_back(limitCpu);
            s.velmoCpu.push_back(velmoCpu);
            std::printf(
                "  round %d, %s: cp+sync %.3f, cp+sync+read %.3f (CPU %.3f), CopyMediaFile %.3f (CPU %.3f): "
                "%.2fx and %.2fx\n",
                round + 1, s.title.c_str(), cp, limit, limitCpu, velmo, velmoCpu, velmo / cp, velmo / limit);
            std::fflush(stdout);
        }
    }
    std::printf("median (min .. max) over the rounds; ratios are per round, then their median\n");
    for (const Scenario& s : scenarios) {
        std::vector<double> overCp, overLimit;
        for (std::size_t i = 0; i < s.velmo.size(); ++i) {
            overCp.push_back(s.velmo[i] / s.cp[i]);
            overLimit.push_back(s.velmo[i] / s.limit[i]);
        }
        std::printf("%s\n", s.title.c_str());
        std::printf("  cp + sync                        %s s\n", spread(s.cp).c_str());
        std::printf("  cp + sync + one uncached read    %s s, CPU %s s\n", spread(s.limit).c_str(),
                    spread(s.cpCpu).c_str());
        std::printf("  CopyMediaFile                    %s s, CPU %s s\n", spread(s.velmo).c_str(),
                    spread(s.velmoCpu).c_str());
        std::printf("  CopyMediaFile / cp + sync        %s\n", spread(overCp).c_str());
        std::printf("  CopyMediaFile / the honest limit %s\n", spread(overLimit).c_str());
    }
    fs::remove_all(work);
    hashThroughput();
    return 0;
}
