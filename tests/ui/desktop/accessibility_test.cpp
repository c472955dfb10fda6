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
#include <QApplication>
#include <QCalendarWidget>
#include <QComboBox>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QPalette>
#include <QPushButton>
#include <QSizeGrip>
#include <QStatusBar>
#include <QTableView>
#include <QTest>

#include <functional>

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

QPalette darkPalette() {
    QPalette dark;
    dark.setColor(QPalette::Window, QColor(0x30, 0x30, 0x30));
    dark.setColor(QPalette::WindowText, QColor(0xe8, 0xe8, 0xe8));
    dark.setColor(QPalette::Base, QColor(0x20, 0x20, 0x20));
    dark.setColor(QPalette::Text, QColor(0xe8, 0xe8, 0xe8));
    dark.setColor(QPalette::Button, QColor(0x38, 0x38, 0x38));
    dark.setColor(QPalette::ButtonText, QColor(0xe8, 0xe8, 0xe8));
    dark.setColor(QPalette::Highlight, QColor(0x2a, 0x2a, 0x2a));
    dark.setColor(QPalette::HighlightedText, QColor(0xff, 0xff, 0xff));
    return dark;
}

// A frame inside another is read by its own title, not the outer one's: the two date frames were
// both "Date Setup" to a screen reader, the two time frames both "Time Setup".
TEST_F(AccessibilityTest, AdvanceEditorFramesAreReadByTheirOwnTitles) {
    start();
    AdvanceScheduleEditForm editor(tc.context, std::nullopt, form.get());
    const struct {
        const char* frame;
        const char* name;
    } frames[] = {{"StartDateFrame", "Start Day"}, {"StopDateFrame", "Stop Day"},
                  {"WeekDayFrame", "Week Day"},    {"StartTimeFrame", "Start Time"},
                  {"StopTimeFrame", "Stop Time"},  {"DateFrame", "Date Setup"}};
    for (const auto& f : frames) {
        QAccessibleInterface* face =
            QAccessible::queryAccessibleInterface(editor.findChild<QWidget*>(QLatin1String(f.frame)));
        ASSERT_NE(face, nullptr) << f.frame;
        EXPECT_EQ(face->role(), QAccessible::Grouping) << f.frame;
        EXPECT_EQ(face->text(QAccessible::Name), QString::fromLatin1(f.name)) << f.frame;
        QStringList labels;
        for (const auto& [other, relation] : face->relations(QAccessible::Label))
            labels << other->text(QAccessible::Name);
        EXPECT_EQ(labels, QStringList()) << f.frame;
    }
}

// The Skip Days calendar as a screen reader meets it: named month buttons, no week numbers, the
// week-day captions as column headers, each day with its full date, a day left out said so, and the
// chosen day as the focus.
TEST_F(AccessibilityTest, SkipDaysCalendarReadsEveryDayWithItsDate) {
    start();
    AdvanceEntry period = MakeAdvance(26, 12, 1, 1, 1);
    period.stopDay = 31;
    AdvanceScheduleEditForm editor(tc.context, period, form.get());
    editor.show();
    WithDialog([&] { editor.findChild<QPushButton*>(QStringLiteral("SkipDaysCmd"))->click(); },
               [&](QWidget* picker) {
                   auto* calendar = picker->findChild<QCalendarWidget*>();
                   auto* days = calendar->findChild<QTableView*>();
                   EXPECT_EQ(accessibleName(calendar, "qt_calendar_prevmonth"),
                             QStringLiteral("Previous Month"));
                   EXPECT_EQ(accessibleName(calendar, "qt_calendar_nextmonth"), QStringLiteral("Next Month"));
                   QAccessibleInterface* table = QAccessible::queryAccessibleInterface(days);
                   ASSERT_EQ(table->role(), QAccessible::Table);
                   ASSERT_EQ(table->childCount(), 7 * 7); // a caption row and six weeks, no week numbers
                   EXPECT_EQ(table->child(0)->role(), QAccessible::ColumnHeader);
                   EXPECT_EQ(table->child(0)->text(QAccessible::Name),
                             QLocale().dayName(calendar->firstDayOfWeek()));
                   const QLocale locale = calendar->locale();
                   int cellsOfDecember = 0;
                   for (int i = 7; i < table->childCount(); ++i) {
                       QAccessibleInterface* cell = table->child(i);
                       EXPECT_EQ(cell->role(), QAccessible::Cell) << i;
                       EXPECT_EQ(table->indexOfChild(cell), i);
                       const QString name = cell->text(QAccessible::Name);
                       bool bare = false;
                       name.toInt(&bare);
                       EXPECT_FALSE(bare) << name.toStdString();
                       for (int day = 1; day <= 31; ++day)
                           if (name == locale.toString(QDate(2026, 12, day), QLocale::LongFormat))
                               ++cellsOfDecember;
                   }
                   EXPECT_EQ(cellsOfDecember, 31);
                   // Cells met while week numbers were shown still read the day they now show.
                   calendar->setVerticalHeaderFormat(QCalendarWidget::ISOWeekNumbers);
                   const QString wide = table->child(31)->text(QAccessible::Name);
                   calendar->setVerticalHeaderFormat(QCalendarWidget::NoVerticalHeader);
                   EXPECT_EQ(table->child(31)->role(), QAccessible::Cell) << wide.toStdString();
                   EXPECT_EQ(table->child(31)->text(QAccessible::Name),
                             locale.toString(calendar->firstDayOfWeek() == Qt::Monday ? QDate(2026, 12, 24)
                                                                                      : QDate(2026, 12, 23),
                                             QLocale::LongFormat));

                   calendar->setSelectedDate(QDate(2026, 12, 24));
                   days->setFocus();
                   QTest::keyClick(days, Qt::Key_Return);
                   QAccessibleInterface* focused = table->focusChild();
                   ASSERT_NE(focused, nullptr);
                   EXPECT_EQ(focused->text(QAccessible::Name),
                             locale.toString(QDate(2026, 12, 24), QLocale::LongFormat) +
                                 QStringLiteral(", left out"));
                   EXPECT_TRUE(focused->state().selected);
                   picker->findChild<QPushButton*>(QStringLiteral("CancelCmd"))->click();
               });
}

