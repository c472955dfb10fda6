#include "window_placement.h"

#include <QGuiApplication>
#include <QScreen>
#include <QWidget>

#include <algorithm>

namespace velmo {

namespace {

// What a window manager's frame takes around a window that has none yet: a title bar and borders.
constexpr QMargins kAssumedFrame(4, 32, 4, 4);

QMargins frameOf(const QWidget& window) {
    const QRect frame = window.frameGeometry();
    const QRect inner = window.geometry();
    if (!window.isVisible() || frame == inner)
        return kAssumedFrame;
    return {inner.left() - frame.left(), inner.top() - frame.top(), frame.right() - inner.right(),
            frame.bottom() - inner.bottom()};
}

QRect availableFor(const QWidget& window) {
    const QScreen* screen = window.screen() != nullptr ? window.screen() : QGuiApplication::primaryScreen();
    return screen != nullptr ? screen->availableGeometry() : QRect();
}

// Moves a window whose inner rectangle would be `inner` so that with its frame it lies inside
// `area`; a top-level window's position is that of its frame.
void moveInside(QWidget& window, QRect inner, const QMargins& frame, const QRect& area) {
    const QRect room = area.marginsRemoved(frame);
    inner.moveLeft(
        std::clamp(inner.left(), room.left(), std::max(room.left(), room.right() - inner.width() + 1)));
    inner.moveTop(
        std::clamp(inner.top(), room.top(), std::max(room.top(), room.bottom() - inner.height() + 1)));
    window.move(inner.topLeft() - QPoint(frame.left(), frame.top()));
}

} // namespace

void FitSizeIntoScreen(QWidget& window, const QSize& preferred) {
    const QRect area = availableFor(window);
    if (area.isEmpty()) {
        window.resize(preferred);
        return;
    }
    const QSize room = area.marginsRemoved(frameOf(window)).size();
    window.resize(
        preferred.boundedTo(room).expandedTo(window.minimumSizeHint()).expandedTo(window.minimumSize()));
}

void FitIntoScreen(QWidget& window, const QSize& preferred) {
    FitSizeIntoScreen(window, preferred);
    const QRect area = availableFor(window);
    if (!area.isEmpty())
        moveInside(window, window.geometry(), frameOf(window), area);
}

void PlaceBeside(QWidget& window, const QWidget& anchor) {
    const QRect area = availableFor(anchor);
    const QMargins frame = frameOf(window);
    const QRect beside = anchor.frameGeometry();
    const QSize outer = window.size().grownBy(frame);
    // Right of the anchor, else left of it, when the whole frame fits beside it.
    const int right = beside.right() + 1;
    const int left = beside.left() - outer.width();
    int x = -1;
    if (right + outer.width() <= area.right() + 1)
        x = right;
    else if (left >= area.left())
        x = left;
    if (x < 0) {
        // No room for the whole window on either side: narrowed into the wider side, as far as its
        // minimum allows, so that it covers as little of the anchor as it can.
        const int roomRight = area.right() + 1 - right;
        const int roomLeft = beside.left() - area.left();
        const int room = std::max(roomRight, roomLeft) - frame.left() - frame.right();
        const int least = std::max(window.minimumWidth(), window.minimumSizeHint().width());
        const int width = std::max(least, std::min(window.width(), room));
        window.resize(width, window.height());
        const int outerWidth = width + frame.left() + frame.right();
        x = roomRight >= roomLeft ? right : beside.left() - outerWidth;
    }
    moveInside(window, QRect(QPoint(x + frame.left(), beside.top() + frame.top()), window.size()), frame,
               area);
}

} // namespace velmo
