// The schedule overview's sums for the largest schedule: every finding (31 125 pairs compared for
// overlaps) and the marks of the busiest month, the work done each time the schedule changes while
// the overview is open. Beside it, as a yardstick, one copy of the same schedule, measured in the same
// interleaved rounds.
//
//   overview_bench [rounds]
//   overview_bench once     each sum once, untimed, for callgrind's instruction counts:
//     valgrind --tool=callgrind overview_bench once; callgrind_annotate --inclusive=yes callgrind.out.*

#include "bench_util.h"
#include "largest_schedule.h"

#include "rules/entry_rules.h"
#include "rules/schedule_sense.h"

#include <algorithm>
#include <functional>
#include <set>

namespace {

using velmo::bench::NowNs;

inline void Escape(const void* p) {
    asm volatile("" : : "g"(p) : "memory");
}

// Milliseconds of one call, from a block of calls long enough to time.
double MillisecondsPerCall(const std::function<void()>& op, int reps) {
    const std::int64_t start = NowNs();
    for (int i = 0; i < reps; ++i)
        op();
    return static_cast<double>(NowNs() - start) * 1e-6 / reps;
}

int RepsFor(const std::function<void()>& op, std::int64_t targetNs) {
    const std::int64_t start = NowNs();
    op();
    const std::int64_t once = std::max<std::int64_t>(NowNs() - start, 1);
    return static_cast<int>(std::clamp<std::int64_t>(targetNs / once, 1, 1 << 20));
}

} // namespace

int main(int argc, char** argv) {
    using namespace velmo;
    const bool once = argc > 1 && std::string(argv[1]) == "once";
    const int rounds = once ? 1 : bench::CountArgument(argc, argv, 1, 41);
    const Schedule largest = bench::LargestSchedule();
    const CivilDate today{2008, 6, 15};

    // The month with the most periods in force on its days.
    int bestYear = 2007, bestMonth = 1;
    std::size_t bestCount = 0;
    for (int year = 2007; year <= 2010; ++year)
        for (int month = 1; month <= 12; ++month) {
            std::size_t count = 0;
            for (int day = 1; day <= DaysOfMonth(year, month); ++day)
                count += AdvanceEntriesInForce(largest, {year, month, day}, std::nullopt).size();
            if (count > bestCount) {
                bestCount = count;
                bestYear = year;
                bestMonth = month;
            }
        }

    // Every file the schedule names is in the media folder but one in ten.
    std::set<std::string> media;
    int named = 0;
    const auto addName = [&](const FileEntry& f) {
        if (++named % 10 != 0)
            media.insert(StoredNameText(f));
    };
    for (int i = 0; i < largest.basicCount; ++i)
        addName(largest.basicEntries[static_cast<std::size_t>(i)]);
    for (int i = 0; i < largest.advanceCount; ++i)
        for (int k = 0; k < largest.advanceEntries[static_cast<std::size_t>(i)].fileCount; ++k)
            addName(largest.advanceEntries[static_cast<std::size_t>(i)].files[static_cast<std::size_t>(k)]);
    const MediaLookup lookup = [&media](const std::string& name) { return media.count(name) > 0; };

    // The same schedule with every period over the same days and hours: all 31 125 pairs overlap.
    Schedule overlapping = largest;
    for (int i = 0; i < overlapping.advanceCount; ++i) {
        AdvanceEntry& e = overlapping.advanceEntries[static_cast<std::size_t>(i)];
        e = largest.advanceEntries[0];
        e.files = largest.advanceEntries[static_cast<std::size_t>(i)].files;
        e.fileCount = largest.advanceEntries[static_cast<std::size_t>(i)].fileCount;
    }
    std::size_t overlapFindings = 0;
    std::size_t checkLines = 0;
    const auto overlapsOnly = [&] {
        const auto found = FindScheduleProblems(overlapping, today, lookup);
        overlapFindings =
            static_cast<std::size_t>(std::count_if(found.begin(), found.end(), [](const ScheduleProblem& p) {
                return p.kind == ProblemKind::Overlap;
            }));
        Escape(found.data());
    };
    const auto checkOverlaps = [&] {
        const auto lines = CheckScheduleSense(overlapping, today);
        checkLines = lines.size();
        Escape(lines.data());
    };

    std::size_t problems = 0;
    const auto overview = [&] {
        const auto found = FindScheduleProblems(largest, today, lookup);
        const auto marks = MonthMarks(largest, bestYear, bestMonth, today);
        problems = found.size();
        Escape(found.data());
        Escape(marks.data());
    };
    const auto findingsOnly = [&] {
        const auto found = FindScheduleProblems(largest, today, lookup);
        Escape(found.data());
    };
    const auto marksOnly = [&] {
        const auto marks = MonthMarks(largest, bestYear, bestMonth, today);
        Escape(marks.data());
    };
    const auto notice = [&] {
        const auto warnings = AdvanceEntryWarnings(largest, 125, today);
        Escape(warnings.data());
    };
    const auto copy = [&] {
        const Schedule copied = largest;
        Escape(&copied);
    };

    if (once) {
        findingsOnly();
        marksOnly();
        notice();
        overlapsOnly();
        checkOverlaps();
        copy();
        return 0;
    }

    constexpr std::int64_t kBlockNs = 50'000'000;
    constexpr int kOps = 7;
    const std::function<void()> ops[kOps] = {overview, findingsOnly, marksOnly,    notice,
                                             copy,     overlapsOnly, checkOverlaps};
    int reps[kOps];
    for (int k = 0; k < kOps; ++k)
        reps[k] = RepsFor(ops[k], kBlockNs);
    std::vector<double> samples[kOps];
    for (int round = 0; round < rounds; ++round)
        for (int k = 0; k < kOps; ++k) {
            const int which = (round + k) % kOps;
            samples[which].push_back(MillisecondsPerCall(ops[which], reps[which]));
        }

    using bench::MedianRatio;
    using bench::Spread;
    overview();
    std::printf(
        "schedule overview: largest schedule (250 periods, 623 detail entries), %d interleaved rounds\n",
        rounds);
    std::printf("  busiest month %04d-%02d (%zu period-days), %zu problems found\n", bestYear, bestMonth,
                bestCount, problems);
    std::printf("  median (p10 .. p90), milliseconds per call\n");
    std::printf("  findings + month marks    %s\n", Spread(samples[0], "%.3f").c_str());
    std::printf("    findings alone          %s\n", Spread(samples[1], "%.3f").c_str());
    std::printf("    month marks alone       %s\n", Spread(samples[2], "%.3f").c_str());
    std::printf("  notice after one OK       %s\n", Spread(samples[3], "%.4f").c_str());
    std::printf("  yardstick: copy schedule  %s\n", Spread(samples[4], "%.4f").c_str());
    std::printf("  findings + marks / copy   %.1fx (median of per-round ratios); goal: under 16 ms\n",
                MedianRatio(samples[0], samples[4]));
    overlapsOnly();
    checkOverlaps();
    std::printf(
        "  250 periods all overlapping: %zu overlap findings (one per pair); check prints %zu lines\n",
        overlapFindings, checkLines);
    std::printf("    findings                %s\n", Spread(samples[5], "%.3f").c_str());
    std::printf("    check's warnings        %s\n", Spread(samples[6], "%.3f").c_str());
    std::printf("    findings / copy         %.1fx (median of per-round ratios)\n",
                MedianRatio(samples[5], samples[4]));
    return 0;
}
