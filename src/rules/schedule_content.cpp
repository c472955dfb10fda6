#include "schedule_content.h"

#include "rules/entry_rules.h"
#include "rules/schedule_match.h"
#include "rules/schedule_rules.h"
#include "texts/screen_texts.h"

#include <algorithm>

namespace velmo {

namespace {

const std::string& text(TextId id) {
    return EnglishText(id);
}

std::string withReason(TextId message, const std::string& reason) {
    return text(message) + " (" + reason + ")";
}

// Messages break lines with CR LF and indent; one line each here.
std::string oneLine(const std::string& message) {
    std::string line;
    for (std::size_t i = 0; i < message.size(); ++i) {
        if (message[i] == '\r' || message[i] == '\n') {
            while (i + 1 < message.size() &&
                   (message[i + 1] == '\r' || message[i + 1] == '\n' || message[i + 1] == ' '))
                ++i;
            line += ' ';
        } else {
            line += message[i];
        }
    }
    return line;
}

std::string yearMonth(int yearOffset, int month) {
    return std::to_string(2000 + yearOffset) + "-" + (month < 10 ? "0" : "") + std::to_string(month);
}

std::string fileEntryProblem(const FileEntry& entry) {
    const FileEntryFault fault = CheckStoredFileEntry(entry);
    const std::string reason = FileEntryFaultText(fault);
    switch (fault) {
    case FileEntryFault::None:
        return {};
    case FileEntryFault::PlayTimesOutOfRange:
        return reason + ": " + std::to_string(entry.playTimes);
    case FileEntryFault::VolumeOutOfRange:
        return reason + ": " + std::to_string(entry.volume) + " (13 is Default)";
    case FileEntryFault::NameCharacterNotAllowed:
    case FileEntryFault::NameNotUpperCase:
    case FileEntryFault::NameGap:
    case FileEntryFault::ExtensionDot:
        break;
    }
    return FileNameErrorMessage(reason);
}

// The advance editor's message for the first fault of a stored entry, with the values at fault.
std::string advanceEntryProblem(const AdvanceEntry& e) {
    using F = AdvanceEntryFault;
    const F fault = CheckStoredAdvanceEntry(e);
    const std::string reason = AdvanceEntryFaultText(fault);
    const auto date = [&](const std::string& found) {
        return withReason(TextId::MsgDateSetupError, reason + ": " + found);
    };
    const auto time = [&](int found) {
        return withReason(TextId::MsgTimeSetupError, reason + ": " + std::to_string(found));
    };
    switch (fault) {
    case F::None:
        return {};
    case F::StartYearOutOfRange:
        return date(std::to_string(2000 + e.startYear));
    case F::StopYearOutOfRange:
        return date(std::to_string(2000 + e.stopYear));
    case F::StartMonthOutOfRange:
        return date(std::to_string(e.startMonth));
    case F::StopMonthOutOfRange:
        return date(std::to_string(e.stopMonth));
    case F::StartDayOutOfRange:
        return date(std::to_string(e.startDay) + " in " + yearMonth(e.startYear, e.startMonth));
    case F::StopDayOutOfRange:
        return date(std::to_string(e.stopDay) + " in " + yearMonth(e.stopYear, e.stopMonth));
    case F::StartHourOutOfRange:
        return time(e.startHour);
    case F::StartMinuteOutOfRange:
        return time(e.startMinute);
    case F::StartSecondOutOfRange:
        return time(e.startSecond);
    case F::StopHourOutOfRange:
        return time(e.stopHour);
    case F::StopMinuteOutOfRange:
        return time(e.stopMinute);
    case F::StopSecondOutOfRange:
        return time(e.stopSecond);
    case F::WeekDayOutOfRange:
        return reason + ": " + std::to_string(e.weekDay) + " (7 is All Day)";
    case F::DateSetup:
        return date(FormatIsoDate(StartDateOf(e)) + " and " + FormatIsoDate(StopDateOf(e)));
    case F::TimeSetup:
        return withReason(TextId::MsgTimeSetupError, reason + ": " + FormatClockTime(StartTimeOf(e)) +
                                                         " and " + FormatClockTime(StopTimeOf(e)));
    }
    return reason;
}

// The editor refuses every full list with "Too many basic schedules!!", which names the right list
// only for the basic one; the others say which count is too large.
std::string tooManyBasic(int count) {
    return text(TextId::MsgTooManyBasic) + " (" + std::to_string(count) + " basic entries, at most " +
           std::to_string(kMaxBasicEntries) + ")";
}

std::string tooMany(int count, const char* what, int limit) {
    return std::string("too many ") + what + ": " + std::to_string(count) + ", at most " +
           std::to_string(limit);
}

} // namespace

std::string FileNameErrorMessage(const std::string& reason) {
    return withReason(TextId::MsgFileNameError, reason);
}

std::vector<Finding> CheckScheduleContent(const Schedule& s) {
    std::vector<Finding> out;
    const auto add = [&out](const EntryId& ref, const std::string& problem) {
        if (!problem.empty())
            out.push_back(Finding::about(ref, problem));
    };
    const int basicCount = std::min<int>(s.basicCount, static_cast<int>(s.basicEntries.size()));
    const int advanceCount = std::min<int>(s.advanceCount, static_cast<int>(s.advanceEntries.size()));

    // The Add commands stop at these counts, all with the same message.
    if (s.basicCount > kMaxBasicEntries)
        add(EntryId{}, tooManyBasic(s.basicCount));
    if (s.advanceCount > kMaxAdvanceEntries)
        add(EntryId{}, tooMany(s.advanceCount, "advance entries", kMaxAdvanceEntries));
    for (int i = 0; i < basicCount; ++i)
        add(EntryId::basic(i), fileEntryProblem(s.basicEntries[i]));
    for (int i = 0; i < advanceCount; ++i) {
        const AdvanceEntry& e = s.advanceEntries[i];
        add(EntryId::advance(i), advanceEntryProblem(e));
        if (e.fileCount > kMaxDetailEntries)
            add(EntryId::advance(i), tooMany(e.fileCount, "detail entries", kMaxDetailEntries));
        const int fileCount = std::min<int>(e.fileCount, static_cast<int>(e.files.size()));
        for (int k = 0; k < fileCount; ++k)
            add(EntryId::detailOf(i, k), fileEntryProblem(e.files[k]));
    }
    if (const auto refusal = ScheduleSaveRefusal(s, EnglishTexts()))
        add(EntryId{}, oneLine(*refusal));
    return out;
}

} // namespace velmo
