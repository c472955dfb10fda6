#include "schedule_edit_form.h"

namespace velmo {

// Not built yet: the editor window comes with the editing work.
ScheduleEditForm::ScheduleEditForm(AppContext& context, MainLists lists, QWidget* parent)
    : QDialog(parent), context_(context), lists_(std::move(lists)) {}

ScheduleEditForm::~ScheduleEditForm() = default;

} // namespace velmo
