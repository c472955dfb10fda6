#include "media_rows.h"

#include "entry_list_model.h"
#include "rules/schedule_sense.h"
#include "schedule_list_view.h"
#include "schedule_media.h"
#include "ui/platform/ui_text.h"

#include <QGroupBox>
#include <QPainter>

namespace velmo {

void MediaVerdictDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option,
                                 const QModelIndex& index) const {
    QStyledItemDelegate::paint(painter, option, index);
    const auto verdict = static_cast<RowVerdict>(index.data(kVerdictRole).toInt());
    if (verdict == RowVerdict::None)
        return;
    const QRectF mark(RowMarkRect(option.rect));
    painter->save();
    painter->setRenderHint(QPainter::Antialiasing);
    // Shapes as well as colours, so the verdict reads without telling red from green.
    switch (verdict) {
    case RowVerdict::Plays:
        painter->setPen(Qt::NoPen);
        painter->setBrush(QColor(0x2e, 0x9d, 0x3a));
        painter->drawEllipse(mark.adjusted(1, 1, -1, -1));
        break;
    case RowVerdict::WillNotPlay:
        painter->setPen(QPen(QColor(0xd0, 0x21, 0x21), 2.5));
        painter->drawLine(mark.topLeft() + QPointF(1, 1), mark.bottomRight() - QPointF(1, 1));
        painter->drawLine(mark.topRight() + QPointF(-1, 1), mark.bottomLeft() + QPointF(1, -1));
        break;
    case RowVerdict::Missing:
        painter->setPen(QPen(QColor(0x80, 0x80, 0x80), 2));
        painter->setBrush(Qt::NoBrush);
        painter->drawEllipse(mark.adjusted(1.5, 1.5, -1.5, -1.5));
        break;
    case RowVerdict::None:
        break;
    }
    painter->restore();
}

MediaListHooks::MediaListHooks(ScheduleListView& list, QGroupBox& frame, TextId title,
                               const ScheduleMedia& media, const ScreenTexts& texts)
    : QObject(&list), list_(list), frame_(frame), title_(title), media_(media), texts_(texts) {
    list_.setItemDelegate(new MediaVerdictDelegate(&list_));
    list_.rows()->setMedia(&media_);
    connect(&media_, &ScheduleMedia::updated, this, &MediaListHooks::showTitle);
    EntryListModel* rows = list_.rows();
    connect(rows, &QAbstractItemModel::modelReset, this, &MediaListHooks::showTitle);
    connect(rows, &QAbstractItemModel::rowsInserted, this, &MediaListHooks::showTitle);
    connect(rows, &QAbstractItemModel::rowsRemoved, this, &MediaListHooks::showTitle);
    connect(rows, &QAbstractItemModel::dataChanged, this,
            [this](const QModelIndex&, const QModelIndex&, const QList<int>& roles) {
                if (roles.isEmpty() || roles.contains(Qt::DisplayRole))
                    showTitle();
            });
}

MediaListHooks::~MediaListHooks() = default;

void MediaListHooks::showTitle() {
    const std::string length = media_.listLength(list_.rows()->files(), texts_);
    QString title = screenText(texts_, title_);
    if (!length.empty())
        title += QStringLiteral(" · ") + toQt(length);
    frame_.setTitle(title);
}

} // namespace velmo
