#pragma once

#include <QAbstractListModel>
#include <QStringList>
#include <functional>

namespace velmo {

struct RowEdit;

// What a file row's marker shows of its media file, and its facts for the tooltip and screen readers.
struct RowMedia {
    enum class Verdict { None, Plays, WillNotPlay, Missing };
    Verdict verdict = Verdict::None; // None: not a file row, or not examined yet
    QString facts;
};

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
    // What a row shows beside its text (a period's hours and group), asked for by role when painted
    // or read; the text and its screen-reader name stay the row's text alone.
    void setRowFacts(std::function<QVariant(int row, int role)> facts) { facts_ = std::move(facts); }

    // The role under which data() gives a row's RowMedia::Verdict, as an int.
    // Clear of the roles the advance list's painter uses.
    static constexpr int VerdictRole = Qt::UserRole + 16;
    // Where the rows' media facts come from; asked on every look, so they follow the rows.
    void setMediaSource(std::function<RowMedia(int row)> source) { media_ = std::move(source); }
    // The facts changed: every row is painted and described anew, its text unchanged.
    void mediaChanged();

private:
    QStringList rows_;
    std::function<RowMedia(int row)> media_;
    std::function<QVariant(int row, int role)> facts_;
};

} // namespace velmo
