#pragma once

// Turns fuzz bytes into a Schedule and back. The layout is plain and read from the front so that
// seed inputs can be written from real schedules (ScheduleToFuzzBytes) and mutations stay local:
//
//   flags (1)           bit 0: name and field bytes taken raw (else masked to 0..127, always encodable)
//                       bit 1: counts taken as raw 16-bit values with a separate storage size
//   seed (8)            for the writer's random source
//   basic count         1 byte, or 2 + 1 (count, storage size) with bit 1
//   basic entries       28 bytes each: name 16, ext 4, reserved 6, playTimes, volume
//   advance count       as the basic count
//   advance entries     13 bytes of date, time and week day, a count as above, then its detail entries
//
// Bytes past the end read as 0, so every input gives a schedule.

#include "model/schedule.h"

#include <cstddef>
#include <cstdint>
#include <vector>

namespace velmo::fuzz {

inline constexpr std::uint8_t kRawBytes = 1;
inline constexpr std::uint8_t kRawCounts = 2;
// Keeps one execution cheap; the largest schedule the editor can save holds about 1000 entries.
inline constexpr std::size_t kMaxFileEntries = 4000;

class FuzzBytes {
public:
    FuzzBytes(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}
    std::uint8_t u8() { return pos_ < size_ ? data_[pos_++] : 0; }
    std::uint16_t u16() { return static_cast<std::uint16_t>(u8() | (u8() << 8)); }
    std::uint64_t u64() {
        std::uint64_t value = 0;
        for (int i = 0; i < 8; ++i)
            value |= static_cast<std::uint64_t>(u8()) << (8 * i);
        return value;
    }

private:
    const std::uint8_t* data_;
    std::size_t size_;
    std::size_t pos_ = 0;
};

struct FuzzSchedule {
    std::uint8_t flags = 0;
    std::uint64_t seed = 0;
    Schedule schedule;
};

namespace detail {

struct Count {
    std::int16_t count = 0;
    std::size_t storage = 1;
};

inline Count readCount(FuzzBytes& in, std::uint8_t flags, std::size_t& budget) {
    Count c;
    if (flags & kRawCounts) {
        c.count = static_cast<std::int16_t>(in.u16());
        c.storage = in.u8();
    } else {
        c.count = in.u8();
        c.storage = static_cast<std::size_t>(c.count) + 1;
    }
    if (c.storage > budget)
        c.storage = budget;
    budget -= c.storage;
    return c;
}

inline std::uint8_t field(FuzzBytes& in, std::uint8_t flags) {
    const std::uint8_t b = in.u8();
    return (flags & kRawBytes) ? b : static_cast<std::uint8_t>(b & 0x7F);
}

inline FileEntry readFile(FuzzBytes& in, std::uint8_t flags) {
    FileEntry e;
    for (auto& b : e.fileName)
        b = field(in, flags);
    for (auto& b : e.fileExt)
        b = field(in, flags);
    for (auto& b : e.reserved)
        b = field(in, flags);
    e.playTimes = field(in, flags);
    e.volume = field(in, flags);
    return e;
}

inline void writeFile(std::vector<std::uint8_t>& out, const FileEntry& e) {
    out.insert(out.end(), e.fileName.begin(), e.fileName.end());
    out.insert(out.end(), e.fileExt.begin(), e.fileExt.end());
    out.insert(out.end(), e.reserved.begin(), e.reserved.end());
    out.push_back(e.playTimes);
    out.push_back(e.volume);
}

inline std::uint8_t* advanceFields(AdvanceEntry& a, int i) {
    std::uint8_t* fields[] = {&a.startYear,   &a.startMonth, &a.startDay,  &a.startHour, &a.startMinute,
                              &a.startSecond, &a.stopYear,   &a.stopMonth, &a.stopDay,   &a.stopHour,
                              &a.stopMinute,  &a.stopSecond, &a.weekDay};
    return fields[i];
}

} // namespace detail

inline FuzzSchedule FuzzBytesToSchedule(const std::uint8_t* data, std::size_t size) {
    FuzzBytes in(data, size);
    FuzzSchedule out;
    out.flags = in.u8();
    out.seed = in.u64();
    std::size_t budget = kMaxFileEntries;
    Schedule& s = out.schedule;

    const detail::Count basic = detail::readCount(in, out.flags, budget);
    s.basicCount = basic.count;
    s.basicEntries.assign(basic.storage, FileEntry{});
    for (FileEntry& e : s.basicEntries)
        e = detail::readFile(in, out.flags);

    std::size_t advanceBudget = 256;
    const detail::Count advance = detail::readCount(in, out.flags, advanceBudget);
    s.advanceCount = advance.count;
    s.advanceEntries.assign(advance.storage, AdvanceEntry{});
    for (AdvanceEntry& a : s.advanceEntries) {
        for (int i = 0; i < 13; ++i)
            *detail::advanceFields(a, i) = detail::field(in, out.flags);
        const detail::Count files = detail::readCount(in, out.flags, budget);
        a.fileCount = files.count;
        a.files.assign(files.storage, FileEntry{});
        for (FileEntry& e : a.files)
            e = detail::readFile(in, out.flags);
    }
    return out;
}

// The input that FuzzBytesToSchedule turns back into this schedule (counts 0..255, bytes 0..127).
inline std::vector<std::uint8_t> ScheduleToFuzzBytes(const Schedule& s, std::uint64_t seed) {
    std::vector<std::uint8_t> out;
    out.push_back(0);
    for (int i = 0; i < 8; ++i)
        out.push_back(static_cast<std::uint8_t>(seed >> (8 * i)));
    out.push_back(static_cast<std::uint8_t>(s.basicCount));
    for (int i = 0; i < s.basicCount; ++i)
        detail::writeFile(out, s.basicEntries[static_cast<std::size_t>(i)]);
    out.insert(out.end(), 28, 0); // the spare element after the entries
    out.push_back(static_cast<std::uint8_t>(s.advanceCount));
    for (int i = 0; i <= s.advanceCount; ++i) {
        AdvanceEntry a = i < s.advanceCount ? s.advanceEntries[static_cast<std::size_t>(i)] : AdvanceEntry{};
        for (int f = 0; f < 13; ++f)
            out.push_back(*detail::advanceFields(a, f));
        out.push_back(static_cast<std::uint8_t>(a.fileCount));
        for (int j = 0; j < a.fileCount; ++j)
            detail::writeFile(out, a.files[static_cast<std::size_t>(j)]);
        out.insert(out.end(), 28, 0);
    }
    return out;
}

} // namespace velmo::fuzz
