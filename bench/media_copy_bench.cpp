// Times CopyMediaFile against `cp` followed by `sync` on the same volume, and the read-back check
// against one plain read of the file from the medium.
//
//   velmo_media_copy_bench [directory] [size in MiB] [rounds] [settle seconds]
//
// The source is flushed and dropped from the cache before every copy, so both copies read it from
// the medium. Before each timed copy the benchmark waits a moment, so a virtual disk can finish
// writing out the previous copy instead of charging it to the next one.

#include "model/media_copy.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <string>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

namespace {

double secondsSince(Clock::time_point start) {
    return std::chrono::duration<double>(Clock::now() - start).count();
}

[[noreturn]] void fail(const std::string& what) {
    std::fprintf(stderr, "media copy benchmark: %s\n", what.c_str());
    std::exit(1);
}

void run(const std::vector<std::string>& command) {
    const pid_t child = ::fork();
    if (child < 0)
        fail("cannot fork");
    if (child == 0) {
        std::vector<char*> argv;
        for (const std::string& arg : command)
            argv.push_back(const_cast<char*>(arg.c_str()));
        argv.push_back(nullptr);
        ::execvp(argv[0], argv.data());
        std::_Exit(127);
    }
    int status = 0;
    if (::waitpid(child, &status, 0) != child || !WIFEXITED(status) || WEXITSTATUS(status) != 0)
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

double timedRead(const std::string& path) {
    evict(path);
    const auto start = Clock::now();
    const int fd = ::open(path.c_str(), O_RDONLY);
    std::vector<char> buffer(velmo::kMediaCopyChunkSize);
    while (::read(fd, buffer.data(), buffer.size()) > 0) {
    }
    ::close(fd);
    return secondsSince(start);
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

double fastest(std::vector<double> values) {
    return *std::min_element(values.begin(), values.end());
}

} // namespace

int main(int argc, char** argv) {
    const std::string base = argc > 1 ? argv[1] : ".";
    const std::uint64_t mebibytes = argc > 2 ? std::strtoull(argv[2], nullptr, 10) : 512;
    const int rounds = argc > 3 ? std::atoi(argv[3]) : 3;
    const unsigned settle = argc > 4 ? static_cast<unsigned>(std::atoi(argv[4])) : 10;
    if (mebibytes == 0 || rounds <= 0)
        fail("usage: velmo_media_copy_bench [directory] [size in MiB] [rounds] [settle seconds]");
    const auto settleDown = [settle] {
        ::sync();
        ::sleep(settle);
    };

    std::string pattern = (fs::absolute(base) / "velmo-bench-XXXXXX").string();
    if (::mkdtemp(pattern.data()) == nullptr)
        fail("cannot create a directory in " + base);
    const fs::path work = pattern;
    for (const char* sub : {"source", "cp", "velmo"})
        fs::create_directory(work / sub);
    const std::string name = "clip.mpg";
    const std::string source = (work / "source" / name).string();
    const std::string cpTarget = (work / "cp" / name).string();
    const std::string velmoDir = (work / "velmo").string() + "/";
    writeSource(source, mebibytes << 20);

    std::printf("media copy of %llu MiB in %s, %d rounds, %u s settling before each copy\n",
                static_cast<unsigned long long>(mebibytes), work.c_str(), rounds, settle);
    std::printf("%6s %10s %12s %7s %9s %10s %7s %9s %9s %11s\n", "round", "cp+sync s", "copy+flush s",
                "ratio", "check s", "one read s", "ratio", "rename s", "cp CPU s", "copy CPU s");
    struct Times {
        std::vector<double> cp, copy, check, read, rename, whole, cpCpu, velmoCpu;
    } times;
    for (int round = 0; round < rounds; ++round) {
        fs::remove(cpTarget);
        fs::remove(velmoDir + name);

        double cp = 0, copy = 0, check = 0, rename = 0, cpCpu = 0, velmoCpu = 0, read = 0;
        const auto timeCp = [&] {
            evict(source);
            settleDown();
            const double cpuBefore = cpuSeconds(RUSAGE_CHILDREN);
            const auto start = Clock::now();
            run({"cp", source, cpTarget});
            run({"sync", cpTarget});
            cp = secondsSince(start);
            cpCpu = cpuSeconds(RUSAGE_CHILDREN) - cpuBefore;
            // Right after a flush, as the check runs: the disk may still be busy with it.
            read = timedRead(cpTarget);
        };
        const auto timeVelmo = [&] {
            evict(source);
            settleDown();
            Clock::time_point checkStart{}, checkEnd{};
            double cpuAtCheck = 0;
            const double cpuBefore = cpuSeconds(RUSAGE_SELF);
            const auto start = Clock::now();
            const velmo::CopyResult result = velmo::CopyMediaFile(
                (work / "source").string() + "/", name, velmoDir, [&](const velmo::CopyProgress& p) {
                    if (p.checking && p.verified == 0) {
                        checkStart = Clock::now();
                        cpuAtCheck = cpuSeconds(RUSAGE_SELF);
                    }
                    if (p.checking && p.verified == p.total)
                        checkEnd = Clock::now();
                    return true;
                });
            if (!result)
                fail("CopyMediaFile: " + result.reason);
            const auto end = Clock::now();
            velmoCpu = cpuAtCheck - cpuBefore;
            copy = std::chrono::duration<double>(checkStart - start).count();
            check = std::chrono::duration<double>(checkEnd - checkStart).count();
            rename = std::chrono::duration<double>(end - checkEnd).count();
        };
        // Alternate which copy runs first, so neither always meets a busier disk.
        if (round % 2 == 0) {
            timeCp();
            timeVelmo();
        } else {
            timeVelmo();
            timeCp();
        }
        std::printf("%6d %10.3f %12.3f %7.2f %9.3f %10.3f %7.2f %9.3f %9.3f %11.3f\n", round + 1, cp, copy,
                    copy / cp, check, read, check / read, rename, cpCpu, velmoCpu);
        std::fflush(stdout);
        times.cp.push_back(cp);
        times.copy.push_back(copy);
        times.check.push_back(check);
        times.read.push_back(read);
        times.rename.push_back(rename);
        times.whole.push_back(copy + check + rename);
        times.cpCpu.push_back(cpCpu);
        times.velmoCpu.push_back(velmoCpu);
    }
    // The median is the typical run; the fastest run is the one least disturbed by other work.
    for (const auto& [label, pick] : {std::pair{"median", &median}, std::pair{"best", &fastest}}) {
        const double cp = pick(times.cp), copy = pick(times.copy), check = pick(times.check),
                     read = pick(times.read);
        std::printf("%6s %10.3f %12.3f %7.2f %9.3f %10.3f %7.2f %9.3f %9.3f %11.3f\n", label, cp, copy,
                    copy / cp, check, read, check / read, pick(times.rename), pick(times.cpCpu),
                    pick(times.velmoCpu));
    }
    std::printf("whole CopyMediaFile (copy, flush, check, rename): %.3f s median\n", median(times.whole));
    fs::remove_all(work);
    return 0;
}
