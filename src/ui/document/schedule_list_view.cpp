#include "schedule_list_view.h"

#include "entry_list_model.h"
#include "ui/platform/fixed_font.h"

#include <QDropEvent>

#include <algorithm>

namespace velmo {

ScheduleListView::ScheduleListView(EntryListModel* rows, QWidget* parent) : QListView(parent), model_(rows) {
    model_->setParent(this);
    setModel(model_);
    setFont(FixedPitchFont());
    setSelectionMode(QAbstractItemView::SingleSelection);
    setUniformItemSizes(true);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setDragDropMode(QAbstractItemView::DragDrop);
    setDefaultDropAction(Qt::MoveAction);
    setDropIndicatorShown(true);
    connect(selectionModel(), &QItemSelectionModel::currentRowChanged, this, [this] { noteCurrentRow(); });
    // A reset forgets the selected row without a word; the rows that follow it must hear of it.
    connect(model_, &QAbstractItemModel::modelReset, this, [this] { noteCurrentRow(); });
    connect(model_, &QAbstractItemModel::rowsRemoved, this, [this] { noteCurrentRow(); });
    connect(this, &QAbstractItemView::doubleClicked, this,
            [this](const QModelIndex& index) { emit rowActivated(index.row()); });
}

ScheduleListView::~ScheduleListView() = default;

int ScheduleListView::count() const {
    return model_->rowCount();
}

int ScheduleListView::currentRow() const {
    const QModelIndex current = currentIndex();
    return current.isValid() ? current.row() : -1;
}

void ScheduleListView::setCurrentRow(int row) {
    if (row < 0 || row >= count()) {
        selectionModel()->clear();
        noteCurrentRow();
        return;
    }
    selectionModel()->setCurrentIndex(model_->index(row), QItemSelectionModel::ClearAndSelect);
}

void ScheduleListView::dragEnterEvent(QDragEnterEvent* event) {
    if (model_->draggedRow(event->mimeData()) < 0)
        return event->ignore();
    QListView::dragEnterEvent(event);
}

void ScheduleListView::dragMoveEvent(QDragMoveEvent* event) {
    if (model_->draggedRow(event->mimeData()) < 0)
        return event->ignore();
    QListView::dragMoveEvent(event);
}

void ScheduleListView::dropEvent(QDropEvent* event) {
    const int from = model_->draggedRow(event->mimeData());
    if (from < 0)
        return event->ignore();
    // Dropped on the upper half of a row: before it; on the lower half: after it; below all: last.
    const QPoint at = event->position().toPoint();
    const QModelIndex onto = indexAt(at);
    int before = count();
    if (onto.isValid())
        before = onto.row() + (at.y() > visualRect(onto).center().y() ? 1 : 0);
    const int to = before > from ? before - 1 : before;
    // Accepted as a copy, so the end of the drag removes nothing: the document moves the row.
    event->setDropAction(Qt::CopyAction);
    event->accept();
    stopAutoScroll();
    setState(NoState);
    viewport()->update();
    if (to != from)
        emit rowDropped(from, to);
}

void ScheduleListView::noteCurrentRow() {
    const int row = currentRow();
    if (row == lastRow_)
        return;
    lastRow_ = row;
    emit currentRowChanged(row);
}

QRect RowMarkRect(const QRect& row) {
    const int side = std::max(6, row.height() - 6);
    return {row.right() - side - 4, row.top() + (row.height() - side) / 2, side, side};
}

} // namespace velmo
