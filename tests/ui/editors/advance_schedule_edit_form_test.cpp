#include "rules/entry_batch.h"
#include "support/test_context.h"
#include "ui/editors/advance_schedule_edit_form.h"

#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QTest>
#include <gtest/gtest.h>

#include <memory>
#include <vector>

namespace velmo {
namespace {

struct Fields {
    int startYear, startMonth, startDay, startHour, startMinute, startSecond;
    int stopYear, stopMonth, stopDay, stopHour, stopMinute, stopSecond;
    int weekDay;
    bool operator==(const Fields&) const = default;
};

AdvanceEntry advanceEntry(const Fields& f) {
    AdvanceEntry e;
    const auto b = [](int v) { return static_cast<std::uint8_t>(v); };
    e.startYear = b(f.startYear);
    e.startMonth = b(f.startMonth);
    e.startDay = b(f.startDay);
    e.startHour = b(f.startHour);
    e.startMinute = b(f.startMinute);
    e.startSecond = b(f.startSecond);
    e.stopYear = b(f.stopYear);
    e.stopMonth = b(f.stopMonth);
    e.stopDay = b(f.stopDay);
    e.stopHour = b(f.stopHour);
    e.stopMinute = b(f.stopMinute);
    e.stopSecond = b(f.stopSecond);
    e.weekDay = b(f.weekDay);
    return e;
}

Fields fieldsOf(const AdvanceEntry& e) {
    return {e.startYear, e.startMonth, e.startDay, e.startHour,  e.startMinute, e.startSecond, e.stopYear,
            e.stopMonth, e.stopDay,    e.stopHour, e.stopMinute, e.stopSecond,  e.weekDay};
}

std::ostream& operator<<(std::ostream& out, const Fields& f) {
    return out << f.startYear << '/' << f.startMonth << '/' << f.startDay << ' ' << f.startHour << ':'
               << f.startMinute << ':' << f.startSecond << " - " << f.stopYear << '/' << f.stopMonth << '/'
               << f.stopDay << ' ' << f.stopHour << ':' << f.stopMinute << ':' << f.stopSecond << " day "
               << f.weekDay;
}

FileEntry detail(std::uint8_t playTimes) {
    FileEntry entry;
    entry.fileName = {'D', 'E', 'T'};
    entry.fileExt = {'M', 'P', '3'};
    entry.playTimes = playTimes;
    return entry;
}

class AdvanceScheduleEditFormTest : public ::testing::Test {
protected:
    test::TestContext t;
    QListWidget NormalList;
    QListWidget AdvanceList;
    QListWidget DetailList;
    int buttonSetups = 0;
    std::unique_ptr<AdvanceScheduleEditForm> form;

    // What the main window's AdvanceList_Click would see each time the selection is set.
    struct Click {
        int row;
        int advanceCount;
        int entries;
    };
    std::vector<Click> clicks;

    void SetUp() override {
        QObject::connect(&AdvanceList, &QListWidget::currentRowChanged, [this](int row) {
            clicks.push_back({row, t.state.schedule.advanceCount,
                              static_cast<int>(t.state.schedule.advanceEntries.size())});
        });
    }

    // Opens the editor as the main window's commands do (editMode 1 add, 2 modify), and after OK
    // stores its result in the schedule and AdvanceList as they do.
    AdvanceScheduleEditForm& open(int editMode) {
        AppState& state = t.state;
        Schedule& schedule = state.schedule;
        state.editMode = static_cast<std::int16_t>(editMode);
        const bool add = editMode == AppState::kEditAdd;
        std::optional<AdvanceEntry> entry;
        if (add) {
            if (AdvanceList.count() > 0)
                state.editIndex = static_cast<std::int16_t>(AdvanceList.currentRow());
        } else {
            if (AdvanceList.currentRow() == -1)
                AdvanceList.setCurrentRow(0);
            state.editIndex = static_cast<std::int16_t>(AdvanceList.currentRow());
            entry = schedule.advanceEntries[state.editIndex];
        }
        form = std::make_unique<AdvanceScheduleEditForm>(t.context, entry);
        QObject::connect(form.get(), &QDialog::accepted, [this, add] {
            Schedule& s = t.state.schedule;
            const QString row = QString::fromStdString(form->row());
            if (add) {
                ASSERT_TRUE(AppendEntry(s.advanceEntries, s.advanceCount, kMaxAdvanceEntries, form->entry()));
                AdvanceList.addItem(row);
                AdvanceList.setCurrentRow(AdvanceList.count() - 1);
                ++buttonSetups;
            } else {
                s.advanceEntries[t.state.editIndex] = form->entry();
                AdvanceList.item(t.state.editIndex)->setText(row);
                AdvanceList.setCurrentRow(t.state.editIndex);
            }
        });
        form->show();
        return *form;
    }

