// Peak memory of the undo history: the largest schedule a file may hold (255 periods of 255 files)
// edited 128 times, each edit recorded as the editor records it, against the memory of one copy of
// that schedule measured in the same run.
//
//   undo_memory_bench [edits=128]

#include "bench_util.h"
#include "rules/schedule_history.h"

#include <cstdio>
#include <fstream>
#include <string>

using namespace velmo;

namespace {

// The process's peak resident memory so far, in KiB.
long peakKiB() {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line))
        if (line.rfind("VmHWM:", 0) == 0)
            return std::stol(line.substr(6));
    return -1;
}

DocumentState widest() {
    DocumentState state{{}, "/schedules/", "widest.vlm"};
    Schedule& s = state.schedule;
    AdvanceEntry period;
    period.startYear = period.stopYear = 7;
    period.startMonth = period.stopMonth = 1;
    period.startDay = period.stopDay = 1;
    period.weekDay = kWeekDayAll;
    period.fileCount = 255;
    period.files.assign(256, MakeFileEntry("CLIP0123456789AB", "MP3", 1, kVolumeDefault));
    s.advanceEntries.assign(256, period);
    s.advanceCount = 255;
    s.basicEntries.assign(256, MakeFileEntry("BASIC0123456789A", "AVI", 1, kVolumeDefault));
    s.basicCount = 255;
    return state;
}

} // namespace

int main(int argc, char** argv) {
    const int edits = bench::CountArgument(argc, argv, 1, 128);
    DocumentState current = widest();
    const long base = peakKiB();
    {
        // The yardstick: one more copy of the schedule.
        const DocumentState copy = current;
        std::printf("one copy of the schedule: %ld KiB peak growth (estimate %zu KiB)\n", peakKiB() - base,
                    StateBytes(copy) / 1024);
    }
    const long oneCopy = std::max(1L, peakKiB() - base);
    const long beforeHistory = peakKiB();
    ScheduleHistory history;
    history.reset(current);
    for (int i = 0; i < edits; ++i) {
        DocumentState after = current;
        AdvanceEntry& period = after.schedule.advanceEntries[static_cast<std::size_t>(i % 255)];
        period.files[static_cast<std::size_t>(i % 255)].playTimes = static_cast<std::uint8_t>(2 + i % 90);
        history.record(TextId::TextModify, current, {}, after, {});
        current = std::move(after);
    }
    const long growth = peakKiB() - beforeHistory;
    std::printf("%d edits: %zu undo steps kept, %zu KiB counted against a cap of %zu KiB\n", edits,
                history.undoSteps(), history.bytes() / 1024, kHistoryBytes / 1024);
    std::printf("peak memory growth of the history: %ld KiB = %.1f copies of the schedule\n", growth,
                static_cast<double>(growth) / static_cast<double>(oneCopy));
    return 0;
}
