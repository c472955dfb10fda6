#pragma once

#include "rules/schedule_history.h"

#include <QAbstractListModel>
#include <QCache>
#include <QImage>
#include <QPixmap>
#include <QStringList>
#include <deque>
#include <vector>

namespace velmo {

struct RowChange;
class ScheduleDocument;
class ScheduleMedia;
class ScreenTexts;

// What a file row's marker shows of its media file.
struct RowMedia {
    enum class Verdict { None, Plays, WillNotPlay, Missing };
};
using RowVerdict = RowMedia::Verdict;

// What the lists' models tell their painters beside a row's text.
enum EntryRowRole {
    kHoursRole = Qt::UserRole + 1, // the daily hours, painted dimmed after the text
    kGroupFirstRole,               // the first and last rows of the row's group
    kGroupLastRole,
    kVerdictRole = Qt::UserRole + 16, // a file row's RowVerdict, as an int
};

// A picture read by Qt's image I/O, or else the first frame of a video, scaled to fit `box`; null
// for anything else or a file that cannot be read. Blocking: for a worker thread.
QImage MediaThumbnail(const QString& path, const QSize& box);
// The size, in device-independent pixels, of the thumbnail that starts each file row.
QSize RowThumbnailSize();

// The rows of one of the main window's lists over the document's entries: the basic entries, the
// periods, or the details of one period. A row's text is the list's row of its entry, whoever made
// the entry, and also its name for a screen reader; what is known of its media file, and a period's
// hours and group, are asked for by role. It follows the document's changes row by row.
class EntryListModel : public QAbstractListModel {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(EntryListModel)
public:
    EntryListModel(const ScheduleDocument& document, EntryRef::List list, const ScreenTexts& texts,
                   QObject* parent = nullptr);
    ~EntryListModel() override;

    EntryRef::List list() const { return list_; }
    // The media facts of the file rows, once they are looked up; they follow its updates.
    void setMedia(const ScheduleMedia* media);
    // Every row anew; for Detail, the details of period `advance` (-1: none). A whole new schedule
    // (the document's listsReset) is shown so.
    void reload(int advance = -1);
    int advance() const { return advance_; }
    // The entries the rows show, in order (none for the periods' list).
    std::vector<FileEntry> files() const;

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;
    Qt::DropActions supportedDropActions() const override;
    QStringList mimeTypes() const override;
    QMimeData* mimeData(const QModelIndexList& indexes) const override;
    // The row that `data` carries when it was dragged out of this model, else -1.
    int draggedRow(const QMimeData* data) const;
    // Thumbnails asked for and not yet made.
    int thumbnailsPending() const { return static_cast<int>(wanted_.size()) + (making_.isEmpty() ? 0 : 1); }

    static constexpr int VerdictRole = kVerdictRole;

private:
    void follow(const RowChange& change);
    void mediaChanged();
    const FileEntry* fileAt(int row) const;
    QVariant fileData(const FileEntry& entry, int role) const;
    QVariant periodData(int row, int role) const;
    // A file row's decoration: its thumbnail once made, else a clear one of the same size, so that
    // the row texts stay in line.
    QVariant thumbnail(const FileEntry& entry) const;
    QString thumbnailKey(const FileEntry& entry, QString* path) const;
    void makeNextThumbnail() const;
    void thumbnailMade(const QString& key, const QImage& image);

    const ScheduleDocument& document_;
    EntryRef::List list_;
    const ScreenTexts& texts_;
    const ScheduleMedia* media_ = nullptr;
    int advance_ = -1;
    // The rows the view knows of; the document may hold more or fewer while a change is told.
    int rows_ = 0;
    // Made one at a time off the window's thread, by path and size; a few hundred rows' worth.
    struct Wanted {
        QString key;
        QString path;
    };
    mutable QCache<QString, QPixmap> thumbnails_{256};
    mutable std::deque<Wanted> wanted_;
    mutable QString making_; // the key being made
    mutable QPixmap blank_;
};

} // namespace velmo
