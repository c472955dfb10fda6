#pragma once

#include "model/product_version.h"

#include <QDialog>

class QLabel;
class QPushButton;

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
    void Form_Load();
    void InitAboutVelmoScheduleGeneratorFormOsd();
    void OKCmd_Click();

    AppContext& context_;
    QLabel* VelmoLogoImage = nullptr;
    QLabel* Label1 = nullptr;
    QLabel* Label2 = nullptr;
    QLabel* Label3 = nullptr;
    QLabel* SoftwareVersionLabel = nullptr;
    QLabel* ScheduleKernelLabel = nullptr;
    QPushButton* OKCmd = nullptr;
};

} // namespace velmo
