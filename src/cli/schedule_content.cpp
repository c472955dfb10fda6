#include "schedule_content.h"

#include "rules_adapter.h"
#include "schedule_match.h"
#include "texts/screen_texts.h"

#include <algorithm>

namespace velmo {

namespace {

constexpr int kMaxYearOffset = 99;
constexpr int kMaxReportedOverlaps = 20;

const std::string& text(TextId id) {
    return EnglishText(id);
}

std::string withReason(TextId message, const std::string& reason) {
    return text(message) + " (" + reason + ")";
}

std::string outside(const std::string& what, int value, int low, int high) {
    return what + " " + std::to_string(value) + " outside " + std::to_string(low) + ".." +
           std::to_string(high);
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

struct DateFields {
    const char* side;
    int yearOffset, month, day;
};
struct TimeFields {
    const char* side;
    int hour, minute, second;
};

std::optional<std::string> dateProblem(const DateFields& d) {
    const std::string side = d.side;
    if (d.yearOffset > kMaxYearOffset)
        return outside(side + " year", d.yearOffset, 0, kMaxYearOffset) + ", the years 2000..2099";
    if (d.month < 1 || d.month > 12)
        return outside(side + " month", d.month, 1, 12);
    const int days = rules::DaysOfMonth(2000 + d.yearOffset, d.month);
    if (d.day < 1 || d.day > days)
        return outside(side + " day", d.day, 1, days) + " in " + std::to_string(2000 + d.yearOffset) + "-" +
               (d.month < 10 ? "0" : "") + std::to_string(d.month);
    return std::nullopt;
}

std::optional<std::string> timeProblem(const TimeFields& t) {
    const std::string side = t.side;
    if (t.hour > 23)
        return outside(side + " hour", t.hour, 0, 23);
    if (t.minute > 59)
        return outside(side + " minute", t.minute, 0, 59);
    if (t.second > 59)
        return outside(side + " second", t.second, 0, 59);
    return std::nullopt;
}

DateFields startDate(const AdvanceEntry& e) {
    return {"start", e.startYear, e.startMonth, e.startDay};
}
DateFields stopDate(const AdvanceEntry& e) {
    return {"stop", e.stopYear, e.stopMonth, e.stopDay};
}
TimeFields startTime(const AdvanceEntry& e) {
    return {"start", e.startHour, e.startMinute, e.startSecond};
}
TimeFields stopTime(const AdvanceEntry& e) {
    return {"stop", e.stopHour, e.stopMinute, e.stopSecond};
}

void checkFileEntry(const FileEntry& entry, const EntryRef& ref, std::vector<Finding>& out) {
    if (const auto problem = NameFieldsProblem(NameFieldText(entry.fileName), NameFieldText(entry.fileExt)))
        out.push_back(Finding::about(ref, *problem));
    if (entry.playTimes > kMaxPlayTimes)
        out.push_back(Finding::about(ref, outside("play times", entry.playTimes, 0, kMaxPlayTimes)));
    if (entry.volume > kVolumeDefault)
        out.push_back(
            Finding::about(ref, outside("volume", entry.volume, 0, kVolumeDefault) + " (13 is Default)"));
}

void checkAdvanceFields(const AdvanceEntry& e, const EntryRef& ref, std::vector<Finding>& out) {
    const auto startDateProblem = dateProblem(startDate(e));
    const auto stopDateProblem = dateProblem(stopDate(e));
    for (const auto& problem : {startDateProblem, stopDateProblem})
        if (problem)
            out.push_back(Finding::about(ref, withReason(TextId::MsgDateSetupError, *problem)));
    if (!startDateProblem && !stopDateProblem && !rules::CheckDateSetup(e))
        out.push_back(
            Finding::about(ref, withReason(TextId::MsgDateSetupError,
                                           "start date " + FormatIsoDate(StartDateOf(e)) +
                                               " after stop date " + FormatIsoDate(StopDateOf(e)))));
    const auto startTimeProblem = timeProblem(startTime(e));
    const auto stopTimeProblem = timeProblem(stopTime(e));
    for (const auto& problem : {startTimeProblem, stopTimeProblem})
        if (problem)
            out.push_back(Finding::about(ref, withReason(TextId::MsgTimeSetupError, *problem)));
    if (!startTimeProblem && !stopTimeProblem && !rules::CheckTimeSetup(e))
        out.push_back(
            Finding::about(ref, withReason(TextId::MsgTimeSetupError,
                                           "start time " + FormatClockTime(StartTimeOf(e)) +
                                               " not before stop time " + FormatClockTime(StopTimeOf(e)))));
    if (e.weekDay > kWeekDayAll)
        out.push_back(
            Finding::about(ref, outside("week day", e.weekDay, 0, kWeekDayAll) + " (7 is All Day)"));
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

std::optional<std::string> NameFieldsProblem(std::string_view fileName, std::string_view fileExt) {
    const std::string typed = std::string(fileName) + "." + std::string(fileExt);
    const rules::FileNameOutcome outcome = rules::CheckFileName(typed);
    if (!outcome.ok)
        return FileNameErrorMessage(outcome.reason);
    const std::string storedName = NameFieldText(outcome.fileName);
    const std::string storedExt = NameFieldText(outcome.fileExt);
    if (storedName == fileName && storedExt == fileExt)
        return std::nullopt;
    return FileNameErrorMessage("the editor stores it as fileName \"" + storedName + "\" and fileExt \"" +
                                storedExt + "\"");
}

bool AdvanceFieldsValid(const AdvanceEntry& entry) {
    std::vector<Finding> problems;
    checkAdvanceFields(entry, EntryRef{}, problems);
    return problems.empty();
}

std::vector<Finding> CheckScheduleContent(const Schedule& s) {
    std::vector<Finding> out;
    const std::string tooMany = text(TextId::MsgTooManyBasic);
    const int basicCount = std::min<int>(s.basicCount, static_cast<int>(s.basicEntries.size()));
    const int advanceCount = std::min<int>(s.advanceCount, static_cast<int>(s.advanceEntries.size()));

    if (s.basicCount > kMaxBasicEntries)
        out.push_back(Finding::about(EntryRef{}, tooMany + " (" + std::to_string(s.basicCount) +
                                                     " basic entries, at most " +
                                                     std::to_string(kMaxBasicEntries) + ")"));
    if (s.advanceCount > kMaxAdvanceEntries)
        out.push_back(Finding::about(EntryRef{}, tooMany + " (" + std::to_string(s.advanceCount) +
                                                     " advance entries, at most " +
                                                     std::to_string(kMaxAdvanceEntries) + ")"));
    for (int i = 0; i < basicCount; ++i)
        checkFileEntry(s.basicEntries[i], EntryRef::basic(i), out);
    for (int i = 0; i < advanceCount; ++i) {
        const AdvanceEntry& e = s.advanceEntries[i];
        checkAdvanceFields(e, EntryRef::advance(i), out);
        if (e.fileCount > kMaxDetailEntries)
            out.push_back(Finding::about(EntryRef::advance(i), tooMany + " (" + std::to_string(e.fileCount) +
                                                                   " detail entries, at most " +
                                                                   std::to_string(kMaxDetailEntries) + ")"));
        const int fileCount = std::min<int>(e.fileCount, static_cast<int>(e.files.size()));
        for (int k = 0; k < fileCount; ++k)
            checkFileEntry(e.files[k], EntryRef::detailOf(i, k), out);
    }
    if (const auto refusal = rules::ScheduleSaveRefusal(s))
        out.push_back(Finding::about(EntryRef{}, oneLine(*refusal)));
    return out;
}

std::vector<Finding> CheckScheduleSense(const Schedule& s, const CivilDate& today) {
    std::vector<Finding> out;
    const int count = std::min<int>(s.advanceCount, static_cast<int>(s.advanceEntries.size()));
    std::vector<int> valid;
    for (int i = 0; i < count; ++i)
        if (AdvanceFieldsValid(s.advanceEntries[i]))
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
