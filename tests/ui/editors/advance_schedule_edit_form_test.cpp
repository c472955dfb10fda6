#include "rules/schedule_rules.h"
#include "support/test_context.h"
#include "ui/editors/advance_schedule_edit_form.h"

#include <QAccessible>
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QTest>
#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <optional>
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
    std::unique_ptr<AdvanceScheduleEditForm> form;

    // Opens the editor as a command does: on the entry to modify, or on none for an Add.
    AdvanceScheduleEditForm& open(std::optional<AdvanceEntry> entry = std::nullopt) {
        form = std::make_unique<AdvanceScheduleEditForm>(t.context, std::move(entry));
        form->show();
        return *form;
    }
    bool accepted() const { return !form->isVisible() && form->result() == QDialog::Accepted; }

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
    open();
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

TEST_F(AdvanceScheduleEditFormTest, Add_OKAtOnceGivesBackTodayWithoutDetailsAndItsRow) {
    open();
    clickOK();
    EXPECT_TRUE(accepted());
    EXPECT_EQ(fieldsOf(form->entry()), (Fields{7, 5, 31, 0, 0, 0, 7, 5, 31, 23, 59, 59, 7}));
    EXPECT_EQ(form->entry().fileCount, 0);
    EXPECT_EQ(FormatAdvanceRow(form->entry()), "2007/05/31   2007/05/31   All Day");
}

TEST_F(AdvanceScheduleEditFormTest, Add_givesBackTheChosenValuesAndTheirRow) {
    open();
    chooseDate("Start", 2007, 1, 3);
    chooseDate("Stop", 2007, 12, 31);
    choose("WeekdayCombo", "Friday");
    chooseTime("Start", 8, 30, 0);
    chooseTime("Stop", 17, 0, 15);
    clickOK();
    EXPECT_EQ(fieldsOf(form->entry()), (Fields{7, 1, 3, 8, 30, 0, 7, 12, 31, 17, 0, 15, 5}));
    EXPECT_EQ(FormatAdvanceRow(form->entry()), "2007/01/03   2007/12/31   Friday");
}

TEST_F(AdvanceScheduleEditFormTest, Add_systemDateOutsideTheYearListTakesTheNearestYear) {
    t.clock.date = QDate(2100, 3, 15);
    open();
    EXPECT_EQ(shown("StartYearCombo"), "2099");
    EXPECT_EQ(shown("StartMonthCombo"), "3");
    EXPECT_EQ(shown("StopDayCombo"), "15");

    t.clock.date = QDate(1996, 2, 29);
    open();
    EXPECT_EQ(shown("StopYearCombo"), "2000");
    EXPECT_EQ(shown("StopMonthCombo"), "2");
    EXPECT_EQ(shown("StartDayCombo"), "29");
    clickOK();
    EXPECT_EQ(fieldsOf(form->entry()), (Fields{0, 2, 29, 0, 0, 0, 0, 2, 29, 23, 59, 59, 7}));
}

// ---- the lists -----------------------------------------------------------------------------------

