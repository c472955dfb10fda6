#include "accessibility.h"

#include <QAbstractButton>
#include <QAbstractItemView>
#include <QAccessible>
#include <QAccessibleWidget>
#include <QCalendarWidget>
#include <QComboBox>
#include <QGroupBox>
#include <QLocale>
#include <QPainter>
#include <QPointer>
#include <QTableView>
#include <QTextCharFormat>
#include <QToolButton>

#include <algorithm>
#include <vector>

namespace velmo {

namespace {

// A drop-down list named by its accessible name (or its label), valued by its chosen item, with
// its popup list as its one child and an action that opens it.
class NamedComboBoxAccessible final : public QAccessibleWidget {
public:
    explicit NamedComboBoxAccessible(QComboBox* combo) : QAccessibleWidget(combo, QAccessible::ComboBox) {
        addControllingSignal(QStringLiteral("currentIndexChanged(int)"));
    }

    QString text(QAccessible::Text t) const override {
        if (t == QAccessible::Value)
            return combo()->currentText();
        if (t == QAccessible::Name) {
            const QString name = QAccessibleWidget::text(t);
            return name.isEmpty() ? combo()->currentText() : name;
        }
        return QAccessibleWidget::text(t);
    }

    int childCount() const override { return 1; }
    QAccessibleInterface* child(int index) const override {
        return index == 0 ? QAccessible::queryAccessibleInterface(combo()->view()) : nullptr;
    }
    int indexOfChild(const QAccessibleInterface* child) const override {
        return child != nullptr && child->object() == combo()->view() ? 0 : -1;
    }

    QAccessible::State state() const override {
        QAccessible::State s = QAccessibleWidget::state();
        s.expandable = true;
        s.expanded = combo()->view()->isVisible();
        return s;
    }

    QStringList actionNames() const override {
        return QAccessibleWidget::actionNames() << showMenuAction() << pressAction();
    }
    void doAction(const QString& actionName) override {
        if (actionName == showMenuAction() || actionName == pressAction())
            combo()->showPopup();
        else
            QAccessibleWidget::doAction(actionName);
    }

private:
    QComboBox* combo() const { return static_cast<QComboBox*>(widget()); }
};

constexpr char kColumnHeader[] = "velmoColumnHeader";
constexpr char kDecoration[] = "velmoDecoration";
constexpr char kMarkedDay[] = "velmoMarkedDay";

// A frame named by its own title. Qt would also label a frame inside another by the outer one's
// title, so both date frames would be read as "Date Setup".
class FrameAccessible final : public QAccessibleWidget {
public:
    explicit FrameAccessible(QGroupBox* box) : QAccessibleWidget(box, QAccessible::Grouping) {}

    QString text(QAccessible::Text t) const override {
        if (t == QAccessible::Name && widget()->accessibleName().isEmpty())
            return static_cast<QGroupBox*>(widget())->title().remove(QLatin1Char('&'));
        return QAccessibleWidget::text(t);
    }
    QList<QPair<QAccessibleInterface*, QAccessible::Relation>>
    relations(QAccessible::Relation match) const override {
        auto found = QAccessibleWidget::relations(match);
        const QObject* outer = widget()->parentWidget();
        found.erase(std::remove_if(found.begin(), found.end(),
                                   [outer](const auto& relation) {
                                       return (relation.second & QAccessible::Label) &&
                                              relation.first->object() == outer;
                                   }),
                    found.end());
        return found;
    }
};

// A caption above a list's column, read as its header, not as a button to press.
class ColumnHeaderAccessible final : public QAccessibleWidget {
public:
    explicit ColumnHeaderAccessible(QAbstractButton* button)
        : QAccessibleWidget(button, QAccessible::ColumnHeader) {}

    QString text(QAccessible::Text t) const override {
        if (t == QAccessible::Name && widget()->accessibleName().isEmpty())
            return static_cast<QAbstractButton*>(widget())->text().remove(QLatin1Char('&'));
        return QAccessibleWidget::text(t);
    }
    QStringList actionNames() const override { return {}; }
};

bool isDecoration(const QObject* object) {
    return object->property(kDecoration).toBool();
}

// A plain container whose decorations are left out of its children.
class DecoratedAccessible final : public QAccessibleWidget {
public:
    DecoratedAccessible(QWidget* widget, QAccessible::Role role) : QAccessibleWidget(widget, role) {}

