#include "overview_fixture.h"

#include <QAccessible>

namespace velmo::test {
namespace {

// The overview's month, opened over the fixture's schedule without waiting for its findings.
class MonthCalendarTest : public OverviewTest {
protected:
    void SetUp() override {
        OverviewTest::SetUp();
        ASSERT_NO_FATAL_FAILURE(openOverview(Wait::Nothing));
    }

    QAccessibleInterface* table() const { return QAccessible::queryAccessibleInterface(calendar); }
};

TEST_F(MonthCalendarTest, EveryDayIsACellNamedByItsDateAndWhatIsInForce) {
    QAccessibleInterface* month = table();
    ASSERT_NE(month, nullptr);
    EXPECT_EQ(month->role(), QAccessible::Table);
    ASSERT_EQ(month->childCount(), 31);
    const struct {
        int day;
        QString name;
    } days[] = {
        {1, "2007-05-01, " + QLocale().toString(QDate(2007, 5, 1), QLocale::LongFormat) + ": Advance 1"},
        {3, "2007-05-03, " + QLocale().toString(QDate(2007, 5, 3), QLocale::LongFormat) +
                ": Advance 1, Advance 2; periods overlap"},
        {31, "2007-05-31, " + QLocale().toString(QDate(2007, 5, 31), QLocale::LongFormat) +
                 ": today; Advance 1, Advance 2; periods overlap"},
    };
    for (const auto& d : days) {
        QAccessibleInterface* cell = month->child(d.day - 1);
        ASSERT_NE(cell, nullptr) << d.day;
        EXPECT_EQ(cell->role(), QAccessible::Cell);
        EXPECT_EQ(cell->text(QAccessible::Name), d.name);
        EXPECT_EQ(month->indexOfChild(cell), d.day - 1);
        EXPECT_EQ(cell->parent(), month);
        // Found again where it is painted, as a screen reader's pointer finds it.
        EXPECT_EQ(month->childAt(cell->rect().center().x(), cell->rect().center().y()), cell) << d.day;
    }
    EXPECT_TRUE(month->child(30)->state().selected);
    EXPECT_FALSE(month->child(0)->state().selected);

    // June has 30 days; a day after them is no element.
    overview->showDay({2007, 6, 1});
    EXPECT_EQ(month->childCount(), 30);
    EXPECT_EQ(month->child(30), nullptr);
    EXPECT_TRUE(month->child(29)->text(QAccessible::Name).startsWith("2007-06-30, "));
    EXPECT_TRUE(month->child(29)->text(QAccessible::Name).endsWith(": Basic Schedule"));
}

TEST_F(MonthCalendarTest, ArrowKeysMoveTheFocusFromDayToDay_EnterAndAClickSelect) {
    overview->showDay({2007, 5, 10});
    overview->activateWindow();
    calendar->setFocus(Qt::TabFocusReason);
    ASSERT_TRUE(QTest::qWaitForWindowActive(overview));
    ASSERT_TRUE(calendar->hasFocus());
    QAccessibleInterface* month = table();
    EXPECT_EQ(month->focusChild(), month->child(9));
    EXPECT_TRUE(month->child(9)->state().focused);

    // Each arrow moves the focus to the day it leads to (the offscreen platform has no screen
    // reader to send the focus events to, so the element with the focus is asked instead).
    const struct {
        Qt::Key key;
        int day;
    } moves[] = {{Qt::Key_Right, 11}, {Qt::Key_Down, 18}, {Qt::Key_Left, 17}, {Qt::Key_Up, 10}};
    for (const auto& move : moves) {
        QTest::keyClick(calendar, move.key);
        QAccessibleInterface* focused = month->focusChild();
        ASSERT_NE(focused, nullptr) << move.day;
        EXPECT_EQ(focused, month->child(move.day - 1)) << focused->text(QAccessible::Name).toStdString();
        EXPECT_TRUE(focused->state().focused) << move.day;
        EXPECT_FALSE(month->child(move.day == 10 ? 16 : 9)->state().focused) << move.day;
        EXPECT_EQ(overview->shownDay(), (CivilDate{2007, 5, move.day}));
    }

    QSignalSpy chosen(calendar, &MonthCalendar::daySelected);
    QTest::keyClick(calendar, Qt::Key_Return);
    ASSERT_EQ(chosen.count(), 1);
    EXPECT_EQ(chosen.takeFirst().at(0).toInt(), 10);

    const QRect twentieth = calendar->cellRect(20);
    QTest::mouseClick(calendar, Qt::LeftButton, {}, twentieth.center());
    ASSERT_EQ(chosen.count(), 1);
    EXPECT_EQ(chosen.takeFirst().at(0).toInt(), 20);
    EXPECT_EQ(overview->shownDay(), (CivilDate{2007, 5, 20}));
    EXPECT_TRUE(month->child(19)->state().selected);
    EXPECT_EQ(month->focusChild(), month->child(19));
}

} // namespace
} // namespace velmo::test
