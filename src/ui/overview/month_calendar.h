#pragma once

#include "rules/schedule_sense.h"

#include <QStringList>
#include <QWidget>

namespace velmo {

// A month of days, Sunday first, each painted with a stripe in the colour of every advance entry in
// force that day, today framed, and days where entries share a moment marked as a warning.
class MonthCalendar : public QWidget {
    Q_OBJECT
public:
    explicit MonthCalendar(QWidget* parent = nullptr);

    // The month's marks (MonthMarks of one month) and the day to select in it.
    void setMonth(std::vector<DayMarks> days, int selectedDay);
    // Sunday to Saturday, as the column captions.
    void setWeekDayNames(const QStringList& names);
    int selectedDay() const { return selected_; }
    const std::vector<DayMarks>& days() const { return days_; }
    QSize sizeHint() const override;

signals:
    void daySelected(int day);
    // PageUp / PageDown, or an arrow past the first or last day.
    void monthStepped(int step);

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    QRect cellRect(int day) const;
    int dayAt(const QPoint& point) const;
    int firstColumn() const;
    int headerHeight() const;
    void select(int day);

    std::vector<DayMarks> days_;
    QStringList weekDayNames_;
    int selected_ = 1;
};

} // namespace velmo
