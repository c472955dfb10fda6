#pragma once

#include <QColor>
#include <QWidget>

namespace velmo {

// One bar of the main window's colour strip: a rectangle filled with one colour.
class ShapeBar : public QWidget {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(ShapeBar)
public:
    explicit ShapeBar(const QColor& color, QWidget* parent = nullptr);
    ~ShapeBar() override;

    QColor fillColor() const { return color_; }
    void setFillColor(const QColor& color);

    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QColor color_;
};

} // namespace velmo