    void addEntries(std::initializer_list<AdvanceEntry> entries) {
        Schedule& schedule = t.state.schedule;
        for (const AdvanceEntry& entry : entries) {
            schedule.advanceEntries.resize(static_cast<std::size_t>(schedule.advanceCount) + 1);
            schedule.advanceEntries[schedule.advanceCount++] = entry;
            AdvanceList.addItem(QStringLiteral("row %1").arg(schedule.advanceCount - 1));
        }
        clicks.clear();
    }

    QComboBox* combo(const char* name) {
        auto* widget = form->findChild<QComboBox*>(QString::fromLatin1(name));
        EXPECT_NE(widget, nullptr) << name;
        return widget;
    }
    QString shown(const char* name) { return combo(name)->currentText(); }
    // Picks the item showing this text, as the user would from the drop-down list.
    void choose(const char* name, const QString& text) {
        QComboBox* box = combo(name);
        const int index = box->findText(text);
        ASSERT_GE(index, 0) << name << " has no " << text.toStdString();
        box->setCurrentIndex(index);
    }
    void choose(const char* name, int number) { choose(name, QString::number(number)); }
    void chooseTime(const char* side, int hour, int minute, int second) {
        const std::string s(side);
        choose((s + "HourCombo").c_str(), hour);
        choose((s + "MinuteCombo").c_str(), minute);
        choose((s + "SecondCombo").c_str(), second);
    }
    void chooseDate(const char* side, int year, int month, int day) {
        const std::string s(side);
        choose((s + "YearCombo").c_str(), year);
        choose((s + "MonthCombo").c_str(), month);
        choose((s + "DayCombo").c_str(), day);
    }
    QStringList items(const char* name) {
        QStringList result;
        for (int i = 0; i < combo(name)->count(); ++i)
            result << combo(name)->itemText(i);
        return result;
    }
    static QStringList numbers(int first, int last) {
        QStringList result;
        for (int i = first; i <= last; ++i)
            result << QString::number(i);
        return result;
    }
    void clickOK() {
        QTest::mouseClick(form->findChild<QPushButton*>(QStringLiteral("OKCmd")), Qt::LeftButton);
    }
    void clickCancel() {
        QTest::mouseClick(form->findChild<QPushButton*>(QStringLiteral("CancelCmd")), Qt::LeftButton);
    }
};

// ---- add -----------------------------------------------------------------------------------------

TEST_F(AdvanceScheduleEditFormTest, Add_opensOnTodayAllDayLong) {
    open(1);
    for (const char* side : {"Start", "Stop"}) {
        const std::string s(side);
        EXPECT_EQ(shown((s + "YearCombo").c_str()), "2007");
        EXPECT_EQ(shown((s + "MonthCombo").c_str()), "5");
        EXPECT_EQ(shown((s + "DayCombo").c_str()), "31");
    }
    EXPECT_EQ(shown("StartHourCombo"), "0");
    EXPECT_EQ(shown("StartMinuteCombo"), "0");
    EXPECT_EQ(shown("StartSecondCombo"), "0");
    EXPECT_EQ(shown("StopHourCombo"), "23");
    EXPECT_EQ(shown("StopMinuteCombo"), "59");
    EXPECT_EQ(shown("StopSecondCombo"), "59");
    EXPECT_EQ(shown("WeekdayCombo"), "All Day");
}

TEST_F(AdvanceScheduleEditFormTest, Add_OKAtOnceStoresTodayAndAppendsTheSelectedRow) {
    AdvanceEntry existing = advanceEntry({6, 12, 28, 0, 0, 0, 6, 12, 28, 23, 59, 59, 3});
    existing.fileCount = 1;
    existing.files = {detail(4)};
    addEntries({existing});
    AdvanceList.setCurrentRow(0);
    clicks.clear();

    open(1);
    EXPECT_EQ(t.state.editIndex, 0); // the add path notes the selection, and uses it for nothing
    clickOK();

    const Schedule& schedule = t.state.schedule;
    ASSERT_EQ(schedule.advanceCount, 2);
    const AdvanceEntry& added = schedule.advanceEntries[1];
    EXPECT_EQ(fieldsOf(added), (Fields{7, 5, 31, 0, 0, 0, 7, 5, 31, 23, 59, 59, 7}));
    EXPECT_EQ(added.fileCount, 0);
    EXPECT_EQ(schedule.advanceEntries[0], existing);

    ASSERT_EQ(AdvanceList.count(), 2);
    EXPECT_EQ(AdvanceList.item(1)->text(), " 2007/05/31   2007/05/31   All Day");
    EXPECT_EQ(AdvanceList.item(0)->text(), "row 0");
    EXPECT_EQ(AdvanceList.currentRow(), 1);
    // The row is selected once the entry is in the schedule, so its details can be shown.
    ASSERT_EQ(clicks.size(), 1u);
    EXPECT_EQ(clicks[0].row, 1);
    EXPECT_EQ(clicks[0].advanceCount, 2);
    EXPECT_EQ(buttonSetups, 1);
    EXPECT_FALSE(form->isVisible());
    EXPECT_EQ(form->result(), QDialog::Accepted);
}

TEST_F(AdvanceScheduleEditFormTest, Add_intoAnEmptyListWritesEntryZero) {
    open(1);
    chooseDate("Start", 2007, 1, 3);
    chooseDate("Stop", 2007, 12, 31);
    choose("WeekdayCombo", "Friday");
    chooseTime("Start", 8, 30, 0);
    chooseTime("Stop", 17, 0, 15);
    clickOK();
    ASSERT_EQ(t.state.schedule.advanceCount, 1);
    EXPECT_EQ(fieldsOf(t.state.schedule.advanceEntries[0]),
              (Fields{7, 1, 3, 8, 30, 0, 7, 12, 31, 17, 0, 15, 5}));
    ASSERT_EQ(AdvanceList.count(), 1);
    EXPECT_EQ(AdvanceList.item(0)->text(), " 2007/01/03   2007/12/31   Friday");
    EXPECT_EQ(AdvanceList.currentRow(), 0);
}

TEST_F(AdvanceScheduleEditFormTest, Add_storageElementWithOldDetailsGetsNoDetails) {
    AdvanceEntry leftover;
    leftover.fileCount = 2;
    leftover.files = {detail(1), detail(2)};
    t.state.schedule.advanceEntries = {leftover};
    open(1);
    clickOK();
    ASSERT_EQ(t.state.schedule.advanceCount, 1);
    EXPECT_EQ(t.state.schedule.advanceEntries[0].fileCount, 0);
}

TEST_F(AdvanceScheduleEditFormTest, Add_systemDateOutsideTheYearListTakesTheNearestYear) {
    t.clock.date = QDate(2100, 3, 15);
    open(1);
    EXPECT_EQ(shown("StartYearCombo"), "2099");
    EXPECT_EQ(shown("StartMonthCombo"), "3");
    EXPECT_EQ(shown("StopDayCombo"), "15");

    t.clock.date = QDate(1996, 2, 29);
    open(1);
    EXPECT_EQ(shown("StopYearCombo"), "2000");
    EXPECT_EQ(shown("StopMonthCombo"), "2");
    EXPECT_EQ(shown("StartDayCombo"), "29");
    clickOK();
    EXPECT_EQ(fieldsOf(t.state.schedule.advanceEntries[0]),
              (Fields{0, 2, 29, 0, 0, 0, 0, 2, 29, 23, 59, 59, 7}));
}

// ---- the lists -----------------------------------------------------------------------------------

TEST_F(AdvanceScheduleEditFormTest, Lists_holdTheirItemsAndTheScreenTexts) {
    open(1);
    for (const char* year : {"StartYearCombo", "StopYearCombo"})
        EXPECT_EQ(items(year), numbers(2000, 2099));
    for (const char* month : {"StartMonthCombo", "StopMonthCombo"})
        EXPECT_EQ(items(month), numbers(1, 12));
    for (const char* hour : {"StartHourCombo", "StopHourCombo"})
        EXPECT_EQ(items(hour), numbers(0, 23));
    for (const char* sixty : {"StartMinuteCombo", "StopMinuteCombo", "StartSecondCombo", "StopSecondCombo"})
        EXPECT_EQ(items(sixty), numbers(0, 59));
    EXPECT_EQ(items("StartDayCombo"), numbers(1, 31));
    EXPECT_EQ(items("WeekdayCombo"), (QStringList{"Sunday", "Monday", "Tuesday", "Wednesday", "Thursday",
                                                  "Friday", "Saturday", "All Day"}));
    for (QComboBox* box : form->findChildren<QComboBox*>())
        EXPECT_FALSE(box->isEditable()) << box->objectName().toStdString();
    EXPECT_EQ(form->findChildren<QComboBox*>().size(), 13);

    EXPECT_EQ(form->windowTitle(), "Advance Schecule Editor");
    const auto title = [&](const char* name) {
        return form->findChild<QGroupBox*>(QString::fromLatin1(name))->title();
    };
    EXPECT_EQ(title("DateFrame"), "Date Setup");
    EXPECT_EQ(title("TimeSetupFrame"), "Time Setup");
    EXPECT_EQ(title("StartDateFrame"), "Start Day");
    EXPECT_EQ(title("StopDateFrame"), "Stop Day");
    EXPECT_EQ(title("StartTimeFrame"), "Start Time");
    EXPECT_EQ(title("StopTimeFrame"), "Stop Time");
    EXPECT_EQ(title("WeekDayFrame"), "Week Day");
    const auto caption = [&](const char* name) {
        const QLabel* label = form->findChild<QLabel*>(QString::fromLatin1(name));
        return label ? label->text() : QString();
    };
    EXPECT_EQ(caption("StopYearLabel"), "Year");
    EXPECT_EQ(caption("StartMonthLabel"), "Month");
    EXPECT_EQ(caption("StopDayLabel"), "Day");
    EXPECT_EQ(caption("StartHourLabel"), "Hour");
    EXPECT_EQ(caption("StopMinuteLabel"), "Minute");
    EXPECT_EQ(caption("StartSecondLabel"), "Second");
    EXPECT_EQ(form->findChild<QLabel*>(QStringLiteral("StartDayLabel"))->buddy(), combo("StartDayCombo"));
    EXPECT_EQ(form->findChild<QPushButton*>(QStringLiteral("OKCmd"))->text(), "OK");
    EXPECT_EQ(form->findChild<QPushButton*>(QStringLiteral("CancelCmd"))->text(), "Cancel");
}

TEST_F(AdvanceScheduleEditFormTest, Days_followTheMonthAndKeepTheChosenDayWhenTheyCan) {
    open(1); // 2007/5/31
    choose("StartYearCombo", 2004);
    choose("StartMonthCombo", 2);
    EXPECT_EQ(items("StartDayCombo"), numbers(1, 29));
    EXPECT_EQ(shown("StartDayCombo"), "29");
    choose("StartMonthCombo", 3);
    EXPECT_EQ(items("StartDayCombo"), numbers(1, 31));
    EXPECT_EQ(shown("StartDayCombo"), "29");
    choose("StartDayCombo", 12);
    choose("StartMonthCombo", 4);
    EXPECT_EQ(items("StartDayCombo"), numbers(1, 30));
    EXPECT_EQ(shown("StartDayCombo"), "12");

    // The stop side is its own.
    EXPECT_EQ(items("StopDayCombo"), numbers(1, 31));
    EXPECT_EQ(shown("StopDayCombo"), "31");
    choose("StopMonthCombo", 2);
    EXPECT_EQ(items("StopDayCombo"), numbers(1, 28)); // 2007
    EXPECT_EQ(shown("StopDayCombo"), "28");
    choose("StopYearCombo", 2000);
    EXPECT_EQ(items("StopDayCombo"), numbers(1, 29));
    EXPECT_EQ(shown("StopDayCombo"), "28");
    choose("StopDayCombo", 29);
    choose("StopYearCombo", 2001);
    EXPECT_EQ(shown("StopDayCombo"), "28");
    EXPECT_EQ(shown("StartDayCombo"), "12");
    EXPECT_EQ(items("StartDayCombo"), numbers(1, 30));
}

// ---- checks --------------------------------------------------------------------------------------

TEST_F(AdvanceScheduleEditFormTest, Check_timeWindowIsTestedOnItsOwn) {
    struct Case {
        int startDay, stopDay;
        int startHour, startMinute, startSecond;
        int stopHour, stopMinute, stopSecond;
        QString message; // empty when accepted
    };
    const Case cases[] = {
        {1, 1, 8, 0, 0, 8, 0, 1, {}},
        {1, 1, 12, 30, 0, 12, 30, 0, "Time Setup Error!"},
        {1, 20, 12, 30, 0, 12, 30, 0, "Time Setup Error!"}, // whatever the dates
        {1, 2, 22, 0, 0, 6, 0, 0, "Time Setup Error!"},     // not an overnight window
        {2, 1, 12, 30, 0, 12, 30, 0, "Date Setup Error!"},  // only the date is reported
        {2, 1, 8, 0, 0, 9, 0, 0, "Date Setup Error!"},
    };
    for (const Case& c : cases) {
        t.prompts.shown.clear();
        open(1);
        chooseDate("Start", 2007, 1, c.startDay);
        chooseDate("Stop", 2007, 1, c.stopDay);
        chooseTime("Start", c.startHour, c.startMinute, c.startSecond);
        chooseTime("Stop", c.stopHour, c.stopMinute, c.stopSecond);
        const int countBefore = t.state.schedule.advanceCount;
        clickOK();
        if (c.message.isEmpty()) {
            EXPECT_TRUE(t.prompts.shown.empty());
            EXPECT_EQ(t.state.schedule.advanceCount, countBefore + 1);
            EXPECT_FALSE(form->isVisible());
            continue;
        }
        EXPECT_EQ(t.prompts.messages(), QStringList{c.message}) << c.startDay << ' ' << c.startHour;
        EXPECT_EQ(t.state.schedule.advanceCount, countBefore);
        EXPECT_TRUE(form->isVisible());
        // Every selection stays as it was.
        EXPECT_EQ(shown("StartDayCombo"), QString::number(c.startDay));
        EXPECT_EQ(shown("StopHourCombo"), QString::number(c.stopHour));
    }
    EXPECT_EQ(AdvanceList.count(), t.state.schedule.advanceCount);
}

// ---- modify --------------------------------------------------------------------------------------

TEST_F(AdvanceScheduleEditFormTest, Modify_showsTheStoredValuesAndRewritesTheSameEntry) {
    AdvanceEntry tuesday = advanceEntry({6, 12, 28, 8, 15, 30, 7, 1, 9, 18, 45, 5, 2});
    tuesday.fileCount = 2;
    tuesday.files = {detail(1), detail(2)};
    addEntries({advanceEntry({7, 1, 1, 0, 0, 0, 7, 1, 1, 1, 0, 0, 7}), tuesday});
    AdvanceList.setCurrentRow(1);
    clicks.clear();

    open(2);
    EXPECT_EQ(t.state.editIndex, 1);
    EXPECT_EQ(shown("WeekdayCombo"), "Tuesday");
    EXPECT_EQ(shown("StartYearCombo"), "2006");
    EXPECT_EQ(shown("StartMonthCombo"), "12");
    EXPECT_EQ(shown("StartDayCombo"), "28");
    EXPECT_EQ(shown("StartHourCombo"), "8");
    EXPECT_EQ(shown("StartMinuteCombo"), "15");
    EXPECT_EQ(shown("StartSecondCombo"), "30");
    EXPECT_EQ(shown("StopYearCombo"), "2007");
    EXPECT_EQ(shown("StopMonthCombo"), "1");
    EXPECT_EQ(shown("StopDayCombo"), "9");
    EXPECT_EQ(shown("StopHourCombo"), "18");
    EXPECT_EQ(shown("StopMinuteCombo"), "45");
    EXPECT_EQ(shown("StopSecondCombo"), "5");
    clickOK();

    const Schedule& schedule = t.state.schedule;
    ASSERT_EQ(schedule.advanceCount, 2);
    EXPECT_EQ(schedule.advanceEntries[1], tuesday); // the same values, details kept
    EXPECT_EQ(schedule.advanceEntries[1].files.size(), 2u);
    EXPECT_EQ(AdvanceList.count(), 2);
    EXPECT_EQ(AdvanceList.item(1)->text(), " 2006/12/28   2007/01/09   Tuesday");
    EXPECT_EQ(AdvanceList.item(0)->text(), "row 0");
    EXPECT_EQ(AdvanceList.currentRow(), 1);
    EXPECT_EQ(buttonSetups, 0);
    EXPECT_FALSE(form->isVisible());
}

TEST_F(AdvanceScheduleEditFormTest, Modify_changedValuesKeepTheDetails) {
    AdvanceEntry entry = advanceEntry({7, 1, 1, 0, 0, 0, 7, 1, 1, 1, 0, 0, 7});
    entry.fileCount = 1;
    entry.files = {detail(9)};
    addEntries({entry});
    AdvanceList.setCurrentRow(0);
    open(2);
    chooseDate("Stop", 2099, 12, 31);
    choose("WeekdayCombo", "Sunday");
    chooseTime("Stop", 23, 59, 59);
    clickOK();
    const AdvanceEntry& stored = t.state.schedule.advanceEntries[0];
    EXPECT_EQ(fieldsOf(stored), (Fields{7, 1, 1, 0, 0, 0, 99, 12, 31, 23, 59, 59, 0}));
    EXPECT_EQ(stored.fileCount, 1);
    ASSERT_EQ(stored.files.size(), 1u);
    EXPECT_EQ(stored.files[0], detail(9));
    EXPECT_EQ(AdvanceList.item(0)->text(), " 2007/01/01   2099/12/31   Sunday");
}

TEST_F(AdvanceScheduleEditFormTest, Modify_withoutASelectedRowSelectsRowZeroFirst) {
    addEntries({advanceEntry({7, 3, 7, 1, 2, 3, 7, 3, 8, 4, 5, 6, 4}),
                advanceEntry({8, 1, 1, 0, 0, 0, 8, 1, 1, 1, 0, 0, 7})});
    AdvanceList.setCurrentRow(-1);
    clicks.clear();
    open(2);
    ASSERT_EQ(clicks.size(), 1u); // the main window refills its details for row 0
    EXPECT_EQ(clicks[0].row, 0);
    EXPECT_EQ(t.state.editIndex, 0);
    EXPECT_EQ(shown("WeekdayCombo"), "Thursday");
    EXPECT_EQ(shown("StartDayCombo"), "7");
}

TEST_F(AdvanceScheduleEditFormTest, Modify_valuesOutsideTheListsShowAndStoreTheNearestItem) {
    addEntries({advanceEntry({120, 0, 0, 24, 60, 61, 7, 13, 40, 25, 99, 99, 8})});
    AdvanceList.setCurrentRow(0);
    open(2);
    EXPECT_EQ(shown("StartYearCombo"), "2099");
    EXPECT_EQ(shown("StartMonthCombo"), "1");
    EXPECT_EQ(shown("StartDayCombo"), "1");
    EXPECT_EQ(shown("StartHourCombo"), "23");
    EXPECT_EQ(shown("StartMinuteCombo"), "59");
    EXPECT_EQ(shown("StartSecondCombo"), "59");
    EXPECT_EQ(shown("StopYearCombo"), "2007");
    EXPECT_EQ(shown("StopMonthCombo"), "12");
    EXPECT_EQ(shown("StopDayCombo"), "31");
    EXPECT_EQ(shown("WeekdayCombo"), "All Day");

    // Make it valid and store: only values from the lists arrive.
    chooseDate("Start", 2007, 1, 1);
    chooseTime("Start", 0, 0, 0);
    clickOK();
    EXPECT_EQ(fieldsOf(t.state.schedule.advanceEntries[0]),
              (Fields{7, 1, 1, 0, 0, 0, 7, 12, 31, 23, 59, 59, 7}));

    // A day beyond its month, in a month the list has.
    addEntries({advanceEntry({7, 2, 30, 0, 0, 0, 8, 4, 31, 1, 0, 0, 1})});
    AdvanceList.setCurrentRow(1);
    open(2);
    EXPECT_EQ(shown("StartDayCombo"), "28");
    EXPECT_EQ(shown("StopDayCombo"), "30");
}

TEST_F(AdvanceScheduleEditFormTest, Modify_rowUsesTheActiveLanguagesDayWord) {
    t.texts.SelectScreenTexts(2);
    addEntries({advanceEntry({7, 1, 1, 0, 0, 0, 7, 1, 1, 1, 0, 0, 2})});
    AdvanceList.setCurrentRow(0);
    open(2);
    const QString tuesday = QString::fromStdString(SecondLanguageText(TextId::TextTuesday));
    ASSERT_NE(tuesday, "Tuesday");
    EXPECT_EQ(shown("WeekdayCombo"), tuesday);
    clickOK();
    EXPECT_EQ(AdvanceList.item(0)->text(), " 2007/01/01   2007/01/01   " + tuesday);
}

// ---- closing without storing -------------------------------------------------------------------

TEST_F(AdvanceScheduleEditFormTest, CancelOrCloseAfterChangingEverythingChangesNothing) {
    AdvanceEntry entry = advanceEntry({7, 1, 1, 0, 0, 0, 7, 1, 1, 1, 0, 0, 7});
    entry.fileCount = 1;
    entry.files = {detail(3)};
    addEntries({entry});
    AdvanceList.setCurrentRow(0);
    const Schedule before = t.state.schedule;

    for (int mode : {1, 2}) {
        for (bool closeBox : {false, true}) {
            open(mode);
            chooseDate("Start", 2010, 6, 15);
            chooseDate("Stop", 2011, 7, 16);
            chooseTime("Start", 1, 2, 3);
            chooseTime("Stop", 4, 5, 6);
            choose("WeekdayCombo", "Monday");
            if (closeBox)
                form->close();
            else
                clickCancel();
            EXPECT_FALSE(form->isVisible());
        }
    }
    EXPECT_EQ(t.state.schedule, before);
    EXPECT_EQ(t.state.schedule.advanceEntries.size(), before.advanceEntries.size());
    ASSERT_EQ(AdvanceList.count(), 1);
    EXPECT_EQ(AdvanceList.item(0)->text(), "row 0");
    EXPECT_EQ(AdvanceList.currentRow(), 0);
    EXPECT_EQ(buttonSetups, 0);
    EXPECT_TRUE(t.prompts.shown.empty());
}

TEST_F(AdvanceScheduleEditFormTest, EnterAndEscAnswerNothing) {
    open(1);
    for (QWidget* target : {static_cast<QWidget*>(combo("StartYearCombo")),
                            static_cast<QWidget*>(form->findChild<QPushButton*>(QStringLiteral("OKCmd"))),
                            static_cast<QWidget*>(form.get())}) {
        for (Qt::Key key : {Qt::Key_Return, Qt::Key_Enter, Qt::Key_Escape})
            QTest::keyClick(target, key);
    }
    EXPECT_TRUE(form->isVisible());
    EXPECT_EQ(t.state.schedule.advanceCount, 0);
    for (QPushButton* b : form->findChildren<QPushButton*>())
        EXPECT_FALSE(b->isDefault()) << b->objectName().toStdString();
}

TEST_F(AdvanceScheduleEditFormTest, TabFollowsTheNumberedOrder) {
    open(1);
    ASSERT_TRUE(QTest::qWaitForWindowActive(form.get()));
    EXPECT_EQ(QApplication::focusWidget(), combo("StartYearCombo"));
    const QStringList expected = {"StartMonthCombo",  "StartDayCombo", "StartDateCmd",    "StopYearCombo",
                                  "StopMonthCombo",   "StopDayCombo",  "StopDateCmd",     "WeekdayCombo",
                                  "DayCheck0",        "DayCheck1",     "DayCheck2",       "DayCheck3",
                                  "DayCheck4",        "DayCheck5",     "DayCheck6",       "EveryDayCmd",
                                  "WeekdaysCmd",      "WeekendCmd",    "StartHourCombo",  "StartMinuteCombo",
                                  "StartSecondCombo", "StopHourCombo", "StopMinuteCombo", "StopSecondCombo",
                                  "SkipDaysCmd",      "OKCmd",         "CancelCmd",       "StartYearCombo"};
    QStringList visited;
    for (int i = 0; i < expected.size(); ++i) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        visited << QApplication::focusWidget()->objectName();
    }
    EXPECT_EQ(visited, expected);
}

} // namespace
} // namespace velmo
