// Stand-in for the editor rule libraries while they are being built on their own branches; it goes
// as soon as velmo_editor_rules and velmo_main_rules exist (rules_adapter.cpp forwards to them).
#include "rules_adapter.h"

#include "cp1252.h"
#include "texts/screen_texts.h"

#include <tuple>

namespace velmo::rules {

namespace {
bool allowedNameChar(unsigned char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '.' ||
           c == '_' || c == '-';
}
unsigned char upper(unsigned char c) {
    return c >= 'a' && c <= 'z' ? static_cast<unsigned char>(c - 32) : c;
}
std::string padded(int value) {
    return value < 10 ? "0" + std::to_string(value) : std::to_string(value);
}
} // namespace

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
        return (year % 4 == 0 && (year % 100 != 0 || year % 400 == 0)) ? 29 : 28;
    default:
        return 30;
    }
}

bool CheckDateSetup(const AdvanceEntry& e) {
    return std::tuple(e.startYear, e.startMonth, e.startDay) <=
           std::tuple(e.stopYear, e.stopMonth, e.stopDay);
}

bool CheckTimeSetup(const AdvanceEntry& e) {
    return std::tuple(e.startHour, e.startMinute, e.startSecond) <
           std::tuple(e.stopHour, e.stopMinute, e.stopSecond);
}

FileNameOutcome CheckFileName(std::string_view text) {
    FileNameOutcome out;
    const auto first = text.find_first_not_of(' ');
    if (first == std::string_view::npos)
        return {false, "empty name", {}, {}};
    text = text.substr(first, text.find_last_not_of(' ') - first + 1);
    const auto dot = text.rfind('.');
    const std::string_view base = dot == std::string_view::npos ? text : text.substr(0, dot);
    const std::string_view ext = dot == std::string_view::npos ? std::string_view{} : text.substr(dot + 1);
    if (base.size() > 16)
        return {false, "name longer than 16", {}, {}};
    if (ext.size() > 4)
        return {false, "extension longer than 4", {}, {}};
    for (unsigned char c : text)
        if (!allowedNameChar(c))
            return {false, "character not allowed", {}, {}};
    out.ok = true;
    for (std::size_t i = 0; i < base.size(); ++i)
        out.fileName[i] = upper(static_cast<unsigned char>(base[i]));
    for (std::size_t i = 0; i < ext.size(); ++i)
        out.fileExt[i] = upper(static_cast<unsigned char>(ext[i]));
    return out;
}

std::string FormatFileRow(const FileEntry& e) {
    std::string row;
    int zeros = 0;
    for (auto b : e.fileName)
        b ? void(row += Cp1252ToUtf8(std::string(1, static_cast<char>(b)))) : void(++zeros);
    row.push_back('.');
    for (auto b : e.fileExt)
        b ? void(row += Cp1252ToUtf8(std::string(1, static_cast<char>(b)))) : void(++zeros);
    row.append(static_cast<std::size_t>(zeros), ' ');
    row.append(5, ' ');
    const std::string times = std::to_string(e.playTimes);
    row += times;
    row.append(3 - times.size(), ' ');
    if (e.volume == kVolumeDefault)
        row += "     Default";
    else
        row += "        " + std::to_string(e.volume);
    return row;
}

std::string FormatAdvanceRow(const AdvanceEntry& e) {
    static const char* const days[] = {"Sunday",   "Monday", "Tuesday", "Wednesday",
                                       "Thursday", "Friday", "Saturday"};
    return std::to_string(2000 + e.startYear) + "/" + padded(e.startMonth) + "/" + padded(e.startDay) +
           "   " + std::to_string(2000 + e.stopYear) + "/" + padded(e.stopMonth) + "/" + padded(e.stopDay) +
           "   " + (e.weekDay < 7 ? days[e.weekDay] : "All Day");
}

std::optional<std::string> ScheduleSaveRefusal(const Schedule& s) {
    const auto& t = [](TextId id) -> const std::string& { return EnglishText(id); };
    if (s.basicCount == 0 && s.advanceCount == 0)
        return t(TextId::MsgNoSchedule) + "\r\n" + t(TextId::MsgCantSave);
    for (int i = 0; i < s.advanceCount; ++i)
        if (s.advanceEntries[i].fileCount == 0)
            return t(TextId::MsgNoFileInAdvance) + std::to_string(i + 1) + " !\r\n" + std::string(25, ' ') +
                   t(TextId::MsgCantSave);
    if (!CheckScheduleSize(s))
        return t(TextId::MsgTooManySchedules);
    return std::nullopt;
}

} // namespace velmo::rules
