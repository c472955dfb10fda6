#include "schedule_content.h"

#include "rules/entry_rules.h"
#include "rules/schedule_rules.h"
#include "schedule_match.h"
#include "texts/screen_texts.h"

#include <algorithm>

namespace velmo {

namespace {

constexpr int kMaxReportedOverlaps = 20;

const std::string& text(TextId id) {
    return EnglishText(id);
}

const ScreenTexts& englishTexts() {
    static const ScreenTexts texts = [] {
        ScreenTexts english;
        english.LoadEnglishTexts();
        return english;
    }();
    return texts;
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

std::string tooMany(int count, const char* what, int limit) {
    return text(TextId::MsgTooManyBasic) + " (" + std::to_string(count) + " " + what + ", at most " +
           std::to_string(limit) + ")";
}

std::string weekDayName(int weekDay) {
    static const char* const names[] = {"Sunday",   "Monday", "Tuesday", "Wednesday",
                                        "Thursday", "Friday", "Saturday"};
    return weekDay >= 0 && weekDay < 7 ? names[weekDay] : "All Day";
}

} // namespace

std::string FileNameErrorMessage(const std::string& reason) {
    return withReason(TextId::MsgFileNameError, reason);
}

std::vector<Finding> CheckScheduleContent(const Schedule& s) {
    std::vector<Finding> out;
    const auto add = [&out](const EntryRef& ref, const std::string& problem) {
        if (!problem.empty())
            out.push_back(Finding::about(ref, problem));
    };
    const int basicCount = std::min<int>(s.basicCount, static_cast<int>(s.basicEntries.size()));
    const int advanceCount = std::min<int>(s.advanceCount, static_cast<int>(s.advanceEntries.size()));

    // The Add commands stop at these counts, all with the same message.
    if (s.basicCount > kMaxBasicEntries)
        add(EntryRef{}, tooMany(s.basicCount, "basic entries", kMaxBasicEntries));
    if (s.advanceCount > kMaxAdvanceEntries)
        add(EntryRef{}, tooMany(s.advanceCount, "advance entries", kMaxAdvanceEntries));
    for (int i = 0; i < basicCount; ++i)
        add(EntryRef::basic(i), fileEntryProblem(s.basicEntries[i]));
    for (int i = 0; i < advanceCount; ++i) {
        const AdvanceEntry& e = s.advanceEntries[i];
        add(EntryRef::advance(i), advanceEntryProblem(e));
        if (e.fileCount > kMaxDetailEntries)
            add(EntryRef::advance(i), tooMany(e.fileCount, "detail entries", kMaxDetailEntries));
        const int fileCount = std::min<int>(e.fileCount, static_cast<int>(e.files.size()));
        for (int k = 0; k < fileCount; ++k)
            add(EntryRef::detailOf(i, k), fileEntryProblem(e.files[k]));
    }
    if (const auto refusal = ScheduleSaveRefusal(s, englishTexts()))
        add(EntryRef{}, oneLine(*refusal));
    return out;
}

std::vector<Finding> CheckScheduleSense(const Schedule& s, const CivilDate& today) {
    std::vector<Finding> out;
    const int count = std::min<int>(s.advanceCount, static_cast<int>(s.advanceEntries.size()));
    std::vector<int> valid;
    for (int i = 0; i < count; ++i)
        if (CheckStoredAdvanceEntry(s.advanceEntries[i]) == AdvanceEntryFault::None)
            valid.push_back(i);

    constexpr auto warning = Finding::Severity::Warning;
    int overlaps = 0;
    for (std::size_t a = 0; a < valid.size(); ++a) {
        const int i = valid[a];
        const AdvanceEntry& e = s.advanceEntries[i];
        const EntryRef ref = EntryRef::advance(i);
        if (!DateRangeHoldsWeekDay(e))
            out.push_back(Finding::about(ref,
                                         "its dates " + FormatIsoDate(StartDateOf(e)) + " to " +
                                             FormatIsoDate(StopDateOf(e)) + " hold no " +
                                             weekDayName(e.weekDay),
                                         warning));
        if (HasEnded(e, today))
            out.push_back(Finding::about(
                ref, "ended on " + FormatIsoDate(StopDateOf(e)) + " (today is " + FormatIsoDate(today) + ")",
                warning));
        for (std::size_t b = a + 1; b < valid.size(); ++b) {
            const int k = valid[b];
            if (!AdvanceEntriesOverlap(e, s.advanceEntries[k]))
                continue;
            if (++overlaps <= kMaxReportedOverlaps)
                out.push_back(Finding::about(
                    ref, "overlaps advance entry " + std::to_string(k + 1) + " in dates, week days and times",
                    warning));
        }
    }
    if (overlaps > kMaxReportedOverlaps)
        out.push_back(Finding::about(EntryRef{},
                                     std::to_string(overlaps - kMaxReportedOverlaps) +
                                         " more pairs of advance entries overlap",
                                     warning));
    return out;
}

} // namespace velmo
