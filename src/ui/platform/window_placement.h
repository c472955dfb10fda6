#pragma once

#include <QSize>

class QWidget;

namespace velmo {

// Gives a top-level window `preferred` size, shrunk to what the screen it opens on leaves free
// (never below the window's minimum), and moves it wholly inside that area, frame included.
void FitIntoScreen(QWidget& window, const QSize& preferred);
// Only the size: a dialog is then centred over its owner, within the screen, as it opens.
void FitSizeIntoScreen(QWidget& window, const QSize& preferred);

// Places a top-level window beside `anchor`, to its right or else its left, where the screen's free
// area has room for it; otherwise where FitIntoScreen leaves it.
void PlaceBeside(QWidget& window, const QWidget& anchor);

} // namespace velmo