    int childCount() const override { return static_cast<int>(children().size()); }
    QAccessibleInterface* child(int index) const override {
        const QList<QWidget*> kids = children();
        return index >= 0 && index < kids.size() ? QAccessible::queryAccessibleInterface(kids[index])
                                                 : nullptr;
    }
    int indexOfChild(const QAccessibleInterface* child) const override {
        return child != nullptr
                   ? static_cast<int>(children().indexOf(qobject_cast<QWidget*>(child->object())))
                   : -1;
    }

private:
    QList<QWidget*> children() const {
        QList<QWidget*> kids;
        for (QObject* object : widget()->children()) {
            auto* kid = qobject_cast<QWidget*>(object);
            if (kid != nullptr && !kid->isWindow() && !isDecoration(kid))
                kids.push_back(kid);
        }
        return kids;
    }
};

// The day shown in a cell of the calendar's table; none for a caption or a week number.
QDate dateOfCell(const QCalendarWidget* calendar, const QAbstractItemModel* model, int row, int column) {
    const int firstRow = calendar->horizontalHeaderFormat() == QCalendarWidget::NoHorizontalHeader ? 0 : 1;
    const int firstColumn = calendar->verticalHeaderFormat() == QCalendarWidget::NoVerticalHeader ? 0 : 1;
    if (row < firstRow || column < firstColumn)
        return {};
    bool number = false;
    const int day = model->index(row, column).data().toInt(&number);
    if (!number)
        return {};
    // Six weeks are shown: days of the month before lead, days of the month after close.
    QDate month(calendar->yearShown(), calendar->monthShown(), 1);
    if (row - firstRow < 2 && day > 20)
        month = month.addMonths(-1);
    else if (row - firstRow >= 4 && day < 15)
        month = month.addMonths(1);
    return {month.year(), month.month(), day};
}

// One cell of a calendar's table: a day read with its full date, or a column's week-day caption.
class CalendarCellAccessible final : public QAccessibleInterface {
public:
    // The cell at `position` in reading order; its row and column follow the table's width, which
    // changes when week numbers come or go.
    CalendarCellAccessible(QTableView* view, int position) : view_(view), position_(position) {}

    bool isValid() const override { return view_ != nullptr && calendar() != nullptr; }
    QObject* object() const override { return nullptr; }
    QWindow* window() const override { return view_ != nullptr ? view_->window()->windowHandle() : nullptr; }
    QAccessibleInterface* focusChild() const override { return nullptr; }
    QAccessibleInterface* childAt(int, int) const override { return nullptr; }
    QAccessibleInterface* parent() const override { return QAccessible::queryAccessibleInterface(view_); }
    QAccessibleInterface* child(int) const override { return nullptr; }
    int childCount() const override { return 0; }
    int indexOfChild(const QAccessibleInterface*) const override { return -1; }
    void setText(QAccessible::Text, const QString&) override {}

