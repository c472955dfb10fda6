#include "support/test_context.h"

#include "ui/about/about_company_form.h"
#include "ui/about/about_velmo_schedule_generator_form.h"
#include "ui/about/velmo_logo.h"
#include "ui/platform/ui_text.h"

#include <QImage>
#include <QLabel>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <gtest/gtest.h>

using namespace velmo;
using velmo::test::TestContext;

namespace {

QLabel* label(QWidget& form, const char* name) {
    auto* found = form.findChild<QLabel*>(QLatin1String(name));
    if (found == nullptr)
        ADD_FAILURE() << "no label " << name;
    return found;
}

void click(QWidget* widget) {
    QTest::mouseClick(widget, Qt::LeftButton, {}, widget->rect().center());
}

// The text after "E-mail : " or "Web : ".
QString address(QLabel* link) {
    return link->text().section(QStringLiteral(" : "), 1);
}

} // namespace

TEST(AboutVelmoScheduleGeneratorForm, ShowsBothVersionLinesToTheCharacter) {
    TestContext t;
    AboutVelmoScheduleGeneratorForm form(t.context);

    EXPECT_EQ(form.windowTitle(), QStringLiteral("About Velmo Schedule Generator..."));
    EXPECT_EQ(label(form, "SoftwareVersionLabel")->text(),
              QStringLiteral("Software Version 01000000000020070103"));
    EXPECT_EQ(label(form, "ScheduleKernelLabel")->text(),
              QStringLiteral("Schedule Kernel Version 0100KERNEL0000061018"));
    EXPECT_EQ(label(form, "Label1")->text(), QStringLiteral("Velmo Schedule Generator"));
    EXPECT_FALSE(label(form, "VelmoLogoImage")->pixmap().isNull());
    EXPECT_TRUE(form.isModal());
}

TEST(AboutVelmoScheduleGeneratorForm, WordsFollowTheActiveTableButVersionsAndFixedTextsDoNot) {
    TestContext t;
    t.texts.SelectScreenTexts(2);
    AboutVelmoScheduleGeneratorForm form(t.context);

    EXPECT_EQ(form.windowTitle(), toQt(SecondLanguageText(TextId::TextAboutProduct)));
    EXPECT_EQ(label(form, "SoftwareVersionLabel")->text(),
              toQt(SecondLanguageText(TextId::TextSoftwareVersion)) +
                  QStringLiteral(" 01000000000020070103"));
    EXPECT_EQ(label(form, "ScheduleKernelLabel")->text(),
              toQt(SecondLanguageText(TextId::TextScheduleKernelVersion)) +
                  QStringLiteral(" 0100KERNEL0000061018"));
    EXPECT_EQ(form.findChild<QPushButton*>(QStringLiteral("OKCmd"))->text(), QStringLiteral("OK"));
}

TEST(AboutVelmoScheduleGeneratorForm, OkClosesTheDialog) {
    TestContext t;
    AboutVelmoScheduleGeneratorForm form(t.context);
    form.show();
    click(form.findChild<QPushButton*>(QStringLiteral("OKCmd")));
    EXPECT_FALSE(form.isVisible());
    EXPECT_EQ(form.result(), QDialog::Accepted);
}

