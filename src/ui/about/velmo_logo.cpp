#include "velmo_logo.h"

#include <QPainter>
#include <QSvgRenderer>

// The resource lives in a static library, which drops it unless something asks for it.
static void initAboutResources() {
    Q_INIT_RESOURCE(about);
}

namespace velmo {

QPixmap VelmoLogo(int size, qreal devicePixelRatio) {
    initAboutResources();
    const int pixels = qRound(size * devicePixelRatio);
    QPixmap pixmap(pixels, pixels);
    pixmap.fill(Qt::transparent);
    QSvgRenderer renderer(QStringLiteral(":/about/velmo_logo.svg"));
    QPainter painter(&pixmap);
    renderer.render(&painter);
    painter.end();
    pixmap.setDevicePixelRatio(devicePixelRatio);
    return pixmap;
}

QIcon VelmoWindowIcon() {
    initAboutResources();
    // One decode of a known format: QIcon's own file loading probes the image plugins for the
    // format and reads the file four times.
    return QIcon(QPixmap(QStringLiteral(":/about/velmo_icon_128.png"), "PNG"));
}

} // namespace velmo
