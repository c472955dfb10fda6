#pragma once

#include <QDialog>

namespace velmo {

struct AppContext;

// The maker's contact dialog.
class AboutCompanyForm : public QDialog {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(AboutCompanyForm)
public:
    explicit AboutCompanyForm(AppContext& context, QWidget* parent = nullptr);
    ~AboutCompanyForm() override;

private:
    AppContext& context_;
};

} // namespace velmo