TEST(AboutCompanyForm, EachLinkLabelOpensTheLinkItShows) {
    TestContext t;
    AboutCompanyForm form(t.context);
    form.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&form));
    EXPECT_EQ(form.windowTitle(), QStringLiteral("About Company..."));

    const char* emails[] = {"VelmoEmailLabel", "VelmoJapEmailLabel", "VelmoUSAEmailLabel"};
    const char* webs[] = {"VelmoWWWLabel", "VelmoJapWWWLabel", "VelmoUSAWWWLabel"};
    std::vector<QUrl> expected;
    for (int block = 0; block < 3; ++block) {
        QLabel* email = label(form, emails[block]);
        QLabel* web = label(form, webs[block]);
        EXPECT_TRUE(email->text().startsWith(QStringLiteral("E-mail : "))) << email->text().toStdString();
        EXPECT_TRUE(web->text().startsWith(QStringLiteral("Web : "))) << web->text().toStdString();
        EXPECT_TRUE(email->font().underline());
        EXPECT_TRUE(web->font().underline());
        click(email);
        click(web);
        expected.push_back(QUrl(QStringLiteral("mailto:") + address(email)));
        expected.push_back(QUrl(QStringLiteral("https://") + address(web) + QLatin1Char('/')));
    }

    EXPECT_EQ(t.links.opened, expected);
    for (const QUrl& url : t.links.opened) {
        const QString domain = url.scheme() == QLatin1String("mailto")
                                   ? url.path().section(QLatin1Char('@'), 1)
                                   : url.host().section(QLatin1Char('.'), 1);
        EXPECT_TRUE(domain == QLatin1String("example.com") || domain == QLatin1String("example.org"))
            << url.toString().toStdString();
    }
    EXPECT_TRUE(t.prompts.shown.empty());
    EXPECT_TRUE(form.isVisible());
}

TEST(AboutCompanyForm, CompanyAddressAndTelephoneLabelsDoNothing) {
    TestContext t;
    AboutCompanyForm form(t.context);
    form.show();
    for (const char* name :
         {"VelmoLabel", "Label2", "Label3", "Label4", "Label7", "Label8", "Label9", "Label12", "Label13"}) {
        SCOPED_TRACE(name);
        QLabel* plain = label(form, name);
        EXPECT_FALSE(plain->text().isEmpty());
        click(plain);
    }
    EXPECT_TRUE(label(form, "VelmoLabel")->font().bold());
    EXPECT_TRUE(t.links.opened.empty());
    EXPECT_TRUE(t.prompts.shown.empty());
}

TEST(AboutCompanyForm, LinkErrorOnlyWhenTheRequestCannotBeMadeAndTheDialogStaysOpen) {
    TestContext t;
    AboutCompanyForm form(t.context);
    form.show();
    QLabel* web = label(form, "VelmoUSAWWWLabel");

    click(web);
    EXPECT_TRUE(t.prompts.messages().isEmpty());

    t.links.succeed = false;
    click(web);
    EXPECT_EQ(t.prompts.messages(), QStringList{QStringLiteral("Link error")});
    EXPECT_EQ(t.links.opened.size(), 2u);
    EXPECT_TRUE(form.isVisible());
}

TEST(AboutCompanyForm, LinkOpensFromTheKeyboard) {
    TestContext t;
    AboutCompanyForm form(t.context);
    form.show();
    QLabel* email = label(form, "VelmoJapEmailLabel");
    EXPECT_TRUE(email->focusPolicy() & Qt::TabFocus);
    QTest::keyClick(email, Qt::Key_Space);
    ASSERT_EQ(t.links.opened.size(), 1u);
    EXPECT_EQ(t.links.opened.front(), QUrl(QStringLiteral("mailto:") + address(email)));
}

TEST(VelmoWindowIcon, IsTheLogoAsTheSvgDrawsIt) {
    // The shipped bitmap must follow the SVG: a changed logo needs the bitmap made again.
    const QImage icon = VelmoWindowIcon().pixmap(128).toImage().convertToFormat(QImage::Format_ARGB32);
    const QImage drawn = VelmoLogo(128).toImage().convertToFormat(QImage::Format_ARGB32);
    ASSERT_EQ(icon.size(), QSize(128, 128));
    ASSERT_EQ(drawn.size(), icon.size());
    int worst = 0;
    for (int y = 0; y < 128; ++y)
        for (int x = 0; x < 128; ++x) {
            const QRgb a = icon.pixel(x, y);
            const QRgb b = drawn.pixel(x, y);
            for (int shift : {0, 8, 16, 24})
                worst = std::max(worst, std::abs(int((a >> shift) & 0xff) - int((b >> shift) & 0xff)));
        }
    EXPECT_LE(worst, 2);
}
