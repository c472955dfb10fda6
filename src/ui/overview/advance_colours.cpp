#include "advance_colours.h"

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
    const int side = std::max(6, option.rect.height() - 6);
    const QRect block(option.rect.right() - side - 4, option.rect.top() + (option.rect.height() - side) / 2,
                      side, side);
    painter->save();
    painter->setPen(option.palette.color(QPalette::Text));
    painter->setBrush(AdvanceEntryColour(index.row()));
    painter->drawRect(block.adjusted(0, 0, -1, -1));
    painter->restore();
}

} // namespace velmo
