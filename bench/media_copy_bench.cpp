// Times CopyMediaFile against `cp` followed by `sync` on the same volume, and the read-back check
// against one plain read of the file from the medium.
//
//   velmo_media_copy_bench [directory] [size in MiB] [rounds]
//
// The source is flushed and dropped from the cache before every copy, so both copies read it from
// the medium.

#include "model/media_copy.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <string>
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

double median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

} // namespace

int main(int argc, char** argv) {
    const std::string base = argc > 1 ? argv[1] : ".";
    const std::uint64_t mebibytes = argc > 2 ? std::strtoull(argv[2], nullptr, 10) : 512;
    const int rounds = argc > 3 ? std::atoi(argv[3]) : 3;
    if (mebibytes == 0 || rounds <= 0)
        fail("usage: velmo_media_copy_bench [directory] [size in MiB] [rounds]");

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

    std::printf("media copy of %llu MiB in %s, %d rounds\n", static_cast<unsigned long long>(mebibytes),
                work.c_str(), rounds);
    std::printf("%6s %12s %12s %7s %14s %12s %7s\n", "round", "cp+sync s", "copy+flush s", "ratio",
                "check+rename s", "one read s", "ratio");
    std::vector<double> cpTimes, copyTimes, checkTimes, readTimes;
    for (int round = 0; round < rounds; ++round) {
        fs::remove(cpTarget);
        fs::remove(velmoDir + name);
        ::sync();

        double cpTime = 0, copyTime = 0, checkTime = 0;
        const auto timeCp = [&] {
            evict(source);
            const auto start = Clock::now();
            run({"cp", source, cpTarget});
            run({"sync", cpTarget});
            cpTime = secondsSince(start);
        };
        const auto timeVelmo = [&] {
            evict(source);
            Clock::time_point checkStart{};
            const auto start = Clock::now();
            const velmo::CopyResult result = velmo::CopyMediaFile(
                (work / "source").string() + "/", name, velmoDir, [&](const velmo::CopyProgress& p) {
                    if (p.checking && p.verified == 0)
                        checkStart = Clock::now();
                    return true;
                });
            if (!result)
                fail("CopyMediaFile: " + result.reason);
            copyTime = std::chrono::duration<double>(checkStart - start).count();
            checkTime = secondsSince(checkStart);
        };
        // Alternate which copy runs first, so neither always meets a busier disk.
        if (round % 2 == 0) {
            timeCp();
            timeVelmo();
        } else {
            timeVelmo();
            timeCp();
        }
        const double readTime = timedRead(velmoDir + name);
        std::printf("%6d %12.3f %12.3f %7.2f %14.3f %12.3f %7.2f\n", round + 1, cpTime, copyTime,
                    copyTime / cpTime, checkTime, readTime, checkTime / readTime);
        cpTimes.push_back(cpTime);
        copyTimes.push_back(copyTime);
        checkTimes.push_back(checkTime);
        readTimes.push_back(readTime);
    }
    const double cpMedian = median(cpTimes), copyMedian = median(copyTimes);
    const double checkMedian = median(checkTimes), readMedian = median(readTimes);
    std::printf("%6s %12.3f %12.3f %7.2f %14.3f %12.3f %7.2f\n", "median", cpMedian, copyMedian,
                copyMedian / cpMedian, checkMedian, readMedian, checkMedian / readMedian);
    std::printf("whole CopyMediaFile (copy, flush, check, rename): %.3f s median\n", median([&] {
                    std::vector<double> total;
                    for (std::size_t i = 0; i < copyTimes.size(); ++i)
                        total.push_back(copyTimes[i] + checkTimes[i]);
                    return total;
                }()));
    fs::remove_all(work);
    return 0;
}
