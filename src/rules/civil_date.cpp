#include "civil_date.h"

#include "rules/entry_rules.h"

#include <cstdio>

namespace velmo {

namespace {

// Reads exactly `width` decimal digits at `pos`.
std::optional<int> digits(std::string_view text, std::size_t pos, std::size_t width) {
    if (pos + width > text.size())
        return std::nullopt;
    int value = 0;
    for (std::size_t i = pos; i < pos + width; ++i) {
        const char c = text[i];
        if (c < '0' || c > '9')
            return std::nullopt;
        value = value * 10 + (c - '0');
    }
    return value;
}

} // namespace

bool IsValidCivilDate(const CivilDate& date) {
    return date.year >= 1 && date.year <= 9999 && date.month >= 1 && date.month <= 12 && date.day >= 1 &&
           date.day <= DaysOfMonth(date.year, date.month);
}

std::optional<CivilDate> ParseIsoDate(std::string_view text) {
    if (text.size() != 10 || text[4] != '-' || text[7] != '-')
        return std::nullopt;
    const auto year = digits(text, 0, 4);
    const auto month = digits(text, 5, 2);
    const auto day = digits(text, 8, 2);
    if (!year || !month || !day)
        return std::nullopt;
    const CivilDate date{*year, *month, *day};
    if (!IsValidCivilDate(date))
        return std::nullopt;
    return date;
}

std::optional<ClockTime> ParseClockTime(std::string_view text) {
    const bool withSeconds = text.size() == 8 && text[5] == ':';
    if ((!withSeconds && text.size() != 5) || text[2] != ':')
        return std::nullopt;
    const auto hour = digits(text, 0, 2);
    const auto minute = digits(text, 3, 2);
    const auto second = withSeconds ? digits(text, 6, 2) : std::optional<int>(0);
    if (!hour || !minute || !second || *hour > 23 || *minute > 59 || *second > 59)
        return std::nullopt;
    return ClockTime{*hour, *minute, *second};
}

namespace {

std::string formatDate(const CivilDate& date, char separator) {
    char buffer[40];
    std::snprintf(buffer, sizeof buffer, "%04d%c%02d%c%02d", date.year, separator, date.month, separator,
                  date.day);
    return buffer;
}

} // namespace

std::string FormatIsoDate(const CivilDate& date) {
    return formatDate(date, '-');
}

std::string FormatSlashDate(const CivilDate& date) {
    return formatDate(date, '/');
}

const char* WeekDayWord(int weekDay) {
    static constexpr const char* words[] = {"Sunday",   "Monday", "Tuesday", "Wednesday",
                                            "Thursday", "Friday", "Saturday"};
    return weekDay >= 0 && weekDay < 7 ? words[weekDay] : "All Day";
}

TextId WeekDayTextId(int weekDay) {
    static constexpr TextId texts[] = {TextId::TextSunday,    TextId::TextMonday,   TextId::TextTuesday,
                                       TextId::TextWednesday, TextId::TextThursday, TextId::TextFriday,
                                       TextId::TextSaturday};
    return weekDay >= 0 && weekDay < 7 ? texts[weekDay] : TextId::TextAllDay;
}

std::string FormatClockTime(const ClockTime& time) {
    char buffer[32];
    std::snprintf(buffer, sizeof buffer, "%02d:%02d:%02d", time.hour, time.minute, time.second);
    return buffer;
}

// Howard Hinnant's days_from_civil: exact for every Gregorian date, no table, no time zone.
long DayNumber(const CivilDate& date) {
    const long y = static_cast<long>(date.year) - (date.month <= 2 ? 1 : 0);
    const long era = (y >= 0 ? y : y - 399) / 400;
    const long yearOfEra = y - era * 400;
    const long monthIndex = (date.month + 9) % 12; // March = 0
    const long dayOfYear = (153 * monthIndex + 2) / 5 + date.day - 1;
    const long dayOfEra = yearOfEra * 365 + yearOfEra / 4 - yearOfEra / 100 + dayOfYear;
    return era * 146097 + dayOfEra - 719468;
}

CivilDate DateOfDayNumber(long dayNumber) {
    const long z = dayNumber + 719468;
    const long era = (z >= 0 ? z : z - 146096) / 146097;
    const long dayOfEra = z - era * 146097;
    const long yearOfEra = (dayOfEra - dayOfEra / 1460 + dayOfEra / 36524 - dayOfEra / 146096) / 365;
    const long dayOfYear = dayOfEra - (365 * yearOfEra + yearOfEra / 4 - yearOfEra / 100);
    const long monthIndex = (5 * dayOfYear + 2) / 153;
    const int day = static_cast<int>(dayOfYear - (153 * monthIndex + 2) / 5 + 1);
    const int month = static_cast<int>(monthIndex < 10 ? monthIndex + 3 : monthIndex - 9);
    const int year = static_cast<int>(yearOfEra + era * 400 + (month <= 2 ? 1 : 0));
    return {year, month, day};
}

int WeekDayOf(const CivilDate& date) {
    return WeekDayOfDayNumber(DayNumber(date));
}

int WeekDayOfDayNumber(long n) {
    // 1970-01-01 was a Thursday (4).
    return static_cast<int>(n >= -4 ? (n + 4) % 7 : (n + 5) % 7 + 6);
}

} // namespace velmo
