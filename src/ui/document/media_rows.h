#pragma once

#include "texts/screen_texts.h"

#include <QObject>
#include <QStyledItemDelegate>

class QGroupBox;

namespace velmo {

class ScheduleListView;
class ScheduleMedia;

// Paints each file row as usual, with its media verdict in a small mark at the right end, clear of
// the row text: a green dot plays, a red cross will not play, a grey ring is in no media folder.
class MediaVerdictDelegate : public QStyledItemDelegate {
    Q_OBJECT
public:
    using QStyledItemDelegate::QStyledItemDelegate;
    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override;
};

// Shows on one file list what the media hold: each row's verdict mark and facts, and how long the
// list runs beside its title ("Basic Schedule · 3 files · 2 min 5 s").
class MediaListHooks : public QObject {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(MediaListHooks)
public:
    MediaListHooks(ScheduleListView& list, QGroupBox& frame, TextId title, const ScheduleMedia& media,
                   const ScreenTexts& texts);
    ~MediaListHooks() override;

    // The title with the list's length, as it stands.
    void showTitle();

private:
    ScheduleListView& list_;
    QGroupBox& frame_;
    TextId title_;
    const ScheduleMedia& media_;
    const ScreenTexts& texts_;
};

} // namespace velmo