    QString text(QAccessible::Text t) const override {
        if (t != QAccessible::Name || !isValid())
            return {};
        const QDate date = this->date();
        if (!date.isValid())
            return QLocale().dayName(weekDayOfColumn(), QLocale::LongFormat);
        const QString name = calendar()->locale().toString(date, QLocale::LongFormat);
        const QString marked = calendar()->property(kMarkedDay).toString();
        if (!marked.isEmpty() && calendar()->dateTextFormat(date).fontStrikeOut())
            return marked.arg(name);
        return name;
    }
    QRect rect() const override {
        if (!isValid())
            return {};
        const QRect cell = view_->visualRect(index());
        return {view_->viewport()->mapToGlobal(cell.topLeft()), cell.size()};
    }
    QAccessible::Role role() const override {
        return date().isValid() ? QAccessible::Cell : QAccessible::ColumnHeader;
    }
    QAccessible::State state() const override {
        QAccessible::State s;
        if (!isValid()) {
            s.invalid = true;
            return s;
        }
        const QDate date = this->date();
        if (!date.isValid())
            return s;
        s.selectable = true;
        s.focusable = true;
        s.selected = date == calendar()->selectedDate();
        s.focused = s.selected && view_->hasFocus();
        s.disabled = date < calendar()->minimumDate() || date > calendar()->maximumDate();
        return s;
    }

private:
    QCalendarWidget* calendar() const { return qobject_cast<QCalendarWidget*>(view_->parentWidget()); }
    int columns() const { return std::max(1, view_->model()->columnCount()); }
    int row() const { return position_ / columns(); }
    int column() const { return position_ % columns(); }
    QModelIndex index() const { return view_->model()->index(row(), column()); }
    QDate date() const { return dateOfCell(calendar(), view_->model(), row(), column()); }
    int weekDayOfColumn() const {
        const int firstColumn =
            calendar()->verticalHeaderFormat() == QCalendarWidget::NoVerticalHeader ? 0 : 1;
        return (static_cast<int>(calendar()->firstDayOfWeek()) - 1 + column() - firstColumn + 7) % 7 + 1;
    }

    QPointer<QTableView> view_;
    int position_;
};

// A calendar's table of days, its cells in the order the view reports the current cell in.
class CalendarViewAccessible final : public QAccessibleWidget {
public:
    explicit CalendarViewAccessible(QTableView* view) : QAccessibleWidget(view, QAccessible::Table) {}
    ~CalendarViewAccessible() override {
        for (QAccessible::Id id : ids_)
            QAccessible::deleteAccessibleInterface(id);
    }

    int childCount() const override { return rows() * columns(); }
    QAccessibleInterface* child(int index) const override {
        if (index < 0 || index >= childCount())
            return nullptr;
        if (cells_.size() < static_cast<std::size_t>(childCount())) {
            cells_.resize(static_cast<std::size_t>(childCount()), nullptr);
            ids_.reserve(cells_.size());
        }
        QAccessibleInterface*& cell = cells_[static_cast<std::size_t>(index)];
        if (cell == nullptr) {
            cell = new CalendarCellAccessible(view(), index);
            ids_.push_back(QAccessible::registerAccessibleInterface(cell));
        }
        return cell;
    }
    int indexOfChild(const QAccessibleInterface* child) const override {
        const auto found = std::find(cells_.begin(), cells_.end(), child);
        return found != cells_.end() ? static_cast<int>(found - cells_.begin()) : -1;
    }
    QAccessibleInterface* focusChild() const override {
        const QModelIndex current = view()->currentIndex();
        return current.isValid() ? child(current.row() * columns() + current.column()) : nullptr;
    }
    QAccessibleInterface* childAt(int x, int y) const override {
        const QModelIndex at = view()->indexAt(view()->viewport()->mapFromGlobal(QPoint(x, y)));
        return at.isValid() ? child(at.row() * columns() + at.column()) : nullptr;
    }

private:
    QTableView* view() const { return static_cast<QTableView*>(widget()); }
    int rows() const { return view()->model() != nullptr ? view()->model()->rowCount() : 0; }
    int columns() const { return view()->model() != nullptr ? view()->model()->columnCount() : 0; }

