#pragma once

#include "rules/schedule_sense.h"

#include <QStringList>
#include <QWidget>

#include <functional>

namespace velmo {

// A month of days, Sunday first, each painted with a stripe in the colour of every advance entry in
// force that day, today framed, and days where entries share a moment marked as a warning.
//
// To screen readers each day is an element of its own (a cell of the month's table), named by its
// date, the date spoken, and what is in force: "2026-12-15, Tuesday, 15 December 2026: Advance 2".
// The arrow keys move between days, the selected day following, with a focus event each time;
// Enter, Space or a click selects the day.
class MonthCalendar : public QWidget {
    Q_OBJECT
public:
    explicit MonthCalendar(QWidget* parent = nullptr);
    ~MonthCalendar() override;

    // The month's marks (MonthMarks of one month) and the day to select in it.
    void setMonth(std::vector<DayMarks> days, int selectedDay);
    // Sunday to Saturday, as the column captions.
    void setWeekDayNames(const QStringList& names);
    // What a day's name says after its date: the entries in force, in the screen texts.
    void setDayDescriber(std::function<QString(const DayMarks&)> describe);
    int selectedDay() const { return selected_; }
    const std::vector<DayMarks>& days() const { return days_; }
    QSize sizeHint() const override;

    // Day `day` (from 1) as screen readers name it, and where it is painted.
    QString dayName(int day) const;
    QRect cellRect(int day) const;

signals:
    void daySelected(int day);
    // PageUp / PageDown, or an arrow past the first or last day.
    void monthStepped(int step);

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;

private:
    int dayAt(const QPoint& point) const;
    int firstColumn() const;
    int headerHeight() const;
    void select(int day);
    // Tells screen readers that the selected day has the focus.
    void announceSelectedDay();

    std::vector<DayMarks> days_;
    QStringList weekDayNames_;
    int selected_ = 1;
    std::function<QString(const DayMarks&)> describe_;
};

} // namespace velmo
