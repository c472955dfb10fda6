#include "day_strip.h"

#include "advance_colours.h"

#include <QHelpEvent>
#include <QPainter>
#include <QToolTip>
#include <algorithm>

namespace velmo {

namespace {

constexpr int kMargin = 6;

QColor textOn(const QColor& fill) {
    return fill.lightness() > 140 ? QColor(Qt::black) : QColor(Qt::white);
}

} // namespace

DayStrip::DayStrip(QWidget* parent) : QWidget(parent) {
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
}

int DayStrip::laneHeight() const {
    return fontMetrics().height() + 8;
}

QSize DayStrip::sizeHint() const {
    const int lanes = 2 + static_cast<int>(bars_.size()); // the hours, what plays, one per period
    return {600, kMargin * 2 + lanes * laneHeight() + 4};
}

QSize DayStrip::minimumSizeHint() const {
    return {300, sizeHint().height()};
}

void DayStrip::setDay(std::vector<PlaySpan> plan, std::vector<DayBar> bars, const QString& basicLabel,
                      std::vector<QString> tips) {
    plan_ = std::move(plan);
    bars_ = std::move(bars);
    basicLabel_ = basicLabel;
    tips_ = std::move(tips);
    updateGeometry();
    setFixedHeight(sizeHint().height());
    update();
}

int DayStrip::xOf(int second) const {
    const int width = this->width() - 2 * kMargin;
    return kMargin + static_cast<int>(static_cast<long>(width) * second / kSecondsPerDay);
}

QString DayStrip::tipAt(const QPoint& pos) const {
    const int lane = laneHeight();
    if (pos.y() < kMargin + lane || pos.y() >= kMargin + 2 * lane)
        return {};
    for (std::size_t i = 0; i < plan_.size() && i < tips_.size(); ++i) {
        const int first = std::clamp(plan_[i].first, 0, kSecondsPerDay - 1);
        const int last = std::clamp(plan_[i].last, first, kSecondsPerDay - 1);
        if (pos.x() >= xOf(first) && pos.x() < xOf(last + 1))
            return tips_[i];
    }
    return {};
}

bool DayStrip::event(QEvent* event) {
    if (event->type() != QEvent::ToolTip)
        return QWidget::event(event);
    const auto* help = static_cast<QHelpEvent*>(event);
    const QString tip = tipAt(help->pos());
    if (tip.isEmpty())
        QToolTip::hideText();
    else
        QToolTip::showText(help->globalPos(), tip, this);
    return true;
}

void DayStrip::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    const QPalette& pal = palette();
    painter.fillRect(rect(), pal.color(QPalette::Base));
    const int lane = laneHeight();

    // Hours, every third one numbered.
    painter.setPen(pal.color(QPalette::Mid));
    const int bottom = kMargin + (2 + static_cast<int>(bars_.size())) * lane;
    for (int hour = 0; hour <= 24; ++hour) {
        const int x = xOf(hour * 3600);
        painter.drawLine(x, kMargin + lane - 4, x, bottom);
        if (hour % 3 == 0 && hour < 24) {
            painter.setPen(pal.color(QPalette::Text));
            painter.drawText(QRect(x + 2, kMargin, 60, lane), Qt::AlignLeft | Qt::AlignVCenter,
                             QStringLiteral("%1:00").arg(hour, 2, 10, QLatin1Char('0')));
            painter.setPen(pal.color(QPalette::Mid));
        }
    }

    const auto bar = [&](int row, int first, int last, const QColor& fill, const QString& label) {
        // A stop time out of range (a foreign file's hour 30) still ends the bar at midnight.
        first = std::clamp(first, 0, kSecondsPerDay - 1);
        last = std::clamp(last, first, kSecondsPerDay - 1);
        const QRect r(xOf(first), kMargin + row * lane + 2, std::max(2, xOf(last + 1) - xOf(first)),
                      lane - 4);
        painter.fillRect(r, fill);
        painter.setPen(pal.color(QPalette::Text));
        painter.drawRect(r.adjusted(0, 0, -1, -1));
        painter.setPen(textOn(fill));
        painter.drawText(r.adjusted(4, 0, -2, 0), Qt::AlignLeft | Qt::AlignVCenter,
                         fontMetrics().elidedText(label, Qt::ElideRight, std::max(0, r.width() - 6)));
    };

    for (const PlaySpan& span : plan_) {
        if (span.advance < 0)
            bar(1, span.first, span.last, pal.color(QPalette::Button), basicLabel_);
        else
            for (const DayBar& b : bars_)
                if (b.advance == span.advance) {
                    bar(1, span.first, span.last, AdvanceEntryColour(span.advance), b.shortLabel);
                    break;
                }
    }
    for (std::size_t i = 0; i < bars_.size(); ++i) {
        const DayBar& b = bars_[i];
        bar(2 + static_cast<int>(i), b.first, b.last, AdvanceEntryColour(b.advance), b.label);
    }
}

} // namespace velmo
