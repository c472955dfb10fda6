// Feeds arbitrary bytes to the schedule file reader. Besides crashes and sanitizer findings it checks
// what the reader promises: a refusal leaves the model exactly as it was; an accepted file has the
// counts of its header, is long enough for them, and no shorter prefix of it is accepted; whatever
// it yields that the writer can encode comes back unchanged through a write and a read.

#include "fuzz_check.h"
#include "model/random_source.h"
#include "model/schedule_file.h"

#include <cstddef>
#include <cstdint>
#include <vector>

using namespace velmo;
using velmo::fuzz::Identical;

namespace {

// A model with content and spare storage, so a reader that touched it on failure would show.
Schedule Previous() {
    Schedule s;
    s.basicCount = 2;
    s.basicEntries.assign(4, FileEntry{});
    s.basicEntries[0].fileName[0] = 'A';
    s.basicEntries[3].volume = 9;
    s.advanceCount = 1;
    s.advanceEntries.assign(3, AdvanceEntry{});
    s.advanceEntries[0].fileCount = 1;
    s.advanceEntries[0].files.assign(2, FileEntry{});
    s.advanceEntries[2].weekDay = 5;
    return s;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const Schedule previous = Previous();
    Schedule schedule = previous;
    const Result result = DecodeSchedule(data, size, schedule);
    if (!result) {
        VELMO_FUZZ_CHECK(!result.reason.empty(), "a refusal without a reason");
        VELMO_FUZZ_CHECK(Identical(schedule, previous), "a refused file changed the model: %s",
                         result.reason.c_str());
        return 0;
    }

    VELMO_FUZZ_CHECK(size >= 50, "accepted a file of %zu bytes, shorter than the header", size);
    VELMO_FUZZ_CHECK(schedule.basicCount == data[40] && schedule.advanceCount == data[41],
                     "counts %d/%d differ from the header's %d/%d", schedule.basicCount,
                     schedule.advanceCount, data[40], data[41]);
    // Storage is resized to one past each count, keeping what was there, as a resize does.
    VELMO_FUZZ_CHECK(schedule.basicEntries.size() == static_cast<std::size_t>(schedule.basicCount) + 1 &&
                         schedule.advanceEntries.size() ==
                             static_cast<std::size_t>(schedule.advanceCount) + 1,
                     "storage %zu/%zu for counts %d/%d", schedule.basicEntries.size(),
                     schedule.advanceEntries.size(), schedule.basicCount, schedule.advanceCount);
    if (static_cast<std::size_t>(schedule.basicCount) < previous.basicEntries.size())
        VELMO_FUZZ_CHECK(schedule.basicEntries.back() ==
                             previous.basicEntries[schedule.basicEntries.size() - 1],
                         "the spare basic element was not kept");
    for (int i = 0; i < schedule.advanceCount; ++i) {
        const AdvanceEntry& a = schedule.advanceEntries[static_cast<std::size_t>(i)];
        VELMO_FUZZ_CHECK(a.fileCount >= 0 && a.fileCount <= 255 &&
                             a.files.size() == static_cast<std::size_t>(a.fileCount) + 1,
                         "advance entry %d: fileCount %d with %zu held", i, a.fileCount, a.files.size());
    }
    const std::size_t needed = fuzz::FileLength(data[30], schedule);
    VELMO_FUZZ_CHECK(size >= needed, "accepted %zu bytes where the counts need %zu", size, needed);
    if (needed > 50u + data[30]) {
        Schedule again = previous;
        VELMO_FUZZ_CHECK(!DecodeSchedule(data, needed - 1, again), "accepted a file one byte short");
        VELMO_FUZZ_CHECK(Identical(again, previous), "a refused prefix changed the model");
    }

    if (fuzz::Encodable(schedule)) {
        SeededRandomSource random(size);
        std::vector<std::uint8_t> bytes;
        const Result written = EncodeSchedule(schedule, random, bytes);
        VELMO_FUZZ_CHECK(written, "cannot write back what was read: %s", written.reason.c_str());
        Schedule back;
        const Result reread = DecodeSchedule(bytes.data(), bytes.size(), back);
        VELMO_FUZZ_CHECK(reread, "cannot read back what was written: %s", reread.reason.c_str());
        VELMO_FUZZ_CHECK(back == schedule, "a write and a read changed the schedule");
    }
    return 0;
}
