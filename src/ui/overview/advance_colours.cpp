#include "advance_colours.h"

#include "ui/document/schedule_list_view.h"

#include <QPainter>

namespace velmo {

QColor AdvanceEntryColour(int index) {
    // The golden angle keeps any few consecutive entries far apart on the colour wheel.
    const int hue = static_cast<int>(static_cast<long>(index) * 137508 / 1000 % 360);
    return QColor::fromHsv(hue, 150 + index % 3 * 30, 225 - index % 2 * 35);
}

void AdvanceColourDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option,
                                  const QModelIndex& index) const {
    QStyledItemDelegate::paint(painter, option, index);
    const QRect block = RowMarkRect(option.rect);
    const QVariant first = index.data(kGroupFirstRole);
    const QVariant last = index.data(kGroupLastRole);
    painter->save();
    const QString hours = index.data(kHoursRole).toString();
    if (!hours.isEmpty()) {
        const QString text = index.data(Qt::DisplayRole).toString();
        QRect room = option.rect.adjusted(0, 0, -(block.width() + 16), 0);
        room.setLeft(option.rect.left() + option.fontMetrics.horizontalAdvance(text + QStringLiteral("  ")));
        const bool selected = option.state.testFlag(QStyle::State_Selected);
        QColor dim = option.palette.color(selected ? QPalette::HighlightedText : QPalette::Text);
        dim.setAlphaF(0.55f);
        painter->setPen(dim);
        painter->setFont(option.font);
        painter->drawText(room, Qt::AlignLeft | Qt::AlignVCenter, hours);
    }
    painter->setPen(option.palette.color(QPalette::Text));
    const int colourRow = first.isValid() ? first.toInt() : index.row();
    painter->setBrush(AdvanceEntryColour(colourRow));
    painter->drawRect(block.adjusted(0, 0, -1, -1));
    if (first.isValid() && last.isValid() && first.toInt() != last.toInt()) {
        // A bracket left of the block, open from the group's first row to its last.
        const int x = block.left() - 5;
        const int middle = option.rect.center().y();
        const int top = index.row() == first.toInt() ? middle : option.rect.top();
        const int bottom = index.row() == last.toInt() ? middle : option.rect.bottom() + 1;
        painter->drawLine(x, top, x, bottom);
        if (index.row() == first.toInt() || index.row() == last.toInt())
            painter->drawLine(x, middle, block.left() - 2, middle);
    }
    painter->restore();
}

} // namespace velmo
