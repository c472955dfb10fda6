#pragma once

#include <QAbstractListModel>
#include <QStringList>

namespace velmo {

struct RowEdit;

// The rows of one of the main window's lists, as shown: the row texts of the document's entries.
// A row's text is also its name for a screen reader.
class EntryListModel : public QAbstractListModel {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(EntryListModel)
public:
    explicit EntryListModel(QObject* parent = nullptr);
    ~EntryListModel() override;

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;
    Qt::DropActions supportedDropActions() const override;
    QStringList mimeTypes() const override;
    QMimeData* mimeData(const QModelIndexList& indexes) const override;
    // The row that `data` carries when it was dragged out of this model, else -1.
    int draggedRow(const QMimeData* data) const;

    // Every row anew.
    void setRows(const QStringList& rows);
    // Only the rows an edit changed.
    void applyEdit(const RowEdit& edit);
    QString rowText(int row) const;

private:
    QStringList rows_;
};

} // namespace velmo
