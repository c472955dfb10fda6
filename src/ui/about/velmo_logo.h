#pragma once

#include <QPixmap>

namespace velmo {

// The product logo, square, `size` pixels wide, sharp on high-density screens.
QPixmap VelmoLogo(int size, qreal devicePixelRatio = 1.0);

} // namespace velmo
