#include "RoundedPanel.h"

#include "ui/UiPalette.h"

#include <QPainter>
#include <QPainterPath>

RoundedPanel::RoundedPanel(Fill fill, qreal radius, QWidget *parent)
    : QWidget(parent)
    , m_fill(fill)
    , m_radius(radius)
{
}

void RoundedPanel::paintFrame(QPainter &painter, const QRectF &bounds, qreal radius, const QColor &fill,
                              const QColor &outline)
{
    QPainterPath shape;
    shape.addRoundedRect(bounds.adjusted(0.5, 0.5, -0.5, -0.5), radius, radius);
    painter.fillPath(shape, fill);
    painter.setPen(QPen(outline, 1));
    painter.drawPath(shape);
}

void RoundedPanel::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    paintFrame(painter, rect(), m_radius,
               m_fill == Fill::SoftPanel ? UiPalette::softPanelColor(palette())
                                         : UiPalette::windowBackgroundColor(palette()),
               UiPalette::lineColor(palette()));
}
