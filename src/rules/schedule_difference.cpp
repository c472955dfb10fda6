#include "schedule_difference.h"

#include "rules/civil_date.h"
#include "rules/finding.h"
#include "rules/schedule_match.h"
#include "rules/schedule_sense.h"
#include "texts/screen_texts.h"

#include <algorithm>
#include <functional>
#include <optional>

namespace velmo {

namespace {

std::vector<FileEntry> entriesOf(const std::vector<FileEntry>& files, int count) {
    const std::size_t n = std::min(files.size(), static_cast<std::size_t>(std::max(count, 0)));
    return {files.begin(), files.begin() + static_cast<std::ptrdiff_t>(n)};
}

std::vector<AdvanceEntry> periodsOf(const Schedule& s) {
    const std::size_t n =
        std::min(s.advanceEntries.size(), static_cast<std::size_t>(std::max<int>(s.advanceCount, 0)));
    return {s.advanceEntries.begin(), s.advanceEntries.begin() + static_cast<std::ptrdiff_t>(n)};
}

// matched[i]: the old index the new element i is matched to, or none.
using Matching = std::vector<std::optional<std::size_t>>;

// Matches greedily in passes, each pass only among elements no earlier pass matched; within a pass
// the old element nearest in position wins, so repeated names pair up in order.
template <typename T>
Matching matchInPasses(const std::vector<T>& before, const std::vector<T>& after,
                       const std::vector<std::function<bool(const T&, const T&)>>& passes) {
    Matching matched(after.size());
    std::vector<bool> taken(before.size(), false);
    for (const auto& same : passes)
        for (std::size_t i = 0; i < after.size(); ++i) {
            if (matched[i])
                continue;
            std::optional<std::size_t> best;
            for (std::size_t k = 0; k < before.size(); ++k) {
                if (taken[k] || !same(before[k], after[i]))
                    continue;
                const auto distance = [i](std::size_t x) { return x > i ? x - i : i - x; };
                if (!best || distance(k) < distance(*best))
                    best = k;
            }
            if (best) {
                matched[i] = best;
                taken[*best] = true;
            }
        }
    return matched;
}

// The new elements that kept their order against the others (a longest increasing run of their old
// positions); every other matched element counts as moved.
std::vector<bool> keptInOrder(const Matching& matched) {
    std::vector<std::size_t> order; // new indices of matched elements
    for (std::size_t i = 0; i < matched.size(); ++i)
        if (matched[i])
            order.push_back(i);
    const std::size_t n = order.size();
    std::vector<std::size_t> length(n, 1), previous(n, n);
    std::size_t bestEnd = n;
    for (std::size_t a = 0; a < n; ++a) {
        for (std::size_t b = 0; b < a; ++b)
            if (*matched[order[b]] < *matched[order[a]] && length[b] + 1 > length[a]) {
                length[a] = length[b] + 1;
                previous[a] = b;
            }
        if (bestEnd == n || length[a] > length[bestEnd])
            bestEnd = a;
    }
    std::vector<bool> kept(matched.size(), false);
    for (std::size_t at = bestEnd; at < n; at = previous[at])
        kept[order[at]] = true;
    return kept;
}

std::string volumeText(int volume, const ScreenTexts& texts) {
    return volume == kVolumeDefault ? texts.text(TextId::TextVolumeDefault) : std::to_string(volume);
}

// How one list's changes are told: its texts for a removed and an added element, where its
// elements stand, how one is named, and what a matched pair says (moved, and each changed value).
template <typename T> struct ListWords {
    using Pair = std::function<bool(const T&, const T&)>;
    std::vector<Pair> passes; // from the strictest match to the loosest
    TextId removed;
    TextId added;
    std::function<EntryId(std::size_t)> oldRef;
    std::function<EntryId(std::size_t)> newRef;
    std::function<std::string(const T&)> shown;
    // old, now, old index, new index, the new element's label, whether it moved against the others
    std::function<void(const T&, const T&, std::size_t, std::size_t, const std::string&, bool)> changed;
};

// Removed elements first, then each new one: added, or moved and changed.
template <typename T>
void listChanges(const std::vector<T>& before, const std::vector<T>& after, const ListWords<T>& words,
                 const ScreenTexts& texts, std::vector<std::string>& out) {
    const Matching matched = matchInPasses<T>(before, after, words.passes);
    const std::vector<bool> kept = keptInOrder(matched);
    std::vector<bool> used(before.size(), false);
    for (const auto& m : matched)
        if (m)
            used[*m] = true;
    for (std::size_t k = 0; k < before.size(); ++k)
        if (!used[k])
            out.push_back(FillIn(texts.text(words.removed),
                                 {EntryLabel(words.oldRef(k), texts), words.shown(before[k])}));
    for (std::size_t i = 0; i < after.size(); ++i) {
        const std::string who = EntryLabel(words.newRef(i), texts);
        if (!matched[i])
            out.push_back(FillIn(texts.text(words.added), {who, words.shown(after[i])}));
        else
            words.changed(before[*matched[i]], after[i], *matched[i], i, who, !kept[i]);
    }
}

// Added, removed, moved and changed entries of one list of files.
void fileListChanges(const std::vector<FileEntry>& before, const std::vector<FileEntry>& after,
                     const std::function<EntryId(std::size_t)>& oldRef,
                     const std::function<EntryId(std::size_t)>& newRef, const ScreenTexts& texts,
                     std::vector<std::string>& out) {
    const auto sameName = [](const FileEntry& a, const FileEntry& b) {
        return MediaFileName(a) == MediaFileName(b);
    };
    const auto equal = [](const FileEntry& a, const FileEntry& b) {
        return MediaFileName(a) == MediaFileName(b) && a.playTimes == b.playTimes && a.volume == b.volume;
    };
    const auto changed = [&](const FileEntry& old, const FileEntry& now, std::size_t oldIndex, std::size_t,
                             const std::string& who, bool moved) {
        const std::string name = MediaFileName(now);
        if (moved)
            out.push_back(
                FillIn(texts.text(TextId::MsgDiffMoved), {who, name, EntryLabel(oldRef(oldIndex), texts)}));
        if (old.playTimes != now.playTimes)
            out.push_back(FillIn(texts.text(TextId::MsgDiffPlayCount),
                                 {who, name, std::to_string(old.playTimes), std::to_string(now.playTimes)}));
        if (old.volume != now.volume)
            out.push_back(FillIn(texts.text(TextId::MsgDiffVolume),
                                 {who, name, volumeText(old.volume, texts), volumeText(now.volume, texts)}));
    };
    listChanges<FileEntry>(before, after,
                           {{equal, sameName},
                            TextId::MsgDiffRemoved,
                            TextId::MsgDiffAdded,
                            oldRef,
                            newRef,
                            [](const FileEntry& e) { return MediaFileName(e); },
                            changed},
                           texts, out);
}

std::string datesText(const AdvanceEntry& e, const ScreenTexts& texts) {
    return FillIn(texts.text(TextId::TextDayRange),
                  {FormatSlashDate(StartDateOf(e)), FormatSlashDate(StopDateOf(e))});
}

std::string hoursText(const AdvanceEntry& e) {
    return ShortClockTime(StartTimeOf(e)) + "-" + ShortClockTime(StopTimeOf(e));
}

std::string daysText(const AdvanceEntry& e, const ScreenTexts& texts) {
    return texts.text(WeekDayTextId(e.weekDay));
}

std::string periodText(const AdvanceEntry& e, const ScreenTexts& texts) {
    return datesText(e, texts) + ", " + daysText(e, texts) + ", " + hoursText(e);
}

bool sameDates(const AdvanceEntry& a, const AdvanceEntry& b) {
    return StartDateOf(a) == StartDateOf(b) && StopDateOf(a) == StopDateOf(b);
}
bool sameHours(const AdvanceEntry& a, const AdvanceEntry& b) {
    return StartTimeOf(a) == StartTimeOf(b) && StopTimeOf(a) == StopTimeOf(b);
}
bool sameFiles(const AdvanceEntry& a, const AdvanceEntry& b) {
    return entriesOf(a.files, a.fileCount) == entriesOf(b.files, b.fileCount);
}

} // namespace

std::vector<std::string> ScheduleDifferenceLines(const Schedule& before, const Schedule& after,
                                                 const ScreenTexts& texts) {
    std::vector<std::string> out;
    fileListChanges(
        entriesOf(before.basicEntries, before.basicCount), entriesOf(after.basicEntries, after.basicCount),
        [](std::size_t k) { return EntryId::basic(static_cast<int>(k)); },
        [](std::size_t i) { return EntryId::basic(static_cast<int>(i)); }, texts, out);

    using Same = std::function<bool(const AdvanceEntry&, const AdvanceEntry&)>;
    const std::vector<Same> passes = {
        [](const AdvanceEntry& a, const AdvanceEntry& b) { return a == b; },
        [](const AdvanceEntry& a, const AdvanceEntry& b) {
            return sameDates(a, b) && a.weekDay == b.weekDay && sameHours(a, b);
        },
        [](const AdvanceEntry& a, const AdvanceEntry& b) {
            return sameDates(a, b) && a.weekDay == b.weekDay;
        },
        // One end moved: the same period made longer or shorter.
        [](const AdvanceEntry& a, const AdvanceEntry& b) {
            return a.weekDay == b.weekDay && sameHours(a, b) &&
                   (StartDateOf(a) == StartDateOf(b) || StopDateOf(a) == StopDateOf(b));
        },
        [](const AdvanceEntry& a, const AdvanceEntry& b) { return sameFiles(a, b); }};
    const auto period = [](std::size_t k) { return EntryId::advance(static_cast<int>(k)); };
    const auto changed = [&](const AdvanceEntry& old, const AdvanceEntry& now, std::size_t oldIndex,
                             std::size_t i, const std::string& who, bool moved) {
        if (moved)
            out.push_back(
                FillIn(texts.text(TextId::MsgDiffPeriodMoved), {who, EntryLabel(period(oldIndex), texts)}));
        if (!sameDates(old, now))
            out.push_back(FillIn(texts.text(TextId::MsgDiffPeriodDates),
                                 {who, datesText(old, texts), datesText(now, texts)}));
        if (old.weekDay != now.weekDay)
            out.push_back(FillIn(texts.text(TextId::MsgDiffPeriodDays),
                                 {who, daysText(old, texts), daysText(now, texts)}));
        if (!sameHours(old, now))
            out.push_back(
                FillIn(texts.text(TextId::MsgDiffPeriodHours), {who, hoursText(old), hoursText(now)}));
        const int index = static_cast<int>(i);
        fileListChanges(
            entriesOf(old.files, old.fileCount), entriesOf(now.files, now.fileCount),
            [index](std::size_t k) { return EntryId::detailOf(index, static_cast<int>(k)); },
            [index](std::size_t k) { return EntryId::detailOf(index, static_cast<int>(k)); }, texts, out);
    };
    listChanges<AdvanceEntry>(periodsOf(before), periodsOf(after),
                              {passes, TextId::MsgDiffPeriodRemoved, TextId::MsgDiffPeriodAdded, period,
                               period, [&texts](const AdvanceEntry& e) { return periodText(e, texts); },
                               changed},
                              texts, out);
    if (out.empty())
        out.push_back(texts.text(TextId::MsgDiffNone));
    return out;
}

} // namespace velmo
