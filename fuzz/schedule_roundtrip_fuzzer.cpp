// Builds a schedule from the fuzz bytes (layout in schedule_builder.h), writes it and reads it back.
// A refusal by the writer is fine where the model cannot be stored, and must leave the output alone;
// anything written must have the layout's fixed parts in range and read back to the same schedule.

#include "fuzz_check.h"
#include "model/schedule_file.h"
#include "schedule_builder.h"

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

using namespace velmo;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const fuzz::FuzzSchedule input = fuzz::FuzzBytesToSchedule(data, size);
    const Schedule& schedule = input.schedule;
    SeededRandomSource random(input.seed);
    const std::vector<std::uint8_t> untouched = {1, 2, 3};
    std::vector<std::uint8_t> bytes = untouched;
    const Result written = EncodeSchedule(schedule, random, bytes);
    if (!written) {
        VELMO_FUZZ_CHECK(!fuzz::Encodable(schedule), "refused a schedule it must store: %s",
                         written.reason.c_str());
        VELMO_FUZZ_CHECK(!written.reason.empty(), "a refusal without a reason");
        VELMO_FUZZ_CHECK(bytes == untouched, "a refusal produced output");
        return 0;
    }

    VELMO_FUZZ_CHECK(bytes.size() >= 150, "only %zu bytes written", bytes.size());
    VELMO_FUZZ_CHECK(std::memcmp(bytes.data(), kScheduleMagic, 5) == 0 &&
                         std::memcmp(bytes.data() + 5, kScheduleKernelVersion, 20) == 0,
                     "magic or version missing");
    const int regionLength = bytes[30], keyOffset = bytes[32], keyLength = bytes[34];
    VELMO_FUZZ_CHECK(regionLength >= 100 && keyOffset <= regionLength - 50 && keyLength >= 30 &&
                         keyLength <= 50,
                     "key region %d, offset %d, length %d out of range", regionLength, keyOffset, keyLength);
    VELMO_FUZZ_CHECK(bytes[40] == schedule.basicCount && bytes[41] == schedule.advanceCount,
                     "header counts %d/%d for %d/%d", bytes[40], bytes[41], schedule.basicCount,
                     schedule.advanceCount);
    for (int m = 0; m < regionLength; ++m)
        VELMO_FUZZ_CHECK(bytes[50u + m] <= 127, "key region byte %d is %d", m, bytes[50u + m]);
    VELMO_FUZZ_CHECK(bytes.size() == fuzz::FileLength(bytes[30], schedule), "%zu bytes where %zu belong",
                     bytes.size(), fuzz::FileLength(bytes[30], schedule));

    Schedule back;
    const Result read = DecodeSchedule(bytes.data(), bytes.size(), back);
    VELMO_FUZZ_CHECK(read, "cannot read what was written: %s", read.reason.c_str());
    VELMO_FUZZ_CHECK(back == schedule, "the schedule read back differs from the one written");
    return 0;
}
