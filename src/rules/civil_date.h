#pragma once

#include "texts/screen_texts.h"

#include <compare>
#include <optional>
#include <string>
#include <string_view>

namespace velmo {

// A date of the proleptic Gregorian calendar, compared year first.
struct CivilDate {
    int year = 2000;
    int month = 1;
    int day = 1;

    auto operator<=>(const CivilDate&) const = default;
};

struct ClockTime {
    int hour = 0;
    int minute = 0;
    int second = 0;

    auto operator<=>(const ClockTime&) const = default;
};

// "YYYY-MM-DD" with four, two and two digits naming a real calendar day.
std::optional<CivilDate> ParseIsoDate(std::string_view text);
// "HH:MM:SS" or "HH:MM" (second 0), 00..23, 00..59, 00..59.
std::optional<ClockTime> ParseClockTime(std::string_view text);

std::string FormatIsoDate(const CivilDate& date);
// "YYYY/MM/DD", as the lists, the overview and the messages show a date.
std::string FormatSlashDate(const CivilDate& date);
std::string FormatClockTime(const ClockTime& time);

bool IsValidCivilDate(const CivilDate& date);

// Days since 1970-01-01; month must be 1..12, any day number is counted on from the month's start.
long DayNumber(const CivilDate& date);
CivilDate DateOfDayNumber(long dayNumber);
// 0 Sunday .. 6 Saturday, the week-day codes of the schedule.
int WeekDayOf(const CivilDate& date);
int WeekDayOfDayNumber(long dayNumber);
// The fixed English word of a week-day code, whatever the screen language; "All Day" for any other.
const char* WeekDayWord(int weekDay);
// The screen text of a week-day code ("Monday" in the chosen language); TextAllDay for any other.
TextId WeekDayTextId(int weekDay);

} // namespace velmo
