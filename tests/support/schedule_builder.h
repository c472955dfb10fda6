#pragma once

// Entries for tests, made by the program's own functions (MakeFileEntry, StoreAdvanceEntry,
// SetDetailEntries, MakeSchedule), so that a test states only the values it is about. Free of Qt.

#include "model/schedule.h"
#include "rules/civil_date.h"
#include "rules/entry_rules.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace velmo::test {

// A file entry NAME.EXT; played once at the player's default volume unless told.
inline FileEntry MakeFile(const std::string& name, const std::string& ext = "MP3", int playTimes = 1,
                          int volume = kVolumeDefault) {
    return MakeFileEntry(name, ext, playTimes, volume);
}

// `count` numbered files <prefix><first>.MP3, <prefix><first + 1>.MP3, ...
inline std::vector<FileEntry> Files(const std::string& prefix, int count, int first = 0) {
    std::vector<FileEntry> files;
    for (int i = 0; i < count; ++i)
        files.push_back(MakeFile(prefix + std::to_string(first + i)));
    return files;
}

// A period from day `start` to day `stop` ("2007-05-31"), from `startTime` to `stopTime` ("08:30:00")
// each day, on one week day (0 Sunday to 6 Saturday) or on every day (kWeekDayAll), with these
// details: stored as the advance editor stores what it shows.
inline AdvanceEntry Period(const std::string& start, const std::string& stop, int weekDay = kWeekDayAll,
                           const std::string& startTime = "00:00:00",
                           const std::string& stopTime = "23:59:59", std::vector<FileEntry> files = {}) {
    const auto date = [](const std::string& text) {
        const auto parsed = ParseIsoDate(text);
        EXPECT_TRUE(parsed.has_value()) << text;
        const CivilDate d = parsed.value_or(CivilDate{kFirstYear, 1, 1});
        return DateSetup{d.year, d.month, d.day};
    };
    const auto time = [](const std::string& text) {
        const auto parsed = ParseClockTime(text);
        EXPECT_TRUE(parsed.has_value()) << text;
        const ClockTime t = parsed.value_or(ClockTime{});
        return TimeSetup{t.hour, t.minute, t.second};
    };
    AdvanceEntry entry;
    StoreAdvanceEntry(entry, {date(start), date(stop), time(startTime), time(stopTime), weekDay}, true);
    SetDetailEntries(entry, std::move(files));
    return entry;
}

} // namespace velmo::test
