#include "schedule_list_view.h"

#include "entry_list_model.h"
#include "ui/platform/fixed_font.h"

namespace velmo {

ScheduleListView::ScheduleListView(QWidget* parent) : QListView(parent), model_(new EntryListModel(this)) {
    setModel(model_);
    setFont(FixedPitchFont());
    setSelectionMode(QAbstractItemView::SingleSelection);
    setUniformItemSizes(true);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
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

QString ScheduleListView::rowText(int row) const {
    return model_->rowText(row);
}

void ScheduleListView::noteCurrentRow() {
    const int row = currentRow();
    if (row == lastRow_)
        return;
    lastRow_ = row;
    emit currentRowChanged(row);
}

} // namespace velmo
