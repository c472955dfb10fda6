#include "largest_schedule.h"

#include "rules/entry_rules.h"

#include <cstdio>
#include <cstdlib>
#include <string>

namespace velmo::bench {

namespace {

constexpr int kDetailTotal = 623;

FileEntry makeFile(const char* stem, int number, int variant) {
    static constexpr const char* extensions[] = {"MPG", "JPG", "AVI", "MP3", "VOB", "DAT"};
    char name[32]; // room for any int, so the compiler sees no truncation; the numbers used fit 16
    std::snprintf(name, sizeof name, "%s%08d", stem, number);
    FileEntry entry;
    for (int i = 0; i < kFileNameWidth; ++i)
        entry.fileName[static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(name[i]);
    const std::string ext = extensions[variant % 6];
    for (std::size_t i = 0; i < ext.size(); ++i)
        entry.fileExt[i] = static_cast<std::uint8_t>(ext[i]);
    entry.playTimes = static_cast<std::uint8_t>(1 + variant % kMaxPlayTimes);
    // Volumes 0 to 12 or the default, as the file editor stores them.
    entry.volume = static_cast<std::uint8_t>(variant % 3 == 0 ? kVolumeDefault : variant % kVolumeDefault);
    return entry;
}

} // namespace

Schedule LargestSchedule() {
    Schedule schedule;
    schedule.basicEntries.clear();
    for (int i = 0; i < kMaxBasicEntries; ++i)
        schedule.basicEntries.push_back(makeFile("BASICCLP", i, i));
    schedule.basicEntries.emplace_back();
    schedule.basicCount = kMaxBasicEntries;

    schedule.advanceEntries.clear();
    int detailsLeft = kDetailTotal;
    for (int i = 0; i < kMaxAdvanceEntries; ++i) {
        AdvanceEntry entry;
        entry.startYear = static_cast<std::uint8_t>(7 + i / 120);
        entry.startMonth = static_cast<std::uint8_t>(1 + i % 12);
        entry.startDay = static_cast<std::uint8_t>(1 + i % 28);
        entry.startHour = static_cast<std::uint8_t>(i % 12);
        entry.stopYear = static_cast<std::uint8_t>(entry.startYear + 1);
        entry.stopMonth = entry.startMonth;
        entry.stopDay = entry.startDay;
        entry.stopHour = static_cast<std::uint8_t>(12 + i % 12);
        entry.stopMinute = 59;
        entry.stopSecond = 59;
        entry.weekDay = static_cast<std::uint8_t>(i % 8);
        // The first entry takes a full detail list; the rest share what is left as evenly as it goes.
        const int entriesLeft = kMaxAdvanceEntries - i;
        const int files = i == 0 ? kMaxDetailEntries : (detailsLeft + entriesLeft - 1) / entriesLeft;
        for (int j = 0; j < files; ++j)
            entry.files.push_back(makeFile("DETAILCL", i * 1000 + j, i + j));
        entry.files.emplace_back();
        entry.fileCount = static_cast<std::int16_t>(files);
        detailsLeft -= files;
        schedule.advanceEntries.push_back(std::move(entry));
    }
    schedule.advanceEntries.emplace_back();
    schedule.advanceCount = kMaxAdvanceEntries;

    // Every entry one the editors could have stored, so the figures are of a schedule users can make.
    bool storable = true;
    for (int i = 0; i < kMaxBasicEntries; ++i)
        storable = storable && CheckStoredFileEntry(schedule.basicEntries[static_cast<std::size_t>(i)]) ==
                                   FileEntryFault::None;
    for (int i = 0; i < kMaxAdvanceEntries; ++i) {
        const AdvanceEntry& entry = schedule.advanceEntries[static_cast<std::size_t>(i)];
        storable = storable && CheckStoredAdvanceEntry(entry) == AdvanceEntryFault::None;
        for (int j = 0; j < entry.fileCount; ++j)
            storable = storable &&
                       CheckStoredFileEntry(entry.files[static_cast<std::size_t>(j)]) == FileEntryFault::None;
    }
    if (!storable) {
        std::fprintf(stderr, "largest schedule: holds an entry the editors cannot store\n");
        std::abort();
    }
    if (detailsLeft != 0 || ScheduleSize(schedule) != 29990 || !CheckScheduleSize(schedule)) {
        std::fprintf(stderr, "largest schedule: size %ld is not the intended 29990\n",
                     ScheduleSize(schedule));
        std::abort();
    }
    return schedule;
}

} // namespace velmo::bench
