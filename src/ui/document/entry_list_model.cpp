#include "entry_list_model.h"

#include "schedule_document.h"

namespace velmo {

EntryListModel::EntryListModel(QObject* parent) : QAbstractListModel(parent) {}

EntryListModel::~EntryListModel() = default;

int EntryListModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(rows_.size());
}

QVariant EntryListModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= rows_.size())
        return {};
    if (role == Qt::DisplayRole || role == Qt::AccessibleTextRole)
        return rows_[index.row()];
    if (facts_ && role != Qt::DisplayRole)
        return facts_(index.row(), role);
    return {};
}

Qt::ItemFlags EntryListModel::flags(const QModelIndex& index) const {
    return index.isValid() ? Qt::ItemIsSelectable | Qt::ItemIsEnabled : Qt::NoItemFlags;
}

void EntryListModel::setRows(const QStringList& rows) {
    beginResetModel();
    rows_ = rows;
    endResetModel();
}

QString EntryListModel::rowText(int row) const {
    return row >= 0 && row < rows_.size() ? rows_[row] : QString();
}

void EntryListModel::applyEdit(const RowEdit& edit) {
    const int rows = static_cast<int>(rows_.size());
    switch (edit.kind) {
    case RowEdit::Kind::Insert: {
        if (edit.texts.empty() || edit.row < 0 || edit.row > rows)
            return;
        const int last = edit.row + static_cast<int>(edit.texts.size()) - 1;
        beginInsertRows({}, edit.row, last);
        for (std::size_t i = 0; i < edit.texts.size(); ++i)
            rows_.insert(edit.row + static_cast<int>(i), QString::fromStdString(edit.texts[i]));
        endInsertRows();
        return;
    }
    case RowEdit::Kind::Replace:
        if (edit.texts.empty() || edit.row < 0 || edit.row >= rows)
            return;
        rows_[edit.row] = QString::fromStdString(edit.texts.front());
        emit dataChanged(index(edit.row), index(edit.row));
        return;
    case RowEdit::Kind::Swap:
        if (edit.row < 0 || edit.row >= rows || edit.other < 0 || edit.other >= rows)
            return;
        // The rows stay where they are and trade texts, as the entries trade places.
        rows_.swapItemsAt(edit.row, edit.other);
        emit dataChanged(index(std::min(edit.row, edit.other)), index(std::max(edit.row, edit.other)));
        return;
    case RowEdit::Kind::Remove:
        if (edit.row < 0 || edit.row >= rows)
            return;
        beginRemoveRows({}, edit.row, edit.row);
        rows_.removeAt(edit.row);
        endRemoveRows();
        return;
    }
}

} // namespace velmo
