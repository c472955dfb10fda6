#include "month_calendar.h"

#include "advance_colours.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>

namespace velmo {

namespace {

constexpr int kColumns = 7;
constexpr int kRows = 6;
constexpr int kStripeHeight = 4;
const QColor kWarning(230, 120, 0);

} // namespace

MonthCalendar::MonthCalendar(QWidget* parent) : QWidget(parent) {
    setFocusPolicy(Qt::StrongFocus);
    setMinimumSize(7 * 56, 6 * 52 + 24);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
}

QSize MonthCalendar::sizeHint() const {
    return {7 * 72, 6 * 64 + headerHeight()};
}

void MonthCalendar::setMonth(std::vector<DayMarks> days, int selectedDay) {
    days_ = std::move(days);
    selected_ = std::clamp(selectedDay, 1, std::max(1, static_cast<int>(days_.size())));
    update();
}

void MonthCalendar::setWeekDayNames(const QStringList& names) {
    weekDayNames_ = names;
    update();
}

int MonthCalendar::firstColumn() const {
    return days_.empty() ? 0 : WeekDayOf(days_.front().date);
}

int MonthCalendar::headerHeight() const {
    return fontMetrics().height() + 8;
}

QRect MonthCalendar::cellRect(int day) const {
    const int position = firstColumn() + day - 1;
    const int width = this->width() / kColumns;
    const int height = (this->height() - headerHeight()) / kRows;
    return {position % kColumns * width, headerHeight() + position / kColumns * height, width, height};
}

int MonthCalendar::dayAt(const QPoint& point) const {
    for (int day = 1; day <= static_cast<int>(days_.size()); ++day)
        if (cellRect(day).contains(point))
            return day;
    return 0;
}

void MonthCalendar::select(int day) {
    if (day < 1 || day > static_cast<int>(days_.size()) || day == selected_)
        return;
    selected_ = day;
    update();
    emit daySelected(day);
}

void MonthCalendar::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    const QPalette& pal = palette();
    painter.fillRect(rect(), pal.color(QPalette::Base));

    const int width = this->width() / kColumns;
    painter.setPen(pal.color(QPalette::Text));
    for (int column = 0; column < kColumns && column < weekDayNames_.size(); ++column) {
        const QRect header(column * width, 0, width, headerHeight());
        painter.drawText(header, Qt::AlignCenter,
                         fontMetrics().elidedText(weekDayNames_[column], Qt::ElideRight, width - 4));
    }

    for (int day = 1; day <= static_cast<int>(days_.size()); ++day) {
        const DayMarks& marks = days_[static_cast<std::size_t>(day - 1)];
        const QRect cell = cellRect(day).adjusted(1, 1, -1, -1);
        if (day == selected_)
            painter.fillRect(cell, pal.color(QPalette::Highlight)
                                       .lighter(pal.color(QPalette::Base).lightness() > 128 ? 170 : 60));
        painter.setPen(pal.color(QPalette::Mid));
        painter.setBrush(Qt::NoBrush);
        painter.drawRect(cell.adjusted(0, 0, -1, -1));
        if (marks.overlap) {
            painter.setPen(QPen(kWarning, 3));
            painter.drawRect(cell.adjusted(1, 1, -2, -2));
        }
        if (marks.today) {
            painter.setPen(QPen(pal.color(QPalette::Highlight), 2));
            painter.drawEllipse(QRect(cell.left() + 3, cell.top() + 3, fontMetrics().height() + 6,
                                      fontMetrics().height() + 4));
        }

        QFont font = painter.font();
        font.setBold(marks.today);
        painter.setFont(font);
        painter.setPen(pal.color(QPalette::Text));
        painter.drawText(
            QRect(cell.left() + 4, cell.top() + 5, fontMetrics().height() + 4, fontMetrics().height()),
            Qt::AlignCenter, QString::number(day));
        font.setBold(false);
        painter.setFont(font);
        if (marks.overlap) {
            painter.setPen(kWarning);
            painter.drawText(cell.adjusted(0, 4, -6, 0), Qt::AlignRight | Qt::AlignTop, QStringLiteral("!"));
        }

        // One stripe per entry in force, as many as fit; the rest are counted.
        const int top = cell.top() + fontMetrics().height() + 10;
        const int fit = std::max(1, (cell.bottom() - 3 - top) / (kStripeHeight + 1));
        const int count = static_cast<int>(marks.advance.size());
        const int shown = count > fit ? fit - 1 : count;
        for (int k = 0; k < shown; ++k)
            painter.fillRect(
                QRect(cell.left() + 4, top + k * (kStripeHeight + 1), cell.width() - 8, kStripeHeight),
                AdvanceEntryColour(marks.advance[static_cast<std::size_t>(k)]));
        if (shown < count) {
            painter.setPen(pal.color(QPalette::Text));
            painter.drawText(QRect(cell.left() + 4, top + shown * (kStripeHeight + 1) - 4, cell.width() - 8,
                                   fontMetrics().height()),
                             Qt::AlignLeft | Qt::AlignTop, QStringLiteral("+%1").arg(count - shown));
        }
    }
    if (hasFocus() && !days_.empty()) {
        painter.setPen(QPen(pal.color(QPalette::Highlight), 1, Qt::DotLine));
        painter.setBrush(Qt::NoBrush);
        painter.drawRect(cellRect(selected_).adjusted(3, 3, -4, -4));
    }
}

void MonthCalendar::mousePressEvent(QMouseEvent* event) {
    if (const int day = dayAt(event->position().toPoint()))
        select(day);
    setFocus();
}

void MonthCalendar::keyPressEvent(QKeyEvent* event) {
    const int count = static_cast<int>(days_.size());
    int target = selected_;
    switch (event->key()) {
    case Qt::Key_Left:
        target -= 1;
        break;
    case Qt::Key_Right:
        target += 1;
        break;
    case Qt::Key_Up:
        target -= kColumns;
        break;
    case Qt::Key_Down:
        target += kColumns;
        break;
    case Qt::Key_PageUp:
        emit monthStepped(-1);
        return;
    case Qt::Key_PageDown:
        emit monthStepped(1);
        return;
    default:
        QWidget::keyPressEvent(event);
        return;
    }
    if (target < 1 || target > count)
        emit monthStepped(target < 1 ? -1 : 1);
    else
        select(target);
}

} // namespace velmo
