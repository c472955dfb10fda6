#include "about_company_form.h"

namespace velmo {

// Not built yet.
AboutCompanyForm::AboutCompanyForm(AppContext& context, QWidget* parent) : QDialog(parent), context_(context) {}

AboutCompanyForm::~AboutCompanyForm() = default;

} // namespace velmo