    mutable std::vector<QAccessibleInterface*> cells_;
    mutable std::vector<QAccessible::Id> ids_;
};

QAccessibleInterface* velmoFactory(const QString& className, QObject* object) {
    if (object == nullptr || !object->isWidgetType())
        return nullptr;
    if (className == QLatin1String("QComboBox"))
        if (auto* combo = qobject_cast<QComboBox*>(object))
            return new NamedComboBoxAccessible(combo);
    if (className == QLatin1String("QGroupBox"))
        if (auto* box = qobject_cast<QGroupBox*>(object); box != nullptr && !box->isCheckable())
            return new FrameAccessible(box);
    if (className == QLatin1String("QPushButton") && object->property(kColumnHeader).toBool())
        return new ColumnHeaderAccessible(static_cast<QAbstractButton*>(object));
    if (className == QLatin1String("QSizeGrip"))
        return new QAccessibleWidget(static_cast<QWidget*>(object), QAccessible::Grip);
    if (className == QLatin1String("QCalendarView"))
        if (auto* view = qobject_cast<QTableView*>(object);
            view != nullptr && qobject_cast<QCalendarWidget*>(view->parentWidget()) != nullptr)
            return new CalendarViewAccessible(view);
    if (className == QLatin1String("QStatusBar") || className == QLatin1String("QWidget")) {
        const QObjectList& kids = object->children();
        if (std::any_of(kids.begin(), kids.end(), [](const QObject* kid) { return isDecoration(kid); }))
            return new DecoratedAccessible(static_cast<QWidget*>(object),
                                           className == QLatin1String("QStatusBar") ? QAccessible::StatusBar
                                                                                    : QAccessible::Client);
    }
    return nullptr;
}

// Drawn over an empty list's viewport while the list has the focus, in the text colour, so it shows
// in light and dark palettes alike.
class EmptyFocusMark final : public QWidget {
public:
    explicit EmptyFocusMark(QAbstractItemView* view) : QWidget(view->viewport()), view_(view) {
        setObjectName(QStringLiteral("EmptyFocusMark"));
        setAttribute(Qt::WA_TransparentForMouseEvents);
        setAttribute(Qt::WA_NoSystemBackground);
        setFocusPolicy(Qt::NoFocus);
        HideFromScreenReaders(*this);
        view->installEventFilter(this);
        view->viewport()->installEventFilter(this);
        follow();
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        switch (event->type()) {
        case QEvent::FocusIn:
        case QEvent::FocusOut:
        case QEvent::Resize:
            follow();
            break;
        case QEvent::Paint:
            // Rows come and go by whatever model the list shows; a repaint follows each change.
            if (watched == view_->viewport())
                QMetaObject::invokeMethod(
                    this, [this] { follow(); }, Qt::QueuedConnection);
            break;
        default:
            break;
        }
        return false;
    }
    void paintEvent(QPaintEvent*) override {
        QPainter painter(this);
        painter.setPen(QPen(palette().color(QPalette::Text), 1, Qt::DotLine));
        painter.drawRect(rect().adjusted(2, 2, -3, -3));
    }

private:
    void follow() {
        const QAbstractItemModel* model = view_->model();
        const bool empty = model == nullptr || model->rowCount(view_->rootIndex()) == 0;
        setGeometry(view_->viewport()->rect());
        setVisible(empty && view_->hasFocus());
        raise();
    }

    QAbstractItemView* view_;
};

} // namespace

void InstallAccessibilitySupport() {
    static bool installed = false;
    if (installed)
        return;
    installed = true;
    QAccessible::installFactory(velmoFactory);
}

void SetCaption(QAbstractButton& button, const QString& caption) {
    button.setText(caption);
    button.setAccessibleName(caption);
}

void MarkColumnHeader(QAbstractButton& button) {
    button.setProperty(kColumnHeader, true);
}

void ShowFocusWhenEmpty(QAbstractItemView& view) {
    if (view.viewport()->findChild<QWidget*>(QStringLiteral("EmptyFocusMark"), Qt::FindDirectChildrenOnly) ==
        nullptr)
        new EmptyFocusMark(&view);
}

void HideFromScreenReaders(QWidget& widget) {
    widget.setProperty(kDecoration, true);
}

void MakeCalendarReadable(QCalendarWidget& calendar, const QString& previousMonth, const QString& nextMonth,
                          const QString& markedDay) {
    // A week number is no day to choose, and read among the days it would sound like one.
    calendar.setVerticalHeaderFormat(QCalendarWidget::NoVerticalHeader);
    calendar.setProperty(kMarkedDay, markedDay);
    const std::pair<const char*, QString> buttons[] = {{"qt_calendar_prevmonth", previousMonth},
                                                       {"qt_calendar_nextmonth", nextMonth}};
    for (const auto& [name, caption] : buttons)
        if (auto* button = calendar.findChild<QToolButton*>(QLatin1String(name))) {
            button->setAccessibleName(caption);
            button->setToolTip(caption);
        }
}

} // namespace velmo
