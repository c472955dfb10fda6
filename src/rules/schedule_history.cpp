#include "schedule_history.h"

namespace velmo {

std::size_t StateBytes(const DocumentState& state) {
    const Schedule& s = state.schedule;
    std::size_t bytes = sizeof(DocumentState) + state.directory.size() + state.fileName.size() +
                        s.basicEntries.size() * sizeof(FileEntry) +
                        s.advanceEntries.size() * sizeof(AdvanceEntry);
    for (const AdvanceEntry& entry : s.advanceEntries)
        bytes += entry.files.size() * sizeof(FileEntry);
    return bytes;
}

void ScheduleHistory::reset(const DocumentState& current) {
    steps_.clear();
    next_ = 0;
    first_ = current;
    bytes_ = StateBytes(first_);
    clean_ = current;
}

bool ScheduleHistory::record(TextId label, const DocumentState& before, EntryRef touchedBefore,
                             const DocumentState& after, EntryRef touchedAfter) {
    if (before == after)
        return false;
    while (steps_.size() > next_) {
        bytes_ -= StateBytes(steps_.back().after);
        steps_.pop_back();
    }
    // A change made outside the history (a Save's new file name) belongs to the state an undo returns to.
    DocumentState& current = next_ == 0 ? first_ : steps_[next_ - 1].after;
    if (!(current == before)) {
        bytes_ -= StateBytes(current);
        current = before;
        bytes_ += StateBytes(current);
    }
    steps_.push_back(Step{label, touchedBefore, touchedAfter, after});
    bytes_ += StateBytes(steps_.back().after);
    while (!steps_.empty() && (steps_.size() > maxSteps_ || (bytes_ > maxBytes_ && steps_.size() > 1)))
        dropOldest();
    next_ = steps_.size();
    return true;
}

void ScheduleHistory::dropOldest() {
    bytes_ -= StateBytes(first_);
    first_ = std::move(steps_.front().after);
    steps_.pop_front();
}

ScheduleHistory::Target ScheduleHistory::undo() {
    if (!canUndo())
        return {};
    --next_;
    const DocumentState& before = next_ == 0 ? first_ : steps_[next_ - 1].after;
    return {&before, steps_[next_].touchedBefore};
}

ScheduleHistory::Target ScheduleHistory::redo() {
    if (!canRedo())
        return {};
    const Step& step = steps_[next_++];
    return {&step.after, step.touchedAfter};
}

} // namespace velmo
