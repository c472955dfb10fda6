#include "main_form_fixture.h"

#include "rules/period_groups.h"
#include "rules/schedule_match.h"
#include "rules/schedule_sense.h"
#include "ui/overview/advance_colours.h"

#include <QCalendarWidget>
#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QTest>

namespace velmo::test {
namespace {

class WeekDaysTest : public MainFormTest {
protected:
    void SetUp() override { start(); }

    void addDetail(const QString& name) {
        WithDialog([&] { Button(*form, "DetailAddCmd")->click(); },
                   [&](QWidget* dialog) {
                       dialog->findChild<QLineEdit*>(QStringLiteral("FileNameText"))->setText(name);
                       dialog->findChild<QPushButton*>(QStringLiteral("OKCmd"))->click();
                   });
    }
    QVariant fact(int row, int role) {
        const QAbstractItemModel* rows = List(*form, "AdvanceList")->model();
        return rows->data(rows->index(row, 0), role);
    }
};

// A breakfast offer on weekdays in December: one trip through the editor, its files added once.
TEST_F(WeekDaysTest, MondayToFriday_oneTripThroughTheEditor_filesReachEveryDay_savedAndReadBack) {
    WithDialog([&] { Button(*form, "AdvanceAddCmd")->click(); },
               [&](QWidget* editor) {
                   // The start day from the calendar beside the drop-downs, picked with the keyboard.
                   WithDialog(
                       [&] { editor->findChild<QPushButton*>(QStringLiteral("StartDateCmd"))->click(); },
                       [](QWidget* picker) {
                           auto* calendar = picker->findChild<QCalendarWidget*>();
                           calendar->setSelectedDate(QDate(2007, 12, 1));
                           QTest::keyClick(calendar->findChild<QAbstractItemView*>(), Qt::Key_Return);
                       });
                   const auto combo = [editor](const char* name) {
                       return editor->findChild<QComboBox*>(QString::fromLatin1(name));
                   };
                   EXPECT_EQ(combo("StartMonthCombo")->currentText(), QStringLiteral("12"));
                   EXPECT_EQ(combo("StartDayCombo")->currentText(), QStringLiteral("1"));
                   combo("StopMonthCombo")->setCurrentIndex(11);
                   combo("StopDayCombo")->setCurrentIndex(30);
                   combo("StartHourCombo")->setCurrentIndex(7);
                   combo("StopHourCombo")->setCurrentIndex(10);
                   combo("StopMinuteCombo")->setCurrentIndex(0);
                   combo("StopSecondCombo")->setCurrentIndex(0);
                   // The drop-down and the boxes follow each other until several days are ticked.
                   combo("WeekdayCombo")->setCurrentIndex(3);
                   EXPECT_TRUE(editor->findChild<QCheckBox*>(QStringLiteral("DayCheck3"))->isChecked());
                   EXPECT_FALSE(editor->findChild<QCheckBox*>(QStringLiteral("DayCheck1"))->isChecked());
                   editor->findChild<QPushButton*>(QStringLiteral("WeekdaysCmd"))->click();
                   EXPECT_TRUE(editor->findChild<QCheckBox*>(QStringLiteral("DayCheck1"))->isChecked());
                   EXPECT_FALSE(editor->findChild<QCheckBox*>(QStringLiteral("DayCheck6"))->isChecked());
                   editor->findChild<QPushButton*>(QStringLiteral("OKCmd"))->click();
               });
    ASSERT_EQ(schedule().advanceCount, 5);
    EXPECT_EQ(Rows(List(*form, "AdvanceList")),
              QStringList({"2007/12/01   2007/12/31   Monday", "2007/12/01   2007/12/31   Tuesday",
                           "2007/12/01   2007/12/31   Wednesday", "2007/12/01   2007/12/31   Thursday",
                           "2007/12/01   2007/12/31   Friday"}));
    // The hours and the group beside the row text, which stays the row's name.
    EXPECT_EQ(fact(2, kHoursRole).toString(), QStringLiteral("07:00-10:00"));
    EXPECT_EQ(fact(2, Qt::AccessibleDescriptionRole).toString(),
              QStringLiteral("07:00-10:00, one of 5 periods: Monday to Friday"));
    EXPECT_EQ(fact(2, kGroupFirstRole).toInt(), 0);
    EXPECT_EQ(fact(2, kGroupLastRole).toInt(), 4);

    List(*form, "AdvanceList")->setCurrentRow(2);
    for (const char* name : {"toast.mp3", "jam.jpg", "tea.avi"})
        addDetail(QString::fromLatin1(name));
    for (int row = 0; row < 5; ++row)
        EXPECT_EQ(schedule().advanceEntries[static_cast<std::size_t>(row)].fileCount, 3) << row;
    EXPECT_EQ(PeriodGroups(schedule()), (std::vector<PeriodRange>{{0, 5}}));

    const std::string out = makeDir("out");
    tc.prompts.files = {QString::fromStdString(out + "breakfast")};
    Button(*form, "SaveCmd")->click();
    Schedule read;
    ASSERT_TRUE(ReadScheduleFile(out, "breakfast.vlm", read).ok);
    ASSERT_EQ(read.advanceCount, 5);
    for (int row = 0; row < 5; ++row) {
        const AdvanceEntry& period = read.advanceEntries[static_cast<std::size_t>(row)];
        EXPECT_EQ(period.weekDay, row + 1);
        EXPECT_EQ(period.startHour, 7);
        EXPECT_EQ(period.stopHour, 10);
        EXPECT_EQ(period.stopDay, 31);
        ASSERT_EQ(period.fileCount, 3);
        EXPECT_EQ(period.files[1], MakeFile("JAM", "JPG", 1, kVolumeDefault));
    }
}

TEST_F(WeekDaysTest, GroupCommands_modifyAndRemoveReachEveryPeriod_eachOneUndoStep) {
    Schedule s;
    for (int day = 1; day <= 5; ++day) {
        AdvanceEntry period = MakeAdvance(7, 12, 1, day, 2);
        period.stopDay = 31; // dates that hold every week day
        AddAdvance(s, period);
    }
    AddAdvance(s, MakeAdvance(7, 12, 2, 3, 1));
    load(s);
    List(*form, "AdvanceList")->setCurrentRow(1);

    // Modify opens on the group with its days ticked; Saturday and Sunday instead store two periods.
    WithDialog([&] { Button(*form, "AdvanceModifyCmd")->click(); },
               [](QWidget* editor) {
                   for (int day = 0; day < 7; ++day)
                       EXPECT_EQ(
                           editor->findChild<QCheckBox*>(QStringLiteral("DayCheck%1").arg(day))->isChecked(),
                           day >= 1 && day <= 5)
                           << day;
                   editor->findChild<QPushButton*>(QStringLiteral("WeekendCmd"))->click();
                   editor->findChild<QPushButton*>(QStringLiteral("OKCmd"))->click();
               });
    ASSERT_EQ(schedule().advanceCount, 3);
    EXPECT_EQ(schedule().advanceEntries[0].weekDay, 0);
    EXPECT_EQ(schedule().advanceEntries[1].weekDay, 6);
    EXPECT_EQ(schedule().advanceEntries[1].fileCount, 2);

    // Remove asks about the group: No takes the one row, Yes all of them, Cancel nothing.
    List(*form, "AdvanceList")->setCurrentRow(0);
    tc.prompts.choices = {"Cancel", "No", "Yes"};
    Button(*form, "AdvanceRemoveCmd")->click();
    EXPECT_EQ(schedule().advanceCount, 3);
    Button(*form, "AdvanceRemoveCmd")->click();
    EXPECT_EQ(schedule().advanceCount, 2);
    Action(*form, "subUndo")->trigger();
    List(*form, "AdvanceList")->setCurrentRow(1);
    Button(*form, "AdvanceRemoveCmd")->click();
    ASSERT_EQ(schedule().advanceCount, 1);
    EXPECT_EQ(schedule().advanceEntries[0].startDay, 2);
    ASSERT_FALSE(tc.prompts.shown.empty());
    EXPECT_EQ(tc.prompts.shown.back().text, QStringLiteral("Remove the 2 periods Sunday, Saturday?"));

    Action(*form, "subUndo")->trigger();
    EXPECT_EQ(schedule().advanceCount, 3);
    Action(*form, "subUndo")->trigger();
    EXPECT_EQ(schedule(), s);
}

TEST_F(WeekDaysTest, PastTheLimit_theEditorSaysHowManyAreFree_andStoresNothing) {
    Schedule s;
    for (int i = 0; i < kMaxAdvanceEntries - 3; ++i)
        AddAdvance(s, MakeAdvance(7, 12, 1 + i % 28, kWeekDayAll, 0));
    load(s);
    WithDialog([&] { Button(*form, "AdvanceAddCmd")->click(); },
               [](QWidget* editor) {
                   // Till the end of the year: five week days, two more than fit.
                   editor->findChild<QComboBox*>(QStringLiteral("StopMonthCombo"))->setCurrentIndex(11);
                   editor->findChild<QPushButton*>(QStringLiteral("WeekdaysCmd"))->click();
                   editor->findChild<QPushButton*>(QStringLiteral("OKCmd"))->click();
                   EXPECT_TRUE(editor->isVisible());
               });
    EXPECT_EQ(shownMessages(), QStringList({"Too many schedules!! Only 3 more periods fit."}));
    EXPECT_EQ(schedule(), s);
}

// The bakery's breakfast, Monday to Friday through December and January, closed over the holidays:
// one group across the pieces the days off leave, every edit with the days together reaching all of
// its rows, each one undo step.
TEST_F(WeekDaysTest, DaysOff_onePeriodAcrossItsPieces_everyEditReachesEveryRow_savedWithoutWarnings) {
    const auto combo = [](QWidget* editor, const char* name) {
        return editor->findChild<QComboBox*>(QString::fromLatin1(name));
    };
    WithDialog([&] { Button(*form, "AdvanceAddCmd")->click(); },
               [&](QWidget* editor) {
                   combo(editor, "StartYearCombo")->setCurrentIndex(26);
                   combo(editor, "StartMonthCombo")->setCurrentIndex(11);
                   combo(editor, "StartDayCombo")->setCurrentIndex(0);
                   combo(editor, "StopYearCombo")->setCurrentIndex(27);
                   combo(editor, "StopMonthCombo")->setCurrentIndex(0);
                   combo(editor, "StopDayCombo")->setCurrentIndex(30);
                   combo(editor, "StartHourCombo")->setCurrentIndex(7);
                   combo(editor, "StopHourCombo")->setCurrentIndex(10);
                   editor->findChild<QPushButton*>(QStringLiteral("WeekdaysCmd"))->click();
                   WithDialog(
                       [&] { editor->findChild<QPushButton*>(QStringLiteral("SkipDaysCmd"))->click(); },
                       [](QWidget* picker) {
                           auto* calendar = picker->findChild<QCalendarWidget*>();
                           for (const QDate day :
                                {QDate(2026, 12, 24), QDate(2026, 12, 25), QDate(2026, 12, 26),
                                 QDate(2026, 12, 31), QDate(2027, 1, 1)}) {
                               calendar->setSelectedDate(day);
                               QTest::keyClick(calendar->findChild<QAbstractItemView*>(), Qt::Key_Return);
                           }
                           picker->findChild<QPushButton*>(QStringLiteral("OKCmd"))->click();
                       });
                   editor->findChild<QPushButton*>(QStringLiteral("OKCmd"))->click();
               });
    // Monday to Friday before Christmas, Monday to Wednesday between the holidays, then January.
    ASSERT_EQ(schedule().advanceCount, 13);
    EXPECT_EQ(PeriodGroups(schedule()), (std::vector<PeriodRange>{{0, 13}}));
    EXPECT_EQ(schedule().advanceEntries[7].weekDay, 3);
    EXPECT_EQ(schedule().advanceEntries[7].stopDay, 30);
    for (int row = 0; row < 13; ++row)
        EXPECT_TRUE(DateRangeHoldsWeekDay(schedule().advanceEntries[static_cast<std::size_t>(row)])) << row;

    // Files added from a row between the holidays reach every row, once.
    List(*form, "AdvanceList")->setCurrentRow(6);
    addDetail(QStringLiteral("toast.mp3"));
    addDetail(QStringLiteral("jam.jpg"));
    const Schedule withFiles = schedule();
    for (int row = 0; row < 13; ++row)
        EXPECT_EQ(withFiles.advanceEntries[static_cast<std::size_t>(row)].fileCount, 2) << row;

    const auto everyRow = [&](const std::function<bool(const AdvanceEntry&)>& holds) {
        for (int row = 0; row < schedule().advanceCount; ++row)
            if (!holds(schedule().advanceEntries[static_cast<std::size_t>(row)]))
                return false;
        return true;
    };
    const auto modifyPeriod = [&](const std::function<void(QWidget*)>& change) {
        return [&, change] {
            List(*form, "AdvanceList")->setCurrentRow(12);
            WithDialog([&] { Button(*form, "AdvanceModifyCmd")->click(); },
                       [&](QWidget* editor) {
                           // The group opens as the one period it is: whole dates, its days.
                           EXPECT_EQ(combo(editor, "StartDayCombo")->currentText(), QStringLiteral("1"));
                           EXPECT_EQ(combo(editor, "StopMonthCombo")->currentText(), QStringLiteral("1"));
                           EXPECT_EQ(combo(editor, "WeekdayCombo")->currentText(),
                                     QStringLiteral("Monday to Friday"));
                           change(editor);
                           editor->findChild<QPushButton*>(QStringLiteral("OKCmd"))->click();
                       });
        };
    };
    const struct {
        const char* name;
        std::function<void()> edit;
        std::function<bool()> done;
    } edits[] = {
        {"add a file",
         [&] {
             List(*form, "AdvanceList")->setCurrentRow(11);
             addDetail(QStringLiteral("tea.avi"));
         },
         [&] { return everyRow([](const AdvanceEntry& e) { return e.fileCount == 3; }); }},
        {"change a file",
         [&] {
             List(*form, "AdvanceList")->setCurrentRow(0);
             List(*form, "DetailList")->setCurrentRow(1);
             WithDialog(
                 [&] { Button(*form, "DetailModifyCmd")->click(); },
                 [](QWidget* dialog) {
                     dialog->findChild<QLineEdit*>(QStringLiteral("FileNameText"))->setText("butter.jpg");
                     dialog->findChild<QPushButton*>(QStringLiteral("OKCmd"))->click();
                 });
         },
         [&] { return everyRow([](const AdvanceEntry& e) { return e.files[1].fileName[0] == 'B'; }); }},
        {"move a file",
         [&] {
             List(*form, "AdvanceList")->setCurrentRow(5);
             List(*form, "DetailList")->setCurrentRow(0);
             Button(*form, "DetailMoveDownCmd")->click();
         },
         [&] { return everyRow([](const AdvanceEntry& e) { return e.files[0].fileName[0] == 'J'; }); }},
        {"remove a file",
         [&] {
             List(*form, "AdvanceList")->setCurrentRow(8);
             List(*form, "DetailList")->setCurrentRow(0);
             Button(*form, "DetailRemoveCmd")->click();
         },
         [&] { return everyRow([](const AdvanceEntry& e) { return e.fileCount == 1; }); }},
        {"change the start hour",
         modifyPeriod([&](QWidget* editor) { combo(editor, "StartHourCombo")->setCurrentIndex(6); }),
         [&] {
             return schedule().advanceCount == 13 && PeriodGroups(schedule()).size() == 1 &&
                    everyRow([](const AdvanceEntry& e) { return e.startHour == 6 && e.fileCount == 2; });
         }},
        {"end earlier",
         modifyPeriod([&](QWidget* editor) { combo(editor, "StopDayCombo")->setCurrentIndex(14); }),
         [&] {
             return schedule().advanceCount == 13 && schedule().advanceEntries[12].stopDay == 15 &&
                    PeriodGroups(schedule()).size() == 1;
         }},
        {"remove the period",
         [&] {
             List(*form, "AdvanceList")->setCurrentRow(9);
             tc.prompts.choices = {"Yes"};
             Button(*form, "AdvanceRemoveCmd")->click();
         },
         [&] { return schedule().advanceCount == 0; }},
    };
    for (const auto& e : edits) {
        e.edit();
        EXPECT_TRUE(e.done()) << e.name;
        Action(*form, "subUndo")->trigger();
        EXPECT_EQ(schedule(), withFiles) << e.name;
    }

    const std::string out = makeDir("out");
    tc.prompts.files = {QString::fromStdString(out + "bakery")};
    Button(*form, "SaveCmd")->click();
    EXPECT_EQ(shownMessages(), QStringList());
    EXPECT_TRUE(CheckScheduleSense(schedule(), {2026, 11, 1}).empty());
    Schedule read;
    ASSERT_TRUE(ReadScheduleFile(out, "bakery.vlm", read).ok);
    EXPECT_EQ(PeriodGroups(read), (std::vector<PeriodRange>{{0, 13}}));
}

// Christmas Eve left out of a weekday group: five periods on each side of it, one undo step.
TEST_F(WeekDaysTest, SkipDays_splitsTheGroupAroundTheDay_atOnceUndone) {
    Schedule s;
    for (int day = 1; day <= 5; ++day) {
        AdvanceEntry period = MakeAdvance(7, 12, 1, day, 1);
        period.stopDay = 31;
        AddAdvance(s, period);
    }
    load(s);
    List(*form, "AdvanceList")->setCurrentRow(0);
    WithDialog([&] { Button(*form, "AdvanceModifyCmd")->click(); },
               [](QWidget* editor) {
                   WithDialog(
                       [&] { editor->findChild<QPushButton*>(QStringLiteral("SkipDaysCmd"))->click(); },
                       [](QWidget* picker) {
                           auto* calendar = picker->findChild<QCalendarWidget*>();
                           auto* days = calendar->findChild<QAbstractItemView*>();
                           // Marked, unmarked, marked again: a second click keeps the day.
                           for (int day : {24, 26, 26}) {
                               calendar->setSelectedDate(QDate(2007, 12, day));
                               QTest::keyClick(days, Qt::Key_Return);
                           }
                           picker->findChild<QPushButton*>(QStringLiteral("OKCmd"))->click();
                       });
                   editor->findChild<QPushButton*>(QStringLiteral("OKCmd"))->click();
               });
    ASSERT_EQ(schedule().advanceCount, 10);
    EXPECT_EQ(PeriodGroups(schedule()), (std::vector<PeriodRange>{{0, 10}}));
    EXPECT_EQ(schedule().advanceEntries[4].stopDay, 23);
    EXPECT_EQ(schedule().advanceEntries[5].startDay, 25);
    EXPECT_EQ(schedule().advanceEntries[9].stopDay, 31);
    EXPECT_EQ(schedule().advanceEntries[9].fileCount, 1);
    Action(*form, "subUndo")->trigger();
    EXPECT_EQ(schedule(), s);
}

} // namespace
} // namespace velmo::test
