#include "month_calendar.h"

#include "advance_colours.h"

#include <QAccessible>
#include <QAccessibleWidget>
#include <QDate>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QPointer>

#include <array>

namespace velmo {

namespace {

constexpr int kColumns = 7;
constexpr int kRows = 6;
constexpr int kStripeHeight = 4;
const QColor kWarning(230, 120, 0);
constexpr int kMaxDays = 31;

// One day of the calendar: a cell of the month's table, with no widget of its own.
class CalendarDayAccessible final : public QAccessibleInterface {
public:
    CalendarDayAccessible(MonthCalendar* calendar, int day) : calendar_(calendar), day_(day) {}

    bool isValid() const override {
        return calendar_ != nullptr && day_ <= static_cast<int>(calendar_->days().size());
    }
    QObject* object() const override { return nullptr; }
    QWindow* window() const override {
        return calendar_ != nullptr && calendar_->window() != nullptr ? calendar_->window()->windowHandle()
                                                                      : nullptr;
    }
    QAccessibleInterface* focusChild() const override { return nullptr; }
    QAccessibleInterface* childAt(int, int) const override { return nullptr; }
    QAccessibleInterface* parent() const override { return QAccessible::queryAccessibleInterface(calendar_); }
    QAccessibleInterface* child(int) const override { return nullptr; }
    int childCount() const override { return 0; }
    int indexOfChild(const QAccessibleInterface*) const override { return -1; }

    QString text(QAccessible::Text t) const override {
        return t == QAccessible::Name && isValid() ? calendar_->dayName(day_) : QString();
    }
    void setText(QAccessible::Text, const QString&) override {}
    QRect rect() const override {
        if (!isValid())
            return {};
        const QRect cell = calendar_->cellRect(day_);
        return {calendar_->mapToGlobal(cell.topLeft()), cell.size()};
    }
    QAccessible::Role role() const override { return QAccessible::Cell; }
    QAccessible::State state() const override {
        QAccessible::State s;
        if (!isValid()) {
            s.invalid = true;
            return s;
        }
        s.focusable = true;
        s.selectable = true;
        s.selected = calendar_->selectedDay() == day_;
        s.focused = s.selected && calendar_->hasFocus();
        s.invisible = !calendar_->isVisible();
        return s;
    }

private:
    QPointer<MonthCalendar> calendar_;
    int day_;
};

// The calendar as a table of its days; the days' interfaces live as long as it does.
class MonthCalendarAccessible final : public QAccessibleWidget {
public:
    explicit MonthCalendarAccessible(MonthCalendar* calendar)
        : QAccessibleWidget(calendar, QAccessible::Table) {
        for (int day = 1; day <= kMaxDays; ++day)
            days_[static_cast<std::size_t>(day - 1)] =
                QAccessible::registerAccessibleInterface(new CalendarDayAccessible(calendar, day));
    }
    ~MonthCalendarAccessible() override {
        for (const QAccessible::Id id : days_)
            QAccessible::deleteAccessibleInterface(id);
    }

    int childCount() const override { return static_cast<int>(calendar()->days().size()); }
    QAccessibleInterface* child(int index) const override {
        return index >= 0 && index < childCount()
                   ? QAccessible::accessibleInterface(days_[static_cast<std::size_t>(index)])
                   : nullptr;
    }
    int indexOfChild(const QAccessibleInterface* child) const override {
        for (int index = 0; index < childCount(); ++index)
            if (QAccessible::accessibleInterface(days_[static_cast<std::size_t>(index)]) == child)
                return index;
        return -1;
    }
    QAccessibleInterface* childAt(int x, int y) const override {
        const QPoint point = calendar()->mapFromGlobal(QPoint(x, y));
        for (int day = 1; day <= childCount(); ++day)
            if (calendar()->cellRect(day).contains(point))
                return child(day - 1);
        return nullptr;
    }
    QAccessibleInterface* focusChild() const override {
        return calendar()->hasFocus() ? child(calendar()->selectedDay() - 1) : nullptr;
    }

private:
    MonthCalendar* calendar() const { return static_cast<MonthCalendar*>(widget()); }

    std::array<QAccessible::Id, kMaxDays> days_{};
};

QAccessibleInterface* calendarFactory(const QString& className, QObject* object) {
    if (className == QLatin1String("velmo::MonthCalendar") && object != nullptr && object->isWidgetType())
        if (auto* calendar = qobject_cast<MonthCalendar*>(object))
            return new MonthCalendarAccessible(calendar);
    return nullptr;
}

void installCalendarFactory() {
    static const bool installed = [] {
        QAccessible::installFactory(calendarFactory);
        return true;
    }();
    Q_UNUSED(installed)
}

} // namespace

MonthCalendar::MonthCalendar(QWidget* parent) : QWidget(parent) {
    installCalendarFactory();
    setFocusPolicy(Qt::StrongFocus);
    setMinimumSize(7 * 56, 6 * 52 + 24);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
}

MonthCalendar::~MonthCalendar() = default;

QSize MonthCalendar::sizeHint() const {
    return {7 * 72, 6 * 64 + headerHeight()};
}

void MonthCalendar::setMonth(std::vector<DayMarks> days, int selectedDay) {
    days_ = std::move(days);
    selected_ = std::clamp(selectedDay, 1, std::max(1, static_cast<int>(days_.size())));
    update();
}

void MonthCalendar::setDayDescriber(std::function<QString(const DayMarks&)> describe) {
    describe_ = std::move(describe);
}

QString MonthCalendar::dayName(int day) const {
    if (day < 1 || day > static_cast<int>(days_.size()))
        return {};
    const DayMarks& marks = days_[static_cast<std::size_t>(day - 1)];
    const QDate date(marks.date.year, marks.date.month, marks.date.day);
    QString name =
        date.toString(Qt::ISODate) + QStringLiteral(", ") + locale().toString(date, QLocale::LongFormat);
    const QString described = describe_ ? describe_(marks) : QString();
    if (!described.isEmpty())
        name += QStringLiteral(": ") + described;
    return name;
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
    announceSelectedDay();
    emit daySelected(day);
}

void MonthCalendar::announceSelectedDay() {
    if (!hasFocus() || !QAccessible::isActive())
        return;
    if (QAccessibleInterface* calendar = QAccessible::queryAccessibleInterface(this))
        if (QAccessibleInterface* day = calendar->child(selected_ - 1)) {
            QAccessibleEvent focus(day, QAccessible::Focus);
            QAccessible::updateAccessibility(&focus);
        }
}

void MonthCalendar::focusInEvent(QFocusEvent* event) {
    QWidget::focusInEvent(event);
    announceSelectedDay();
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
    setFocus(Qt::MouseFocusReason);
    if (const int day = dayAt(event->position().toPoint()))
        select(day);
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
    case Qt::Key_Return:
    case Qt::Key_Enter:
    case Qt::Key_Space:
        // The day already follows the arrows; Enter tells those waiting for a choice again.
        if (selected_ >= 1 && selected_ <= count)
            emit daySelected(selected_);
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
