#include "problem_rows.h"

#include <algorithm>

namespace velmo {

ProblemRows::ProblemRows(QObject* parent) : QAbstractListModel(parent) {}

ProblemRows::~ProblemRows() = default;

void ProblemRows::setStale() {
    setStale(true);
}

void ProblemRows::setStale(bool stale) {
    if (stale_ == stale)
        return;
    stale_ = stale;
    if (!rows_.isEmpty())
        emit dataChanged(index(0), index(static_cast<int>(rows_.size()) - 1), {});
}

void ProblemRows::setRows(QStringList rows) {
    setStale(false);
    const qsizetype oldCount = rows_.size();
    const qsizetype newCount = rows.size();
    // The rows alike at the start and at the end stay as they are; the middle is replaced.
    qsizetype head = 0;
    while (head < oldCount && head < newCount && rows_[head] == rows[head])
        ++head;
    qsizetype tail = 0;
    while (tail < oldCount - head && tail < newCount - head &&
           rows_[oldCount - 1 - tail] == rows[newCount - 1 - tail])
        ++tail;
    const qsizetype oldMiddle = oldCount - head - tail;
    const qsizetype newMiddle = newCount - head - tail;
    const qsizetype common = std::min(oldMiddle, newMiddle);
    for (qsizetype i = 0; i < common; ++i)
        rows_[head + i] = rows[head + i];
    if (common > 0)
        emit dataChanged(index(static_cast<int>(head)), index(static_cast<int>(head + common - 1)));
    if (newMiddle > oldMiddle) {
        const auto first = static_cast<int>(head + common);
        beginInsertRows({}, first, first + static_cast<int>(newMiddle - oldMiddle) - 1);
        rows_.insert(head + common, newMiddle - oldMiddle, QString());
        for (qsizetype i = common; i < newMiddle; ++i)
            rows_[head + i] = rows[head + i];
        endInsertRows();
    } else if (oldMiddle > newMiddle) {
        const auto first = static_cast<int>(head + common);
        beginRemoveRows({}, first, first + static_cast<int>(oldMiddle - newMiddle) - 1);
        rows_.remove(head + common, oldMiddle - newMiddle);
        endRemoveRows();
    }
}

Qt::ItemFlags ProblemRows::flags(const QModelIndex& index) const {
    if (!index.isValid() || stale_)
        return Qt::NoItemFlags;
    return Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemNeverHasChildren;
}

int ProblemRows::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(rows_.size());
}

QVariant ProblemRows::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= rows_.size())
        return {};
    if (role == Qt::DisplayRole || role == Qt::AccessibleTextRole)
        return rows_[index.row()];
    return {};
}

} // namespace velmo
