#include "schedule_document.h"

#include "model/app_state.h"
#include "rules/entry_batch.h"
#include "rules/period_groups.h"
#include "rules/schedule_rules.h"
#include "rules/schedule_sense.h"

#include <algorithm>

namespace velmo {

namespace {

template <typename Entry> bool inUse(const std::vector<Entry>& entries, int count, int index) {
    return index >= 0 && index < count && index < static_cast<int>(entries.size());
}

// Runs `change` on the entries of one list and their count: the details of `advance` for Detail.
template <typename Change>
bool changeEntries(Schedule& s, EntryRef::List list, int advance, Change&& change) {
    switch (list) {
    case EntryRef::List::Basic:
        return change(s.basicEntries, s.basicCount);
    case EntryRef::List::Advance:
        return change(s.advanceEntries, s.advanceCount);
    case EntryRef::List::Detail:
        if (!inUse(s.advanceEntries, s.advanceCount, advance))
            return false;
        return change(s.advanceEntries[static_cast<std::size_t>(advance)].files,
                      s.advanceEntries[static_cast<std::size_t>(advance)].fileCount);
    case EntryRef::List::None:
        break;
    }
    return false;
}

EntryRef refOf(EntryRef::List list, int advance, int index) {
    if (list == EntryRef::List::Advance)
        return {list, index, -1};
    return {list, list == EntryRef::List::Detail ? advance : -1, index};
}

TextId labelOf(AddSource source) {
    switch (source) {
    case AddSource::Editor:
        break;
    case AddSource::Paste:
        return TextId::TextPasteEntry;
    case AddSource::Duplicate:
        return TextId::TextDuplicateEntry;
    case AddSource::Drop:
        return TextId::TextDropFiles;
    }
    return TextId::TextAdd;
}

// The row selected after an edit, in a list now holding `rows` rows: the last row added, the row
// changed, where a moved row went, or the row now in a removed one's place.
int selectedAfter(const RowEdit& edit, int rows) {
    switch (edit.kind) {
    case RowEdit::Kind::Insert:
        return rows - 1;
    case RowEdit::Kind::Replace:
        return edit.row;
    case RowEdit::Kind::Swap:
    case RowEdit::Kind::Move:
        return edit.other;
    case RowEdit::Kind::Remove:
        break;
    }
    return std::min(edit.row, rows - 1);
}

// True when `a` from `aFirst` holds the same `count` entries as `b` from `bFirst`.
template <typename Entry>
bool sameRun(const std::vector<Entry>& a, int aFirst, const std::vector<Entry>& b, int bFirst, int count) {
    return std::equal(a.begin() + aFirst, a.begin() + aFirst + count, b.begin() + bFirst);
}

} // namespace

template <typename Entry>
std::vector<RowChange> RowChangesBetween(const std::vector<Entry>& before, int beforeCount,
                                         const std::vector<Entry>& after, int afterCount) {
    const int nb = std::clamp(beforeCount, 0, static_cast<int>(before.size()));
    const int na = std::clamp(afterCount, 0, static_cast<int>(after.size()));
    int head = 0;
    while (head < nb && head < na &&
           before[static_cast<std::size_t>(head)] == after[static_cast<std::size_t>(head)])
        ++head;
    int tail = 0;
    while (tail < nb - head && tail < na - head &&
           before[static_cast<std::size_t>(nb - 1 - tail)] == after[static_cast<std::size_t>(na - 1 - tail)])
        ++tail;
    const int gone = nb - head - tail;
    const int come = na - head - tail;
    using K = RowChange::Kind;
    std::vector<RowChange> changes;
    // One row taken out and put back elsewhere: a move, so the row keeps its selection. Two rows
    // that trade places are two rows changed, as a Move Up or Move Down shows them.
    if (gone == come && gone >= 3) {
        const int last = head + gone - 1;
        if (before[static_cast<std::size_t>(head)] == after[static_cast<std::size_t>(last)] &&
            sameRun(before, head + 1, after, head, gone - 1))
            return {{EntryRef::List::None, -1, K::Moved, head, 1, last}};
        if (before[static_cast<std::size_t>(last)] == after[static_cast<std::size_t>(head)] &&
            sameRun(before, head, after, head + 1, gone - 1))
            return {{EntryRef::List::None, -1, K::Moved, last, 1, head}};
    }
    const int kept = std::min(gone, come);
    if (kept > 0)
        changes.push_back({EntryRef::List::None, -1, K::Changed, head, kept, -1});
    if (come > gone)
        changes.push_back({EntryRef::List::None, -1, K::Inserted, head + kept, come - gone, -1});
    if (gone > come)
        changes.push_back({EntryRef::List::None, -1, K::Removed, head + kept, gone - come, -1});
    return changes;
}

template std::vector<RowChange> RowChangesBetween(const std::vector<FileEntry>&, int,
                                                  const std::vector<FileEntry>&, int);
template std::vector<RowChange> RowChangesBetween(const std::vector<AdvanceEntry>&, int,
                                                  const std::vector<AdvanceEntry>&, int);

ScheduleDocument::ScheduleDocument(AppState& state, QObject* parent) : QObject(parent), state_(state) {
    history_.reset(this->state());
}

ScheduleDocument::~ScheduleDocument() = default;

const Schedule& ScheduleDocument::schedule() const {
    return state_.schedule;
}

const std::string& ScheduleDocument::directory() const {
    return state_.scheduleDir;
}

const std::string& ScheduleDocument::fileName() const {
    return state_.scheduleFileName;
}

DocumentState ScheduleDocument::state() const {
    return DocumentState{state_.schedule, state_.scheduleDir, state_.scheduleFileName};
}

const AdvanceEntry* ScheduleDocument::advanceEntry(int advance) const {
    const Schedule& s = state_.schedule;
    return inUse(s.advanceEntries, s.advanceCount, advance)
               ? &s.advanceEntries[static_cast<std::size_t>(advance)]
               : nullptr;
}

int ScheduleDocument::count(EntryRef::List list, int advance) const {
    const Schedule& s = state_.schedule;
    switch (list) {
    case EntryRef::List::Basic:
        return std::min(static_cast<int>(s.basicCount), static_cast<int>(s.basicEntries.size()));
    case EntryRef::List::Advance:
        return std::min(static_cast<int>(s.advanceCount), static_cast<int>(s.advanceEntries.size()));
    case EntryRef::List::Detail:
        if (const AdvanceEntry* owner = advanceEntry(advance))
            return std::min(static_cast<int>(owner->fileCount), static_cast<int>(owner->files.size()));
        return 0;
    case EntryRef::List::None:
        break;
    }
    return 0;
}

int ScheduleDocument::room(EntryRef::List list, int advance) const {
    switch (list) {
    case EntryRef::List::Basic:
        return std::max(0, kMaxBasicEntries - count(list));
    case EntryRef::List::Advance:
        return FreePeriods(state_.schedule);
    case EntryRef::List::Detail:
        return advanceEntry(advance) != nullptr ? std::max(0, kMaxDetailEntries - count(list, advance)) : 0;
    case EntryRef::List::None:
        break;
    }
    return 0;
}

void ScheduleDocument::load(DocumentState loaded) {
    const bool fileChanged =
        loaded.directory != state_.scheduleDir || loaded.fileName != state_.scheduleFileName;
    state_.schedule = std::move(loaded.schedule);
    state_.scheduleDir = std::move(loaded.directory);
    state_.scheduleFileName = std::move(loaded.fileName);
    history_.reset(state());
    emit listsReset();
    emit reset({});
    emit changed();
    if (fileChanged)
        emit this->fileChanged();
    emit historyChanged();
}

void ScheduleDocument::replace(TextId label, DocumentState next, Replacement kind) {
    const DocumentState before = state();
    history_.record(label, before, {}, next, {});
    show({&next, {}}, true);
    // Whatever was opened or started counts as unchanged until it is edited.
    if (kind == Replacement::Opened)
        history_.markClean(state());
    emit historyChanged();
}

void ScheduleDocument::saved(const std::string& directory, const std::string& fileName) {
    const bool fileChanged = directory != state_.scheduleDir || fileName != state_.scheduleFileName;
    state_.scheduleDir = directory;
    state_.scheduleFileName = fileName;
    history_.markClean(state());
    if (fileChanged)
        emit this->fileChanged();
    emit wasSaved();
    emit historyChanged();
}

bool ScheduleDocument::apply(TextId label, RowEdit rows, const std::function<bool(Schedule&)>& change) {
    Schedule next = state_.schedule;
    if (!change(next))
        return false;
    if (rows.list == EntryRef::List::Detail && detailsTogether_) {
        // The periods of a group hold the same details, so the changed ones stand for every period.
        const PeriodRange group = GroupOf(state_.schedule, rows.advance);
        const AdvanceEntry changed = next.advanceEntries[static_cast<std::size_t>(rows.advance)];
        for (int row = group.first; row <= group.last(); ++row) {
            AdvanceEntry& period = next.advanceEntries[static_cast<std::size_t>(row)];
            period.files = changed.files;
            period.fileCount = changed.fileCount;
        }
    }
    const DocumentState previous = state();
    const EntryRef before = selection_ ? selection_(rows.list) : EntryRef{};
    state_.schedule = std::move(next);
    rows.label = label;
    rows.selected = selectedAfter(rows, count(rows.list, rows.advance));
    history_.record(label, previous, before, state(), refOf(rows.list, rows.advance, rows.selected));
    announce(previous.schedule);
    emit edited(rows);
    emit changed();
    emit historyChanged();
    return true;
}

bool ScheduleDocument::addFiles(AddSource source, EntryRef::List list, int advance,
                                const std::vector<FileEntry>& entries) {
    if (entries.empty() || (list != EntryRef::List::Basic && list != EntryRef::List::Detail))
        return false;
    const int first = count(list, advance);
    return apply(labelOf(source),
                 {list, advance, RowEdit::Kind::Insert, first, -1, {}, source == AddSource::Editor},
                 [&](Schedule& s) {
                     std::vector<FileEntry>* target = &s.basicEntries;
                     std::int16_t* targetCount = &s.basicCount;
                     int limit = kMaxBasicEntries;
                     if (list == EntryRef::List::Detail) {
                         if (!inUse(s.advanceEntries, s.advanceCount, advance))
                             return false;
                         AdvanceEntry& owner = s.advanceEntries[static_cast<std::size_t>(advance)];
                         target = &owner.files;
                         targetCount = &owner.fileCount;
                         limit = kMaxDetailEntries;
                     }
                     for (const FileEntry& entry : entries)
                         if (!AppendEntry(*target, *targetCount, limit, entry))
                             return false;
                     return true;
                 });
}

bool ScheduleDocument::replaceFile(EntryRef::List list, int advance, int index, const FileEntry& entry) {
    return apply(TextId::TextModify, {list, advance, RowEdit::Kind::Replace, index, -1, {}, true},
                 [&](Schedule& s) {
                     if (list == EntryRef::List::Basic) {
                         if (!inUse(s.basicEntries, s.basicCount, index))
                             return false;
                         s.basicEntries[static_cast<std::size_t>(index)] = entry;
                         return true;
                     }
                     if (list != EntryRef::List::Detail || !inUse(s.advanceEntries, s.advanceCount, advance))
                         return false;
                     AdvanceEntry& owner = s.advanceEntries[static_cast<std::size_t>(advance)];
                     if (!inUse(owner.files, owner.fileCount, index))
                         return false;
                     owner.files[static_cast<std::size_t>(index)] = entry;
                     return true;
                 });
}

bool ScheduleDocument::addAdvance(AddSource source, const AdvanceEntry& entry) {
    const int first = count(EntryRef::List::Advance);
    return apply(
        labelOf(source),
        {EntryRef::List::Advance, -1, RowEdit::Kind::Insert, first, -1, {}, source == AddSource::Editor},
        [&](Schedule& s) {
            return AppendEntry(s.advanceEntries, s.advanceCount, kMaxAdvanceEntries, entry);
        });
}

bool ScheduleDocument::replaceAdvance(int index, const AdvanceEntry& entry) {
    return apply(TextId::TextModify,
                 {EntryRef::List::Advance, -1, RowEdit::Kind::Replace, index, -1, {}, true},
                 [&](Schedule& s) {
                     if (!inUse(s.advanceEntries, s.advanceCount, index))
                         return false;
                     s.advanceEntries[static_cast<std::size_t>(index)] = entry;
                     return true;
                 });
}

bool ScheduleDocument::moveEntry(EntryRef::List list, int advance, int index, int direction) {
    const int target = index + direction;
    const TextId label = direction < 0 ? TextId::TextMoveUp : TextId::TextMoveDown;
    return apply(label, {list, advance, RowEdit::Kind::Swap, index, target}, [&](Schedule& s) {
        return changeEntries(s, list, advance, [&](auto& entries, std::int16_t count) {
            return SwapEntries(entries, count, index, target);
        });
    });
}

bool ScheduleDocument::moveEntryTo(EntryRef::List list, int advance, int from, int to) {
    if (from == to)
        return false;
    const TextId label = to < from ? TextId::TextMoveUp : TextId::TextMoveDown;
    return apply(label, {list, advance, RowEdit::Kind::Move, from, to}, [&](Schedule& s) {
        return changeEntries(s, list, advance, [&](auto& entries, std::int16_t count) {
            return MoveEntry(entries, count, from, to);
        });
    });
}

bool ScheduleDocument::removeEntry(EntryRef::List list, int advance, int index) {
    return apply(TextId::TextRemove, {list, advance, RowEdit::Kind::Remove, index, -1}, [&](Schedule& s) {
        switch (list) {
        case EntryRef::List::Basic:
            return RemoveEntry(s.basicEntries, s.basicCount, index);
        case EntryRef::List::Advance:
            return RemoveEntry(s.advanceEntries, s.advanceCount, index);
        case EntryRef::List::Detail:
            if (!inUse(s.advanceEntries, s.advanceCount, advance))
                return false;
            return RemoveEntry(s.advanceEntries[static_cast<std::size_t>(advance)].files,
                               s.advanceEntries[static_cast<std::size_t>(advance)].fileCount, index);
        case EntryRef::List::None:
            break;
        }
        return false;
    });
}

bool ScheduleDocument::replacePeriods(TextId label, PeriodRange range, std::vector<AdvanceEntry> periods,
                                      const EntryRef& touched) {
    const Schedule& current = state_.schedule;
    if (range.first < 0 || range.count < 0 || range.first + range.count > count(EntryRef::List::Advance) ||
        !PeriodsFit(current, range.count, static_cast<int>(periods.size())))
        return false;
    const auto firstKept = current.advanceEntries.begin() + range.first;
    std::vector<AdvanceEntry> rows(current.advanceEntries.begin(), firstKept);
    for (AdvanceEntry& period : periods)
        rows.push_back(std::move(period));
    rows.insert(rows.end(), firstKept + range.count,
                current.advanceEntries.begin() + count(EntryRef::List::Advance));
    Schedule next = current;
    next.advanceCount = static_cast<std::int16_t>(rows.size());
    next.advanceEntries = std::move(rows);
    // The spare element a loaded schedule carries, as every other edit keeps it.
    next.advanceEntries.emplace_back();
    if (next == current)
        return false;
    commit(label, std::move(next), touched);
    return true;
}

bool ScheduleDocument::renameMedia(TextId label, const std::map<std::string, std::string>& names) {
    Schedule next = state_.schedule;
    if (RenameMediaFiles(next, names) == 0)
        return false;
    commit(label, std::move(next), {});
    return true;
}

void ScheduleDocument::commit(TextId label, Schedule next, const EntryRef& touched) {
    const DocumentState previous = state();
    const EntryRef before = selection_ ? selection_(touched.list) : EntryRef{};
    state_.schedule = std::move(next);
    history_.record(label, previous, before, state(), touched);
    announce(previous.schedule);
    emit reset(touched);
    emit changed();
    emit historyChanged();
}

void ScheduleDocument::undo() {
    show(history_.undo(), false);
    emit historyChanged();
}

void ScheduleDocument::redo() {
    show(history_.redo(), false);
    emit historyChanged();
}

void ScheduleDocument::announce(const Schedule& before) {
    const Schedule& now = state_.schedule;
    const auto tell = [this](EntryRef::List list, int advance, std::vector<RowChange> changes) {
        for (RowChange& change : changes) {
            change.list = list;
            change.advance = advance;
            emit rowsChanged(change);
        }
    };
    // The periods first: their list decides whose details the Detail list shows.
    tell(EntryRef::List::Advance, -1,
         RowChangesBetween(before.advanceEntries, before.advanceCount, now.advanceEntries, now.advanceCount));
    const int periods = std::min({static_cast<int>(before.advanceCount), static_cast<int>(now.advanceCount),
                                  static_cast<int>(before.advanceEntries.size()),
                                  static_cast<int>(now.advanceEntries.size())});
    for (int advance = 0; advance < periods; ++advance) {
        const AdvanceEntry& was = before.advanceEntries[static_cast<std::size_t>(advance)];
        const AdvanceEntry& is = now.advanceEntries[static_cast<std::size_t>(advance)];
        tell(EntryRef::List::Detail, advance,
             RowChangesBetween(was.files, was.fileCount, is.files, is.fileCount));
    }
    tell(EntryRef::List::Basic, -1,
         RowChangesBetween(before.basicEntries, before.basicCount, now.basicEntries, now.basicCount));
}

void ScheduleDocument::show(const ScheduleHistory::Target& target, bool whole) {
    if (target.document == nullptr)
        return;
    const bool fileChanged = state_.scheduleDir != target.document->directory ||
                             state_.scheduleFileName != target.document->fileName;
    // Copied before assigning: the target may be a state the history drops meanwhile.
    DocumentState next = *target.document;
    const EntryRef touched = target.touched;
    Schedule before = std::move(state_.schedule);
    state_.schedule = std::move(next.schedule);
    state_.scheduleDir = std::move(next.directory);
    state_.scheduleFileName = std::move(next.fileName);
    if (whole)
        emit listsReset();
    else
        announce(before);
    emit reset(touched);
    emit changed();
    if (fileChanged)
        emit this->fileChanged();
}

bool ScheduleDocument::isModified() const {
    return history_.isModified(state());
}

} // namespace velmo
