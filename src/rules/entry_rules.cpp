#include "entry_rules.h"

#include "model/code_page.h"

#include <algorithm>
#include <array>
#include <tuple>

namespace velmo {

namespace {

bool isAllowedNameCharacter(unsigned char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '.' ||
           c == '_' || c == '-';
}

template <std::size_t N> void appendUntilZero(std::string& out, const std::array<std::uint8_t, N>& bytes) {
    for (std::uint8_t byte : bytes) {
        if (byte == 0)
            break;
        out += CodePageCharacter(byte);
    }
}

template <std::size_t N> void writeZeroPadded(std::array<std::uint8_t, N>& target, std::string_view text) {
    target.fill(0);
    // An indexed loop, not std::copy_n: GCC 12 at -O3 reports a false -Wstringop-overflow past N
    // for the copy_n form.
    for (std::size_t i = 0; i < N && i < text.size(); ++i)
        target[i] = static_cast<std::uint8_t>(text[i]);
}

template <std::size_t N>
FileEntryFault checkStoredName(const std::array<std::uint8_t, N>& bytes, bool extension) {
    bool ended = false;
    for (std::uint8_t byte : bytes) {
        if (byte == 0) {
            ended = true;
            continue;
        }
        if (ended)
            return FileEntryFault::NameGap;
        if (!isAllowedNameCharacter(byte))
            return FileEntryFault::NameCharacterNotAllowed;
        if (byte >= 'a' && byte <= 'z')
            return FileEntryFault::NameNotUpperCase;
        if (extension && byte == '.')
            return FileEntryFault::ExtensionDot;
    }
    return FileEntryFault::None;
}

DateSetup nearestDate(int year, int month, int day) {
    DateSetup date;
    date.year = std::clamp(year, kFirstYear, kLastYear);
    date.month = std::clamp(month, 1, 12);
    date.day = NearestDay(date.year, date.month, day);
    return date;
}

TimeSetup nearestTime(int hour, int minute, int second) {
    return {std::clamp(hour, 0, 23), std::clamp(minute, 0, 59), std::clamp(second, 0, 59)};
}

} // namespace

const char* FileNameFaultText(FileNameFault fault) {
    switch (fault) {
    case FileNameFault::None:
        return "no fault";
    case FileNameFault::Empty:
        return "empty name";
    case FileNameFault::BaseTooLong:
        return "name longer than 16";
    case FileNameFault::ExtensionTooLong:
        return "extension longer than 4";
    case FileNameFault::CharacterNotAllowed:
        return "character not allowed";
    }
    return "unknown fault";
}

std::string TrimSpaces(std::string_view text) {
    const auto first = text.find_first_not_of(' ');
    if (first == std::string_view::npos)
        return {};
    const auto last = text.find_last_not_of(' ');
    return std::string(text.substr(first, last - first + 1));
}

int CharacterCount(std::string_view text) {
    // Every byte but the continuation bytes of a sequence starts a character.
    return static_cast<int>(std::count_if(
        text.begin(), text.end(), [](char c) { return (static_cast<unsigned char>(c) & 0xC0) != 0x80; }));
}

int LastDotPosition(std::string_view text) {
    const auto dot = text.rfind('.');
    if (dot == std::string_view::npos)
        return 0;
    return CharacterCount(text.substr(0, dot)) + 1;
}

bool FileNameCharCheck(std::string_view text) {
    return std::all_of(text.begin(), text.end(),
                       [](char c) { return isAllowedNameCharacter(static_cast<unsigned char>(c)); });
}

FileNameParts SplitFileName(std::string_view trimmed) {
    const auto dot = trimmed.rfind('.');
    if (dot == std::string_view::npos)
        return {std::string(trimmed), {}};
    return {std::string(trimmed.substr(0, dot)), std::string(trimmed.substr(dot + 1))};
}

FileNameFault FileNameCheck(std::string_view typed) {
    const std::string trimmed = TrimSpaces(typed);
    if (trimmed.empty())
        return FileNameFault::Empty;
    const FileNameParts parts = SplitFileName(trimmed);
    if (CharacterCount(parts.base) > kFileNameWidth)
        return FileNameFault::BaseTooLong;
    if (CharacterCount(parts.extension) > kFileExtWidth)
        return FileNameFault::ExtensionTooLong;
    if (!FileNameCharCheck(trimmed))
        return FileNameFault::CharacterNotAllowed;
    return FileNameFault::None;
}

int NearestPlayTimes(int stored) {
    return std::clamp(stored, 0, static_cast<int>(kMaxPlayTimes));
}

int NearestVolume(int stored) {
    return std::clamp(stored, 0, static_cast<int>(kVolumeDefault));
}

bool StoreFileEntry(FileEntry& entry, std::string_view typed, int playTimes, int volume) {
    if (FileNameCheck(typed) != FileNameFault::None)
        return false;
    const FileNameParts parts = SplitFileName(UpperCase(TrimSpaces(typed)));
    writeZeroPadded(entry.fileName, parts.base);
    writeZeroPadded(entry.fileExt, parts.extension);
    entry.reserved.fill(0);
    entry.playTimes = static_cast<std::uint8_t>(NearestPlayTimes(playTimes));
    entry.volume = static_cast<std::uint8_t>(NearestVolume(volume));
    return true;
}

std::string StoredNameText(const FileEntry& entry) {
    std::string text;
    appendUntilZero(text, entry.fileName);
    text += '.';
    appendUntilZero(text, entry.fileExt);
    return text;
}

const char* FileEntryFaultText(FileEntryFault fault) {
    switch (fault) {
    case FileEntryFault::None:
        return "no fault";
    case FileEntryFault::NameCharacterNotAllowed:
        return "name character not allowed";
    case FileEntryFault::NameNotUpperCase:
        return "name not upper-cased";
    case FileEntryFault::NameGap:
        return "name character after a zero byte";
    case FileEntryFault::ExtensionDot:
        return "dot in the extension";
    case FileEntryFault::PlayTimesOutOfRange:
        return "play count above 100";
    case FileEntryFault::VolumeOutOfRange:
        return "volume above 13";
    }
    return "unknown fault";
}

FileEntryFault CheckStoredFileEntry(const FileEntry& entry) {
    if (const FileEntryFault fault = checkStoredName(entry.fileName, false); fault != FileEntryFault::None)
        return fault;
    if (const FileEntryFault fault = checkStoredName(entry.fileExt, true); fault != FileEntryFault::None)
        return fault;
    if (entry.playTimes > kMaxPlayTimes)
        return FileEntryFault::PlayTimesOutOfRange;
    if (entry.volume > kVolumeDefault)
        return FileEntryFault::VolumeOutOfRange;
    return FileEntryFault::None;
}

bool IsLeapYear(int year) {
    return year % 4 == 0 && (year % 100 != 0 || year % 400 == 0);
}

int DaysOfMonth(int year, int month) {
    switch (month) {
    case 1:
    case 3:
    case 5:
    case 7:
    case 8:
    case 10:
    case 12:
        return 31;
    case 2:
        return IsLeapYear(year) ? 29 : 28;
    default:
        return 30;
    }
}

bool CheckDateSetup(const DateSetup& start, const DateSetup& stop) {
    return std::tie(start.year, start.month, start.day) <= std::tie(stop.year, stop.month, stop.day);
}

bool CheckTimeSetup(const TimeSetup& start, const TimeSetup& stop) {
    return std::tie(start.hour, start.minute, start.second) < std::tie(stop.hour, stop.minute, stop.second);
}

AdvanceSetupFault CheckAdvanceSetup(const AdvanceSetup& setup) {
    if (!CheckDateSetup(setup.startDate, setup.stopDate))
        return AdvanceSetupFault::DateSetup;
    if (!CheckTimeSetup(setup.startTime, setup.stopTime))
        return AdvanceSetupFault::TimeSetup;
    return AdvanceSetupFault::None;
}

int NearestDay(int year, int month, int day) {
    return std::clamp(day, 1, DaysOfMonth(year, month));
}

AdvanceSetup NewAdvanceSetup(int year, int month, int day) {
    AdvanceSetup setup;
    setup.startDate = setup.stopDate = nearestDate(year, month, day);
    setup.startTime = {0, 0, 0};
    setup.stopTime = {23, 59, 59};
    setup.weekDay = kWeekDayAll;
    return setup;
}

AdvanceSetup AdvanceSetupFromEntry(const AdvanceEntry& e) {
    AdvanceSetup setup;
    setup.startDate = nearestDate(kFirstYear + e.startYear, e.startMonth, e.startDay);
    setup.stopDate = nearestDate(kFirstYear + e.stopYear, e.stopMonth, e.stopDay);
    setup.startTime = nearestTime(e.startHour, e.startMinute, e.startSecond);
    setup.stopTime = nearestTime(e.stopHour, e.stopMinute, e.stopSecond);
    setup.weekDay = std::min<int>(e.weekDay, kWeekDayAll);
    return setup;
}

void StoreAdvanceEntry(AdvanceEntry& entry, const AdvanceSetup& setup, bool newEntry) {
    if (newEntry)
        entry.fileCount = 0;
    // The lists cannot show anything else; this keeps a stray value from wrapping in a byte.
    const AdvanceSetup valid = [&] {
        AdvanceSetup s = setup;
        s.startDate = nearestDate(s.startDate.year, s.startDate.month, s.startDate.day);
        s.stopDate = nearestDate(s.stopDate.year, s.stopDate.month, s.stopDate.day);
        s.startTime = nearestTime(s.startTime.hour, s.startTime.minute, s.startTime.second);
        s.stopTime = nearestTime(s.stopTime.hour, s.stopTime.minute, s.stopTime.second);
        s.weekDay = std::clamp(s.weekDay, 0, static_cast<int>(kWeekDayAll));
        return s;
    }();
    const auto byte = [](int value) { return static_cast<std::uint8_t>(value); };
    entry.weekDay = byte(valid.weekDay);
    entry.startYear = byte(valid.startDate.year - kFirstYear);
    entry.startMonth = byte(valid.startDate.month);
    entry.startDay = byte(valid.startDate.day);
    entry.startHour = byte(valid.startTime.hour);
    entry.startMinute = byte(valid.startTime.minute);
    entry.startSecond = byte(valid.startTime.second);
    entry.stopYear = byte(valid.stopDate.year - kFirstYear);
    entry.stopMonth = byte(valid.stopDate.month);
    entry.stopDay = byte(valid.stopDate.day);
    entry.stopHour = byte(valid.stopTime.hour);
    entry.stopMinute = byte(valid.stopTime.minute);
    entry.stopSecond = byte(valid.stopTime.second);
}

const char* AdvanceEntryFaultText(AdvanceEntryFault fault) {
    switch (fault) {
    case AdvanceEntryFault::None:
        return "no fault";
    case AdvanceEntryFault::StartYearOutOfRange:
        return "start year after 2099";
    case AdvanceEntryFault::StartMonthOutOfRange:
        return "start month outside 1..12";
    case AdvanceEntryFault::StartDayOutOfRange:
        return "start day outside its month";
    case AdvanceEntryFault::StartHourOutOfRange:
        return "start hour above 23";
    case AdvanceEntryFault::StartMinuteOutOfRange:
        return "start minute above 59";
    case AdvanceEntryFault::StartSecondOutOfRange:
        return "start second above 59";
    case AdvanceEntryFault::StopYearOutOfRange:
        return "stop year after 2099";
    case AdvanceEntryFault::StopMonthOutOfRange:
        return "stop month outside 1..12";
    case AdvanceEntryFault::StopDayOutOfRange:
        return "stop day outside its month";
    case AdvanceEntryFault::StopHourOutOfRange:
        return "stop hour above 23";
    case AdvanceEntryFault::StopMinuteOutOfRange:
        return "stop minute above 59";
    case AdvanceEntryFault::StopSecondOutOfRange:
        return "stop second above 59";
    case AdvanceEntryFault::WeekDayOutOfRange:
        return "week day above 7";
    case AdvanceEntryFault::DateSetup:
        return "start date after stop date";
    case AdvanceEntryFault::TimeSetup:
        return "start time not before stop time";
    }
    return "unknown fault";
}

AdvanceEntryFault CheckStoredAdvanceEntry(const AdvanceEntry& e) {
    using F = AdvanceEntryFault;
    const int startYear = kFirstYear + e.startYear;
    const int stopYear = kFirstYear + e.stopYear;
    if (startYear > kLastYear)
        return F::StartYearOutOfRange;
    if (e.startMonth < 1 || e.startMonth > 12)
        return F::StartMonthOutOfRange;
    if (e.startDay < 1 || e.startDay > DaysOfMonth(startYear, e.startMonth))
        return F::StartDayOutOfRange;
    if (e.startHour > 23)
        return F::StartHourOutOfRange;
    if (e.startMinute > 59)
        return F::StartMinuteOutOfRange;
    if (e.startSecond > 59)
        return F::StartSecondOutOfRange;
    if (stopYear > kLastYear)
        return F::StopYearOutOfRange;
    if (e.stopMonth < 1 || e.stopMonth > 12)
        return F::StopMonthOutOfRange;
    if (e.stopDay < 1 || e.stopDay > DaysOfMonth(stopYear, e.stopMonth))
        return F::StopDayOutOfRange;
    if (e.stopHour > 23)
        return F::StopHourOutOfRange;
    if (e.stopMinute > 59)
        return F::StopMinuteOutOfRange;
    if (e.stopSecond > 59)
        return F::StopSecondOutOfRange;
    if (e.weekDay > kWeekDayAll)
        return F::WeekDayOutOfRange;
    const AdvanceSetup setup = AdvanceSetupFromEntry(e);
    switch (CheckAdvanceSetup(setup)) {
    case AdvanceSetupFault::DateSetup:
        return F::DateSetup;
    case AdvanceSetupFault::TimeSetup:
        return F::TimeSetup;
    case AdvanceSetupFault::None:
        break;
    }
    return F::None;
}

} // namespace velmo
