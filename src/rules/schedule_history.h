#pragma once

// Undo and redo of schedule changes, kept as whole states: every kind of change undoes the same way.
// Each step keeps one state, the one it led to; the state before the first step is kept as well.
// Free of Qt, so it is tested without windows.

#include "model/schedule.h"
#include "texts/screen_texts.h"

#include <cstddef>
#include <deque>
#include <string>

namespace velmo {

// The schedule together with the file it belongs to: undoing an Open returns to the schedule before
// it and to that schedule's file, so a later Save cannot write it over the file just opened.
struct DocumentState {
    Schedule schedule;
    std::string directory;
    std::string fileName;

    bool operator==(const DocumentState&) const = default;
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
// The largest schedule a file may hold (255 periods of 255 files) takes about 1.8 MB a state, so the
// steps are also bounded by the memory their states take.
constexpr std::size_t kHistoryBytes = std::size_t{64} << 20;

// The memory a kept state takes (a kept copy holds no spare capacity), near enough to bound by.
std::size_t StateBytes(const DocumentState& state);

class ScheduleHistory {
public:
    // Where an undo or redo leads: the state to show and the entry to select.
    struct Target {
        const DocumentState* document = nullptr;
        EntryRef touched;
    };

    explicit ScheduleHistory(std::size_t maxSteps = kHistorySteps, std::size_t maxBytes = kHistoryBytes)
        : maxSteps_(maxSteps), maxBytes_(maxBytes) {}

    // Forgets every step; `current` is what counts as unchanged.
    void reset(const DocumentState& current);
    // Records a change; nothing when before and after are equal. Steps that could be redone are
    // dropped, and the oldest steps while the history holds too many or too large. True when a step
    // was recorded.
    bool record(TextId label, const DocumentState& before, EntryRef touchedBefore, const DocumentState& after,
                EntryRef touchedAfter);

    bool canUndo() const { return next_ > 0; }
    bool canRedo() const { return next_ < steps_.size(); }
    // The caption of the change an undo or redo would take back or do again; only when there is one.
    TextId undoLabel() const { return steps_[next_ - 1].label; }
    TextId redoLabel() const { return steps_[next_].label; }
    std::size_t undoSteps() const { return next_; }
    // What the kept states take together.
    std::size_t bytes() const { return bytes_; }

    // Moves one step; a target without a document when there is none.
    Target undo();
    Target redo();

    // What was opened, saved or newly started: the point that counts as unchanged.
    void markClean(const DocumentState& current) { clean_ = current; }
    bool isModified(const DocumentState& current) const { return !(current == clean_); }

private:
    struct Step {
        TextId label; // the command's caption: "Remove", "Add", ...
        EntryRef touchedBefore;
        EntryRef touchedAfter;
        DocumentState after;
    };
    void dropOldest();

    std::size_t maxSteps_;
    std::size_t maxBytes_;
    DocumentState first_; // the state before the oldest step
    std::deque<Step> steps_;
    std::size_t next_ = 0; // steps before it are done, the others undone
    std::size_t bytes_ = 0;
    DocumentState clean_;
};

} // namespace velmo
