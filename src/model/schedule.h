#pragma once

#include <array>
#include <cstdint>
#include <string_view>
#include <vector>

namespace velmo {

constexpr int kMaxBasicEntries = 250;
constexpr int kMaxAdvanceEntries = 250;
constexpr int kMaxDetailEntries = 100;
// The size estimate of a schedule must stay below this for it to be saved.
constexpr int kMaxScheduleSize = 30000;

constexpr int kFileNameWidth = 16;
constexpr int kFileExtWidth = 4;
constexpr int kReservedWidth = 6;
constexpr std::uint8_t kVolumeDefault = 13;
constexpr std::uint8_t kMaxPlayTimes = 100;
constexpr std::uint8_t kWeekDayAll = 7;

// One media file with its play settings: a basic entry or a detail entry.
struct FileEntry {
    std::array<std::uint8_t, kFileNameWidth> fileName{};
    std::array<std::uint8_t, kFileExtWidth> fileExt{};
    std::array<std::uint8_t, kReservedWidth> reserved{};
    std::uint8_t playTimes = 0;
    std::uint8_t volume = 0;

    bool operator==(const FileEntry&) const = default;
};

// A date range with a daily time window and a week-day rule, and its detail entries.
struct AdvanceEntry {
    std::uint8_t startYear = 0; // year - 2000
    std::uint8_t startMonth = 0;
    std::uint8_t startDay = 0;
    std::uint8_t startHour = 0;
    std::uint8_t startMinute = 0;
    std::uint8_t startSecond = 0;
    std::uint8_t stopYear = 0;
    std::uint8_t stopMonth = 0;
    std::uint8_t stopDay = 0;
    std::uint8_t stopHour = 0;
    std::uint8_t stopMinute = 0;
    std::uint8_t stopSecond = 0;
    std::uint8_t weekDay = 0; // 0 Sunday .. 6 Saturday, 7 every day
    std::int16_t fileCount = 0;
    // Elements 0..fileCount-1 are the entries; the storage may hold more.
    std::vector<FileEntry> files;

    // Compares the entries in use only.
    bool operator==(const AdvanceEntry& other) const;
};

// The schedule. Elements 0..count-1 of each sequence are the entries in use, in list order;
// the storage may hold further elements, which have no meaning.
struct Schedule {
    std::vector<FileEntry> basicEntries = std::vector<FileEntry>(1);
    std::int16_t basicCount = 0;
    std::vector<AdvanceEntry> advanceEntries = std::vector<AdvanceEntry>(1);
    std::int16_t advanceCount = 0;

    // Compares the entries in use only.
    bool operator==(const Schedule& other) const;
};

// 50 + 30 per basic entry + 15 per advance entry + 30 per detail entry; wide enough for any counts.
long ScheduleSize(const Schedule& schedule);
bool CheckScheduleSize(const Schedule& schedule);

// A file entry named `name`.`ext`, each cut to its field's width (16 and 4 bytes), with this play
// count and volume.
FileEntry MakeFileEntry(std::string_view name, std::string_view ext, int playTimes, int volume);

// A schedule holding exactly these entries, with the one spare element a load leaves behind.
Schedule MakeSchedule(std::vector<FileEntry> basic, std::vector<AdvanceEntry> advance);
// Gives an advance entry exactly these detail entries, likewise.
void SetDetailEntries(AdvanceEntry& entry, std::vector<FileEntry> files);

} // namespace velmo
