#include "copy_form.h"

namespace velmo {

// Not built yet.
CopyForm::CopyForm(AppContext& context, QWidget* parent) : QDialog(parent), context_(context) {}

CopyForm::~CopyForm() = default;

} // namespace velmo
