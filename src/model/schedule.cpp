#include "schedule.h"

#include <algorithm>

namespace velmo {

namespace {
template <typename T>
bool sameEntries(const std::vector<T>& a, int countA, const std::vector<T>& b, int countB) {
    if (countA != countB || countA < 0 || static_cast<size_t>(countA) > a.size() ||
        static_cast<size_t>(countB) > b.size())
        return countA == countB && countA <= 0;
    return std::equal(a.begin(), a.begin() + countA, b.begin());
}
} // namespace

bool AdvanceEntry::operator==(const AdvanceEntry& o) const {
    return startYear == o.startYear && startMonth == o.startMonth && startDay == o.startDay &&
           startHour == o.startHour && startMinute == o.startMinute && startSecond == o.startSecond &&
           stopYear == o.stopYear && stopMonth == o.stopMonth && stopDay == o.stopDay &&
           stopHour == o.stopHour && stopMinute == o.stopMinute && stopSecond == o.stopSecond &&
           weekDay == o.weekDay && sameEntries(files, fileCount, o.files, o.fileCount);
}

bool Schedule::operator==(const Schedule& o) const {
    return sameEntries(basicEntries, basicCount, o.basicEntries, o.basicCount) &&
           sameEntries(advanceEntries, advanceCount, o.advanceEntries, o.advanceCount);
}

long ScheduleSize(const Schedule& s) {
    long details = 0;
    for (int i = 0; i < s.advanceCount && i < static_cast<int>(s.advanceEntries.size()); ++i)
        details += s.advanceEntries[i].fileCount;
    return 50L + 30L * s.basicCount + 15L * s.advanceCount + 30L * details;
}

bool CheckScheduleSize(const Schedule& schedule) {
    return ScheduleSize(schedule) < kMaxScheduleSize;
}

FileEntry MakeFileEntry(std::string_view name, std::string_view ext, int playTimes, int volume) {
    FileEntry entry;
    std::copy_n(name.begin(), std::min(name.size(), entry.fileName.size()), entry.fileName.begin());
    std::copy_n(ext.begin(), std::min(ext.size(), entry.fileExt.size()), entry.fileExt.begin());
    entry.playTimes = static_cast<std::uint8_t>(playTimes);
    entry.volume = static_cast<std::uint8_t>(volume);
    return entry;
}

Schedule MakeSchedule(std::vector<FileEntry> basic, std::vector<AdvanceEntry> advance) {
    Schedule s;
    s.basicCount = static_cast<std::int16_t>(basic.size());
    s.basicEntries = std::move(basic);
    s.basicEntries.emplace_back();
    s.advanceCount = static_cast<std::int16_t>(advance.size());
    s.advanceEntries = std::move(advance);
    s.advanceEntries.emplace_back();
    return s;
}

void SetDetailEntries(AdvanceEntry& entry, std::vector<FileEntry> files) {
    entry.fileCount = static_cast<std::int16_t>(files.size());
    entry.files = std::move(files);
    entry.files.emplace_back();
}

} // namespace velmo
