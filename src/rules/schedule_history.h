#pragma once

// Undo and redo of schedule changes, kept as whole snapshots: a schedule is at most about 31 KB, so
// a copy per change is cheap and every kind of change undoes the same way. Free of Qt, so it is
// tested without windows.

#include "model/schedule.h"
#include "texts/screen_texts.h"

#include <cstddef>
#include <deque>
#include <string>

namespace velmo {

// The schedule together with the file it belongs to: undoing an Open returns to the schedule before
// it and to that schedule's file, so a later Save cannot write it over the file just opened.
struct ScheduleDocument {
    Schedule schedule;
    std::string directory;
    std::string fileName;

    bool operator==(const ScheduleDocument&) const = default;
};

// The entry a change touched, so the lists can select it again after an undo or redo.
struct EntryRef {
    enum class List { None, Basic, Advance, Detail };
    List list = List::None;
    int advance = -1; // the advance row whose details are meant (Detail), or the advance row itself
    int index = -1;   // the row in the list (Basic, Detail)

    bool operator==(const EntryRef&) const = default;
};

constexpr std::size_t kHistorySteps = 128;

class ScheduleHistory {
public:
    struct Step {
        TextId label; // the command's caption: "Remove", "Add", ...
        ScheduleDocument before;
        ScheduleDocument after;
        EntryRef touchedBefore;
        EntryRef touchedAfter;
    };
    // Where an undo or redo leads: the document to show and the entry to select.
    struct Target {
        const ScheduleDocument* document = nullptr;
        EntryRef touched;
    };

    explicit ScheduleHistory(std::size_t maxSteps = kHistorySteps) : maxSteps_(maxSteps) {}

    // Forgets every step; `current` is what counts as unchanged.
    void reset(const ScheduleDocument& current);
    // Records a change; nothing when before and after are equal. Steps that could be redone are
    // dropped, and the oldest step when the history is full. True when a step was recorded.
    bool record(TextId label, const ScheduleDocument& before, EntryRef touchedBefore,
                const ScheduleDocument& after, EntryRef touchedAfter);

    bool canUndo() const { return next_ > 0; }
    bool canRedo() const { return next_ < steps_.size(); }
    // The caption of the change an undo or redo would take back or do again; only when there is one.
    TextId undoLabel() const { return steps_[next_ - 1].label; }
    TextId redoLabel() const { return steps_[next_].label; }
    std::size_t undoSteps() const { return next_; }

    // Moves one step; a target without a document when there is none.
    Target undo();
    Target redo();

    // What was opened, saved or newly started: the point that counts as unchanged.
    void markClean(const ScheduleDocument& current) { clean_ = current; }
    bool isModified(const ScheduleDocument& current) const { return !(current == clean_); }

private:
    std::size_t maxSteps_;
    std::deque<Step> steps_;
    std::size_t next_ = 0; // steps before it are done, the others undone
    ScheduleDocument clean_;
};

} // namespace velmo