TEST_F(AdvanceScheduleEditFormTest, Lists_holdTheirItemsAndTheScreenTexts) {
    open();
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

// The drop-down and the boxes are two views of one choice: after every change each says what the other
// does, and a screen reader hears the drop-down say it.
TEST_F(AdvanceScheduleEditFormTest, WeekDays_dropDownAndBoxesAlwaysAgree) {
    open();
    const auto box = [&](int day) {
        return form->findChild<QCheckBox*>(QStringLiteral("DayCheck%1").arg(day));
    };
    const auto press = [&](const char* name) {
        return [this, name] { form->findChild<QPushButton*>(QString::fromLatin1(name))->click(); };
    };
    const struct {
        const char* name;
        std::function<void()> change;
        const char* ticks; // Sunday first
        QString shown;
    } steps[] = {
        {"opened", [] {}, "SMTWTFS", "All Day"},
        {"Monday to Friday", press("WeekdaysCmd"), "-MTWTF-", "Monday to Friday"},
        {"Monday cleared", [&] { box(1)->click(); }, "--TWTF-", "Tuesday to Friday"},
        {"down to Wednesday",
         [&] {
             for (int day : {2, 4, 5})
                 box(day)->click();
         },
         "---W---", "Wednesday"},
        {"Saturday chosen", [&] { choose("WeekdayCombo", "Saturday"); }, "------S", "Saturday"},
        {"weekend", press("WeekendCmd"), "S-----S", "Sunday, Saturday"},
        {"none",
         [&] {
             for (int day : {0, 6})
                 box(day)->click();
         },
         "-------", "No day ticked"},
        {"every day", press("EveryDayCmd"), "SMTWTFS", "All Day"},
        {"Sunday chosen", [&] { choose("WeekdayCombo", "Sunday"); }, "S------", "Sunday"},
    };
    QAccessibleInterface* const reader = QAccessible::queryAccessibleInterface(combo("WeekdayCombo"));
    for (const auto& step : steps) {
        step.change();
        QString ticks;
        for (int day = 0; day < 7; ++day)
            ticks += box(day)->isChecked() ? QChar(u"SMTWTFS"[day]) : QChar('-');
        EXPECT_EQ(ticks, QString::fromLatin1(step.ticks)) << step.name;
        EXPECT_EQ(shown("WeekdayCombo"), step.shown) << step.name;
        EXPECT_EQ(reader->text(QAccessible::Value), step.shown) << step.name;
        // The eight stored choices stay; a set they cannot name has one item more, only while it lasts.
        const int extra = combo("WeekdayCombo")->currentIndex() > kWeekDayAll ? 1 : 0;
        EXPECT_EQ(combo("WeekdayCombo")->count(), 8 + extra) << step.name;
    }
}

TEST_F(AdvanceScheduleEditFormTest, Days_followTheMonthAndKeepTheChosenDayWhenTheyCan) {
    open(); // 2007/5/31
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
        open();
        chooseDate("Start", 2007, 1, c.startDay);
        chooseDate("Stop", 2007, 1, c.stopDay);
        chooseTime("Start", c.startHour, c.startMinute, c.startSecond);
        chooseTime("Stop", c.stopHour, c.stopMinute, c.stopSecond);
        clickOK();
        if (c.message.isEmpty()) {
            EXPECT_TRUE(t.prompts.shown.empty());
            EXPECT_TRUE(accepted());
            continue;
        }
        EXPECT_EQ(t.prompts.messages(), QStringList{c.message}) << c.startDay << ' ' << c.startHour;
        EXPECT_TRUE(form->isVisible());
        // Every selection stays as it was.
        EXPECT_EQ(shown("StartDayCombo"), QString::number(c.startDay));
        EXPECT_EQ(shown("StopHourCombo"), QString::number(c.stopHour));
    }
}

// ---- modify --------------------------------------------------------------------------------------

TEST_F(AdvanceScheduleEditFormTest, Modify_showsTheStoredValuesAndGivesBackTheSameEntry) {
    AdvanceEntry tuesday = advanceEntry({6, 12, 28, 8, 15, 30, 7, 1, 9, 18, 45, 5, 2});
    tuesday.fileCount = 2;
    tuesday.files = {detail(1), detail(2)};
    open(tuesday);
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
    EXPECT_TRUE(accepted());
    EXPECT_EQ(form->entry(), tuesday); // the same values, details kept
    EXPECT_EQ(form->entry().files.size(), 2u);
    EXPECT_EQ(FormatAdvanceRow(form->entry()), "2006/12/28   2007/01/09   Tuesday");
}

