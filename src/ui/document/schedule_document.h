#pragma once

#include "rules/period_groups.h"
#include "rules/schedule_history.h"

#include <QObject>
#include <functional>
#include <map>
#include <string>
#include <vector>

namespace velmo {

struct AppState;

// Where added entries come from; each names its undo step as the menu shows it.
enum class AddSource { Editor, Paste, Duplicate, Drop };

// What a whole new document is: opened or newly started (it counts as unchanged), or edits restored
// from the recovery file (they count as unsaved).
enum class Replacement { Opened, Restored };

// What one edit command did to one list: which rows, and the row it leaves selected.
struct RowEdit {
    enum class Kind { Insert, Replace, Swap, Move, Remove };
    EntryRef::List list = EntryRef::List::None;
    int advance = -1; // the advance entry whose details changed (Detail)
    Kind kind = Kind::Insert;
    int row = -1;                   // the first row inserted, the row replaced or removed, one row of a swap
    int other = -1;                 // the other row of a swap, or where a moved row went
    TextId label = TextId::TextAdd; // the command's caption, as the undo menu names it
    bool byEditor = false;          // stored by an entry editor's OK
    int selected = -1;              // the row to select after the edit; -1 when the list is empty
};

// How the rows of one list changed, so its model tells its view only of those rows. Emitted once
// the schedule holds the change; a list's changes come in order, each counted on the rows as they
// stand after the one before.
struct RowChange {
    enum class Kind { Inserted, Removed, Moved, Changed };
    EntryRef::List list = EntryRef::List::None;
    int advance = -1; // the advance entry whose details changed (Detail)
    Kind kind = Kind::Changed;
    int first = 0;
    int count = 0;
    int to = -1; // Moved: the place row `first` went to
};

// The changes that turn a list of `before` into one of `after`: the rows that differ, between the
// rows both keep at the start and at the end.
template <typename Entry>
std::vector<RowChange> RowChangesBetween(const std::vector<Entry>& before, int beforeCount,
                                         const std::vector<Entry>& after, int afterCount);

// The schedule being edited, with its file and its undo history. It is the only code that changes
// them: every edit is one call here, recorded as one undo step, and announced by signals that the
// lists, the overview, the caption and the recovery file follow. The schedule itself stays in
// AppState, where the dialogs that only read it find it.
class ScheduleDocument : public QObject {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(ScheduleDocument)
public:
    explicit ScheduleDocument(AppState& state, QObject* parent = nullptr);
    ~ScheduleDocument() override;

    const Schedule& schedule() const;
    const std::string& directory() const;
    const std::string& fileName() const;
    DocumentState state() const;
    // The details of advance entry `advance`, or null when there is none such.
    const AdvanceEntry* advanceEntry(int advance) const;
    // How many entries list `list` holds (the details of `advance` for Detail).
    int count(EntryRef::List list, int advance = -1) const;
    // How many more entries list `list` may take before it is full (none for details of no entry).
    int room(EntryRef::List list, int advance = -1) const;

    // Start-up: the schedule read (or a new one) is what counts as unchanged; nothing to undo.
    void load(DocumentState loaded);
    // New, Open, a restored recovery file: the whole document at once, as one undo step.
    void replace(TextId label, DocumentState next, Replacement kind);
    // A save wrote the schedule to this file: no undo step, and the schedule counts as unchanged.
    void saved(const std::string& directory, const std::string& fileName);

    // Appends file entries to the basic list or to the details of `advance`.
    bool addFiles(AddSource source, EntryRef::List list, int advance, const std::vector<FileEntry>& entries);
    bool replaceFile(EntryRef::List list, int advance, int index, const FileEntry& entry);
    bool addAdvance(AddSource source, const AdvanceEntry& entry);
    bool replaceAdvance(int index, const AdvanceEntry& entry);
    // Swaps entry `index` with entry `index + direction` (-1 up, +1 down).
    bool moveEntry(EntryRef::List list, int advance, int index, int direction);
    // Moves entry `from` to place `to` in its list, as a row dragged there.
    bool moveEntryTo(EntryRef::List list, int advance, int from, int to);
    bool removeEntry(EntryRef::List list, int advance, int index);
    // Replaces the advance rows of `range` by `periods` (a group added, changed, split or removed, or one
    // detail change made to each period of a group) as one undo step, with `touched` selected after. False,
    // with nothing changed, past the limit of periods.
    bool replacePeriods(TextId label, PeriodRange range, std::vector<AdvanceEntry> periods,
                        const EntryRef& touched);

    // Points the file entries named as keys of `names` at the names they map to (files replaced by
    // their player copies), as one undo step. False, with nothing changed, when no entry is named so.
    bool renameMedia(TextId label, const std::map<std::string, std::string>& names);

    // While on, every change to the details of a period is made to each period of its group alike.
    void setDetailsTogether(bool together) { detailsTogether_ = together; }

    // Where the user is in each list, so an undo selects again what was selected before the edit.
    void setSelectionSource(std::function<EntryRef(EntryRef::List)> source) {
        selection_ = std::move(source);
    }

    bool canUndo() const { return history_.canUndo(); }
    bool canRedo() const { return history_.canRedo(); }
    TextId undoLabel() const { return history_.undoLabel(); }
    TextId redoLabel() const { return history_.redoLabel(); }
    void undo();
    void redo();
    bool isModified() const;

signals:
    // Some rows of one list changed; the schedule already holds the change. Every change of the
    // schedule but a whole new one is told so, undo and redo included.
    void rowsChanged(const RowChange& change);
    // A whole new schedule (start-up, New, Open, a restored recovery file): every list is shown anew.
    void listsReset();
    // One edit command changed some rows of one list; its rows were told already.
    void edited(const RowEdit& edit);
    // Many rows at once (New, Open, undo, redo, restore, a group's periods): the lists were told
    // already; `touched` is the entry to select now.
    void reset(const EntryRef& touched);
    // After any change of the schedule, of either kind.
    void changed();
    // The file the schedule belongs to is another one.
    void fileChanged();
    // What undo and redo would do, or whether the schedule differs from its file, may have changed.
    void historyChanged();
    // A save succeeded.
    void wasSaved();

private:
    // Makes `change` on a copy and, when it succeeds, keeps it as one undo step; the row to select
    // afterwards is worked out here, once, for the view and for the history alike.
    bool apply(TextId label, RowEdit rows, const std::function<bool(Schedule&)>& change);
    // Makes the schedule of `target` the current one, told row by row, or as a whole when `whole`.
    void show(const ScheduleHistory::Target& target, bool whole);
    // Tells each list how its rows changed from `before` to the schedule now.
    void announce(const Schedule& before);
    // Makes `next` the schedule as one undo step; every list is shown anew with `touched` selected.
    void commit(TextId label, Schedule next, const EntryRef& touched);

    AppState& state_;
    ScheduleHistory history_;
    std::function<EntryRef(EntryRef::List)> selection_;
    bool detailsTogether_ = true;
};

} // namespace velmo
