#pragma once

#include "model/schedule.h"

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <vector>

namespace velmo::fuzz {

// A broken property is a crash to the fuzzer, with the input saved as an artifact.
#define VELMO_FUZZ_CHECK(condition, ...)                                                                     \
    do {                                                                                                     \
        if (!(condition)) {                                                                                  \
            std::fprintf(stderr, "%s:%d: check failed: %s\n  ", __FILE__, __LINE__, #condition);             \
            std::fprintf(stderr, __VA_ARGS__);                                                               \
            std::fputc('\n', stderr);                                                                        \
            std::abort();                                                                                    \
        }                                                                                                    \
    } while (0)

// Equal down to the storage beyond the counts: what "left as it was" means.
inline bool Identical(const Schedule& a, const Schedule& b) {
    if (a.basicCount != b.basicCount || a.advanceCount != b.advanceCount ||
        a.basicEntries != b.basicEntries || a.advanceEntries.size() != b.advanceEntries.size())
        return false;
    for (std::size_t i = 0; i < a.advanceEntries.size(); ++i) {
        const AdvanceEntry& x = a.advanceEntries[i];
        const AdvanceEntry& y = b.advanceEntries[i];
        if (!(x == y) || x.fileCount != y.fileCount || x.files != y.files)
            return false;
    }
    return true;
}

// The length a schedule file with these counts has: header, key region, then the records.
inline std::size_t FileLength(std::uint8_t keyRegionLength, const Schedule& s) {
    std::size_t length = 50u + keyRegionLength;
    if (s.basicCount > 0)
        length += 2u + 30u * static_cast<std::size_t>(s.basicCount);
    for (int i = 0; i < s.advanceCount; ++i)
        length +=
            17u + 30u * static_cast<std::size_t>(s.advanceEntries[static_cast<std::size_t>(i)].fileCount);
    return length;
}

// A model the writer must accept whatever its key: every scrambled byte at most 128 (key bytes are at
// most 127), counts the file can hold.
inline bool Encodable(const Schedule& s) {
    auto fits = [](const FileEntry& e) {
        for (std::uint8_t b : e.fileName)
            if (b > 128)
                return false;
        for (std::uint8_t b : e.fileExt)
            if (b > 128)
                return false;
        for (std::uint8_t b : e.reserved)
            if (b > 128)
                return false;
        return e.playTimes <= 128 && e.volume <= 128;
    };
    auto countFits = [](int count, std::size_t held) {
        return count >= 0 && count <= 255 && static_cast<std::size_t>(count) <= held;
    };
    if (!countFits(s.basicCount, s.basicEntries.size()) ||
        !countFits(s.advanceCount, s.advanceEntries.size()))
        return false;
    for (int i = 0; i < s.basicCount; ++i)
        if (!fits(s.basicEntries[static_cast<std::size_t>(i)]))
            return false;
    for (int i = 0; i < s.advanceCount; ++i) {
        const AdvanceEntry& a = s.advanceEntries[static_cast<std::size_t>(i)];
        const std::uint8_t values[] = {a.startYear,   a.startMonth, a.startDay,  a.startHour, a.startMinute,
                                       a.startSecond, a.stopYear,   a.stopMonth, a.stopDay,   a.stopHour,
                                       a.stopMinute,  a.stopSecond, a.weekDay};
        for (std::uint8_t b : values)
            if (b > 128)
                return false;
        // The detail count is scrambled like the fields, so it too must stay at 128 or below.
        if (!countFits(a.fileCount, a.files.size()) || a.fileCount > 128)
            return false;
        for (int j = 0; j < a.fileCount; ++j)
            if (!fits(a.files[static_cast<std::size_t>(j)]))
                return false;
    }
    return true;
}

} // namespace velmo::fuzz
