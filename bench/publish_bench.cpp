// Times a publish (PlanPublish + CarryOutPublish) against `cp` of the same files followed by `sync`
// of them, then a second publish of the unchanged schedule, and how both grow with the number of
// files.
//
//   velmo_publish_bench [directory] [files=300] [file KiB=2048] [large MiB=512] [rounds=3]
//                       [scale counts=30,300,3000] [scale file KiB=64] [settle seconds=10]
//
// Rounds alternate which of cp and publish runs first, so neither always meets a busier disk. The
// sources are flushed and dropped from the cache before every copy, and the benchmark waits a
// moment before each, so a virtual disk can finish writing out the previous copy instead of
// charging it to the next one.

#include "bench_support.h"
#include "model/random_source.h"
#include "model/schedule.h"
#include "rules/entry_rules.h"
#include "rules/publish.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <sstream>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace fs = std::filesystem;
using velmo::bench::Clock;
using namespace velmo;

namespace {

double secondsSince(Clock::time_point start) {
    return velmo::bench::SecondsSince(start);
}

[[noreturn]] void fail(const std::string& what) {
    std::fprintf(stderr, "publish benchmark: %s\n", what.c_str());
    std::exit(1);
}

void run(const std::vector<std::string>& command) {
    if (!velmo::bench::RunCommand(command))
        fail("command failed: " + command.front());
}

void writeFile(const std::string& path, std::uint64_t size, std::uint64_t seed) {
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (fd < 0)
        fail("cannot create " + path);
    std::vector<std::uint64_t> block(std::min<std::uint64_t>(size, 1u << 20) / sizeof(std::uint64_t) + 1);
    std::uint64_t state = 0x9E3779B97F4A7C15ull ^ (seed * 0xBF58476D1CE4E5B9ull);
    for (std::uint64_t written = 0; written < size;) {
        for (std::uint64_t& word : block) {
            state ^= state << 13;
            state ^= state >> 7;
            state ^= state << 17;
            word = state;
        }
        const std::size_t take =
            static_cast<std::size_t>(std::min<std::uint64_t>(size - written, block.size() * 8));
        if (::write(fd, block.data(), take) != static_cast<ssize_t>(take))
            fail("cannot write " + path);
        written += take;
    }
    ::fsync(fd);
    ::close(fd);
}

void evictAll(const fs::path& dir) {
    for (const auto& entry : fs::directory_iterator(dir)) {
        const int fd = ::open(entry.path().c_str(), O_RDONLY);
        if (fd < 0)
            continue;
        ::fsync(fd);
        ::posix_fadvise(fd, 0, 0, POSIX_FADV_DONTNEED);
        ::close(fd);
    }
}

void emptyDirectory(const fs::path& dir) {
    fs::remove_all(dir);
    fs::create_directory(dir);
}

// A source folder of `count` files of `size` bytes (and one large file when `large` is not 0), and
// a schedule naming them all: basic entries first, the rest as periods of up to 100 files.
Schedule layOut(const fs::path& source, int count, std::uint64_t size, std::uint64_t large) {
    emptyDirectory(source);
    std::vector<FileEntry> files;
    const auto add = [&](const std::string& name, std::uint64_t bytes, std::uint64_t seed) {
        writeFile((source / name).string(), bytes, seed);
        FileEntry entry;
        if (!StoreFileEntry(entry, name, 1, kVolumeDefault))
            fail("bad name " + name);
        files.push_back(entry);
    };
    for (int i = 0; i < count; ++i) {
        char name[16];
        std::snprintf(name, sizeof name, "F%05d.MPG", i);
        add(name, size, static_cast<std::uint64_t>(i) + 1);
    }
    if (large > 0)
        add("LARGE.MPG", large, 0);
    std::vector<FileEntry> basic(files.begin(), files.begin() + std::min<std::ptrdiff_t>(250, files.size()));
    std::vector<AdvanceEntry> advance;
    for (std::size_t at = basic.size(); at < files.size(); at += kMaxDetailEntries) {
        AdvanceEntry period;
        period.startYear = period.stopYear = 26;
        period.startMonth = period.stopMonth = period.startDay = period.stopDay = 1;
        period.stopHour = 23;
        period.weekDay = kWeekDayAll;
        const std::size_t end = std::min(files.size(), at + kMaxDetailEntries);
        SetDetailEntries(period, std::vector<FileEntry>(files.begin() + static_cast<std::ptrdiff_t>(at),
                                                        files.begin() + static_cast<std::ptrdiff_t>(end)));
        advance.push_back(period);
    }
    return MakeSchedule(basic, advance);
}

struct PublishTimes {
    double plan = 0;
    double carry = 0;
    double check = 0;        // of carry: reading the copies back from the medium
    std::size_t written = 0; // files copied or replaced
};

PublishTimes publish(const Schedule& schedule, const fs::path& source, const fs::path& dest) {
    static SeededRandomSource random(1);
    PublishTimes times;
    auto start = Clock::now();
    const PublishPlan plan = PlanPublish(schedule, {source.string() + "/"}, dest.string() + "/", "bench.vlm");
    times.plan = secondsSince(start);
    start = Clock::now();
    // Progress comes after every chunk, so the time between two calls belongs to the chunk reported.
    Clock::time_point last = start;
    bool wasChecking = false;
    const PublishReport report = CarryOutPublish(plan, schedule, random, [&](const PublishProgress& p) {
        const Clock::time_point now = Clock::now();
        if (p.checking && wasChecking)
            times.check += std::chrono::duration<double>(now - last).count();
        wasChecking = p.checking;
        last = now;
        return true;
    });
    times.carry = secondsSince(start);
    if (!report.complete())
        fail("publish: " + PublishReportLines(report).front());
    times.written = report.copied.size() + report.replaced.size() + (report.scheduleWritten ? 1 : 0);
    return times;
}

double cpAndSync(const fs::path& source, const fs::path& dest) {
    const auto start = Clock::now();
    run({"sh", "-c", "cp -- \"$0\"/* \"$1\"/ && sync -- \"$1\"/*", source.string(), dest.string()});
    return secondsSince(start);
}

// One plain read of every file of a directory from the medium: what the check may cost at most.
double readAll(const fs::path& dir) {
    evictAll(dir);
    const auto start = Clock::now();
    std::vector<char> buffer(1 << 20);
    for (const auto& entry : fs::directory_iterator(dir)) {
        const int fd = ::open(entry.path().c_str(), O_RDONLY);
        while (fd >= 0 && ::read(fd, buffer.data(), buffer.size()) > 0) {
        }
        if (fd >= 0)
            ::close(fd);
    }
    return secondsSince(start);
}

double median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

std::vector<int> parseCounts(const std::string& text) {
    std::vector<int> counts;
    std::stringstream in(text);
    for (std::string item; std::getline(in, item, ',');)
        if (const int n = std::atoi(item.c_str()); n > 0)
            counts.push_back(n);
    return counts;
}

} // namespace

