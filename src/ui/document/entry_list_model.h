#pragma once

#include <QAbstractListModel>
#include <QStringList>
#include <functional>

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

    // Every row anew.
    void setRows(const QStringList& rows);
    // Only the rows an edit changed.
    void applyEdit(const RowEdit& edit);
    QString rowText(int row) const;
    // What a row shows beside its text (a period's hours and group), asked for by role when painted
    // or read; the text and its screen-reader name stay the row's text alone.
    void setRowFacts(std::function<QVariant(int row, int role)> facts) { facts_ = std::move(facts); }

private:
    QStringList rows_;
    std::function<QVariant(int row, int role)> facts_;
};

} // namespace velmo
