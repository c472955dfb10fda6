#include "shape_bar.h"

#include <QPainter>

namespace velmo {

ShapeBar::ShapeBar(const QColor& color, QWidget* parent) : QWidget(parent), color_(color) {
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
}

ShapeBar::~ShapeBar() = default;

void ShapeBar::setFillColor(const QColor& color) {
    if (color == color_)
        return;
    color_ = color;
    update();
}

QSize ShapeBar::sizeHint() const {
    return {10, 22};
}

void ShapeBar::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.fillRect(rect(), color_);
    painter.setPen(color_.darker(140));
    painter.drawRect(rect().adjusted(0, 0, -1, -1));
}

} // namespace velmo
