#include "velmo_logo.h"

#include <QPainter>
#ifndef VELMO_NO_SVG
#include <QSvgRenderer>
#endif

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
    QPainter painter(&pixmap);
#ifndef VELMO_NO_SVG
    QSvgRenderer renderer(QStringLiteral(":/about/velmo_logo.svg"));
    renderer.render(&painter);
#else
    // A 512-pixel bitmap drawn from the same SVG, for Qt builds without the SVG module.
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    painter.drawImage(QRect(0, 0, pixels, pixels),
                      QImage(QStringLiteral(":/about/velmo_logo_512.png"), "PNG"));
#endif
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
