#include "schedule_sense.h"

#include "rules/entry_rules.h"
#include "rules/schedule_horizon.h"
#include "texts/screen_texts.h"

#include <algorithm>
#include <cstdio>
#include <map>

namespace velmo {

namespace {

constexpr int kMaxReportedOverlaps = 20;

int advanceCountOf(const Schedule& s) {
    return std::min<int>(s.advanceCount, static_cast<int>(s.advanceEntries.size()));
}

int fileCountOf(const AdvanceEntry& e) {
    return std::max(0, std::min<int>(e.fileCount, static_cast<int>(e.files.size())));
}

bool storable(const AdvanceEntry& e) {
    return CheckStoredAdvanceEntry(e) == AdvanceEntryFault::None;
}

ScheduleProblem problem(ProblemKind kind, const EntryId& entry) {
    ScheduleProblem p;
    p.kind = kind;
    p.entry = entry;
    return p;
}

ScheduleProblem overlapProblem(int index, int other, const Overlap& overlap) {
    ScheduleProblem p = problem(ProblemKind::Overlap, EntryId::advance(index));
    p.other = other;
    p.overlap = overlap;
    return p;
}

// The warnings of one advance entry about itself alone, in the order the tool has always printed them.
void ownWarnings(const AdvanceEntry& e, int index, const CivilDate& today,
                 std::vector<ScheduleProblem>& out) {
    if (!DateRangeHoldsWeekDay(e)) {
        ScheduleProblem p = problem(ProblemKind::WeekDayNeverOccurs, EntryId::advance(index));
        p.overlap.weekDay = e.weekDay;
        p.overlap.firstDay = StartDateOf(e);
        p.overlap.lastDay = StopDateOf(e);
        out.push_back(p);
    }
    if (HasEnded(e, today)) {
        ScheduleProblem p = problem(ProblemKind::Ended, EntryId::advance(index));
        p.overlap.lastDay = StopDateOf(e);
        p.today = today;
        out.push_back(p);
    }
}

// The files of one list: names missing from the media folders, and a name played at another volume
// than where the list named it first.
void fileProblems(const std::vector<FileEntry>& files, int count, const std::function<EntryId(int)>& ref,
                  const MediaLookup& mediaExists, const MediaJudge& willNotPlay,
                  std::vector<ScheduleProblem>& out) {
    std::map<std::string, int> firstUse;
    for (int k = 0; k < count; ++k) {
        const FileEntry& f = files[static_cast<std::size_t>(k)];
        const std::string name = MediaFileName(f);
        if (name.empty())
            continue;
        if (CheckStoredFileEntry(f) != FileEntryFault::None) {
            out.push_back(problem(ProblemKind::ValueOutsideLists, ref(k)));
            continue;
        }
        if (mediaExists && !mediaExists(name)) {
            ScheduleProblem p = problem(ProblemKind::MediaMissing, ref(k));
            p.name = name;
            out.push_back(p);
        } else if (const std::optional<std::string> why = willNotPlay ? willNotPlay(name) : std::nullopt) {
            ScheduleProblem p = problem(ProblemKind::MediaWillNotPlay, ref(k));
            p.name = name;
            p.why = *why;
            out.push_back(p);
        }
        const auto [first, isNew] = firstUse.emplace(name, k);
        const FileEntry& earlier = files[static_cast<std::size_t>(first->second)];
        if (!isNew && earlier.volume != f.volume) {
            ScheduleProblem p = problem(ProblemKind::VolumesDiffer, ref(k));
            p.other = first->second;
            p.name = name;
            p.volume = f.volume;
            p.otherVolume = earlier.volume;
            out.push_back(p);
        }
    }
}

std::string volumeText(int volume, const ScreenTexts& texts) {
    return volume == kVolumeDefault ? texts.text(TextId::TextVolumeDefault) : std::to_string(volume);
}

TextId everyWeekDay(int weekDay) {
    static const TextId words[] = {TextId::TextOnSundays,    TextId::TextOnMondays,   TextId::TextOnTuesdays,
                                   TextId::TextOnWednesdays, TextId::TextOnThursdays, TextId::TextOnFridays,
                                   TextId::TextOnSaturdays};
    return weekDay >= 0 && weekDay < 7 ? words[weekDay] : TextId::TextOnEveryDay;
}

} // namespace

std::string MediaFileName(const FileEntry& entry) {
    std::string name = StoredNameText(entry);
    if (!name.empty() && name.back() == '.')
        name.pop_back();
    return name;
}

int RenameMediaFiles(Schedule& schedule, const std::map<std::string, std::string>& names) {
    int changed = 0;
    const auto rename = [&](FileEntry& entry) {
        const auto it = names.find(MediaFileName(entry));
        FileEntry renamed = entry;
        if (it == names.end() || !StoreFileEntry(renamed, it->second, entry.playTimes, entry.volume))
            return;
        // Only the name changes: stored values outside the editor's lists stay as they were.
        renamed.reserved = entry.reserved;
        renamed.playTimes = entry.playTimes;
        renamed.volume = entry.volume;
        if (renamed != entry) {
            entry = renamed;
            ++changed;
        }
    };
    const int basic = std::min<int>(schedule.basicCount, static_cast<int>(schedule.basicEntries.size()));
    for (int i = 0; i < basic; ++i)
        rename(schedule.basicEntries[static_cast<std::size_t>(i)]);
    for (int a = 0; a < advanceCountOf(schedule); ++a) {
        AdvanceEntry& period = schedule.advanceEntries[static_cast<std::size_t>(a)];
        for (int k = 0; k < fileCountOf(period); ++k)
            rename(period.files[static_cast<std::size_t>(k)]);
    }
    return changed;
}

std::vector<ScheduleProblem> FindScheduleProblems(const Schedule& s, const CivilDate& today,
                                                  const MediaLookup& mediaExists,
                                                  const MediaJudge& willNotPlay) {
    std::vector<ScheduleProblem> out;
    const int basicCount = std::min<int>(s.basicCount, static_cast<int>(s.basicEntries.size()));
    fileProblems(s.basicEntries, basicCount, EntryId::basic, mediaExists, willNotPlay, out);

    const int count = advanceCountOf(s);
    std::vector<int> valid;
    std::vector<EntryWindow> windows;
    for (int i = 0; i < count; ++i)
        if (storable(s.advanceEntries[static_cast<std::size_t>(i)])) {
            valid.push_back(i);
            windows.push_back(EntryWindowOf(s.advanceEntries[static_cast<std::size_t>(i)]));
        }

    std::size_t nextValid = 0;
    for (int i = 0; i < count; ++i) {
        const AdvanceEntry& e = s.advanceEntries[static_cast<std::size_t>(i)];
        if (nextValid < valid.size() && valid[nextValid] == i) {
            ownWarnings(e, i, today, out);
            // A medium goes out for weeks: a period running out soon is worth a look before then.
            if (const long left = DayNumber(StopDateOf(e)) - DayNumber(today);
                left >= 0 && left <= kEndingSoonDays) {
                ScheduleProblem p = problem(ProblemKind::EndsSoon, EntryId::advance(i));
                p.overlap.lastDay = StopDateOf(e);
                p.today = today;
                out.push_back(p);
            }
            for (std::size_t b = nextValid + 1; b < valid.size(); ++b)
                if (const auto overlap = OverlapOf(windows[nextValid], windows[b]))
                    out.push_back(overlapProblem(i, valid[b], *overlap));
            ++nextValid;
        } else {
            out.push_back(problem(ProblemKind::ValueOutsideLists, EntryId::advance(i)));
        }
        if (e.fileCount <= 0)
            out.push_back(problem(ProblemKind::NoFiles, EntryId::advance(i)));
        fileProblems(
            e.files, fileCountOf(e), [i](int k) { return EntryId::detailOf(i, k); }, mediaExists, willNotPlay,
            out);
    }
    return out;
}

std::vector<ScheduleProblem> AdvanceEntryWarnings(const Schedule& s, int index, const CivilDate& today) {
    std::vector<ScheduleProblem> out;
    if (index < 0 || index >= advanceCountOf(s))
        return out;
    const AdvanceEntry& e = s.advanceEntries[static_cast<std::size_t>(index)];
    if (!storable(e))
        return out;
    ownWarnings(e, index, today, out);
    const EntryWindow window = EntryWindowOf(e);
    for (int k = 0; k < advanceCountOf(s); ++k) {
        const AdvanceEntry& other = s.advanceEntries[static_cast<std::size_t>(k)];
        if (k == index || !storable(other))
            continue;
        if (const auto overlap = OverlapOf(window, EntryWindowOf(other)))
            out.push_back(overlapProblem(index, k, *overlap));
    }
    return out;
}

std::string ShortClockTime(const ClockTime& time) {
    char buffer[32];
    if (time.second == 0)
        std::snprintf(buffer, sizeof buffer, "%02d:%02d", time.hour, time.minute);
    else
        std::snprintf(buffer, sizeof buffer, "%02d:%02d:%02d", time.hour, time.minute, time.second);
    return buffer;
}

std::string EntryLabel(const EntryId& entry, const ScreenTexts& texts) {
    const std::string number = std::to_string(entry.index + 1);
    switch (entry.kind) {
    case EntryId::Kind::Basic:
        return FillIn(texts.text(TextId::TextEntryBasic), {number});
    case EntryId::Kind::Advance:
        return FillIn(texts.text(TextId::TextEntryAdvance), {number});
    case EntryId::Kind::Detail:
        return FillIn(texts.text(TextId::TextEntryDetail), {number, std::to_string(entry.detail + 1)});
    case EntryId::Kind::Schedule:
        break;
    }
    return {};
}

std::string ProblemText(const ScheduleProblem& p, const ScreenTexts& texts) {
    const std::string who = EntryLabel(p.entry, texts);
    switch (p.kind) {
    case ProblemKind::ValueOutsideLists:
        return FillIn(texts.text(TextId::MsgProblemOutsideLists), {who});
    case ProblemKind::NoFiles:
        return FillIn(texts.text(TextId::MsgProblemNoFiles), {who});
    case ProblemKind::WeekDayNeverOccurs:
        return FillIn(texts.text(TextId::MsgProblemWeekDayNever),
                      {who, texts.text(WeekDayTextId(p.overlap.weekDay)), FormatSlashDate(p.overlap.firstDay),
                       FormatSlashDate(p.overlap.lastDay)});
    case ProblemKind::Ended:
        return FillIn(texts.text(TextId::MsgProblemEnded),
                      {who, FormatSlashDate(p.overlap.lastDay), FormatSlashDate(p.today)});
    case ProblemKind::EndsSoon: {
        const long left = DayNumber(p.overlap.lastDay) - DayNumber(p.today);
        const std::string day = FormatSlashDate(p.overlap.lastDay);
        if (left == 0)
            return FillIn(texts.text(TextId::MsgProblemEndsToday), {who, day});
        if (left == 1)
            return FillIn(texts.text(TextId::MsgProblemEndsTomorrow), {who, day});
        return FillIn(texts.text(TextId::MsgProblemEndsSoon), {who, day, std::to_string(left)});
    }
    case ProblemKind::Overlap: {
        // The first of them in the list plays, whichever of the two the problem is listed under.
        const EntryId plays = EntryId::advance(std::min(p.entry.index, p.other));
        const EntryId silent = EntryId::advance(std::max(p.entry.index, p.other));
        // The days they share: one date, or the first and last of them.
        const std::string first = FormatSlashDate(p.overlap.firstDay);
        const std::string days =
            p.overlap.firstDay == p.overlap.lastDay
                ? first
                : FillIn(texts.text(TextId::TextDayRange), {first, FormatSlashDate(p.overlap.lastDay)});
        return FillIn(texts.text(TextId::MsgProblemOverlap),
                      {EntryLabel(plays, texts), EntryLabel(silent, texts),
                       texts.text(everyWeekDay(p.overlap.weekDay)), ShortClockTime(p.overlap.from),
                       ShortClockTime(p.overlap.to), days});
    }
    case ProblemKind::MediaMissing:
        return FillIn(texts.text(TextId::MsgProblemMediaMissing), {who, p.name});
    case ProblemKind::MediaWillNotPlay:
        return FillIn(texts.text(TextId::MsgProblemMediaWillNotPlay), {who, p.name, p.why});
    case ProblemKind::VolumesDiffer: {
        EntryId earlier = p.entry;
        (earlier.kind == EntryId::Kind::Basic ? earlier.index : earlier.detail) = p.other;
        return FillIn(texts.text(TextId::MsgProblemVolumesDiffer),
                      {who, p.name, volumeText(p.volume, texts), volumeText(p.otherVolume, texts),
                       EntryLabel(earlier, texts)});
    }
    }
    return who;
}

std::vector<DayMarks> MonthMarks(const Schedule& s, int year, int month, const CivilDate& today) {
    std::vector<DayMarks> days;
    const int count = advanceCountOf(s);
    const int length = DaysOfMonth(year, month);
    days.reserve(static_cast<std::size_t>(length));
    for (int day = 1; day <= length; ++day) {
        DayMarks marks;
        marks.date = {year, month, day};
        marks.today = marks.date == today;
        const int weekDay = WeekDayOf(marks.date);
        for (int i = 0; i < count; ++i) {
            const AdvanceEntry& e = s.advanceEntries[static_cast<std::size_t>(i)];
            if (!DateInRange(e, marks.date) || !WeekDayMatches(e, weekDay))
                continue;
            for (const int earlier : marks.advance) {
                const AdvanceEntry& o = s.advanceEntries[static_cast<std::size_t>(earlier)];
                if (std::max(StartTimeOf(e), StartTimeOf(o)) <= std::min(StopTimeOf(e), StopTimeOf(o))) {
                    marks.overlap = true;
                    break;
                }
            }
            marks.advance.push_back(i);
        }
        days.push_back(std::move(marks));
    }
    return days;
}

std::vector<Finding> CheckScheduleSense(const Schedule& s, const CivilDate& today) {
    std::vector<Finding> out;
    constexpr auto warning = Finding::Severity::Warning;
    int overlaps = 0;
    for (const ScheduleProblem& p : FindScheduleProblems(s, today)) {
        switch (p.kind) {
        case ProblemKind::WeekDayNeverOccurs:
            out.push_back(Finding::about(p.entry,
                                         "its dates " + FormatIsoDate(p.overlap.firstDay) + " to " +
                                             FormatIsoDate(p.overlap.lastDay) + " hold no " +
                                             WeekDayWord(p.overlap.weekDay),
                                         warning));
            break;
        case ProblemKind::Ended:
            out.push_back(Finding::about(p.entry,
                                         "ended on " + FormatIsoDate(p.overlap.lastDay) + " (today is " +
                                             FormatIsoDate(p.today) + ")",
                                         warning));
            break;
        case ProblemKind::Overlap:
            // One line per pair, with the days and times the two share.
            if (++overlaps <= kMaxReportedOverlaps)
                out.push_back(Finding::about(
                    p.entry,
                    "overlaps advance entry " + std::to_string(p.other + 1) + " on " +
                        (p.overlap.weekDay >= 0 && p.overlap.weekDay < 7
                             ? std::string(WeekDayWord(p.overlap.weekDay)) + "s"
                             : std::string("every day")) +
                        " " + FormatClockTime(p.overlap.from) + "-" + FormatClockTime(p.overlap.to) +
                        " from " + FormatIsoDate(p.overlap.firstDay) + " to " +
                        FormatIsoDate(p.overlap.lastDay),
                    warning));
            break;
        default:
            // The rest are errors CheckScheduleContent reports, or need the editor's media folders.
            break;
        }
    }
    if (overlaps > kMaxReportedOverlaps)
        out.push_back(Finding::about(EntryId{},
                                     std::to_string(overlaps - kMaxReportedOverlaps) +
                                         " more pairs of advance entries overlap",
                                     warning));
    return out;
}

} // namespace velmo
