#include "schedule_rules.h"

#include "civil_date.h"
#include "entry_rules.h"
#include "model/file_system.h"
#include "texts/screen_texts.h"

#include <algorithm>
#include <charconv>
#include <utility>

namespace velmo {

namespace {

bool isContinuationByte(char c) {
    return (static_cast<unsigned char>(c) & 0xC0) == 0x80;
}

// Appends value in decimal, at least minDigits digits with leading zeros.
void appendNumber(std::string& out, int value, int minDigits = 1) {
    char digits[8];
    const auto end = std::to_chars(digits, digits + sizeof digits, value).ptr;
    const auto length = static_cast<int>(end - digits);
    if (length < minDigits)
        out.append(static_cast<std::size_t>(minDigits - length), '0');
    out.append(digits, end);
}

void appendDate(std::string& out, std::uint8_t year, std::uint8_t month, std::uint8_t day) {
    out += FormatSlashDate({2000 + year, month, day});
}

template <typename T> bool swapEntries(std::vector<T>& entries, int count, int a, int b) {
    const int inUse = std::min(count, static_cast<int>(entries.size()));
    if (a < 0 || b < 0 || a >= inUse || b >= inUse)
        return false;
    // Whole values: an advance entry takes its own detail entries along, never shared.
    std::swap(entries[a], entries[b]);
    return true;
}

template <typename T> bool moveEntry(std::vector<T>& entries, int count, int from, int to) {
    const int inUse = std::min(count, static_cast<int>(entries.size()));
    if (from < 0 || to < 0 || from >= inUse || to >= inUse)
        return false;
    const auto at = [&entries](int i) { return entries.begin() + i; };
    if (from < to)
        std::rotate(at(from), at(from + 1), at(to + 1));
    else
        std::rotate(at(to), at(from), at(from + 1));
    return true;
}

template <typename T> bool removeEntry(std::vector<T>& entries, std::int16_t& count, int index) {
    const int inUse = std::min(static_cast<int>(count), static_cast<int>(entries.size()));
    if (index < 0 || index >= inUse)
        return false;
    entries.erase(entries.begin() + index);
    count = static_cast<std::int16_t>(count - 1);
    // The spare element must not carry the removed entry's details into the next Add.
    entries.resize(static_cast<std::size_t>(count));
    entries.resize(static_cast<std::size_t>(count) + 1);
    return true;
}

} // namespace

// The lists show up to 600 rows at a time, so rows are built in one buffer without temporaries.
std::string FormatFileRow(const FileEntry& entry) {
    std::string row;
    row.reserve(64);
    int zeroBytes = 0;
    auto appendField = [&](const auto& bytes) {
        for (std::uint8_t byte : bytes) {
            if (byte == 0)
                ++zeroBytes; // skipped, not ended on; it still pads the field
            else if (byte < 0x80)
                row += static_cast<char>(byte);
            else
                row += CodePageCharacter(byte);
        }
    };
    appendField(entry.fileName);
    row += '.';
    appendField(entry.fileExt);
    row.append(static_cast<std::size_t>(zeroBytes), ' ');

    row += "     ";
    const std::size_t playTimesStart = row.size();
    appendNumber(row, entry.playTimes);
    row.append(3 - (row.size() - playTimesStart), ' ');

    if (entry.volume == kVolumeDefault) {
        row += "     Default"; // fixed English in every screen language
    } else {
        row += "        ";
        appendNumber(row, entry.volume);
    }
    return row;
}

std::string FormatAdvanceRow(const AdvanceEntry& entry) {
    std::string row;
    row.reserve(40);
    appendDate(row, entry.startYear, entry.startMonth, entry.startDay);
    row += "   ";
    appendDate(row, entry.stopYear, entry.stopMonth, entry.stopDay);
    row += "   ";
    row += WeekDayWord(entry.weekDay);
    return row;
}

std::string ApplyScheduleExtension(const std::string& name) {
    const std::string withExtension = name + "." + kScheduleExtension;
    if (CharacterCount(name) < 5)
        return withExtension;
    // The fourth character from the end, counted in characters.
    std::size_t position = name.size();
    for (int seen = 0; seen < 4;) {
        --position;
        if (!isContinuationByte(name[position]))
            ++seen;
    }
    return name[position] == '.' ? name : withExtension;
}

TextId SaveFailureText(FailureKind kind) {
    switch (kind) {
    case FailureKind::NotFound:
        return TextId::MsgSaveFailedNotFound;
    case FailureKind::NoPermission:
        return TextId::MsgSaveFailedNoPermission;
    case FailureKind::ReadOnly:
        return TextId::MsgSaveFailedReadOnly;
    case FailureKind::NoSpace:
        return TextId::MsgSaveFailedNoSpace;
    case FailureKind::TooLarge:
        return TextId::MsgSaveFailedTooLarge;
    case FailureKind::NotAFile:
        return TextId::MsgSaveFailedNotAFile;
    case FailureKind::None:
    case FailureKind::Other:
        break;
    }
    return TextId::MsgSaveFailedOther;
}

std::optional<std::string> ScheduleSaveRefusal(const Schedule& schedule, const ScreenTexts& texts) {
    const std::string& cantSave = texts.text(TextId::MsgCantSave);
    if (schedule.basicCount == 0 && schedule.advanceCount == 0)
        return texts.text(TextId::MsgNoSchedule) + "\r\n" + cantSave;
    if (const int empty = FirstAdvanceWithoutFiles(schedule); empty >= 0)
        return texts.text(TextId::MsgNoFileInAdvance) + std::to_string(empty + 1) + " !\r\n" +
               std::string(25, ' ') + cantSave;
    if (!CheckScheduleSize(schedule))
        return texts.text(TextId::MsgTooManySchedules);
    return std::nullopt;
}

int FirstAdvanceWithoutFiles(const Schedule& schedule) {
    const int advanceInUse =
        std::min(static_cast<int>(schedule.advanceCount), static_cast<int>(schedule.advanceEntries.size()));
    for (int i = 0; i < advanceInUse; ++i)
        if (schedule.advanceEntries[i].fileCount == 0)
            return i;
    return -1;
}

std::string FreeScheduleName(const std::function<bool(const std::string&)>& taken,
                             const std::function<void()>& betweenAttempts) {
    const std::string base = kDefaultScheduleBaseName;
    const std::string extension = std::string(".") + kScheduleExtension;
    std::string name = base + extension;
    for (long long n = 1; taken(name); ++n) {
        name = base + std::to_string(n) + extension;
        if (betweenAttempts)
            betweenAttempts();
    }
    return name;
}

bool SwapEntries(std::vector<FileEntry>& entries, int count, int a, int b) {
    return swapEntries(entries, count, a, b);
}
bool SwapEntries(std::vector<AdvanceEntry>& entries, int count, int a, int b) {
    return swapEntries(entries, count, a, b);
}
bool MoveEntry(std::vector<FileEntry>& entries, int count, int from, int to) {
    return moveEntry(entries, count, from, to);
}
bool MoveEntry(std::vector<AdvanceEntry>& entries, int count, int from, int to) {
    return moveEntry(entries, count, from, to);
}
bool RemoveEntry(std::vector<FileEntry>& entries, std::int16_t& count, int index) {
    return removeEntry(entries, count, index);
}
bool RemoveEntry(std::vector<AdvanceEntry>& entries, std::int16_t& count, int index) {
    return removeEntry(entries, count, index);
}

std::string ChooseAppPath(const std::string& programDir, bool runsFromInstallDir, bool programDirWritable,
                          const std::function<std::string()>& userDataDir) {
    if (runsFromInstallDir || !programDirWritable) {
        // An installed program never writes beside itself.
        const std::string data = userDataDir ? userDataDir() : std::string();
        if (!data.empty())
            return WithTrailingSeparator(data);
    }
    return WithTrailingSeparator(programDir);
}

std::string MountPointOf(const std::string& path, const std::vector<std::string>& mountPoints) {
    std::string best;
    std::size_t bestLength = 0;
    for (const std::string& mountPoint : mountPoints) {
        std::string stem = mountPoint;
        // Either separator on Windows: a drive is "C:\", a folder may come as "C:/x" from Qt.
        while (stem.size() > 1 && IsPathSeparator(stem.back()))
            stem.pop_back();
        const bool isRoot = stem.size() == 1 && IsPathSeparator(stem[0]);
        const bool holds = path.compare(0, stem.size(), stem) == 0 &&
                           (isRoot || path.size() == stem.size() || IsPathSeparator(path[stem.size()]));
        if (!stem.empty() && holds && (best.empty() || stem.size() > bestLength)) {
            best = mountPoint;
            bestLength = stem.size();
        }
    }
    return best.empty() ? std::string(1, kDirSeparator) : best;
}

} // namespace velmo
