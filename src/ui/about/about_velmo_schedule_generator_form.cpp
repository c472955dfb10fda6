#include "about_velmo_schedule_generator_form.h"

namespace velmo {

// Not built yet.
AboutVelmoScheduleGeneratorForm::AboutVelmoScheduleGeneratorForm(AppContext& context, QWidget* parent) : QDialog(parent), context_(context) {}

AboutVelmoScheduleGeneratorForm::~AboutVelmoScheduleGeneratorForm() = default;

} // namespace velmo
