#pragma once

#include <QIcon>
#include <QPixmap>

namespace velmo {

// The product logo, square, `size` pixels wide, sharp on high-density screens.
QPixmap VelmoLogo(int size, qreal devicePixelRatio = 1.0);

// The window icon: the same logo as a shipped 128-pixel bitmap made from the SVG (VelmoLogo(128)),
// so start-up does not pay for the SVG renderer.
QIcon VelmoWindowIcon();

} // namespace velmo
