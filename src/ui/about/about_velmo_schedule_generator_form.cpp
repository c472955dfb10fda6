#include "about_velmo_schedule_generator_form.h"

#include "model/schedule_file.h"
#include "ui/platform/app_context.h"
#include "ui/platform/ui_text.h"
#include "velmo_logo.h"

#include <QDialogButtonBox>
#include <QFrame>
#include <QGridLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

namespace velmo {

namespace {
QLabel* namedLabel(const QString& name, const QString& text, QWidget* parent) {
    auto* label = new QLabel(text, parent);
    label->setObjectName(name);
    return label;
}
} // namespace

AboutVelmoScheduleGeneratorForm::AboutVelmoScheduleGeneratorForm(AppContext& context, QWidget* parent)
    : QDialog(parent), context_(context) {
    setModal(true);

    VelmoLogoImage = namedLabel(QStringLiteral("VelmoLogoImage"), {}, this);
    VelmoLogoImage->setPixmap(VelmoLogo(72, devicePixelRatioF()));
    VelmoLogoImage->setAlignment(Qt::AlignTop | Qt::AlignHCenter);

    Label1 = namedLabel(QStringLiteral("Label1"), QStringLiteral("Velmo Schedule Generator"), this);
    QFont title = Label1->font();
    title.setBold(true);
    title.setPointSizeF(title.pointSizeF() * 1.4);
    Label1->setFont(title);
    Label2 =
        namedLabel(QStringLiteral("Label2"),
                   QStringLiteral("Builds the playback schedules of Velmo stand-alone media players."), this);
    Label3 = namedLabel(QStringLiteral("Label3"),
                        QStringLiteral("Copyright \u00A9 2007 Velmo Media Systems Ltd."), this);
    SoftwareVersionLabel = namedLabel(QStringLiteral("SoftwareVersionLabel"), {}, this);
    ScheduleKernelLabel = namedLabel(QStringLiteral("ScheduleKernelLabel"), {}, this);
    for (QLabel* version : {SoftwareVersionLabel, ScheduleKernelLabel})
        version->setTextInteractionFlags(Qt::TextSelectableByMouse);

    auto* rule = new QFrame(this);
    rule->setFrameShape(QFrame::HLine);
    rule->setFrameShadow(QFrame::Sunken);

    OKCmd = new QPushButton(QStringLiteral("OK"), this);
    OKCmd->setObjectName(QStringLiteral("OKCmd"));
    OKCmd->setDefault(true);
    auto* buttons = new QDialogButtonBox(this);
    buttons->addButton(OKCmd, QDialogButtonBox::AcceptRole);

    auto* text = new QVBoxLayout;
    text->setSpacing(6);
    text->addWidget(Label1);
    text->addWidget(Label2);
    text->addWidget(Label3);
    text->addSpacing(8);
    text->addWidget(rule);
    text->addSpacing(4);
    text->addWidget(SoftwareVersionLabel);
    text->addWidget(ScheduleKernelLabel);
    text->addStretch();

    auto* layout = new QGridLayout(this);
    layout->setContentsMargins(18, 18, 18, 14);
    layout->setHorizontalSpacing(18);
    layout->addWidget(VelmoLogoImage, 0, 0);
    layout->addLayout(text, 0, 1);
    layout->addWidget(buttons, 1, 0, 1, 2);
    layout->setSizeConstraint(QLayout::SetFixedSize);

    connect(OKCmd, &QPushButton::clicked, this, &AboutVelmoScheduleGeneratorForm::OKCmd_Click);
    Form_Load();
}

AboutVelmoScheduleGeneratorForm::~AboutVelmoScheduleGeneratorForm() = default;

void AboutVelmoScheduleGeneratorForm::Form_Load() {
    InitAboutVelmoScheduleGeneratorFormOsd();
    SoftwareVersionLabel->setText(screenText(context_.texts, TextId::TextSoftwareVersion) + QLatin1Char(' ') +
                                  QLatin1String(kSoftwareVersion));
    ScheduleKernelLabel->setText(screenText(context_.texts, TextId::TextScheduleKernelVersion) +
                                 QLatin1Char(' ') + QLatin1String(kScheduleKernelVersion));
}

void AboutVelmoScheduleGeneratorForm::InitAboutVelmoScheduleGeneratorFormOsd() {
    setWindowTitle(screenText(context_.texts, TextId::TextAboutProduct));
}

void AboutVelmoScheduleGeneratorForm::OKCmd_Click() {
    accept();
}

} // namespace velmo
