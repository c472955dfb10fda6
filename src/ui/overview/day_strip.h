#pragma once

#include "rules/schedule_match.h"

#include <QString>
#include <QWidget>

namespace velmo {

// One period's daily window on the strip, first to last second of the day.
struct DayBar {
    int advance = 0;
    int first = 0;
    int last = 0;
    QString label;      // its row text
    QString shortLabel; // "Advance 3", where it plays
};

// Twenty-four hours across: on top what plays (each period in its colour, the basic schedule where
// none holds), below it one lane per period in force that day with its window as a labelled bar.
class DayStrip : public QWidget {
    Q_OBJECT
public:
    explicit DayStrip(QWidget* parent = nullptr);
    // `tips`, one a span of `plan`, shows on hover over that span.
    void setDay(std::vector<PlaySpan> plan, std::vector<DayBar> bars, const QString& basicLabel,
                std::vector<QString> tips = {});
    // What plays at `pos`, as its tooltip tells it; empty off the spans.
    QString tipAt(const QPoint& pos) const;
    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

protected:
    bool event(QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private:
    int laneHeight() const;
    int xOf(int second) const;

    std::vector<PlaySpan> plan_;
    std::vector<DayBar> bars_;
    QString basicLabel_;
    std::vector<QString> tips_;
};

} // namespace velmo
