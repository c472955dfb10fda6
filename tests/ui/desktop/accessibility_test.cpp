#include "ui/main/main_form_fixture.h"

#include "texts/screen_texts.h"
#include "ui/about/about_company_form.h"
#include "ui/about/about_velmo_schedule_generator_form.h"
#include "ui/copy/copy_form.h"
#include "ui/editors/advance_schedule_edit_form.h"
#include "ui/editors/schedule_edit_form.h"
#include "ui/platform/accessibility.h"
#include "ui/platform/ui_text.h"

#include <QAbstractItemView>
#include <QAccessible>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>

namespace velmo::test {
namespace {

QString accessibleName(QObject* object) {
    QAccessibleInterface* face = QAccessible::queryAccessibleInterface(object);
    return face != nullptr ? face->text(QAccessible::Name) : QString();
}

QString accessibleName(QWidget* window, const char* objectName) {
    QWidget* widget = window->findChild<QWidget*>(QLatin1String(objectName));
    if (widget == nullptr) {
        ADD_FAILURE() << "no control " << objectName;
        return {};
    }
    return accessibleName(widget);
}

// The controls of a window that a screen reader would announce without a name: those the keyboard
// reaches, every list and drop-down, and pictures. Parts of other controls (a list's scroll bars, a
// drop-down's popup) are announced through their owner and left out.
QStringList namelessControls(QWidget* window) {
    QStringList nameless;
    for (QWidget* widget : window->findChildren<QWidget*>()) {
        if (widget->window() != window || qobject_cast<QAbstractItemView*>(widget->parentWidget()) ||
            qobject_cast<QComboBox*>(widget->parentWidget()))
            continue;
        const auto* label = qobject_cast<QLabel*>(widget);
        const bool picture = label != nullptr && !label->pixmap().isNull();
        const bool control = widget->focusPolicy() != Qt::NoFocus ||
                             qobject_cast<QAbstractItemView*>(widget) || qobject_cast<QComboBox*>(widget);
        if ((picture || control) && accessibleName(widget).trimmed().isEmpty())
            nameless << QStringLiteral("%1 (%2)").arg(widget->objectName(),
                                                      widget->metaObject()->className());
    }
    return nameless;
}

class AccessibilityTest : public MainFormTest {
protected:
    void SetUp() override { InstallAccessibilitySupport(); }
};

TEST_F(AccessibilityTest, MainWindowListsAreAnnouncedByTheirFramesAndNothingIsNameless) {
    start();
    EXPECT_EQ(accessibleName(List(*form, "NormalList")), QStringLiteral("Basic Schedule"));
    EXPECT_EQ(accessibleName(List(*form, "AdvanceList")), QStringLiteral("Advance Schedule"));
    EXPECT_EQ(accessibleName(List(*form, "DetailList")), QStringLiteral("Detail of Advance Schedule"));
    EXPECT_EQ(QAccessible::queryAccessibleInterface(List(*form, "NormalList"))->role(), QAccessible::List);
    EXPECT_EQ(
        QAccessible::queryAccessibleInterface(List(*form, "NormalList"))->text(QAccessible::Description),
        QStringLiteral("File Name, Play Times, Volume"));
    EXPECT_EQ(
        QAccessible::queryAccessibleInterface(List(*form, "AdvanceList"))->text(QAccessible::Description),
        QStringLiteral("Start Day, Stop Day, Week Day"));
    EXPECT_EQ(accessibleName(Label(*form, "VelmoLogoImage")), QStringLiteral("Velmo Schedule Generator"));
    EXPECT_EQ(accessibleName(Button(*form, "NewCmd")), QStringLiteral("New"));
    EXPECT_EQ(namelessControls(form.get()), QStringList());
}

TEST_F(AccessibilityTest, NamesFollowTheActiveScreenTexts) {
    start();
    tc.texts.SelectScreenTexts(2);
    form->InitMainFormOsd();
    const QString basic = toQt(SecondLanguageText(TextId::TextBasicSchedule));
    ASSERT_NE(basic, QStringLiteral("Basic Schedule"));
    EXPECT_EQ(accessibleName(List(*form, "NormalList")), basic);
    EXPECT_EQ(accessibleName(List(*form, "DetailList")),
              toQt(SecondLanguageText(TextId::TextDetailOfAdvanceSchedule)));
    EXPECT_EQ(accessibleName(Label(*form, "VelmoLogoImage")),
              toQt(SecondLanguageText(TextId::TextProductName)));

    ScheduleEditForm editor(tc.context, std::nullopt, kMaxBasicEntries, form.get());
    EXPECT_EQ(accessibleName(&editor, "PlayTimesCombo"), toQt(SecondLanguageText(TextId::TextPlayTimes)));
    AdvanceScheduleEditForm advance(tc.context, std::nullopt, form.get());
    EXPECT_EQ(accessibleName(&advance, "StopMonthCombo"), toQt(SecondLanguageText(TextId::TextStopDay)) +
                                                              QStringLiteral(", ") +
                                                              toQt(SecondLanguageText(TextId::TextMonth)));
}

TEST_F(AccessibilityTest, FileEntryEditorNamesItsFieldsAndStillReportsTheChosenValues) {
    start();
    ScheduleEditForm editor(tc.context, std::nullopt, kMaxBasicEntries, form.get());
    EXPECT_EQ(accessibleName(&editor, "FileNameText"), QStringLiteral("File Name"));
    EXPECT_EQ(accessibleName(&editor, "PlayTimesCombo"), QStringLiteral("Play Times"));
    EXPECT_EQ(accessibleName(&editor, "VolumeCombo"), QStringLiteral("Volume"));

    auto* volume = editor.findChild<QComboBox*>(QStringLiteral("VolumeCombo"));
    QAccessibleInterface* face = QAccessible::queryAccessibleInterface(volume);
    EXPECT_EQ(face->role(), QAccessible::ComboBox);
    EXPECT_EQ(face->text(QAccessible::Value), QStringLiteral("Default"));
    volume->setCurrentIndex(7);
    EXPECT_EQ(face->text(QAccessible::Value), QStringLiteral("7"));
    EXPECT_EQ(face->text(QAccessible::Name), QStringLiteral("Volume"));
    // The popup list is its child, as with Qt's own drop-down.
    ASSERT_EQ(face->childCount(), 1);
    EXPECT_EQ(face->child(0)->object(), volume->view());
    EXPECT_EQ(namelessControls(&editor), QStringList());
}

TEST_F(AccessibilityTest, AdvanceEditorNamesEachListWithItsFrame) {
    start();
    AdvanceScheduleEditForm editor(tc.context, std::nullopt, form.get());
    EXPECT_EQ(accessibleName(&editor, "StartYearCombo"), QStringLiteral("Start Day, Year"));
    EXPECT_EQ(accessibleName(&editor, "StopDayCombo"), QStringLiteral("Stop Day, Day"));
    EXPECT_EQ(accessibleName(&editor, "StartMinuteCombo"), QStringLiteral("Start Time, Minute"));
    EXPECT_EQ(accessibleName(&editor, "StopSecondCombo"), QStringLiteral("Stop Time, Second"));
    EXPECT_EQ(accessibleName(&editor, "WeekdayCombo"), QStringLiteral("Week Day"));
    EXPECT_EQ(namelessControls(&editor), QStringList());
}

TEST_F(AccessibilityTest, CopyDialogNamesItsDriveDirectoryAndDestination) {
    start();
    CopyForm copy(tc.context, QStringLiteral("CLIP.AVI"));
    EXPECT_EQ(accessibleName(&copy, "CopyDrive"), QStringLiteral("Drive"));
    EXPECT_EQ(accessibleName(&copy, "CopyDir"), QStringLiteral("Directory"));
    EXPECT_EQ(accessibleName(&copy, "CopyText"), QStringLiteral("Destination"));
    EXPECT_EQ(namelessControls(&copy), QStringList());
}

TEST_F(AccessibilityTest, AboutDialogsNameTheirLogo) {
    start();
    AboutVelmoScheduleGeneratorForm product(tc.context);
    EXPECT_EQ(accessibleName(&product, "VelmoLogoImage"), QStringLiteral("Velmo Schedule Generator"));
    EXPECT_EQ(namelessControls(&product), QStringList());
    AboutCompanyForm company(tc.context);
    EXPECT_EQ(accessibleName(&company, "VelmoLogoImage"), QStringLiteral("Velmo Schedule Generator"));
    EXPECT_EQ(accessibleName(&company, "VelmoWWWLabel").startsWith(QStringLiteral("Web : ")), true);
    EXPECT_EQ(namelessControls(&company), QStringList());
}

} // namespace
} // namespace velmo::test
