#include "schedule_horizon.h"

#include "rules/finding.h"
#include "rules/schedule_match.h"
#include "rules/schedule_sense.h"
#include "texts/screen_texts.h"

#include <algorithm>

namespace velmo {

namespace {

// Periods whose stored dates name real days; an entry from another program may hold none.
template <typename Visit> void forEachDatedPeriod(const Schedule& s, Visit visit) {
    const int count = std::min<int>(s.advanceCount, static_cast<int>(s.advanceEntries.size()));
    for (int i = 0; i < count; ++i) {
        const AdvanceEntry& e = s.advanceEntries[static_cast<std::size_t>(i)];
        if (IsValidCivilDate(StartDateOf(e)) && IsValidCivilDate(StopDateOf(e)))
            visit(i, StartDateOf(e), StopDateOf(e));
    }
}

} // namespace

std::optional<CivilDate> LastPeriodDay(const Schedule& schedule) {
    std::optional<CivilDate> last;
    forEachDatedPeriod(schedule, [&](int, const CivilDate&, const CivilDate& stop) {
        if (!last || *last < stop)
            last = stop;
    });
    return last;
}

std::vector<std::string> ScheduleHorizonLines(const Schedule& schedule, const CivilDate& today,
                                              const ScreenTexts& texts) {
    std::vector<std::string> lines;
    const std::optional<CivilDate> last = LastPeriodDay(schedule);
    if (!last)
        return lines;
    if (*last < today) {
        lines.push_back(texts.text(TextId::MsgHorizonAllEnded));
        return lines;
    }
    lines.push_back(FillIn(texts.text(TextId::MsgHorizonUntil), {FormatIsoDate(*last)}));
    // Rows of the same dates (one per week day of a period) are said once: twelve lines for one
    // period with days off would hide the one that matters.
    struct Run {
        int first;
        int last;
        CivilDate start;
        CivilDate stop;
    };
    std::vector<Run> runs;
    forEachDatedPeriod(schedule, [&](int index, const CivilDate& from, const CivilDate& to) {
        if (!runs.empty() && runs.back().last == index - 1 && runs.back().start == from &&
            runs.back().stop == to)
            runs.back().last = index;
        else
            runs.push_back({index, index, from, to});
    });
    const long todayNumber = DayNumber(today);
    std::vector<std::string> starts;
    for (const Run& run : runs) {
        const std::string who = run.first == run.last
                                    ? EntryLabel(EntryId::advance(run.first), texts)
                                    : FillIn(texts.text(TextId::TextEntryAdvanceRange),
                                             {std::to_string(run.first + 1), std::to_string(run.last + 1)});
        const long left = DayNumber(run.stop) - todayNumber;
        if (left >= 0 && left <= kEndingSoonDays) {
            const std::string date = FormatIsoDate(run.stop);
            if (left == 0)
                lines.push_back(FillIn(texts.text(TextId::MsgHorizonEndsToday), {who, date}));
            else if (left == 1)
                lines.push_back(FillIn(texts.text(TextId::MsgHorizonEndsTomorrow), {who, date}));
            else
                lines.push_back(
                    FillIn(texts.text(TextId::MsgHorizonEndsIn), {who, std::to_string(left), date}));
        }
        if (today < run.start)
            starts.push_back(FillIn(texts.text(TextId::MsgHorizonStarts), {who, FormatIsoDate(run.start)}));
    }
    lines.insert(lines.end(), starts.begin(), starts.end());
    return lines;
}

std::vector<int> PeriodsEndingBefore(const Schedule& schedule, const CivilDate& today,
                                     const CivilDate& until) {
    std::vector<int> found;
    forEachDatedPeriod(schedule, [&](int index, const CivilDate&, const CivilDate& stop) {
        if (!(stop < today) && stop < until)
            found.push_back(index);
    });
    return found;
}

} // namespace velmo
