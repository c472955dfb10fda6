#pragma once

#include <QAbstractListModel>
#include <QStringList>

namespace velmo {

// The overview's problem rows. A new list replaces only the rows that differ from the shown ones
// (an edit changes a few rows among tens of thousands), so the view keeps its place and selection
// and lays out nothing else.
class ProblemRows : public QAbstractListModel {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(ProblemRows)
public:
    explicit ProblemRows(QObject* parent = nullptr);
    ~ProblemRows() override;

    // Takes the rows of the latest schedule; they are current until setStale().
    void setRows(QStringList rows);
    const QStringList& rows() const { return rows_; }
    // The rows shown are of a schedule before the latest edit: greyed, and not to be chosen.
    void setStale();
    bool stale() const { return stale_; }

    int rowCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;

private:
    void setStale(bool stale);

    QStringList rows_;
    bool stale_ = false;
};

} // namespace velmo
