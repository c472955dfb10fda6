#pragma once

#include <QDialog>

namespace velmo {

struct AppContext;

// The product-version dialog.
class AboutVelmoScheduleGeneratorForm : public QDialog {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(AboutVelmoScheduleGeneratorForm)
public:
    explicit AboutVelmoScheduleGeneratorForm(AppContext& context, QWidget* parent = nullptr);
    ~AboutVelmoScheduleGeneratorForm() override;

private:
    AppContext& context_;
};

} // namespace velmo