TEST_F(AdvanceScheduleEditFormTest, Modify_changedValuesKeepTheDetails) {
    AdvanceEntry entry = advanceEntry({7, 1, 1, 0, 0, 0, 7, 1, 1, 1, 0, 0, 7});
    entry.fileCount = 1;
    entry.files = {detail(9)};
    open(entry);
    chooseDate("Stop", 2099, 12, 31);
    choose("WeekdayCombo", "Sunday");
    chooseTime("Stop", 23, 59, 59);
    clickOK();
    const AdvanceEntry& stored = form->entry();
    EXPECT_EQ(fieldsOf(stored), (Fields{7, 1, 1, 0, 0, 0, 99, 12, 31, 23, 59, 59, 0}));
    EXPECT_EQ(stored.fileCount, 1);
    ASSERT_EQ(stored.files.size(), 1u);
    EXPECT_EQ(stored.files[0], detail(9));
    EXPECT_EQ(FormatAdvanceRow(form->entry()), "2007/01/01   2099/12/31   Sunday");
}

TEST_F(AdvanceScheduleEditFormTest, Modify_valuesOutsideTheListsShowAndStoreTheNearestItem) {
    open(advanceEntry({120, 0, 0, 24, 60, 61, 7, 13, 40, 25, 99, 99, 8}));
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
    EXPECT_EQ(fieldsOf(form->entry()), (Fields{7, 1, 1, 0, 0, 0, 7, 12, 31, 23, 59, 59, 7}));

    // A day beyond its month, in a month the list has.
    open(advanceEntry({7, 2, 30, 0, 0, 0, 8, 4, 31, 1, 0, 0, 1}));
    EXPECT_EQ(shown("StartDayCombo"), "28");
    EXPECT_EQ(shown("StopDayCombo"), "30");
}

TEST_F(AdvanceScheduleEditFormTest, Modify_rowKeepsTheListsDayWordInEveryLanguage) {
    t.texts.SelectScreenTexts(2);
    open(advanceEntry({7, 1, 1, 0, 0, 0, 7, 1, 1, 1, 0, 0, 2}));
    const QString tuesday = QString::fromStdString(SecondLanguageText(TextId::TextTuesday));
    ASSERT_NE(tuesday, "Tuesday");
    EXPECT_EQ(shown("WeekdayCombo"), tuesday);
    clickOK();
    EXPECT_EQ(FormatAdvanceRow(form->entry()), "2007/01/01   2007/01/01   Tuesday");
}

// ---- closing without storing -------------------------------------------------------------------

TEST_F(AdvanceScheduleEditFormTest, CancelOrCloseAfterChangingEverythingGivesBackNothing) {
    AdvanceEntry entry = advanceEntry({7, 1, 1, 0, 0, 0, 7, 1, 1, 1, 0, 0, 7});
    entry.fileCount = 1;
    entry.files = {detail(3)};
    for (const std::optional<AdvanceEntry>& edited : {std::optional<AdvanceEntry>(), std::optional(entry)}) {
        for (bool closeBox : {false, true}) {
            open(edited);
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
            EXPECT_EQ(form->result(), QDialog::Rejected);
            EXPECT_TRUE(form->periods().empty());
        }
    }
    EXPECT_TRUE(t.prompts.shown.empty());
}

TEST_F(AdvanceScheduleEditFormTest, EnterAndEscAnswerNothing) {
    open();
    for (QWidget* target : {static_cast<QWidget*>(combo("StartYearCombo")),
                            static_cast<QWidget*>(form->findChild<QPushButton*>(QStringLiteral("OKCmd"))),
                            static_cast<QWidget*>(form.get())}) {
        for (Qt::Key key : {Qt::Key_Return, Qt::Key_Enter, Qt::Key_Escape})
            QTest::keyClick(target, key);
    }
    EXPECT_TRUE(form->isVisible());
    for (QPushButton* b : form->findChildren<QPushButton*>())
        EXPECT_FALSE(b->isDefault()) << b->objectName().toStdString();
}

TEST_F(AdvanceScheduleEditFormTest, TabFollowsTheNumberedOrder) {
    open();
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