int main(int argc, char** argv) {
    const std::string base = argc > 1 ? argv[1] : ".";
    const int files = argc > 2 ? std::atoi(argv[2]) : 300;
    const std::uint64_t fileKiB = argc > 3 ? std::strtoull(argv[3], nullptr, 10) : 2048;
    const std::uint64_t largeMiB = argc > 4 ? std::strtoull(argv[4], nullptr, 10) : 512;
    const int rounds = argc > 5 ? std::atoi(argv[5]) : 3;
    const std::vector<int> scale = parseCounts(argc > 6 ? argv[6] : "30,300,3000");
    const std::uint64_t scaleKiB = argc > 7 ? std::strtoull(argv[7], nullptr, 10) : 64;
    const unsigned settle = argc > 8 ? static_cast<unsigned>(std::atoi(argv[8])) : 10;
    const auto settleDown = [settle](const fs::path& dir) {
        evictAll(dir);
        ::sync();
        ::sleep(settle);
    };
    if (files < 0 || rounds <= 0)
        fail("usage: velmo_publish_bench [directory] [files] [file KiB] [large MiB] [rounds] [counts] [KiB] "
             "[settle]");

    std::string pattern = (fs::absolute(base) / "velmo-publish-bench-XXXXXX").string();
    if (::mkdtemp(pattern.data()) == nullptr)
        fail("cannot create a directory in " + base);
    const fs::path work = pattern;
    const fs::path source = work / "source", cp = work / "cp", medium = work / "medium";

    Schedule schedule;
    // files 0 and large 0: only the growth figures.
    const int mainRounds = files == 0 && largeMiB == 0 ? 0 : rounds;
    if (mainRounds > 0)
        schedule = layOut(source, files, fileKiB << 10, largeMiB << 20);
    if (mainRounds > 0) {
        std::printf("publish of %d files of %llu KiB and one of %llu MiB in %s, %d rounds\n", files,
                    static_cast<unsigned long long>(fileKiB), static_cast<unsigned long long>(largeMiB),
                    work.c_str(), rounds);
        std::printf("%6s %10s %11s %9s %7s %8s %8s %10s %10s %8s\n", "round", "cp+sync s", "publish s",
                    "of it check", "ratio*", "read s", "chk/read", "again s", "again/1st", "written");
    }
    std::vector<double> cps, firsts, agains, checks, reads;
    for (int round = 0; round < mainRounds; ++round) {
        emptyDirectory(cp);
        emptyDirectory(medium);
        double cpTime = 0;
        PublishTimes first;
        const auto timeCp = [&] {
            settleDown(source);
            cpTime = cpAndSync(source, cp);
        };
        const auto timePublish = [&] {
            settleDown(source);
            first = publish(schedule, source, medium);
        };
        if (round % 2 == 0) {
            timeCp();
            timePublish();
        } else {
            timePublish();
            timeCp();
        }
        const double read = readAll(cp);
        const PublishTimes again = publish(schedule, source, medium);
        const double firstTotal = first.plan + first.carry, againTotal = again.plan + again.carry;
        std::printf("%6d %10.3f %11.3f %9.3f %7.2f %8.3f %8.2f %10.3f %9.2f%% %8zu\n", round + 1, cpTime,
                    firstTotal, first.check, (firstTotal - first.check) / cpTime, read, first.check / read,
                    againTotal, 100.0 * againTotal / firstTotal, again.written);
        std::fflush(stdout);
        cps.push_back(cpTime);
        firsts.push_back(firstTotal);
        agains.push_back(againTotal);
        checks.push_back(first.check);
        reads.push_back(read);
    }
    if (mainRounds > 0)
        std::printf("%6s %10.3f %11.3f %9.3f %7.2f %8.3f %8.2f %10.3f %9.2f%%\n", "median", median(cps),
                    median(firsts), median(checks), (median(firsts) - median(checks)) / median(cps),
                    median(reads), median(checks) / median(reads), median(agains),
                    100.0 * median(agains) / median(firsts));
    if (mainRounds > 0)
        std::printf(
            "ratio*: publish without its read-back check against cp+sync; chk/read: the check against "
            "one plain read\n");

    if (!scale.empty()) {
        std::printf("\ngrowth with the number of files of %llu KiB (first publish, unchanged publish)\n",
                    static_cast<unsigned long long>(scaleKiB));
        std::printf("%6s %10s %11s %11s %12s %12s\n", "files", "cp+sync s", "publish s", "again s",
                    "ms per file", "again ms/file");
        for (const int count : scale) {
            schedule = layOut(source, count, scaleKiB << 10, 0);
            emptyDirectory(cp);
            emptyDirectory(medium);
            settleDown(source);
            const double cpTime = cpAndSync(source, cp);
            settleDown(source);
            const PublishTimes first = publish(schedule, source, medium);
            const PublishTimes again = publish(schedule, source, medium);
            const double firstTotal = first.plan + first.carry, againTotal = again.plan + again.carry;
            std::printf("%6d %10.3f %11.3f %11.3f %12.3f %12.3f\n", count, cpTime, firstTotal, againTotal,
                        1000.0 * firstTotal / count, 1000.0 * againTotal / count);
            std::fflush(stdout);
        }
    }
    fs::remove_all(work);
    return 0;
}
