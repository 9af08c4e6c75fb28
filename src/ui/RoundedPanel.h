#pragma once

#include <QWidget>

class QPainter;

// A card: rounded rectangle filled with a panel colour and outlined with the hairline colour. Its
// content is laid out by the layout set on it.
class RoundedPanel : public QWidget
{
    Q_OBJECT

public:
    enum class Fill { SoftPanel, Window };

    RoundedPanel(Fill fill, qreal radius, QWidget *parent = nullptr);

    // Fills the rounded rectangle and outlines it with a one-pixel line kept inside the bounds.
    // Leaves the outline's pen set on the painter.
    static void paintFrame(QPainter &painter, const QRectF &bounds, qreal radius, const QColor &fill,
                           const QColor &outline);

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    Fill m_fill;
    qreal m_radius;
};