// The main window without noise: the colour strip's bars are no objects to a screen reader, the
// captions above the lists are column headers, and nothing in the status bar is unnamed.
TEST_F(AccessibilityTest, MainWindowLeavesOutTheStripAndReadsColumnHeaders) {
    start();
    form->show();
    QStringList seen;
    std::function<void(QAccessibleInterface*)> walk = [&](QAccessibleInterface* face) {
        if (face->object() != nullptr && face->object()->objectName().startsWith(QStringLiteral("Shape1_")))
            seen << face->object()->objectName();
        for (int i = 0; i < face->childCount(); ++i)
            if (QAccessibleInterface* child = face->child(i))
                walk(child);
    };
    walk(QAccessible::queryAccessibleInterface(form.get()));
    EXPECT_EQ(seen, QStringList());

    for (const char* header : {"BasicFileNameCmd", "WeekDayCmd", "DetailVolumeCmd"}) {
        QAccessibleInterface* face = QAccessible::queryAccessibleInterface(Button(*form, header));
        EXPECT_EQ(face->role(), QAccessible::ColumnHeader) << header;
        EXPECT_EQ(face->text(QAccessible::Name), Button(*form, header)->text()) << header;
    }
    EXPECT_EQ(accessibleName(Button(*form, "BasicFileNameCmd")), QStringLiteral("File Name"));

    // The size grip is a mouse handle a screen reader cannot use.
    QAccessibleInterface* bar = QAccessible::queryAccessibleInterface(form->statusBar());
    EXPECT_EQ(bar->role(), QAccessible::StatusBar);
    for (int i = 0; i < bar->childCount(); ++i) {
        QAccessibleInterface* child = bar->child(i);
        EXPECT_FALSE(qobject_cast<QSizeGrip*>(child->object())) << i;
        EXPECT_FALSE(child->text(QAccessible::Name).isEmpty()) << i;
    }
}

// How many pixels of the list's inside differ clearly between the two pictures.
int clearlyDifferent(const QImage& a, const QImage& b) {
    int count = 0;
    for (int y = 0; y < std::min(a.height(), b.height()); ++y)
        for (int x = 0; x < std::min(a.width(), b.width()); ++x) {
            const QColor p = a.pixelColor(x, y);
            const QColor q = b.pixelColor(x, y);
            if (std::abs(p.lightness() - q.lightness()) > 60)
                ++count;
        }
    return count;
}

// An empty list that has the focus shows it, whatever the palette's highlight: a dark palette's
// highlight can be as dark as the list itself.
TEST_F(AccessibilityTest, EmptyFocusedListShowsItsFocus_inLightAndDarkPalettes) {
    start();
    form->show();
    QApplication::setActiveWindow(form.get());
    ScheduleListView* list = List(*form, "NormalList");
    ASSERT_EQ(list->count(), 0);
    for (const QPalette& palette : {QApplication::palette(), darkPalette()}) {
        form->setPalette(palette);
        Button(*form, "NewCmd")->setFocus();
        QApplication::processEvents();
        const QImage unfocused = list->grab().toImage();
        list->setFocus();
        QApplication::processEvents();
        ASSERT_TRUE(list->hasFocus());
        const QImage focused = list->grab().toImage();
        // A dotted frame round the inside: a few hundred pixels at least.
        EXPECT_GT(clearlyDifferent(unfocused, focused), 2 * (list->width() + list->height()) / 4)
            << (palette == QApplication::palette() ? "light" : "dark");
    }
    // A row in the list is its own focus mark.
    AddBasic(schedule(), MakeFile("TOAST", "MP3", 1, 13));
    form->ShowBasicList();
    QApplication::processEvents();
    EXPECT_FALSE(list->viewport()->findChild<QWidget*>(QStringLiteral("EmptyFocusMark"))->isVisible());
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
