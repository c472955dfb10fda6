#include "advance_schedule_edit_form.h"

namespace velmo {

// Not built yet: the editor window comes with the editing work.
AdvanceScheduleEditForm::AdvanceScheduleEditForm(AppContext& context, MainLists lists, QWidget* parent)
    : QDialog(parent), context_(context), lists_(std::move(lists)) {}

AdvanceScheduleEditForm::~AdvanceScheduleEditForm() = default;

} // namespace velmo
