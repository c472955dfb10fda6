// Stand-in for the main window's rule library while it is being built on its own branch; it goes as
// soon as velmo_main_rules exists (rules_adapter.cpp forwards to it).
#include "rules_adapter.h"

#include "cp1252.h"
#include "texts/screen_texts.h"

namespace velmo::rules {

namespace {
std::string padded(int value) {
    return value < 10 ? "0" + std::to_string(value) : std::to_string(value);
}
} // namespace

std::string FormatFileRow(const FileEntry& e) {
    std::string row;
    int zeros = 0;
    const auto append = [&](std::uint8_t b) {
        if (b == 0)
            ++zeros;
        else
            row += Cp1252ToUtf8(std::string(1, static_cast<char>(b)));
    };
    for (auto b : e.fileName)
        append(b);
    row.push_back('.');
    for (auto b : e.fileExt)
        append(b);
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
    const auto t = [](TextId id) -> const std::string& { return EnglishText(id); };
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
