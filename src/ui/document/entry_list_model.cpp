#include "entry_list_model.h"

#include "schedule_document.h"

#include <QMimeData>

namespace velmo {

namespace {

// "<model> <row>": a row is only ever dropped back into the list it came from.
const QString kRowType = QStringLiteral("application/x-velmo-schedule-row");

} // namespace

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
    if (media_ && (role == Qt::ToolTipRole || role == Qt::AccessibleDescriptionRole || role == VerdictRole)) {
        const RowMedia media = media_(index.row());
        if (role == VerdictRole)
            return static_cast<int>(media.verdict);
        return media.facts.isEmpty() ? QVariant() : QVariant(media.facts);
    }
    if (facts_ && role != Qt::DisplayRole)
        return facts_(index.row(), role);
    return {};
}

Qt::ItemFlags EntryListModel::flags(const QModelIndex& index) const {
    // A row may be dragged to another place between the rows, never onto one.
    return index.isValid() ? Qt::ItemIsSelectable | Qt::ItemIsEnabled | Qt::ItemIsDragEnabled
                           : Qt::ItemIsDropEnabled;
}

Qt::DropActions EntryListModel::supportedDropActions() const {
    return Qt::MoveAction;
}

QStringList EntryListModel::mimeTypes() const {
    return {kRowType};
}

QMimeData* EntryListModel::mimeData(const QModelIndexList& indexes) const {
    if (indexes.size() != 1 || !indexes.front().isValid())
        return nullptr;
    auto* data = new QMimeData;
    data->setData(kRowType, QByteArray::number(reinterpret_cast<quintptr>(this)) + ' ' +
                                QByteArray::number(indexes.front().row()));
    return data;
}

int EntryListModel::draggedRow(const QMimeData* data) const {
    if (data == nullptr)
        return -1;
    const QList<QByteArray> parts = data->data(kRowType).split(' ');
    if (parts.size() != 2)
        return -1;
    bool isNumber = false;
    bool isRow = false;
    const bool fromHere = parts[0].toULongLong(&isNumber) == reinterpret_cast<quintptr>(this) && isNumber;
    const int row = parts[1].toInt(&isRow);
    return fromHere && isRow && row >= 0 && row < rows_.size() ? row : -1;
}

void EntryListModel::setRows(const QStringList& rows) {
    beginResetModel();
    rows_ = rows;
    endResetModel();
}

void EntryListModel::mediaChanged() {
    if (!rows_.isEmpty())
        emit dataChanged(index(0), index(static_cast<int>(rows_.size()) - 1),
                         {Qt::ToolTipRole, Qt::AccessibleDescriptionRole, VerdictRole});
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
    case RowEdit::Kind::Move:
        if (edit.row < 0 || edit.row >= rows || edit.other < 0 || edit.other >= rows ||
            edit.row == edit.other)
            return;
        // Qt names the place before which the row lands, counted before it leaves.
        beginMoveRows({}, edit.row, edit.row, {}, edit.other > edit.row ? edit.other + 1 : edit.other);
        rows_.move(edit.row, edit.other);
        endMoveRows();
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
