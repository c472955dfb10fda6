#pragma once

#include "ui/document/entry_list_model.h"

#include <QColor>
#include <QStyledItemDelegate>

namespace velmo {

// The colour of advance entry `index` (from 0), the same in the overview and beside its row in the
// main window's advance list; neighbouring entries get clearly different hues.
QColor AdvanceEntryColour(int index);

// Paints each row of a list as usual, with the colour of its entry in a small block at its right end,
// clear of the row text, so the fixed-pitch columns keep lining up under their captions. The rows of
// a group share the colour of its first row and a bracket beside the block; the hours follow the text.
class AdvanceColourDelegate : public QStyledItemDelegate {
    Q_OBJECT
public:
    using QStyledItemDelegate::QStyledItemDelegate;
    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override;
};

} // namespace velmo
