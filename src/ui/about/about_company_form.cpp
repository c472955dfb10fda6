#include "about_company_form.h"

#include "link_label.h"
#include "ui/platform/app_context.h"
#include "ui/platform/link_opener.h"
#include "ui/platform/prompts.h"
#include "ui/platform/ui_text.h"
#include "velmo_logo.h"

#include <QDialogButtonBox>
#include <QGridLayout>
#include <QLabel>
#include <QPushButton>
#include <QUrl>
#include <QVBoxLayout>

namespace velmo {

namespace {

// Fictional: addresses on the reserved example domains, telephone numbers from ranges kept free
// for fiction (UK 01632 960xxx, US 555-01xx) or never assigned (Tokyo numbers starting 03-0).
struct Contact {
    const char* company;
    const char* address;
    const char* telephone;
    const char* email;
    const char* web;
    const char* webLink;
};

constexpr Contact kHeadOffice{"Velmo Media Systems Ltd.",
                              "4 Lantern Yard, Eastbridge EB1 2XY, United Kingdom",
                              "Tel : +44 1632 960 314    Fax : +44 1632 960 315",
                              "info@example.com",
                              "www.example.com",
                              "https://www.example.com/"};
constexpr Contact kJapanOffice{"Velmo Japan K.K.",
                               "Kohaku Building 5F, 2-11 Sakurazaka, Chiyoda-ku, Tokyo, Japan",
                               "Tel : +81 3-0000-0271    Fax : +81 3-0000-0272",
                               "japan@example.org",
                               "www.example.org/jp",
                               "https://www.example.org/jp/"};
constexpr Contact kUsaOffice{"Velmo Media Systems Inc.",
                             "1200 Harbor Avenue, Suite 300, Springfield, USA",
                             "Tel : +1 201 555 0142    Fax : +1 201 555 0143",
                             "usa@example.com",
                             "www.example.com/us",
                             "https://www.example.com/us/"};

QString mailLink(const Contact& contact) {
    return QStringLiteral("mailto:") + QLatin1String(contact.email);
}

template <typename Label> Label* named(Label* label, const char* name) {
    label->setObjectName(QLatin1String(name));
    return label;
}

} // namespace

AboutCompanyForm::AboutCompanyForm(AppContext& context, QWidget* parent)
    : QDialog(parent), context_(context) {
    setModal(true);

    VelmoLogoImage = named(new QLabel(this), "VelmoLogoImage");
    VelmoLogoImage->setPixmap(VelmoLogo(72, devicePixelRatioF()));
    VelmoLogoImage->setAlignment(Qt::AlignTop | Qt::AlignHCenter);

    auto* blocks = new QVBoxLayout;
    blocks->setSpacing(2);
    const auto addBlock = [&](const Contact& contact, QLabel*& company, QLabel*& address, QLabel*& telephone,
                              LinkLabel*& email, LinkLabel*& web, const char* names[5]) {
        if (blocks->count() > 0)
            blocks->addSpacing(14);
        company = named(new QLabel(QLatin1String(contact.company), this), names[0]);
        QFont bold = company->font();
        bold.setBold(true);
        company->setFont(bold);
        address = named(new QLabel(QLatin1String(contact.address), this), names[1]);
        telephone = named(new QLabel(QLatin1String(contact.telephone), this), names[2]);
        email =
            named(new LinkLabel(QStringLiteral("E-mail : ") + QLatin1String(contact.email), this), names[3]);
        web = named(new LinkLabel(QStringLiteral("Web : ") + QLatin1String(contact.web), this), names[4]);
        for (QWidget* line : std::initializer_list<QWidget*>{company, address, telephone})
            blocks->addWidget(line);
        // A link is only as wide as its text, so the empty space beside it does not open it.
        for (LinkLabel* link : {email, web})
            blocks->addWidget(link, 0, Qt::AlignLeft);
    };
    const char* headNames[5] = {"VelmoLabel", "Label2", "Label3", "VelmoEmailLabel", "VelmoWWWLabel"};
    const char* japanNames[5] = {"Label4", "Label7", "Label8", "VelmoJapEmailLabel", "VelmoJapWWWLabel"};
    const char* usaNames[5] = {"Label9", "Label12", "Label13", "VelmoUSAEmailLabel", "VelmoUSAWWWLabel"};
    addBlock(kHeadOffice, VelmoLabel, Label2, Label3, VelmoEmailLabel, VelmoWWWLabel, headNames);
    addBlock(kJapanOffice, Label4, Label7, Label8, VelmoJapEmailLabel, VelmoJapWWWLabel, japanNames);
    addBlock(kUsaOffice, Label9, Label12, Label13, VelmoUSAEmailLabel, VelmoUSAWWWLabel, usaNames);

    OKCmd = named(new QPushButton(QStringLiteral("OK"), this), "OKCmd");
    OKCmd->setDefault(true);
    auto* buttons = new QDialogButtonBox(this);
    buttons->addButton(OKCmd, QDialogButtonBox::AcceptRole);

    auto* layout = new QGridLayout(this);
    layout->setContentsMargins(18, 18, 18, 14);
    layout->setHorizontalSpacing(18);
    layout->setVerticalSpacing(14);
    layout->addWidget(VelmoLogoImage, 0, 0);
    layout->addLayout(blocks, 0, 1);
    layout->addWidget(buttons, 1, 0, 1, 2);
    layout->setSizeConstraint(QLayout::SetFixedSize);

    connect(OKCmd, &QPushButton::clicked, this, &AboutCompanyForm::OKCmd_Click);
    connect(VelmoEmailLabel, &LinkLabel::clicked, this, &AboutCompanyForm::VelmoEmailLabel_Click);
    connect(VelmoWWWLabel, &LinkLabel::clicked, this, &AboutCompanyForm::VelmoWWWLabel_Click);
    connect(VelmoJapEmailLabel, &LinkLabel::clicked, this, &AboutCompanyForm::VelmoJapEmailLabel_Click);
    connect(VelmoJapWWWLabel, &LinkLabel::clicked, this, &AboutCompanyForm::VelmoJapWWWLabel_Click);
    connect(VelmoUSAEmailLabel, &LinkLabel::clicked, this, &AboutCompanyForm::VelmoUSAEmailLabel_Click);
    connect(VelmoUSAWWWLabel, &LinkLabel::clicked, this, &AboutCompanyForm::VelmoUSAWWWLabel_Click);
    Form_Load();
}

AboutCompanyForm::~AboutCompanyForm() = default;

void AboutCompanyForm::Form_Load() {
    InitAboutCompanyFormOsd();
}

void AboutCompanyForm::InitAboutCompanyFormOsd() {
    setWindowTitle(screenText(context_.texts, TextId::TextAboutCompany));
}

void AboutCompanyForm::OKCmd_Click() {
    accept();
}

void AboutCompanyForm::VelmoEmailLabel_Click() {
    OpenContactLink(mailLink(kHeadOffice));
}
void AboutCompanyForm::VelmoWWWLabel_Click() {
    OpenContactLink(QLatin1String(kHeadOffice.webLink));
}
void AboutCompanyForm::VelmoJapEmailLabel_Click() {
    OpenContactLink(mailLink(kJapanOffice));
}
void AboutCompanyForm::VelmoJapWWWLabel_Click() {
    OpenContactLink(QLatin1String(kJapanOffice.webLink));
}
void AboutCompanyForm::VelmoUSAEmailLabel_Click() {
    OpenContactLink(mailLink(kUsaOffice));
}
void AboutCompanyForm::VelmoUSAWWWLabel_Click() {
    OpenContactLink(QLatin1String(kUsaOffice.webLink));
}

void AboutCompanyForm::OpenContactLink(const QString& link) {
    // A link the desktop has no program for says nothing; only a request that cannot be made does.
    if (!context_.links.open(QUrl(link)))
        context_.prompts.message(this, screenText(context_.texts, TextId::MsgLinkError));
}

} // namespace velmo
