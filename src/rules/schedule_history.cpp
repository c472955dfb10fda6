#include "schedule_history.h"

namespace velmo {

void ScheduleHistory::reset(const ScheduleDocument& current) {
    steps_.clear();
    next_ = 0;
    clean_ = current;
}

bool ScheduleHistory::record(TextId label, const ScheduleDocument& before, EntryRef touchedBefore,
                             const ScheduleDocument& after, EntryRef touchedAfter) {
    if (before == after)
        return false;
    steps_.erase(steps_.begin() + static_cast<std::ptrdiff_t>(next_), steps_.end());
    steps_.push_back(Step{label, before, after, touchedBefore, touchedAfter});
    while (steps_.size() > maxSteps_)
        steps_.pop_front();
    next_ = steps_.size();
    return true;
}

ScheduleHistory::Target ScheduleHistory::undo() {
    if (!canUndo())
        return {};
    const Step& step = steps_[--next_];
    return {&step.before, step.touchedBefore};
}

ScheduleHistory::Target ScheduleHistory::redo() {
    if (!canRedo())
        return {};
    const Step& step = steps_[next_++];
    return {&step.after, step.touchedAfter};
}

} // namespace velmo
