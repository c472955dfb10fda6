#pragma once

#include <QIcon>
#include <QPixmap>

namespace velmo {

// The product logo, square, `size` pixels wide, sharp on high-density screens.
QPixmap VelmoLogo(int size, qreal devicePixelRatio = 1.0);

// The window icon: the same logo as a 256-pixel bitmap made from the SVG (VelmoLogo(256)), decoded
// only when a window first shows it, so start-up does not pay for the SVG renderer.
QIcon VelmoWindowIcon();

} // namespace velmo
